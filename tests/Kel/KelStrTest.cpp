#include "Kel/KelStr.h"

#include <gtest/gtest.h>

#include "Kel/KelDateTime.h"
#include "Kel/KelError.h"

TEST(KelStr, CaseInsensitiveComparisons) {
  EXPECT_TRUE(SameText("Text/HTML", "text/html"));
  EXPECT_FALSE(SameText("abc", "abd"));
  EXPECT_LT(CompareText("apple", "Banana"), 0);
  EXPECT_EQ(CompareText("ABC", "abc"), 0);
  EXPECT_GT(CompareText("abcd", "ABC"), 0);
  EXPECT_TRUE(ContainsText("Text/HTML; charset=x", "text/html"));
  EXPECT_TRUE(StartsText("/DIR/", "/dir/x.html"));
  EXPECT_FALSE(StartsText("/dir/x", "/dir/"));
}

TEST(KelStr, TrimRemovesControlsAndBlanks) {
  EXPECT_EQ(Trim(std::string("\t a b \r\n\0", 9)), "a b");
  EXPECT_EQ(TrimLeft("  x "), "x ");
  EXPECT_EQ(TrimRight("  x "), "  x");
}

TEST(KelStr, ReplaceAllIsOnePassLeftToRight) {
  EXPECT_EQ(ReplaceAll("/a/././b/", "/./", "/"), "/a/./b/");
  EXPECT_EQ(ReplaceAll("A&AMP;b", "&amp;", "&", true), "A&b");
}

TEST(KelStr, StrToIntAcceptsDecimalAndHex) {
  EXPECT_EQ(StrToInt("42"), 42);
  EXPECT_EQ(StrToInt("-1"), -1);
  EXPECT_EQ(StrToInt("0x1F"), 31);
  EXPECT_EQ(StrToInt(" 7 "), 7);
  EXPECT_EQ(StrToIntDef("x", 9), 9);
  try {
    StrToInt("abc");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'abc' is not a valid integer value");
  }
  EXPECT_THROW(StrToInt(""), EConvertError);
  EXPECT_THROW(StrToInt("99999999999"), EConvertError);
}

struct DateCase {
  TDateTimeParts parts;
  const char* text;
};

void PrintTo(const DateCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class DateTimeTextTest : public ::testing::TestWithParam<DateCase> {};

TEST_P(DateTimeTextTest, WritesAndReadsBack) {
  const DateCase& c = GetParam();
  const TDateTime value = EncodeDateTime(c.parts);
  EXPECT_EQ(DateTimeToStr(value), c.text);
  EXPECT_DOUBLE_EQ(StrToDateTime(c.text), value);
}

INSTANTIATE_TEST_SUITE_P(Texts, DateTimeTextTest,
                         ::testing::Values(DateCase{{2004, 5, 14, 15, 12, 9, 0}, "5/14/2004 3:12:09 PM"},
                                           DateCase{{2004, 5, 1, 9, 0, 0, 0}, "5/1/2004 9:00:00 AM"},
                                           DateCase{{1899, 12, 30, 0, 0, 0, 0}, "12/30/1899"},
                                           DateCase{{2026, 12, 10, 0, 0, 1, 0}, "12/10/2026 12:00:01 AM"},
                                           DateCase{{2026, 12, 10, 12, 30, 0, 0}, "12/10/2026 12:30:00 PM"},
                                           DateCase{{2000, 2, 29, 23, 59, 59, 0}, "2/29/2000 11:59:59 PM"},
                                           DateCase{{1899, 12, 29, 6, 0, 0, 0}, "12/29/1899 6:00:00 AM"}));

TEST(KelDateTime, DayCountsFromEpoch) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
  EXPECT_EQ(EncodeDate(1970, 1, 1), 25569);
  EXPECT_DOUBLE_EQ(EncodeDateTime({1899, 12, 29, 6, 0, 0, 0}), -1.25);
  EXPECT_EQ(DateTimeToStr(0), "12/30/1899");
}

TEST(KelDateTime, ReadsLenientForms) {
  EXPECT_DOUBLE_EQ(StrToDateTime("5/14/2004 15:12:09"), StrToDateTime("5/14/2004 3:12:09 PM"));
  EXPECT_DOUBLE_EQ(StrToDateTime(" 5/14/2004 3:12 pm "), StrToDateTime("5/14/2004 3:12:00 PM"));
}

TEST(KelDateTime, RejectsInvalidTexts) {
  for (const char* bad : {"", "abc", "13/1/2004", "2/30/2004", "5/14/2004 25:00:00", "5/14/2004 3:12:09 XM", "5/14",
                          "5/14/2004 garbage"}) {
    try {
      StrToDateTime(bad);
      FAIL() << bad;
    } catch (const EConvertError& e) {
      EXPECT_EQ(std::string(e.what()), "'" + std::string(bad) + "' is not a valid date and time");
    }
  }
}

TEST(KelDateTime, UnixRoundTripInLocalTime) {
  const std::time_t t = 1'100'000'000;  // whole seconds
  EXPECT_EQ(LocalDateTimeToUnix(UnixToLocalDateTime(t)), t);
}
