#include "Kel/KelIdHTTP.h"

#include <cstdlib>

#include <curl/curl.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <arpa/inet.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <exception>
#include <limits>
#include <memory>

#include "Kel/KelCurl.h"
#include "Kel/KelError.h"
#include "Kel/KelMediaTypes.h"
#include "Kel/KelStr.h"

const char* const kHTTPAccept = "text/html, */*";
const char* const kHTTPUserAgent = "Mozilla/3.0 (compatible; Indy Library)";

int32_t ResponseCodeOf(std::string_view text) {
  const size_t blank = text.find(' ');
  if (blank == std::string_view::npos) return -1;
  std::string_view rest = text.substr(blank + 1);
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  const size_t end = rest.find(' ');
  std::string_view word = rest.substr(0, end);
  if (word.empty()) return -1;
  bool negative = false;
  if (word.front() == '-' || word.front() == '+') {
    negative = word.front() == '-';
    word.remove_prefix(1);
  }
  if (word.empty()) return -1;
  long long v = 0;
  for (char c : word) {
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
    if (v > std::numeric_limits<int32_t>::max()) return -1;
  }
  return static_cast<int32_t>(negative ? -v : v);
}

std::string EncodeRequestTarget(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string r;
  r.reserve(text.size());
  for (const char c : text) {
    const unsigned char b = static_cast<unsigned char>(c);
    bool escape = b <= 32 || b >= 127;
    switch (c) {
      case '"': case '<': case '>': case '\\': case '^': case '`': case '{': case '|': case '}':
        escape = true;
        break;
      default:
        break;
    }
    if (escape) {
      r += '%';
      r += kHex[b >> 4];
      r += kHex[b & 15];
    } else {
      r += c;
    }
  }
  return r;
}

std::string BasicCredentials(std::string_view username, std::string_view password) {
  static const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string plain(username);
  plain += ':';
  plain += password;
  std::string r = "Basic ";
  size_t i = 0;
  for (; i + 2 < plain.size(); i += 3) {
    const unsigned v = (static_cast<unsigned char>(plain[i]) << 16) | (static_cast<unsigned char>(plain[i + 1]) << 8) |
                       static_cast<unsigned char>(plain[i + 2]);
    r += kBase64[(v >> 18) & 63];
    r += kBase64[(v >> 12) & 63];
    r += kBase64[(v >> 6) & 63];
    r += kBase64[v & 63];
  }
  if (i + 1 == plain.size()) {
    const unsigned v = static_cast<unsigned char>(plain[i]) << 16;
    r += kBase64[(v >> 18) & 63];
    r += kBase64[(v >> 12) & 63];
    r += "==";
  } else if (i + 2 == plain.size()) {
    const unsigned v = (static_cast<unsigned char>(plain[i]) << 16) | (static_cast<unsigned char>(plain[i + 1]) << 8);
    r += kBase64[(v >> 18) & 63];
    r += kBase64[(v >> 12) & 63];
    r += kBase64[(v >> 6) & 63];
    r += '=';
  }
  return r;
}

void THTTPClient::Close() { Cancel_.Cancel(); }


// One transfer over libcurl, run on the calling thread through a multi handle so that
// THTTPClient::Close() can wake it at once.
class THTTPTransfer {
 public:
  THTTPTransfer(THTTPClient& client, THTTPMethod method, std::string url, const TAuthentication* credentials)
      : Client_(client), Method_(method), URL_(std::move(url)), Credentials_(credentials) {}

  // Runs the transfer; raises EError on a transport failure, EAbort when closed.
  void Run();
  // The WWW-Authenticate header of the final answer.
  const std::string& Challenge() const { return Challenge_; }

