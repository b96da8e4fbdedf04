// Finds the words of an HTML page that the dictionaries do not know: the visible text and the
// title are checked; tags, attribute values, comments and the content of script and style
// elements are not.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "Kel/KelHTMLWalk.h"
#include "Kel/KelSpelling.h"

// Whether the dictionaries know a word (IsKnownInEither), remembering recent answers: pages
// repeat their words, and the pages of a site repeat each other's. A table with one place per
// hash value, by word with letter case folded (the rules do not depend on it), for words of up
// to 16 bytes. The lists must outlive it and must not change while it lives: one for a crawl's
// pages against the same lists, or one per thread. Not shared between threads.
class TKnownWords {
 public:
  // 2^bits places of 24 bytes, allocated at the first question.
  static constexpr unsigned kPageBits = 10;   // enough for the words of one page
  static constexpr unsigned kCrawlBits = 14;  // for the words of a whole site
  TKnownWords(const TWordList& mainList, const TWordList& userList, unsigned bits = kPageBits);

  bool IsKnown(std::string_view word);

 private:
  const TWordList& MainList_;
  const TWordList& UserList_;
  unsigned Bits_;
  struct TAnswer {
    uint64_t Head = 0, Tail = 0;  // the folded bytes 1-8 and 9-16, zero past the end
    uint32_t Length = 0;          // 0: a free place
    bool Known = false;
  };
  std::vector<TAnswer> Answers_;
};

// Walks one document and collects the position of every unknown word, every occurrence, in
// document order. Positions are 1-based byte indices into the document. A checker serves one
// walk. It asks a TKnownWords of its own, or one that the caller keeps across documents.
class THTMLSpellCheck : public THTMLWalk {
 public:
  // The lists must outlive the checker and must not change while it lives.
  THTMLSpellCheck(const TWordList& mainList, const TWordList& userList);
  // Asks `known`, which must outlive the checker.
  explicit THTMLSpellCheck(TKnownWords& known);
  THTMLSpellCheck(const THTMLSpellCheck&) = delete;
  THTMLSpellCheck& operator=(const THTMLSpellCheck&) = delete;

  TWordPositions Errors;   // the unknown words found so far (none kept while CountOnly is set)
  bool CountOnly = false;  // count the unknown words without keeping their positions
  int32_t ErrorCount = 0;  // the unknown words found so far

 protected:
  void DoTagName() override;
  void DoBeginText() override;
  void DoText() override;

  bool SkipText = false;  // inside a script or style element
  int32_t RunStart = 0;   // 1-based index of the current text run's first character

 private:
  std::optional<TKnownWords> Own_;
  TKnownWords& Known_;
};

// The unknown words of `html`, in document order.
TWordPositions CheckSpelling(std::string_view html, const TWordList& mainList, const TWordList& userList);
TWordPositions CheckSpelling(std::string_view html, const TSpellingDictionaries& dictionaries);
// The number of unknown words of `html`: what the crawl stores as a page's spelling errors.
int32_t CountSpellingErrors(std::string_view html, const TWordList& mainList, const TWordList& userList);
int32_t CountSpellingErrors(std::string_view html, const TSpellingDictionaries& dictionaries);
// The same with answers remembered in `known` across calls (a crawl's pages).
TWordPositions CheckSpelling(std::string_view html, TKnownWords& known);
int32_t CountSpellingErrors(std::string_view html, TKnownWords& known);
