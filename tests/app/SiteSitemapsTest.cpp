// Reading a site's sitemaps: url sets and indexes, plain and gzip-compressed, and what a hostile
// or broken file gets: a problem named, never more than the limits.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "app/SiteSitemaps.h"
#include "support/Gzip.h"

namespace {

const std::string kUrlset =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n"
    "  <url><loc>https://example.com/</loc><lastmod>2026-01-01</lastmod></url>\n"
    "  <url><loc>\n   https://example.com/a?x=1&amp;y=2\n  </loc></url>\n"
    "  <!-- <url><loc>https://example.com/commented</loc></url> -->\n"
    "  <url><loc></loc></url>\n"
    "</urlset>\n";

struct Case {
  const char* Name;
  std::string Body;
  bool IsIndex;
  std::vector<std::string> Locations;
  std::string Problem;  // its beginning; "" for none
};

TEST(SiteSitemapsTest, ReadsUrlSetsAndIndexesPlainAndCompressed) {
  const std::string index =
      "<sitemapindex xmlns='http://www.sitemaps.org/schemas/sitemap/0.9'><sitemap><loc>https://example.com/s1.xml.gz"
      "</loc></sitemap><sitemap><LOC>https://example.com/s2.xml</LOC></sitemap></sitemapindex>";
  const std::vector<std::string> urls{"https://example.com/", "https://example.com/a?x=1&y=2"};
  const Case cases[] = {
      {"url set", kUrlset, false, urls, ""},
      {"gzip url set", Gzip(kUrlset), false, urls, ""},
      {"two gzip members", Gzip(kUrlset.substr(0, 100)) + Gzip(kUrlset.substr(100)), false, urls, ""},
      {"index", index, true, {"https://example.com/s1.xml.gz", "https://example.com/s2.xml"}, ""},
      {"prefixed names", "<sm:urlset xmlns:sm='x'><sm:url><sm:loc>https://e.com/p</sm:loc></sm:url></sm:urlset>", false,
       {"https://e.com/p"}, ""},
      {"an HTML page", "<html><body><loc>https://e.com/</loc></body></html>", false, {}, "not a sitemap"},
      {"empty", "", false, {}, "not a sitemap"},
      {"broken gzip", Gzip(kUrlset).substr(0, 40), false, {}, "the gzip stream is broken"},
      {"unclosed loc", "<urlset><url><loc>https://e.com/a", false, {}, ""},
  };
  for (const Case& c : cases) {
    const TSitemapDocument doc = ReadSitemap(c.Body);
    EXPECT_EQ(doc.IsIndex, c.IsIndex) << c.Name;
    EXPECT_EQ(doc.Locations, c.Locations) << c.Name;
    EXPECT_EQ(doc.Problem.substr(0, c.Problem.size()), c.Problem) << c.Name << ": " << doc.Problem;
    if (c.Problem.empty()) EXPECT_EQ(doc.Problem, "") << c.Name;
  }
}

// A file past the limits is read up to them: a compression bomb decodes only MaxBytes, a long
// list only MaxAddresses.
TEST(SiteSitemapsTest, LimitsBoundWhatIsRead) {
  std::string many = "<urlset>";
  for (int i = 0; i < 1000; ++i) many += "<url><loc>https://e.com/" + std::to_string(i) + "</loc></url>";
  many += "</urlset>";
  TSitemapReadLimits limits;
  limits.MaxAddresses = 10;
  TSitemapDocument doc = ReadSitemap(many, limits);
  EXPECT_EQ(doc.Locations.size(), 10u);
  EXPECT_EQ(doc.Problem, "the sitemap names more than 10 addresses");

  const std::string bomb = Gzip("<urlset>" + std::string(64 * 1024 * 1024, ' ') + "</urlset>");
  EXPECT_LT(bomb.size(), 200u * 1024);
  limits = {};
  limits.MaxBytes = 1024 * 1024;
  doc = ReadSitemap(bomb, limits);
  EXPECT_EQ(doc.Problem, "the sitemap is larger than 1048576 bytes decoded");
  doc = ReadSitemap(many, TSitemapReadLimits{100, 50000});
  EXPECT_EQ(doc.Problem, "the sitemap is larger than 100 bytes");
  EXPECT_LE(doc.Locations.size(), 2u);
}

}  // namespace