 private:
  static size_t HeaderCallback(char* data, size_t size, size_t count, void* self);
  static size_t WriteCallback(char* data, size_t size, size_t count, void* self);
  static int ProgressCallback(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
  static curl_socket_t OpenSocketCallback(void* self, curlsocktype purpose, curl_sockaddr* address);
  void Header(std::string_view line);
  void Body(const char* data, size_t size);
  void Status(const std::string& text) {
    if (Client_.OnStatus) Client_.OnStatus(text);
  }
  // Runs a user handler inside a libcurl callback: an error ends the transfer and is raised afterwards.
  template <typename F>
  bool Guarded(F&& f) {
    try {
      f();
      return true;
    } catch (...) {
      if (!Error_) Error_ = std::current_exception();
      return false;
    }
  }
  void Configure(CURL* easy, TCurlList& headers, TCurlList& proxyHeaders);

  THTTPClient& Client_;
  THTTPMethod Method_;
  std::string URL_;
  const TAuthentication* Credentials_;
  char ErrorBuffer_[CURL_ERROR_SIZE] = {};
  std::exception_ptr Error_;
  bool FinalHeaders_ = false;  // the headers of a final (not 1xx) answer are being read
  bool WorkBegun_ = false;
  bool ConnectedReported_ = false;
  int64_t Received_ = 0;
  std::string Challenge_;
};

void THTTPTransfer::Configure(CURL* easy, TCurlList& headers, TCurlList& proxyHeaders) {
  const THTTPRequest& request = Client_.Request;
  const TProxyParams& proxy = Client_.ProxyParams;

  curl_easy_setopt(easy, CURLOPT_URL, URL_.c_str());
  curl_easy_setopt(easy, CURLOPT_SHARE, ConnectionShare());
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, ErrorBuffer_);
  if (Method_ == THTTPMethod::Head)
    curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
  else
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);

  ConfigureTransport(easy, proxy, proxyHeaders);

  // Exactly the headers of this program; libcurl's own Expect / Connection headers are removed.
  headers.Add(std::string("Accept: ") + kHTTPAccept);
  headers.Add(std::string("User-Agent: ") + kHTTPUserAgent);
  if (!request.Referer.empty()) headers.Add("Referer: " + HeaderSafe(request.Referer));
  if (Credentials_)
    headers.Add("Authorization: " + HeaderSafe(BasicCredentials(Credentials_->Username, Credentials_->Password)));
  else if (request.BasicAuthentication)
    headers.Add("Authorization: " + HeaderSafe(BasicCredentials(Client_.URL.Username, Client_.URL.Password)));
  headers.Add("Expect:");
  headers.Add("Connection:");
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers.List);

  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &THTTPTransfer::HeaderCallback);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &THTTPTransfer::WriteCallback);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &THTTPTransfer::ProgressCallback);
  curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
  curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, &THTTPTransfer::OpenSocketCallback);
  curl_easy_setopt(easy, CURLOPT_OPENSOCKETDATA, this);
}

void THTTPTransfer::Run() {
  InitCurlOnce();
  std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> easy(curl_easy_init(), &curl_easy_cleanup);
  if (!easy) throw EError("Cannot start an HTTP request");
  TCurlList headers, proxyHeaders;
  Configure(easy.get(), headers, proxyHeaders);
  if (Client_.Closed()) throw EAbort();

  Status("Resolving hostname " + Client_.URL.Host + ".");
  const CURLcode result = RunTransfer(easy.get(), Client_.Cancel_, ErrorBuffer_, [&] {
    if (!ConnectedReported_) {
      curl_off_t connected = 0;
      if (curl_easy_getinfo(easy.get(), CURLINFO_CONNECT_TIME_T, &connected) == CURLE_OK && connected > 0) {
        ConnectedReported_ = true;
        Guarded([&] { Status("Connected."); });
      }
    }
    return !Error_;
  });

  if (WorkBegun_ && Client_.OnWorkEnd) Guarded([&] { Client_.OnWorkEnd(); });
  if (ConnectedReported_) {
    Guarded([&] { Status("Disconnecting."); });
    Guarded([&] { Status("Disconnected."); });
  }
  if (Error_) std::rethrow_exception(Error_);
  if (Client_.Closed()) throw EAbort();
  if (result != CURLE_OK) {
    std::string message = Trim(ErrorBuffer_);
    if (message.empty()) message = curl_easy_strerror(result);
    throw EError(message);
  }
}

