#include "app/NodeList.h"

#include <algorithm>

#include "app/SpiderTools.h"

TNodeList::~TNodeList() {
  // While the tree lives, its nodes must not keep links to rows that are gone.
  if (Tree_) {
    for (auto& row : Rows_)
      if (TSpiderNode* node = NodeOf(row->Entry); node && node->ListItem == row.get()) node->ListItem = nullptr;
    Tree_->List = nullptr;
  }
}

int TNodeList::IndexOf(const TListRow* row) const {
  for (size_t i = 0; i < Rows_.size(); ++i)
    if (Rows_[i].get() == row) return static_cast<int>(i);
  return -1;
}

void TNodeList::BeginUpdate() {
  if (UpdateDepth_++ == 0)
    for (auto* o : Observers_) o->ListAboutToReset();
}

void TNodeList::EndUpdate() {
  if (UpdateDepth_ > 0 && --UpdateDepth_ == 0)
    for (auto* o : Observers_) o->ListReset();
}

TListRow* TNodeList::AddRow(TTreeEntry* entry) {
  const bool batch = UpdateDepth_ == 0;
  if (batch) BeginUpdate();
  Rows_.push_back(std::make_unique<TListRow>(this, entry, entry ? entry->Caption : std::string()));
  TListRow* row = Rows_.back().get();
  if (TSpiderNode* node = NodeOf(entry)) node->ListItem = row;
  if (batch) EndUpdate();
  return row;
}

void TNodeList::Clear() {
  BeginUpdate();
  for (auto& row : Rows_)
    if (TSpiderNode* node = NodeOf(row->Entry); node && node->ListItem == row.get()) node->ListItem = nullptr;
  Rows_.clear();
  EndUpdate();
}

void TNodeList::RefreshRow(TListRow* row) {
  if (!row) return;
  row->Cells.clear();
  if (UpdateDepth_ > 0) return;
  const int index = IndexOf(row);
  for (auto* o : Observers_) o->RowChanged(row, index);
}

void TNodeList::AddObserver(TNodeListObserver* observer) { Observers_.push_back(observer); }

void TNodeList::RemoveObserver(TNodeListObserver* observer) {
  Observers_.erase(std::remove(Observers_.begin(), Observers_.end(), observer), Observers_.end());
}
