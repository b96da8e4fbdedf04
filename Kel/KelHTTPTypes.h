// What the program's HTTP transfers share: the request and response records, the proxy, the
// handle that cancels a running transfer, and the headers every request carries. Used by the
// crawl's requests (KelIdHTTP), the download of documents (KelHTTPDownload) and their libcurl
// helpers (KelCurl).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "Kel/KelDateTime.h"

class TURI;

// The status code of a status line: its second blank-separated word as a decimal number,
// -1 when there is none ("HTTP/1.1 404 Not Found" gives 404; a failure message gives -1).
int32_t ResponseCodeOf(std::string_view responseText);

// What one request learned: the status line (or the failure message) and the response headers.
struct THTTPResponse {
  std::string ResponseText;
  int32_t ContentLength = -1;  // -1 when not known
  std::string ContentType;
  TDateTime Date = 0;
  TDateTime LastModified = 0;
  std::string Location;
  std::string Server;
  std::string ProxyConnection;
  std::string RetryAfter;  // seconds, or an HTTP date
  std::string Authenticate;  // the first WWW-Authenticate: the login the server asks for
  std::string* ContentStream = nullptr;  // receives the body of a GET; not owned

  // Always derived from ResponseText.
  int32_t ResponseCode() const { return ResponseCodeOf(ResponseText); }
};

// The request methods; the values are those a queued request stores.
enum class THTTPMethod : uint8_t { Head = 0, Get = 1 };

// What a crawl says of itself, to the site's own hosts only: a cookie, a token or a password
// must never reach another host.
struct TRequestIdentity {
  std::string UserAgent;             // empty: the program's own (kHTTPUserAgent)
  std::vector<std::string> Headers;  // extra request headers, "Name: value"
  std::string Username, Password;    // HTTP Basic or Digest, as the server asks
  // Where the user agent and the headers go; none: nowhere.
  std::function<bool(const TURI&)> OwnHost;
  // Where the credentials go; none: nowhere.
  std::function<bool(const TURI&)> CredentialsHost;
};

// Checks a header line given by a person: "Name: value" with a name of token characters and no
// line break anywhere. Throws EError naming `setting`.
void CheckHeaderLine(const std::string& line, const std::string& setting);

// What is sent besides the address.
struct THTTPRequest {
  THTTPMethod Method = THTTPMethod::Get;
  std::string Referer;               // sent as "Referer" when not empty
  bool BasicAuthentication = false;  // send "Authorization: Basic" with the address's (usually empty) credentials
  const std::string* SourceStream = nullptr;  // a request body; never sent by HEAD or GET
  std::shared_ptr<const TRequestIdentity> Identity;  // none: the program's own identity
};

// The HTTP proxy every request goes through when ProxyServer is not empty.
struct TProxyParams {
  std::string ProxyServer;
  int32_t ProxyPort = 0;  // 0: libcurl's default proxy port
  std::string ProxyUsername;
  std::string ProxyPassword;
  bool BasicAuthentication = false;  // send "Proxy-Authorization: Basic" with the user name and password
  // Hosts reached directly, as no_proxy lists them: "example.org, .intra, 10.0.0.0/8, host:8080, *".
  std::string NoProxy;
};

// Whether a request to `host` (a name, an IPv4 address or a bracketed IPv6 one) on `port` (the
// scheme's default filled in) goes around the proxy `proxyHost`. `noProxy` lists entries split
// by commas or blanks: "*" (every host), a name that matches itself and every name below it
// (".example.org" and "*.example.org" alike), an IP address or a CIDR block, each with an
// optional ":port" ("[::1]:8080" for IPv6). Letter case is ignored. A loopback host (localhost,
// 127.0.0.0/8, ::1) always goes direct, unless the proxy itself is on loopback.
bool BypassesProxy(std::string_view host, std::string_view port, std::string_view noProxy,
                   std::string_view proxyHost);

// How long a transfer may take and how much of a page it keeps.
struct TTransferLimits {
  static constexpr std::chrono::milliseconds kDefaultTimeout{60000};
  static constexpr int64_t kDefaultMaxPageSize = 32 * 1024 * 1024;
  // A crawl request: the longest the whole answer may take. A download into a file: the longest
  // wait for data, with no limit on the whole. 0: none.
  std::chrono::milliseconds Timeout = kDefaultTimeout;
  // The most of a page's body kept, counted after any content decoding; the transfer ends there
  // and the page is read as far as it came. 0: none.
  int64_t MaxPageSize = kDefaultMaxPageSize;
};

// "Timed out after 60 s": the failure of a request that took longer than `limit`.
std::string TimedOutText(std::chrono::milliseconds limit);
// "No data for 60 s": the failure of a download that waited longer than `limit` for data.
std::string NoDataText(std::chrono::milliseconds limit);
// The response text of a page cut off at `limit` bytes: the status line followed by
// " (page cut off at 32 MiB)"; the response code stays that of the status line.
std::string CutOffText(const std::string& statusLine, int64_t limit);
// Whether a response text is one of CutOffText: the page was not read whole.
bool IsCutOff(std::string_view responseText);
// A duration in seconds as the messages show it: "60", "0.25".
std::string SecondsText(std::chrono::milliseconds duration);
// A positive number of seconds ("60", "0.25", to the millisecond); 0 when the text is not one.
std::chrono::milliseconds SecondsOf(std::string_view text);
// A positive whole number of bytes (at most 2^50); 0 when the text is not one.
int64_t BytesOf(std::string_view text);

// Ends a transfer from another thread. Once cancelled it stays cancelled: a transfer still to
// start refuses to, and a running one is woken from its wait for the network at once.
class TTransferCancel {
 public:
  TTransferCancel() = default;
  TTransferCancel(const TTransferCancel&) = delete;
  TTransferCancel& operator=(const TTransferCancel&) = delete;

  // From any thread.
  void Cancel();
  bool Cancelled() const { return Cancelled_.load(); }

  // The run loop of a transfer registers the libcurl multi handle (a CURLM*) it waits on, so that
  // Cancel() can wake it. Attach refuses (false, nothing attached) once cancelled.
  bool Attach(void* multi);
  void Detach();

 private:
  std::mutex Mutex_;
  std::atomic<bool> Cancelled_{false};
  void* Multi_ = nullptr;  // guarded by Mutex_
};

// The credentials a server asked for; OnAuthorization may fill them in.
struct TAuthentication {
  std::string Scheme;  // "Basic", "Digest", ... as the server's WWW-Authenticate names it
  std::string Realm;
  std::string Username;
  std::string Password;
};

// The first word of a WWW-Authenticate header (the scheme) and its realm.
TAuthentication ChallengeOf(const std::string& header);

// The address as it goes on the wire: bytes that may not stand in a request target (blanks,
// control bytes, bytes of 128 and above, and " < > \ ^ ` { | }) are percent-encoded.
std::string EncodeRequestTarget(std::string_view text);

// "Basic " + base64 of "user:password".
std::string BasicCredentials(std::string_view username, std::string_view password);

// The request headers that every request carries.
extern const char* const kHTTPAccept;     // "text/html, */*"
extern const char* const kHTTPUserAgent;  // "Mozilla/3.0 (compatible; Indy Library)"
