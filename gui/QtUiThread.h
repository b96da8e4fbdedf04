// The user-interface hand-over on Qt: the one place where worker threads meet Qt. Work from a
// worker runs on the thread of the application object, the worker waiting for it (Synchronize)
// or not (Post).
#pragma once

#include <QObject>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/Platform.h"

namespace gui {

class QtUiThread : public QObject, public platform::UiThread {
  Q_OBJECT
 public:
  // Created on the user-interface thread, after the QApplication.
  QtUiThread();
  // A worker still waiting then goes on without its work run.
  ~QtUiThread() override;
  void Synchronize(std::function<void()> work) override;
  void Post(std::function<void()> work) override;
  // Serves queued hand-overs and window events, but no user input (no command may start while
  // the logic waits for its workers).
  void ProcessMessages() override;
  bool Terminating() const override { return Terminating_; }
  bool IsUiThread() const override;
  void SetTerminating(bool value) { Terminating_ = value; }

  // What to do with an error that posted work raised (shown in the error box by the program);
  // without a handler it is written to standard error.
  std::function<void(const std::string&)> OnError;

 private:
  // One piece of work handed over, waited for (Synchronize) or not (Post).
  struct THandOver {
    std::function<void()> Work;
    bool Waited = false;
    bool Done = false;  // ran, or was dropped: the waiting worker goes on
    std::exception_ptr Error;
  };
  // Queues `item` and the event that runs it.
  void HandOver(std::shared_ptr<THandOver> item);
  // Runs the hand-over at the front of the queue: one per event, so that work which serves
  // events meanwhile (a message box, a wait for the workers) still runs the next ones, in order.
  Q_INVOKABLE void RunNext();
  void Report(const std::string& text);
  bool Terminating_ = false;
  // The hand-overs wait here behind a lock of this program's own rather than only inside Qt's
  // event queue, so that a sanitized build sees each one (Qt is not built with the sanitizer).
  std::mutex Mutex_;
  std::condition_variable Finished_;
  std::deque<std::shared_ptr<THandOver>> Queue_;
};

}  // namespace gui
