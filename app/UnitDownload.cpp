#include "app/UnitDownload.h"

#include <filesystem>
#include <system_error>

#include "Kel/KelTranslate.h"
#include "Kel/KelError.h"
#include "Kel/KelHTTPDownload.h"
#include "Kel/KelStr.h"
#include "Kel/KelURI.h"
#include "app/UnitHTTPCopy.h"
#include "app/UnitHTTPSettings.h"

namespace {

bool IsExistingFile(const std::string& name) {
  std::error_code ec;
  return !name.empty() && std::filesystem::is_regular_file(name, ec);
}

// FNV-1a, 64 bits: a short, stable name for an address.
uint64_t HashOf(const std::string& text) {
  uint64_t h = 14695981039346656037ull;
  for (const char c : text) {
    h ^= static_cast<unsigned char>(c);
    h *= 1099511628211ull;
  }
  return h;
}

}  // namespace

std::string InternetCacheFolder(platform::Paths& paths) { return paths.CacheFolder() + "/Quorlix/Tessaly"; }

std::string CacheFileNameFor(const std::string& cacheFolder, const std::string& url) {
  std::string document = TURI(url).Document;
  // A name that stays one plain file name inside its folder.
  for (char& c : document) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (b < 32 || b == 127 || c == '/' || c == '\\') c = '_';
  }
  if (document.size() > 200) document.erase(0, document.size() - 200);
  if (document.empty() || document == "." || document == "..") document = "index.html";
  return cacheFolder + "/" + Format("%016llx", static_cast<unsigned long long>(HashOf(url))) + "/" + document;
}

std::string DownloadStatusText(const std::string& url) {
  const TURI uri(url);
  const std::string path = URLPathOf(uri);
  const size_t cut = path.find_last_of("/\\:");
  std::string last = cut == std::string::npos ? path : path.substr(cut + 1);
  if (last.empty()) last = RunTimeText("Downloading");
  return FormatText("%s from (%s)", last.c_str(), uri.Host.c_str());
}

// ---------------------------------------------------------------------------------------------

TThreadDownload::TThreadDownload(platform::Services& services) : Services(services) {}

TThreadDownload::~TThreadDownload() {
  Terminate();
  if (Thread_.joinable()) Thread_.join();
}

void TThreadDownload::Resume() {
  KelAssert(!Thread_.joinable() && !Finished_, "a download thread runs once");
  Thread_ = std::thread([this] { Execute(); });
}

void TThreadDownload::RunHere() {
  KelAssert(!Thread_.joinable() && !Finished_, "a download thread runs once");
  Execute();
}

void TThreadDownload::Terminate() {
  Terminated_ = true;
  std::lock_guard lock(RunningMutex_);
  if (Running_) Running_->Cancel();
}

int32_t TThreadDownload::WaitFor() {
  if (Thread_.joinable()) Thread_.join();
  return ReturnValue_;
}

void TThreadDownload::Synchronize(void (TThreadDownload::*method)()) {
  try {
    if (Services.Ui) Services.Ui->Synchronize([this, method] { (this->*method)(); });
    else (this->*method)();
  } catch (...) {
    // What the window does with a report is no reason to stop the download.
  }
}

void TThreadDownload::Execute() {
  ReturnValue_ = kDownloadFailed;
  Synchronize(&TThreadDownload::DoStart);
  const TURI uri(URL);
  // Internet addresses need a connection, unless the address's path names a local file.
  const bool internet = SameText(uri.Protocol, "http") || SameText(uri.Protocol, "https");
  bool attempt = !internet || IsExistingFile(uri.Path + uri.Document);
  if (!attempt) {
    try {
      attempt = !Services.Net || Services.Net->IsConnected();
    } catch (...) {
      attempt = false;
    }
  }
  if (attempt) ReturnValue_ = Download();
  Synchronize(&TThreadDownload::DoFinish);
  Finished_ = true;
}

