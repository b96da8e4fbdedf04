#include "Kel/KelCurl.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>

#include "Kel/KelError.h"
#include "Kel/KelStr.h"

namespace {
constexpr long kConnectTimeoutSeconds = 30;  // a connection that cannot be made
}  // namespace

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

TCurlEasy NewCurlEasy() {
  InitCurlOnce();
  TCurlEasy easy(curl_easy_init());
  if (!easy) throw EError("Cannot start an HTTP request");
  return easy;
}

TCurlMulti NewCurlMulti() {
  InitCurlOnce();
  TCurlMulti multi(curl_multi_init());
  if (!multi) throw EError("Cannot start an HTTP request");
  return multi;
}

std::string HeaderSafe(std::string_view text) {
  std::string r;
  r.reserve(text.size());
  for (char c : text)
    if (c != '\r' && c != '\n' && c != '\0') r += c;
  return r;
}

TDateTime HTTPDateOf(const std::string& text) {
  const time_t t = curl_getdate(text.c_str(), nullptr);
  return t == static_cast<time_t>(-1) ? 0 : UnixToLocalDateTime(t);
}

int64_t HeaderLengthOf(const std::string& text) {
  const std::string t = Trim(text);
  if (t.empty() || t.size() > 18) return -1;
  int64_t v = 0;
  for (char c : t) {
    if (!IsAsciiDigit(c)) return -1;
    v = v * 10 + (c - '0');
  }
  return v;
}

int32_t ContentLengthOf(int64_t length) {
  return length >= 0 && length <= std::numeric_limits<int32_t>::max() ? static_cast<int32_t>(length) : -1;
}

std::string WireAddressOf(const TURI& uri) {
  const std::string scheme = LowerCase(uri.Protocol);
  if (scheme != "http" && scheme != "https")
    throw EError(uri.Protocol.empty() ? std::string("Protocol field is empty")
                                      : "Unsupported protocol: " + uri.Protocol);
  if (uri.Host.empty()) throw EError("Host field is empty");
  std::string target = uri.Path + uri.Document + uri.Params;
  if (target.empty() || target.front() != '/') target.insert(0, "/");
  return scheme + "://" + uri.Host + (uri.Port.empty() ? std::string() : ":" + uri.Port) + EncodeRequestTarget(target);
}

void TCurlList::Add(const std::string& line) {
  curl_slist* l = curl_slist_append(List, line.c_str());
  if (!l) throw EError("Out of memory");
  List = l;
}

TCurlShare::TCurlShare(std::initializer_list<curl_lock_data> kinds) : Share_((InitCurlOnce(), curl_share_init())) {
  if (!Share_) throw EError("Out of memory");
  curl_share_setopt(Share_, CURLSHOPT_LOCKFUNC, &Lock);
  curl_share_setopt(Share_, CURLSHOPT_UNLOCKFUNC, &Unlock);
  curl_share_setopt(Share_, CURLSHOPT_USERDATA, this);
  for (curl_lock_data kind : kinds) curl_share_setopt(Share_, CURLSHOPT_SHARE, kind);
}

TCurlShare::~TCurlShare() { curl_share_cleanup(Share_); }

void TCurlShare::Lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
  static_cast<TCurlShare*>(self)->Mutexes_[static_cast<size_t>(data) % CURL_LOCK_DATA_LAST].lock();
}

void TCurlShare::Unlock(CURL*, curl_lock_data data, void* self) {
  static_cast<TCurlShare*>(self)->Mutexes_[static_cast<size_t>(data) % CURL_LOCK_DATA_LAST].unlock();
}

CURLSH* ConnectionShare() {
  // Kept until the process ends: requests may still run while static objects are destroyed.
  // Names only: libcurl's connection cache may not be shared by transfers on several threads
  // (a connection closed on one thread while another takes it frees it twice); each thread's
  // session keeps its own connections instead.
  static TCurlShare* share = new TCurlShare({CURL_LOCK_DATA_DNS});
  return share->Handle();
}

