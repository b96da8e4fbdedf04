#include "gui/ChangeBatcher.h"

namespace gui {

void ForEachRowRun(const std::vector<int>& rows, int count, const std::function<void(int, int)>& changed) {
  for (size_t i = 0; i < rows.size() && rows[i] < count;) {
    if (rows[i] < 0) {
      ++i;
      continue;
    }
    size_t j = i;
    while (j + 1 < rows.size() && rows[j + 1] == rows[j] + 1 && rows[j + 1] < count) ++j;
    changed(rows[i], rows[j]);
    i = j + 1;
  }
}

}  // namespace gui
