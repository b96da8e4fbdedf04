#include "app/UnitHTTPCopy.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <limits>
#include <mutex>
#include <thread>

#include "Kel/KelCurl.h"
#include "Kel/KelError.h"
#include "Kel/KelFiles.h"
#include "Kel/KelStr.h"
#include "app/UnitHTTPSettings.h"
#include "platform/TransferWindow.h"

namespace {

constexpr long kMaxRedirects = 20;

bool IsSuccess(int32_t code) { return code >= 200 && code <= 299; }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Cookie store

struct THTTPCookieStore::TImpl {
  TCurlShare Share{CURL_LOCK_DATA_COOKIE};
};

THTTPCookieStore::THTTPCookieStore() : Impl_(std::make_unique<TImpl>()) {}

THTTPCookieStore::~THTTPCookieStore() = default;

void* THTTPCookieStore::Share() const { return Impl_->Share.Handle(); }

// ---------------------------------------------------------------------------------------------
// The temporary file and the target

struct THTTPDownload::TImpl {
  std::unique_ptr<TFileReplacement> File;  // the temporary file beside the target, while there is one
  TTransferCancel Cancel;

  void Write(const char* data, size_t size) { File->Write(data, size); }
  void RemoveTemp() { File.reset(); }
};

// ---------------------------------------------------------------------------------------------
// The transfer over libcurl

struct TDownloadTransfer {
  TDownloadTransfer(THTTPDownload& download, THTTPDownload::TImpl& impl) : D(download), I(impl) {}
  THTTPDownload& D;
  THTTPDownload::TImpl& I;
  char ErrorBuffer[CURL_ERROR_SIZE] = {};
  std::exception_ptr Error;
  std::string Refused;        // the status line of an answer that ends the download
  bool FinalHeaders = false;  // the headers of a final (not 1xx) answer are being read
  bool Accepted = false;      // a 2xx answer's body is arriving
  int64_t Length = -1;        // the answer's Content-Length, of any size
  int64_t Total = 0;
  int64_t Received = 0;

  template <typename F>
  bool Guarded(F&& f) {
    try {
      return f();
    } catch (...) {
      if (!Error) Error = std::current_exception();
      return false;
    }
  }

  bool Progress(int64_t done) {
    if (I.Cancel.Cancelled()) return false;
    if (D.OnProgress && !D.OnProgress(done, Total)) {
      D.Cancel();
      return false;
    }
    return true;
  }

  bool Header(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
    THTTPResponse& r = D.Response;
    if (BeginAnswer(line, r)) {
      Length = -1;
      const int32_t code = r.ResponseCode();
      FinalHeaders = code < 100 || code >= 200;
      Accepted = false;
      return true;
    }
    if (line.empty()) {
      if (!FinalHeaders) return true;
      const int32_t code = r.ResponseCode();
      if (IsSuccess(code)) {
        Accepted = true;
        Total = Length > 0 ? Length : 0;
        return Progress(0);
      }
      // An error answer ends the download; a redirect is followed by libcurl, and one that
      // cannot be followed is refused once the transfer is over.
      if (code >= 400 || code < 100) {
        Refused = r.ResponseText;
        return false;
      }
      return true;
    }
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) return true;
    const std::string_view name = line.substr(0, colon);
    const std::string value = Trim(line.substr(colon + 1));
    ReadResponseHeader(name, value, r, &Length);
    return true;
  }

  bool Body(const char* data, size_t size) {
    if (!Accepted) return true;  // the body of an answer that is not the document
    I.Write(data, size);
    Received += static_cast<int64_t>(size);
    return Progress(Received);
  }

  static size_t HeaderCallback(char* data, size_t size, size_t count, void* self) {
    auto* t = static_cast<TDownloadTransfer*>(self);
    const size_t n = size * count;
    return t->Guarded([&] { return t->Header(std::string_view(data, n)); }) ? n : 0;
  }
  static size_t WriteCallback(char* data, size_t size, size_t count, void* self) {
    auto* t = static_cast<TDownloadTransfer*>(self);
    const size_t n = size * count;
    return t->Guarded([&] { return t->Body(data, n); }) ? n : CURL_WRITEFUNC_ERROR;
  }
  static int XferInfoCallback(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<TDownloadTransfer*>(self)->I.Cancel.Cancelled() ? 1 : 0;
  }

