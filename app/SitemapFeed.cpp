#include "app/SitemapFeed.h"

#include <algorithm>

#include "Dialogs/UnitHTTPClient.h"
#include "Kel/KelError.h"
#include "Kel/KelIdHTTP.h"
#include "Kel/KelRobots.h"
#include "Kel/KelStr.h"
#include "Kel/KelTranslate.h"
#include "Kel/KelURI.h"
#include "app/CrawlGate.h"
#include "app/SpiderNode.h"
#include "app/SpiderTools.h"

const char* const kOrphanPagesCaption = "Orphan Pages";

namespace {

bool IsWeb(const TURI& uri) { return SameText(uri.Protocol, "http") || SameText(uri.Protocol, "https"); }

// The address as the pool's workers see their request's (TURI::Compose); empty when it is none.
std::string KeyOf(const std::string& address) {
  try {
    return TURI(address).Compose();
  } catch (const EError&) {
    return std::string();
  }
}

// `link` resolved against `base` when it is a web address; empty otherwise.
std::string WebAddress(const std::string& link, const TURI& base) {
  try {
    TURI target;
    ResolveLink(target, link, &base);
    if (!IsWeb(target)) return std::string();
    target.Bookmark.clear();
    return target.Compose();
  } catch (const EError&) {
    return std::string();
  }
}

// Whether the flags say `node` is an orphan page (TSitemapFeed::IsOrphan).
bool OrphanIn(const std::vector<uint8_t>& flags, uint8_t listed, uint8_t sitemapFile, const TSpiderNode& node) {
  const size_t i = static_cast<size_t>(node.Index());
  if (i == 0 || i >= flags.size() || !(flags[i] & listed)) return false;
  if (node.ResponseCode == 0 || node.IsBroken() || node.IsNotRequested() || !node.IsInternal()) return false;
  // A page that links here makes it no orphan: only sitemap files may refer to it.
  for (const TSpiderNode* referer : node.Referers) {
    const size_t j = static_cast<size_t>(referer->Index());
    if (j >= flags.size() || !(flags[j] & sitemapFile)) return false;
  }
  return true;
}

}  // namespace

void TSitemapFeed::Attach(TSiteTree& tree, TFormHTTPClient& pool, TCrawlGate& gate) {
  Tree_ = &tree;
  Pool_ = &pool;
  Gate_ = &gate;
}

void TSitemapFeed::Reset() {
  ++Generation_;
  Active_ = false;
  WaitingForGate_ = false;
  Flags_.reset();
  Requested_.clear();
  FilesRead_.clear();
  Listed_ = 0;
  TooMany_ = false;
  Stopped_ = false;
  std::lock_guard<std::mutex> lock(BodyMutex_);
  Bodies_.clear();
  AnyBodies_ = false;
}

void TSitemapFeed::Begin() {
  Reset();
  if (!Enabled || !Tree_ || !Pool_ || !Gate_) return;
  const TURI& site = Tree_->Map.SiteURI;
  if (!IsWeb(site)) return;  // a local file has no sitemap
  Active_ = true;
  Flags_ = std::make_shared<std::vector<uint8_t>>();
  ShowCategory();
  Robots_ = RobotsAddressOf(site);
  StartHost_ = TCrawlGate::HostKey(site);
  if (Gate_->ObeyRobots) {
    // The gate reads the start host's robots.txt before the first request there.
    WaitingForGate_ = true;
    if (Gate_->RulesFor(Robots_)) GateRobotsRead(StartHost_);
  } else {
    FetchRobots(Robots_, 0);
  }
}

void TSitemapFeed::GateRobotsRead(const std::string& hostKey) {
  if (!Active_ || !WaitingForGate_ || hostKey != StartHost_) return;
  WaitingForGate_ = false;
  const TRobotsRules* rules = Gate_->RulesFor(Robots_);
  Discovered(rules ? rules->Sitemaps : std::vector<std::string>());
}

void TSitemapFeed::FetchRobots(const std::string& address, int hops) {
  const std::string key = KeyOf(address);
  if (key.empty()) return Discovered({});
  KeepBodyOf(key, true);
  const uint64_t generation = Generation_;
  Pool_->AddGetRequest(address, "", std::make_unique<std::string>(), [this, generation, key, hops](THTTPClient& c) {
    if (generation != Generation_) return;
    KeepBodyOf(key, false);
    const int32_t code = c.Response.ResponseCode();
    if (code >= 200 && code < 300) {
      const std::string* body = c.Response.ContentStream;
      return Discovered(TRobotsRules::Parse(body ? *body : std::string(), Gate_->RobotsAgent).Sitemaps);
    }
    if (code >= 300 && code < 400 && !c.Response.Location.empty() && hops < kMaxRedirects) {
      const std::string target = WebAddress(c.Response.Location, c.URL);
      if (!target.empty()) return FetchRobots(target, hops + 1);
    }
    Discovered({});
  });
}

