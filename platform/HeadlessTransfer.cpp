#include "platform/HeadlessTransfer.h"

namespace platform {

void HeadlessTransferWindow::Changed() {
  if (Shown_ && OnChange) OnChange(*this);
}

void HeadlessTransferWindow::SetCaption(const std::string& text) {
  Caption = text;
  Changed();
}

void HeadlessTransferWindow::SetStatus(const std::string& text) {
  Status = text;
  Statuses.push_back(text);
  Changed();
}

void HeadlessTransferWindow::SetProgressText(const std::string& text) {
  ProgressText = text;
  ProgressTexts.push_back(text);
  Changed();
}

void HeadlessTransferWindow::SetRange(int max) {
  Max = max;
  Changed();
}

void HeadlessTransferWindow::SetPosition(int position) {
  Position = position;
  if (Shown_) Positions.push_back(position);
  Changed();
}

void HeadlessTransferWindow::SetButtonCaption(const std::string& text) {
  ButtonCaption = text;
  ButtonCaptions.push_back(text);
  Changed();
}

void HeadlessTransferWindow::SetAnimation(bool playing) {
  Animating = playing;
  if (playing) AnimationStarted = true;
  Changed();
}

void HeadlessTransferWindow::PressCancel() {
  if (OnCancel) OnCancel();
}

ModalResult HeadlessTransferWindow::RunModal(const std::function<void()>& onShown) {
  ++ShowCount;
  Shown_ = true;
  Closed_ = false;
  TimedOut = false;
  struct Hide {
    bool& Shown;
    ~Hide() { Shown = false; }
  } hide{Shown_};
  if (onShown) onShown();
  const auto deadline = std::chrono::steady_clock::now() + CancelAfter;
  while (!Closed_) {
    Ui_.WaitAndProcess(std::chrono::milliseconds(20));
    if (!Closed_ && !TimedOut && std::chrono::steady_clock::now() >= deadline) {
      TimedOut = true;
      PressCancel();
    }
  }
  return Result;
}

void HeadlessTransferWindow::Close(ModalResult result) {
  Result = result;
  Closed_ = true;
}

}  // namespace platform