  void Run(const std::string& url);
  void Configure(CURL* easy, const std::string& url, TCurlList& headers, TCurlList& proxyHeaders);
};

void TDownloadTransfer::Configure(CURL* easy, const std::string& url, TCurlList& headers, TCurlList& proxyHeaders) {
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, ErrorBuffer);
  ConfigureTransport(easy, D.Proxy, proxyHeaders);

  // The crawl's headers, without credentials; libcurl's own Expect / Connection headers removed.
  headers.Add(std::string("Accept: ") + kHTTPAccept);
  headers.Add(std::string("User-Agent: ") + kHTTPUserAgent);
  headers.Add("Expect:");
  headers.Add("Connection:");
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers.List);

  // The cookie engine: in the store when there is one, else for this transfer only.
  curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
  if (D.Cookies) curl_easy_setopt(easy, CURLOPT_SHARE, static_cast<CURLSH*>(D.Cookies->Share()));

  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &TDownloadTransfer::HeaderCallback);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &TDownloadTransfer::WriteCallback);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &TDownloadTransfer::XferInfoCallback);
  curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
}

void TDownloadTransfer::Run(const std::string& url) {
  InitCurlOnce();
  std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> easy(curl_easy_init(), &curl_easy_cleanup);
  if (!easy) throw EError("Cannot start an HTTP request");
  TCurlList headers, proxyHeaders;
  Configure(easy.get(), url, headers, proxyHeaders);
  const CURLcode result = RunTransfer(easy.get(), I.Cancel, ErrorBuffer, [&] { return !Error; });

  if (Error) std::rethrow_exception(Error);
  if (I.Cancel.Cancelled()) throw EAbort();
  if (!Refused.empty()) throw EError(Refused);
  if (result != CURLE_OK) {
    std::string message = Trim(ErrorBuffer);
    if (message.empty()) message = curl_easy_strerror(result);
    throw EError(message);
  }
  // A redirect that could not be followed (no target) is no document either.
  if (!IsSuccess(D.Response.ResponseCode()))
    throw EError(D.Response.ResponseText.empty() ? std::string("No answer") : D.Response.ResponseText);
}

// ---------------------------------------------------------------------------------------------

THTTPDownload::THTTPDownload(std::string url, std::string fileName)
    : URL(std::move(url)), FileName(std::move(fileName)), Impl_(std::make_unique<TImpl>()) {}

THTTPDownload::~THTTPDownload() { Impl_->RemoveTemp(); }

void THTTPDownload::Cancel() { Impl_->Cancel.Cancel(); }

bool THTTPDownload::Cancelled() const { return Impl_->Cancel.Cancelled(); }

void THTTPDownload::Discard() { Impl_->RemoveTemp(); }

namespace {

// Copies a local file into the download's temporary file, block by block with progress.
void CopyLocal(THTTPDownload& d, const TURI& uri, const std::function<void(const char*, size_t)>& write,
               const std::function<bool(int64_t, int64_t)>& progress) {
  THTTPClient head;
  Fetch(head, THTTPMethod::Head, d.URL, nullptr, nullptr);
  d.Response = head.Response;
  if (!IsSuccess(d.Response.ResponseCode())) throw EError(d.Response.ResponseText);
  const std::string path = LocalPathOf(uri);
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throw EError(Format("Cannot open file \"%s\". %s", path.c_str(), std::strerror(errno)));
  struct Closer {
    int Fd;
    ~Closer() { ::close(Fd); }
  } closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    d.Response.ResponseText = "HTTP/1.1 404 Not Found";
    throw EError(d.Response.ResponseText);
  }
  const int64_t total = st.st_size;
  if (!progress(0, total)) throw EAbort();
  int64_t done = 0;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      throw EError(Format("Cannot read file \"%s\". %s", path.c_str(), std::strerror(errno)));
    }
    write(buffer, static_cast<size_t>(n));
    done += n;
    if (!progress(done, total)) throw EAbort();
  }
}

}  // namespace