int32_t TThreadDownload::Download() {
  if (Terminated_) return kDownloadAborted;
  const std::string target = CacheFileNameFor(CacheFolder, URL);
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(target).parent_path(), ec);
  if (ec) return kDownloadFailed;
  THTTPDownload download(URL, target);
  download.Proxy = Proxy;
  download.IdleTimeout = IdleTimeout;
  download.OnProgress = [this](int64_t done, int64_t total) { return OnProgress(done, total); };
  {
    std::lock_guard lock(RunningMutex_);
    Running_ = &download;
  }
  struct Unregister {
    TThreadDownload& Thread;
    ~Unregister() {
      std::lock_guard lock(Thread.RunningMutex_);
      Thread.Running_ = nullptr;
    }
  } unregister{*this};
  if (Terminated_) return kDownloadAborted;
  try {
    download.Run();
    download.Commit();
  } catch (const EAbort&) {
    return kDownloadAborted;
  } catch (...) {
    return kDownloadFailed;
  }
  CacheFileName = target;
  return kDownloadSucceeded;
}

bool TThreadDownload::OnProgress(int64_t progress, int64_t progressMax) {
  Progress = progress;
  ProgressMax = progressMax;
  if (Terminated_) return false;
  Synchronize(&TThreadDownload::DoProgress);
  return true;
}

// ---------------------------------------------------------------------------------------------

void TMyThreadDownload::DoProgress() {
  platform::TransferWindow* w = Form_.Window();
  if (!w) return;
  const TProgressScale scale(ProgressMax);
  w->SetAnimation(true);
  w->SetRange(scale(ProgressMax));
  w->SetPosition(scale(Progress));
  w->SetProgressText(
      FormatText("%lld of %lld bytes completed.", static_cast<long long>(Progress), static_cast<long long>(ProgressMax)));
}

void TMyThreadDownload::DoFinish() {
  if (platform::TransferWindow* w = Form_.Window())
    w->Close(Terminated() ? platform::ModalResult::Cancel : platform::ModalResult::OK);
}

TFormDownload::TFormDownload(platform::Services& services, const TFormHTTPSettings* settings,
                             platform::TransferWindow* window)
    : Services(services), Settings_(settings), Window_(window ? window : services.Transfer) {}

bool TFormDownload::ExecuteDownload(const std::string& caption, std::string& name) {
  if (IsExistingFile(name)) return true;
  ModalResult = platform::ModalResult::OK;
  TMyThreadDownload thread(Services, *this);
  thread.URL = name;
  thread.CacheFolder = Services.Dirs ? InternetCacheFolder(*Services.Dirs)
                                     : (std::filesystem::temp_directory_path() / "Quorlix/Tessaly").string();
  if (Settings_) {
    Settings_->ApplyTo(thread.Proxy);
    thread.IdleTimeout = Settings_->Limits().Timeout;
  }

  platform::TransferWindow* w = Window_;
  if (!w) {
    thread.RunHere();
  } else {
    KelAssert(Services.Ui, "the download dialog needs the user-interface thread");
    w->SetCaption(caption);
    w->SetStatus(DownloadStatusText(name));
    w->SetProgressText("Initializing Download.");
    w->SetRange(100);
    w->SetPosition(0);
    w->SetButtonCaption("Cancel");
    w->OnCancel = [&] {
      ModalResult = platform::ModalResult::Cancel;
      thread.Terminate();
    };
    struct Detach {
      platform::TransferWindow* W;
      ~Detach() { W->OnCancel = nullptr; }
    } detach{w};
    // The download starts once the window is on screen; the thread closes it when it ends.
    ModalResult = w->RunModal([&] {
      try {
        thread.Resume();
      } catch (...) {
        w->Close(platform::ModalResult::OK);
      }
    });
  }
  thread.Terminate();
  const int32_t result = thread.WaitFor();
  if (result == kDownloadSucceeded) name = thread.CacheFileName;
  if (w) w->SetAnimation(false);
  return result == kDownloadSucceeded;
}

std::string GetLocalFile(TFormDownload& dialog, const std::string& name) {
  std::string copy = name;
  if (dialog.ExecuteDownload("Downloading URL", copy)) return copy;
  if (dialog.ModalResult == platform::ModalResult::Cancel) throw EError("Download Terminated By User.");
  throw EError(FormatText("URL not found \"%s\"", name.c_str()));
}
