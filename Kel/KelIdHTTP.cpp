#include "Kel/KelIdHTTP.h"

#include <curl/curl.h>
#include <netinet/in.h>
#include <arpa/inet.h>
#include <sys/socket.h>

#include <algorithm>
#include <optional>
#include <chrono>
#include <limits>
#include <mutex>
#include <unordered_map>

#include "Kel/KelCurl.h"
#include "Kel/KelError.h"
#include "Kel/KelLocalFile.h"
#include "Kel/KelMediaTypes.h"
#include "Kel/KelStr.h"
#include "Kel/KelTranslate.h"

void THTTPClient::Close() { Cancel_.Cancel(); }

// One transfer over libcurl, run on the calling thread through a multi handle so that
// THTTPClient::Close() can wake it at once.
class THTTPTransfer : public TCurlTransfer {
 public:
  THTTPTransfer(THTTPClient& client, THTTPMethod method, std::string url, const TAuthentication* credentials)
      : TCurlTransfer(client.Cancel_),
        Client_(client),
        Method_(method),
        URL_(std::move(url)),
        Credentials_(credentials) {}

  // Runs the transfer; raises EError on a transport failure, EAbort when closed.
  void Run();
  // The WWW-Authenticate header of the final answer.
  const std::string& Challenge() const { return Challenge_; }

 private:
  bool OnHeaderLine(std::string_view line) override;
  bool OnBody(const char* data, size_t size) override;
  void OnStep(CURL* easy) override;
  static curl_socket_t OpenSocketCallback(void* self, curlsocktype purpose, curl_sockaddr* address);
  void Status(const std::string& text) {
    if (Client_.OnStatus) Client_.OnStatus(text);
  }
  void Configure(CURL* easy, TCurlList& headers, TCurlList& proxyHeaders);

  THTTPClient& Client_;
  THTTPMethod Method_;
  std::string URL_;
  const TAuthentication* Credentials_;
  bool FinalHeaders_ = false;  // the headers of a final (not 1xx) answer are being read
  bool BodyRefused_ = false;   // the final answer's body is not wanted: the transfer ended with its headers
  bool CutOff_ = false;        // the body reached the page limit: the transfer ended there
  bool Negotiating_ = false;   // libcurl logs in with Basic or Digest as the server asks
  bool Encoded_ = false;       // the answer's body is compressed: its length says nothing of the page's
  bool WorkBegun_ = false;
  bool ConnectedReported_ = false;
  int64_t Received_ = 0;
  std::string Challenge_;
};

namespace {

// The names whose lookup failed: name (letters folded) and proxy -> the failure's message.
class TFailedNames {
 public:
  static TFailedNames& Instance() {
    static TFailedNames* names = new TFailedNames;  // kept until the process ends, as the share
    return *names;
  }
  std::optional<std::string> Find(const std::string& key) {
    std::lock_guard lock(Mutex_);
    const auto found = Names_.find(key);
    if (found == Names_.end()) return std::nullopt;
    if (Clock::now() - found->second.Since > kKept) {
      Names_.erase(found);
      return std::nullopt;
    }
    return found->second.Message;
  }
  void Add(const std::string& key, const std::string& message) {
    std::lock_guard lock(Mutex_);
    // Bounded: a page of a million made-up names keeps only the newest ones.
    if (Names_.size() >= kMostNames) Names_.clear();
    Names_[key] = {message, Clock::now()};
  }
  void Clear() {
    std::lock_guard lock(Mutex_);
    Names_.clear();
  }

 private:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::minutes kKept{10};
  static constexpr size_t kMostNames = 10000;
  struct TFailure {
    std::string Message;
    Clock::time_point Since;
  };
  std::mutex Mutex_;
  std::unordered_map<std::string, TFailure> Names_;
};

// The key of a request's name: the same name through another proxy is another lookup.
std::string FailedNameKey(const THTTPClient& client) {
  return LowerCase(client.URL.Host) + "|" + client.ProxyParams.ProxyServer;
}

}  // namespace

// The transfer failed because the name could not be looked up: the resolver said so, or the
// transfer's time ran out before the name had an address.
static bool NameLookupFailed(CURL* easy, CURLcode result) {
  if (result == CURLE_COULDNT_RESOLVE_HOST) return true;
  if (result != CURLE_OPERATION_TIMEDOUT) return false;
  curl_off_t lookup = 0;
  char* ip = nullptr;
  return curl_easy_getinfo(easy, CURLINFO_NAMELOOKUP_TIME_T, &lookup) == CURLE_OK && lookup == 0 &&
         curl_easy_getinfo(easy, CURLINFO_PRIMARY_IP, &ip) == CURLE_OK && (!ip || !*ip);
}

