#include "Kel/KelCollate.h"

#include <clocale>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <vector>

namespace {

// The code points of UTF-8 text; a byte that starts no valid sequence stands for itself as
// U+DC00 + byte, so every text has one fixed reading.
std::u32string Decode(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    int length = 0;
    char32_t cp = 0;
    if (c < 0x80) {
      length = 1;
      cp = c;
    } else if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      cp = c & 0x07;
    }
    bool valid = length > 0 && i + static_cast<size_t>(length) <= text.size();
    for (int k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
      if ((next & 0xC0) != 0x80) valid = false;
      else cp = (cp << 6) | (next & 0x3F);
    }
    if (valid && ((length == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
                  (length == 4 && (cp < 0x10000 || cp > 0x10FFFF))))
      valid = false;
    if (!valid) {
      out.push_back(0xDC00 + c);
      ++i;
      continue;
    }
    out.push_back(cp);
    i += static_cast<size_t>(length);
  }
  return out;
}

void Encode(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The base letters of the Latin letters with accents, ligatures and special forms (U+00C0 to
// U+017F), lower case; null for the signs among them (multiplication and division).
struct TFold {
  char32_t First, Last;
  const char* Base;
};
constexpr TFold kFolds[] = {
    {0xC0, 0xC5, "a"},   {0xC6, 0xC6, "ae"},  {0xC7, 0xC7, "c"},   {0xC8, 0xCB, "e"},   {0xCC, 0xCF, "i"},
    {0xD0, 0xD0, "d"},   {0xD1, 0xD1, "n"},   {0xD2, 0xD6, "o"},   {0xD7, 0xD7, nullptr}, {0xD8, 0xD8, "o"},
    {0xD9, 0xDC, "u"},   {0xDD, 0xDD, "y"},   {0xDE, 0xDE, "th"},  {0xDF, 0xDF, "ss"},  {0xE0, 0xE5, "a"},
    {0xE6, 0xE6, "ae"},  {0xE7, 0xE7, "c"},   {0xE8, 0xEB, "e"},   {0xEC, 0xEF, "i"},   {0xF0, 0xF0, "d"},
    {0xF1, 0xF1, "n"},   {0xF2, 0xF6, "o"},   {0xF7, 0xF7, nullptr}, {0xF8, 0xF8, "o"}, {0xF9, 0xFC, "u"},
    {0xFD, 0xFD, "y"},   {0xFE, 0xFE, "th"},  {0xFF, 0xFF, "y"},   {0x100, 0x105, "a"}, {0x106, 0x10D, "c"},
    {0x10E, 0x111, "d"}, {0x112, 0x11B, "e"}, {0x11C, 0x123, "g"}, {0x124, 0x127, "h"}, {0x128, 0x131, "i"},
    {0x132, 0x133, "ij"}, {0x134, 0x135, "j"}, {0x136, 0x138, "k"}, {0x139, 0x142, "l"}, {0x143, 0x14B, "n"},
    {0x14C, 0x151, "o"}, {0x152, 0x153, "oe"}, {0x154, 0x159, "r"}, {0x15A, 0x161, "s"}, {0x162, 0x167, "t"},
    {0x168, 0x173, "u"}, {0x174, 0x175, "w"}, {0x176, 0x178, "y"}, {0x179, 0x17E, "z"}, {0x17F, 0x17F, "s"},
};

void AppendFolded(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp >= 'A' && cp <= 'Z' ? cp + ('a' - 'A') : cp);
    return;
  }
  if (cp >= 0xC0 && cp <= 0x17F) {
    for (const TFold& f : kFolds)
      if (cp >= f.First && cp <= f.Last) {
        if (f.Base) {
          out += f.Base;
          return;
        }
        break;
      }
  }
  const wint_t lower = std::towlower(static_cast<wint_t>(cp));
  Encode(cp >= 0xD800 && cp <= 0xDFFF ? cp : static_cast<char32_t>(lower), out);
}

// Whether LC_COLLATE names a locale with a collation of its own.
bool LocaleCollates() {
  const char* name = std::setlocale(LC_COLLATE, nullptr);
  if (!name) return false;
  return std::strcmp(name, "C") != 0 && std::strcmp(name, "POSIX") != 0 && std::strncmp(name, "C.", 2) != 0;
}

// The locale's collation key of the lower-cased text, as big-endian 32-bit units, or empty
// when the C library cannot make one.
std::string LocaleKey(const std::u32string& points) {
  std::wstring lower;
  lower.reserve(points.size());
  for (const char32_t cp : points) {
    if (cp == 0) continue;
    lower.push_back(static_cast<wchar_t>(std::towlower(static_cast<wint_t>(cp))));
  }
  const size_t size = std::wcsxfrm(nullptr, lower.c_str(), 0);
  if (size == static_cast<size_t>(-1)) return std::string();
  std::vector<wchar_t> key(size + 1);
  std::wcsxfrm(key.data(), lower.c_str(), key.size());
  std::string out;
  out.reserve(size * 4);
  for (size_t i = 0; i < size; ++i) {
    const auto unit = static_cast<uint32_t>(key[i]);
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((unit >> shift) & 0xFF);
  }
  return out;
}

}  // namespace

std::string CollationKey(std::string_view text) {
  const std::u32string points = Decode(text);
  std::string key;
  if (LocaleCollates()) {
    key = LocaleKey(points);
    key.append(4, '\0');
  } else {
    key.reserve(text.size() + 1);
    for (const char32_t cp : points) AppendFolded(cp, key);
    key += '\0';
  }
  // Texts alike by the rule keep one order: by their bytes.
  key.append(text.data(), text.size());
  return key;
}

int CompareNames(std::string_view a, std::string_view b) {
  const std::string x = CollationKey(a);
  const std::string y = CollationKey(b);
  return x < y ? -1 : (y < x ? 1 : 0);
}