size_t THTTPTransfer::HeaderCallback(char* data, size_t size, size_t count, void* self) {
  auto* t = static_cast<THTTPTransfer*>(self);
  const size_t n = size * count;
  if (!t->Guarded([&] { t->Header(std::string_view(data, n)); })) return 0;
  return n;
}

void THTTPTransfer::Header(std::string_view raw) {
  std::string_view line = raw;
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  THTTPResponse& r = Client_.Response;
  if (!ConnectedReported_) {
    ConnectedReported_ = true;
    Status("Connected.");
  }
  if (BeginAnswer(line, r)) {
    Challenge_.clear();
    const int32_t code = r.ResponseCode();
    FinalHeaders_ = code < 100 || code >= 200;
    return;
  }
  if (line.empty()) {
    // End of the headers: the body of a GET follows.
    if (FinalHeaders_ && Method_ == THTTPMethod::Get && !WorkBegun_) {
      WorkBegun_ = true;
      if (Client_.OnWorkBegin) Client_.OnWorkBegin(r.ContentLength > 0 ? r.ContentLength : 0);
    }
    return;
  }
  const size_t colon = line.find(':');
  if (colon == std::string_view::npos) return;
  const std::string_view name = line.substr(0, colon);
  const std::string value = Trim(line.substr(colon + 1));
  if (SameText(name, "WWW-Authenticate") && Challenge_.empty()) Challenge_ = value;
  ReadResponseHeader(name, value, r);
}

size_t THTTPTransfer::WriteCallback(char* data, size_t size, size_t count, void* self) {
  auto* t = static_cast<THTTPTransfer*>(self);
  const size_t n = size * count;
  if (!t->Guarded([&] { t->Body(data, n); })) return CURL_WRITEFUNC_ERROR;
  return n;
}

void THTTPTransfer::Body(const char* data, size_t size) {
  if (Client_.Response.ContentStream) Client_.Response.ContentStream->append(data, size);
  Received_ += static_cast<int64_t>(size);
  if (Client_.OnWork)
    Client_.OnWork(static_cast<int32_t>(std::min<int64_t>(Received_, std::numeric_limits<int32_t>::max())));
}

int THTTPTransfer::ProgressCallback(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto* t = static_cast<THTTPTransfer*>(self);
  return t->Client_.Closed() ? 1 : 0;
}

curl_socket_t THTTPTransfer::OpenSocketCallback(void* self, curlsocktype, curl_sockaddr* address) {
  auto* t = static_cast<THTTPTransfer*>(self);
  char text[INET6_ADDRSTRLEN] = {};
  if (address->family == AF_INET)
    inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(&address->addr)->sin_addr, text, sizeof text);
  else if (address->family == AF_INET6)
    inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(&address->addr)->sin6_addr, text, sizeof text);
  if (!t->Guarded([&] { t->Status(std::string("Connecting to ") + text + "."); })) return CURL_SOCKET_BAD;
  return socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

