#include "app/CrawlTally.h"

#include "app/SpiderNode.h"

namespace {
constexpr uint8_t kChecked = 1, kBroken = 2;
}

TCrawlTally::TCrawlTally(TSiteTree& tree) : Tree_(tree) {
  Tree_.AddObserver(this);
  Recount();
}

TCrawlTally::~TCrawlTally() { Tree_.RemoveObserver(this); }

int TCrawlTally::Found() const { return Tree_.Map.Count(); }

uint8_t TCrawlTally::StateOf(const TSpiderNode& node) {
  return static_cast<uint8_t>((node.ResponseCode != 0 ? kChecked : 0) | (node.IsBroken() ? kBroken : 0));
}

void TCrawlTally::Recount() {
  const auto& nodes = Tree_.Map.Nodes();
  State_.assign(nodes.size(), 0);
  Checked_ = Broken_ = 0;
  for (const auto& node : nodes) {
    const uint8_t state = StateOf(*node);
    const auto index = static_cast<size_t>(node->Index());
    if (index >= State_.size()) State_.resize(index + 1, 0);
    State_[index] = state;
    Checked_ += (state & kChecked) ? 1 : 0;
    Broken_ += (state & kBroken) ? 1 : 0;
  }
}

void TCrawlTally::Update(const TTreeEntry* entry) {
  const TSpiderNode* node = entry ? entry->Node : nullptr;
  if (!node || node->Index() < 0) return;
  const auto index = static_cast<size_t>(node->Index());
  if (index >= State_.size()) State_.resize(index + 1, 0);
  const uint8_t before = State_[index], after = StateOf(*node);
  if (before == after) return;
  State_[index] = after;
  Checked_ += ((after & kChecked) ? 1 : 0) - ((before & kChecked) ? 1 : 0);
  Broken_ += ((after & kBroken) ? 1 : 0) - ((before & kBroken) ? 1 : 0);
}

void TCrawlTally::Sample(double seconds, long requestsDone) {
  if (!Samples_.empty() && requestsDone < Samples_.back().second) Samples_.clear();  // a new crawl
  Samples_.emplace_back(seconds, requestsDone);
  while (Samples_.size() > 2 && seconds - Samples_[1].first >= 2.0) Samples_.pop_front();
}

int TCrawlTally::RequestsPerSecond() const {
  if (Samples_.size() < 2) return 0;
  const double span = Samples_.back().first - Samples_.front().first;
  if (span <= 0.0) return 0;
  return static_cast<int>((Samples_.back().second - Samples_.front().second) / span + 0.5);
}
