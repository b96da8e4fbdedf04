#include "gui/QtUiThread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <exception>
#include <iostream>

namespace gui {

QtUiThread::QtUiThread() { Q_ASSERT(QCoreApplication::instance()); }

bool QtUiThread::IsUiThread() const { return QThread::currentThread() == thread(); }

void QtUiThread::Synchronize(std::function<void()> work) {
  if (IsUiThread()) {
    work();
    return;
  }
  // An error of the work goes back to the waiting worker: it must not cross Qt's event loop.
  std::exception_ptr error;
  QMetaObject::invokeMethod(
      this,
      [&] {
        try {
          work();
        } catch (...) {
          error = std::current_exception();
        }
      },
      Qt::BlockingQueuedConnection);
  if (error) std::rethrow_exception(error);
}

void QtUiThread::Post(std::function<void()> work) {
  QMetaObject::invokeMethod(
      this,
      [this, work = std::move(work)] {
        try {
          work();
        } catch (const std::exception& e) {
          Report(e.what());
        } catch (...) {
          Report("unknown error");
        }
      },
      Qt::QueuedConnection);
}

void QtUiThread::ProcessMessages() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

void QtUiThread::Report(const std::string& text) {
  if (OnError) OnError(text);
  else std::cerr << "tessaly: " << text << "\n";
}

}  // namespace gui
