#include "Kel/KelTranslate.h"

#include <gtest/gtest.h>

#include "Kel/KelError.h"

namespace {

TEST(Translate, EscapeAndUnescapeRoundTrip) {
  struct Case {
    std::string Plain, Escaped;
  } cases[] = {
      {"plain", "plain"},
      {"a\tb\r\nc", "a\\tb\\r\\nc"},
      {"say \"hi\"", "say \\\"hi\\\""},
      {"back\\slash", "back\\\\slash"},
      {std::string("\x01\x1f", 2), "\\x01\\x1f"},
      {"\a\b\v\f", "\\a\\b\\v\\f"},
      {"caf\xc3\xa9", "caf\xc3\xa9"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EscapeText(c.Plain), c.Escaped);
    EXPECT_EQ(UnescapeText(c.Escaped), c.Plain);
  }
}

TEST(Translate, UnescapeAcceptsMoreThanEscapeWrites) {
  struct Case {
    const char* Escaped;
    std::string Plain;
  } cases[] = {
      {"\\'\\?", "'?"},       {"\\101\\7x", "A\ax"}, {"\\0", std::string(1, '\0')},
      {"\\x41\\x4", "A\x04"}, {"\\xg", "\\xg"},  // no hex digit: stays
      {"\\q", "\\q"},                            // unknown escape keeps its backslash
      {"end\\", "end\\"},                        // a backslash at the end stays
      {"\\1234", "S4"},                          // at most three octal digits
      {"\\377", "\xff"},
  };
  for (const Case& c : cases) EXPECT_EQ(UnescapeText(c.Escaped), c.Plain) << c.Escaped;
}

TEST(Translate, NumericEscapeAbove255IsAnError) {
  try {
    UnescapeText("\\400");
    FAIL() << "no error";
  } catch (const EError& e) {
    EXPECT_STREQ(e.what(), "Numeric constant too large.");
  }
}

TEST(Translate, LangFileRules) {
  TTranslationStore store;
  store.LoadFromText(
      "; a comment\r\n"
      "<//TFormTessaly- the main window>\r\n"
      "E=&File\r\n"
      "T=&Datei\r\n"
      "E=Start\r\n"
      "E=Stop\r\n"  // only the second E= counts
      "T=Anhalten\r\n"
      "E=Refresh\r\n"
      "T=*\r\n"       // "*": left untranslated
      "T=Orphan\r\n"  // no E= before it
      "E=Line\\r\\nbreak\r\n"
      "T=Zeilen\\r\\numbruch\r\n"
      "<//STRING_TABLE-\r\n"
      "E=% Used\r\n"
      "T=% belegt\r\n"
      "<no slashes - section\r\n"
      "E=x\r\n"
      "T=y\r\n"
      "<-\r\n"
      "E=&File\r\n"
      "T=Empty section\r\n");
  EXPECT_EQ(store.Translate("&File", "TFormTessaly"), "&Datei");
  EXPECT_EQ(store.Translate("&FILE", "tformtessaly"), "&Datei");  // keys ignore case
  EXPECT_EQ(store.Translate("Stop", "TFormTessaly"), "Anhalten");
  EXPECT_EQ(store.Translate("Start", "TFormTessaly"), "Start");
  EXPECT_EQ(store.Translate("Refresh", "TFormTessaly"), "Refresh");
  EXPECT_EQ(store.Translate("Line\r\nbreak", "TFormTessaly"), "Zeilen\r\numbruch");
  EXPECT_EQ(store.Translate("% Used", "STRING_TABLE"), "% belegt");
  EXPECT_EQ(store.Translate("% Used", "TFormTessaly"), "% Used");
  EXPECT_EQ(store.Translate("x", "no slashes "), "y");
  EXPECT_EQ(store.Translate("&File", ""), "Empty section");
  EXPECT_EQ(store.Count(), 6u);
}

TEST(Translate, LaterPairReplacesEarlierAndTooLargeTranslationIsAnError) {
  TTranslationStore store;
  store.LoadFromText("<//S-\nE=a\nT=1\nE=A\nT=2\nE=big\nT=\\777\n");
  EXPECT_EQ(store.Translate("a", "S"), "2");
  EXPECT_THROW(store.Translate("big", "S"), EError);
}

TEST(Translate, MissingFileLeavesTheStoreEmpty) {
  TTranslationStore store;
  EXPECT_FALSE(store.LoadFromFile("/nonexistent/lang.txt"));
  EXPECT_TRUE(store.Empty());
  EXPECT_EQ(store.Translate("Start", "TFormTessaly"), "Start");
}

}  // namespace
