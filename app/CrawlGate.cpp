#include "app/CrawlGate.h"

#include <re2/re2.h>

#include "Dialogs/UnitHTTPClient.h"
#include "app/SpiderNode.h"
#include "Kel/KelError.h"
#include "Kel/KelIdHTTP.h"
#include "Kel/KelStr.h"
#include "Kel/KelURI.h"


struct TAddressPatterns::TImpl {
  explicit TImpl(const std::string& pattern) : Expression(pattern, RE2::Quiet) {}
  RE2 Expression;
};

TAddressPatterns::TAddressPatterns(const std::vector<std::string>& patterns, const std::string& setting) {
  for (const std::string& pattern : patterns) {
    auto compiled = std::make_unique<TImpl>(pattern);
    if (!compiled->Expression.ok())
      throw EError(setting + ": the pattern '" + pattern + "' is not a valid regular expression (" +
                   compiled->Expression.error() + ")");
    Patterns_.push_back(std::move(compiled));
  }
}

TAddressPatterns::~TAddressPatterns() = default;

bool TAddressPatterns::Matches(const std::string& address) const {
  for (const auto& p : Patterns_)
    if (RE2::PartialMatch(address, p->Expression)) return true;
  return false;
}

TCrawlGate::TCrawlGate() = default;
TCrawlGate::~TCrawlGate() = default;

std::string TCrawlGate::HostKey(const TURI& uri) { return THostGate::HostKey(uri); }

std::string RobotsAddressOf(const TURI& uri) {
  TURI robots(uri);
  robots.Path = "/";
  robots.Document = "robots.txt";
  robots.Params.clear();
  robots.Bookmark.clear();
  robots.Username.clear();
  robots.Password.clear();
  return robots.Compose();
}

namespace {
bool IsWeb(const TURI& uri) { return SameText(uri.Protocol, "http") || SameText(uri.Protocol, "https"); }
}  // namespace

void TCrawlGate::Pass(const std::string& url, const std::string& referer, TRequestCallback callback) {
  KelAssert(Pool_, "the crawl gate needs the request pool");
  Pool_->AddHeadRequest(url, referer, std::move(callback));
}

void TCrawlGate::AddHeadRequest(const std::string& url, const std::string& referer, TRequestCallback callback) {
  if (Exclude && !Exclude->Empty() && Exclude->Matches(url)) {
    if (OnRefused) OnRefused(url, kExcludedText);
    return;
  }
  if (!ObeyRobots) return Pass(url, referer, std::move(callback));
  const TURI uri(url);
  if (!IsWeb(uri)) return Pass(url, referer, std::move(callback));
  const std::string key = HostKey(uri);
  auto [it, added] = Hosts_.try_emplace(key);
  THost& host = it->second;
  if (host.Ready) {
    if (host.Rules.Allowed(uri.Path + uri.Document + uri.Params)) return Pass(url, referer, std::move(callback));
    if (OnRefused) OnRefused(url, kRobotsBlockedText);
    return;
  }
  host.Held.push_back({url, referer, std::move(callback)});
  if (added) {
    ReadRobots(key, RobotsAddressOf(uri), 0);
  }
}

void TCrawlGate::ReadRobots(const std::string& key, const std::string& address, int hops) {
  KelAssert(Pool_, "the crawl gate needs the request pool");
  const uint64_t generation = Generation_;
  Pool_->AddGetRequest(address, "", std::make_unique<std::string>(),
                       [this, key, generation, hops](THTTPClient& c) {
                         if (generation != Generation_) return;
                         const int32_t code = c.Response.ResponseCode();
                         if (code >= 200 && code < 300) {
                           const std::string* body = c.Response.ContentStream;
                           RobotsRead(key, TRobotsRules::Parse(body ? *body : std::string(), RobotsAgent));
                         } else if (code >= 300 && code < 400 && !c.Response.Location.empty() && hops < 5) {
                           TURI target;
                           try {
                             ResolveLink(target, c.Response.Location, &c.URL);
                           } catch (const EError&) {
                             return RobotsRead(key, TRobotsRules::AllowAll());
                           }
                           if (!IsWeb(target)) return RobotsRead(key, TRobotsRules::AllowAll());
                           ReadRobots(key, target.Compose(), hops + 1);
                         } else if (code >= 300 && code < 500) {
                           // Not there (or redirected too often): nothing is disallowed.
                           RobotsRead(key, TRobotsRules::AllowAll());
                         } else {
                           // A server error, or no answer: the host is not crawled.
                           RobotsRead(key, TRobotsRules::DisallowAll());
                         }
                       });
}

void TCrawlGate::RobotsRead(const std::string& key, TRobotsRules rules) {
  auto it = Hosts_.find(key);
  if (it == Hosts_.end()) return;
  THost& host = it->second;
  host.Ready = true;
  host.Rules = std::move(rules);
  Sitemaps_.insert(Sitemaps_.end(), host.Rules.Sitemaps.begin(), host.Rules.Sitemaps.end());
  if (host.Rules.CrawlDelay > 0 && OnCrawlDelay) OnCrawlDelay(key, host.Rules.CrawlDelay, host.Rules.CrawlDelayCapped);
  std::vector<THeld> held = std::move(host.Held);
  host.Held.clear();
  // `host` may move while the held requests are passed on (a refusal files an address, which
  // may queue more): only the rules' copy is read from here on.
  const TRobotsRules decided = host.Rules;
  for (THeld& h : held) {
    const TURI uri(h.URL);
    if (decided.Allowed(uri.Path + uri.Document + uri.Params)) Pass(h.URL, h.Referer, std::move(h.Callback));
    else if (OnRefused) OnRefused(h.URL, kRobotsBlockedText);
  }
  if (OnRobotsRead) OnRobotsRead(key);
}

void TCrawlGate::LimitReached(TCrawlLimit limit, const std::string& text) {
  KelAssert(Pool_, "the gate needs its pool");
  Pool_->LimitReached(limit, text);
}

bool TCrawlGate::LimitLifted(TCrawlLimit limit) const { return Pool_ && Pool_->LimitLifted(limit); }

void TCrawlGate::SuspendWithMessage(const std::string& text) {
  KelAssert(Pool_, "the crawl gate needs the request pool");
  Pool_->SuspendWithMessage(text);
}

void TCrawlGate::TerminateAll() {
  ++Generation_;
  Hosts_.clear();
  Sitemaps_.clear();
  if (Pool_) {
    Pool_->TerminateAll();
    Pool_->HostGate().Reset();
  }
}

bool TCrawlGate::IsRobotsRequest(const THTTPClient& client) const {
  return ObeyRobots && client.URL.Path == "/" && client.URL.Document == "robots.txt" && client.URL.Params.empty();
}

const TRobotsRules* TCrawlGate::RulesFor(const std::string& url) const {
  if (!ObeyRobots) return nullptr;
  auto it = Hosts_.find(HostKey(TURI(url)));
  return it != Hosts_.end() && it->second.Ready ? &it->second.Rules : nullptr;
}

size_t TCrawlGate::Waiting() const {
  size_t n = 0;
  for (const auto& [key, host] : Hosts_) n += host.Held.size();
  return n;
}
