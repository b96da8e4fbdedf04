// Text in and out: UTF-8 decoding and encoding, and every escape the program writes (HTML and
// XML markup, JSON strings, CSV cells, percent and terminal escapes). Every writer of the
// program escapes through here, so that one rule holds for each kind of output.
//
// Invalid input has one rule: a code point that names no character (NUL, a surrogate, a value
// beyond U+10FFFF) and each maximal run of bytes that is no valid UTF-8 stand for U+FFFD, the
// replacement character, wherever a character must be produced from them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

// --- UTF-8 ------------------------------------------------------------------------------------

inline constexpr uint32_t kReplacementCharacter = 0xFFFD;

// Appends `codePoint` in UTF-8; NUL, a surrogate or a value beyond U+10FFFF is written as U+FFFD.
void AppendUTF8(std::string& out, uint32_t codePoint);

// One character read from UTF-8 text.
struct TUTF8Char {
  uint32_t CodePoint = kReplacementCharacter;  // U+FFFD when not Valid
  size_t Length = 0;                           // bytes read: the sequence, or its invalid part
  bool Valid = false;
  // Not Valid only because the text ends inside the sequence: what follows could complete it.
  bool Incomplete = false;
};

// The character at `text[i]` (i < text.size()). A valid sequence (shortest form, no surrogate,
// at most U+10FFFF) gives its code point. Otherwise Length covers the longest start of a valid
// sequence there, at least one byte: the part that stands for one U+FFFD.
TUTF8Char DecodeUTF8(std::string_view text, size_t i);
// Whether the whole text is valid UTF-8.
bool IsValidUTF8(std::string_view text);
// The text with each invalid part replaced by U+FFFD; valid text comes back as it is.
std::string ValidUTF8(std::string_view text);

// --- Byte escapes -----------------------------------------------------------------------------

// Appends "%XX", the byte in upper-case hex.
void AppendPercentEscape(std::string& out, unsigned char byte);
// Appends "\xhh", the byte in lower-case hex.
void AppendHexEscape(std::string& out, unsigned char byte);

// --- Markup -----------------------------------------------------------------------------------

// Text for HTML content: "<" and ">" become "&lt;" and "&gt;"; entities stay as they are (a
// page's text may hold them already), so no page text can open or close an element.
std::string EscapeHTMLText(std::string_view text);
// A value for a double-quoted HTML attribute: as EscapeHTMLText, and '"' becomes "&quot;".
std::string EscapeHTMLAttribute(std::string_view text);
// The text unchanged when it holds only ASCII letters, digits, "-", "." and "_" (an empty text
// too), otherwise in double quotes, escaped so that it cannot end the attribute early.
std::string QuoteAttribute(std::string_view text);
// Text for XML content: "&", "<" and ">" escaped; bytes that XML 1.0 forbids (controls other
// than tab, line feed and carriage return) and bytes from 128 up become "%XX", so the document
// is ASCII whatever its declaration says.
std::string EscapeXMLText(std::string_view text);

// --- JSON -------------------------------------------------------------------------------------

// The text as a JSON string literal, quotes included: '"' and '\' escaped, controls as "\n",
// "\t", ... or "\u00XX" (DEL too), U+2028 and U+2029 as "\u2028" and "\u2029" (so the literal
// is also valid JavaScript), invalid UTF-8 as U+FFFD. Other characters stay as UTF-8.
std::string JSONString(std::string_view text);

// --- CSV --------------------------------------------------------------------------------------

// One CSV field: written bare, or in double quotes (inner quotes doubled) when it holds a
// blank or control character (codes 1..32), a double quote or a comma. A `text` field that
// begins with a character a spreadsheet reads as the start of a formula ("=", "+", "-", "@",
// tab, carriage return) gets the spreadsheet's text prefix "'" first.
std::string CSVField(std::string_view field, bool text = false);
// The fields quoted and joined with ","; a lone empty field gives "\"\"".
std::string CSVLine(const std::vector<std::string>& fields);

// --- Terminal ---------------------------------------------------------------------------------

// The text with every control character shown as "\xHH" (lower-case hex): C0 controls except
// the line feed, DEL, C1 controls written in UTF-8 (U+0080..U+009F), and every byte that is not
// part of a valid UTF-8 sequence. Printable ASCII and valid UTF-8 stay as they are, so text from
// a site cannot retitle the terminal or clear the screen. With `consumed`, an incomplete UTF-8
// sequence at the very end is left unread (its start is stored there) so that it can be
// completed by what follows; otherwise it is escaped.
std::string TerminalText(std::string_view text, size_t* consumed = nullptr);

// A stream buffer that passes everything written to it through TerminalText on its way to
// `out`: installed on standard output and standard error of a command-line program. Whatever
// writes cursor controls of its own writes them to the buffer underneath.
class TTerminalFilter : public std::streambuf {
 public:
  explicit TTerminalFilter(std::streambuf* out) : Out_(out) {}
  ~TTerminalFilter() override;
  TTerminalFilter(const TTerminalFilter&) = delete;
  TTerminalFilter& operator=(const TTerminalFilter&) = delete;

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int sync() override;

 private:
  void Emit(bool final);
  std::streambuf* Out_;
  std::string Pending_;
};
