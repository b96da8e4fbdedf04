#include "gui/QtUiThread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <exception>
#include <iostream>

namespace gui {

QtUiThread::QtUiThread() { Q_ASSERT(QCoreApplication::instance()); }

QtUiThread::~QtUiThread() {
  std::lock_guard lock(Mutex_);
  for (const auto& item : Queue_) item->Done = true;
  Queue_.clear();
  Finished_.notify_all();
}

bool QtUiThread::IsUiThread() const { return QThread::currentThread() == thread(); }

void QtUiThread::HandOver(std::shared_ptr<THandOver> item) {
  {
    std::lock_guard lock(Mutex_);
    Queue_.push_back(std::move(item));
  }
  QMetaObject::invokeMethod(this, "RunNext", Qt::QueuedConnection);
}

void QtUiThread::Synchronize(std::function<void()> work) {
  if (IsUiThread()) {
    work();
    return;
  }
  auto item = std::make_shared<THandOver>();
  item->Work = std::move(work);
  item->Waited = true;
  HandOver(item);
  std::unique_lock lock(Mutex_);
  Finished_.wait(lock, [&] { return item->Done; });
  // An error of the work goes back to the waiting worker: it must not cross Qt's event loop.
  if (item->Error) std::rethrow_exception(item->Error);
}

void QtUiThread::Post(std::function<void()> work) {
  auto item = std::make_shared<THandOver>();
  item->Work = std::move(work);
  HandOver(std::move(item));
}

void QtUiThread::RunNext() {
  std::shared_ptr<THandOver> item;
  {
    std::lock_guard lock(Mutex_);
    if (Queue_.empty()) return;
    item = std::move(Queue_.front());
    Queue_.pop_front();
  }
  std::exception_ptr error;
  try {
    item->Work();
  } catch (...) {
    error = std::current_exception();
  }
  if (!item->Waited) {
    if (error) {
      try {
        std::rethrow_exception(error);
      } catch (const std::exception& e) {
        Report(e.what());
      } catch (...) {
        Report("unknown error");
      }
    }
    return;
  }
  {
    std::lock_guard lock(Mutex_);
    item->Error = error;
    item->Done = true;
  }
  Finished_.notify_all();
}

void QtUiThread::ProcessMessages() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

void QtUiThread::Report(const std::string& text) {
  if (OnError) OnError(text);
  else std::cerr << "tessaly: " << text << "\n";
}

}  // namespace gui
