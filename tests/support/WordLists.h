#pragma once

#include <initializer_list>
#include <ostream>

#include "Kel/KelSpelling.h"

// Word positions print as (index, length) in failure messages.
inline void PrintTo(const TWordPosition& p, std::ostream* os) { *os << '(' << p.Index << ", " << p.Length << ')'; }

// A word list holding `words`, sorted and duplicate-free as Add keeps it.
inline TWordList ListOf(std::initializer_list<const char*> words) {
  TWordList list;
  for (const char* w : words) list.Add(w);
  return list;
}
