#include "app/CrawlController.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <vector>

#include "Dialogs/UnitHTTPClient.h"
#include "Kel/KelError.h"
#include "Kel/KelIdHTTP.h"
#include "Kel/KelSpelling.h"
#include "Kel/KelStr.h"
#include "Kel/KelTranslate.h"
#include "app/CrawlResume.h"
#include "app/LinkExtractor.h"
#include "app/SpellCheck.h"
#include "app/UnitHTTPSettings.h"
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

// A stylesheet of the site answered with 200: with page resources on, it is fetched in full and
// read for its own links.
bool IsSiteStyleSheet(const TSpiderNode& node) {
  return node.ResponseCode == 200 && !node.IsHTML() && ContainsText(node.ContentType, "text/css") && node.IsInternal();
}

}  // namespace

// The addresses of one chain of redirects, from the address first answered with a redirect to
// the target being checked, each as ChainKey gives it.
struct TRedirectChain {
  std::vector<std::string> Addresses;
  int From = -1;  // the number of the node whose redirect this check follows
};

namespace {

// An address as a chain compares it: its fragment and its scheme's default port left out.
std::string ChainKey(const TURI& uri) {
  TURI u(uri);
  u.Bookmark.clear();
  DropDefaultPort(u);
  return u.Compose();
}

}  // namespace

// What the worker that fetched a page found in it, handed to the page's completion.
struct TPageWork {
  bool Scanned = false;     // the page was walked: Found holds its links, title and description
  bool StyleSheet = false;  // what was read is a stylesheet: Found holds its links only
  TPageLinks Found;
  bool Counted = false;  // its spelling errors were counted
  int32_t SpellingErrors = 0;
};

TCrawlController::TCrawlController(TFormTessaly& main) : Main_(main) {}

void TCrawlController::AttachPool(TFormHTTPClient& pool) {
  Pool_ = &pool;
  Gate.Attach(pool);
  Gate.OnRefused = [this](const std::string& url, const std::string& text) { Refused(url, text); };
  Gate.OnCrawlDelay = [this](const std::string& host, double seconds, bool capped) {
    Pool_->HostGate().SetHostDelay(host, seconds);
    if (capped)
      Notes_.push_back(FormatText("The robots.txt of %s asks for a Crawl-delay over %g s; its requests were made %g s apart.",
                                  host.c_str(), TRobotsRules::kMaxCrawlDelay, TRobotsRules::kMaxCrawlDelay));
  };
  Gate.OnRobotsRead = [this](const std::string& host) { Sitemaps.GateRobotsRead(host); };
  Sitemaps.Attach(Main_.Tree, pool, Gate);
  Sitemaps.OnNote = [this](const std::string& note) { Notes_.push_back(note); };
  Main_.Tree.Queue = &Gate;
  Main_.Tree.HeadCallback = [this](THTTPClient& sender) { Main_.ButtonCallBackHEADClick(sender); };
  pool.OnStatusChange = [this](TFormHTTPClient&) { Main_.ButtonOnStatusClick(); };
  // Only the bodies read are kept: an answer 200 with an HTML page or a stylesheet. Any other
  // answer ends with its headers, whatever body it would send.
  pool.SetBodyFilter([this](const THTTPClient& c, const THTTPResponse& r) {
    if (Gate.IsRobotsRequest(c) || Sitemaps.KeepsBody(c)) return true;
    return r.ResponseCode() == 200 &&
           (ContainsText(r.ContentType, "text/html") || ContainsText(r.ContentType, "text/css"));
  });
}

void TCrawlController::SetIncludePatterns(const std::vector<std::string>& patterns) {
  Include_ = patterns.empty() ? nullptr : std::make_shared<const TAddressPatterns>(patterns, "Include patterns");
  if (!Include_) {
    Main_.Map.Included = nullptr;
    RebuildIdentity();
    return;
  }
  Main_.Map.Included = [include = Include_](const TURI& uri) { return include->Matches(uri.Compose()); };
  RebuildIdentity();
}

