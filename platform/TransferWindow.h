// The modal window shown while a document is downloaded: a caption, a status line, a progress
// bar with a progress line under it, one button (Cancel, later Close) and a file-copy animation.
// The download runs on a worker thread; the window's modal loop keeps the user-interface thread
// serving the worker's hand-overs (UiThread::Synchronize) until the logic closes the window.
#pragma once

#include <functional>
#include <string>

namespace platform {

enum class ModalResult { OK, Cancel };

// Every call is made on the user-interface thread.
class TransferWindow {
 public:
  virtual ~TransferWindow() = default;

  virtual void SetCaption(const std::string& text) = 0;
  virtual void SetStatus(const std::string& text) = 0;        // the status line above the bar
  virtual void SetProgressText(const std::string& text) = 0;  // the line below the bar
  virtual void SetRange(int max) = 0;                         // the bar runs from 0 to max
  virtual void SetPosition(int position) = 0;
  virtual void SetButtonCaption(const std::string& text) = 0;
  virtual void SetAnimation(bool playing) = 0;

  // Shows the window modally and calls `onShown` once, when it is first on screen. While it is
  // shown, hand-overs from workers are served. Returns the result given to Close().
  virtual ModalResult RunModal(const std::function<void()>& onShown) = 0;
  // Ends RunModal with `result`.
  virtual void Close(ModalResult result) = 0;

  // Set by the logic before RunModal. The view calls it when the user presses the button or
  // asks to close the window; the view never closes itself, the logic does once the download
  // has stopped.
  std::function<void()> OnCancel;
};

}  // namespace platform
