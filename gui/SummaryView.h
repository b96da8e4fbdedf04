// The Summary page shown in the preview area when a crawl ends (and by File > Summary): the
// figures of tessaly-crawl's report (the same TSiteSummary), bar charts of the answers by code,
// the addresses by type and the pages by depth (drawn here), and the broken addresses with the
// pages that refer to them, each a link that selects its address in the tree. The broken list
// shows at most kShownBroken addresses and kShownReferers referers each, read from their nodes;
// the rest are counted. The page keeps nothing of the summary but the nodes it lists.
#pragma once

#include <QScrollArea>
#include <functional>
#include <string>
#include <vector>

#include "app/SiteCharts.h"
#include "app/SiteSummary.h"

class QGridLayout;
class QLabel;
class QTextBrowser;
class QVBoxLayout;

namespace gui {

// A bar chart: one labelled bar per entry, its count at its end.
class TBarChart : public QWidget {
  Q_OBJECT
 public:
  TBarChart(const QString& title, QWidget* parent = nullptr);
  void SetBars(std::vector<TChartBar> bars);
  const std::vector<TChartBar>& Bars() const { return Bars_; }
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString Title_;
  std::vector<TChartBar> Bars_;
};

class TSummaryView : public QScrollArea {
  Q_OBJECT
 public:
  static constexpr int kShownBroken = 100, kShownReferers = 5;
  explicit TSummaryView(QWidget* parent = nullptr);

  // Shows `summary` (made from the map as it is now) and `charts`.
  void Show(const TSiteSummary& summary, const TSiteCharts& charts);
  // The category figures as shown: caption and count, in order.
  std::vector<std::pair<std::string, int>> Figures() const;
  // The node indexes of the broken addresses listed, in order.
  const std::vector<int>& ShownBroken() const { return ShownBroken_; }

  QLabel* LabelSite;
  QGridLayout* GridFigures;
  TBarChart* ChartCodes;
  TBarChart* ChartTypes;
  TBarChart* ChartDepths;
  QTextBrowser* ListBroken;

 signals:
  // A link to an address was clicked: the index of its node.
  void NodeClicked(int node);

 private:
  std::vector<int> ShownBroken_;
  std::vector<std::pair<QLabel*, QLabel*>> FigureLabels_;
};

}  // namespace gui
