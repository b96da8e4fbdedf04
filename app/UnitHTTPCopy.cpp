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

#include "Kel/KelError.h"
#include "Kel/KelStr.h"
#include "app/UnitHTTPSettings.h"
#include "platform/TransferWindow.h"

namespace {

constexpr long kConnectTimeoutSeconds = 30;  // a connection that cannot be made
constexpr long kLowSpeedTimeSeconds = 60;    // a connection that transfers nothing
constexpr long kMaxRedirects = 20;

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string HeaderSafe(std::string_view text) {
  std::string r;
  for (char c : text)
    if (c != '\r' && c != '\n' && c != '\0') r += c;
  return r;
}

TDateTime HTTPDateOf(const std::string& text) {
  const time_t t = curl_getdate(text.c_str(), nullptr);
  return t == static_cast<time_t>(-1) ? 0 : UnixToLocalDateTime(t);
}

// A Content-Length value; -1 when it is not a number (or beyond any real file).
int64_t LengthOf(const std::string& text) {
  const std::string t = Trim(text);
  if (t.empty() || t.size() > 18) return -1;
  int64_t v = 0;
  for (char c : t) {
    if (!IsAsciiDigit(c)) return -1;
    v = v * 10 + (c - '0');
  }
  return v;
}

// The record's 32-bit length: -1 (not known) when it does not fit.
int32_t ContentLengthOf(int64_t length) {
  return length >= 0 && length <= std::numeric_limits<int32_t>::max() ? static_cast<int32_t>(length) : -1;
}

[[noreturn]] void CannotCreate(const std::string& fileName, int error) {
  throw EError(Format("Cannot create file \"%s\". %s", fileName.c_str(), std::strerror(error)));
}

struct CurlSlist {
  curl_slist* List = nullptr;
  ~CurlSlist() { curl_slist_free_all(List); }
  void Add(const std::string& line) {
    curl_slist* l = curl_slist_append(List, line.c_str());
    if (!l) throw EError("Out of memory");
    List = l;
  }
};

bool IsSuccess(int32_t code) { return code >= 200 && code <= 299; }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Cookie store

struct THTTPCookieStore::TImpl {
  CURLSH* Share = nullptr;
  std::mutex Locks[CURL_LOCK_DATA_LAST];

  static void Lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
    static_cast<TImpl*>(self)->Locks[data].lock();
  }
  static void Unlock(CURL*, curl_lock_data data, void* self) { static_cast<TImpl*>(self)->Locks[data].unlock(); }
};