namespace {

// The first word of a WWW-Authenticate header and its realm.
TAuthentication ChallengeOf(const std::string& header) {
  TAuthentication a;
  const std::string h = Trim(header);
  const size_t blank = h.find(' ');
  a.Scheme = h.substr(0, blank);
  const size_t realm = PosText("realm=", h);
  if (realm != std::string::npos) {
    std::string v = h.substr(realm + 6);
    if (!v.empty() && v.front() == '"') {
      const size_t close = v.find('"', 1);
      v = v.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    } else {
      v = v.substr(0, v.find_first_of(", "));
    }
    a.Realm = v;
  }
  return a;
}

void FetchRemote(THTTPClient& client, THTTPMethod method) {
  const std::string url = WireAddressOf(client.URL);

  THTTPTransfer first(client, method, url, nullptr);
  first.Run();
  if (client.Response.ResponseCode() != 401 || !client.OnAuthorization) return;
  TAuthentication authentication = ChallengeOf(first.Challenge());
  bool handled = false;
  client.OnAuthorization(authentication, handled);
  if (!handled || authentication.Username.empty()) return;
  if (client.Response.ContentStream) client.Response.ContentStream->clear();
  THTTPTransfer second(client, method, url, &authentication);
  second.Run();
}

// The file's last-write time as a local date-time, through the DOS date-time form
// (whole seconds, rounded down to an even second).
TDateTime FileTimeOf(const struct stat& st) {
  const time_t t = st.st_mtim.tv_sec;
  std::tm local{};
  if (!localtime_r(&t, &local)) return 0;
  return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
         EncodeTime(local.tm_hour, local.tm_min, local.tm_sec & ~1);
}

class FileHandle {
 public:
  explicit FileHandle(const std::string& path) {
    // Non-blocking, so that a named pipe cannot hold the worker; only regular files are served.
    Fd_ = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (Fd_ < 0) throw EError("cannot open");
    if (fstat(Fd_, &Stat_) != 0 || !S_ISREG(Stat_.st_mode)) throw EError("not a file");
    // 2 GiB and more do not fit the 32-bit content length.
    if (Stat_.st_size > std::numeric_limits<int32_t>::max()) throw EError("too large");
  }
  ~FileHandle() {
    if (Fd_ >= 0) close(Fd_);
  }
  int32_t Size() const { return static_cast<int32_t>(Stat_.st_size); }
  TDateTime Time() const { return FileTimeOf(Stat_); }
  void CopyTo(std::string& out) const {
    char buffer[65536];
    for (;;) {
      const ssize_t n = read(Fd_, buffer, sizeof buffer);
      if (n == 0) return;
      if (n < 0) {
        if (errno == EINTR) continue;
        throw EError("cannot read");
      }
      out.append(buffer, static_cast<size_t>(n));
    }
  }

 private:
  int Fd_ = -1;
  struct stat Stat_ {};
};

void FetchLocal(THTTPClient& client, THTTPMethod method) {
  THTTPResponse& r = client.Response;
  const std::string path = LocalPathOf(client.URL);
  const std::string mediaType = MediaTypeOf(client.URL.Document);
  if (client.OnStatus) client.OnStatus("Loading");
  auto begin = [&](int32_t n) {
    if (client.OnWorkBegin) client.OnWorkBegin(n);
  };
  auto work = [&](int32_t n) {
    if (client.OnWork) client.OnWork(n);
  };
  auto end = [&] {
    if (client.OnWorkEnd) client.OnWorkEnd();
  };
  auto notFound = [&] {
    r.ContentLength = -1;
    r.ContentType.clear();
    r.ResponseText = "HTTP/1.1 404 Not Found";
  };

  if (method == THTTPMethod::Head) {
    try {
      begin(100);
      work(0);
      FileHandle file(path);
      r.ContentLength = file.Size();
      r.Date = file.Time();
      r.ResponseText = "HTTP/1.1 200 OK";
      r.ContentType = mediaType;
      work(100);
    } catch (...) {
      notFound();
    }
    try {
      end();
    } catch (...) {
    }
    return;
  }
  if (method != THTTPMethod::Get) return;
  std::string* content = r.ContentStream;
  const size_t kept = content ? content->size() : 0;
  try {
    FileHandle file(path);
    begin(100);
    if (content) {
      file.CopyTo(*content);
      work(100);
    }
    end();
    r.ContentLength = file.Size();
    r.ResponseText = "HTTP/1.1 200 OK";
    r.Date = file.Time();
    r.ContentType = mediaType;
    work(100);
  } catch (...) {
    if (content) content->resize(kept);  // no partial body with a 404 answer
    notFound();
  }
}

}  // namespace

void Fetch(THTTPClient& client, THTTPMethod method, const std::string& url, const std::string* sourceStream,
           std::string* contentStream) {
  client.URL.Parse(url);
  client.Request.Method = method;
  client.Request.SourceStream = sourceStream;
  client.Response.ContentStream = contentStream;
  if (SameText(client.URL.Protocol, "file"))
    FetchLocal(client, method);
  else
    FetchRemote(client, method);
}
