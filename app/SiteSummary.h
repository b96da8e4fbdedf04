// What a crawl found, in figures: the number of addresses under each of the sixteen category
// entries of the site tree, every broken address with its answer and the pages that refer to it,
// and every broken anchor (a fragment missing on its page) with the pages that link to it. tessaly-crawl prints it as its report; the desktop program can show the same figures.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "app/SpiderTools.h"

struct TBrokenAddress {
  std::string URL;  // the node's address text
  int32_t ResponseCode = 0;
  std::string ResponseText;           // the status line or failure message, as recorded
  std::vector<std::string> Referers;  // the address texts of the pages that link here, in order
};

struct TBrokenAnchor {
  std::string URL;                    // the target page's address text
  std::string Fragment;               // the missing fragment, decoded
  std::vector<std::string> Referers;  // the address texts of the pages that link to it, in order
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

// Reads the figures from the tree and its site map. A tree without its top-level entries
// counts nothing.
TSiteSummary SummarizeSite(const TSiteTree& tree);

// The report: for an incomplete crawl first a line saying so with the number of requests left
// ("Incomplete crawl: a limit suspended it with 12 requests left unmade."), then
// "Site: " and the site's address, one line per category with its caption and
// count, then, when any address is broken, "Broken addresses:" and for each its code and
// address, its answer on one line, and a "from" line per referring page; then, when any anchor
// is broken, "Broken anchors: N" and for each its page#fragment and a "from" line per referring
// page.
std::string SiteReportText(const TSiteSummary& summary);
