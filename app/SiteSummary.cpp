#include "app/SiteSummary.h"

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <sstream>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Kel/KelStr.h"
#include "app/SpiderNode.h"

TSiteSummary SummarizeSite(const TSiteTree& tree) {
  TSiteSummaryBuilder builder(tree);
  builder.Step(SIZE_MAX);
  return builder.Finish();
}

TSiteSummaryBuilder::TSiteSummaryBuilder(const TSiteTree& tree) : Tree_(tree), End_(tree.Map.Nodes().size()) {
  Summary_.Site = tree.Map.SiteURI.Compose();
  // The categories that hold addresses count their children; the others are filters over the
  // map, all counted in one pass over the nodes (a large map is read from memory once). The
  // type categories depend on the content type alone, and equal content types share one text
  // (KelCompactText's pool): each distinct text is tested once.
  const auto byType = [](int k) { return k >= rkHTML && k <= rkApplications; };
  for (int k = rkAll; k < rkSiteRoot; ++k) {
    const TTreeEntry* root = tree.Root(static_cast<TSiteRootKind>(k));
    const bool filter = tree.IsFilterRoot(root);
    if (filter) (byType(k) ? TypeFilters_ : Filters_).emplace_back(k, root);
    Summary_.Counts[static_cast<size_t>(k)] = root && !filter ? root->Count() : 0;
  }
}

bool TSiteSummaryBuilder::Step(size_t count) {
  const auto& nodes = Tree_.Map.Nodes();
  const size_t end = Next_ + std::min(count, End_ - Next_);
  for (; Next_ < end; ++Next_) {
    const TSpiderNode& node = *nodes[Next_];
    for (const auto& [k, root] : Filters_)
      if (Tree_.PassesFilter(root, node)) ++Summary_.Counts[static_cast<size_t>(k)];
    const auto [bits, added] = TypeBits_.try_emplace(&node.ContentType.str(), 0u);
    if (added)
      for (const auto& [k, root] : TypeFilters_)
        if (Tree_.PassesFilter(root, node)) bits->second |= 1u << k;
    for (const auto& [k, root] : TypeFilters_)
      if (bits->second & (1u << k)) ++Summary_.Counts[static_cast<size_t>(k)];
    if (node.IsBroken()) Summary_.Broken.push_back({&node});
  }
  return Next_ == End_;
}

TSiteSummary TSiteSummaryBuilder::Finish() {
  Tree_.Map.Anchors.ForEachMissing([&](const TSpiderNode& page, const TMissingAnchor& missing) {
    Summary_.BrokenAnchors.push_back({&page, &missing});
  });
  return std::move(Summary_);
}

namespace {

std::vector<std::string> URLsOf(const std::vector<TSpiderNode*>& nodes) {
  std::vector<std::string> out;
  out.reserve(nodes.size());
  for (const TSpiderNode* node : nodes) out.push_back(node->URLText());
  return out;
}

}  // namespace

std::vector<std::string> TBrokenAddress::RefererURLs() const { return URLsOf(Referers()); }
std::vector<std::string> TBrokenAnchor::RefererURLs() const { return URLsOf(Referers()); }

void WriteSiteReport(std::ostream& out, const TSiteSummary& summary) {
  if (summary.Incomplete)
    out << Format("Incomplete crawl: a limit suspended it with %d request%s left unmade.\n", summary.RequestsLeft,
                  summary.RequestsLeft == 1 ? "" : "s");
  for (const std::string& note : summary.Notes) out << "Note: " << note << "\n";
  out << "Site: " << summary.Site << "\n";
  for (int k = rkAll; k < rkSiteRoot; ++k)
    out << Format("  %-18s %6d\n", kSiteRootCaptions[k], summary.Count(static_cast<TSiteRootKind>(k)));
  if (!summary.Broken.empty()) out << "\nBroken addresses:\n";
  for (const TBrokenAddress& broken : summary.Broken) {
    // The answer stays on its line.
    std::string text = broken.ResponseText();
    for (char& c : text)
      if (c == '\r' || c == '\n') c = ' ';
    out << Format("  %4d  %s\n        %s\n", broken.ResponseCode(), broken.URL().c_str(), text.c_str());
    for (const TSpiderNode* referer : broken.Referers()) out << "        from " << referer->URLText() << "\n";
  }
  if (!summary.BrokenAnchors.empty())
    out << Format("\nBroken anchors: %d\n", static_cast<int>(summary.BrokenAnchors.size()));
  for (const TBrokenAnchor& anchor : summary.BrokenAnchors) {
    out << "  " << anchor.URL() << "#" << anchor.Fragment() << "\n";
    for (const TSpiderNode* referer : anchor.Referers()) out << "        from " << referer->URLText() << "\n";
  }
}

std::string SiteReportText(const TSiteSummary& summary) {
  std::ostringstream out;
  WriteSiteReport(out, summary);
  return out.str();
}
