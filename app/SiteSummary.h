// What a crawl found, in figures: the number of addresses under each of the sixteen category
// entries of the site tree, every broken address with its answer and the pages that refer to it,
// and every broken anchor (a fragment missing on its page) with the pages that link to it. tessaly-crawl prints it as its report; the desktop program can show the same figures.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include <iosfwd>

#include "app/Anchors.h"
#include "app/SpiderNode.h"
#include "app/SpiderTools.h"

// A broken address, read from its node where it is: the summary copies nothing, so it holds
// only while the map is unchanged (make it anew after a crawl, a New or an Open).
struct TBrokenAddress {
  const TSpiderNode* Node = nullptr;

  std::string URL() const { return Node->URLText(); }
  int32_t ResponseCode() const { return Node->ResponseCode; }
  const std::string& ResponseText() const { return Node->ResponseText; }  // as recorded
  const TSpiderNodeDynArray& Referers() const { return Node->Referers; }  // in order
  std::vector<std::string> RefererURLs() const;                           // their texts (a copy)
};

// A missing fragment of a page, read from the map's anchors; holds while the map is unchanged.
struct TBrokenAnchor {
  const TSpiderNode* Page = nullptr;
  const TMissingAnchor* Missing = nullptr;

  std::string URL() const { return Page->URLText(); }                          // the target page
  const std::string& Fragment() const { return Missing->Fragment; }             // decoded
  const std::vector<TSpiderNode*>& Referers() const { return Missing->Referers; }  // in order
  std::vector<std::string> RefererURLs() const;                                 // their texts (a copy)
};

struct TSiteSummary {
  std::string Site;  // the site root's address
  // By TSiteRootKind, rkAll to rkEmail: the nodes that pass a filter root's filter, the
  // entries of a container root.
  std::array<int, rkSiteRoot> Counts{};
  std::vector<TBrokenAddress> Broken;  // the broken nodes, in the map's order
  std::vector<TBrokenAnchor> BrokenAnchors;  // by target page in the map's order
  // A limit suspended the crawl before it was done: the map holds what was found so far, and
  // RequestsLeft requests were still waiting. Set by whoever ran the crawl.
  bool Incomplete = false;
  int RequestsLeft = 0;
  std::vector<std::string> Notes;  // what the crawl wants the user to know, one line each

  int Count(TSiteRootKind kind) const { return Counts.at(static_cast<size_t>(kind)); }
  bool AnyBroken() const { return !Broken.empty(); }
  bool AnyBrokenAnchors() const { return !BrokenAnchors.empty(); }
};

// Reads the figures from the tree and its site map; the broken entries refer to the map's
// nodes. A tree without its top-level entries counts nothing.
TSiteSummary SummarizeSite(const TSiteTree& tree);

// SummarizeSite a slice of nodes at a time, so that a window can spread a large map's summary
// over its event loop. It reads the nodes the map held when it was made; the map may gain
// nodes meanwhile, but must not be cleared.
class TSiteSummaryBuilder {
 public:
  explicit TSiteSummaryBuilder(const TSiteTree& tree);
  // Reads up to `count` more nodes; true once every node has been read.
  bool Step(size_t count);
  // The summary, once Step has returned true.
  TSiteSummary Finish();

 private:
  const TSiteTree& Tree_;
  TSiteSummary Summary_;
  std::vector<std::pair<int, const TTreeEntry*>> Filters_, TypeFilters_;
  std::unordered_map<const std::string*, uint32_t> TypeBits_;  // bit k: passes category k
  size_t Next_ = 0, End_ = 0;
};

// The report: for an incomplete crawl first a line saying so with the number of requests left
// ("Incomplete crawl: a limit suspended it with 12 requests left unmade."), then
// "Site: " and the site's address, one line per category with its caption and
// count, then, when any address is broken, "Broken addresses:" and for each its code and
// address, its answer on one line, and a "from" line per referring page; then, when any anchor
// is broken, "Broken anchors: N" and for each its page#fragment and a "from" line per referring
// page. Written line by line to `out`; SiteReportText returns the same text.
void WriteSiteReport(std::ostream& out, const TSiteSummary& summary);
std::string SiteReportText(const TSiteSummary& summary);
