// The download thread: turns an address into a local file by downloading the document into the
// program's cache folder on a worker thread, behind a modal window with a Cancel button. Serves
// the spell check of a document that has no local file.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "Kel/KelHTTPTypes.h"
#include "platform/Platform.h"
#include "platform/TransferWindow.h"

class TFormHTTPSettings;
class THTTPDownload;

// Result codes of a download.
constexpr int32_t kDownloadSucceeded = 0;
constexpr int32_t kDownloadFailed = static_cast<int32_t>(0x80004005u);   // generic failure
constexpr int32_t kDownloadAborted = static_cast<int32_t>(0x80004004u);  // stopped on request

// The folder of downloaded copies: the user's cache folder followed by "/Quorlix/Tessaly".
std::string InternetCacheFolder(platform::Paths& paths);
// Where the copy of `url` goes below `cacheFolder`: a folder named after a hash of the whole
// address (so each address has a place of its own) holding the address's document name
// ("index.html" when the path ends in "/").
std::string CacheFileNameFor(const std::string& cacheFolder, const std::string& url);
// The status line of the download window: the last segment of the address's path (after its
// last "/", "\" or ":"), or "Downloading" when that is empty, then " from (" host ")".
std::string DownloadStatusText(const std::string& url);

// One download on a thread of its own. Created suspended: set URL (and the cache folder), then
// Resume(). The run downloads once and ends; WaitFor() returns its result code.
class TThreadDownload {
 public:
  explicit TThreadDownload(platform::Services& services);
  virtual ~TThreadDownload();  // asks the thread to terminate and waits for it
  TThreadDownload(const TThreadDownload&) = delete;
  TThreadDownload& operator=(const TThreadDownload&) = delete;

  std::string URL;          // the address to download
  std::string CacheFolder;  // where the copy goes (see CacheFileNameFor)
  TProxyParams Proxy;       // the proxy to go through, when its server is set
  // The longest wait for data before the download fails (0: none); no limit on the whole.
  std::chrono::milliseconds IdleTimeout = TTransferLimits::kDefaultTimeout;
  std::string CacheFileName;  // the copy's path; read it only after the thread has ended
  int64_t Progress = 0;       // bytes received, as last reported
  int64_t ProgressMax = 0;    // bytes expected, as last reported (0 when unknown)

  // Starts the run on a thread of its own (once).
  void Resume();
  // Runs the download on the calling thread instead (there is no window to wait in).
  void RunHere();
  // Asks the thread to terminate: a running download stops at once.
  void Terminate();
  bool Terminated() const { return Terminated_; }
  // Waits for the thread to end; its result code.
  int32_t WaitFor();
  int32_t ReturnValue() const { return ReturnValue_; }
  bool Finished() const { return Finished_; }

 protected:
  // Each runs on the user-interface thread (synchronised).
  virtual void DoProgress() {}
  virtual void DoStart() {}
  virtual void DoFinish() {}
  // The progress notification, on the download's thread: records the counts and shows them;
  // false once the thread has been asked to terminate, which stops the download.
  bool OnProgress(int64_t progress, int64_t progressMax);

  platform::Services& Services;

 private:
  void Execute();
  int32_t Download();
  void Synchronize(void (TThreadDownload::*method)());

  std::thread Thread_;
  std::atomic<bool> Terminated_{false};
  std::atomic<bool> Finished_{false};
  std::atomic<int32_t> ReturnValue_{kDownloadFailed};
  std::mutex RunningMutex_;
  THTTPDownload* Running_ = nullptr;  // the download in progress, guarded by RunningMutex_
};

class TFormDownload;

// The thread of the download dialog: shows its progress there and closes it at the end.
class TMyThreadDownload : public TThreadDownload {
 public:
  TMyThreadDownload(platform::Services& services, TFormDownload& form) : TThreadDownload(services), Form_(form) {}

 protected:
  void DoProgress() override;
  void DoFinish() override;

 private:
  TFormDownload& Form_;
};

// The download dialog ("Downloading File"), created once and reused.
class TFormDownload {
 public:
  static constexpr const char* kCaption = "Downloading File";

  // `settings` gives the proxy (none: direct connections); `window` the modal window
  // (none: services.Transfer; without any, the download runs without a window).
  TFormDownload(platform::Services& services, const TFormHTTPSettings* settings,
                platform::TransferWindow* window = nullptr);

  platform::Services& Services;
  platform::TransferWindow* Window() const { return Window_; }
  // How the last showing ended: OK when the download finished (well or not), Cancel when the
  // user cancelled it.
  platform::ModalResult ModalResult = platform::ModalResult::OK;

  // True at once when `name` is an existing file (`name` unchanged). Otherwise downloads it
  // into the cache behind the dialog captioned `caption`; true when that succeeded, and then
  // `name` holds the cached copy's path.
  bool ExecuteDownload(const std::string& caption, std::string& name);

 private:
  const TFormHTTPSettings* Settings_;
  platform::TransferWindow* Window_;
};

// A local file for `name` (a file name or an address): the name itself when such a file exists,
// otherwise the downloaded copy of the document at that address. Fails with
// "URL not found \"<name>\"" when the download failed and with "Download Terminated By User."
// when the user cancelled it.
std::string GetLocalFile(TFormDownload& dialog, const std::string& name);
