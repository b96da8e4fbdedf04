// What the program's two libcurl clients share: the crawl's requests (KelIdHTTP) and the
// download of documents (KelHTTPDownload). Only Kel sources include this.
#pragma once

#include <curl/curl.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <type_traits>

#include "Kel/KelDateTime.h"
#include "Kel/KelHTTPTypes.h"
#include "Kel/KelURI.h"

void InitCurlOnce();

struct TCurlEasyCleanup {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
using TCurlEasy = std::unique_ptr<CURL, TCurlEasyCleanup>;
// A new easy handle, libcurl initialised first. Fails with EError ("Cannot start an HTTP request").
TCurlEasy NewCurlEasy();

struct TCurlMultiCleanup {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
using TCurlMulti = std::unique_ptr<CURLM, TCurlMultiCleanup>;
// A new multi handle. Fails with EError ("Cannot start an HTTP request").
TCurlMulti NewCurlMulti();

// A header value as it may go on the wire: line breaks would start a header of their own.
std::string HeaderSafe(std::string_view text);
// A date header as a local date-time; 0 when it cannot be read.
TDateTime HTTPDateOf(const std::string& text);
// A Content-Length value of any size; -1 when it is not a number.
int64_t HeaderLengthOf(const std::string& text);
// A length as the response record holds it: -1 (not known) when it does not fit 32 bits.
int32_t ContentLengthOf(int64_t length);

// "http" and "https" addresses as they go on the wire: the scheme, host and port, then the
// path, document and query percent-encoded where they must be. No credentials. Fails with the
// address's fault ("Unsupported protocol: ftp", "Host field is empty").
std::string WireAddressOf(const TURI& uri);

struct TCurlList {
  curl_slist* List = nullptr;
  TCurlList() = default;
  TCurlList(const TCurlList&) = delete;
  TCurlList& operator=(const TCurlList&) = delete;
  ~TCurlList() { curl_slist_free_all(List); }
  void Add(const std::string& line);
};

// Data shared between transfers (connections, names, cookies), each kind under its own lock.
class TCurlShare {
 public:
  explicit TCurlShare(std::initializer_list<curl_lock_data> kinds);
  ~TCurlShare();
  TCurlShare(const TCurlShare&) = delete;
  TCurlShare& operator=(const TCurlShare&) = delete;
  CURLSH* Handle() const { return Share_; }

 private:
  static void Lock(CURL*, curl_lock_data data, curl_lock_access, void* self);
  static void Unlock(CURL*, curl_lock_data data, void* self);
  CURLSH* Share_;
  std::mutex Mutexes_[CURL_LOCK_DATA_LAST];
};

// Resolved names, shared by every crawl request of the process. Connections are not shared
// between threads: a thread's session (KelIdHTTP) keeps its own open across its requests.
CURLSH* ConnectionShare();

// What every transfer of the program sets: no signals, a connection that cannot be made in 30 s
// fails (the run loop keeps the other time limits), certificates checked against the
// system's authorities or those SSL_CERT_FILE / SSL_CERT_DIR name, and the proxy of the HTTP
// settings only, never one from the environment: none for an `address` its NoProxy list names
// or on loopback (BypassesProxy).
void ConfigureTransport(CURL* easy, const TProxyParams& proxy, TCurlList& proxyHeaders, const std::string& address);

// A status line begins a new answer (an interim or redirect answer may come first, only the last
// counts): the record is emptied and takes the line. Returns whether `line` was one.
bool BeginAnswer(std::string_view line, THTTPResponse& response);
// Takes one response header into the record. `length`, when given, receives Content-Length in full.
void ReadResponseHeader(std::string_view name, const std::string& value, THTTPResponse& response,
                        int64_t* length = nullptr);

// The time limits of one run; 0: none.
struct TRunLimits {
  std::chrono::milliseconds Total{0};  // the whole transfer: "Timed out after 60 s"
  std::chrono::milliseconds Idle{0};   // the longest wait for data: "No data for 60 s"
};

// The run loop: runs `easy` on `multi` (none: a multi handle of its own) until it finishes,
// `afterStep` returns false, `cancel` is cancelled (from any thread, which ends the wait at
// once) or a limit of `limits` passes (`lastData`: when data came last, kept by the caller's
// callbacks; none: the run's start). Returns libcurl's result; CURLE_ABORTED_BY_CALLBACK when
// stopped, CURLE_OPERATION_TIMEDOUT with the limit's message in `errorBuffer` when timed out.
// `easy` leaves `multi` again at the end, so both can serve the next transfer.
CURLcode RunTransfer(CURL* easy, CURLM* multi, TTransferCancel& cancel, char* errorBuffer,
                     const std::function<bool()>& afterStep, const TRunLimits& limits = {},
                     const std::chrono::steady_clock::time_point* lastData = nullptr);

// The libcurl side of one transfer, shared by the crawl's requests and the downloads: libcurl's
// callbacks hand the answer's header lines and body to the subclass; a handler that raises or
// returns false ends the transfer, and what it raised is raised again after the run.
class TCurlTransfer {
 public:
  TCurlTransfer(const TCurlTransfer&) = delete;
  TCurlTransfer& operator=(const TCurlTransfer&) = delete;

 protected:
  explicit TCurlTransfer(TTransferCancel& cancel) : Cancel_(cancel) {}
  ~TCurlTransfer() = default;

  // One header line without its line break; an empty line ends the headers of an answer.
  virtual bool OnHeaderLine(std::string_view line) = 0;
  // One block of the body.
  virtual bool OnBody(const char* data, size_t size) = 0;
  // Between two steps of the run loop.
  virtual void OnStep(CURL*) {}

  // Points the header, body and progress callbacks and the error buffer of `easy` here.
  void SetCallbacks(CURL* easy);
  // Runs `easy` to its end with RunTransfer on `multi` (none: one of its own); stops once a
  // handler has failed, on Cancel, or when a limit of Limits_ passes (data is what the header
  // and body callbacks receive).
  CURLcode Perform(CURL* easy, CURLM* multi = nullptr);
  // Raises what a handler raised, if anything.
  void RaiseHandlerError() const {
    if (Error_) std::rethrow_exception(Error_);
  }
  // A failed result raises EError with libcurl's message.
  void RaiseIfFailed(CURLcode result) const;

  // Runs `f` (returning void, or bool for whether to go on) inside a libcurl callback: the first
  // error it raises is kept for after the run, and the result is then false.
  template <typename F>
  bool Guarded(F&& f) {
    try {
      if constexpr (std::is_void_v<std::invoke_result_t<F>>) {
        f();
        return true;
      } else {
        return f();
      }
    } catch (...) {
      if (!Error_) Error_ = std::current_exception();
      return false;
    }
  }

  // libcurl's message of the last failure ("" when it gave none).
  std::string_view ErrorBufferText() const { return ErrorBuffer_; }

  TTransferCancel& Cancel_;
  TRunLimits Limits_;

 private:
  static size_t HeaderCallback(char* data, size_t size, size_t count, void* self);
  static size_t WriteCallback(char* data, size_t size, size_t count, void* self);
  static int XferInfoCallback(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);

  char ErrorBuffer_[CURL_ERROR_SIZE] = {};
  std::exception_ptr Error_;
  std::chrono::steady_clock::time_point LastData_;
};
