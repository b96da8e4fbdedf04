#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "Dialogs/UnitProgress.h"
#include "app/LocalFiles.h"
#include "app/SpiderTools.h"
#include "platform/Headless.h"
#include "support/TempDir.h"

namespace {

// The site of the examples: docs/ with index.html, a.html and img/b.gif, img/thumbs/c.gif.
class LocalFilesTest : public ::testing::Test {
 protected:
  LocalFilesTest() : tree(map) {
    tree.ResetSiteTree();
    map.SiteURI.Parse("http://host/");
    tree.UpdateSiteRootCaption();
  }
  TSpiderNode* Add(const std::string& address) {
    TURI uri(address);
    return NodeOf(tree.InsertURL(uri, nullptr, false));
  }
  TSiteMap map;
  TSiteTree tree;
};

TEST_F(LocalFilesTest, TheSharedRulesAnchorLevelAndAbsoluteNames) {
  TSpiderNode* index = Add("http://host/docs/index.html");
  TSpiderNode* a = Add("http://host/docs/a.html");
  TSpiderNode* b = Add("http://host/docs/b.html");
  TSpiderNode* c = Add("http://host/docs/c.html");
  TTreeEntry* docs = index->TreeNode->Parent;
  // No mapping: no anchor. A mapped sibling anchors the others, the nearest before first.
  EXPECT_EQ(LocalFileAnchor(b->TreeNode), nullptr);
  EXPECT_EQ(LocalFileAnchor(nullptr), nullptr);
  c->LocalFile = "/x/c.html";
  EXPECT_EQ(LocalFileAnchor(b->TreeNode), c->TreeNode);  // only one after it
  a->LocalFile = "/x/a.html";
  EXPECT_EQ(LocalFileAnchor(b->TreeNode), a->TreeNode);  // one before it wins
  EXPECT_EQ(LocalFileAnchor(c->TreeNode), c->TreeNode);  // a mapped entry is its own anchor
  // A document's mapping changes its folder; a folder's index.html changes the folder above.
  EXPECT_EQ(LocalMappingLevel(*a), docs);
  ASSERT_EQ(NodeOf(docs), index);  // a folder stands for its index.html
  EXPECT_EQ(LocalMappingLevel(*index), docs->Parent);
  // Relative names are made absolute against the current folder; others stay.
  EXPECT_EQ(AbsoluteLocalPath(""), "");
  EXPECT_EQ(AbsoluteLocalPath("/site/a.html"), "/site/a.html");
  EXPECT_EQ(AbsoluteLocalPath("site/a.html"), (std::filesystem::current_path() / "site/a.html").string());
  TempDir dir;
  EXPECT_TRUE(IsExistingLocalFile(dir.Write("page.html", "x")));
  EXPECT_FALSE(IsExistingLocalFile(dir.Str()));
  EXPECT_FALSE(IsExistingLocalFile(""));
}

TEST_F(LocalFilesTest, NamesFollowTheTreeBelowTheMappedDocument) {
  TSpiderNode* index = Add("http://host/docs/index.html");
  TSpiderNode* a = Add("http://host/docs/a.html");
  TSpiderNode* b = Add("http://host/docs/img/b.gif");
  TSpiderNode* c = Add("http://host/docs/img/thumbs/c.gif");
  EXPECT_EQ(a->LocalFileName(), "");
  index->SetLocalFile("/site/docs/index.html");
  EXPECT_EQ(index->LocalFileName(), "/site/docs/index.html");
  EXPECT_EQ(a->LocalFileName(), "/site/docs/a.html");
  EXPECT_EQ(b->LocalFileName(), "/site/docs/img/b.gif");
  EXPECT_EQ(c->LocalFileName(), "/site/docs/img/thumbs/c.gif");
}

TEST_F(LocalFilesTest, AnchorIsFoundAmongFollowingSiblings) {
  TSpiderNode* first = Add("http://host/dir/first.html");
  TSpiderNode* second = Add("http://host/dir/second.html");
  second->SetLocalFile("/out/second.html");
  EXPECT_EQ(first->LocalFileName(), "/out/first.html");
}

TEST_F(LocalFilesTest, SubfolderMappingKeepsTheOneAbove) {
  TSpiderNode* top = Add("http://host/docs/index.html");
  TSpiderNode* topOther = Add("http://host/docs/other.html");
  TSpiderNode* sub = Add("http://host/docs/img/b.gif");
  TSpiderNode* subOther = Add("http://host/docs/img/c.gif");
  top->SetLocalFile("/a/index.html");
  sub->SetLocalFile("/b/pictures/b.gif");
  EXPECT_EQ(top->LocalFile, "/a/index.html");
  EXPECT_EQ(subOther->LocalFileName(), "/b/pictures/c.gif");
  EXPECT_EQ(topOther->LocalFileName(), "/a/other.html");
}

TEST_F(LocalFilesTest, SettingClearsSiblingsAndEverythingBelow) {
  TSpiderNode* a = Add("http://host/dir/a.html");
  TSpiderNode* b = Add("http://host/dir/b.html");
  TSpiderNode* deep = Add("http://host/dir/sub/c.html");
  TSpiderNode* outside = Add("http://host/x.html");
  a->SetLocalFile("/1/a.html");
  deep->SetLocalFile("/2/c.html");
  outside->SetLocalFile("/3/x.html");
  b->SetLocalFile("/4/b.html");
  EXPECT_EQ(a->LocalFile, "");
  EXPECT_EQ(deep->LocalFile, "");
  EXPECT_EQ(outside->LocalFile, "/3/x.html");
  EXPECT_EQ(deep->LocalFileName(), "/4/sub/c.html");
  b->ClearLocalFiles();
  EXPECT_EQ(b->LocalFile, "");
  EXPECT_EQ(deep->LocalFileName(), "/3/dir/sub/c.html");
}

TEST_F(LocalFilesTest, SiblingFolderAnchorPlacesDocumentsBesideTheFolder) {
  TSpiderNode* index = Add("http://host/docs/index.html");
  TSpiderNode* page = Add("http://host/page.html");
  index->SetLocalFile("/site/docs/index.html");
  // The folder "docs" stands for its index.html; page.html lies next to the folder.
  EXPECT_EQ(page->LocalFileName(), "/site/page.html");
}

TEST_F(LocalFilesTest, SiblingFolderAnchorPlacesFoldersBesideIt) {
  TSpiderNode* index = Add("http://host/docs/index.html");
  TSpiderNode* deep = Add("http://host/other/sub/x.html");
  index->SetLocalFile("/site/docs/index.html");
  EXPECT_EQ(deep->LocalFileName(), "/site/other/sub/x.html");
  // An index.html at the root of the file system: its folder has no folder above it.
  index->SetLocalFile("/index.html");
  EXPECT_EQ(deep->LocalFileName(), "/other/sub/x.html");
}

TEST_F(LocalFilesTest, NoAnchorMeansNoLocalFile) {
  TempDir dir;
  dir.Write("b/b.html", "bb");
  TSpiderNode* a = Add("http://host/a.html");
  TSpiderNode* b = Add("http://host/b/b.html");
  TSpiderNode* other = Add("http://host/c/c.html");
  EXPECT_EQ(b->LocalFileName(), "");
  a->SetLocalFile(dir.File("a.html"));
  EXPECT_EQ(b->LocalFileName(), dir.File("b/b.html"));
  EXPECT_EQ(b->LocalSize, 2);
  // A mapped document inside a folder is no anchor for the folders beside it.
  b->SetLocalFile(dir.File("b/b.html"));
  a->LocalFile.clear();
  EXPECT_EQ(other->LocalFileName(), "");
  b->ClearLocalFiles();
  a->SetLocalFile(dir.File("a.html"));
  a->ClearLocalFiles();
  EXPECT_EQ(b->LocalFileName(), "");
  EXPECT_EQ(b->LocalSize, -1);
}

TEST_F(LocalFilesTest, OtherCategoriesNeverDeriveFromTheSite) {
  TSpiderNode* home = Add("http://host/index.html");
  TSpiderNode* external = Add("http://elsewhere.example/page.html");
  TURI mail;
  ResolveLink(mail, "mailto:someone@host", nullptr);
  TSpiderNode* address = NodeOf(tree.InsertURL(mail, nullptr, false));
  ASSERT_NE(external->TreeNode->Parent, home->TreeNode->Parent);
  home->SetLocalFile("/site/index.html");
  // Their captions are whole addresses; a file name made of them would be meaningless.
  EXPECT_EQ(external->LocalFileName(), "");
  EXPECT_EQ(address->LocalFileName(), "");
}

TEST_F(LocalFilesTest, RelativeNamesAreMadeAbsolute) {
  TSpiderNode* index = Add("http://host/docs/index.html");
  TSpiderNode* a = Add("http://host/docs/a.html");
  index->SetLocalFile("mirror/index.html");
  const std::string cwd = std::filesystem::current_path().string();
  EXPECT_EQ(index->LocalFile, cwd + "/mirror/index.html");
  EXPECT_EQ(a->LocalFileName(), cwd + "/mirror/a.html");
  // A relative name from elsewhere (an older project file) is read the same way.
  index->LocalFile = "out/index.html";
  EXPECT_EQ(a->LocalFileName(), cwd + "/out/a.html");
  EXPECT_EQ(index->LocalFileName(), cwd + "/out/index.html");
}

// Counts the entries whose display the model refreshed.
class ChangeRecorder : public TSiteTreeObserver {
 public:
  void EntryChanged(TTreeEntry* entry) override { Changed.push_back(entry); }
  int Count(const TTreeEntry* entry) const {
    return static_cast<int>(std::count(Changed.begin(), Changed.end(), entry));
  }
  std::vector<TTreeEntry*> Changed;
};

TEST_F(LocalFilesTest, MappingRefreshesTheStatusOfEveryNameItChanges) {
  TempDir dir;
  TSpiderNode* index = Add("http://host/docs/index.html");
  TSpiderNode* inside = Add("http://host/docs/img/b.gif");
  TSpiderNode* beside = Add("http://host/page.html");
  dir.Write("docs/img/b.gif", "gif");
  dir.Write("page.html", "page!");
  ChangeRecorder recorder;
  tree.AddObserver(&recorder);
  // The folder's index.html stands for the folder: the page beside the folder gets a name too.
  index->SetLocalFile(dir.File("docs/index.html"));
  EXPECT_EQ(inside->LocalSize, 3);
  EXPECT_EQ(beside->LocalSize, 5);
  EXPECT_GT(beside->LocalDate, 0);
  EXPECT_EQ(recorder.Count(beside->TreeNode), 1);
  EXPECT_GE(recorder.Count(inside->TreeNode), 1);
  recorder.Changed.clear();
  index->ClearLocalFiles();
  EXPECT_EQ(inside->LocalSize, -1);
  EXPECT_EQ(inside->LocalDate, 0);
  EXPECT_EQ(beside->LocalSize, -1);
  EXPECT_GE(recorder.Count(inside->TreeNode), 1);
  EXPECT_EQ(recorder.Count(beside->TreeNode), 1);
  tree.RemoveObserver(&recorder);
}

TEST_F(LocalFilesTest, LocalAddressIsItsOwnFile) {
  map.SiteURI.Parse("file://LocalHost/home/me/site/");
  TURI uri;
  ResolveLink(uri, "/home/me/site/a.html", nullptr);
  TSpiderNode* n = NodeOf(tree.InsertURL(uri, nullptr, false));
  EXPECT_EQ(n->LocalFileName(), "/home/me/site/a.html");
  n->LocalFile = "/elsewhere/a.html";
  EXPECT_EQ(n->LocalFileName(), "/home/me/site/a.html");
  // A local file that a web site names is not this machine's copy of anything.
  map.SiteURI.Parse("http://host/");
  EXPECT_EQ(n->LocalFileName(), "");
}

TEST_F(LocalFilesTest, MapToLocalPathAddsTheCaption) {
  TSpiderNode* n = Add("http://host/d/page.html");
  n->MapToLocalPath("/out");
  EXPECT_EQ(n->LocalFile, "/out/page.html");
  n->MapToLocalPath("/out2/");
  EXPECT_EQ(n->LocalFile, "/out2/page.html");
}

TEST_F(LocalFilesTest, LocalStatusFromDisk) {
  TempDir dir;
  const std::string file = dir.Write("docs/index.html", "hello");
  TSpiderNode* index = Add("http://host/docs/index.html");
  TSpiderNode* a = Add("http://host/docs/a.html");
  index->SetLocalFile(file);
  EXPECT_EQ(index->LocalSize, 5);
  EXPECT_GT(index->LocalDate, 0);
  EXPECT_EQ(a->LocalSize, -1);
  EXPECT_EQ(a->LocalDate, 0);
  EXPECT_EQ(index->PreviewTarget(), file);
  EXPECT_EQ(a->PreviewTarget(), "http://host/docs/a.html");
  dir.Write("docs/a.html", "0123456789");
  map.Modified = false;
  TFormProgress* none = nullptr;
  map.RefreshAllLocalStatus(none);
  EXPECT_EQ(a->LocalSize, 10);
  EXPECT_TRUE(map.Modified);
}

TEST_F(LocalFilesTest, RefreshAllShowsProgress) {
  Add("http://host/a.html");
  Add("http://host/b.html");
  Add("http://host/c.html");
  platform::HeadlessUiThread ui;
  platform::HeadlessProgressWindow window;
  platform::Services services;
  services.Ui = &ui;
  services.Progress = &window;
  TFormProgress progress(services);
  progress.Run([&](TFormProgress& p) { map.RefreshAllLocalStatus(&p); });
  EXPECT_EQ(window.Max, 2);
  EXPECT_EQ(window.Position, 2);
  EXPECT_EQ(window.PercentText, "100% Done.");
}

TEST_F(LocalFilesTest, SelectLocalFileName) {
  TSpiderNode* n = Add("http://host/d/page.html");
  platform::HeadlessPrompter ask;
  ask.QueueFile(std::nullopt);
  EXPECT_FALSE(n->SelectLocalFileName(ask));
  ASSERT_EQ(ask.Log.size(), 1u);
  EXPECT_EQ(ask.Log[0].Text, "Select Local File Name");
  EXPECT_EQ(ask.Log[0].Detail, std::filesystem::current_path().string() + "/page.html");
  ask.QueueFile("/chosen/page.html");
  EXPECT_TRUE(n->SelectLocalFileName(ask));
  EXPECT_EQ(n->LocalFile, "/chosen/page.html");
  // A mapped node proposes its own name.
  ask.QueueFile(std::nullopt);
  EXPECT_FALSE(n->SelectLocalFileName(ask));
  EXPECT_EQ(ask.Log.back().Detail, "/chosen/page.html");
  EXPECT_TRUE(ask.Unexpected.empty());
}

TEST(ProgressRunner, PercentTextAndSwallowedErrors) {
  EXPECT_EQ(TFormProgress::PercentText(1, 3), "33% Done.");
  EXPECT_EQ(TFormProgress::PercentText(2, 3), "67% Done.");
  EXPECT_EQ(TFormProgress::PercentText(5, 4), "125% Done.");
  EXPECT_EQ(TFormProgress::PercentText(0, 0), "100% Done.");
  platform::Services none;
  TFormProgress progress(none);
  bool ran = false;
  EXPECT_TRUE(progress.Run([&](TFormProgress&) {
    ran = true;
    throw std::runtime_error("boom");
  }));
  EXPECT_TRUE(ran);
}

}  // namespace
