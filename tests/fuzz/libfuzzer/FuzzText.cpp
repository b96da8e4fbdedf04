// The text module on any bytes: decoding covers the text exactly and re-encodes what it read;
// every writer's output is what its format allows (valid UTF-8 where it promises it, no
// markup characters, no control characters on a terminal), and the terminal filter gives the
// same text whether it arrives whole or cut in two.
#include <string>

#include "FuzzCommon.h"
#include "Kel/KelText.h"

namespace {

bool HasTerminalControl(std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if ((c < 0x20 && c != '\n') || c == 0x7F) return true;
    if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = FuzzText(data, size);

  std::string reencoded;
  for (size_t i = 0; i < text.size();) {
    const TUTF8Char c = DecodeUTF8(text, i);
    FUZZ_CHECK(c.Length >= 1 && c.Length <= 4 && i + c.Length <= text.size(), "a decoded length inside the text");
    FUZZ_CHECK(c.Valid || c.CodePoint == kReplacementCharacter, "an invalid part stands for U+FFFD");
    FUZZ_CHECK(!c.Incomplete || i + c.Length == text.size(), "only the end cuts a sequence");
    if (c.Valid && c.CodePoint != 0) AppendUTF8(reencoded, c.CodePoint);
    else reencoded.append(text.substr(i, c.Length));
    i += c.Length;
  }
  FUZZ_CHECK(reencoded == text, "valid characters encode back to their bytes");

  const std::string valid = ValidUTF8(text);
  FUZZ_CHECK(IsValidUTF8(valid), "ValidUTF8 gives valid UTF-8");
  FUZZ_CHECK(IsValidUTF8(text) == (valid == text), "valid text is kept as it is");

  const std::string json = JSONString(text);
  FUZZ_CHECK(IsValidUTF8(json) && json.size() >= 2 && json.front() == '"' && json.back() == '"', "a JSON literal");
  for (const char c : json) FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20, "no raw control in JSON");

  for (const std::string& markup : {EscapeHTMLText(text), EscapeHTMLAttribute(text), EscapeXMLText(text)})
    FUZZ_CHECK(markup.find_first_of("<>") == std::string::npos, "no markup character survives");
  FUZZ_CHECK(EscapeHTMLAttribute(text).find('"') == std::string::npos, "an attribute value cannot end early");
  for (const char c : EscapeXMLText(text)) {
    const unsigned char b = static_cast<unsigned char>(c);
    FUZZ_CHECK(b < 0x80 && (b >= 0x20 || c == '\t' || c == '\n' || c == '\r'), "XML text is ASCII XML 1.0 allows");
  }

  const std::string csv = CSVField(text, true);
  if (csv != text) FUZZ_CHECK(csv.front() == '"' || csv.front() == '\'', "a changed CSV field is quoted or prefixed");

  const std::string shown = TerminalText(text);
  FUZZ_CHECK(!HasTerminalControl(shown) && IsValidUTF8(shown), "no control character reaches the terminal");
  const size_t cut = text.empty() ? 0 : static_cast<unsigned char>(text[0]) % (text.size() + 1);
  size_t consumed = 0;
  std::string pieces = TerminalText(text.substr(0, cut), &consumed);
  FUZZ_CHECK(consumed <= cut, "the filter leaves at most the cut part unread");
  pieces += TerminalText(text.substr(consumed));
  FUZZ_CHECK(pieces == shown, "the filter gives the same text in two pieces");
  return 0;
}
