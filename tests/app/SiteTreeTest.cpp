#include "app/SpiderTools.h"

#include <gtest/gtest.h>

#include "app/NodeList.h"
#include "support/RecordingQueue.h"

namespace {

class SiteTreeTest : public ::testing::Test {
 protected:
  SiteTreeTest() : tree(map, &queue) {
    tree.HeadCallback = [](THTTPClient&) {};
    tree.ResetSiteTree();
    queue.Terminations = 0;
  }
  void SetSite(const std::string& address) {
    map.SiteURI.Parse(address);
    tree.UpdateSiteRootCaption();
  }
  TTreeEntry* Insert(const std::string& address, const std::string& referer = "", bool check = true) {
    TURI uri;
    ResolveLink(uri, address, nullptr);
    if (referer.empty()) return tree.InsertURL(uri, nullptr, check);
    TURI ref(referer);
    return tree.InsertURL(uri, &ref, check);
  }
  std::string Path(TTreeEntry* e) { return NodePath(e); }
  std::vector<std::string> HeadURLs() const {
    std::vector<std::string> v;
    for (const auto& r : queue.Heads) v.push_back(r.URL);
    return v;
  }

  RecordingQueue queue;
  TSiteMap map;
  TSiteTree tree;
};

TEST_F(SiteTreeTest, ResetCreatesSeventeenRootsAndClearsModified) {
  ASSERT_EQ(tree.TopLevel().size(), 17u);
  const char* captions[] = {"All",
                            "Broken Links",
                            "Broken Anchors",
                            "Redirected Links",
                            "HTML",
                            "Images",
                            "Audio",
                            "Video",
                            "Applications",
                            "Spelling Errors",
                            "Internal Links",
                            "External Links",
                            "News",
                            "JavaScript",
                            "Other",
                            "Email Addresses",
                            ""};
  for (int i = 0; i < 17; ++i) EXPECT_EQ(tree.TopLevel()[i]->Caption, captions[i]);
  EXPECT_FALSE(map.Modified);
  EXPECT_EQ(map.SiteURI.Compose(), "http://LocalHost/");
  Insert("http://LocalHost/a.html");
  EXPECT_TRUE(map.Modified);
  tree.ResetSiteTree();
  EXPECT_EQ(queue.Terminations, 1);
  EXPECT_EQ(map.Count(), 0);
  EXPECT_FALSE(tree.SiteRoot()->HasChildren());
  EXPECT_FALSE(map.Modified);
}

TEST_F(SiteTreeTest, InternalAddressesFollowTheirPath) {
  SetSite("http://host/");
  TTreeEntry* home = Insert("http://host/");
  EXPECT_EQ(home->Caption, "index.html");
  EXPECT_EQ(home->Parent, tree.SiteRoot());
  TTreeEntry* dirIndex = Insert("http://host/dir/");
  EXPECT_EQ(dirIndex->Caption, "index.html");
  EXPECT_EQ(dirIndex->Parent->Caption, "dir");
  // "dir" without a slash finds the folder whose index.html already has a node.
  const int before = map.Count();
  EXPECT_EQ(Insert("http://host/dir"), dirIndex->Parent);
  EXPECT_EQ(map.Count(), before);
  EXPECT_EQ(HeadURLs(), (std::vector<std::string>{"http://host/", "http://host/dir/"}));
}

TEST_F(SiteTreeTest, FolderWithoutIndexReceivesTheNode) {
  SetSite("http://host/");
  Insert("http://host/dir/a.html");
  TTreeEntry* folder = Insert("http://host/dir");
  EXPECT_EQ(folder->Caption, "dir");
  ASSERT_NE(folder->Node, nullptr);
  EXPECT_EQ(folder->Node->URLText(), "http://host/dir");
}

TEST_F(SiteTreeTest, QueryAndFragmentShareOneNode) {
  SetSite("http://host/");
  TTreeEntry* a = Insert("http://host/page.php?id=1", "http://host/");
  TTreeEntry* b = Insert("http://host/page.php?id=2", "http://host/other.html");
  EXPECT_EQ(a, b);
  EXPECT_EQ(NodeOf(a)->URLText(), "http://host/page.php?id=1");
  EXPECT_EQ(NodeOf(a)->Referers.size(), 2u);
  EXPECT_EQ(queue.Heads[0].URL, "http://host/page.php?id=1");
  EXPECT_EQ(queue.Heads[0].Referer, "http://host/");
  EXPECT_TRUE(queue.Heads[0].HasCallback);
  EXPECT_EQ(Insert("http://host/a.html#top"), Insert("http://host/a.html"));
}

TEST_F(SiteTreeTest, CaptionsMatchIgnoringCaseFirstSpellingWins) {
  SetSite("http://host/");
  TTreeEntry* first = Insert("http://host/Page.html");
  EXPECT_EQ(Insert("http://host/page.html"), first);
  EXPECT_EQ(first->Caption, "Page.html");
}

TEST_F(SiteTreeTest, FoldersOfAnySizeFindACaptionInAnySpelling) {
  // Small folders are searched entry by entry, large ones through their index: both keep the
  // first spelling and find it under any other.
  for (const int size : {3, 16, 17, 40, 1000}) {
    SCOPED_TRACE(size);
    tree.ResetSiteTree();
    SetSite("http://host/");
    for (int i = 0; i < size; ++i) Insert("http://host/f/Page" + std::to_string(i) + ".html");
    TTreeEntry* folder = tree.SiteRoot()->Child(0);
    ASSERT_EQ(folder->Count(), size);
    for (const int i : {0, size / 2, size - 1}) {
      const std::string caption = "Page" + std::to_string(i) + ".html";
      TTreeEntry* upper = Insert("http://host/F/PAGE" + std::to_string(i) + ".HTML");
      EXPECT_EQ(upper->Caption, caption);
      EXPECT_EQ(upper, folder->Child(i));
    }
    EXPECT_EQ(folder->Count(), size);
    EXPECT_EQ(Insert("http://host/f/new.html")->Index, size);
    EXPECT_EQ(Insert("http://host/f/NEW.html"), folder->Child(size));
  }
}

TEST_F(SiteTreeTest, NonDefaultPortIsKept) {
  SetSite("http://host:8080/");
  EXPECT_EQ(tree.SiteRoot()->Caption, "http://host:8080/");
  TTreeEntry* e = Insert("http://host:8080/a.html");
  EXPECT_EQ(NodeOf(e)->URLText(), "http://host:8080/a.html");
  EXPECT_EQ(queue.Heads.back().URL, "http://host:8080/a.html");
  TTreeEntry* d = Insert("http://host:80/b.html#x");
  EXPECT_EQ(NodeOf(d)->URLText(), "http://host/b.html");
  EXPECT_EQ(TreeNodeURL(e), "http://host:8080/a.html");
}

TEST_F(SiteTreeTest, FragmentOnlyLinkMapsToThePage) {
  SetSite("http://host/");
  TURI page("http://host/dir/page.html");
  TTreeEntry* own = Insert("http://host/dir/page.html");
  queue.Heads.clear();
  for (const char* text : {"#top", "?page=2", ""}) {
    TURI link;
    ResolveLink(link, text, &page);
    EXPECT_EQ(tree.InsertURL(link, &page, true), own) << text;
  }
  // The page is known already: nothing is queued, and no folder entry appears.
  EXPECT_TRUE(queue.Heads.empty());
  EXPECT_EQ(own->Parent->Count(), 1);
}

TEST_F(SiteTreeTest, ExternalAndInternalBySiteRoot) {
  SetSite("http://host/dir/");
  TTreeEntry* ext = Insert("http://host/other/x.html");
  EXPECT_EQ(ext->Parent, tree.Root(rkExternal));
  EXPECT_EQ(ext->Caption, "http://host/other/x.html");
  TTreeEntry* in = Insert("http://HOST/DIR/x.html");
  EXPECT_EQ(in->Parent, tree.SiteRoot());
  // One external child per distinct address text, query and credentials included.
  EXPECT_NE(Insert("http://other/x?a=1"), Insert("http://other/x?a=2"));
  EXPECT_EQ(Insert("http://OTHER/x?a=1"), Insert("http://other/x?a=1"));
}

TEST_F(SiteTreeTest, HttpsIsCheckedToo) {
  SetSite("http://host/dir/");
  TTreeEntry* e = Insert("https://host/dir/x.html");
  EXPECT_EQ(e->Parent, tree.SiteRoot());
  EXPECT_EQ(HeadURLs(), (std::vector<std::string>{"https://host/dir/x.html"}));
}

TEST_F(SiteTreeTest, OnlyRequestableAndAllowedAddressesAreQueued) {
  SetSite("http://host/");
  Insert("ftp://host/file.zip");
  Insert("file://LocalHost/tmp/x.html");
  tree.ValidateExternalURLs = false;
  TTreeEntry* ext = Insert("http://other/page.html");
  EXPECT_EQ(NodeOf(ext)->ResponseCode, 0);
  Insert("http://host/in.html");
  Insert("http://host/nocheck.html", "", false);
  // A local file met on a web site is listed, never requested.
  EXPECT_EQ(HeadURLs(), (std::vector<std::string>{"http://host/in.html"}));
  tree.ValidateExternalURLs = true;
  Insert("http://other2/page.html");
  EXPECT_EQ(HeadURLs().back(), "http://other2/page.html");
}

TEST_F(SiteTreeTest, AnotherPortIsAnotherServer) {
  SetSite("http://host:8080/");
  TTreeEntry* a = Insert("http://host:8081/a.html");
  TTreeEntry* b = Insert("http://host:8082/a.html");
  EXPECT_NE(a, b);
  EXPECT_EQ(a->Parent, tree.Root(rkExternal));
  EXPECT_EQ(a->Caption, "http://host:8081/a.html");
  EXPECT_EQ(b->Caption, "http://host:8082/a.html");
  EXPECT_EQ(Insert("http://HOST:8080/a.html")->Parent, tree.SiteRoot());
  // Without the option, other servers are listed and not checked.
  tree.ValidateExternalURLs = false;
  Insert("http://host:8083/a.html");
  EXPECT_EQ(HeadURLs(), (std::vector<std::string>{"http://host:8081/a.html", "http://host:8082/a.html",
                                                  "http://HOST:8080/a.html"}));
  // The scheme's default port is no port: http://h:80/ is http://h/.
  SetSite("http://h/");
  EXPECT_EQ(Insert("http://h:80/x.html")->Parent, tree.SiteRoot());
  EXPECT_EQ(Insert("https://h:443/y.html")->Parent, tree.SiteRoot());
  EXPECT_EQ(Insert("http://h:443/z.html")->Parent, tree.Root(rkExternal));
}

TEST_F(SiteTreeTest, IPv6HostsAreHostsOfTheirOwn) {
  SetSite("http://[::1]:8080/");
  EXPECT_EQ(Insert("http://[::1]:8080/a.html")->Parent, tree.SiteRoot());
  TTreeEntry* other = Insert("http://[::2]:8080/a.html");
  EXPECT_EQ(other->Parent, tree.Root(rkExternal));
  EXPECT_EQ(other->Caption, "http://[::2]:8080/a.html");
  EXPECT_EQ(Insert("http://[::1]:8081/a.html")->Parent, tree.Root(rkExternal));
  EXPECT_EQ(Insert("http://[::1]/a.html")->Parent, tree.Root(rkExternal));
}

struct ScopeCase {
  const char* site;
  const char* address;
  bool internal;
  bool queued;  // with "Validate External URL's" on
};

void PrintTo(const ScopeCase& c, std::ostream* os) { *os << c.site << " links to " << c.address; }

class LocalFileScopeTest : public SiteTreeTest, public ::testing::WithParamInterface<ScopeCase> {};

TEST_P(LocalFileScopeTest, LocalFilesAreRequestedOnlyInALocalCrawl) {
  const ScopeCase& c = GetParam();
  SetSite(c.site);
  TTreeEntry* e = Insert(c.address);
  EXPECT_EQ(e->Parent == tree.Root(rkExternal), !c.internal);
  EXPECT_EQ(NodeOf(e)->IsInternal(), c.internal);
  EXPECT_EQ(HeadURLs().size(), c.queued ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Addresses, LocalFileScopeTest,
                         ::testing::Values(
                             // A web site: local files are listed under External Links and never requested.
                             ScopeCase{"http://host/", "file://LocalHost/etc/shadow", false, false},
                             ScopeCase{"http://localhost/", "file://LocalHost/etc/shadow", false, false},
                             ScopeCase{"http://localhost/", "file:///etc/shadow", false, false},
                             ScopeCase{"http://LocalHost/", "file://LocalHost/index.html", false, false},
                             ScopeCase{"https://localhost/", "file://localhost/", false, false},
                             // A local crawl: its folder is internal, other local files are checked as external ones.
                             ScopeCase{"file://LocalHost/srv/site/", "file://LocalHost/srv/site/a.html", true, true},
                             ScopeCase{"file://LocalHost/srv/site/", "file:///srv/site/b.html", true, true},
                             ScopeCase{"file://LocalHost/srv/site/", "file://LocalHost/etc/passwd", false, true},
                             // Only this machine's files are local files.
                             ScopeCase{"file://LocalHost/srv/site/", "file://server/srv/site/a.html", false, false},
                             // Web addresses met in a local crawl are web addresses.
                             ScopeCase{"file://LocalHost/srv/site/", "http://LocalHost/srv/site/a.html", false, true}));

TEST_F(SiteTreeTest, SpecialAddressesGoToTheirCategories) {
  struct {
    const char* link;
    TSiteRootKind root;
    const char* type;
  } cases[] = {{"mailto:webmaster", rkEmail, "mailto"},
               {"about:blank", rkOther, "about"},
               {"news:group", rkNews, "news"},
               {"javascript:void(0)", rkJavaScript, "javascript"},
               {"JavaScript:go()", rkJavaScript, "JavaScript"},
               {"data:text/plain,hello", rkOther, "data"},
               {"tel:+1-555-0100", rkOther, "tel"},
               {"sms:+15550100", rkOther, "sms"},
               {"callto:someone", rkOther, "callto"},
               {"geo:37.78,-122.4", rkOther, "geo"},
               {"blob:https://host/5c1d", rkOther, "blob"},
               {"chrome://settings/", rkOther, "chrome"},
               {"view-source:http://host/", rkOther, "view-source"},
               {"irc://irc.example/chan", rkOther, "irc"}};
  for (const auto& c : cases) {
    TTreeEntry* e = Insert(c.link, "http://LocalHost/");
    EXPECT_EQ(e->Parent, tree.Root(c.root)) << c.link;
    EXPECT_EQ(e->Caption, c.link);
    EXPECT_EQ(NodeOf(e)->ResponseCode, 200);
    EXPECT_EQ(NodeOf(e)->ContentType, c.type);
    EXPECT_FALSE(NodeOf(e)->IsBroken()) << c.link;
  }
  const size_t heads = queue.Heads.size();
  TTreeEntry* again = Insert("mailto:webmaster", "http://LocalHost/b.html");
  EXPECT_EQ(NodeOf(again)->Referers.size(), 2u);
  // Only the new referer page was queued; the mail address never is.
  EXPECT_EQ(queue.Heads.size(), heads + 1);
  EXPECT_EQ(queue.Heads.back().URL, "http://LocalHost/b.html");
}

TEST_F(SiteTreeTest, DataAddressesAreShownByTheirFirstCharacters) {
  const std::string png = "data:image/png;base64," + std::string(5000, 'A');
  TTreeEntry* e = Insert(png, "http://LocalHost/");
  EXPECT_EQ(e->Parent, tree.Root(rkOther));
  EXPECT_EQ(e->Caption.size(), 64u);
  EXPECT_EQ(e->Caption, png.substr(0, 61) + "...");
  EXPECT_EQ(NodeOf(e)->URLText(), e->Caption);
  // The shortened text files in the same entry again (a reopened project), and so does another
  // address with the same beginning.
  EXPECT_EQ(Insert(e->Caption), e);
  EXPECT_EQ(Insert(png + "B"), e);
  // Short ones stay whole; a cut never splits a character of several bytes.
  EXPECT_EQ(Insert("data:,x")->Caption, "data:,x");
  const std::string text = "data:text/plain," + std::string(44, 'x') + "\xC3\xA9\xC3\xA9\xC3\xA9";
  ASSERT_EQ(text.size(), 66u);
  EXPECT_EQ(Insert(text)->Caption, "data:text/plain," + std::string(44, 'x') + "...");
  EXPECT_EQ(tree.Root(rkOther)->Count(), 3);
}

TEST_F(SiteTreeTest, RefererIsInsertedAndRecorded) {
  SetSite("http://host/");
  TTreeEntry* target = Insert("http://host/b.html", "http://host/a.html#x");
  TSpiderNode* a = NodeOf(Insert("http://host/a.html"));
  EXPECT_EQ(NodeOf(target)->Referers, (TSpiderNodeDynArray{a}));
  // The page itself is never its own referer.
  Insert("http://host/a.html", "http://host/a.html");
  EXPECT_TRUE(a->Referers.empty());
  // A referer without protocol or host is ignored.
  TURI uri("http://host/c.html");
  TURI bad("c.html");
  EXPECT_TRUE(NodeOf(tree.InsertURL(uri, &bad, true))->Referers.empty());
}

TEST_F(SiteTreeTest, KnownAddressCreatesAndQueuesNothing) {
  SetSite("http://host/");
  Insert("http://host/a.html");
  const int nodes = map.Count();
  const size_t heads = queue.Heads.size();
  map.Modified = false;
  Insert("http://host/a.html");
  EXPECT_EQ(map.Count(), nodes);
  EXPECT_EQ(queue.Heads.size(), heads);
  EXPECT_FALSE(map.Modified);
}

TEST_F(SiteTreeTest, NodeLimitSuspendsButNeverRefuses) {
  SetSite("http://host/");
  for (int i = 0; i < kMaxSpiderNodes; ++i) Insert("http://host/p" + std::to_string(i) + ".html");
  EXPECT_TRUE(queue.Suspensions.empty());
  Insert("http://host/one-more.html");
  EXPECT_EQ(map.Count(), kMaxSpiderNodes + 1);
  ASSERT_EQ(queue.Suspensions.size(), 1u);
  // The message as always, then the way past the limit.
  EXPECT_EQ(queue.Suspensions[0], NodeLimitText(kMaxSpiderNodes));
  EXPECT_EQ(queue.Suspensions[0].substr(0, std::string(kNodeLimitMessage).size()), kNodeLimitMessage);
  EXPECT_EQ(std::string(kNodeLimitMessage).substr(0, 48), "The maxium spider node count has been reached.\r\r");
  Insert("http://host/p0.html");
  EXPECT_EQ(queue.Suspensions.size(), 2u);  // every later insertion asks again
  // Filing without a check, as loading a project does, is no crawl: it never suspends.
  Insert("http://host/loaded.html", "", false);
  EXPECT_EQ(map.Count(), kMaxSpiderNodes + 2);
  EXPECT_EQ(queue.Suspensions.size(), 2u);
}

TEST_F(SiteTreeTest, UnComposableAddressFails) {
  TURI uri("relative.html");
  EXPECT_THROW(tree.InsertURL(uri, nullptr, true), std::exception);
}

TEST_F(SiteTreeTest, TreeNodeURLs) {
  tree.UpdateSiteRootCaption();
  EXPECT_EQ(tree.SiteRoot()->Caption, "http://LocalHost/");
  TTreeEntry* leaf = Insert("http://LocalHost/docs/a.html");
  TTreeEntry* docs = leaf->Parent;
  EXPECT_EQ(TreeNodeURL(docs), "http://LocalHost/docs/");
  EXPECT_EQ(TreeNodeURL(leaf), "http://LocalHost/docs/a.html");
  EXPECT_EQ(TreeNodeURL(tree.SiteRoot()), "http://LocalHost/");
  EXPECT_EQ(NodePath(leaf), "http://LocalHost/\\docs\\a.html\\");
  TTreeEntry* ext = Insert("http://other/x.html");
  EXPECT_EQ(TreeNodeURL(ext), "External Links/http://other/x.html");
}

TEST_F(SiteTreeTest, LocalSiteTree) {
  SetSite("file://LocalHost/home/me/site/");
  TURI start;
  ResolveLink(start, "/home/me/site/index.html", nullptr);
  TTreeEntry* home = tree.InsertURL(start, nullptr, true);
  EXPECT_EQ(home->Parent, tree.SiteRoot());
  TURI img;
  ResolveLink(img, "img/a b.gif", &start);
  TTreeEntry* e = tree.InsertURL(img, &start, true);
  EXPECT_EQ(TreeNodeURL(e), "file://LocalHost/home/me/site/img/a b.gif");
  EXPECT_EQ(LocalPathOf(NodeOf(e)->URI()), "/home/me/site/img/a b.gif");
  TURI outside;
  ResolveLink(outside, "../other.html", &start);
  EXPECT_EQ(tree.InsertURL(outside, &start, true)->Parent, tree.Root(rkExternal));
}

TEST_F(SiteTreeTest, FindOrAddPathPieces) {
  TTreeEntry* root = tree.Root(rkOther);
  TTreeEntry* e = tree.FindOrAddPath(root, "a//b", "/");
  EXPECT_EQ(NodePath(e), "Other\\a\\\\b\\");
  EXPECT_EQ(tree.FindOrAddPath(root, "", "/"), root);
  EXPECT_EQ(tree.FindOrAddPath(root, "x/y", "")->Caption, "x/y");
  EXPECT_TRUE(IsSameOrDescendant(e, root));
  EXPECT_TRUE(IsSameOrDescendant(root, root));
  EXPECT_FALSE(IsSameOrDescendant(root, e));
  EXPECT_FALSE(IsSameOrDescendant(nullptr, root));
}

TEST_F(SiteTreeTest, IconsOfEntries) {
  SetSite("http://host/");
  EXPECT_EQ(TreeIconIndex(tree.SiteRoot()), iiSiteRoot);
  EXPECT_EQ(TreeIconIndex(tree.Root(rkAll)), iiEmptyCategory);
  TTreeEntry* leaf = Insert("http://host/dir/a.html");
  EXPECT_EQ(TreeIconIndex(leaf->Parent), iiClosedFolder);
  EXPECT_EQ(TreeIconIndex(leaf->Parent, true), iiOpenFolder);
  EXPECT_EQ(TreeIconIndex(leaf), iiNotChecked);
  NodeOf(leaf)->ResponseCode = 404;
  EXPECT_EQ(TreeIconIndex(leaf), iiBroken);
  NodeOf(leaf)->ResponseCode = 302;
  EXPECT_EQ(TreeIconIndex(leaf), iiRedirected);
  TTreeEntry* index = Insert("http://host/dir/");
  NodeOf(index)->ResponseCode = 200;
  NodeOf(index)->ContentType = "text/html";
  EXPECT_EQ(TreeIconIndex(index->Parent), iiHTMLPage);  // a folder shows its index.html
}

TEST_F(SiteTreeTest, ListMatchingWalksTheWholeTree) {
  TNodeList list;
  tree.AttachList(&list);
  SetSite("http://host/");
  TTreeEntry* index = Insert("http://host/dir/");
  Insert("http://host/dir/gone.html");
  NodeOf(Insert("http://host/dir/gone.html"))->ResponseCode = 404;
  Insert("mailto:x@y");
  Insert("http://other/");
  tree.ListMatching(list, tree.Root(rkAll));
  std::vector<std::string> captions;
  for (const auto& row : list.Rows()) captions.push_back(row->Caption);
  // The folder stands for its index.html and is listed beside it; categories are included.
  EXPECT_EQ(captions, (std::vector<std::string>{"http://other/", "mailto:x@y", "dir", "index.html", "gone.html"}));
  EXPECT_EQ(NodeOf(index)->ListItem, list.Row(3));  // the last row added wins
  tree.ListMatching(list, [](const TSpiderNode& n) { return n.IsBroken(); });
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Row(0)->Caption, "gone.html");
  EXPECT_EQ(NodeOf(index)->ListItem, nullptr);
  tree.ResetSiteTree();
  EXPECT_EQ(list.Count(), 0);
}

TEST_F(SiteTreeTest, FilterRootsByPredicate) {
  TSpiderNode n(map, nullptr, tree.SiteRoot(), 0);
  n.ResponseCode = 404;
  EXPECT_TRUE(tree.PassesFilter(tree.Root(rkAll), n));
  EXPECT_TRUE(tree.PassesFilter(tree.Root(rkBroken), n));
  EXPECT_FALSE(tree.PassesFilter(tree.Root(rkRedirected), n));
  EXPECT_TRUE(tree.IsFilterRoot(tree.Root(rkBrokenAnchors)));
  EXPECT_FALSE(tree.PassesFilter(tree.Root(rkBrokenAnchors), n));
  map.Anchors.AddMissing(&n, "install", nullptr);
  EXPECT_TRUE(tree.PassesFilter(tree.Root(rkBrokenAnchors), n));
  map.Anchors.Clear();
  EXPECT_FALSE(tree.IsFilterRoot(tree.Root(rkExternal)));
  EXPECT_FALSE(tree.IsFilterRoot(tree.SiteRoot()));
  EXPECT_TRUE(tree.IsFilterRoot(tree.Root(rkInternal)));
}

class CountingObserver : public TSiteTreeObserver {
 public:
  void TreeAboutToReset() override { ++aboutToReset; }
  void TreeReset() override { ++reset; }
  void EntryAboutToBeAdded(TTreeEntry*, int row) override { rows.push_back(row); }
  void EntryAdded(TTreeEntry*) override { ++added; }
  void EntryChanged(TTreeEntry*) override { ++changed; }
  int aboutToReset = 0, reset = 0, added = 0, changed = 0;
  std::vector<int> rows;
};

TEST_F(SiteTreeTest, ObserversHearAdditionsChangesAndResets) {
  CountingObserver o;
  tree.AddObserver(&o);
  SetSite("http://host/");
  TTreeEntry* e = Insert("http://host/dir/a.html");
  EXPECT_EQ(o.added, 2);
  EXPECT_EQ(o.rows, (std::vector<int>{0, 0}));
  NodeOf(e)->RefreshIcon();
  EXPECT_EQ(o.changed, 2);  // the site root's caption, then the refreshed entry
  tree.ResetSiteTree();
  EXPECT_EQ(o.aboutToReset, 1);
  EXPECT_EQ(o.reset, 1);
  EXPECT_EQ(o.added, 2);
  tree.RemoveObserver(&o);
}

TEST_F(SiteTreeTest, RefreshIconEmptiesTheNodesRow) {
  TNodeList list;
  tree.AttachList(&list);
  TTreeEntry* e = Insert("http://LocalHost/a.html");
  TListRow* row = list.AddRow(e);
  row->Cells = {"1KB", "text/html"};
  NodeOf(e)->RefreshIcon();
  EXPECT_TRUE(row->Cells.empty());
}

}  // namespace
