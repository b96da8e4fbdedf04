#include "Kel/KelHTMLWalk.h"

#include <cstring>

#include "Kel/KelError.h"
#include "Kel/KelStr.h"

namespace {

// Blank: bytes 1 to 32. 127 and 160 are not blank; 0 never occurs before the end.
inline bool Blank(char c) { return static_cast<unsigned char>(c) <= 32; }

}  // namespace

void THTMLWalk::Walk(std::string_view document) {
  DocStart = document.data();
  Cursor = DocStart;
  const void* nul = document.empty() ? nullptr : std::memchr(document.data(), 0, document.size());
  DocEnd_ = nul ? static_cast<const char*>(nul) : document.data() + document.size();
  if (!DocStart) DocStart = Cursor = DocEnd_ = "";
  while (Step()) {
  }
}

bool THTMLWalk::AtTagStart(const char* p) const {
  if (*p != '<' || p + 1 >= DocEnd_) return false;
  const char n = p[1];
  return n == '!' || n == '/' || n == '?' || IsAsciiLetter(n);
}

void THTMLWalk::SkipBlanks() {
  while (Cursor < DocEnd_ && Blank(*Cursor)) ++Cursor;
}

bool THTMLWalk::Step() {
  KelAssert(DocStart, "THTMLWalk.Step called before Walk");
  if (Cursor >= DocEnd_) return false;
  if (!AtTagStart(Cursor)) {
    ScanText();
    return true;
  }
  TagPos = Position();
  if (DocEnd_ - Cursor >= 4 && std::memcmp(Cursor, "<!--", 4) == 0) {
    SkipComment();
    return true;
  }
  ScanTag();
  return true;
}

void THTMLWalk::ScanText() {
  DoBeginText();
  TokenStart = Cursor;
  ++Cursor;  // the first byte is not a tag start
  for (;;) {
    const void* lt = std::memchr(Cursor, '<', static_cast<size_t>(DocEnd_ - Cursor));
    if (!lt) {
      Cursor = DocEnd_;
      break;
    }
    Cursor = static_cast<const char*>(lt);
    if (AtTagStart(Cursor)) break;
    ++Cursor;
  }
  Text.assign(TokenStart, Cursor);
  DoText();
}

void THTMLWalk::SkipComment() {
  // A comment fires nothing. Its end is searched from its own "<", so "<!-->" is complete.
  TokenStart = Cursor;
  const char* p = Cursor;
  while (DocEnd_ - p >= 3) {
    const void* dash = std::memchr(p, '-', static_cast<size_t>(DocEnd_ - p - 2));
    if (!dash) break;
    p = static_cast<const char*>(dash);
    if (p[1] == '-' && p[2] == '>') {
      Cursor = p + 3;
      return;
    }
    ++p;
  }
  Cursor = DocEnd_;
}

void THTMLWalk::ScanTag() {
  DoBeginTag();
  ++Cursor;
  TokenStart = Cursor;
  while (Cursor < DocEnd_ && !Blank(*Cursor) && *Cursor != '>') ++Cursor;
  TagName.assign(TokenStart, Cursor);
  DoTagName();
  SkipBlanks();
  while (Cursor < DocEnd_ && *Cursor != '>') ScanAttribute();
  if (Cursor < DocEnd_) ++Cursor;
  DoEndTag();
}

void THTMLWalk::ScanAttribute() {
  DoBeginAttribute();
  TokenStart = Cursor;
  while (Cursor < DocEnd_ && !Blank(*Cursor) && *Cursor != '>' && *Cursor != '=') ++Cursor;
  AttrName.assign(TokenStart, Cursor);
  AttrValue.clear();
  DoAttributeName();
  SkipBlanks();
  if (Cursor < DocEnd_ && *Cursor == '=') {
    ++Cursor;
    SkipBlanks();
    ScanAttributeValue();
    SkipBlanks();
  }
  DoEndAttribute();
}

void THTMLWalk::ScanAttributeValue() {
  if (Cursor < DocEnd_ && (*Cursor == '"' || *Cursor == '\'')) {
    const char quote = *Cursor++;
    TokenStart = Cursor;
    const void* close = std::memchr(Cursor, quote, static_cast<size_t>(DocEnd_ - Cursor));
    Cursor = close ? static_cast<const char*>(close) : DocEnd_;
    AttrValue.assign(TokenStart, Cursor);
    DoAttributeValue();
    if (Cursor < DocEnd_) ++Cursor;  // the closing quote
    return;
  }
  TokenStart = Cursor;
  while (Cursor < DocEnd_ && !Blank(*Cursor) && *Cursor != '>') ++Cursor;
  AttrValue.assign(TokenStart, Cursor);
  DoAttributeValue();
}

bool THTMLWalk::IsTag(std::string_view name) const { return SameText(TagName, name); }

bool THTMLWalk::IsTagAttr(std::string_view tag, std::string_view attr) const {
  return IsTag(tag) && SameText(AttrName, attr);
}
