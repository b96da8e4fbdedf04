// The text module: UTF-8 in and out with one rule for invalid input, and each escape the
// program writes (markup, JSON, CSV, percent, terminal), as tables of text and expected bytes.
#include "Kel/KelText.h"

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

const std::string kFFFD = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

TEST(KelTextTest, AppendUTF8WritesEveryCodePointAndReplacesWhatNamesNoCharacter) {
  const struct {
    uint32_t CodePoint;
    std::string Bytes;
  } cases[] = {
      {0x41, "A"},
      {0x7F, "\x7F"},
      {0x80, "\xC2\x80"},
      {0xE9, "\xC3\xA9"},
      {0x7FF, "\xDF\xBF"},
      {0x800, "\xE0\xA0\x80"},
      {0x20AC, "\xE2\x82\xAC"},
      {0xD7FF, "\xED\x9F\xBF"},
      {0xE000, "\xEE\x80\x80"},
      {0xFFFF, "\xEF\xBF\xBF"},
      {0x10000, "\xF0\x90\x80\x80"},
      {0x1F600, "\xF0\x9F\x98\x80"},
      {0x10FFFF, "\xF4\x8F\xBF\xBF"},
      // One rule for what names no character: NUL, surrogates, beyond Unicode.
      {0, kFFFD},
      {0xD800, kFFFD},
      {0xDFFF, kFFFD},
      {0x110000, kFFFD},
      {0xFFFFFFFF, kFFFD},
  };
  for (const auto& c : cases) {
    std::string out = "x";
    AppendUTF8(out, c.CodePoint);
    EXPECT_EQ(out, "x" + c.Bytes) << std::hex << c.CodePoint;
  }
}

TEST(KelTextTest, DecodeUTF8ReadsOneCharacterOrTheInvalidPartThatStandsForOneReplacement) {
  const struct {
    std::string Text;
    uint32_t CodePoint;
    size_t Length;
    bool Valid, Incomplete;
  } cases[] = {
      {"A", 'A', 1, true, false},
      {std::string(1, '\0'), 0, 1, true, false},
      {"\xC3\xA9x", 0xE9, 2, true, false},
      {"\xE2\x82\xAC", 0x20AC, 3, true, false},
      {"\xF0\x9F\x98\x80", 0x1F600, 4, true, false},
      {"\xF4\x8F\xBF\xBF", 0x10FFFF, 4, true, false},
      {"\x80", 0xFFFD, 1, false, false},          // a lone continuation byte
      {"\xC0\xAF", 0xFFFD, 1, false, false},      // overlong lead
      {"\xE0\x80\xAF", 0xFFFD, 1, false, false},  // overlong second byte
      {"\xED\xA0\x80", 0xFFFD, 1, false, false},  // a surrogate
      {"\xF4\x90\x80\x80", 0xFFFD, 1, false, false},  // beyond U+10FFFF
      {"\xF5", 0xFFFD, 1, false, false},
      {"\xE2\x82x", 0xFFFD, 2, false, false},     // cut by another character
      {"\xE2\x82", 0xFFFD, 2, false, true},       // cut by the end of the text
      {"\xF0\x9F\x98", 0xFFFD, 3, false, true},
      {"\xC3", 0xFFFD, 1, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.Text));
    const TUTF8Char ch = DecodeUTF8(c.Text, 0);
    EXPECT_EQ(ch.CodePoint, c.CodePoint);
    EXPECT_EQ(ch.Length, c.Length);
    EXPECT_EQ(ch.Valid, c.Valid);
    EXPECT_EQ(ch.Incomplete, c.Incomplete);
  }
}

TEST(KelTextTest, ValidUTF8ReplacesEachInvalidPartOnce) {
  const struct {
    std::string Text, Valid;
  } cases[] = {
      {"", ""},
      {"plain", "plain"},
      {"caf\xC3\xA9 \xF0\x9F\x98\x80", "caf\xC3\xA9 \xF0\x9F\x98\x80"},
      {"latin1 \xE9t\xE9", "latin1 " + kFFFD + "t" + kFFFD},
      {"cut \xE2\x82 here", "cut " + kFFFD + " here"},
      {"\xED\xA0\x80", kFFFD + kFFFD + kFFFD},
      {"\xF0\x9F\x98", kFFFD},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.Text));
    EXPECT_EQ(ValidUTF8(c.Text), c.Valid);
    EXPECT_EQ(IsValidUTF8(c.Text), c.Text == c.Valid);
    EXPECT_TRUE(IsValidUTF8(ValidUTF8(c.Text)));
  }
}

