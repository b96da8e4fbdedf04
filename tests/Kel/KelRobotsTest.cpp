#include "Kel/KelRobots.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct RobotsCase {
  const char* Name;
  const char* Text;
  const char* Path;
  bool Allowed;
};

const RobotsCase kCases[] = {
    {"empty file", "", "/a", true},
    {"star group disallows", "User-agent: *\nDisallow: /private\n", "/private/x", false},
    {"prefix only", "User-agent: *\nDisallow: /private\n", "/public", true},
    {"own group wins over star", "User-agent: *\nDisallow: /\n\nUser-agent: Tessaly\nDisallow: /x\n", "/a", true},
    {"own group rules apply", "User-agent: *\nDisallow: /\n\nUser-agent: tessaly\nDisallow: /x\n", "/x/1", false},
    {"token matched without version", "User-agent: Tessaly/2.0\nDisallow: /x\n", "/x", false},
    {"other agent ignored", "User-agent: OtherBot\nDisallow: /\n", "/a", true},
    {"agents share a group", "User-agent: OtherBot\nUser-agent: Tessaly\nDisallow: /a\n", "/a", false},
    {"groups of the agent merge", "User-agent: Tessaly\nDisallow: /a\n\nUser-agent: Tessaly\nDisallow: /b\n", "/b", false},
    {"rule line ends the agents", "User-agent: Tessaly\nDisallow: /a\nUser-agent: OtherBot\nDisallow: /b\n", "/b", true},
    {"rules before any agent ignored", "Disallow: /\nUser-agent: *\nDisallow: /x\n", "/a", true},
    {"longest match allow", "User-agent: *\nDisallow: /a\nAllow: /a/b\n", "/a/b/c", true},
    {"longest match disallow", "User-agent: *\nAllow: /a\nDisallow: /a/b\n", "/a/b/c", false},
    {"tie goes to allow", "User-agent: *\nDisallow: /a\nAllow: /a\n", "/a", true},
    {"empty disallow allows all", "User-agent: *\nDisallow:\n", "/a", true},
    {"star in the middle", "User-agent: *\nDisallow: /*.php\n", "/dir/index.php?x=1", false},
    {"star pattern misses", "User-agent: *\nDisallow: /*.php\n", "/dir/index.html", true},
    {"dollar ends", "User-agent: *\nDisallow: /*.gif$\n", "/a/b.gif", false},
    {"dollar does not match longer", "User-agent: *\nDisallow: /*.gif$\n", "/a/b.gif?x", true},
    {"exact with dollar", "User-agent: *\nDisallow: /$\n", "/", false},
    {"exact with dollar, other page", "User-agent: *\nDisallow: /$\n", "/page", true},
    {"several stars", "User-agent: *\nDisallow: /a*b*c\n", "/axxbyyc", false},
    {"several stars miss", "User-agent: *\nDisallow: /a*b*c\n", "/axxcyyb", true},
    {"query in the pattern", "User-agent: *\nDisallow: /*?sort=\n", "/list?sort=name", false},
    {"keys ignore case", "USER-AGENT: *\nDISALLOW: /x\n", "/x", false},
    {"comments and blanks", "# hello\nUser-agent: * # all\n  Disallow:   /x   # no\n", "/x", false},
    {"carriage returns", "User-agent: *\r\nDisallow: /x\r\n", "/x", false},
    {"escapes compared in upper case", "User-agent: *\nDisallow: /%7euser\n", "/%7Euser/a", false},
    {"robots.txt always allowed", "User-agent: *\nDisallow: /\n", "/robots.txt", true},
    {"unknown lines keep the group", "User-agent: *\nFoo: bar\nDisallow: /x\n", "/x", false},
    {"binary junk", "\x01\x02\xff\xfe\x00User-agent\x00: *\n\xff:\xff\nDisallow: /x\n", "/y", true},
};

class RobotsTable : public ::testing::TestWithParam<RobotsCase> {};

TEST_P(RobotsTable, DecidesLikeTheStandard) {
  const RobotsCase& c = GetParam();
  const TRobotsRules rules = TRobotsRules::Parse(c.Text, "Tessaly");
  EXPECT_EQ(rules.Allowed(c.Path), c.Allowed) << c.Name;
}

INSTANTIATE_TEST_SUITE_P(Cases, RobotsTable, ::testing::ValuesIn(kCases), [](const auto& info) {
  std::string name;
  for (const char c : std::string(info.param.Name)) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
});

TEST(Robots, CrawlDelayIsCappedAndSitemapsKept) {
  const TRobotsRules rules = TRobotsRules::Parse(
      "Sitemap: https://example.org/a.xml\nUser-agent: *\nCrawl-delay: 120\n\nUser-agent: Other\nCrawl-delay: 1\n"
      "Sitemap: https://example.org/b.xml\n",
      "Tessaly");
  EXPECT_DOUBLE_EQ(rules.CrawlDelay, TRobotsRules::kMaxCrawlDelay);
  EXPECT_TRUE(rules.CrawlDelayCapped);
  ASSERT_EQ(rules.Sitemaps.size(), 2u);
  EXPECT_EQ(rules.Sitemaps[0], "https://example.org/a.xml");
  EXPECT_EQ(rules.Sitemaps[1], "https://example.org/b.xml");

  const TRobotsRules small = TRobotsRules::Parse("User-agent: Tessaly\nCrawl-delay: 0.5\n", "Tessaly");
  EXPECT_DOUBLE_EQ(small.CrawlDelay, 0.5);
  EXPECT_FALSE(small.CrawlDelayCapped);
  EXPECT_DOUBLE_EQ(TRobotsRules::Parse("User-agent: *\nCrawl-delay: soon\n", "Tessaly").CrawlDelay, 0);
}

TEST(Robots, ReadsOnlyTheFirst500KiB) {
  // A rule past the limit does not count; one before it does.
  std::string text = "User-agent: *\nDisallow: /early\n";
  text += std::string(TRobotsRules::kMaxSize, '#');
  text += "\nDisallow: /late\n";
  const TRobotsRules rules = TRobotsRules::Parse(text, "Tessaly");
  EXPECT_FALSE(rules.Allowed("/early"));
  EXPECT_TRUE(rules.Allowed("/late"));
}

TEST(Robots, TenMegabytesOfJunkAreReadQuickly) {
  // Long runs that almost match, and a long path: the match stays linear.
  std::string text = "User-agent: *\nDisallow: /" + std::string(200000, 'a') + "*b*c$\n";
  text += std::string(10 * 1024 * 1024, '\xff');
  const TRobotsRules rules = TRobotsRules::Parse(text, "Tessaly");
  EXPECT_TRUE(rules.Allowed("/" + std::string(100000, 'a')));
}

TEST(Robots, DisallowAllAndAllowAll) {
  EXPECT_FALSE(TRobotsRules::DisallowAll().Allowed("/a"));
  EXPECT_TRUE(TRobotsRules::DisallowAll().Allowed("/robots.txt"));
  EXPECT_TRUE(TRobotsRules::AllowAll().Allowed("/a"));
}

TEST(Robots, ProductToken) {
  EXPECT_EQ(RobotsProductToken("Tessaly/1.0 (+https://example.org)"), "Tessaly");
  EXPECT_EQ(RobotsProductToken("  my-bot_2"), "my-bot_");
  EXPECT_EQ(RobotsProductToken("*"), "");
}

}  // namespace
