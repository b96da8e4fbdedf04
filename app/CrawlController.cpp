// The crawl controller: Start and Stop, and the two completions that record every answer,
// fetch the site's pages in full, check redirect targets and parse pages. All of it runs on
// the user-interface thread; the crawl is driven by link insertion and these completions.
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

// Runs a completion: an error ends the handling of that answer silently, as the crawl goes on.
template <typename F>
void Guarded(F&& f) {
  try {
    f();
  } catch (const std::exception&) {
  }
}

}  // namespace

void TFormTessaly::AttachPool(TFormHTTPClient& pool) {
  Pool = &pool;
  Tree.Queue = &pool;
  Tree.HeadCallback = [this](THTTPClient& sender) { ButtonCallBackHEADClick(sender); };
  pool.OnStatusChange = [this](TFormHTTPClient&) { ButtonOnStatusClick(); };
}

void TFormTessaly::ButtonSpiderClick() {
  KelAssert(Pool, "the crawl needs the request pool");
  bool fresh = Pool->IsEmpty();
  if (!fresh) fresh = !(Services.Ask && Services.Ask->AskYesNo("Do you want to resume the current spider?"));
  if (fresh) {
    if (!NewProject()) return;
    const std::string file = ExistingFile(EditURL);
    if (!file.empty()) {
      Map.SiteURI.Parse("file://LocalHost" + file);
    } else {
      Map.SiteURI.Parse(Trim(EditURL));
      ApplyDefaults(Map.SiteURI, "http", "LocalHost");
    }
    EditURL = Map.SiteURI.Compose();
    AddRecentAddress();
    SelectEntry(Tree.InsertURL(Map.SiteURI, nullptr, true));
  }
  Pool->ResumeRequests();
  if (OnShowPool) OnShowPool();
  Changed();
}

void TFormTessaly::ButtonStopClick() {
  KelAssert(Pool, "the crawl needs the request pool");
  ButtonSpiderEnabled = false;
  Pool->SuspendRequests();
  Changed();
}

void TFormTessaly::ButtonSpiderPress() {
  if (!ButtonSpiderEnabled) return;
  if (ButtonSpiderStops) ButtonStopClick();
  else ButtonSpiderClick();
}

TSpiderNode* TFormTessaly::AcceptResponse(THTTPClient& client) {
  TURI referer(client.Request.Referer);
  TSpiderNode* node = NodeOf(Tree.InsertURL(client.URL, &referer, true));
  node->RecordResponse(client.Response);
  node->RefreshIcon();
  return node;
}

void TFormTessaly::ButtonCallBackHEADClick(THTTPClient& sender) {
  ++RequestsDone;
  Guarded([&] {
    TSpiderNode* node = AcceptResponse(sender);
    const int32_t code = sender.Response.ResponseCode();
    if (code == -1 || code == 301 || code == 302 || code == 401 || node->IsSpiderable())
      Pool->AddGetRequest(sender.URL.Compose(), sender.Request.Referer, std::make_unique<std::string>(),
                          [this](THTTPClient& c) { ButtonCallBackGETClick(c); });
  });
}

void TFormTessaly::ButtonCallBackGETClick(THTTPClient& sender) {
  ++RequestsDone;
  Guarded([&] {
    const int32_t code = sender.Response.ResponseCode();
    if (code == 301 || code == 302) {
      TURI target;
      ResolveLink(target, sender.Response.Location, &sender.URL);
      const std::string address = target.Compose();
      const std::string from = sender.URL.Compose();
      if (RedirectChecks_.insert({address, from}).second) {
        Pool->AddHeadRequest(address, from, [this](THTTPClient& c) { ButtonCallBackGETClick(c); });
      } else {
        // This redirect was checked before in this crawl: the addresses redirect in a loop.
        // Its referer is still recorded, without another request.
        TURI referer(from);
        Tree.InsertURL(target, &referer, true);
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
      Pool->AddGetRequest(address, sender.Request.Referer, std::make_unique<std::string>(),
                          [this](THTTPClient& c) { ButtonCallBackGETClick(c); });
  });
}

void TFormTessaly::ParsePage(TSpiderNode* node, const std::string& body, const TURI& page) {
  {
    THTMLLinkExtractor extractor(Tree, page, node);
    extractor.Walk(body);
  }
  node->RefreshIcon();
  if (Dictionaries) node->SpellingErrors = CountSpellingErrors(body, *Dictionaries);
}

void TFormTessaly::ButtonOnStatusClick() {
  if (!Pool) return;
  Busy = Pool->IsBusy();
  if (Busy) {
    TimerRunning = true;
    StatusRequesting = "Requesting: " + Pool->CurrentURL;
    EditURLEnabled = false;
    ButtonBrowseEnabled = false;
    if (ButtonSpiderEnabled) {
      ButtonSpiderCaption = "Stop";
      ButtonSpiderStops = true;
    }
  } else {
    TimerRunning = false;
    StatusRequesting.clear();
    EditURLEnabled = true;
    ButtonSpiderCaption = "Start";
    ButtonSpiderStops = false;
    ButtonSpiderEnabled = true;
    ButtonBrowseEnabled = true;
  }
  Changed();
}

void TFormTessaly::TimerTick() {
  if (BusyStep == 0) {
    BusyStep = 4;
    BusyPosition = 50;
  }
  BusyPosition += BusyStep;
  if (BusyPosition < 10 || BusyPosition > 90) {
    BusyStep = -BusyStep;
    BusyPosition += BusyStep;
  }
}