TEST(KelTextTest, MarkupEscapes) {
  const struct {
    std::string Text, HTMLText, HTMLAttribute, XMLText;
  } cases[] = {
      {"plain", "plain", "plain", "plain"},
      {"", "", "", ""},
      {"a<b>c", "a&lt;b&gt;c", "a&lt;b&gt;c", "a&lt;b&gt;c"},
      {"say \"hi\"", "say \"hi\"", "say &quot;hi&quot;", "say \"hi\""},
      // Page text may hold entities already: HTML keeps them, XML escapes the ampersand.
      {"A &amp; B", "A &amp; B", "A &amp; B", "A &amp;amp; B"},
      {"tab\tline\r\n", "tab\tline\r\n", "tab\tline\r\n", "tab\tline\r\n"},
      {"bell\x07 nul" + std::string(1, '\0'), "bell\x07 nul" + std::string(1, '\0'),
       "bell\x07 nul" + std::string(1, '\0'), "bell%07 nul%00"},
      {"Caf\xC3\xA9", "Caf\xC3\xA9", "Caf\xC3\xA9", "Caf%C3%A9"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(EscapeHTMLText(c.Text), c.HTMLText);
    EXPECT_EQ(EscapeHTMLAttribute(c.Text), c.HTMLAttribute);
    EXPECT_EQ(EscapeXMLText(c.Text), c.XMLText);
  }
}

TEST(KelTextTest, JSONStrings) {
  const struct {
    std::string Text, JSON;
  } cases[] = {
      {"", "\"\""},
      {"plain text", "\"plain text\""},
      {"quote \" and backslash \\", "\"quote \\\" and backslash \\\\\""},
      {"slash / stays", "\"slash / stays\""},
      {"\b\f\n\r\t", "\"\\b\\f\\n\\r\\t\""},
      {std::string("nul\0", 4) + "\x01\x1f\x7f", "\"nul\\u0000\\u0001\\u001f\\u007f\""},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\""},
      {"line\xE2\x80\xA8para\xE2\x80\xA9", "\"line\\u2028para\\u2029\""},
      {"C1 \xC2\x85", "\"C1 \xC2\x85\""},  // a printable control in JSON: kept as UTF-8
      {"latin1 \xE9t\xE9", "\"latin1 " + kFFFD + "t" + kFFFD + "\""},
      {"cut \xE2\x82", "\"cut " + kFFFD + "\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.Text));
    const std::string json = JSONString(c.Text);
    EXPECT_EQ(json, c.JSON);
    EXPECT_TRUE(IsValidUTF8(json));
  }
}

TEST(KelTextTest, ByteEscapes) {
  std::string percent, hex;
  for (const unsigned char b : {0x00, 0x0A, 0x25, 0x7F, 0xC3, 0xFF}) {
    AppendPercentEscape(percent, b);
    AppendHexEscape(hex, b);
  }
  EXPECT_EQ(percent, "%00%0A%25%7F%C3%FF");
  EXPECT_EQ(hex, "\\x00\\x0a\\x25\\x7f\\xc3\\xff");
}

TEST(TerminalTextTest, ControlsAndStrayBytesAreEscaped) {
  const struct {
    std::string Text, Shown;
  } cases[] = {
      {"plain text\n", "plain text\n"},
      {"\x1b]0;pwned\x07", "\\x1b]0;pwned\\x07"},
      {"clear\x1b[2J\r\t\x7f", "clear\\x1b[2J\\x0d\\x09\\x7f"},
      {std::string("nul\0x", 5), "nul\\x00x"},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
      {"csi\xC2\x9B"
       "2J",
       "csi\\xc2\\x9b2J"},  // U+009B, the one-character CSI
      {"raw\x9b"
       "2J",
       "raw\\x9b2J"},
      {"latin1 \xE9t\xE9", "latin1 \\xe9t\\xe9"},
      {"overlong \xC0\xAF \xE0\x80\xAF", "overlong \\xc0\\xaf \\xe0\\x80\\xaf"},
      {"surrogate \xED\xA0\x80", "surrogate \\xed\\xa0\\x80"},
      {"cut \xE2\x82", "cut \\xe2\\x82"},
  };
  for (const auto& c : cases) EXPECT_EQ(TerminalText(c.Text), c.Shown) << c.Shown;
}

TEST(TerminalTextTest, TheFilterKeepsACharacterSplitAcrossWrites) {
  std::ostringstream sink;
  {
    TTerminalFilter filter(sink.rdbuf());
    std::ostream out(&filter);
    out << "euro \xE2" << std::flush;
    out << "\x82\xAC and \x1b[31mred\n";
    out << "tail \xE2";  // cut off at the end: escaped when the filter goes
  }
  EXPECT_EQ(sink.str(), "euro \xE2\x82\xAC and \\x1b[31mred\ntail \\xe2");
}

}  // namespace
