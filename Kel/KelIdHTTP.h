// HTTP fetch: one HEAD or GET request for one address, over HTTP/1.1 (libcurl) for "http" and
// "https" addresses, or answered from the local file system for "file" addresses. The outcome
// is left in the client's response record.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "Kel/KelHTTPTypes.h"
#include "Kel/KelURI.h"

// The libcurl handles of one thread, kept across its requests: a request made with a session
// costs no new handle, no new wake-up socket pair of the transfer loop and, through the
// session's own connection cache, no new connection. A session serves one request at a time;
// sessions on different threads never share a connection.
class THTTPSession {
 public:
  THTTPSession();
  ~THTTPSession();
  THTTPSession(const THTTPSession&) = delete;
  THTTPSession& operator=(const THTTPSession&) = delete;

 private:
  friend class THTTPTransfer;
  struct TImpl;
  std::unique_ptr<TImpl> Impl_;
};

// Host names whose lookup failed are remembered for the process (for ten minutes at most): the
// next request for the same name fails at once with the same message instead of asking the
// resolver again, which on a resolver that times out costs every such request its full wait.
// A new crawl forgets them, so that a name the user has just mended is looked up again.
void ForgetFailedHostNames();

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
  // The time limit of the whole answer and the most of a body kept (KelHTTPTypes).
  TTransferLimits Limits;
  // Whether the body of a GET's final answer is wanted, asked once its headers have arrived;
  // an unwanted body is not read (the transfer ends with the headers, which is no failure).
  // None: every body is kept.
  std::function<bool(const THTTPResponse& response)> KeepBody;
  // The handles to use (not owned); none: the request makes its own.
  THTTPSession* Session = nullptr;

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
// message ("Timed out after 60 s" past the client's time limit, "Address too long" for an
// address the transfer library refuses); an answer of any status (redirects, 4xx, 5xx) is
// returned in the response record. A body longer than the client's page limit is kept up to the
// limit and the transfer ends there; the response text then says so (CutOffText), its code stays.
void Fetch(THTTPClient& client, THTTPMethod method, const std::string& url, const std::string* sourceStream,
           std::string* contentStream);
