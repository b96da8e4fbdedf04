// Text helpers. Texts are 8-bit byte strings; letter case is folded for ASCII letters only,
// which is how every case-insensitive comparison of the program behaves.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c; }
inline char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? char(c - ('a' - 'A')) : c; }
inline bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
inline bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
// The value of a hexadecimal digit, either case; -1 for any other character.
inline int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
// Characters with codes 1..32 (control characters and the space); 0 ends a text.
inline bool IsBlank(char c) { return static_cast<unsigned char>(c) >= 1 && static_cast<unsigned char>(c) <= 32; }

std::string LowerCase(std::string_view s);
std::string UpperCase(std::string_view s);

// Case-insensitive comparison: <0, 0, >0 like strcmp, ASCII letters folded.
int CompareText(std::string_view a, std::string_view b);
bool SameText(std::string_view a, std::string_view b);
bool StartsText(std::string_view prefix, std::string_view s);
bool EndsText(std::string_view suffix, std::string_view s);
// Does `needle` occur anywhere in `haystack`, ignoring case?
bool ContainsText(std::string_view haystack, std::string_view needle);
// 0-based position of `needle` in `haystack` ignoring case, or npos.
size_t PosText(std::string_view needle, std::string_view haystack, size_t from = 0);

// Remove leading and trailing characters with codes 0..32.
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);

// Replace every occurrence of `from` (non-overlapping, left to right); optionally ignoring case.
std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to, bool ignoreCase = false);

// printf-style formatting into a std::string.
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Decimal text of an integer.
std::string IntToStr(long long value);
// Reads a whole decimal (or "0x"/"$" hexadecimal) 32-bit integer, blanks around it allowed;
// fails with "'text' is not a valid integer value".
int32_t StrToInt(std::string_view text);
// Like StrToInt, but yields `fallback` instead of failing.
int32_t StrToIntDef(std::string_view text, int32_t fallback);

// Split at every `delimiter`; an empty text gives one empty piece.
std::vector<std::string> SplitString(std::string_view s, char delimiter);
