#include "Kel/KelCollate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <string>
#include <vector>

namespace {

// Under the C locale (no collation of its own) accents and ligatures sort as their base letters.
class KelCollateTest : public ::testing::Test {
 protected:
  KelCollateTest() : Saved_(std::setlocale(LC_COLLATE, nullptr)) { std::setlocale(LC_COLLATE, "C"); }
  ~KelCollateTest() override { std::setlocale(LC_COLLATE, Saved_.c_str()); }

 private:
  std::string Saved_;
};

TEST_F(KelCollateTest, NamesCompareIgnoringCaseWithAccentedLettersBesideTheirBaseLetters) {
  const struct {
    const char* a;
    const char* b;
    int sign;
  } cases[] = {
      {"apple", "Banana", -1},
      {"Banana", "apple", 1},
      {"README", "readme", -1},                   // alike but for case: by their bytes, fixed
      {"\xc3\x89mile", "fig", -1},                // "Émile" before "fig"
      {"\xc3\x89mile", "eagle", 1},               // and after "eagle"
      {"\xc3\xa9t\xc3\xa9", "ete", 1},            // "été" beside "ete", after it
      {"\xc3\x84rger", "Apfel", 1},               // "Ärger" as "arger"
      {"\xc3\x84rger", "Aster", -1},
      {"Stra\xc3\x9f" "e", "Strasse", 1},          // "Straße" as "strasse", then by bytes
      {"Stra\xc3\x9f" "e", "Strat", -1},
      {"\xc3\x86r\xc3\xb8", "adam", 1},           // "Ærø" as "aero"
      {"\xc5\xbd" "ebra", "zoo", -1},             // "Žebra" among the z
      {"z.html", "\xce\xb1.html", -1},            // Greek after Latin
      {"\xff\xfe", "a", 1},                       // bytes that are no UTF-8 sort after letters
      {"", "a", -1},
      {"same", "same", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " / " + c.b);
    const int r = CompareNames(c.a, c.b);
    EXPECT_EQ((r > 0) - (r < 0), c.sign);
    EXPECT_EQ(CollationKey(c.a) < CollationKey(c.b), c.sign < 0);
  }
}

TEST_F(KelCollateTest, ASortOfNamesPutsEachNonAsciiNameAmongItsAsciiNeighbours) {
  std::vector<std::string> names = {"zebra.html", "\xc3\x89mile.html", "apple.html", "eagle.html",
                                    "Z\xc3\xbcrich.html", "fig.html", "\xc3\xa4rger.html", "Banana.html"};
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) { return CompareNames(a, b) < 0; });
  EXPECT_EQ(names, (std::vector<std::string>{"apple.html", "\xc3\xa4rger.html", "Banana.html", "eagle.html",
                                             "\xc3\x89mile.html", "fig.html", "zebra.html", "Z\xc3\xbcrich.html"}));
}

}  // namespace
