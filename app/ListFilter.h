// The filter over the node list: the rows whose cells hold a text (in any column, letter case
// ignored) and whose answer is of one of the chosen classes (2xx, 3xx, 4xx, 5xx, failed). It
// reads the rows as they are, computing a cell that is not filled yet without keeping it, so a
// filter over a million rows costs no memory beyond one cell at a time.
#pragma once

#include <string>

class TListRow;
class TSpiderNode;

// Classes of answers, as bits of a set.
enum TAnswerClass : unsigned {
  acNone = 0,
  ac2xx = 1u << 0,
  ac3xx = 1u << 1,
  ac4xx = 1u << 2,
  ac5xx = 1u << 3,
  acFailed = 1u << 4,  // no answer from the server (a failed connection, a redirect loop, ...)
  acAll = ac2xx | ac3xx | ac4xx | ac5xx | acFailed,
};

// The class of a node's answer: by its code; acFailed for an address that was requested but
// got no status line (code -1) or a redirect chain that never reached a page; acNone for an
// address not answered yet, never requested, or a mail, script or other special address.
TAnswerClass AnswerClassOf(const TSpiderNode& node);

class TListFilter {
 public:
  // The text looked for; blanks around it are ignored, empty: any text.
  void SetText(const std::string& text);
  const std::string& Text() const { return Text_; }
  // The classes a row's answer must be of; acNone: any answer (and rows without one).
  void SetClasses(unsigned classes) { Classes_ = classes & acAll; }
  unsigned Classes() const { return Classes_; }
  // Whether the filter narrows the list at all.
  bool Active() const { return !Needle_.empty() || Classes_ != acNone; }
  // Whether `row` passes. A row without a node (a folder) passes a class filter never, a text
  // filter by its own cells (its name, "File Folder").
  bool Matches(const TListRow& row) const;

 private:
  std::string Text_;
  std::string Needle_;  // the text, trimmed and in lower case
  unsigned Classes_ = acNone;
};
