#include "app/CrawlResume.h"

#include "Kel/KelError.h"
#include "Kel/KelURI.h"
#include "app/SpiderTools.h"

namespace {

enum class TLeft { Nothing, Check, Read };

// A redirect whose target the map does not hold: its full request (which checks the target)
// has not been answered.
bool TargetMissing(const TSiteTree& tree, const TSpiderNode& node) {
  if (node.Location.empty()) return false;  // nothing to follow
  try {
    TURI target;
    const TURI base = node.URI();
    ResolveLink(target, node.Location, &base);
    return NodeOf(tree.FindURL(target)) == nullptr;
  } catch (const EError&) {
    return false;  // a Location that cannot be resolved was never followed
  }
}

TLeft WorkLeft(const TSiteTree& tree, const TSpiderNode& node) {
  const TSiteMap& map = tree.Map;
  if (IsSpecialScheme(node.Address().Protocol()) || !map.IsRequestable(node.Address().Parts())) return TLeft::Nothing;
  const bool internal = node.IsInternal();
  if (!internal && !tree.ValidateExternalURLs) return TLeft::Nothing;
  const int32_t code = node.ResponseCode;
  if (code == 0) return TLeft::Check;
  if (node.IsSpiderable()) return node.Title().empty() && node.Links.empty() ? TLeft::Read : TLeft::Nothing;
  if ((code == 301 || code == 302) && TargetMissing(tree, node)) return TLeft::Read;
  return TLeft::Nothing;
}

}  // namespace

TUnfinishedWork FindUnfinishedWork(const TSiteTree& tree) {
  TUnfinishedWork work;
  for (const auto& node : tree.Map.Nodes()) {
    switch (WorkLeft(tree, *node)) {
      case TLeft::Check:
        work.Unchecked.push_back(node.get());
        break;
      case TLeft::Read:
        work.Unread.push_back(node.get());
        break;
      case TLeft::Nothing:
        break;
    }
  }
  return work;
}

bool HasUnfinishedWork(const TSiteTree& tree) {
  for (const auto& node : tree.Map.Nodes())
    if (WorkLeft(tree, *node) != TLeft::Nothing) return true;
  return false;
}
