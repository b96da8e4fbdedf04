// "Read the site's sitemap": at the start of a crawl the sitemaps of the start address's host are
// read (those its robots.txt names in "Sitemap" lines, else /sitemap.xml), sitemap indexes are
// followed to their sitemaps, and every address of the site they list is filed in the tree as a
// link of its sitemap, so that it is checked and, as a page of the site, read like any other.
// The site's pages that a sitemap lists but no page links to are its orphan pages, shown as the
// category "Orphan Pages" for as long as the crawl's map is shown.
//
// Everything is bounded: a crawl requests at most kMaxFiles sitemap files, follows indexes at
// most kMaxIndexDepth deep, requests no file twice (an index that names itself ends there), and
// each file is read within the reader's limits and the crawl's largest page size. What could not
// be read becomes a note of the crawl. The sitemaps' requests go to the crawl's own request pool
// with its limits and identity. Per address the feed keeps one byte (by node number), never a copy.
// User-interface thread only, but for KeepsBody.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "app/SiteSitemaps.h"

class TCrawlGate;
class TFormHTTPClient;
class THTTPClient;
class TSiteTree;
class TSpiderNode;
class TTreeEntry;
class TURI;

// The caption of the orphan pages' category.
extern const char* const kOrphanPagesCaption;  // "Orphan Pages"

class TSitemapFeed {
 public:
  static constexpr size_t kMaxFiles = 1000;     // sitemap files requested in one crawl
  static constexpr int kMaxIndexDepth = 2;      // indexes below the first one followed
  static constexpr int kMaxRedirects = 5;       // redirects followed from one sitemap address
  static constexpr size_t kMaxNamedSitemaps = 100;  // "Sitemap" lines of robots.txt taken

  TSitemapFeed() = default;
  TSitemapFeed(const TSitemapFeed&) = delete;
  TSitemapFeed& operator=(const TSitemapFeed&) = delete;

  // "Read the site's sitemap" (off: nothing is requested and the map is the crawl's alone).
  bool Enabled = false;
  // The limits of one sitemap file.
  TSitemapReadLimits Limits;
  // Tells the crawl's notes what could not be read.
  std::function<void(const std::string& note)> OnNote;

  void Attach(TSiteTree& tree, TFormHTTPClient& pool, TCrawlGate& gate);

  // A fresh crawl of the tree's site has started (its start address filed): with Enabled, the
  // category is added and the sitemaps are looked for. With "Obey robots.txt" the gate's reading
  // of the start host's robots.txt is waited for (GateRobotsRead); without it the feed reads
  // robots.txt itself, only for its "Sitemap" lines.
  void Begin();
  // The gate has read the robots.txt of the host `hostKey` (TCrawlGate::HostKey).
  void GateRobotsRead(const std::string& hostKey);
  // Forgets the crawl (the map is cleared): answers still on their way are ignored.
  void Reset();

  // Whether the pool keeps the body of `client`'s answer for the feed: a sitemap or robots.txt
  // it requested. Any thread.
  bool KeepsBody(const THTTPClient& client) const;

  // Whether the sitemaps were read in this crawl (the category and the reports' section exist).
  bool Active() const { return Active_; }
  // Whether a sitemap lists `node` and no page but sitemap files links to it: a page of the site
  // (inside the site root, not broken, not the start address).
  bool IsOrphan(const TSpiderNode& node) const;
  // The sitemap files read in this crawl, in the order read.
  const std::vector<std::string>& FilesRead() const { return FilesRead_; }
  // The addresses that a sitemap listed and that were filed (each once).
  size_t Listed() const { return Listed_; }
  // The category entry, or none.
  TTreeEntry* Category() const;
  // Adds the category again when the sitemaps were read and it is gone (a comparison with an
  // earlier project replaces the tree's extra categories).
  void ShowCategory();

 private:
  enum : uint8_t { kListed = 1, kSitemapFile = 2 };
  // Requests the sitemap at `address`: `depth` indexes above it, `parent` the index naming it
  // (empty: robots.txt or the fallback), `fallback` for /sitemap.xml looked for.
  void Fetch(const std::string& address, int depth, const std::string& parent, bool fallback, int hops);
  // `document`: the file as read from the answer (empty when it is no success).
  void Fetched(THTTPClient& c, const TSitemapDocument& document, int depth, const std::string& parent, bool fallback,
               int hops);
  // Reads the start host's robots.txt for its "Sitemap" lines.
  void FetchRobots(const std::string& address, int hops);
  // The sitemaps named (none: the fallback) are requested.
  void Discovered(const std::vector<std::string>& named);
  // Files `uri` as a link of its sitemap and marks it listed.
  void FileListed(TURI& uri, TURI& sitemap);
  // Files the sitemap `c` read (below `parent`, the index naming it) with its answer.
  TSpiderNode* FileSitemap(const THTTPClient& c, const std::string& parent);
  void Mark(const TSpiderNode* node, uint8_t bit);
  void Note(const std::string& text);
  void KeepBodyOf(const std::string& key, bool keep);

  TSiteTree* Tree_ = nullptr;
  TFormHTTPClient* Pool_ = nullptr;
  TCrawlGate* Gate_ = nullptr;
  bool Active_ = false;
  bool WaitingForGate_ = false;
  std::string StartHost_;  // the gate's host key of the start address
  std::string Robots_;     // the start host's robots.txt address
  uint64_t Generation_ = 0;
  // Per node number: kListed, kSitemapFile. Shared with the category's filter.
  std::shared_ptr<std::vector<uint8_t>> Flags_;
  std::unordered_set<std::string> Requested_;  // sitemap addresses requested in this crawl
  std::vector<std::string> FilesRead_;
  size_t Listed_ = 0;
  bool TooMany_ = false;  // kMaxFiles was reached (noted once)
  bool Stopped_ = false;  // the address limit held: nothing more is filed
  // The addresses whose bodies the pool keeps for the feed, read by the pool's workers.
  mutable std::mutex BodyMutex_;
  std::unordered_set<std::string> Bodies_;
  std::atomic<bool> AnyBodies_{false};
};
