#include "app/History.h"

#include <algorithm>

#include "Kel/KelStr.h"
#include "app/SpiderTools.h"

void TNavigationHistory::Record(TTreeEntry* entry) {
  if (Index > 0 && Entries[static_cast<size_t>(Index - 1)] == entry) return;
  if (static_cast<int>(Entries.size()) < Index + 1) Entries.resize(static_cast<size_t>(Index + 1), nullptr);
  if (Entries[static_cast<size_t>(Index)] != entry) {
    Entries[static_cast<size_t>(Index)] = entry;
    Entries.resize(static_cast<size_t>(Index + 1));
  }
  ++Index;
}

TTreeEntry* TNavigationHistory::Move(int delta) {
  const int p = Index + delta - 1;
  if (p < 0 || p >= static_cast<int>(Entries.size())) return nullptr;
  Index = p + 1;
  return Entries[static_cast<size_t>(p)];
}

void TNavigationHistory::Reset() {
  Entries.clear();
  Index = 0;
}

std::vector<std::string> TNavigationHistory::BackList() const {
  std::vector<std::string> items;
  for (int p = Index - 2, k = 1; p >= std::max(0, Index - 9); --p, ++k)
    items.push_back(Format("%d. %s", k, Entries[static_cast<size_t>(p)]->Caption.c_str()));
  return items;
}

std::vector<std::string> TNavigationHistory::ForwardList() const {
  std::vector<std::string> items;
  const int last = std::min(static_cast<int>(Entries.size()) - 1, Index + 7);
  for (int p = Index, k = 1; p <= last; ++p, ++k)
    items.push_back(Format("%d. %s", k, Entries[static_cast<size_t>(p)]->Caption.c_str()));
  return items;
}
