// HTTP fetch: one HEAD or GET request for one address, over HTTP/1.1 (libcurl) for "http" and
// "https" addresses, or answered from the local file system for "file" addresses. The outcome
// is left in the client's response record.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "Kel/KelDateTime.h"
#include "Kel/KelURI.h"

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
  std::string* ContentStream = nullptr;  // receives the body of a GET; not owned

  // Always derived from ResponseText.
  int32_t ResponseCode() const { return ResponseCodeOf(ResponseText); }
};

// The request methods; the values are those a queued request stores.
enum class THTTPMethod : uint8_t { Head = 0, Get = 1 };

// What is sent besides the address.
struct THTTPRequest {
  THTTPMethod Method = THTTPMethod::Get;
  std::string Referer;               // sent as "Referer" when not empty
  bool BasicAuthentication = false;  // send "Authorization: Basic" with the address's (usually empty) credentials
  const std::string* SourceStream = nullptr;  // a request body; never sent by HEAD or GET
};

// The HTTP proxy every request goes through when ProxyServer is not empty.
struct TProxyParams {
  std::string ProxyServer;
  int32_t ProxyPort = 0;  // 0: libcurl's default proxy port
  std::string ProxyUsername;
  std::string ProxyPassword;
  bool BasicAuthentication = false;  // send "Proxy-Authorization: Basic" with the user name and password
};

// Ends a running transfer from another thread: the transfer's wait for the network is woken at
// once. Used by the transfers of this unit and of the download dialog.
struct TTransferCancel {
  void Cancel();
  bool Cancelled() const { return Cancelled_.load(); }
  std::mutex Mutex_;
  std::atomic<bool> Cancelled_{false};
  void* Multi_ = nullptr;  // the running transfer's libcurl multi handle, guarded by Mutex_
};

// The credentials a server asked for; OnAuthorization may fill them in.
struct TAuthentication {
  std::string Scheme;  // "Basic", "Digest", ... as the server's WWW-Authenticate names it
  std::string Realm;
  std::string Username;
  std::string Password;
};

// The client of one request. Created for the request, used on one thread, destroyed after it;
// only Close() may be called from another thread.
class THTTPClient {
 public:
  THTTPClient() = default;
  THTTPClient(const THTTPClient&) = delete;
  THTTPClient& operator=(const THTTPClient&) = delete;

  TURI URL;  // the address requested
  THTTPRequest Request;
  THTTPResponse Response;
  TProxyParams ProxyParams;

  // Progress, called on the thread that runs Fetch.
  std::function<void(const std::string& status)> OnStatus;
  std::function<void(int32_t expectedTotal)> OnWorkBegin;
  std::function<void(int32_t amountDone)> OnWork;
  std::function<void()> OnWorkEnd;
  // A server demanded credentials (401). Setting `handled` with a user name repeats the
  // request once with them (Basic); left false, the 401 answer stays in the response.
  std::function<void(TAuthentication& authentication, bool& handled)> OnAuthorization;

  // Ends a running request at once, from any thread (its Fetch fails with "Operation aborted");
  // a request not yet started is refused the same way.
  void Close();
  bool Closed() const { return Cancel_.Cancelled(); }

 private:
  friend class THTTPTransfer;
  TTransferCancel Cancel_;
};

// Performs one request. For a "file" address (any letter case) the local file answers and no
// error is raised. For "http" and "https" addresses a transport failure raises EError with its
// message; an answer of any status (redirects, 4xx, 5xx) is returned in the response record.
void Fetch(THTTPClient& client, THTTPMethod method, const std::string& url, const std::string* sourceStream,
           std::string* contentStream);

// The address as it goes on the wire: bytes that may not stand in a request target (blanks,
// control bytes, bytes of 128 and above, and " < > \ ^ ` { | }) are percent-encoded.
std::string EncodeRequestTarget(std::string_view text);

// "Basic " + base64 of "user:password".
std::string BasicCredentials(std::string_view username, std::string_view password);

// The request headers that every request carries.
extern const char* const kHTTPAccept;     // "text/html, */*"
extern const char* const kHTTPUserAgent;  // "Mozilla/3.0 (compatible; Indy Library)"
