#include "app/SpellCheck.h"

THTMLSpellCheck::THTMLSpellCheck(const TWordList& mainList, const TWordList& userList)
    : MainList_(mainList), UserList_(userList) {}

void THTMLSpellCheck::DoTagName() {
  if (IsTag("script") || IsTag("style")) SkipText = true;
  if (IsTag("/script") || IsTag("/style")) SkipText = false;
}

void THTMLSpellCheck::DoBeginText() { RunStart = Position(); }

void THTMLSpellCheck::DoText() {
  if (SkipText) return;
  Words_.clear();
  SplitWords(Text, Words_);
  const std::string_view run(Text);
  for (const TWordPosition& w : Words_) {
    // The run is a verbatim copy of the document from RunStart on.
    const std::string_view word = run.substr(static_cast<size_t>(w.Index - 1), static_cast<size_t>(w.Length));
    if (!IsKnownInEither(word, MainList_, UserList_)) Errors.push_back({w.Index + RunStart - 1, w.Length});
  }
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
  return static_cast<int32_t>(CheckSpelling(html, mainList, userList).size());
}

int32_t CountSpellingErrors(std::string_view html, const TSpellingDictionaries& dictionaries) {
  return CountSpellingErrors(html, dictionaries.MainList, dictionaries.UserList);
}