void ForgetFailedHostNames() { TFailedNames::Instance().Clear(); }

void THTTPTransfer::Configure(CURL* easy, TCurlList& headers, TCurlList& proxyHeaders) {
  const THTTPRequest& request = Client_.Request;
  const TProxyParams& proxy = Client_.ProxyParams;

  // libcurl refuses an address longer than it accepts input (8 MB); the request would fail with
  // "No URL set".
  if (const CURLcode set = curl_easy_setopt(easy, CURLOPT_URL, URL_.c_str()); set != CURLE_OK)
    throw EError(set == CURLE_OUT_OF_MEMORY ? "Out of memory" : "Address too long");
  curl_easy_setopt(easy, CURLOPT_SHARE, ConnectionShare());
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
  if (Method_ == THTTPMethod::Head) curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
  else curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);

  ConfigureTransport(easy, proxy, proxyHeaders, URL_);

  // Exactly the headers of this program; libcurl's own Expect / Connection headers are removed.
  // The crawl's own identity goes to the site's own hosts only, its credentials only where
  // they were given for.
  const TRequestIdentity* identity = request.Identity.get();
  const bool own = identity && identity->OwnHost && identity->OwnHost(Client_.URL);
  const bool login = identity && !identity->Username.empty() && identity->CredentialsHost &&
                     identity->CredentialsHost(Client_.URL);
  headers.Add(std::string("Accept: ") + kHTTPAccept);
  const std::string agent = own && !identity->UserAgent.empty() ? identity->UserAgent : std::string(kHTTPUserAgent);
  headers.Add("User-Agent: " + HeaderSafe(agent));
  if (!request.Referer.empty()) headers.Add("Referer: " + HeaderSafe(request.Referer));
  if (own)
    for (const std::string& line : identity->Headers) headers.Add(HeaderSafe(line));
  if (Credentials_) {
    headers.Add("Authorization: " + HeaderSafe(BasicCredentials(Credentials_->Username, Credentials_->Password)));
  } else if (login) {
    // Basic or Digest, whichever the server asks for.
    curl_easy_setopt(easy, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC | CURLAUTH_DIGEST));
    curl_easy_setopt(easy, CURLOPT_USERNAME, identity->Username.c_str());
    curl_easy_setopt(easy, CURLOPT_PASSWORD, identity->Password.c_str());
    Negotiating_ = true;
  } else if (request.BasicAuthentication)
    headers.Add("Authorization: " + HeaderSafe(BasicCredentials(Client_.URL.Username, Client_.URL.Password)));
  headers.Add("Expect:");
  headers.Add("Connection:");
  // A body the server compressed of its own accord is decoded (the page limit counts the decoded
  // size), without asking for compression: no "Accept-Encoding" goes out.
  curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
  headers.Add("Accept-Encoding:");
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers.List);

  SetCallbacks(easy);
  Limits_.Total = Client_.Limits.Timeout;
  curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, &THTTPTransfer::OpenSocketCallback);
  curl_easy_setopt(easy, CURLOPT_OPENSOCKETDATA, this);
}

struct THTTPSession::TImpl {
  TCurlEasy Easy = NewCurlEasy();
  TCurlMulti Multi = NewCurlMulti();
};

THTTPSession::THTTPSession() : Impl_(std::make_unique<TImpl>()) {}

THTTPSession::~THTTPSession() = default;

