// The "Connection Status" window: a small tool window on top of the others, at the bottom right
// of the screen's work area, that shows the request pool's rows (Address, Status, %), the
// active and pending counts, the status text, and the Suspend/Resume and Terminate buttons.
#pragma once

#include <QWidget>

#include "platform/Platform.h"

class QLabel;
class QPushButton;
class QTreeView;
class TFormHTTPClient;

namespace gui {

class PoolModel;

class TFormHTTPClientView : public QWidget {
  Q_OBJECT
 public:
  TFormHTTPClientView(TFormHTTPClient& pool, platform::Services& services, QWidget* parent = nullptr);
  // Shows the window at the bottom right of the work area (first time) and raises it.
  void ShowWindow();
  // The display fields of the pool, shown again.
  void UpdateDisplay();

  PoolModel* Model;
  QTreeView* ListView;
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
  bool Placed_ = false;
};

}  // namespace gui
