// What tessaly-crawl prints: control characters and stray bytes are shown escaped, printable
// text and valid UTF-8 are kept, also when a character arrives in two writes.
#include "tools/TerminalText.h"

#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace {

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
