// The download dialog, "Downloading File": downloads one document into its local file
// (THTTPDownload) on a worker thread behind a modal transfer window, and reports a failure.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "Kel/KelHTTPDownload.h"
#include "platform/Platform.h"

class TFormHTTPSettings;

// The bar of a transfer window holds 32-bit values: larger totals are shown in coarser units.
struct TProgressScale {
  explicit TProgressScale(int64_t total = 0);
  int Shift = 0;
  int operator()(int64_t value) const;
};

// The download dialog, "Downloading File". One for the whole run: its cookies last as long.
class TFormHTTPCopy {
 public:
  static constexpr const char* kCaption = "Downloading File";

  // `settings` gives the proxy of every download (none: direct connections). `window` is the
  // modal window to show (none: services.Transfer); without any, downloads run on the calling
  // thread without progress.
  TFormHTTPCopy(platform::Services& services, const TFormHTTPSettings* settings,
                platform::TransferWindow* window = nullptr);
  ~TFormHTTPCopy();
  TFormHTTPCopy(const TFormHTTPCopy&) = delete;
  TFormHTTPCopy& operator=(const TFormHTTPCopy&) = delete;

  platform::Services& Services;

  // Downloads `url` into `localPath` while the window shows "Downloading <url>" and
  // `statusText`; the user may cancel. A failure or Cancel leaves `localPath` as it was and shows
  // the warning "Download Terminated: " with the message. Returns whether the file was saved.
  bool Execute(const std::string& localPath, const std::string& url, const std::string& statusText);
  // The final answer of the last download that succeeded.
  const THTTPResponse& Response() const { return Response_; }
  THTTPCookieStore& Cookies() { return Cookies_; }

 private:
  struct TRun;  // one download: the transfer and how it ended
  bool RunInPlace(TRun& run);
  bool RunInWindow(TRun& run, const std::string& url, const std::string& statusText);
  void PrepareWindow(const std::string& url, const std::string& statusText);
  void ShowProgress(TRun& run);
  void Work(TRun& run);
  void Finish(TRun& run, const std::exception_ptr& error);

  const TFormHTTPSettings* Settings_;
  platform::TransferWindow* Window_;
  THTTPCookieStore Cookies_;
  THTTPResponse Response_;
  bool Running_ = false;
};
