// Broken anchors: links whose #fragment names no place on the page they lead to.
//
// While a page of the site is walked, the names it offers as fragment targets (every "id"
// attribute, the "name" of every <a>, character references decoded) are kept as a sorted list
// of 64-bit hashes. Every link that carries a fragment is judged on the page it leads to once
// that page has been read whole (an internal HTML page answered with 200): at once when the
// page was read before the link was found, otherwise when it is read; a link to an address that
// redirects is judged on the page the redirects end at. Links to pages that are never read
// (external, not HTML, broken, excluded) are never judged. The empty fragment and "top" always
// have a place. Fragments are compared exactly, byte for byte, after their percent escapes are
// decoded.
//
// The map keeps, per target page, the missing fragments with the pages that link to each; that
// is what the "Broken Anchors" category, the properties, the report and the project file show.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class TSpiderNode;

// The hash under which a fragment target is kept and a fragment looked up.
uint64_t AnchorHash(std::string_view name);
// A fragment as it is looked up: every percent escape decoded to its byte (the bytes are read
// as UTF-8); a "%" that starts no escape stays.
std::string DecodeFragment(std::string_view fragment);
// The empty fragment and "top" (in any letter case): browsers scroll to the top of any page.
bool IsTopFragment(std::string_view decoded);
// Sorts the hashes and drops repeats, giving the list its smallest capacity.
void CompactAnchorHashes(std::vector<uint64_t>& hashes);

// A fragment missing on its target page, with the pages whose links name it.
struct TMissingAnchor {
  std::string Fragment;               // decoded
  std::vector<TSpiderNode*> Referers;  // in the order the links were judged, each once
};

class TAnchorMap {
 public:
  // `page` was read whole; `names` are the hashes of the names it offers (sorted here when they
  // are not).
  // The links that waited for it are judged now.
  void PageRead(TSpiderNode* page, std::vector<uint64_t> names);
  // A link from `referer` to `target` carrying `fragment` (as the resolved address holds it;
  // nothing happens when it is empty).
  void LinkFound(TSpiderNode* referer, TSpiderNode* target, std::string_view fragment);
  // `from` answered with a redirect whose target is `to`: links to `from` are judged where `to`
  // leads.
  void Redirected(TSpiderNode* from, TSpiderNode* to);
  // Records a missing fragment directly (a loaded project).
  void AddMissing(TSpiderNode* target, const std::string& fragment, TSpiderNode* referer);
  // Forgets everything: called when the map is cleared.
  void Clear();

  // Queries.
  bool HasMissing(const TSpiderNode& page) const { return Missing_.count(&page) != 0; }
  // The missing fragments of `page`, in the order they were found (empty when none).
  const std::vector<TMissingAnchor>& MissingOf(const TSpiderNode& page) const;
  // The number of target pages with a missing fragment, and of missing fragments in all.
  int PageCount() const { return static_cast<int>(Missing_.size()); }
  int Count() const { return Count_; }
  // Every page with missing fragments, in the map's order, with each of its missing fragments.
  void ForEachMissing(const std::function<void(const TSpiderNode& page, const TMissingAnchor& anchor)>& visit) const;
  // The page has been read and its names are kept.
  bool IsRead(const TSpiderNode& page) const;
  // Links still waiting for their target page to be read.
  size_t PendingCount() const;

 private:
  struct TPending {
    std::string Fragment;  // decoded
    TSpiderNode* Referer;
  };
  struct TKey {
    const TSpiderNode* Page;
    uint64_t Fragment;
    const TSpiderNode* Referer;
    bool operator==(const TKey&) const = default;
  };
  struct TKeyHash {
    size_t operator()(const TKey& k) const;
  };
  // Where links to `page` are judged: the end of its redirects.
  TSpiderNode* FinalTarget(TSpiderNode* page) const;
  // Judges a link now when its target has been read; keeps it waiting when the target may still
  // be read; drops it otherwise.
  void Place(TSpiderNode* target, std::string fragment, TSpiderNode* referer);
  void Judge(TSpiderNode* target, const std::string& fragment, TSpiderNode* referer);

  // The pages read, by their index in the map: a bit each. Only the pages that offer names
  // have an entry of names (most pages of many sites offer none).
  std::vector<bool> Read_;
  std::unordered_map<const TSpiderNode*, std::vector<uint64_t>> Offered_;
  std::unordered_map<const TSpiderNode*, std::vector<TPending>> Pending_;
  std::unordered_map<const TSpiderNode*, TSpiderNode*> Forward_;
  std::unordered_map<const TSpiderNode*, std::vector<TMissingAnchor>> Missing_;
  // (page, fragment, none) gives the fragment's position in the page's list; (page, fragment,
  // referer) marks a referer recorded.
  std::unordered_map<TKey, uint32_t, TKeyHash> MissingIndex_;
  std::unordered_set<TKey, TKeyHash> MissingReferers_;
  int Count_ = 0;
};