void THTTPTransfer::Run() {
  TCurlEasy own;
  CURL* easy = nullptr;
  CURLM* multi = nullptr;
  if (THTTPSession* session = Client_.Session) {
    easy = session->Impl_->Easy.get();
    multi = session->Impl_->Multi.get();
    curl_easy_reset(easy);  // every option set anew below; connections and names stay
  } else {
    own = NewCurlEasy();
    easy = own.get();
  }
  TCurlList headers, proxyHeaders;
  Configure(easy, headers, proxyHeaders);
  if (Client_.Closed()) throw EAbort();

  // A name whose lookup failed a moment ago fails again at once.
  const std::string nameKey = FailedNameKey(Client_);
  if (std::optional<std::string> failed = TFailedNames::Instance().Find(nameKey)) throw EError(*failed);
  Status(FormatText("Resolving hostname %s.", Client_.URL.Host.c_str()));
  const CURLcode result = Perform(easy, multi);
  if (!Client_.Closed() && NameLookupFailed(easy, result)) {
    std::string message = Trim(ErrorBufferText());
    if (message.empty()) message = curl_easy_strerror(result);
    TFailedNames::Instance().Add(nameKey, message);
  }

  if (WorkBegun_ && Client_.OnWorkEnd) Guarded([&] { Client_.OnWorkEnd(); });
  if (ConnectedReported_) {
    Guarded([&] { Status(RunTimeText("Disconnecting.")); });
    Guarded([&] { Status(RunTimeText("Disconnected.")); });
  }
  RaiseHandlerError();
  if (Client_.Closed()) throw EAbort();
  if (CutOff_) {
    // The page is read as far as it came; the status stays.
    Client_.Response.ResponseText = CutOffText(Client_.Response.ResponseText, Client_.Limits.MaxPageSize);
    return;
  }
  if (BodyRefused_) return;
  RaiseIfFailed(result);
}

void THTTPTransfer::OnStep(CURL* easy) {
  if (ConnectedReported_) return;
  curl_off_t connected = 0;
  if (curl_easy_getinfo(easy, CURLINFO_CONNECT_TIME_T, &connected) == CURLE_OK && connected > 0) {
    ConnectedReported_ = true;
    Status(RunTimeText("Connected."));
  }
}

bool THTTPTransfer::OnHeaderLine(std::string_view line) {
  THTTPResponse& r = Client_.Response;
  if (!ConnectedReported_) {
    ConnectedReported_ = true;
    Status(RunTimeText("Connected."));
  }
  if (BeginAnswer(line, r)) {
    Challenge_.clear();
    Encoded_ = false;
    if (Negotiating_) {
      // The answer that follows the server's challenge replaces it, body and all.
      if (r.ContentStream) r.ContentStream->clear();
      Received_ = 0;
      CutOff_ = false;
    }
    const int32_t code = r.ResponseCode();
    FinalHeaders_ = code < 100 || code >= 200;
    return true;
  }
  if (line.empty()) {
    // End of the headers: the body of a GET follows.
    if (FinalHeaders_ && Method_ == THTTPMethod::Get && !WorkBegun_) {
      // A challenge that libcurl answers with the credentials is read through: ending the
      // transfer there would end the login too.
      const bool challenge = Negotiating_ && r.ResponseCode() == 401;
      if (Client_.KeepBody && !challenge && !Client_.KeepBody(r)) {
        BodyRefused_ = true;
        return false;
      }
      WorkBegun_ = true;
      // The body is kept in one block as large as it may grow (its announced length, else the
      // page limit, up to 64 MiB): growing it as it arrives would leave the allocator holding
      // every smaller block it outgrew. Only the part written takes memory.
      std::string* content = r.ContentStream;
      const int64_t limit = Client_.Limits.MaxPageSize;
      if (content && content->empty() && limit > 0) {
        const int64_t expected = r.ContentLength > 0 && !Encoded_ ? std::min<int64_t>(r.ContentLength, limit) : limit;
        content->reserve(static_cast<size_t>(std::min<int64_t>(expected, int64_t{64} << 20)));
      }
      if (Client_.OnWorkBegin) Client_.OnWorkBegin(r.ContentLength > 0 ? r.ContentLength : 0);
    }
    return true;
  }
  const size_t colon = line.find(':');
  if (colon == std::string_view::npos) return true;
  const std::string_view name = line.substr(0, colon);
  const std::string value = Trim(line.substr(colon + 1));
  if (SameText(name, "WWW-Authenticate") && Challenge_.empty()) Challenge_ = value;
  if (SameText(name, "Content-Encoding") && !SameText(value, "identity")) Encoded_ = true;
  ReadResponseHeader(name, value, r);
  return true;
}

bool THTTPTransfer::OnBody(const char* data, size_t size) {
  const int64_t limit = Client_.Limits.MaxPageSize;
  if (limit > 0 && Received_ + static_cast<int64_t>(size) > limit) {
    size = static_cast<size_t>(limit - Received_);
    CutOff_ = true;
  }
  if (std::string* content = Client_.Response.ContentStream) {
    // Grown by doubling as usual, but never beyond the limit (reserve() itself would double).
    const size_t needed = content->size() + size;
    if (limit > 0 && needed > content->capacity()) {
      std::string grown;
      grown.reserve(std::min<size_t>(std::max(needed, content->capacity() * 2), static_cast<size_t>(limit)));
      grown.append(*content);
      content->swap(grown);
    }
    content->append(data, size);
  }
  Received_ += static_cast<int64_t>(size);
  if (CutOff_) return false;
  if (Client_.OnWork)
    Client_.OnWork(static_cast<int32_t>(std::min<int64_t>(Received_, std::numeric_limits<int32_t>::max())));
  return true;
}

