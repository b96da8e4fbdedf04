#include "Kel/KelIdHTTP.h"

#include <limits>

int32_t ResponseCodeOf(std::string_view text) {
  const size_t blank = text.find(' ');
  if (blank == std::string_view::npos) return -1;
  std::string_view rest = text.substr(blank + 1);
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  const size_t end = rest.find(' ');
  std::string_view word = rest.substr(0, end);
  if (word.empty()) return -1;
  bool negative = false;
  if (word.front() == '-' || word.front() == '+') {
    negative = word.front() == '-';
    word.remove_prefix(1);
  }
  if (word.empty()) return -1;
  long long v = 0;
  for (char c : word) {
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
    if (v > std::numeric_limits<int32_t>::max()) return -1;
  }
  return static_cast<int32_t>(negative ? -v : v);
}
