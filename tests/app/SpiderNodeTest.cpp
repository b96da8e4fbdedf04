#include "app/SpiderNode.h"

#include <gtest/gtest.h>

#include "Kel/KelError.h"
#include "Kel/KelIdHTTP.h"
#include "app/SpiderTools.h"

namespace {

class SpiderNodeTest : public ::testing::Test {
 protected:
  SpiderNodeTest() : tree(map) {}
  // A node at `address` hanging below the site root.
  TSpiderNode* Node(const std::string& address, int code = 0, const std::string& type = "") {
    TURI uri(address);
    TTreeEntry* entry = tree.FindOrAddChild(tree.SiteRoot(), "n" + std::to_string(map.Count()));
    TSpiderNode* n = tree.EnsureNode(entry, uri);
    n->ResponseCode = code;
    n->ContentType = type;
    return n;
  }
  TSiteMap map;
  TSiteTree tree;
};

TEST_F(SpiderNodeTest, NewNodeIsUnchecked) {
  TSpiderNode* n = Node("http://LocalHost/a.html");
  EXPECT_EQ(n->ResponseCode, 0);
  EXPECT_FALSE(n->IsBroken());
  EXPECT_FALSE(n->IsRedirected());
  EXPECT_EQ(n->StatusIndex(), 0);
  EXPECT_EQ(n->TypeIconIndex(), iiNotChecked);
  EXPECT_EQ(n->Index(), 0);
}

TEST_F(SpiderNodeTest, BrokenAndRedirectedByCode) {
  struct {
    int code;
    bool broken, redirected;
    int status;
  } cases[] = {{0, false, false, 0},  {200, false, false, 1}, {301, false, true, 3},
               {302, false, true, 3}, {-1, true, false, 2},   {304, true, false, 2},
               {401, true, false, 2}, {500, true, false, 2},  {404, true, false, 2}};
  for (const auto& c : cases) {
    TSpiderNode* n = Node("http://LocalHost/x.html", c.code);
    EXPECT_EQ(n->IsBroken(), c.broken) << c.code;
    EXPECT_EQ(n->IsRedirected(), c.redirected) << c.code;
    EXPECT_EQ(n->StatusIndex(), c.status) << c.code;
  }
}

TEST_F(SpiderNodeTest, AnAddressNeverRequestedHasAStateOfItsOwn) {
  struct {
    int code;
    const char* text;
    int status;
  } cases[] = {{0, "Excluded", 4},
               {0, "Blocked by robots.txt", 4},
               {0, "", 0},
               {0, "Excluded by nobody", 0},
               {404, "Excluded", 2},  // an answer counts, whatever its text
               {200, "Blocked by robots.txt", 1}};
  for (const auto& c : cases) {
    TSpiderNode* n = Node("http://LocalHost/x.html", c.code);
    n->ResponseText = c.text;
    EXPECT_EQ(n->StatusIndex(), c.status) << c.code << " " << c.text;
    EXPECT_EQ(n->IsNotRequested(), c.status == 4) << c.code << " " << c.text;
    EXPECT_FALSE(n->IsBroken() && c.status == 4);
  }
}

TEST_F(SpiderNodeTest, TypeIcons) {
  struct {
    const char* address;
    int code;
    const char* type;
    int icon;
  } cases[] = {
      {"http://LocalHost/a.jpg", 200, "image/pjpeg", iiJPEGImage},
      {"http://LocalHost/a.gif", 200, "image/gif", iiImage},
      {"http://LocalHost/a.txt", 200, "text/plain", iiTextFile},
      {"http://LocalHost/a.html", 200, "Text/HTML; charset=iso-8859-1", iiHTMLPage},
      {"http://LocalHost/a.pdf", 200, "application/pdf", iiOtherFile},
      {"http://LocalHost/a.mpg", 200, "video/mpeg", iiVideo},
      {"http://LocalHost/a.mp3", 200, "audio/mpeg", iiAudio},
      {"http://LocalHost/a.html", 0, "text/html", iiNotChecked},
      {"http://other/a.html", 200, "text/html", iiExternal},
      {"http://other/a.html", 0, "", iiExternal},
  };
  for (const auto& c : cases) {
    TSpiderNode* n = Node(c.address, c.code, c.type);
    EXPECT_EQ(n->TypeIconIndex(), c.icon) << c.address << " " << c.type;
  }
}

TEST_F(SpiderNodeTest, SpecialAddressesAreNeverBroken) {
  TURI mail;
  ResolveLink(mail, "mailto:webmaster", nullptr);
  TTreeEntry* e = tree.InsertURL(mail, nullptr, true);
  TSpiderNode* n = NodeOf(e);
  EXPECT_FALSE(n->IsBroken());
  EXPECT_EQ(n->TypeIconIndex(), iiMail);
  EXPECT_EQ(n->StatusIndex(), 1);
  TURI script;
  ResolveLink(script, "javascript:void(0)", nullptr);
  EXPECT_EQ(NodeOf(tree.InsertURL(script, nullptr, true))->TypeIconIndex(), iiScript);
  TURI news;
  ResolveLink(news, "news:comp.lang", nullptr);
  EXPECT_EQ(NodeOf(tree.InsertURL(news, nullptr, true))->TypeIconIndex(), iiExternal);
}

TEST_F(SpiderNodeTest, Predicates) {
  TSpiderNode* page = Node("http://LocalHost/a.html", 200, "text/html");
  EXPECT_TRUE(page->IsHTML());
  EXPECT_TRUE(page->IsInternal());
  EXPECT_TRUE(page->IsInternalLink());
  EXPECT_TRUE(page->IsSpiderable());
  EXPECT_TRUE(page->IsMappable());
  EXPECT_TRUE(page->IsPreviewable());
  EXPECT_FALSE(page->HasSpellingErrors());
  page->SpellingErrors = 2;
  EXPECT_TRUE(page->HasSpellingErrors());

  TSpiderNode* pdf = Node("http://LocalHost/a.pdf", 200, "application/pdf");
  EXPECT_TRUE(pdf->IsApplication());
  EXPECT_TRUE(pdf->IsMappable());
  EXPECT_FALSE(pdf->IsPreviewable());
  EXPECT_FALSE(pdf->IsSpiderable());

  TSpiderNode* missing = Node("http://LocalHost/gone.html", 404, "text/html");
  EXPECT_FALSE(missing->IsSpiderable());
  EXPECT_FALSE(missing->IsMappable());
  EXPECT_FALSE(missing->IsInternalLink());

  TSpiderNode* external = Node("http://other/a.html", 200, "text/html");
  EXPECT_FALSE(external->IsSpiderable());
  EXPECT_FALSE(external->IsMappable());
  EXPECT_TRUE(Node("https://LocalHost/s.html", 200, "text/html")->IsInternal());
}

TEST_F(SpiderNodeTest, CreationDropsBookmarkAndDefaultPortOnly) {
  EXPECT_EQ(Node("http://host:8080/a.html#x")->URLText(), "http://host:8080/a.html");
  EXPECT_EQ(Node("http://host:80/a.html#x")->URLText(), "http://host/a.html");
  EXPECT_EQ(Node("https://host:443/a.html")->URLText(), "https://host/a.html");
}

TEST_F(SpiderNodeTest, LinksAndReferersHoldEachNodeOnce) {
  TSpiderNode* a = Node("http://LocalHost/a.html");
  TSpiderNode* b = Node("http://LocalHost/b.html");
  a->AddToLinks(b);
  a->AddToLinks(b);
  a->AddToLinks(a);
  EXPECT_EQ(a->Links, (TSpiderNodeDynArray{b, a}));
  b->AddToReferers(a);
  b->AddToReferers(a);
  b->AddToReferers(b);
  EXPECT_EQ(b->Referers, (TSpiderNodeDynArray{a}));
}

// Title and description share one block: setting either keeps the other, empty texts, long
// texts and bytes of any value come back as they were.
TEST_F(SpiderNodeTest, TitleAndDescriptionAreKeptApart) {
  TSpiderNode* n = Node("http://LocalHost/a.html");
  EXPECT_EQ(n->Title(), "");
  EXPECT_EQ(n->Description(), "");
  const std::string withNul("a\0b", 3);
  const std::string longText(100000, 'x');
  struct Case {
    bool title;  // which one is set
    std::string text, wantTitle, wantDescription;
  };
  const Case cases[] = {
      {true, "Home", "Home", ""},
      {false, "About us", "Home", "About us"},
      {true, "", "", "About us"},
      {false, withNul, "", withNul},
      {true, longText, longText, withNul},
      {false, "", longText, ""},
      {true, "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 20));
    if (c.title) n->SetTitle(c.text);
    else n->SetDescription(c.text);
    EXPECT_EQ(n->Title(), c.wantTitle);
    EXPECT_EQ(n->Description(), c.wantDescription);
  }
  // A text set from the node's own other text.
  n->SetTitle("Same");
  n->SetDescription(n->Title());
  EXPECT_EQ(n->Description(), "Same");
  n->SetTitle(n->Description().substr(1));
  EXPECT_EQ(n->Title(), "ame");
  EXPECT_EQ(n->Description(), "Same");
}

TEST_F(SpiderNodeTest, RecordResponseCopiesTheAnswer) {
  TSpiderNode* n = Node("http://LocalHost/a.html");
  n->SetTitle("kept");
  map.Modified = false;
  THTTPResponse r;
  r.ResponseText = "HTTP/1.1 404 Not Found";
  r.ContentLength = 12;
  r.ContentType = "text/html";
  r.Date = 100.5;
  r.LastModified = 99;
  r.Location = "elsewhere.html";
  r.Server = "Test/1.0";
  n->RecordResponse(r);
  EXPECT_EQ(n->ResponseCode, 404);
  EXPECT_EQ(n->ResponseText, "HTTP/1.1 404 Not Found");
  EXPECT_EQ(n->ContentLength, 12);
  EXPECT_EQ(n->RemoteDate, 100.5);
  EXPECT_EQ(n->LastModified, 99);
  EXPECT_EQ(n->Location, "elsewhere.html");
  EXPECT_EQ(n->Server, "Test/1.0");
  EXPECT_EQ(n->Title(), "kept");
  EXPECT_TRUE(map.Modified);
  r.ResponseText = "Socket Error # 10061 Connection refused.";
  n->RecordResponse(r);
  EXPECT_EQ(n->ResponseCode, -1);
}

TEST(DisplayTexts, SizeAndDate) {
  EXPECT_EQ(SizeText(-1), "N/A");
  EXPECT_EQ(SizeText(0), "0KB");
  EXPECT_EQ(SizeText(1), "1KB");
  EXPECT_EQ(SizeText(1024), "1KB");
  EXPECT_EQ(SizeText(1536), "2KB");
  EXPECT_EQ(SizeText(1024LL * 1234567), "1,234,567KB");
  EXPECT_EQ(DateText(0), "Missing");
  EXPECT_EQ(DateText(EncodeDate(2004, 5, 14) + EncodeTime(15, 12, 9)), "5/14/2004 3:12:09 PM");
}

TEST(SiteMap, InternalByHostAndPathPrefix) {
  TSiteMap map;
  map.SiteURI.Parse("http://host/dir/");
  EXPECT_TRUE(map.IsInternal(TURI("http://HOST/DIR/x.html")));
  EXPECT_TRUE(map.IsInternal(TURI("https://host/dir/x.html")));
  EXPECT_FALSE(map.IsInternal(TURI("http://host/other/x.html")));
  EXPECT_FALSE(map.IsInternal(TURI("http://other/dir/x.html")));
}

}  // namespace

namespace {
TEST(SpiderNodeAssertions, MissingObjectsAreProgrammingErrors) {
  TSiteMap map;
  EXPECT_THROW(map.CreateNode(nullptr, nullptr), EAssertionFailed);
  TSiteTree tree(map);
  TSpiderNode* n = tree.EnsureNode(tree.SiteRoot(), TURI("http://LocalHost/"));
  EXPECT_THROW(n->AddToReferers(nullptr), EAssertionFailed);
  EXPECT_THROW(TreeNodeURL(nullptr), EAssertionFailed);
}
}  // namespace
