#include "app/Anchors.h"

#include <algorithm>

#include "Kel/KelStr.h"
#include "app/SpiderNode.h"

namespace {

// A redirect chain longer than this is a loop: links to it stay where the chain was cut.
constexpr int kMaxRedirectHops = 32;

// Whether a page may still be read whole: an internal address not answered yet, or answered
// with what leads to a full read (an HTML page, a redirect, an unclear answer).
bool MayBeRead(const TSpiderNode& node) {
  if (!node.IsInternal()) return false;
  const int32_t code = node.ResponseCode;
  return code == 0 || code == -1 || code == 401 || node.IsRedirected() || node.IsSpiderable();
}

}  // namespace

uint64_t AnchorHash(std::string_view name) {
  // FNV-1a, then a final mix so that names differing in their last bytes spread over all bits.
  uint64_t h = 14695981039346656037ull;
  for (const char c : name) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdull;
  h ^= h >> 33;
  return h;
}

std::string DecodeFragment(std::string_view fragment) {
  std::string r;
  r.reserve(fragment.size());
  for (size_t i = 0; i < fragment.size(); ++i) {
    const char c = fragment[i];
    if (c == '%' && i + 2 < fragment.size() && HexDigitValue(fragment[i + 1]) >= 0 &&
        HexDigitValue(fragment[i + 2]) >= 0) {
      r += static_cast<char>(HexDigitValue(fragment[i + 1]) * 16 + HexDigitValue(fragment[i + 2]));
      i += 2;
    } else {
      r += c;
    }
  }
  return r;
}

bool IsTopFragment(std::string_view decoded) { return decoded.empty() || SameText(decoded, "top"); }

void CompactAnchorHashes(std::vector<uint64_t>& hashes) {
  std::sort(hashes.begin(), hashes.end());
  hashes.erase(std::unique(hashes.begin(), hashes.end()), hashes.end());
  hashes.shrink_to_fit();
}

size_t TAnchorMap::TKeyHash::operator()(const TKey& k) const {
  uint64_t h = k.Fragment;
  h ^= reinterpret_cast<uintptr_t>(k.Page) * 0x9e3779b97f4a7c15ull;
  h ^= reinterpret_cast<uintptr_t>(k.Referer) * 0xc2b2ae3d27d4eb4full;
  return static_cast<size_t>(h ^ (h >> 29));
}

TSpiderNode* TAnchorMap::FinalTarget(TSpiderNode* page) const {
  for (int hops = 0; hops < kMaxRedirectHops; ++hops) {
    const auto next = Forward_.find(page);
    if (next == Forward_.end()) break;
    page = next->second;
  }
  return page;
}

void TAnchorMap::PageRead(TSpiderNode* page, std::vector<uint64_t> names) {
  if (!page) return;
  Forward_.erase(page);
  if (!std::is_sorted(names.begin(), names.end())) CompactAnchorHashes(names);
  const auto index = static_cast<size_t>(page->Index());
  if (index >= Read_.size()) Read_.resize(index + 1);  // the vector grows its room geometrically
  Read_[index] = true;
  if (names.empty()) Offered_.erase(page);
  else Offered_[page] = std::move(names);
  const auto waiting = Pending_.find(page);
  if (waiting == Pending_.end()) return;
  std::vector<TPending> links = std::move(waiting->second);
  Pending_.erase(waiting);
  for (const TPending& link : links) Judge(page, link.Fragment, link.Referer);
}

void TAnchorMap::LinkFound(TSpiderNode* referer, TSpiderNode* target, std::string_view fragment) {
  if (!referer || !target || fragment.empty()) return;
  std::string decoded = DecodeFragment(fragment);
  if (IsTopFragment(decoded)) return;
  Place(FinalTarget(target), std::move(decoded), referer);
}

void TAnchorMap::Place(TSpiderNode* target, std::string fragment, TSpiderNode* referer) {
  if (IsRead(*target)) {
    Judge(target, fragment, referer);
  } else if (MayBeRead(*target)) {
    Pending_[target].push_back({std::move(fragment), referer});
  }
}

void TAnchorMap::Redirected(TSpiderNode* from, TSpiderNode* to) {
  if (!from || !to) return;
  to = FinalTarget(to);
  if (to == from) return;  // a loop, or an address that redirects to itself under another scheme
  Forward_[from] = to;
  const auto waiting = Pending_.find(from);
  if (waiting == Pending_.end()) return;
  std::vector<TPending> links = std::move(waiting->second);
  Pending_.erase(waiting);
  for (TPending& link : links) Place(to, std::move(link.Fragment), link.Referer);
}

void TAnchorMap::Judge(TSpiderNode* target, const std::string& fragment, TSpiderNode* referer) {
  const auto names = Offered_.find(target);
  if (names == Offered_.end() || !std::binary_search(names->second.begin(), names->second.end(), AnchorHash(fragment)))
    AddMissing(target, fragment, referer);
}

void TAnchorMap::AddMissing(TSpiderNode* target, const std::string& fragment, TSpiderNode* referer) {
  if (!target) return;
  const uint64_t hash = AnchorHash(fragment);
  std::vector<TMissingAnchor>& list = Missing_[target];
  const auto [at, added] = MissingIndex_.try_emplace(TKey{target, hash, nullptr}, static_cast<uint32_t>(list.size()));
  if (added) {
    list.push_back({fragment, {}});
    ++Count_;
  }
  if (referer && MissingReferers_.insert(TKey{target, hash, referer}).second)
    list[at->second].Referers.push_back(referer);
}

void TAnchorMap::Clear() {
  Read_.clear();
  Offered_.clear();
  Pending_.clear();
  Forward_.clear();
  Missing_.clear();
  MissingIndex_.clear();
  MissingReferers_.clear();
  Count_ = 0;
}

const std::vector<TMissingAnchor>& TAnchorMap::MissingOf(const TSpiderNode& page) const {
  static const std::vector<TMissingAnchor> kNone;
  const auto found = Missing_.find(&page);
  return found == Missing_.end() ? kNone : found->second;
}

void TAnchorMap::ForEachMissing(
    const std::function<void(const TSpiderNode& page, const TMissingAnchor& anchor)>& visit) const {
  std::vector<const TSpiderNode*> pages;
  pages.reserve(Missing_.size());
  for (const auto& entry : Missing_) pages.push_back(entry.first);
  std::sort(pages.begin(), pages.end(), [](const TSpiderNode* a, const TSpiderNode* b) { return a->Index() < b->Index(); });
  for (const TSpiderNode* page : pages)
    for (const TMissingAnchor& anchor : Missing_.at(page)) visit(*page, anchor);
}

bool TAnchorMap::IsRead(const TSpiderNode& page) const {
  const auto index = static_cast<size_t>(page.Index());
  return index < Read_.size() && Read_[index];
}

size_t TAnchorMap::PendingCount() const {
  size_t n = 0;
  for (const auto& entry : Pending_) n += entry.second.size();
  return n;
}