void TSitemapFeed::Discovered(const std::vector<std::string>& named) {
  const TURI robots(Robots_);
  if (named.empty()) {
    // No "Sitemap" line: the place where sites keep it by custom.
    TURI fallback(robots);
    fallback.Document = "sitemap.xml";
    if (Gate_->ObeyRobots)
      if (const TRobotsRules* rules = Gate_->RulesFor(Robots_); rules && !rules->Allowed("/sitemap.xml"))
        return Note(FormatText("The site's robots.txt names no sitemap and disallows %s: no sitemap was read.",
                               fallback.Compose().c_str()));
    return Fetch(fallback.Compose(), 0, std::string(), true, 0);
  }
  size_t taken = 0;
  for (const std::string& line : named) {
    if (taken == kMaxNamedSitemaps) {
      Note(FormatText("The site's robots.txt names %zu sitemaps: only the first %zu were read.", named.size(),
                      kMaxNamedSitemaps));
      break;
    }
    ++taken;
    const std::string address = WebAddress(line, robots);
    if (address.empty()) {
      Note(FormatText("The sitemap \"%s\" named by %s is no web address: it was not read.", line.c_str(),
                      Robots_.c_str()));
      continue;
    }
    Fetch(address, 0, std::string(), false, 0);
  }
}

void TSitemapFeed::Fetch(const std::string& address, int depth, const std::string& parent, bool fallback, int hops) {
  if (Stopped_) return;
  const std::string key = KeyOf(address);
  if (key.empty() || Requested_.count(key)) return;  // requested already: a loop of indexes ends here
  if (Requested_.size() >= kMaxFiles) {
    if (!TooMany_)
      Note(FormatText("The site has more than %zu sitemap files: the others were not read.", kMaxFiles));
    TooMany_ = true;
    return;
  }
  Requested_.insert(key);
  KeepBodyOf(key, true);
  const uint64_t generation = Generation_;
  // The file is read on the worker that fetched it, as pages are: a large one never holds up
  // the user interface.
  auto document = std::make_shared<TSitemapDocument>();
  auto read = std::make_shared<bool>(false);
  Pool_->AddGetRequest(
      key, parent, std::make_unique<std::string>(),
      [this, generation, key, depth, parent, fallback, hops, document, read](THTTPClient& c) {
        if (generation != Generation_) return;
        KeepBodyOf(key, false);
        try {
          const int32_t code = c.Response.ResponseCode();
          if (!*read && code >= 200 && code < 300 && c.Response.ContentStream)
            *document = ReadSitemap(*c.Response.ContentStream, Limits);
          Fetched(c, *document, depth, parent, fallback, hops);
        } catch (const EError& e) {
          Note(FormatText("The sitemap %s could not be read: %s.", key.c_str(), e.what()));
        }
      },
      [document, read, limits = Limits](THTTPClient& c) {
        const int32_t code = c.Response.ResponseCode();
        if (code < 200 || code >= 300 || !c.Response.ContentStream) return;
        *document = ReadSitemap(*c.Response.ContentStream, limits);
        *read = true;
      });
}

