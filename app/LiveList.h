// The node list as it follows the selected tree entry: it is filled from the entry (its
// children, the pages a page links to, the addresses a category holds, or a file's siblings)
// and, while a crawl adds entries and answers, rows are appended as they are found. The rows
// already shown keep their place and their selection; only a change of what the entry lists
// (a page that turns out to be HTML, a page that gains children) fills the list again.
#pragma once

#include <cstddef>

#include "app/NodeList.h"
#include "app/SpiderTools.h"

// What the list shows for a selected entry.
enum class TListSource { None, Children, Filter, Links, Siblings };

// The source of the rows for `entry` in `tree` as it stands.
TListSource ListSourceOf(const TSiteTree& tree, const TTreeEntry* entry);

class TLiveList : private TSiteTreeObserver {
 public:
  TLiveList(TSiteTree& tree, TNodeList& list);
  ~TLiveList() override;
  TLiveList(const TLiveList&) = delete;
  TLiveList& operator=(const TLiveList&) = delete;

  // Fills the list for `entry` (none: empties it) and follows it from now on.
  void Fill(TTreeEntry* entry);
  // Brings the list up to date with the followed entry: new links of a page are appended, a
  // changed source fills it again (the selected rows stay selected). Cheap when nothing changed.
  void Sync();
  // Stops following; the rows stay as they are.
  void Unfollow();
  TTreeEntry* Followed() const { return Entry_; }
  TListSource Source() const { return Source_; }

 private:
  void TreeAboutToReset() override;
  void EntryAdded(TTreeEntry* entry) override;
  void EntryChanged(TTreeEntry* entry) override;
  void Refill();
  void AppendIfMatching(TTreeEntry* entry);

  TSiteTree& Tree_;
  TNodeList& List_;
  TTreeEntry* Entry_ = nullptr;
  TListSource Source_ = TListSource::None;
  size_t ListedLinks_ = 0;  // of a page's links, how many have rows
};
