// A forgiving, single-pass HTML tokenizer. It walks a document once and reports text runs,
// tags, attributes and values through nine virtual operations that do nothing here. It builds
// no tree, decodes no entities and never fails: every byte is consumed as part of a text run,
// a tag or a comment. The document ends at its first NUL byte.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class THTMLWalk {
 public:
  virtual ~THTMLWalk() = default;

  // Walks the whole document. The text must stay alive and unchanged until Walk returns.
  void Walk(std::string_view document);
  // Consumes one token (a text run, a comment, or a tag with its attributes) and fires its
  // events; false, consuming nothing, at the end of the text. Only after Walk has set a document.
  bool Step();
  // 1-based byte index of the cursor in the document.
  int32_t Position() const { return static_cast<int32_t>(Cursor - DocStart) + 1; }
  // The current tag's name equals `name`, ignoring case.
  bool IsTag(std::string_view name) const;
  // IsTag(tag) and the current attribute's name equals `attr`, ignoring case.
  bool IsTagAttr(std::string_view tag, std::string_view attr) const;

 protected:
  // The events, in slot order.
  virtual void DoTagName() {}         // the tag name has been read
  virtual void DoBeginTag() {}        // a tag begins; the cursor is on its "<"
  virtual void DoEndTag() {}          // the tag's ">" has been consumed (or the text ended in it)
  virtual void DoBeginText() {}       // a text run begins at Position()
  virtual void DoText() {}            // Text holds the run
  virtual void DoBeginAttribute() {}  // an attribute begins at the cursor
  virtual void DoAttributeName() {}   // AttrName holds the name, AttrValue is empty
  virtual void DoAttributeValue() {}  // AttrValue holds the value, without quotes
  virtual void DoEndAttribute() {}    // the attribute, its value and the blanks after it are consumed

  // Ends the walk after the current token: Step answers false from then on.
  void StopWalk() { Cursor = DocEnd_; }

  const char* TokenStart = nullptr;  // first character of the token being scanned
  const char* Cursor = nullptr;      // the scanning position
  const char* DocStart = nullptr;    // first character of the document
  int32_t TagPos = 0;                // 1-based index of the "<" of the current tag or comment
  std::string TagName;               // as written: "/p", "!DOCTYPE", "br/"
  std::string AttrName;
  std::string AttrValue;
  std::string Text;

 private:
  const char* DocEnd_ = nullptr;  // the first NUL byte, or the end of the document
  void SkipBlanks();
  bool AtTagStart(const char* p) const;
  // The kinds of token Step consumes, each with its events.
  void ScanText();            // a text run, up to the next tag start or the end
  void SkipComment();         // "<!--" up to and including "-->", or the end; fires nothing
  void ScanTag();             // a tag with its attributes, up to and including its ">"
  void ScanAttribute();       // one attribute with its value and the blanks after it
  void ScanAttributeValue();  // a quoted or bare value after "="
};
