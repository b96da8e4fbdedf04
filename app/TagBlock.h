// Finds where an export's generated block goes inside a template document: the extent of the
// first element with a given tag name, and the range that the block replaces.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "Kel/KelHTMLWalk.h"

// The element name that brackets the exports' HTML blocks, so that a later export into the
// same file replaces the earlier block.
extern const char* const kPlaceholderTag;  // "QUORLIXTESSALY"

// The extent of an element. Positions are 1-based byte indices into the document; 0 means
// "not found" (a found tag starts at index 1 or later).
struct TTagBlock {
  int32_t OpenStart = 0;   // the "<" of the first opening tag
  int32_t OpenEnd = 0;     // just past that tag's ">"
  int32_t CloseStart = 0;  // the "<" of the end tag that balances it
  int32_t CloseEnd = 0;    // just past that end tag's ">"

  bool operator==(const TTagBlock&) const = default;
};

// Walks a document and records the first element named BlockTag, from the "<" of its opening
// tag to just past the ">" of the end tag that brings the nesting depth back to 0.
class THTMLFindTagBlock : public THTMLWalk {
 public:
  std::string BlockTag;  // the element name, without "<" and "/"
  int32_t OpenStart = 0;
  int32_t OpenEnd = 0;
  int32_t CloseStart = 0;
  int32_t CloseEnd = 0;
  // Opening tags named BlockTag seen so far minus its end tags. Not held at 0: an end tag
  // before any opening tag makes it negative, and the balance counts on from there.
  int32_t Depth = 0;

 protected:
  void DoEndTag() override;
};

// The first element named `tag` (ignoring case) in `document`; zeros where nothing was found.
// The document is searched up to its first NUL byte.
TTagBlock FindTagBlock(const std::string& document, const std::string& tag);

// The range (start, end) of `document` that an export's block replaces: the whole placeholder
// element <QUORLIXTESSALY>...</QUORLIXTESSALY> when the document has a complete one, else the
// empty range just past the ">" of the first BODY tag, else (0, 0), the start of the document.
// The caller keeps the characters before index `start` and continues the document at index
// `end`, both 1-based; (0, 0) puts the block in front of the whole document. In 0-based terms:
//   document.substr(0, max(start - 1, 0)) + block + document.substr(max(end - 1, 0))
std::pair<int32_t, int32_t> GetInsertRange(const std::string& document);
