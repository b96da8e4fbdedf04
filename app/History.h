// The navigation history of selected tree entries, like a web browser's: Back, Forward and
// their drop-down lists of up to eight entries.
#pragma once

#include <string>
#include <vector>

class TTreeEntry;

class TNavigationHistory {
 public:
  // Records an entry that became selected; re-selecting the current entry records nothing.
  void Record(TTreeEntry* entry);
  // Makes the entry `delta` steps away current and returns it (none when out of range).
  TTreeEntry* Move(int delta);
  void Reset();

  bool CanGoBack() const { return Index > 1; }
  bool CanGoForward() const { return Index < static_cast<int>(Entries.size()); }
  TTreeEntry* Current() const { return Index > 0 ? Entries[static_cast<size_t>(Index - 1)] : nullptr; }
  // Captions of the Back and Forward lists ("1. caption", newest/nearest first, at most eight);
  // item k moves by -k and +k respectively.
  std::vector<std::string> BackList() const;
  std::vector<std::string> ForwardList() const;

  std::vector<TTreeEntry*> Entries;  // oldest first
  int Index = 0;                     // entries up to and including the current one
};
