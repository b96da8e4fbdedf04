// The download windows ("Downloading File"): a file-copy animation, the status line, a bar with
// the progress line under it and one button (Cancel, then Close). The logic drives it through
// platform::TransferWindow; the button and the window's close box ask the logic to cancel, which
// stops the transfer at once and closes the window itself.
#pragma once

#include <QDialog>
#include <QTimer>
#include <functional>

#include "platform/TransferWindow.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace gui {

// Two folders with a sheet flying from one to the other while the animation plays.
class TCopyAnimation : public QWidget {
  Q_OBJECT
 public:
  explicit TCopyAnimation(QWidget* parent = nullptr);
  void SetPlaying(bool playing);
  bool Playing() const { return Timer_.isActive(); }
  QSize sizeHint() const override { return {272, 76}; }
  int Frame = 0;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QTimer Timer_;
};

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

  // Called once the window is on screen during RunModal (tests act on the running transfer).
  std::function<void()> OnShownForTest;

  TCopyAnimation* Animate;
  QLabel* LabelStatus;
  QProgressBar* ProgressBar;
  QLabel* LabelProgress;
  QPushButton* ButtonCancel;

 protected:
  void showEvent(QShowEvent* event) override;
  void reject() override;  // Escape and the close box ask to cancel

 private:
  void CancelPressed();
  std::function<void()> OnShown_;
  bool Closing_ = false;
  platform::ModalResult Result_ = platform::ModalResult::Cancel;
};

}  // namespace gui
