#include "app/History.h"

#include <gtest/gtest.h>

#include <map>

#include "app/SpiderTools.h"

namespace {

class HistoryTest : public ::testing::Test {
 protected:
  HistoryTest() : tree(map) {
    for (const char* c : {"home", "about", "news", "shop"}) e[c] = tree.FindOrAddChild(tree.SiteRoot(), c);
  }
  TSiteMap map;
  TSiteTree tree;
  std::map<std::string, TTreeEntry*> e;
  TNavigationHistory h;
};

TEST_F(HistoryTest, ReselectingTheCurrentEntryRecordsNothing) {
  h.Record(e["home"]);
  h.Record(e["home"]);
  EXPECT_EQ(h.Entries.size(), 1u);
  EXPECT_FALSE(h.CanGoBack());
  EXPECT_FALSE(h.CanGoForward());
}

TEST_F(HistoryTest, SelectingTheNextForwardEntryKeepsTheRest) {
  h.Record(e["home"]);
  h.Record(e["about"]);
  h.Record(e["news"]);
  EXPECT_EQ(h.Move(-1), e["about"]);
  EXPECT_EQ(h.Move(-1), e["home"]);
  h.Record(e["about"]);
  EXPECT_TRUE(h.CanGoForward());
  EXPECT_EQ(h.ForwardList(), (std::vector<std::string>{"1. news"}));
}

TEST_F(HistoryTest, SelectingElsewhereDropsTheForwardEntries) {
  h.Record(e["home"]);
  h.Record(e["about"]);
  h.Record(e["news"]);
  h.Move(-1);
  h.Record(e["shop"]);
  EXPECT_EQ(h.Entries, (std::vector<TTreeEntry*>{e["home"], e["about"], e["shop"]}));
  EXPECT_FALSE(h.CanGoForward());
}

TEST_F(HistoryTest, BackListItemMovesThere) {
  h.Record(e["home"]);
  h.Record(e["about"]);
  h.Record(e["home"]);
  EXPECT_EQ(h.BackList(), (std::vector<std::string>{"1. about", "2. home"}));
  EXPECT_EQ(h.Move(-2), e["home"]);
  EXPECT_EQ(h.Index, 1);
  EXPECT_FALSE(h.CanGoBack());
  EXPECT_EQ(h.ForwardList(), (std::vector<std::string>{"1. about", "2. home"}));
}

TEST_F(HistoryTest, ListsShowAtMostEight) {
  for (int i = 0; i < 21; ++i) h.Record(i % 2 ? e["home"] : e["about"]);
  EXPECT_EQ(h.BackList().size(), 8u);
  EXPECT_EQ(h.BackList().front(), "1. home");
  h.Move(-20);
  EXPECT_EQ(h.ForwardList().size(), 8u);
  EXPECT_EQ(h.Move(-1), nullptr);
  h.Reset();
  EXPECT_EQ(h.Current(), nullptr);
}

}  // namespace
