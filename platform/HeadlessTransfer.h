// A transfer window without a window system: for tests and tessaly-crawl.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/Headless.h"
#include "platform/TransferWindow.h"

namespace platform {

// Remembers what it was asked to show. RunModal serves the user-interface thread's hand-overs
// until the logic closes the window. Tests press Cancel from OnChange at the moment they choose.
class HeadlessTransferWindow : public TransferWindow {
 public:
  explicit HeadlessTransferWindow(HeadlessUiThread& ui) : Ui_(ui) {}

  void SetCaption(const std::string& text) override;
  void SetStatus(const std::string& text) override;
  void SetProgressText(const std::string& text) override;
  void SetRange(int max) override;
  void SetPosition(int position) override;
  void SetButtonCaption(const std::string& text) override;
  void SetAnimation(bool playing) override;
  ModalResult RunModal(const std::function<void()>& onShown) override;
  void Close(ModalResult result) override;

  // What the user does with the button: calls OnCancel (when set).
  void PressCancel();
  bool IsShown() const { return Shown_; }

  // Called after every change of the window while it is shown, on the user-interface thread.
  std::function<void(HeadlessTransferWindow&)> OnChange;
  // A window still open after this long is cancelled as a user would (TimedOut is then set),
  // so that a logic that never closes it cannot hold a test for ever.
  std::chrono::milliseconds CancelAfter{std::chrono::seconds(60)};

  std::string Caption, Status, ProgressText, ButtonCaption;
  int Max = 100;
  int Position = 0;
  bool Animating = false;
  std::vector<std::string> Statuses, ProgressTexts, ButtonCaptions;
  std::vector<int> Positions;     // every position set while shown
  int ShowCount = 0;              // RunModal calls
  bool AnimationStarted = false;  // the animation was started at some time
  bool TimedOut = false;
  ModalResult Result = ModalResult::Cancel;

 private:
  void Changed();
  HeadlessUiThread& Ui_;
  bool Shown_ = false;
  bool Closed_ = false;
};

}  // namespace platform
