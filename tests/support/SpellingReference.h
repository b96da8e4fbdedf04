// The spelling rules written out plainly, step by step, without any of the tuning of
// Kel/KelSpelling.cpp and app/SpellCheck.cpp (no packed keys, no bucket index, no answer cache):
// tests hold the tuned code to the same answers on many generated documents.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "Kel/KelHTMLWalk.h"
#include "Kel/KelSpelling.h"

namespace reference {

inline bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }
inline bool IsWordChar(char c) { return IsLetter(c) || IsDigit(c) || c == '\'' || c == '-' || c == '_'; }

// ASCII letters in lower case, every other byte as it is.
inline std::string Folded(std::string_view word) {
  std::string f(word);
  for (char& c : f)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return f;
}

// A word list as a set of folded words: equal under the dictionary's comparison exactly when
// equal here.
class TPlainList {
 public:
  void Add(std::string_view word) { Words_.insert(Folded(word)); }
  bool Contains(std::string_view word) const { return Words_.count(Folded(word)) > 0; }

 private:
  std::set<std::string> Words_;
};

inline void SplitWords(std::string_view text, TWordPositions& positions) {
  const size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  size_t i = 0;
  while (i < text.size()) {
    if (IsLetter(text[i]) || IsDigit(text[i])) {
      size_t j = i;
      while (j < text.size() && IsWordChar(text[j])) ++j;
      positions.push_back({static_cast<int32_t>(i + 1), static_cast<int32_t>(j - i)});
      i = j;
      continue;
    }
    bool skipped = false;
    for (const char* ref : {"&nbsp;", "&quot;", "&amp;", "&reg;", "&gt;", "&lt;"}) {
      const std::string_view r(ref);
      if (Folded(text.substr(i, r.size())) == r) {
        i = text.find(';', i) + 1;
        skipped = true;
        break;
      }
    }
    if (!skipped) ++i;
  }
}

// The rules in their order: listed; shorter than 2; a digit first; then with every non-letter
// removed: listed, or shorter than 2; longer than 3 and ending in "s": listed without the "s".
inline bool IsKnownWord(std::string_view word, const TPlainList& list) {
  if (list.Contains(word)) return true;
  if (word.size() < 2) return true;
  if (IsDigit(word[0])) return true;
  std::string letters;
  for (char c : word)
    if (IsLetter(c)) letters += c;
  if (list.Contains(letters) || letters.size() < 2) return true;
  if (letters.size() > 3 && (letters.back() == 's' || letters.back() == 'S'))
    return list.Contains(letters.substr(0, letters.size() - 1));
  return false;
}

inline bool IsKnownInEither(std::string_view word, const TPlainList& main, const TPlainList& user) {
  return IsKnownWord(word, main) || IsKnownWord(word, user);
}

// The unknown words of the visible text, every occurrence, in document order; each word is
// taken from the document at its index.
class TSpellCheck : public THTMLWalk {
 public:
  TSpellCheck(std::string_view html, const TPlainList& main, const TPlainList& user)
      : Html_(html), Main_(main), User_(user) {}
  TWordPositions Errors;

 protected:
  void DoTagName() override {
    if (IsTag("script") || IsTag("style")) SkipText_ = true;
    if (IsTag("/script") || IsTag("/style")) SkipText_ = false;
  }
  void DoBeginText() override { RunStart_ = Position(); }
  void DoText() override {
    if (SkipText_) return;
    TWordPositions words;
    reference::SplitWords(Text, words);
    for (const TWordPosition& w : words) {
      const int32_t index = w.Index + RunStart_ - 1;
      const std::string_view word = Html_.substr(static_cast<size_t>(index - 1), static_cast<size_t>(w.Length));
      if (!reference::IsKnownInEither(word, Main_, User_)) Errors.push_back({index, w.Length});
    }
  }

 private:
  std::string_view Html_;
  const TPlainList& Main_;
  const TPlainList& User_;
  bool SkipText_ = false;
  int32_t RunStart_ = 0;
};

inline TWordPositions CheckSpelling(std::string_view html, const TPlainList& main, const TPlainList& user) {
  TSpellCheck checker(html, main, user);
  checker.Walk(html);
  return checker.Errors;
}

}  // namespace reference
