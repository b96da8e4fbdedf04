#include "app/CrawlTally.h"

#include <gtest/gtest.h>

#include "app/SiteCharts.h"
#include "app/SpiderNode.h"

namespace {

class CrawlTallyTest : public ::testing::Test {
 protected:
  CrawlTallyTest() : tree(map) {
    tree.ResetSiteTree();
    tree.UpdateSiteRootCaption();
  }
  TSpiderNode* Add(const std::string& address) {
    TURI uri;
    ResolveLink(uri, address, nullptr);
    return tree.InsertURL(uri, nullptr, false)->Node;
  }
  void Answer(TSpiderNode* node, int code, const std::string& text = std::string()) {
    node->ResponseCode = code;
    node->ResponseText = text;
    node->RefreshIcon();
  }
  TSiteMap map;
  TSiteTree tree;
};

// The figures follow the answers as they are recorded, and a reset or a recount gives the same.
TEST_F(CrawlTallyTest, FiguresFollowTheAnswers) {
  TCrawlTally tally(tree);
  TSpiderNode* a = Add("http://LocalHost/a.html");
  TSpiderNode* b = Add("http://LocalHost/b.html");
  TSpiderNode* c = Add("http://LocalHost/c.html");
  EXPECT_EQ(tally.Found(), 3);
  EXPECT_EQ(tally.Checked(), 0);
  Answer(a, 200);
  Answer(b, 404);
  EXPECT_EQ(tally.Checked(), 2);
  EXPECT_EQ(tally.Broken(), 1);
  Answer(b, 200);  // answered again
  Answer(c, -1, "Couldn't connect to server");
  EXPECT_EQ(tally.Checked(), 3);
  EXPECT_EQ(tally.Broken(), 1);
  Answer(a, 302, kRedirectLoopText);
  EXPECT_EQ(tally.Broken(), 2);
  TCrawlTally fresh(tree);
  EXPECT_EQ(fresh.Checked(), tally.Checked());
  EXPECT_EQ(fresh.Broken(), tally.Broken());
  tree.ResetSiteTree();
  EXPECT_EQ(tally.Found(), 0);
  EXPECT_EQ(tally.Checked(), 0);
  EXPECT_EQ(tally.Broken(), 0);
}

TEST_F(CrawlTallyTest, RequestsPerSecondOverTheLastSeconds) {
  TCrawlTally tally(tree);
  EXPECT_EQ(tally.RequestsPerSecond(), 0);
  const struct {
    double Seconds;
    long Done;
    int Rate;
  } steps[] = {{0.0, 0, 0}, {0.5, 50, 100}, {1.0, 100, 100}, {2.0, 100, 50}, {3.0, 130, 15}, {4.0, 190, 45},
               {4.1, 0, 0}};  // a new crawl starts its count again
  for (const auto& s : steps) {
    tally.Sample(s.Seconds, s.Done);
    EXPECT_EQ(tally.RequestsPerSecond(), s.Rate) << s.Seconds;
  }
}

TEST_F(CrawlTallyTest, ChartsCountCodesTypesAndDepths) {
  TSpiderNode* home = Add("http://LocalHost/");
  TSpiderNode* page = Add("http://LocalHost/a.html");
  TSpiderNode* deep = Add("http://LocalHost/b/c.html");
  TSpiderNode* image = Add("http://LocalHost/logo.png");
  TSpiderNode* gone = Add("http://LocalHost/gone.html");
  TSpiderNode* down = Add("http://LocalHost/down.html");
  Add("http://LocalHost/later.html");
  Add("mailto:someone@example.com");
  for (TSpiderNode* n : {home, page, deep}) {
    n->ContentType = "text/html; charset=utf-8";
    n->ResponseCode = 200;
  }
  home->Depth = 0;
  page->Depth = 1;
  deep->Depth = 2;
  image->ContentType = "IMAGE/PNG";
  image->ResponseCode = 200;
  gone->ContentType = "text/html";
  gone->ResponseCode = 404;
  down->ResponseCode = -1;
  const TSiteCharts charts = ChartSite(map);
  EXPECT_EQ(charts.ByCode, (std::vector<TChartBar>{{"200", 4}, {"404", 1}, {"failed", 1}, {"not checked", 1}}));
  EXPECT_EQ(charts.ByType,
            (std::vector<TChartBar>{{"text/html", 4}, {"unknown", 2}, {"image/png", 1}, {"mailto", 1}}));
  EXPECT_EQ(charts.ByDepth, (std::vector<TChartBar>{{"0", 1}, {"1", 1}, {"2", 1}}));
}

}  // namespace