void THTTPDownload::Run() {
  TImpl& impl = *Impl_;
  if (impl.Cancel.Cancelled()) throw EAbort();
  Response = THTTPResponse();
  const TURI uri(URL);
  const bool local = SameText(uri.Protocol, "file");
  // The address as it goes on the wire, without credentials: no "Authorization" is ever sent.
  const std::string wire = local ? std::string() : WireAddressOf(uri);
  impl.RemoveTemp();
  impl.File = std::make_unique<TFileReplacement>(FileName);

  if (local) {
    auto progress = [&](int64_t done, int64_t total) {
      if (impl.Cancel.Cancelled()) return false;
      if (OnProgress && !OnProgress(done, total)) {
        Cancel();
        return false;
      }
      return true;
    };
    CopyLocal(*this, uri, [&](const char* data, size_t size) { impl.Write(data, size); }, progress);
    return;
  }
  TDownloadTransfer transfer(*this, impl);
  transfer.Run(wire);
}

void THTTPDownload::Commit() {
  TImpl& impl = *Impl_;
  KelAssert(impl.File, "nothing downloaded to commit");
  std::unique_ptr<TFileReplacement> file = std::move(impl.File);
  file->Commit();
}

// ---------------------------------------------------------------------------------------------

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

bool TFormHTTPCopy::Execute(const std::string& localPath, const std::string& url, const std::string& statusText) {
  KelAssert(!Running_, "the download dialog is already running");
  Running_ = true;
  struct Done {
    bool& Running;
    ~Done() { Running = false; }
  } done{Running_};

  THTTPDownload download(url, localPath);
  if (Settings_) Settings_->ApplyTo(download.Proxy);
  download.Cookies = &Cookies_;
  platform::TransferWindow* w = Window_;
  platform::UiThread* ui = Services.Ui;
  bool cancelled = false;  // the user pressed Cancel (user-interface thread only)
  bool ok = false;

  // The end of a transfer, on the user-interface thread: keep the document or report why not.
  auto finish = [&](std::exception_ptr error) {
    std::string failure;
    if (error) failure = MessageOf(error);
    else if (cancelled) failure = EAbort().what();  // finished just as Cancel was pressed
    else {
      try {
        download.Commit();
      } catch (const std::exception& e) {
        failure = e.what();
      }
    }
    ok = failure.empty();
    if (ok) Response_ = download.Response;
    else download.Discard();
    if (!ok && Services.Ask) {
      try {
        Services.Ask->Notice("Download Terminated: " + failure);
      } catch (...) {
        // The window must close all the same.
      }
    }
    if (w) {
      w->SetButtonCaption("Close");
      w->SetPosition(0);
      w->SetAnimation(false);
      w->Close(ok ? platform::ModalResult::OK : platform::ModalResult::Cancel);
    }
  };

  if (!w) {
    std::exception_ptr error;
    try {
      download.Run();
    } catch (...) {
      error = std::current_exception();
    }
    finish(error);
    return ok;
  }

  KelAssert(ui, "the download dialog needs the user-interface thread");
  // Progress is handed to the user-interface thread, which shows it and returns.
  TProgressScale scale;
  download.OnProgress = [&](int64_t done, int64_t total) {
    if (done == 0) {
      ui->Synchronize([&] {
        scale = TProgressScale(total);
        w->SetRange(scale(total));
        w->SetPosition(0);
      });
    } else {
      ui->Synchronize([&] { w->SetPosition(scale(done)); });
    }
    return true;
  };

  w->SetCaption(std::string("Downloading") + " " + url);
  w->SetStatus(statusText);
  w->SetProgressText(std::string());
  w->SetRange(100);
  w->SetPosition(0);
  w->SetButtonCaption("Cancel");
  w->SetAnimation(true);
  w->OnCancel = [&] {
    cancelled = true;
    download.Cancel();
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
  } joiner{worker, download};

  w->RunModal([&] {
    try {
      worker = std::thread([&] {
        std::exception_ptr error;
        try {
          download.Run();
        } catch (...) {
          error = std::current_exception();
        }
        try {
          ui->Synchronize([&] { finish(error); });
        } catch (...) {
          // finish() reports its own failures; nothing is left to do on this thread.
        }
      });
    } catch (...) {
      finish(std::current_exception());
    }
  });
  if (worker.joinable()) worker.join();
  return ok;
}
