#include "Kel/KelTranslate.h"

#include <fstream>
#include <sstream>

#include "Kel/KelError.h"
#include "Kel/KelFiles.h"
#include "Kel/KelStr.h"

std::string EscapeText(std::string_view text) {
  static const char* const kLetters = "abtnvfr";
  std::string out;
  out.reserve(text.size());
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 7 && c <= 13) {
      out += '\\';
      out += kLetters[c - 7];
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c < 32) {
      out += Format("\\x%02x", c);
    } else {
      out += ch;
    }
  }
  return out;
}

std::string UnescapeText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const size_t n = text.size();
  for (size_t i = 0; i < n; ++i) {
    const char c = text[i];
    if (c != '\\' || i + 1 >= n) {
      out += c;  // a backslash at the very end stays
      continue;
    }
    const char e = text[i + 1];
    auto numeric = [&out](int value) {
      if (value > 255) throw EError("Numeric constant too large.");
      out += static_cast<char>(value);
    };
    switch (e) {
      case 'a':
        out += '\a';
        ++i;
        break;
      case 'b':
        out += '\b';
        ++i;
        break;
      case 't':
        out += '\t';
        ++i;
        break;
      case 'n':
        out += '\n';
        ++i;
        break;
      case 'v':
        out += '\v';
        ++i;
        break;
      case 'f':
        out += '\f';
        ++i;
        break;
      case 'r':
        out += '\r';
        ++i;
        break;
      case '"':
      case '\\':
      case '\'':
      case '?':
        out += e;
        ++i;
        break;
      case 'x': {
        size_t j = i + 2;
        int value = 0, digits = 0;
        while (j < n && digits < 2 && HexDigitValue(text[j]) >= 0) {
          value = value * 16 + HexDigitValue(text[j]);
          ++j;
          ++digits;
        }
        if (digits == 0) {
          out += "\\x";  // no hex digit: stays as it is
          ++i;
        } else {
          numeric(value);
          i = j - 1;
        }
        break;
      }
      default:
        if (e >= '0' && e <= '7') {
          size_t j = i + 1;
          int value = 0, digits = 0;
          while (j < n && digits < 3 && text[j] >= '0' && text[j] <= '7') {
            value = value * 8 + (text[j] - '0');
            ++j;
            ++digits;
          }
          numeric(value);
          i = j - 1;
        } else {
          out += c;  // any other character keeps its backslash
          out += e;
          ++i;
        }
    }
  }
  return out;
}

void TTranslationStore::LoadFromText(std::string_view text) {
  std::string section, english, translation;
  bool haveEnglish = false;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string line = Trim(text.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line[0] == ';') {
      // ignored
    } else if (line[0] == '<') {
      const size_t slashes = line.find("//");
      const size_t dash = line.find('-');
      if (slashes != std::string::npos) {
        section = dash != std::string::npos && dash > slashes ? line.substr(slashes + 2, dash - slashes - 2) : "";
      } else {
        section = dash != std::string::npos && dash > 1 ? line.substr(1, dash - 1) : "";
      }
    } else if (line.rfind("E=", 0) == 0) {
      english = Trim(std::string_view(line).substr(2));
      haveEnglish = true;
    } else if (line.rfind("T=", 0) == 0) {
      translation = Trim(std::string_view(line).substr(2));
      if (haveEnglish && !english.empty() && !translation.empty() && translation != "*")
        Sections_[LowerCase(section)][LowerCase(english)] = translation;
      english.clear();
      translation.clear();
      haveEnglish = false;
    }
    if (end == text.size()) break;
  }
}

bool TTranslationStore::LoadFromFile(const std::string& fileName) {
  std::string text;
  try {
    text = LoadTextFromFile(fileName);  // only a regular file, never waiting on a pipe
  } catch (const EError&) {
    return false;
  }
  LoadFromText(text);
  return true;
}

std::string TTranslationStore::Translate(const std::string& text, const std::string& section) const {
  if (text.empty()) return text;
  const auto s = Sections_.find(LowerCase(section));
  if (s == Sections_.end()) return text;
  const auto t = s->second.find(LowerCase(EscapeText(text)));
  if (t == s->second.end()) return text;
  return UnescapeText(t->second);
}

size_t TTranslationStore::Count() const {
  size_t n = 0;
  for (const auto& [name, pairs] : Sections_) n += pairs.size();
  return n;
}
