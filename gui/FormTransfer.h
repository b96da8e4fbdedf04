// The modal window of a download: a caption, a status line, a bar with a progress line under
// it, one button (Cancel, later Close) and a small animation while the file is copied. The
// logic closes it; the button and the window's close box only ask the logic to stop.
#pragma once

#include <QDialog>
#include <QTimer>

#include "platform/TransferWindow.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace gui {

class TFormTransfer : public QDialog, public platform::TransferWindow {
  Q_OBJECT
 public:
  explicit TFormTransfer(QWidget* parent = nullptr);

  void SetCaption(const std::string& text) override;
  void SetStatus(const std::string& text) override;
  void SetProgressText(const std::string& text) override;
  void SetRange(int max) override;
  void SetPosition(int position) override;
  void SetButtonCaption(const std::string& text) override;
  void SetAnimation(bool playing) override;
  platform::ModalResult RunModal(const std::function<void()>& onShown) override;
  void Close(platform::ModalResult result) override;

  QLabel* LabelStatus;
  QProgressBar* ProgressBar;
  QLabel* LabelProgress;
  QPushButton* Button;
  QLabel* Animation;

 protected:
  void reject() override;  // Escape and the close box: the logic decides

 private:
  QTimer Frames_;
  int Frame_ = 0;
  platform::ModalResult Result_ = platform::ModalResult::Cancel;
  bool Closing_ = false;
};

}  // namespace gui
