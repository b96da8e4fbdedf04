// The "Connection Status" window: a small tool window on top of the others, at the bottom right
// of the screen's work area, that shows the request pool's rows (Address, Status, %), the
// active and pending counts, the status text, and the Suspend/Resume and Terminate buttons.
#pragma once

#include <QTimer>
#include <QWidget>

#include "platform/Platform.h"

class QLabel;
class QPushButton;
class QTableView;
class TFormHTTPClient;

namespace gui {

class PoolModel;
class TPaintThrottle;

class TFormHTTPClientView : public QWidget {
  Q_OBJECT
 public:
  TFormHTTPClientView(TFormHTTPClient& pool, platform::Services& services, QWidget* parent = nullptr);
  // Shows the window at the bottom right of the work area (first time) and raises it.
  void ShowWindow();
  // The display fields of the pool, shown again.
  void UpdateDisplay();
  // While a crawl runs: the window paints and shows its counts at most ten times a second.
  void SetPaintLimit(bool on);

  PoolModel* Model;
  // A table rather than a tree view: a tree view lays out every row again after each row that
  // comes or goes, which with a queue of 100,000 requests took most of the window's time.
  QTableView* ListView;
  QLabel* LabelActive;
  QLabel* LabelPending;
  QLabel* StatusBar;
  QPushButton* ButtonSuspend;
  QPushButton* ButtonTerminate;

 signals:
  // The window was shown or hidden (its close box too): the Status button follows it.
  void VisibilityChanged(bool visible);

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  TFormHTTPClient& Pool_;
  platform::Services& Services_;
  void DisplayChanged();
  bool Placed_ = false;
  bool Limited_ = false;
  TPaintThrottle* PaintLimit_;
  QTimer DisplayLater_;
};

}  // namespace gui
