#include "app/SpellCheck.h"

#include <algorithm>

TKnownWords::TKnownWords(const TWordList& mainList, const TWordList& userList, unsigned bits)
    : MainList_(mainList), UserList_(userList), Bits_(std::clamp(bits, 1u, 24u)) {}

bool TKnownWords::IsKnown(std::string_view word) {
  // Words hold no NUL bytes (they are made of word characters), so the folded bytes and the
  // length identify a word of up to 16 bytes, ignoring case.
  if (word.empty() || word.size() > 16) return IsKnownInEither(word, MainList_, UserList_);
  if (Answers_.empty()) Answers_.resize(size_t{1} << Bits_);
  const uint64_t head = FoldedBytes(word, 0), tail = FoldedBytes(word, 8);
  const uint64_t hash = (head * 0x9E3779B97F4A7C15ull) ^ (tail * 0xC2B2AE3D27D4EB4Full) ^ word.size();
  TAnswer& a = Answers_[static_cast<size_t>((hash * 0xFF51AFD7ED558CCDull) >> (64 - Bits_))];
  if (a.Length != word.size() || a.Head != head || a.Tail != tail) {
    a.Head = head;
    a.Tail = tail;
    a.Length = static_cast<uint32_t>(word.size());
    a.Known = IsKnownInEither(word, MainList_, UserList_);
  }
  return a.Known;
}

THTMLSpellCheck::THTMLSpellCheck(const TWordList& mainList, const TWordList& userList)
    : Own_(std::in_place, mainList, userList), Known_(*Own_) {}

THTMLSpellCheck::THTMLSpellCheck(TKnownWords& known) : Known_(known) {}

void THTMLSpellCheck::DoTagName() {
  // "style" and "script", opening or closing, are 5 to 7 bytes long: most tags are not.
  if (TagName.size() < 5 || TagName.size() > 7) return;
  if (IsTag("script") || IsTag("style")) SkipText = true;
  if (IsTag("/script") || IsTag("/style")) SkipText = false;
}

void THTMLSpellCheck::DoBeginText() { RunStart = Position(); }

void THTMLSpellCheck::DoText() {
  if (SkipText) return;
  // The run is a verbatim copy of the document from RunStart on.
  const std::string_view run(Text);
  ForEachWord(run, [&](size_t start, size_t length) {
    if (Known_.IsKnown(run.substr(start, length))) return;
    ++ErrorCount;
    if (!CountOnly) Errors.push_back({static_cast<int32_t>(start) + RunStart, static_cast<int32_t>(length)});
  });
}

TWordPositions CheckSpelling(std::string_view html, const TWordList& mainList, const TWordList& userList) {
  THTMLSpellCheck checker(mainList, userList);
  checker.Walk(html);
  return std::move(checker.Errors);
}

TWordPositions CheckSpelling(std::string_view html, const TSpellingDictionaries& dictionaries) {
  return CheckSpelling(html, dictionaries.MainList, dictionaries.UserList);
}

int32_t CountSpellingErrors(std::string_view html, const TWordList& mainList, const TWordList& userList) {
  // A count needs no positions: a long page of unknown words costs no memory for them.
  THTMLSpellCheck checker(mainList, userList);
  checker.CountOnly = true;
  checker.Walk(html);
  return checker.ErrorCount;
}

int32_t CountSpellingErrors(std::string_view html, const TSpellingDictionaries& dictionaries) {
  return CountSpellingErrors(html, dictionaries.MainList, dictionaries.UserList);
}

TWordPositions CheckSpelling(std::string_view html, TKnownWords& known) {
  THTMLSpellCheck checker(known);
  checker.Walk(html);
  return std::move(checker.Errors);
}

int32_t CountSpellingErrors(std::string_view html, TKnownWords& known) {
  THTMLSpellCheck checker(known);
  checker.CountOnly = true;
  checker.Walk(html);
  return checker.ErrorCount;
}