void ConfigureTransport(CURL* easy, const TProxyParams& proxy, TCurlList& proxyHeaders, const std::string& address) {
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
  if (const char* file = std::getenv("SSL_CERT_FILE"); file && *file) curl_easy_setopt(easy, CURLOPT_CAINFO, file);
  if (const char* dir = std::getenv("SSL_CERT_DIR"); dir && *dir) curl_easy_setopt(easy, CURLOPT_CAPATH, dir);

  curl_easy_setopt(easy, CURLOPT_NOPROXY, "");
  const TURI target(address);
  const std::string port = target.Port.empty() ? DefaultPortOf(target.Protocol) : target.Port;
  if (proxy.ProxyServer.empty() || BypassesProxy(target.Host, port, proxy.NoProxy, proxy.ProxyServer)) {
    curl_easy_setopt(easy, CURLOPT_PROXY, "");
    return;
  }
  curl_easy_setopt(easy, CURLOPT_PROXY, proxy.ProxyServer.c_str());
  curl_easy_setopt(easy, CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_HTTP));
  if (proxy.ProxyPort > 0) curl_easy_setopt(easy, CURLOPT_PROXYPORT, static_cast<long>(proxy.ProxyPort));
  proxyHeaders.Add("Proxy-Connection:");
  if (proxy.BasicAuthentication)
    proxyHeaders.Add("Proxy-Authorization: " + HeaderSafe(BasicCredentials(proxy.ProxyUsername, proxy.ProxyPassword)));
  // The origin's headers stay with the origin: the proxy sees only its own.
  curl_easy_setopt(easy, CURLOPT_HEADEROPT, static_cast<long>(CURLHEADER_SEPARATE));
  curl_easy_setopt(easy, CURLOPT_PROXYHEADER, proxyHeaders.List);
  curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
}

bool BeginAnswer(std::string_view line, THTTPResponse& response) {
  if (line.size() < 5 || !StartsText("HTTP/", line)) return false;
  std::string* stream = response.ContentStream;
  response = THTTPResponse();
  response.ContentStream = stream;
  response.ResponseText = Trim(line);
  return true;
}

void ReadResponseHeader(std::string_view name, const std::string& value, THTTPResponse& r, int64_t* length) {
  if (SameText(name, "Content-Length")) {
    const int64_t full = HeaderLengthOf(value);
    if (length) *length = full;
    r.ContentLength = ContentLengthOf(full);
  } else if (SameText(name, "Content-Type")) {
    r.ContentType = value;
  } else if (SameText(name, "Date")) {
    r.Date = HTTPDateOf(value);
  } else if (SameText(name, "Last-Modified")) {
    r.LastModified = HTTPDateOf(value);
  } else if (SameText(name, "Location")) {
    r.Location = value;
  } else if (SameText(name, "Server")) {
    r.Server = value;
  } else if (SameText(name, "Proxy-Connection")) {
    r.ProxyConnection = value;
  } else if (SameText(name, "Retry-After")) {
    r.RetryAfter = value;
  } else if (SameText(name, "WWW-Authenticate")) {
    if (r.Authenticate.empty()) r.Authenticate = value;
  }
}

