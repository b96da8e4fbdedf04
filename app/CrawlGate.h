// The crawl gate: what the site tree's header checks pass through on their way to the request
// pool. It decides which addresses are requested at all: an address matching an exclude pattern
// is never requested ("Excluded"); with "Obey robots.txt" on, the robots.txt of each scheme,
// host and port is read once before the first request there, requests to that host wait for it
// (without holding a worker) and a disallowed address is never requested ("Blocked by
// robots.txt"). Whatever passes goes to the pool unchanged. User-interface thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "Dialogs/RequestQueue.h"
#include "Kel/KelRobots.h"

class TFormHTTPClient;
class THTTPClient;
class TURI;

// The robots.txt address of the scheme, host and port of `uri`, without a login.
std::string RobotsAddressOf(const TURI& uri);

// A list of regular expressions (RE2 syntax) matched anywhere in a full address. Shared by the
// threads that read it; matching is thread-safe.
class TAddressPatterns {
 public:
  // Throws EError naming `setting` and the pattern when one does not compile.
  TAddressPatterns(const std::vector<std::string>& patterns, const std::string& setting);
  ~TAddressPatterns();
  bool Empty() const { return Patterns_.empty(); }
  bool Matches(const std::string& address) const;

 private:
  struct TImpl;
  std::vector<std::unique_ptr<TImpl>> Patterns_;
};

class TCrawlGate : public IRequestQueue {
 public:
  TCrawlGate();
  ~TCrawlGate() override;
  TCrawlGate(const TCrawlGate&) = delete;
  TCrawlGate& operator=(const TCrawlGate&) = delete;

  void Attach(TFormHTTPClient& pool) { Pool_ = &pool; }

  // "Obey robots.txt" (off: nothing is read, nothing blocked).
  bool ObeyRobots = false;
  // The product token robots.txt groups are chosen by.
  std::string RobotsAgent = "Tessaly";
  // The exclude patterns (none: every address may be requested).
  std::shared_ptr<const TAddressPatterns> Exclude;
  // An address that is listed but not requested, with the status text it gets.
  std::function<void(const std::string& url, const std::string& text)> OnRefused;
  // The "Crawl-delay" of a host's robots.txt (seconds, already capped; `capped`: it asked for
  // more), once it is read.
  std::function<void(const std::string& hostKey, double seconds, bool capped)> OnCrawlDelay;
  // A host's robots.txt has been read (RulesFor answers for it now).
  std::function<void(const std::string& hostKey)> OnRobotsRead;

  // The requests of the site tree and of redirect checks.
  void AddHeadRequest(const std::string& url, const std::string& referer, TRequestCallback callback) override;
  void SuspendWithMessage(const std::string& text) override;
  // The crawl's limits are the pool's: the gate hands them on with their kind.
  void LimitReached(TCrawlLimit limit, const std::string& text) override;
  bool LimitLifted(TCrawlLimit limit) const override;
  // Stops every request and forgets the requests waiting and what was read (a new crawl).
  void TerminateAll() override;

  // Whether `client`'s request is one of the gate's robots.txt reads (its body is kept).
  bool IsRobotsRequest(const THTTPClient& client) const;
  // The rules read for the host of `url`, or none (not read yet, or robots.txt not obeyed).
  const TRobotsRules* RulesFor(const std::string& url) const;
  // The "Sitemap" addresses of every robots.txt read in this crawl, in the order read.
  const std::vector<std::string>& Sitemaps() const { return Sitemaps_; }
  // Requests waiting for their host's robots.txt.
  size_t Waiting() const;

  // "scheme://host:port" of an address, letters folded, the scheme's default port filled in.
  static std::string HostKey(const TURI& uri);

 private:
  struct THeld {
    std::string URL, Referer;
    TRequestCallback Callback;
  };
  struct THost {
    bool Ready = false;
    TRobotsRules Rules;
    std::vector<THeld> Held;
  };
  void Pass(const std::string& url, const std::string& referer, TRequestCallback callback);
  // Reads the robots.txt at `address` for the host `key` (following up to five redirects).
  void ReadRobots(const std::string& key, const std::string& address, int hops);
  void RobotsRead(const std::string& key, TRobotsRules rules);

  TFormHTTPClient* Pool_ = nullptr;
  std::unordered_map<std::string, THost> Hosts_;
  std::vector<std::string> Sitemaps_;
  uint64_t Generation_ = 0;  // a robots.txt answer of an earlier crawl is ignored
};
