// The progress runner's window: borderless, on top of the others, centred on the screen, with a
// message line, a bar and the percentage done beside it. The job runs once the window is shown.
#pragma once

#include <QDialog>
#include <functional>

#include "platform/Platform.h"

class QLabel;
class QProgressBar;

namespace gui {

class TFormProgressWindow : public QDialog, public platform::ProgressWindow {
  Q_OBJECT
 public:
  explicit TFormProgressWindow(QWidget* parent = nullptr);
  void SetMessage(const std::string& text) override;
  void SetRange(int max) override;
  void SetPosition(int position, const std::string& percentText) override;
  void RunModal(const std::function<void()>& job) override;

  QLabel* LabelMessage;
  QProgressBar* ProgressBar;
  QLabel* LabelPercent;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  std::function<void()> Job_;
};

}  // namespace gui