CURLcode RunTransfer(CURL* easy, CURLM* multiHandle, TTransferCancel& cancel, char* errorBuffer,
                     const std::function<bool()>& afterStep, const TRunLimits& limits,
                     const std::chrono::steady_clock::time_point* lastData) {
  using Clock = std::chrono::steady_clock;
  using std::chrono::milliseconds;
  const Clock::time_point start = Clock::now();
  TCurlMulti own;
  if (!multiHandle) own = NewCurlMulti();
  CURLM* const multi = multiHandle ? multiHandle : own.get();
  if (!cancel.Attach(multi)) return CURLE_ABORTED_BY_CALLBACK;
  struct Detach {
    TTransferCancel& Cancel;
    ~Detach() { Cancel.Detach(); }
  } detach{cancel};

  if (curl_multi_add_handle(multi, easy) != CURLM_OK) throw EError("Cannot start an HTTP request");
  struct Remove {
    CURLM* Multi;
    CURL* Easy;
    ~Remove() { curl_multi_remove_handle(Multi, Easy); }
  } remove{multi, easy};
  CURLcode result = CURLE_OK;
  bool finished = false;
  for (;;) {
    int running = 0;
    const CURLMcode mc = curl_multi_perform(multi, &running);
    if (mc != CURLM_OK) {
      result = CURLE_FAILED_INIT;
      std::snprintf(errorBuffer, CURL_ERROR_SIZE, "%s", curl_multi_strerror(mc));
      break;
    }
    int queued = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi, &queued)) {
      if (msg->msg == CURLMSG_DONE) {
        result = msg->data.result;
        finished = true;
      }
    }
    if (finished) break;
    if (running == 0) {
      result = CURLE_RECV_ERROR;
      break;
    }
    if (cancel.Cancelled() || (afterStep && !afterStep())) {
      result = CURLE_ABORTED_BY_CALLBACK;
      break;
    }
    // The wait ends at the next limit at the latest.
    milliseconds wait(1000);
    const Clock::time_point now = Clock::now();
    if (limits.Total.count() > 0) {
      const auto left = std::chrono::duration_cast<milliseconds>(start + limits.Total - now);
      if (left.count() <= 0) {
        std::snprintf(errorBuffer, CURL_ERROR_SIZE, "%s", TimedOutText(limits.Total).c_str());
        result = CURLE_OPERATION_TIMEDOUT;
        break;
      }
      wait = std::min(wait, left);
    }
    if (limits.Idle.count() > 0) {
      const Clock::time_point last = lastData ? std::max(*lastData, start) : start;
      const auto left = std::chrono::duration_cast<milliseconds>(last + limits.Idle - now);
      if (left.count() <= 0) {
        std::snprintf(errorBuffer, CURL_ERROR_SIZE, "%s", NoDataText(limits.Idle).c_str());
        result = CURLE_OPERATION_TIMEDOUT;
        break;
      }
      wait = std::min(wait, left);
    }
    curl_multi_poll(multi, nullptr, 0, static_cast<int>(std::max<long long>(wait.count(), 1)), nullptr);
  }
  return result;
}

// ---------------------------------------------------------------------------------------------

void TCurlTransfer::SetCallbacks(CURL* easy) {
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, ErrorBuffer_);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &TCurlTransfer::HeaderCallback);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &TCurlTransfer::WriteCallback);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &TCurlTransfer::XferInfoCallback);
  curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
}

CURLcode TCurlTransfer::Perform(CURL* easy, CURLM* multi) {
  LastData_ = std::chrono::steady_clock::now();
  return RunTransfer(
      easy, multi, Cancel_, ErrorBuffer_,
      [this, easy] {
        Guarded([&] { OnStep(easy); });
        return !Error_;
      },
      Limits_, &LastData_);
}

void TCurlTransfer::RaiseIfFailed(CURLcode result) const {
  if (result == CURLE_OK) return;
  std::string message = Trim(ErrorBuffer_);
  if (message.empty()) message = curl_easy_strerror(result);
  throw EError(message);
}

size_t TCurlTransfer::HeaderCallback(char* data, size_t size, size_t count, void* self) {
  auto* t = static_cast<TCurlTransfer*>(self);
  const size_t n = size * count;
  t->LastData_ = std::chrono::steady_clock::now();
  std::string_view line(data, n);
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  return t->Guarded([&] { return t->OnHeaderLine(line); }) ? n : 0;
}

size_t TCurlTransfer::WriteCallback(char* data, size_t size, size_t count, void* self) {
  auto* t = static_cast<TCurlTransfer*>(self);
  const size_t n = size * count;
  t->LastData_ = std::chrono::steady_clock::now();
  return t->Guarded([&] { return t->OnBody(data, n); }) ? n : CURL_WRITEFUNC_ERROR;
}

int TCurlTransfer::XferInfoCallback(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<TCurlTransfer*>(self)->Cancel_.Cancelled() ? 1 : 0;
}