THTTPCookieStore::THTTPCookieStore() : Impl_(std::make_unique<TImpl>()) {
  InitCurlOnce();
  Impl_->Share = curl_share_init();
  if (!Impl_->Share) throw EError("Out of memory");
  curl_share_setopt(Impl_->Share, CURLSHOPT_LOCKFUNC, &TImpl::Lock);
  curl_share_setopt(Impl_->Share, CURLSHOPT_UNLOCKFUNC, &TImpl::Unlock);
  curl_share_setopt(Impl_->Share, CURLSHOPT_USERDATA, Impl_.get());
  curl_share_setopt(Impl_->Share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
}

THTTPCookieStore::~THTTPCookieStore() { curl_share_cleanup(Impl_->Share); }

void* THTTPCookieStore::Share() const { return Impl_->Share; }

// ---------------------------------------------------------------------------------------------
// The temporary file and the target

struct THTTPDownload::TImpl {
  std::string Target;  // the file to replace: FileName, or the file a link named so points to
  bool Existed = false;
  mode_t Mode = 0;
  std::string Temp;    // the temporary file beside the target, empty when there is none
  int Fd = -1;

  std::atomic<bool> Cancelled{false};
  std::mutex CancelMutex;
  CURLM* Multi = nullptr;  // the running transfer, guarded by CancelMutex

  // Checks the target and creates the temporary file beside it.
  void Open(const std::string& fileName);
  void Write(const char* data, size_t size, const std::string& fileName);
  void CloseFile();
  void RemoveTemp() {
    CloseFile();
    if (!Temp.empty()) ::unlink(Temp.c_str());
    Temp.clear();
  }
};

void THTTPDownload::TImpl::Open(const std::string& fileName) {
  namespace fs = std::filesystem;
  fs::path target(fileName);
  std::error_code ec;
  // Replacing a link would cut it; the file it points to is replaced instead.
  if (fs::is_symlink(fs::symlink_status(target, ec))) {
    const fs::path resolved = fs::weakly_canonical(target, ec);
    if (!ec) target = resolved;
  }
  Target = target.string();
  struct stat st {};
  Existed = ::stat(Target.c_str(), &st) == 0;
  if (Existed) {
    if (S_ISDIR(st.st_mode)) CannotCreate(fileName, EISDIR);
    // Renaming over a read-only file would replace it all the same.
    if (::access(Target.c_str(), W_OK) != 0) CannotCreate(fileName, errno);
    Mode = st.st_mode & 07777;
  }
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100 && Fd < 0; ++attempt) {
    Temp = (folder / ("." + target.filename().string() +
                      Format(".%d-%u.part", static_cast<int>(::getpid()), counter.fetch_add(1))))
               .string();
    Fd = ::open(Temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (Fd < 0 && errno != EEXIST) {
      const int error = errno;
      Temp.clear();
      CannotCreate(fileName, error);
    }
  }
  if (Fd < 0) {
    Temp.clear();
    CannotCreate(fileName, EEXIST);
  }
}

void THTTPDownload::TImpl::Write(const char* data, size_t size, const std::string& fileName) {
  while (size > 0) {
    const ssize_t n = ::write(Fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw EError(Format("Cannot write file \"%s\". %s", fileName.c_str(), std::strerror(errno)));
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
}

void THTTPDownload::TImpl::CloseFile() {
  if (Fd >= 0) ::close(Fd);
  Fd = -1;
}

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
    if (I.Cancelled) return false;
    if (D.OnProgress && !D.OnProgress(done, Total)) {
      D.Cancel();
      return false;
    }
    return true;
  }

  bool Header(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
    THTTPResponse& r = D.Response;
    if (line.size() >= 5 && StartsText("HTTP/", line)) {
      // A new answer begins (an interim or redirect answer came before): only the last counts.
      r = THTTPResponse();
      r.ResponseText = Trim(line);
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
    if (SameText(name, "Content-Length")) {
      Length = LengthOf(value);
      r.ContentLength = ContentLengthOf(Length);
    }
    else if (SameText(name, "Content-Type")) r.ContentType = value;
    else if (SameText(name, "Date")) r.Date = HTTPDateOf(value);
    else if (SameText(name, "Last-Modified")) r.LastModified = HTTPDateOf(value);
    else if (SameText(name, "Location")) r.Location = value;
    else if (SameText(name, "Server")) r.Server = value;
    else if (SameText(name, "Proxy-Connection")) r.ProxyConnection = value;
    return true;
  }

  bool Body(const char* data, size_t size) {
    if (!Accepted) return true;  // the body of an answer that is not the document
    I.Write(data, size, D.FileName);
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
    return static_cast<TDownloadTransfer*>(self)->I.Cancelled ? 1 : 0;
  }

  void Run(const std::string& url);
  void Configure(CURL* easy, const std::string& url, CurlSlist& headers, CurlSlist& proxyHeaders);
};

void TDownloadTransfer::Configure(CURL* easy, const std::string& url, CurlSlist& headers, CurlSlist& proxyHeaders) {
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, ErrorBuffer);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, kLowSpeedTimeSeconds);

  // The crawl's headers, without credentials; libcurl's own Expect / Connection headers removed.
  headers.Add(std::string("Accept: ") + kHTTPAccept);
  headers.Add(std::string("User-Agent: ") + kHTTPUserAgent);
  headers.Add("Expect:");
  headers.Add("Connection:");
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers.List);

  // The cookie engine: in the store when there is one, else for this transfer only.
  curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
  if (D.Cookies) curl_easy_setopt(easy, CURLOPT_SHARE, static_cast<CURLSH*>(D.Cookies->Share()));

  // The proxy comes from the settings only, never from the environment.
  const TProxyParams& proxy = D.Proxy;
  curl_easy_setopt(easy, CURLOPT_NOPROXY, "");
  if (!proxy.ProxyServer.empty()) {
    curl_easy_setopt(easy, CURLOPT_PROXY, proxy.ProxyServer.c_str());
    curl_easy_setopt(easy, CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_HTTP));
    if (proxy.ProxyPort > 0) curl_easy_setopt(easy, CURLOPT_PROXYPORT, static_cast<long>(proxy.ProxyPort));
    proxyHeaders.Add("Proxy-Connection:");
    if (proxy.BasicAuthentication)
      proxyHeaders.Add("Proxy-Authorization: " + HeaderSafe(BasicCredentials(proxy.ProxyUsername, proxy.ProxyPassword)));
    curl_easy_setopt(easy, CURLOPT_HEADEROPT, static_cast<long>(CURLHEADER_SEPARATE));
    curl_easy_setopt(easy, CURLOPT_PROXYHEADER, proxyHeaders.List);
    curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  } else {
    curl_easy_setopt(easy, CURLOPT_PROXY, "");
  }

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
  std::unique_ptr<CURLM, decltype(&curl_multi_cleanup)> multi(curl_multi_init(), &curl_multi_cleanup);
  if (!easy || !multi) throw EError("Cannot start an HTTP request");
  CurlSlist headers, proxyHeaders;
  Configure(easy.get(), url, headers, proxyHeaders);
  {
    std::lock_guard lock(I.CancelMutex);
    if (I.Cancelled) throw EAbort();
    I.Multi = multi.get();
  }
  struct Detach {
    THTTPDownload::TImpl& I;
    ~Detach() {
      std::lock_guard lock(I.CancelMutex);
      I.Multi = nullptr;
    }
  } detach{I};

  curl_multi_add_handle(multi.get(), easy.get());
  CURLcode result = CURLE_OK;
  bool finished = false;
  for (;;) {
    int running = 0;
    const CURLMcode mc = curl_multi_perform(multi.get(), &running);
    if (mc != CURLM_OK) {
      result = CURLE_FAILED_INIT;
      snprintf(ErrorBuffer, sizeof ErrorBuffer, "%s", curl_multi_strerror(mc));
      break;
    }
    int queued = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi.get(), &queued)) {
      if (msg->msg == CURLMSG_DONE) {
        result = msg->data.result;
        finished = true;
      }
    }
    if (finished || running == 0 || Error || I.Cancelled) break;
    curl_multi_poll(multi.get(), nullptr, 0, 1000, nullptr);
  }
  curl_multi_remove_handle(multi.get(), easy.get());

  if (Error) std::rethrow_exception(Error);
  if (I.Cancelled) throw EAbort();
  if (!Refused.empty()) throw EError(Refused);
  if (!finished && result == CURLE_OK) result = CURLE_RECV_ERROR;
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

