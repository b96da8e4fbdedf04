// The progress runner: runs a long job inside a modal window that shows a message, a bar and
// the percentage done, and lets the user interface process events at every position update.
#pragma once

#include <functional>
#include <string>

#include "platform/Platform.h"

class TFormProgress {
 public:
  explicit TFormProgress(platform::Services& services) : Services_(services) {}

  // Runs `job` inside the progress window; an error the job raises is swallowed. Returns
  // whether the window ended with OK (it does when the job returns).
  bool Run(const std::function<void(TFormProgress&)>& job);

  void SetMessage(const std::string& text);
  void SetRange(int max);
  // Moves the bar, shows "<percent>% Done." and processes pending events.
  void SetPosition(int position);
  int RangeMax() const { return Max_; }
  int Position() const { return Position_; }
  // The percentage text shown for a position: position * 100 / max, rounded, then "% Done.".
  static std::string PercentText(int position, int max);

 private:
  platform::Services& Services_;
  int Max_ = 100;
  int Position_ = 0;
};