curl_socket_t THTTPTransfer::OpenSocketCallback(void* self, curlsocktype, curl_sockaddr* address) {
  auto* t = static_cast<THTTPTransfer*>(self);
  char text[INET6_ADDRSTRLEN] = {};
  if (address->family == AF_INET)
    inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(&address->addr)->sin_addr, text, sizeof text);
  else if (address->family == AF_INET6)
    inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(&address->addr)->sin6_addr, text, sizeof text);
  if (!t->Guarded([&] { t->Status(FormatText("Connecting to %s.", text)); })) return CURL_SOCKET_BAD;
  return socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

namespace {

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

// The local file of a "file" address; what cannot be served raises. 2 GiB and more do not
// fit the 32-bit content length: ELocalFile TooLarge.
class TServedFile : public TLocalFile {
 public:
  explicit TServedFile(const std::string& path) : TLocalFile(path, std::numeric_limits<int32_t>::max()) {}
  int32_t Length() const { return static_cast<int32_t>(Size()); }
};

void FetchLocal(THTTPClient& client, THTTPMethod method) {
  THTTPResponse& r = client.Response;
  const std::string path = LocalPathOf(client.URL);
  const std::string mediaType = MediaTypeOf(path.substr(path.find_last_of('/') + 1));
  if (client.OnStatus) client.OnStatus(RunTimeText("Loading"));
  auto begin = [&](int32_t n) {
    if (client.OnWorkBegin) client.OnWorkBegin(n);
  };
  auto work = [&](int32_t n) {
    if (client.OnWork) client.OnWork(n);
  };
  auto end = [&] {
    if (client.OnWorkEnd) client.OnWorkEnd();
  };
  // A file too large to serve says so; anything else that fails is not found.
  auto notFound = [&](const std::exception_ptr& error) {
    r.ContentLength = -1;
    r.ContentType.clear();
    r.ResponseText = "HTTP/1.1 404 Not Found";
    try {
      std::rethrow_exception(error);
    } catch (const ELocalFile& e) {
      if (e.Fault == ELocalFile::TFault::TooLarge) r.ResponseText = e.what();
    } catch (...) {
    }
  };

  if (method == THTTPMethod::Head) {
    try {
      begin(100);
      work(0);
      const TServedFile file(path);
      r.ContentLength = file.Length();
      r.Date = file.DOSTime();
      r.ResponseText = "HTTP/1.1 200 OK";
      r.ContentType = mediaType;
      work(100);
    } catch (...) {
      notFound(std::current_exception());
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
  const int64_t limit = client.Limits.MaxPageSize;
  try {
    TServedFile file(path);
    begin(100);
    bool cutOff = false;
    if (content) {
      // A page longer than the limit is read as far as the limit.
      int64_t read = 0;
      file.ReadBlocksWhile([&](const char* data, size_t size) {
        if (limit > 0 && read + static_cast<int64_t>(size) > limit) {
          size = static_cast<size_t>(limit - read);
          cutOff = true;
        }
        content->append(data, size);
        read += static_cast<int64_t>(size);
        return !cutOff;
      });
      work(100);
    }
    end();
    r.ContentLength = file.Length();
    r.ResponseText = cutOff ? CutOffText("HTTP/1.1 200 OK", limit) : "HTTP/1.1 200 OK";
    r.Date = file.DOSTime();
    r.ContentType = mediaType;
    work(100);
  } catch (...) {
    if (content) content->resize(kept);  // no partial body with a 404 answer
    notFound(std::current_exception());
  }
}

}  // namespace

void Fetch(THTTPClient& client, THTTPMethod method, const std::string& url, const std::string* sourceStream,
           std::string* contentStream) {
  client.URL.Parse(url);
  client.Request.Method = method;
  client.Request.SourceStream = sourceStream;
  client.Response.ContentStream = contentStream;
  if (SameText(client.URL.Protocol, "file")) FetchLocal(client, method);
  else FetchRemote(client, method);
}