void THTTPDownload::Cancel() {
  std::lock_guard lock(Impl_->CancelMutex);
  Impl_->Cancelled = true;
  if (Impl_->Multi) curl_multi_wakeup(Impl_->Multi);
}

bool THTTPDownload::Cancelled() const { return Impl_->Cancelled; }

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
  if (impl.Cancelled) throw EAbort();
  Response = THTTPResponse();
  const TURI uri(URL);
  const std::string scheme = LowerCase(uri.Protocol);
  const bool local = scheme == "file";
  if (!local) {
    if (scheme != "http" && scheme != "https")
      throw EError(uri.Protocol.empty() ? std::string("Protocol field is empty") : "Unsupported protocol: " + uri.Protocol);
    if (uri.Host.empty()) throw EError("Host field is empty");
  }
  impl.RemoveTemp();
  impl.Open(FileName);

  if (local) {
    auto progress = [&](int64_t done, int64_t total) {
      if (impl.Cancelled) return false;
      if (OnProgress && !OnProgress(done, total)) {
        Cancel();
        return false;
      }
      return true;
    };
    CopyLocal(*this, uri, [&](const char* data, size_t size) { impl.Write(data, size, FileName); }, progress);
    return;
  }

  // The address as it goes on the wire, without credentials: no "Authorization" is ever sent.
  std::string target = uri.Path + uri.Document + uri.Params;
  if (target.empty() || target.front() != '/') target.insert(0, "/");
  const std::string wire =
      scheme + "://" + uri.Host + (uri.Port.empty() ? std::string() : ":" + uri.Port) + EncodeRequestTarget(target);
  TDownloadTransfer transfer(*this, impl);
  transfer.Run(wire);
}

void THTTPDownload::Commit() {
  TImpl& impl = *Impl_;
  KelAssert(!impl.Temp.empty(), "nothing downloaded to commit");
  int error = 0;
  // A replaced file keeps its permissions.
  if (impl.Existed && ::fchmod(impl.Fd, impl.Mode) != 0) error = errno;
  if (::close(impl.Fd) != 0 && !error) error = errno;
  impl.Fd = -1;
  if (!error && ::rename(impl.Temp.c_str(), impl.Target.c_str()) != 0) error = errno;
  if (error) {
    impl.RemoveTemp();
    CannotCreate(FileName, error);
  }
  impl.Temp.clear();
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
