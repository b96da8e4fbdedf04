// What a crawl left undone, read from the map alone, so that a crawl loaded from a project file
// (or ended by Ctrl-C, a crash or the Terminate button) can go on where it stopped: addresses
// never checked (answer 0) and pages of the site never read (no title, no links).
#pragma once

#include <cstddef>
#include <vector>

class TSiteTree;
class TSpiderNode;

struct TUnfinishedWork {
  // Addresses the crawl would check that have no answer yet, in node order.
  std::vector<TSpiderNode*> Unchecked;
  // Addresses whose header answer asks for a full request that the map shows no trace of: pages
  // of the site answered 200 with neither title nor links, and redirects (301, 302) whose
  // target is not in the map. In node order.
  std::vector<TSpiderNode*> Unread;
  bool Empty() const { return Unchecked.empty() && Unread.empty(); }
  size_t Size() const { return Unchecked.size() + Unread.size(); }
};

// One pass over the map's nodes; the tree's rules (ValidateExternalURLs, the site root) decide
// which addresses the crawl would check.
TUnfinishedWork FindUnfinishedWork(const TSiteTree& tree);
// Whether FindUnfinishedWork finds anything; stops at the first address found.
bool HasUnfinishedWork(const TSiteTree& tree);
