#include "Kel/KelHTTPDownload.h"

#include <curl/curl.h>

#include "Kel/KelCurl.h"
#include "Kel/KelError.h"
#include "Kel/KelFiles.h"
#include "Kel/KelIdHTTP.h"
#include "Kel/KelLocalFile.h"
#include "Kel/KelStr.h"
#include "Kel/KelURI.h"

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

class TDownloadTransfer : public TCurlTransfer {
 public:
  explicit TDownloadTransfer(THTTPDownload& download)
      : TCurlTransfer(download.Impl_->Cancel), D_(download), I_(*download.Impl_) {}

  // Runs the transfer of `url` into the temporary file; raises as THTTPDownload::Run.
  void Run(const std::string& url);

 private:
  void Configure(CURL* easy, const std::string& url, TCurlList& headers, TCurlList& proxyHeaders);
  bool OnHeaderLine(std::string_view line) override;
  bool OnBody(const char* data, size_t size) override;

  THTTPDownload& D_;
  THTTPDownload::TImpl& I_;
  std::string Refused_;        // the status line of an answer that ends the download
  bool FinalHeaders_ = false;  // the headers of a final (not 1xx) answer are being read
  bool Accepted_ = false;      // a 2xx answer's body is arriving
  int64_t Length_ = -1;        // the answer's Content-Length, of any size
  int64_t Total_ = 0;
  int64_t Received_ = 0;
};

void TDownloadTransfer::Configure(CURL* easy, const std::string& url, TCurlList& headers, TCurlList& proxyHeaders) {
  if (const CURLcode set = curl_easy_setopt(easy, CURLOPT_URL, url.c_str()); set != CURLE_OK)
    throw EError(set == CURLE_OUT_OF_MEMORY ? "Out of memory" : "Address too long");
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
  ConfigureTransport(easy, D_.Proxy, proxyHeaders, url);

  // The crawl's headers, without credentials; libcurl's own Expect / Connection headers removed.
  headers.Add(std::string("Accept: ") + kHTTPAccept);
  headers.Add(std::string("User-Agent: ") + kHTTPUserAgent);
  headers.Add("Expect:");
  headers.Add("Connection:");
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers.List);

  // The cookie engine: in the store when there is one, else for this transfer only.
  curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
  if (D_.Cookies) curl_easy_setopt(easy, CURLOPT_SHARE, static_cast<CURLSH*>(D_.Cookies->Share()));

  SetCallbacks(easy);
  Limits_.Idle = D_.IdleTimeout;
}

void TDownloadTransfer::Run(const std::string& url) {
  const TCurlEasy easy = NewCurlEasy();
  TCurlList headers, proxyHeaders;
  Configure(easy.get(), url, headers, proxyHeaders);
  const CURLcode result = Perform(easy.get());

  RaiseHandlerError();
  if (Cancel_.Cancelled()) throw EAbort();
  if (!Refused_.empty()) throw EError(Refused_);
  RaiseIfFailed(result);
  // A redirect that could not be followed (no target) is no document either.
  if (!IsSuccess(D_.Response.ResponseCode()))
    throw EError(D_.Response.ResponseText.empty() ? std::string("No answer") : D_.Response.ResponseText);
}

bool TDownloadTransfer::OnHeaderLine(std::string_view line) {
  THTTPResponse& r = D_.Response;
  if (BeginAnswer(line, r)) {
    Length_ = -1;
    const int32_t code = r.ResponseCode();
    FinalHeaders_ = code < 100 || code >= 200;
    Accepted_ = false;
    return true;
  }
  if (line.empty()) {
    if (!FinalHeaders_) return true;
    const int32_t code = r.ResponseCode();
    if (IsSuccess(code)) {
      Accepted_ = true;
      Total_ = Length_ > 0 ? Length_ : 0;
      return D_.Progress(0, Total_);
    }
    // An error answer ends the download; a redirect is followed by libcurl, and one that
    // cannot be followed is refused once the transfer is over.
    if (code >= 400 || code < 100) {
      Refused_ = r.ResponseText;
      return false;
    }
    return true;
  }
  const size_t colon = line.find(':');
  if (colon == std::string_view::npos) return true;
  const std::string_view name = line.substr(0, colon);
  const std::string value = Trim(line.substr(colon + 1));
  ReadResponseHeader(name, value, r, &Length_);
  return true;
}

bool TDownloadTransfer::OnBody(const char* data, size_t size) {
  if (!Accepted_) return true;  // the body of an answer that is not the document
  I_.Write(data, size);
  Received_ += static_cast<int64_t>(size);
  return D_.Progress(Received_, Total_);
}

// ---------------------------------------------------------------------------------------------

THTTPDownload::THTTPDownload(std::string url, std::string fileName)
    : URL(std::move(url)), FileName(std::move(fileName)), Impl_(std::make_unique<TImpl>()) {}

THTTPDownload::~THTTPDownload() { Impl_->RemoveTemp(); }

void THTTPDownload::Cancel() { Impl_->Cancel.Cancel(); }

bool THTTPDownload::Cancelled() const { return Impl_->Cancel.Cancelled(); }

void THTTPDownload::Discard() { Impl_->RemoveTemp(); }

bool THTTPDownload::Progress(int64_t done, int64_t total) {
  if (Impl_->Cancel.Cancelled()) return false;
  if (OnProgress && !OnProgress(done, total)) {
    Cancel();
    return false;
  }
  return true;
}

// Copies a local file into the temporary file, block by block with progress. Its answer is the
// one a crawl's HEAD request gets from the file.
void THTTPDownload::CopyLocal() {
  THTTPClient head;
  Fetch(head, THTTPMethod::Head, URL, nullptr, nullptr);
  Response = head.Response;
  if (!IsSuccess(Response.ResponseCode())) throw EError(Response.ResponseText);
  std::unique_ptr<TLocalFile> file;
  try {
    file = std::make_unique<TLocalFile>(LocalPathOf(TURI(URL)));
  } catch (const ELocalFile& e) {
    if (e.Fault == ELocalFile::TFault::CannotOpen) throw;
    Response.ResponseText = "HTTP/1.1 404 Not Found";
    throw EError(Response.ResponseText);
  }
  const int64_t total = file->Size();
  if (!Progress(0, total)) throw EAbort();
  int64_t done = 0;
  file->ReadBlocks([&](const char* data, size_t size) {
    Impl_->Write(data, size);
    done += static_cast<int64_t>(size);
    if (!Progress(done, total)) throw EAbort();
  });
}

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
    CopyLocal();
    return;
  }
  TDownloadTransfer transfer(*this);
  transfer.Run(wire);
}

void THTTPDownload::Commit() {
  TImpl& impl = *Impl_;
  KelAssert(impl.File, "nothing downloaded to commit");
  std::unique_ptr<TFileReplacement> file = std::move(impl.File);
  file->Commit();
}