void TSitemapFeed::Fetched(THTTPClient& c, const TSitemapDocument& document, int depth, const std::string& parent,
                           bool fallback, int hops) {
  const int32_t code = c.Response.ResponseCode();
  const std::string address = c.URL.Compose();
  if (code >= 300 && code < 400 && !c.Response.Location.empty() && hops < kMaxRedirects) {
    const std::string target = WebAddress(c.Response.Location, c.URL);
    if (!target.empty()) return Fetch(target, depth, parent, fallback, hops + 1);
  }
  if (code < 200 || code >= 300) {
    if (fallback)
      return Note(FormatText("The site has no sitemap: its robots.txt names none, and %s answered \"%s\".",
                             address.c_str(), c.Response.ResponseText.c_str()));
    // A sitemap that robots.txt or an index names is a link of the site: broken, it shows so.
    FileSitemap(c, parent);
    return Note(FormatText("The sitemap %s could not be read: \"%s\".", address.c_str(),
                           c.Response.ResponseText.c_str()));
  }
  if (fallback && document.Locations.empty() && !document.Problem.empty())
    return Note(FormatText("The site has no sitemap: its robots.txt names none, and %s is none (%s).", address.c_str(),
                           document.Problem.c_str()));
  FilesRead_.push_back(address);
  TSpiderNode* file = FileSitemap(c, parent);
  if (!document.Problem.empty())
    Note(FormatText("The sitemap %s could not be read whole: %s.", address.c_str(), document.Problem.c_str()));
  else if (IsCutOff(c.Response.ResponseText))
    Note(FormatText("The sitemap %s was cut off at the largest page size: only its first part was read.",
                    address.c_str()));
  if (document.IsIndex) {
    if (depth >= kMaxIndexDepth)
      return Note(FormatText("The sitemap index %s lies more than %d indexes deep: the %zu sitemaps it names were not read.",
                             address.c_str(), kMaxIndexDepth, document.Locations.size()));
    for (const std::string& loc : document.Locations) {
      const std::string child = WebAddress(loc, c.URL);
      if (!child.empty()) Fetch(child, depth + 1, address, false, 0);
    }
    return;
  }
  if (!file) return;
  size_t outside = 0;
  for (const std::string& loc : document.Locations) {
    if (Stopped_) break;
    try {
      TURI target;
      ResolveLink(target, loc, &c.URL);
      // Only the site's own addresses: the sitemap says nothing of other sites' pages.
      if (!IsWeb(target) || !Tree_->Map.IsInternal(target)) {
        ++outside;
        continue;
      }
      TURI referer = file->URI();
      FileListed(target, referer);
    } catch (const EError&) {
      ++outside;
    }
  }
  if (outside > 0)
    Note(FormatText("The sitemap %s lists %zu addresses outside the site (or none at all): they were left out.",
                    address.c_str(), outside));
}

void TSitemapFeed::FileListed(TURI& uri, TURI& sitemap) {
  TSpiderNode* node = NodeOf(Tree_->InsertURL(uri, &sitemap, true));
  if (!node) return;
  const size_t i = static_cast<size_t>(node->Index());
  if (i >= Flags_->size() || !((*Flags_)[i] & kListed)) ++Listed_;
  Mark(node, kListed);
  if (Pool_->LimitHolds(TCrawlLimit::Addresses) && !Stopped_) {
    Stopped_ = true;
    Note("The site reached the largest number of addresses: the sitemaps' other addresses were not added.");
  }
}

TSpiderNode* TSitemapFeed::FileSitemap(const THTTPClient& c, const std::string& parent) {
  // The answer read is the file's check: it is not requested again.
  TURI uri(c.URL);
  TURI referer;
  if (!parent.empty()) referer.Parse(parent);
  TSpiderNode* node = NodeOf(Tree_->InsertURL(uri, parent.empty() ? nullptr : &referer, false));
  if (!node) return nullptr;
  node->RecordResponse(c.Response);
  node->RefreshIcon();
  Mark(node, kSitemapFile);
  return node;
}

void TSitemapFeed::Mark(const TSpiderNode* node, uint8_t bit) {
  if (!node || !Flags_) return;
  const size_t i = static_cast<size_t>(node->Index());
  if (i >= Flags_->size()) Flags_->resize(std::max(i + 1, static_cast<size_t>(Tree_->Map.Count())), 0);
  (*Flags_)[i] |= bit;
}

void TSitemapFeed::Note(const std::string& text) {
  if (OnNote) OnNote(text);
}

void TSitemapFeed::KeepBodyOf(const std::string& key, bool keep) {
  std::lock_guard<std::mutex> lock(BodyMutex_);
  if (keep) Bodies_.insert(key);
  else Bodies_.erase(key);
  AnyBodies_ = !Bodies_.empty();
}

bool TSitemapFeed::KeepsBody(const THTTPClient& client) const {
  if (!AnyBodies_) return false;
  std::string key;
  try {
    key = client.URL.Compose();
  } catch (const EError&) {
    return false;
  }
  std::lock_guard<std::mutex> lock(BodyMutex_);
  return Bodies_.count(key) > 0;
}

bool TSitemapFeed::IsOrphan(const TSpiderNode& node) const {
  return Active_ && Flags_ && OrphanIn(*Flags_, kListed, kSitemapFile, node);
}

TTreeEntry* TSitemapFeed::Category() const {
  if (!Active_ || !Tree_) return nullptr;
  for (const auto& top : Tree_->TopLevel())
    if (top->Index >= rkCount && top->Caption == RunTimeText(kOrphanPagesCaption)) return top.get();
  return nullptr;
}

void TSitemapFeed::ShowCategory() {
  if (!Active_ || !Tree_ || !Flags_ || Category()) return;
  Tree_->AddExtraRoot(RunTimeText(kOrphanPagesCaption), [flags = Flags_](const TSpiderNode& node) {
    return OrphanIn(*flags, kListed, kSitemapFile, node);
  });
}