void TCrawlController::SetIdentity(const std::string& userAgent, const std::vector<std::string>& headers) {
  if (userAgent.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
    throw EError("User agent: the text holds a line break");
  for (const std::string& line : headers) CheckHeaderLine(line, "Extra headers");
  IdentitySettings_.UserAgent = userAgent;
  IdentitySettings_.Headers = headers;
  RebuildIdentity();
}

void TCrawlController::SetCredentials(const std::string& username, const std::string& password) {
  IdentitySettings_.Username = username;
  IdentitySettings_.Password = username.empty() ? std::string() : password;
  RebuildIdentity();
}

std::shared_ptr<const TRequestIdentity> TCrawlController::Identity() const {
  std::lock_guard lock(IdentityMutex_);
  return Identity_;
}

std::string TCrawlController::LoginKey(const std::string& site) { return "Tessaly login " + site; }

namespace {

// The server of an address as a login knows it: "scheme://host[:port]", letters folded, the
// scheme's own port left out; empty without a host.
std::string SiteKeyOf(TURI uri) {
  DropDefaultPort(uri);
  if (uri.Host.empty()) return std::string();
  std::string key = LowerCase(uri.Protocol) + "://" + LowerCase(uri.Host);
  if (!uri.Port.empty()) key += ":" + uri.Port;
  return key;
}

}  // namespace

std::string TCrawlController::LoginSite() const { return SiteKeyOf(Main_.Map.SiteURI); }

const std::pair<std::string, std::string>* TCrawlController::SiteLogin() const {
  const auto found = Logins_.find(LoginSite());
  return found == Logins_.end() || found->second.first.empty() ? nullptr : &found->second;
}

void TCrawlController::RebuildIdentity() {
  std::shared_ptr<TRequestIdentity> identity;
  TRequestIdentity s = IdentitySettings_;
  if (s.Username.empty())
    if (const auto* login = SiteLogin()) {
      s.Username = login->first;
      s.Password = login->second;
    }
  if (!s.UserAgent.empty() || !s.Headers.empty() || !s.Username.empty()) {
    identity = std::make_shared<TRequestIdentity>(s);
    // Copies of the site root and the include patterns: workers read them while the map changes.
    TURI site = Main_.Map.SiteURI;
    DropDefaultPort(site);
    std::shared_ptr<const TAddressPatterns> include = Include_;
    identity->OwnHost = [site, include](const TURI& uri) {
      TURI u(uri);
      DropDefaultPort(u);
      const bool sameHost = SameText(u.Host, site.Host) && u.Port == site.Port &&
                            SameText(u.Protocol, "https") == SameText(site.Protocol, "https");
      return sameHost || (include && include->Matches(uri.Compose()));
    };
    identity->CredentialsHost = [key = SiteKeyOf(site)](const TURI& uri) { return SiteKeyOf(uri) == key; };
  }
  std::lock_guard lock(IdentityMutex_);
  Identity_ = std::move(identity);
}

void TCrawlController::SetExcludePatterns(const std::vector<std::string>& patterns) {
  Gate.Exclude = patterns.empty() ? nullptr : std::make_shared<const TAddressPatterns>(patterns, "Exclude patterns");
}

bool TCrawlController::FollowsLinks(const TSpiderNode& node) const {
  return MaxDepth <= 0 || node.Depth < MaxDepth;
}

void TCrawlController::Refused(const std::string& url, const std::string& text) {
  TURI uri(url);
  TSpiderNode* node = NodeOf(Main_.Tree.InsertURL(uri, nullptr, false));
  if (!node) return;
  node->ResponseText = text;
  node->Map().Modified = true;
  node->RefreshIcon();
}

bool TCrawlController::LoginAgain(THTTPClient& sender) {
  const std::string site = LoginSite();
  if (site.empty() || Stopping()) return false;
  if (SiteKeyOf(sender.URL) != site) return false;  // a login goes to the start address's server only
  const std::string url = sender.URL.Compose();
  const std::string referer = sender.Request.Referer;
  if (AskingLogin_) {
    // Asked for already: requested again once the user has answered.
    LoginWaiting_.emplace_back(url, referer);
    return true;
  }
  const std::shared_ptr<const TRequestIdentity> now = Identity();
  if (now && !now->Username.empty() && sender.Request.Identity != now) {
    // Sent before the login the crawl has now.
    AddPageRequest(url, referer);
    return true;
  }
  // Given credentials are not asked for again; nor are they once the user cancelled.
  platform::Prompter* ask = Main_.Services.Ask;
  if (!ask || !IdentitySettings_.Username.empty() || LoginRefused_ || LoginQuestions_ >= kMaxLoginQuestions)
    return false;
  ++LoginQuestions_;
  platform::Keyring* keys = Main_.Services.Keys;
  const bool keyring = keys && keys->Available();
  std::optional<platform::Login> login;
  AskingLogin_ = true;
  try {
    login = ask->AskLogin(site, ChallengeOf(sender.Response.Authenticate).Realm, keyring);
  } catch (...) {
    AskingLogin_ = false;
    throw;
  }
  AskingLogin_ = false;
  const auto waiting = std::move(LoginWaiting_);
  LoginWaiting_.clear();
  const bool answered = login && !login->Username.empty();
  if (answered) {
    Logins_[site] = {login->Username, login->Password};
    if (login->Remember && keyring) keys->Write(LoginKey(site), login->Username + "\n" + login->Password);
    RebuildIdentity();
    AddPageRequest(url, referer);
  } else {
    LoginRefused_ = true;
  }
  for (const auto& [address, from] : waiting) AddPageRequest(address, from);
  return answered;
}

bool TCrawlController::Stopping() const { return Interrupted && Interrupted->load(); }

void TCrawlController::Reset() {
  FoldedFetches_.clear();
  Sitemaps.Reset();
  Notes_.clear();
  RequestsDone_ = 0;
  Started_ = 0;
  LastAnswer_ = 0;
}

void TCrawlController::ApplyLimits() {
  if (!Settings) return;
  Pool_->QueueLimit = static_cast<size_t>(Settings->MaxQueue());
  Main_.Tree.MaxNodes = Settings->MaxAddresses();
}

void TCrawlController::Start() {
  KelAssert(Pool_, "the crawl needs the request pool");
  TFormTessaly& main = Main_;
  ApplyLimits();
  // Names that failed to resolve in an earlier crawl are looked up again.
  ForgetFailedHostNames();
  bool fresh = Pool_->IsEmpty();
  // An unfinished map (a project opened, a crawl terminated) with its own address in the box.
  bool unfinished = false;
  if (fresh && main.Map.Count() > 0) {
    try {
      unfinished = SameText(Trim(main.EditURL), main.Map.SiteURI.Compose()) && HasUnfinishedWork(main.Tree);
    } catch (const EError&) {
    }
  }
  if (!fresh || unfinished) {
    const bool resume = main.Services.Ask && main.Services.Ask->AskYesNo("Do you want to resume the current spider?");
    if (resume && unfinished) {
      Continue();
      if (main.OnShowPool) main.OnShowPool();
      return;
    }
    fresh = !resume;
  }
  if (fresh) {
    if (!main.NewProject()) return;
    Started_ = std::time(nullptr);
    TURI& site = main.Map.SiteURI;
    const std::string file = ExistingFile(main.EditURL);
    if (!file.empty()) {
      // Characters that would end the path ("?", "#", "=") or start an escape ("%") are escaped.
      site.Parse("file://LocalHost" + EscapeLocalPath(file));
    } else {
      site.Parse(Trim(main.EditURL));
      ApplyDefaults(site, "http", "LocalHost");
    }
    main.EditURL = site.Compose();
    LoginQuestions_ = 0;
    LoginRefused_ = false;
    // A login remembered in the keyring by an earlier run, unless credentials were given.
    const std::string loginSite = LoginSite();
    if (IdentitySettings_.Username.empty() && !loginSite.empty() && !Logins_.count(loginSite) && main.Services.Keys &&
        main.Services.Keys->Available())
      if (const auto secret = main.Services.Keys->Read(LoginKey(loginSite))) {
        const size_t line = secret->find('\n');
        if (line != std::string::npos && line > 0)
          Logins_[loginSite] = {secret->substr(0, line), secret->substr(line + 1)};
      }
    RebuildIdentity();  // the site's own hosts are known now
    main.AddRecentAddress();
    main.SelectEntry(main.Tree.InsertURL(site, nullptr, true));
    Sitemaps.Begin();
  }
  Pool_->ResumeRequests();
  if (main.OnShowPool) main.OnShowPool();
}

size_t TCrawlController::Continue() {
  KelAssert(Pool_, "the crawl needs the request pool");
  ApplyLimits();
  TSiteTree& tree = Main_.Tree;
  const TUnfinishedWork work = FindUnfinishedWork(tree);
  // The user goes on with a crawl that is already past a limit: it is lifted for this crawl.
  if (tree.MaxNodes > 0 && Main_.Map.Count() > tree.MaxNodes) Pool_->LiftLimit(TCrawlLimit::Addresses);
  if (Pool_->QueueLimit > 0 && Pool_->TotalCount() + work.Size() > Pool_->QueueLimit)
    Pool_->LiftLimit(TCrawlLimit::Queue);
  // Nothing starts before everything is queued: the order of the requests is the node order.
  Pool_->SuspendRequests();
  // A request's referer is the first page that links to its address, as a crawl would send it.
  auto refererOf = [](const TSpiderNode* node) {
    return node->Referers.empty() ? node->URI().Compose() : node->Referers.front()->URI().Compose();
  };
  for (TSpiderNode* node : work.Unchecked)
    Pool_->AddHeadRequest(node->URI().Compose(), refererOf(node), tree.HeadCallback);
  for (TSpiderNode* node : work.Unread) AddPageRequest(node->URI().Compose(), refererOf(node));
  Pool_->ResumeRequests();
  return work.Size();
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
  LastAnswer_ = std::time(nullptr);
  Guarded([&] {
    TSpiderNode* node = AcceptResponse(sender);
    const int32_t code = sender.Response.ResponseCode();
    if (code == -1 || code == 301 || code == 302 || code == 401 || node->IsSpiderable() ||
        (CheckPageResources && IsSiteStyleSheet(*node)))
      AddPageRequest(sender.URL.Compose(), sender.Request.Referer);
  });
}

std::shared_ptr<const TWordList> TCrawlController::UserWords() {
  // Words are only ever added to the user list, so a changed list has a changed count.
  const TWordList& list = Dictionaries->UserList;
  if (!UserWords_ || list.Count() != UserWordCount_) {
    UserWords_ = std::make_shared<const TWordList>(list);
    UserWordCount_ = list.Count();
  }
  return UserWords_;
}

// Read-only inputs of the workers that read pages: a copy of the site root, the main list (loaded
// once, never changed while the program runs), a snapshot of the user list and the settings.
// One is shared by every queued page while nothing changes, so a long queue holds one pointer
// each.
struct TPageInputs {
  TURI Site;
  const TWordList* MainWords = nullptr;
  std::shared_ptr<const TWordList> UserWords;
  bool Resources = false;
  bool Anchors = false;
  const std::atomic<bool>* Interrupted = nullptr;
  std::shared_ptr<const TAddressPatterns> Include;

  bool operator==(const TPageInputs&) const = default;
};

// A queued page: its inputs, and what its worker found (made when the worker starts).
struct TPageRequest {
  std::shared_ptr<const TPageInputs> Inputs;
  std::unique_ptr<TPageWork> Work;
};

std::shared_ptr<const TPageInputs> TCrawlController::PageInputs() {
  TPageInputs now;
  now.Site = Main_.Map.SiteURI;
  now.MainWords = Dictionaries ? &Dictionaries->MainList : nullptr;
  now.UserWords = Dictionaries ? UserWords() : nullptr;
  now.Resources = CheckPageResources;
  now.Anchors = CheckAnchors;
  now.Interrupted = Interrupted;
  now.Include = Include_;
  if (!PageInputs_ || !(*PageInputs_ == now)) PageInputs_ = std::make_shared<const TPageInputs>(std::move(now));
  return PageInputs_;
}

void TCrawlController::AddPageRequest(const std::string& url, const std::string& referer) {
  auto page = std::make_shared<TPageRequest>();
  page->Inputs = PageInputs();
  Pool_->AddGetRequest(
      url, referer, std::make_unique<std::string>(),
      [this, page](THTTPClient& c) { FullCompletion(c, page->Work.get()); },
      [page](THTTPClient& c) {
        page->Work = std::make_unique<TPageWork>();
        TPageWork* work = page->Work.get();
        const TPageInputs& in = *page->Inputs;
        // Only what the completion will parse: an answer 200 with an HTML page (or, with page
        // resources, a stylesheet) inside the site.
        auto stopped = [&c, &in] { return c.Closed() || (in.Interrupted && in.Interrupted->load()); };
        const THTTPResponse& r = c.Response;
        if (!r.ContentStream || r.ResponseCode() != 200) return;
        if (!IsInsideSite(in.Site, c.URL) && !(in.Include && in.Include->Matches(c.URL.Compose()))) return;
        if (!ContainsText(r.ContentType, "text/html")) {
          if (!in.Resources || !ContainsText(r.ContentType, "text/css")) return;
          work->Found = ExtractStyleSheetLinks(*r.ContentStream, c.URL, stopped);
          work->Scanned = !stopped();
          work->StyleSheet = true;
          return;
        }
        work->Found =
            ExtractPageLinks(*r.ContentStream, c.URL, stopped, in.Resources,
                             in.Anchors && !IsCutOff(r.ResponseText));  // a cut page's anchors are not judged
        work->Scanned = !stopped();
        if (work->Scanned && in.MainWords && in.UserWords) {
          work->SpellingErrors = CountSpellingErrors(*r.ContentStream, *in.MainWords, *in.UserWords);
          work->Counted = true;
        }
      });
}

void TCrawlController::FullCompletion(THTTPClient& sender, TPageWork* work,
                                      const std::shared_ptr<const TRedirectChain>& chain) {
  ++RequestsDone_;
  LastAnswer_ = std::time(nullptr);
  if (!chain && sender.Response.ResponseCode() == 401 && LoginAgain(sender)) return;
  Guarded([&] {
    // The answer is filed first: a redirect target that cannot be checked takes nothing from it.
    const bool hasBody = sender.Response.ContentStream != nullptr;
    TSpiderNode* node = AcceptResponse(sender);
    const int32_t code = sender.Response.ResponseCode();
    // Links to a fragment of the redirecting address are judged where this answer leads.
    if (chain && chain->From >= 0 && chain->From < Main_.Map.Count() && CheckAnchors)
      Main_.Map.Anchors.Redirected(Main_.Map.Node(chain->From), node);
    if (code == 301 || code == 302) Guarded([&] { CheckRedirect(sender, chain, node); });
    if (!node->IsSpiderable()) {
      if (hasBody && CheckPageResources && IsSiteStyleSheet(*node)) {
        if (work && work->Scanned && work->StyleSheet)
          ApplyStyleSheetLinks(Main_.Tree, node, sender.URL, work->Found, [this] { return Stopping(); });
        else ParseStyleSheet(node, *sender.Response.ContentStream, sender.URL);
      }
      return;
    }
    if (hasBody) {
      if (work && work->Scanned && !work->StyleSheet) {
        if (!FollowsLinks(*node)) work->Found.Links.clear();
        ApplyPageLinks(Main_.Tree, node, sender.URL, work->Found, [this] { return Stopping(); });
        node->RefreshIcon();
        if (work->Counted) node->SpellingErrors = work->SpellingErrors;
        else if (Dictionaries && !Stopping())
          node->SpellingErrors = CountSpellingErrors(*sender.Response.ContentStream, *Dictionaries);
      } else {
        ParsePage(node, *sender.Response.ContentStream, sender.URL);
      }
      return;
    }
    // A site that moved from http to https (or back): the target shares its tree entry and node
    // with the address that redirected to it, so no header check of its own fetches the page.
    // Fetch it in full once, so that the site is crawled under its new scheme.
    const std::string address = sender.URL.Compose();
    const TURI own = node->URI();
    const bool otherScheme = !SameText(own.Protocol, sender.URL.Protocol) && SameText(own.Host, sender.URL.Host) &&
                             own.Path == sender.URL.Path && own.Document == sender.URL.Document &&
                             own.Params == sender.URL.Params;
    if (otherScheme && FoldedFetches_.insert(address).second) AddPageRequest(address, sender.Request.Referer);
  });
}

void TCrawlController::ParseStyleSheet(TSpiderNode* node, const std::string& body, const TURI& sheet) {
  auto stopped = [this] { return Stopping(); };
  TPageLinks found = ExtractStyleSheetLinks(body, sheet, stopped);
  ApplyStyleSheetLinks(Main_.Tree, node, sheet, found, stopped);
}

void TCrawlController::CheckRedirect(THTTPClient& sender, const std::shared_ptr<const TRedirectChain>& chain,
                                     TSpiderNode* fromNode) {
  TURI target;
  ResolveLink(target, sender.Response.Location, &sender.URL);
  const std::string from = sender.URL.Compose();
  TURI referer(from);
  // A mail, script or news target is filed like such a link; a target that is never requested
  // here (another scheme, a local file met on a web site) is filed by link insertion's rules.
  if (IsSpecialScheme(target.Protocol) || !Main_.Map.IsRequestable(target)) {
    TSpiderNode* to = NodeOf(Main_.Tree.InsertURL(target, &referer, true));
    if (CheckAnchors) Main_.Map.Anchors.Redirected(fromNode, to);
    return;
  }
  const std::string address = target.Compose();
  auto next = std::make_shared<TRedirectChain>();
  if (chain) next->Addresses = chain->Addresses;
  else next->Addresses.push_back(ChainKey(sender.URL));
  const std::string key = ChainKey(target);
  const bool loop = std::find(next->Addresses.begin(), next->Addresses.end(), key) != next->Addresses.end();
  // Each address of the chain but the last has redirected once: this is hop number size().
  if (loop || next->Addresses.size() > kMaxRedirects) {
    // The chain never reaches a page: its first address is broken. The target's referer is
    // still recorded, without another request.
    TSpiderNode* to = NodeOf(Main_.Tree.InsertURL(target, &referer, true));
    if (CheckAnchors) Main_.Map.Anchors.Redirected(fromNode, to);
    TURI first(next->Addresses.front());
    if (TSpiderNode* node = NodeOf(Main_.Tree.InsertURL(first, nullptr, false))) {
      node->ResponseText = loop ? kRedirectLoopText : kTooManyRedirectsText;
      node->Map().Modified = true;
      node->RefreshIcon();
    }
    return;
  }
  next->Addresses.push_back(key);
  next->From = fromNode->Index();
  Gate.AddHeadRequest(address, from, [this, next](THTTPClient& c) { FullCompletion(c, nullptr, next); });
}

void TCrawlController::ParsePage(TSpiderNode* node, const std::string& body, const TURI& page) {
  auto stopped = [this] { return Stopping(); };
  TPageLinks found =
      ExtractPageLinks(body, page, stopped, CheckPageResources, CheckAnchors && !IsCutOff(node->ResponseText));
  if (!FollowsLinks(*node)) found.Links.clear();
  ApplyPageLinks(Main_.Tree, node, page, found, stopped);
  node->RefreshIcon();
  if (Dictionaries && !Stopping()) node->SpellingErrors = CountSpellingErrors(body, *Dictionaries);
}
