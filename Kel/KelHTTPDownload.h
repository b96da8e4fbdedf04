// Downloading one document into a local file over libcurl: HTTP/1.1 following redirects, with a
// cookie store that may outlive the download; "file" addresses are copied from their local file.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "Kel/KelHTTPTypes.h"

class TDownloadTransfer;

// Cookies that servers set, kept for as long as the store lives and sent back with later
// requests wherever they apply (domain, path, expiry, secure). Downloads on any thread may share it.
class THTTPCookieStore {
 public:
  THTTPCookieStore();
  ~THTTPCookieStore();
  THTTPCookieStore(const THTTPCookieStore&) = delete;
  THTTPCookieStore& operator=(const THTTPCookieStore&) = delete;

 private:
  friend class TDownloadTransfer;
  void* Share() const;  // the libcurl share handle

  struct TImpl;
  std::unique_ptr<TImpl> Impl_;
};

// One GET of an address into a file. "http" and "https" addresses go over HTTP/1.1, following
// redirects, with the crawl's "Accept" and "User-Agent" headers and no "Authorization" header;
// a "file" address is copied from its local file. The document goes to a temporary file beside
// the target first; only Commit() replaces the target, so a failed or cancelled download leaves
// an existing file as it was.
class THTTPDownload {
 public:
  THTTPDownload(std::string url, std::string fileName);
  ~THTTPDownload();  // a download not committed leaves nothing behind
  THTTPDownload(const THTTPDownload&) = delete;
  THTTPDownload& operator=(const THTTPDownload&) = delete;

  const std::string URL;
  const std::string FileName;
  TProxyParams Proxy;  // the proxy to go through, when its server is set
  // No limit on the whole download, but one on the wait for data: past it the download fails
  // with "No data for 60 s". 0: none.
  std::chrono::milliseconds IdleTimeout = TTransferLimits::kDefaultTimeout;
  THTTPCookieStore* Cookies = nullptr;  // none: cookies live for this download only
  // Progress, on the thread that runs Run(): once with 0 and the expected total (0 when unknown)
  // when the document's answer has arrived, then after every block with the bytes so far.
  // Returning false stops the download (Run raises EAbort).
  std::function<bool(int64_t done, int64_t total)> OnProgress;
  // The final answer, after redirects: its status line and headers.
  THTTPResponse Response;

  // Downloads into the temporary file. Raises EError with the failure's message (for an answer
  // that is not 2xx, its status line; "Address too long" for an address the transfer library
  // refuses), EAbort when cancelled.
  void Run();
  // Moves the downloaded document over FileName (a file it replaces keeps its permissions;
  // through a link, the file it points to is replaced). Raises EError when that fails.
  void Commit();
  // Deletes the temporary file.
  void Discard();
  // Stops a running download at once, from any thread; Run() not started yet then refuses.
  void Cancel();
  bool Cancelled() const;

 private:
  // Progress as OnProgress sees it; false (and the download cancelled) to stop.
  bool Progress(int64_t done, int64_t total);
  void CopyLocal();

  struct TImpl;
  std::unique_ptr<TImpl> Impl_;
  friend class TDownloadTransfer;
};
