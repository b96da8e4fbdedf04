// The user-interface hand-over on Qt: the one place where worker threads meet Qt. Work from a
// worker runs on the thread of the application object, the worker waiting for it (Synchronize)
// or not (Post).
#pragma once

#include <QObject>
#include <functional>
#include <string>

#include "platform/Platform.h"

namespace gui {

class QtUiThread : public QObject, public platform::UiThread {
  Q_OBJECT
 public:
  // Created on the user-interface thread, after the QApplication.
  QtUiThread();
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
  void Report(const std::string& text);
  bool Terminating_ = false;
};

}  // namespace gui
