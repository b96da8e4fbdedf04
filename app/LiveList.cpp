#include "app/LiveList.h"

#include <unordered_set>

#include "app/SpiderNode.h"

TListSource ListSourceOf(const TSiteTree& tree, const TTreeEntry* entry) {
  if (!entry) return TListSource::None;
  if (entry->HasChildren()) return TListSource::Children;
  if (tree.IsFilterRoot(entry)) return TListSource::Filter;
  const TSpiderNode* node = NodeOf(entry);
  if (!node) return TListSource::None;
  if (node->IsHTML()) return TListSource::Links;
  return entry->Parent ? TListSource::Siblings : TListSource::None;
}

TLiveList::TLiveList(TSiteTree& tree, TNodeList& list) : Tree_(tree), List_(list) { Tree_.AddObserver(this); }

TLiveList::~TLiveList() { Tree_.RemoveObserver(this); }

void TLiveList::Fill(TTreeEntry* entry) {
  Entry_ = entry;
  Source_ = ListSourceOf(Tree_, entry);
  ListedLinks_ = 0;
  List_.BeginUpdate();
  List_.Clear();
  switch (Source_) {
    case TListSource::Children:
      for (const auto& child : entry->Children) List_.AddRow(child.get());
      break;
    case TListSource::Filter:
      Tree_.ListMatching(List_, entry);
      break;
    case TListSource::Links: {
      const TSpiderNode* node = NodeOf(entry);
      for (TSpiderNode* target : node->Links) List_.AddRow(target->TreeNode);
      ListedLinks_ = node->Links.size();
      break;
    }
    case TListSource::Siblings:
      for (const auto& sibling : entry->Parent->Children) List_.AddRow(sibling.get());
      break;
    case TListSource::None:
      break;
  }
  List_.EndUpdate();
}

void TLiveList::Refill() {
  // The rows the user selected stay selected in the new fill.
  std::unordered_set<const TTreeEntry*> selected;
  for (const auto& row : List_.Rows())
    if (row->Selected) selected.insert(row->Entry);
  Fill(Entry_);
  if (selected.empty()) return;
  for (const auto& row : List_.Rows()) row->Selected = selected.count(row->Entry) > 0;
}

void TLiveList::Sync() {
  if (!Entry_) return;
  if (ListSourceOf(Tree_, Entry_) != Source_) {
    Refill();
    return;
  }
  if (Source_ != TListSource::Links) return;
  const TSpiderNode* node = NodeOf(Entry_);
  for (; ListedLinks_ < node->Links.size(); ++ListedLinks_) {
    TSpiderNode* target = node->Links[ListedLinks_];
    if (target && target->TreeNode) List_.AddRow(target->TreeNode);
  }
}

void TLiveList::Unfollow() {
  Entry_ = nullptr;
  Source_ = TListSource::None;
  ListedLinks_ = 0;
}

void TLiveList::TreeAboutToReset() {
  // The entries are about to go; whoever resets the tree selects again.
  Unfollow();
}

void TLiveList::AppendIfMatching(TTreeEntry* entry) {
  TSpiderNode* node = NodeOf(entry);
  if (node && !node->ListItem && Tree_.PassesFilter(Entry_, *node)) List_.AddRow(entry);
}

void TLiveList::EntryAdded(TTreeEntry* entry) {
  if (!Entry_ || !entry) return;
  switch (Source_) {
    case TListSource::Children:
      if (entry->Parent == Entry_) List_.AddRow(entry);
      break;
    case TListSource::Siblings:
      if (entry->Parent == Entry_) Refill();  // the file became a folder
      else if (entry->Parent == Entry_->Parent) List_.AddRow(entry);
      break;
    case TListSource::Filter:
      AppendIfMatching(entry);
      break;
    case TListSource::Links:
    case TListSource::None:
      if (entry->Parent == Entry_) Refill();
      break;
  }
}

void TLiveList::EntryChanged(TTreeEntry* entry) {
  if (!Entry_ || !entry) return;
  if (entry == Entry_) Sync();
  else if (Source_ == TListSource::Filter) AppendIfMatching(entry);
}
