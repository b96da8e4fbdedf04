#include "app/MenuRules.h"

#include <gtest/gtest.h>

#include "app/NodeList.h"
#include "app/SpiderTools.h"

namespace {

class MenuRulesTest : public ::testing::Test {
 protected:
  MenuRulesTest() : tree(map) {
    tree.ResetSiteTree();
    map.SiteURI.Parse("http://host/");
    tree.UpdateSiteRootCaption();
  }
  TSpiderNode* Add(const std::string& address, const std::string& type, int code = 200) {
    TURI uri(address);
    TSpiderNode* n = NodeOf(tree.InsertURL(uri, nullptr, false));
    n->ContentType = type;
    n->ResponseCode = code;
    return n;
  }
  TSiteMap map;
  TSiteTree tree;
};

TEST_F(MenuRulesTest, TreeMenuFollowsTheSelectedNode) {
  TSpiderNode* page = Add("http://host/docs/a.html", "text/html");
  TSpiderNode* image = Add("http://host/docs/b.png", "image/png");
  TSpiderNode* broken = Add("http://host/docs/gone.html", "text/html", 404);
  TSpiderNode* external = Add("http://other/x.html", "text/html");
  TSpiderNode* video = Add("http://host/docs/v.mp4", "video/mp4");
  image->LocalFile = "/tmp/b.png";
  struct Case {
    const char* Name;
    TTreeEntry* Entry;
    bool Open, Edit, Spelling, MapName, Clear;
  } cases[] = {
      {"nothing", nullptr, false, false, false, false, false},
      {"page", page->TreeNode, true, true, true, true, false},
      {"mapped image", image->TreeNode, true, true, false, true, true},
      {"broken page", broken->TreeNode, true, false, false, false, false},
      {"external page", external->TreeNode, true, false, false, false, false},
      {"video", video->TreeNode, true, false, false, false, false},
      {"filter root", tree.Root(rkAll), false, false, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const TNodeMenuState s = TreeMenuState(tree, c.Entry);
    EXPECT_EQ(s.Open, c.Open);
    EXPECT_EQ(s.Properties, c.Open);
    EXPECT_EQ(s.Edit, c.Edit);
    EXPECT_EQ(s.DownloadToLocalFile, c.Edit);
    EXPECT_EQ(s.Spelling, c.Spelling);
    EXPECT_EQ(s.MaptoLocalFilenameVisible, c.MapName);
    EXPECT_EQ(s.ClearLocalFilename, c.Clear);
    EXPECT_TRUE(s.Refresh);
  }
}

TEST_F(MenuRulesTest, MapToLocalPathNeedsAFolderOfTheSiteWithANode) {
  TSpiderNode* page = Add("http://host/docs/a.html", "text/html");
  Add("http://other/x.html", "text/html");
  TTreeEntry* docs = page->TreeNode->Parent;
  EXPECT_TRUE(TreeMenuState(tree, docs).MaptoLocalPathVisible);
  EXPECT_EQ(MapToLocalPathTarget(tree, docs), page);
  // The site root's first child, docs, has no index.html behind it.
  EXPECT_FALSE(TreeMenuState(tree, tree.SiteRoot()).MaptoLocalPathVisible);
  EXPECT_FALSE(TreeMenuState(tree, page->TreeNode).MaptoLocalPathVisible);  // no children
  EXPECT_FALSE(TreeMenuState(tree, tree.Root(rkAll)).MaptoLocalPathVisible);
  EXPECT_FALSE(TreeMenuState(tree, nullptr).MaptoLocalPathVisible);
}

TEST_F(MenuRulesTest, ListMenuActsOnTheFirstSelectedRow) {
  TSpiderNode* page = Add("http://host/a.html", "text/html");
  TSpiderNode* image = Add("http://host/b.png", "image/png");
  TNodeList list;
  list.AddRow(page->TreeNode);
  list.AddRow(image->TreeNode);
  TNodeMenuState s = ListMenuState(tree, list);
  EXPECT_FALSE(s.Open);
  EXPECT_FALSE(s.Export);
  EXPECT_TRUE(s.SelectAll);
  list.Row(1)->Selected = true;
  s = ListMenuState(tree, list);
  EXPECT_EQ(s.Node, image);
  EXPECT_TRUE(s.Edit);
  EXPECT_FALSE(s.Spelling);
  EXPECT_TRUE(s.Export);
  EXPECT_TRUE(s.SelectAll);
  list.Row(0)->Selected = true;
  s = ListMenuState(tree, list);
  EXPECT_EQ(s.Node, page);
  EXPECT_TRUE(s.Spelling);
  EXPECT_FALSE(s.SelectAll);  // all rows are selected
}

TEST(EditMenuRules, TextItemsFollowTheAddressBoxAndEditFollowsTheFocusedView) {
  struct Case {
    const char* Name;
    TEditMenuInput In;
    TEditMenuState Out;
  } cases[] = {
      {"nothing focused", {}, {}},
      {"address, no selection", {true, 0, 5, false}, {true, true, false, false, false, true, false, false}},
      {"address, part selected, clipboard", {true, 2, 5, true}, {true, true, true, true, true, true, false, false}},
      {"address, all selected", {true, 5, 5, false}, {true, true, true, true, false, false, false, false}},
      {"tree with an editable page",
       {false, 0, 0, true, true, false, true, true},
       {false, false, false, false, false, false, true, true}},
      {"list with an image",
       {false, 0, 0, false, false, true, false, false, true, false},
       {false, false, false, false, false, false, true, false}},
      {"editable node but no view focused", {false, 0, 0, false, false, false, true, true, true, true}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const TEditMenuState s = EditMenuState(c.In);
    EXPECT_EQ(s.TextItemsVisible, c.Out.TextItemsVisible);
    EXPECT_EQ(s.Undo, c.Out.Undo);
    EXPECT_EQ(s.Cut, c.Out.Cut);
    EXPECT_EQ(s.Copy, c.Out.Copy);
    EXPECT_EQ(s.Paste, c.Out.Paste);
    EXPECT_EQ(s.SelectAll, c.Out.SelectAll);
    EXPECT_EQ(s.EditFile, c.Out.EditFile);
    EXPECT_EQ(s.Spelling, c.Out.Spelling);
  }
}

}  // namespace
