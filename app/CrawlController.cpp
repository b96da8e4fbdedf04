#include "app/CrawlController.h"

#include <filesystem>
#include <memory>

#include "Dialogs/UnitHTTPClient.h"
#include "Kel/KelError.h"
#include "Kel/KelIdHTTP.h"
#include "Kel/KelSpelling.h"
#include "Kel/KelStr.h"
#include "app/LinkExtractor.h"
#include "app/SpellCheck.h"
#include "app/UnitMain.h"

namespace {

// An existing regular file named by the address box's text, as a full path; empty otherwise.
std::string ExistingFile(const std::string& text) {
  if (text.empty()) return std::string();
  std::error_code ec;
  const std::filesystem::path path(text);
  if (!std::filesystem::is_regular_file(path, ec)) return std::string();
  return std::filesystem::absolute(path, ec).lexically_normal().string();
}

// Runs a completion: a failure (a malformed address in a link or a Location header) ends the
// handling of that answer silently, and the crawl goes on. A programming error is not a
// failure of the answer: it passes.
template <typename F>
void Guarded(F&& f) {
  try {
    f();
  } catch (const EError&) {
  }
}

}  // namespace

TCrawlController::TCrawlController(TFormTessaly& main) : Main_(main) {}

void TCrawlController::AttachPool(TFormHTTPClient& pool) {
  Pool_ = &pool;
  Main_.Tree.Queue = &pool;
  Main_.Tree.HeadCallback = [this](THTTPClient& sender) { Main_.ButtonCallBackHEADClick(sender); };
  pool.OnStatusChange = [this](TFormHTTPClient&) { Main_.ButtonOnStatusClick(); };
}

void TCrawlController::Reset() {
  RedirectChecks_.clear();
  FoldedFetches_.clear();
  RequestsDone_ = 0;
}

void TCrawlController::Start() {
  KelAssert(Pool_, "the crawl needs the request pool");
  TFormTessaly& main = Main_;
  bool fresh = Pool_->IsEmpty();
  if (!fresh) fresh = !(main.Services.Ask && main.Services.Ask->AskYesNo("Do you want to resume the current spider?"));
  if (fresh) {
    if (!main.NewProject()) return;
    TURI& site = main.Map.SiteURI;
    const std::string file = ExistingFile(main.EditURL);
    if (!file.empty()) {
      site.Parse("file://LocalHost" + file);
    } else {
      site.Parse(Trim(main.EditURL));
      ApplyDefaults(site, "http", "LocalHost");
    }
    main.EditURL = site.Compose();
    main.AddRecentAddress();
    main.SelectEntry(main.Tree.InsertURL(site, nullptr, true));
  }
  Pool_->ResumeRequests();
  if (main.OnShowPool) main.OnShowPool();
}

void TCrawlController::Stop() {
  KelAssert(Pool_, "the crawl needs the request pool");
  Main_.ButtonSpiderEnabled = false;
  Pool_->SuspendRequests();
}

TSpiderNode* TCrawlController::AcceptResponse(THTTPClient& client) {
  TURI referer(client.Request.Referer);
  TSpiderNode* node = NodeOf(Main_.Tree.InsertURL(client.URL, &referer, true));
  node->RecordResponse(client.Response);
  node->RefreshIcon();
  return node;
}

void TCrawlController::HeaderCompletion(THTTPClient& sender) {
  ++RequestsDone_;
  Guarded([&] {
    TSpiderNode* node = AcceptResponse(sender);
    const int32_t code = sender.Response.ResponseCode();
    if (code == -1 || code == 301 || code == 302 || code == 401 || node->IsSpiderable())
      Pool_->AddGetRequest(sender.URL.Compose(), sender.Request.Referer, std::make_unique<std::string>(),
                           [this](THTTPClient& c) { Main_.ButtonCallBackGETClick(c); });
  });
}

void TCrawlController::FullCompletion(THTTPClient& sender) {
  ++RequestsDone_;
  Guarded([&] {
    const int32_t code = sender.Response.ResponseCode();
    if (code == 301 || code == 302) {
      TURI target;
      ResolveLink(target, sender.Response.Location, &sender.URL);
      const std::string address = target.Compose();
      const std::string from = sender.URL.Compose();
      if (RedirectChecks_.insert({address, from}).second) {
        Pool_->AddHeadRequest(address, from, [this](THTTPClient& c) { Main_.ButtonCallBackGETClick(c); });
      } else {
        // This redirect was checked before in this crawl: the addresses redirect in a loop.
        // Its referer is still recorded, without another request.
        TURI referer(from);
        Main_.Tree.InsertURL(target, &referer, true);
      }
    }
    const bool hasBody = sender.Response.ContentStream != nullptr;
    TSpiderNode* node = AcceptResponse(sender);
    if (!node->IsSpiderable()) return;
    if (hasBody) {
      ParsePage(node, *sender.Response.ContentStream, sender.URL);
      return;
    }
    // A site that moved from http to https (or back): the target shares its tree entry and node
    // with the address that redirected to it, so no header check of its own fetches the page.
    // Fetch it in full once, so that the site is crawled under its new scheme.
    const std::string address = sender.URL.Compose();
    const TURI& own = node->URI;
    const bool otherScheme = !SameText(own.Protocol, sender.URL.Protocol) && SameText(own.Host, sender.URL.Host) &&
                             own.Path == sender.URL.Path && own.Document == sender.URL.Document &&
                             own.Params == sender.URL.Params;
    if (otherScheme && FoldedFetches_.insert(address).second)
      Pool_->AddGetRequest(address, sender.Request.Referer, std::make_unique<std::string>(),
                           [this](THTTPClient& c) { Main_.ButtonCallBackGETClick(c); });
  });
}

void TCrawlController::ParsePage(TSpiderNode* node, const std::string& body, const TURI& page) {
  {
    THTMLLinkExtractor extractor(Main_.Tree, page, node);
    extractor.Walk(body);
  }
  node->RefreshIcon();
  if (Dictionaries) node->SpellingErrors = CountSpellingErrors(body, *Dictionaries);
}
