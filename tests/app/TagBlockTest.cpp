#include "app/TagBlock.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct BlockCase {
  const char* document;
  const char* tag;
  TTagBlock block;
};

void PrintTo(const BlockCase& c, std::ostream* os) { *os << c.tag << " in \"" << c.document << '"'; }

class FindTagBlockTest : public ::testing::TestWithParam<BlockCase> {};

TEST_P(FindTagBlockTest, Extent) {
  const BlockCase& c = GetParam();
  const TTagBlock got = FindTagBlock(c.document, c.tag);
  EXPECT_EQ(got.OpenStart, c.block.OpenStart);
  EXPECT_EQ(got.OpenEnd, c.block.OpenEnd);
  EXPECT_EQ(got.CloseStart, c.block.CloseStart);
  EXPECT_EQ(got.CloseEnd, c.block.CloseEnd);
}

INSTANTIATE_TEST_SUITE_P(Documents, FindTagBlockTest,
                         ::testing::Values(BlockCase{"<b>x</b>", "b", {1, 4, 5, 9}},
                                           // The outer element: the inner end tag only brings the depth back to 1.
                                           BlockCase{"<b><b>x</b></b>", "b", {1, 4, 12, 16}},
                                           // Later blocks of the same name change nothing.
                                           BlockCase{"<b>1</b><b>2</b>", "b", {1, 4, 5, 9}},
                                           // An end tag first makes the depth -1; the pair after it only returns to -1.
                                           BlockCase{"</b><b>x</b>", "b", {5, 8, 0, 0}},
                                           BlockCase{"</b><b><b>x</b>", "b", {5, 8, 12, 16}},
                                           BlockCase{"x<Body bgcolor=white>y</BODY>", "body", {2, 22, 23, 30}},
                                           BlockCase{"<BODY/>", "body", {0, 0, 0, 0}},
                                           BlockCase{"<!-- <b>x</b> --><b>", "b", {18, 21, 0, 0}},
                                           BlockCase{"<bold>x</bold>", "b", {0, 0, 0, 0}},
                                           // An opening tag cut off by the end of the text still counts.
                                           BlockCase{"<p><b", "b", {4, 6, 0, 0}}, BlockCase{"", "b", {0, 0, 0, 0}}));

TEST(FindTagBlock, StopsAtTheFirstNulByte) {
  EXPECT_EQ(FindTagBlock(std::string("<b>x\0</b>", 9), "b"), (TTagBlock{1, 4, 0, 0}));
}

struct RangeCase {
  const char* document;
  int32_t start, end;
};

void PrintTo(const RangeCase& c, std::ostream* os) { *os << '"' << c.document << '"'; }

class GetInsertRangeTest : public ::testing::TestWithParam<RangeCase> {};

TEST_P(GetInsertRangeTest, Range) {
  const RangeCase& c = GetParam();
  EXPECT_EQ(GetInsertRange(c.document), std::make_pair(c.start, c.end));
}

INSTANTIATE_TEST_SUITE_P(Documents, GetInsertRangeTest,
                         ::testing::Values(RangeCase{"<html><body>", 13, 13},
                                           RangeCase{"<html><Body class=x><p>", 21, 21},
                                           RangeCase{"<body>a<QUORLIXTESSALY>old</QUORLIXTESSALY>b", 8, 44},
                                           RangeCase{"<quorlixtessaly></Quorlixtessaly>", 1, 34},
                                           // A placeholder without its end tag falls back to the BODY tag.
                                           RangeCase{"<body><QUORLIXTESSALY>", 7, 7},
                                           // An end tag before the placeholder leaves it unbalanced: BODY again.
                                           RangeCase{"<body></QUORLIXTESSALY><QUORLIXTESSALY></QUORLIXTESSALY>", 7, 7},
                                           // A placeholder inside a comment is not seen.
                                           RangeCase{"<body><!--<QUORLIXTESSALY></QUORLIXTESSALY>-->", 7, 7},
                                           RangeCase{"<p>no body</p>", 0, 0}, RangeCase{"", 0, 0}));

// The range as an export applies it: the block replaces the placeholder element.
TEST(GetInsertRange, ReplacesThePlaceholderElement) {
  const std::string doc = "<html><body><h1>Map</h1><QUORLIXTESSALY>here</QUORLIXTESSALY><p>end</p></body></html>";
  const auto [start, end] = GetInsertRange(doc);
  const std::string merged = doc.substr(0, start - 1) + "<ul></ul>" + doc.substr(end - 1);
  EXPECT_EQ(merged, "<html><body><h1>Map</h1><ul></ul><p>end</p></body></html>");
}

}  // namespace
