// The node list's view in its four styles (large icons, small icons, list, details), over one
// model and one selection: a table for details and an icon view for the other three.
#pragma once

#include <QListView>
#include <QStackedWidget>
#include <QTreeView>

namespace gui {

class NodeListModel;

enum TViewStyle : int { vsLargeIcons = 0, vsSmallIcons = 1, vsList = 2, vsDetails = 3 };

class TNodeListView : public QStackedWidget {
  Q_OBJECT
 public:
  TNodeListView(NodeListModel& model, QWidget* parent = nullptr);

  void SetViewStyle(int style);
  int ViewStyle() const { return Style_; }
  QItemSelectionModel* Selection() const { return Selection_; }
  // The view of the current style.
  QAbstractItemView* Current() const;
  // Shows the sort state on the column headers.
  void ShowSortIndicator(int column, int direction);

  QTreeView* Details;
  QListView* Icons;

 signals:
  void ColumnClicked(int column);
  void RowDoubleClicked(int row);

 private:
  // Sizes the columns for their captions (after a translation: widening only, keeping what the
  // user widened).
  void FitColumns(bool widenOnly);
  NodeListModel& Model_;
  QItemSelectionModel* Selection_;
  int Style_ = vsDetails;
};

}  // namespace gui
