#include "Kel/KelStr.h"

#include <cstdarg>
#include <cstdio>
#include <limits>

#include "Kel/KelError.h"

std::string LowerCase(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = AsciiLower(c);
  return r;
}

std::string UpperCase(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = AsciiUpper(c);
  return r;
}

int CompareText(std::string_view a, std::string_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const unsigned char x = static_cast<unsigned char>(AsciiLower(a[i]));
    const unsigned char y = static_cast<unsigned char>(AsciiLower(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

bool StartsText(std::string_view prefix, std::string_view s) {
  return s.size() >= prefix.size() && SameText(s.substr(0, prefix.size()), prefix);
}

bool EndsText(std::string_view suffix, std::string_view s) {
  return s.size() >= suffix.size() && SameText(s.substr(s.size() - suffix.size()), suffix);
}

size_t PosText(std::string_view needle, std::string_view haystack, size_t from) {
  if (needle.empty()) return from <= haystack.size() ? from : std::string_view::npos;
  if (haystack.size() < needle.size()) return std::string_view::npos;
  for (size_t i = from; i + needle.size() <= haystack.size(); ++i)
    if (SameText(haystack.substr(i, needle.size()), needle)) return i;
  return std::string_view::npos;
}

bool ContainsText(std::string_view haystack, std::string_view needle) {
  return PosText(needle, haystack) != std::string_view::npos;
}

static bool IsTrimmed(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string TrimLeft(std::string_view s) {
  size_t b = 0;
  while (b < s.size() && IsTrimmed(s[b])) ++b;
  return std::string(s.substr(b));
}

std::string TrimRight(std::string_view s) {
  size_t e = s.size();
  while (e > 0 && IsTrimmed(s[e - 1])) --e;
  return std::string(s.substr(0, e));
}

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && IsTrimmed(s[b])) ++b;
  while (e > b && IsTrimmed(s[e - 1])) --e;
  return std::string(s.substr(b, e - b));
}

std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to, bool ignoreCase) {
  if (from.empty()) return std::string(s);
  std::string r;
  r.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    size_t hit = ignoreCase ? PosText(from, s, i) : s.find(from, i);
    if (hit == std::string_view::npos) break;
    r.append(s.substr(i, hit - i));
    r.append(to);
    i = hit + from.size();
  }
  r.append(s.substr(i < s.size() ? i : s.size()));
  return r;
}

std::string Format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, fmt, copy);
  va_end(copy);
  std::string r;
  if (n > 0) {
    r.resize(static_cast<size_t>(n) + 1);
    std::vsnprintf(r.data(), r.size(), fmt, args);
    r.resize(static_cast<size_t>(n));
  }
  va_end(args);
  return r;
}

std::string IntToStr(long long value) { return std::to_string(value); }

static bool ParseInt32(std::string_view text, int32_t& out) {
  std::string_view s = text;
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  bool negative = false;
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  int base = 10;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s.remove_prefix(2);
  } else if (!s.empty() && s[0] == '$') {
    base = 16;
    s.remove_prefix(1);
  }
  if (s.empty()) return false;
  long long v = 0;
  for (char c : s) {
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    v = v * base + d;
    if (v > 0x1'0000'0000LL) return false;
  }
  if (negative) v = -v;
  if (base == 10) {
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) return false;
    out = static_cast<int32_t>(v);
  } else {
    // Hexadecimal texts cover the whole 32-bit pattern (0xFFFFFFFF is -1).
    if (v < -0xFFFF'FFFFLL || v > 0xFFFF'FFFFLL) return false;
    out = static_cast<int32_t>(static_cast<uint32_t>(v));
  }
  return true;
}

int32_t StrToInt(std::string_view text) {
  int32_t v = 0;
  if (!ParseInt32(text, v)) throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
  return v;
}

int32_t StrToIntDef(std::string_view text, int32_t fallback) {
  int32_t v = 0;
  return ParseInt32(text, v) ? v : fallback;
}

std::vector<std::string> SplitString(std::string_view s, char delimiter) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t p = s.find(delimiter, start);
    if (p == std::string_view::npos) {
      parts.emplace_back(s.substr(start));
      return parts;
    }
    parts.emplace_back(s.substr(start, p - start));
    start = p + 1;
  }
}
