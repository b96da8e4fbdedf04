#include "app/SiteSummary.h"

#include <gtest/gtest.h>

#include "Kel/KelURI.h"
#include "app/SiteCharts.h"
#include "app/SpiderNode.h"
#include "support/RecordingQueue.h"

namespace {

class SiteSummaryTest : public ::testing::Test {
 protected:
  SiteSummaryTest() : tree(map, &queue) {
    tree.HeadCallback = [](THTTPClient&) {};
    tree.ResetSiteTree();
    map.SiteURI.Parse("http://host/");
    tree.UpdateSiteRootCaption();
  }
  // Inserts `address` as a link of `referer` and gives its node an answer.
  TSpiderNode* Add(const std::string& address, const std::string& referer, int32_t code,
                   const std::string& type = "text/html", const std::string& text = "") {
    TURI uri;
    ResolveLink(uri, address, nullptr);
    TURI from(referer.empty() ? address : referer);
    TSpiderNode* node = NodeOf(tree.InsertURL(uri, referer.empty() ? nullptr : &from, true));
    node->ResponseCode = code;
    node->ResponseText = text.empty() ? "HTTP/1.1 " + std::to_string(code) : text;
    node->ContentType = type;
    return node;
  }

  RecordingQueue queue;
  TSiteMap map;
  TSiteTree tree;
};

TEST_F(SiteSummaryTest, CountsEveryCategoryAndListsTheBrokenAddresses) {
  TSpiderNode* home = Add("http://host/", "", 200);
  TSpiderNode* a = Add("http://host/a.html", "http://host/", 200);
  a->SpellingErrors = 3;
  Add("http://host/gone.html", "http://host/", 404, "text/html", "HTTP/1.1 404 Not Found");
  const TSpiderNode* gone = Add("http://host/gone.html", "http://host/a.html", 404, "text/html", "HTTP/1.1 404 Not Found");
  Add("http://host/img/x.gif", "http://host/", 200, "image/gif");
  Add("http://host/dl.zip", "http://host/", 200, "application/zip");
  Add("http://host/moved", "http://host/", 301, "");
  Add("http://other/", "http://host/a.html", -1, "", "Could not resolve\r\nthe host");
  Add("http://host/unchecked.html", "http://host/", 0, "");
  Add("mailto:me@host", "http://host/", 200, "mailto");
  Add("javascript:go()", "http://host/", 200, "javascript");
  map.Anchors.AddMissing(a, "install", home);
  map.Anchors.AddMissing(a, "install", a);
  map.Anchors.AddMissing(home, "caf\xc3\xa9", a);

  const TSiteSummary summary = SummarizeSite(tree);
  EXPECT_EQ(summary.Site, "http://host/");
  const int expected[rkSiteRoot] = {10, 2, 2, 1, 3, 1, 0, 0, 1, 1, 6, 1, 0, 1, 0, 1};
  for (int k = rkAll; k < rkSiteRoot; ++k)
    EXPECT_EQ(summary.Count(static_cast<TSiteRootKind>(k)), expected[k]) << kSiteRootCaptions[k];
  ASSERT_EQ(summary.Broken.size(), 2u);
  EXPECT_TRUE(summary.AnyBroken());
  EXPECT_EQ(summary.Broken[0].Node, gone);  // the map's node itself, nothing copied
  EXPECT_EQ(summary.Broken[0].URL(), "http://host/gone.html");
  EXPECT_EQ(summary.Broken[0].RefererURLs(), (std::vector<std::string>{"http://host/", "http://host/a.html"}));
  EXPECT_EQ(summary.Broken[1].ResponseCode(), -1);
  EXPECT_EQ(summary.Broken[1].ResponseText(), "Could not resolve\r\nthe host");
  ASSERT_EQ(summary.BrokenAnchors.size(), 2u);
  EXPECT_TRUE(summary.AnyBrokenAnchors());
  EXPECT_EQ(summary.BrokenAnchors[0].URL(), "http://host/");  // pages in the map's order
  EXPECT_EQ(summary.BrokenAnchors[1].RefererURLs(), (std::vector<std::string>{"http://host/", "http://host/a.html"}));

  EXPECT_EQ(SiteReportText(summary),
            "Site: http://host/\n"
            "  All                    10\n"
            "  Broken Links            2\n"
            "  Broken Anchors          2\n"
            "  Redirected Links        1\n"
            "  HTML                    3\n"
            "  Images                  1\n"
            "  Audio                   0\n"
            "  Video                   0\n"
            "  Applications            1\n"
            "  Spelling Errors         1\n"
            "  Internal Links          6\n"
            "  External Links          1\n"
            "  News                    0\n"
            "  JavaScript              1\n"
            "  Other                   0\n"
            "  Email Addresses         1\n"
            "\n"
            "Broken addresses:\n"
            "   404  http://host/gone.html\n"
            "        HTTP/1.1 404 Not Found\n"
            "        from http://host/\n"
            "        from http://host/a.html\n"
            "    -1  http://other/\n"
            "        Could not resolve  the host\n"
            "        from http://host/a.html\n"
            "\n"
            "Broken anchors: 2\n"
            "  http://host/#caf\xc3\xa9\n"
            "        from http://host/a.html\n"
            "  http://host/a.html#install\n"
            "        from http://host/\n"
            "        from http://host/a.html\n");
}

// A window reads a large map's figures a slice at a time: any slicing gives what one pass gives,
// and the nodes added meanwhile wait for the next summary.
TEST_F(SiteSummaryTest, FiguresReadInSlicesEqualThoseReadAtOnce) {
  TSpiderNode* home = Add("http://host/", "", 200);
  Add("http://host/a.html", "http://host/", 200)->SpellingErrors = 1;
  Add("http://host/gone.html", "http://host/", 404, "text/html", "HTTP/1.1 404 Not Found");
  Add("http://host/img/x.gif", "http://host/a.html", 200, "image/gif");
  Add("http://host/dl.zip", "http://host/", 200, "application/zip; charset=x");
  Add("http://host/moved", "http://host/", 301, "");
  Add("http://other/", "http://host/a.html", -1, "", "Could not resolve the host");
  Add("mailto:me@host", "http://host/", 200, "mailto");
  map.Anchors.AddMissing(home, "top2", home);
  const auto same = [](const TSiteCharts& a, const TSiteCharts& b) {
    return a.ByCode == b.ByCode && a.ByType == b.ByType && a.ByDepth == b.ByDepth;
  };
  int later = 0;
  for (size_t slice : {size_t{1}, size_t{3}, size_t{100}}) {
    SCOPED_TRACE(slice);
    const std::string report = SiteReportText(SummarizeSite(tree));
    const TSiteCharts charts = ChartSite(map);
    TSiteSummaryBuilder figures(tree);
    TSiteChartsBuilder pictures(map);
    int steps = 0;
    bool figuresRead = false, picturesRead = false;
    while (!(figuresRead && picturesRead) && ++steps < 100) {
      figuresRead = figures.Step(slice);
      picturesRead = pictures.Step(slice);
      // A node added after the builders were made: not read by them.
      if (steps == 1) Add("http://host/later" + std::to_string(++later) + ".html", "http://host/", 404);
    }
    EXPECT_EQ(SiteReportText(figures.Finish()), report);
    EXPECT_TRUE(same(pictures.Finish(), charts));
    EXPECT_EQ(steps, slice == 1 ? 8 : slice == 3 ? 3 : 1);  // 8, 9 and 10 nodes
  }
}

TEST_F(SiteSummaryTest, NothingBrokenLeavesOutTheBrokenSection) {
  Add("http://host/", "", 200);
  const TSiteSummary summary = SummarizeSite(tree);
  EXPECT_FALSE(summary.AnyBroken());
  const std::string report = SiteReportText(summary);
  EXPECT_EQ(report.find("Broken addresses"), std::string::npos);
  EXPECT_TRUE(report.ends_with("  Email Addresses         0\n")) << report;
}

TEST_F(SiteSummaryTest, AnIncompleteCrawlSaysSoAtTheTop) {
  Add("http://host/", "", 200);
  Add("http://host/gone.html", "http://host/", 404);
  TSiteSummary summary = SummarizeSite(tree);
  summary.Incomplete = true;
  summary.RequestsLeft = 12;
  const std::string report = SiteReportText(summary);
  EXPECT_TRUE(report.starts_with("Incomplete crawl: a limit suspended it with 12 requests left unmade.\n"
                                 "Site: http://host/\n"))
      << report;
  // What was found so far is listed as usual.
  EXPECT_NE(report.find("Broken addresses:\n   404  http://host/gone.html\n"), std::string::npos) << report;
  summary.RequestsLeft = 1;
  EXPECT_TRUE(SiteReportText(summary).starts_with("Incomplete crawl: a limit suspended it with 1 request left")) << report;
  summary.Incomplete = false;
  EXPECT_TRUE(SiteReportText(summary).starts_with("Site: ")) << report;
}

TEST(SiteSummary, ATreeWithoutItsCategoriesCountsNothing) {
  TSiteMap map;
  TSiteTree tree(map);
  const TSiteSummary summary = SummarizeSite(tree);
  for (int count : summary.Counts) EXPECT_EQ(count, 0);
  EXPECT_TRUE(summary.Broken.empty());
}

}  // namespace
