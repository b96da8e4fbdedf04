// Finds the words of an HTML page that the dictionaries do not know: the visible text and the
// title are checked; tags, attribute values, comments and the content of script and style
// elements are not.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "Kel/KelHTMLWalk.h"
#include "Kel/KelSpelling.h"

// Walks one document and collects the position of every unknown word, every occurrence, in
// document order. Positions are 1-based byte indices into the document. A checker serves one
// walk: it remembers its answers, so the lists must not change while it lives.
class THTMLSpellCheck : public THTMLWalk {
 public:
  // The lists must outlive the checker.
  THTMLSpellCheck(const TWordList& mainList, const TWordList& userList);

  TWordPositions Errors;  // the unknown words found so far

 protected:
  void DoTagName() override;
  void DoBeginText() override;
  void DoText() override;

  bool SkipText = false;  // inside a script or style element
  int32_t RunStart = 0;   // 1-based index of the current text run's first character

 private:
  // Whether the dictionaries know the word. A page repeats its words, so answers are
  // remembered rather than searched for again.
  bool IsKnown(std::string_view word);

  const TWordList& MainList_;
  const TWordList& UserList_;

  // Recent answers by word, letter case folded (the rules do not depend on it): a small table
  // with one place per hash value, for words of up to 16 bytes.
  struct TAnswer {
    uint64_t Head = 0, Tail = 0;  // the folded bytes 1-8 and 9-16, zero past the end
    uint32_t Length = 0;          // 0: a free place
    bool Known = false;
  };
  std::vector<TAnswer> Answers_;
};

// The unknown words of `html`, in document order.
TWordPositions CheckSpelling(std::string_view html, const TWordList& mainList, const TWordList& userList);
TWordPositions CheckSpelling(std::string_view html, const TSpellingDictionaries& dictionaries);
// The number of unknown words of `html`: what the crawl stores as a page's spelling errors.
int32_t CountSpellingErrors(std::string_view html, const TWordList& mainList, const TWordList& userList);
int32_t CountSpellingErrors(std::string_view html, const TSpellingDictionaries& dictionaries);
