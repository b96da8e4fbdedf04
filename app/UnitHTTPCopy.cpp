#include "app/UnitHTTPCopy.h"

#include <algorithm>
#include <limits>
#include <thread>

#include "Kel/KelTranslate.h"
#include "Kel/KelError.h"
#include "Kel/KelHTTPTypes.h"
#include "app/UnitHTTPSettings.h"
#include "platform/TransferWindow.h"

TProgressScale::TProgressScale(int64_t total) {
  while (total > std::numeric_limits<int32_t>::max()) {
    total >>= 1;
    ++Shift;
  }
}

int TProgressScale::operator()(int64_t value) const {
  const int64_t v = value < 0 ? 0 : value >> Shift;
  return static_cast<int>(std::min<int64_t>(v, std::numeric_limits<int32_t>::max()));
}

TFormHTTPCopy::TFormHTTPCopy(platform::Services& services, const TFormHTTPSettings* settings,
                             platform::TransferWindow* window)
    : Services(services), Settings_(settings), Window_(window ? window : services.Transfer) {}

TFormHTTPCopy::~TFormHTTPCopy() = default;

namespace {

std::string MessageOf(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown error";
  }
}

}  // namespace

// One showing of the dialog.
struct TFormHTTPCopy::TRun {
  TRun(const std::string& url, const std::string& localPath) : Download(url, localPath) {}
  THTTPDownload Download;
  TProgressScale Scale;    // of the window's bar, once the document's total is known
  bool Cancelled = false;  // the user pressed Cancel (user-interface thread only)
  bool OK = false;         // the document was saved
};

bool TFormHTTPCopy::Execute(const std::string& localPath, const std::string& url, const std::string& statusText) {
  KelAssert(!Running_, "the download dialog is already running");
  Running_ = true;
  struct Done {
    bool& Running;
    ~Done() { Running = false; }
  } done{Running_};

  TRun run(url, localPath);
  if (Settings_) {
    Settings_->ApplyTo(run.Download.Proxy);
    run.Download.IdleTimeout = Settings_->Limits().Timeout;
  }
  run.Download.Cookies = &Cookies_;
  return Window_ ? RunInWindow(run, url, statusText) : RunInPlace(run);
}

// Without a window the download runs on the calling thread, without progress.
bool TFormHTTPCopy::RunInPlace(TRun& run) {
  std::exception_ptr error;
  try {
    run.Download.Run();
  } catch (...) {
    error = std::current_exception();
  }
  Finish(run, error);
  return run.OK;
}

// The window is shown modally; once it is on screen a worker runs the download, and the
// window's Cancel stops it.
bool TFormHTTPCopy::RunInWindow(TRun& run, const std::string& url, const std::string& statusText) {
  KelAssert(Services.Ui, "the download dialog needs the user-interface thread");
  platform::TransferWindow* w = Window_;
  ShowProgress(run);
  PrepareWindow(url, statusText);
  w->OnCancel = [&run] {
    run.Cancelled = true;
    run.Download.Cancel();
  };
  struct Detach {
    platform::TransferWindow* W;
    ~Detach() { W->OnCancel = nullptr; }
  } detach{w};

  std::thread worker;
  struct Joiner {
    std::thread& Worker;
    THTTPDownload& Download;
    ~Joiner() {
      if (Worker.joinable()) {
        Download.Cancel();
        Worker.join();
      }
    }
  } joiner{worker, run.Download};

  w->RunModal([&] {
    try {
      worker = std::thread([this, &run] { Work(run); });
    } catch (...) {
      Finish(run, std::current_exception());
    }
  });
  if (worker.joinable()) worker.join();
  return run.OK;
}

// The window as a download starts: caption, status, an empty bar, "Cancel", the animation.
void TFormHTTPCopy::PrepareWindow(const std::string& url, const std::string& statusText) {
  platform::TransferWindow* w = Window_;
  w->SetCaption(FormatText("Downloading %s", url.c_str()));
  w->SetStatus(statusText);
  w->SetProgressText(std::string());
  w->SetRange(100);
  w->SetPosition(0);
  w->SetButtonCaption("Cancel");
  w->SetAnimation(true);
}

// Progress is handed to the user-interface thread, which shows it on the bar and returns.
void TFormHTTPCopy::ShowProgress(TRun& run) {
  platform::TransferWindow* w = Window_;
  platform::UiThread* ui = Services.Ui;
  run.Download.OnProgress = [&run, w, ui](int64_t done, int64_t total) {
    if (done == 0) {
      ui->Synchronize([&] {
        run.Scale = TProgressScale(total);
        w->SetRange(run.Scale(total));
        w->SetPosition(0);
      });
    } else {
      ui->Synchronize([&] { w->SetPosition(run.Scale(done)); });
    }
    return true;
  };
}

// The worker's run: the download, then its end handed to the user-interface thread.
void TFormHTTPCopy::Work(TRun& run) {
  std::exception_ptr error;
  try {
    run.Download.Run();
  } catch (...) {
    error = std::current_exception();
  }
  try {
    Services.Ui->Synchronize([&] { Finish(run, error); });
  } catch (...) {
    // Finish() reports its own failures; nothing is left to do on this thread.
  }
}

// The end of a download, on the user-interface thread: keep the document or report why not,
// then close the window.
void TFormHTTPCopy::Finish(TRun& run, const std::exception_ptr& error) {
  std::string failure;
  if (error) {
    failure = MessageOf(error);
  } else if (run.Cancelled) {
    failure = EAbort().what();  // finished just as Cancel was pressed
  } else {
    try {
      run.Download.Commit();
    } catch (const std::exception& e) {
      failure = e.what();
    }
  }
  run.OK = failure.empty();
  if (run.OK) Response_ = run.Download.Response;
  else run.Download.Discard();

  if (!run.OK && Services.Ask) {
    try {
      Services.Ask->Notice(FormatText("Download Terminated: %s", failure.c_str()));
    } catch (...) {
      // The window must close all the same.
    }
  }
  if (platform::TransferWindow* w = Window_) {
    w->SetButtonCaption("Close");
    w->SetPosition(0);
    w->SetAnimation(false);
    w->Close(run.OK ? platform::ModalResult::OK : platform::ModalResult::Cancel);
  }
}
