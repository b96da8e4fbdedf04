// Broken anchors: the names a page offers, the judging of every link's fragment in a real crawl
// on loopback, the category, the properties, the report and the project file.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "Kel/KelIni.h"
#include "Kel/KelStr.h"
#include "app/LinkExtractor.h"
#include "app/ProjectFile.h"
#include "app/SiteSummary.h"
#include "app/UnitProperties.h"

#include "support/AppFixture.h"
#include "support/TestServer.h"

namespace {

// Whether the walk of `body` offers `name` as a fragment target.
bool Offers(const std::string& body, const std::string& name) {
  const TPageLinks found = ExtractPageLinks(body, TURI("http://host/page.html"), {}, true, true);
  EXPECT_TRUE(found.AnchorsRead);
  EXPECT_TRUE(std::is_sorted(found.Anchors.begin(), found.Anchors.end()));
  return std::binary_search(found.Anchors.begin(), found.Anchors.end(), AnchorHash(name));
}

struct OfferCase {
  const char* what;
  std::string body;
  std::string name;
  bool offered;
};

void PrintTo(const OfferCase& c, std::ostream* os) { *os << c.what; }

class AnchorNamesTest : public ::testing::TestWithParam<OfferCase> {};

TEST_P(AnchorNamesTest, AreTheNamesABrowserFinds) {
  EXPECT_EQ(Offers(GetParam().body, GetParam().name), GetParam().offered) << GetParam().body;
}

INSTANTIATE_TEST_SUITE_P(
    Table, AnchorNamesTest,
    ::testing::Values(
        OfferCase{"id on a heading", "<h2 id='install'>x</h2>", "install", true},
        OfferCase{"id on any element, unquoted", "<section ID=setup>", "setup", true},
        OfferCase{"id on an svg shape", "<svg><circle id=\"dot\"/></svg>", "dot", true},
        OfferCase{"name of an a", "<a name=\"old-style\"></a>", "old-style", true},
        OfferCase{"name of a div is no target", "<div name=\"box\"></div>", "box", false},
        OfferCase{"name of a form field is no target", "<input name=\"q\">", "q", false},
        OfferCase{"a name only in a script", "<script>document.write('<a id=\"late\">')</script>", "late", false},
        OfferCase{"a name only in a comment", "<!-- <a id=\"hidden\"> -->", "hidden", false},
        OfferCase{"a name in a style block", "<style>/* <p id=\"css\"> */</style>", "css", false},
        OfferCase{"after the script ends", "<script>var a='<p id=x>'</script><p id=\"after\">", "after", true},
        OfferCase{"a numeric reference in an id", "<p id=\"caf&#233;\">", "caf\xc3\xa9", true},
        OfferCase{"a hexadecimal reference", "<p id=\"&#x75;p\">", "up", true},
        OfferCase{"&amp; in an id", "<p id=\"a&amp;b\">", "a&b", true},
        OfferCase{"the reference is not the name", "<p id=\"a&amp;b\">", "a&amp;b", false},
        OfferCase{"letter case counts", "<p id=\"Intro\">", "intro", false},
        OfferCase{"exactly as written", "<p id=\"Intro\">", "Intro", true},
        OfferCase{"a duplicate id", "<p id=\"twice\"><p id=\"twice\">", "twice", true},
        OfferCase{"an id without a value", "<p id>", "", false},
        OfferCase{"UTF-8 as written", "<p id=\"\xc3\xbc" "ber\">", "\xc3\xbc" "ber", true}));

TEST(AnchorNamesTest, NothingIsCollectedUnlessAsked) {
  const TPageLinks found = ExtractPageLinks("<p id='x'><a href='y.html#z'>", TURI("http://host/page.html"));
  EXPECT_FALSE(found.AnchorsRead);
  EXPECT_TRUE(found.Anchors.empty());
  ASSERT_EQ(found.Links.size(), 1u);
  EXPECT_EQ(found.Links[0].Bookmark, "z");
}

TEST(AnchorNamesTest, AStoppedWalkReadsNoAnchors) {
  const TPageLinks found =
      ExtractPageLinks("<p id='x'><a href='y.html'>", TURI("http://host/page.html"), [] { return true; }, true, true);
  EXPECT_FALSE(found.AnchorsRead);
}

TEST(AnchorNamesTest, FragmentsAreDecodedAndTopAlwaysExists) {
  EXPECT_EQ(DecodeFragment("caf%C3%A9"), "caf\xc3\xa9");
  EXPECT_EQ(DecodeFragment("a%2Fb%20c"), "a/b c");
  EXPECT_EQ(DecodeFragment("100%"), "100%");
  EXPECT_EQ(DecodeFragment("%zz"), "%zz");
  EXPECT_TRUE(IsTopFragment(""));
  EXPECT_TRUE(IsTopFragment("top"));
  EXPECT_TRUE(IsTopFragment("TOP"));
  EXPECT_FALSE(IsTopFragment("topic"));
}

// The judging itself, on nodes whose answers are set by hand: every order of events.
class AnchorMapTest : public ::testing::Test {
 protected:
  AnchorMapTest() : tree(map) { map.SiteURI.Parse("http://host/"); }
  // A node of the map; `code` and `type` its answer.
  TSpiderNode* Add(const std::string& address, int32_t code = 200, const std::string& type = "text/html") {
    TURI uri(address);
    TSpiderNode* node = NodeOf(tree.InsertURL(uri, nullptr, false));
    node->ResponseCode = code;
    node->ContentType = type;
    return node;
  }
  // The missing fragments of `page` as "fragment<-referer count".
  std::vector<std::string> Missing(const TSpiderNode* page) {
    std::vector<std::string> out;
    for (const TMissingAnchor& m : map.Anchors.MissingOf(*page))
      out.push_back(m.Fragment + "<-" + std::to_string(m.Referers.size()));
    return out;
  }
  TSiteMap map;
  TSiteTree tree;
};

TEST_F(AnchorMapTest, EveryOrderOfLinksPagesAndRedirects) {
  TAnchorMap& anchors = map.Anchors;
  TSpiderNode* from = Add("http://host/from.html");
  TSpiderNode* page = Add("http://host/page.html", 0, "");  // not answered yet
  TSpiderNode* a = Add("http://host/a.html", 301, "");
  TSpiderNode* b = Add("http://host/b.html", 302, "");
  TSpiderNode* c = Add("http://host/c.html");
  TSpiderNode* gone = Add("http://host/gone.html", 404);
  TSpiderNode* pdf = Add("http://host/doc.pdf", 200, "application/pdf");
  TSpiderNode* other = Add("http://other/x.html");

  // Found before the page is read: judged when it is.
  anchors.LinkFound(from, page, "later");
  anchors.LinkFound(from, page, "kept");
  anchors.LinkFound(from, page, "later");  // the same link twice counts once
  EXPECT_EQ(anchors.PendingCount(), 3u);
  anchors.PageRead(page, {AnchorHash("kept")});
  EXPECT_EQ(Missing(page), std::vector<std::string>{"later<-1"});
  // Found after: judged at once, percent escapes decoded, "#top" and "#" always there.
  anchors.LinkFound(c, page, "k%65pt");
  anchors.LinkFound(c, page, "TOP");
  anchors.LinkFound(c, page, "");
  anchors.LinkFound(c, page, "later");
  EXPECT_EQ(Missing(page), std::vector<std::string>{"later<-2"});

  // Through two redirects: a -> b -> c, the links waiting on a and b move on to c.
  anchors.LinkFound(from, a, "on-c");
  anchors.LinkFound(from, a, "not-on-c");
  anchors.Redirected(a, b);
  anchors.LinkFound(from, b, "via-b");
  anchors.Redirected(b, c);
  EXPECT_EQ(anchors.PendingCount(), 3u);
  anchors.PageRead(c, {AnchorHash("on-c"), AnchorHash("via-b")});
  EXPECT_EQ(Missing(c), std::vector<std::string>{"not-on-c<-1"});
  anchors.LinkFound(page, a, "again");  // a link to a after the redirect is known
  EXPECT_EQ(Missing(c), (std::vector<std::string>{"not-on-c<-1", "again<-1"}));
  EXPECT_TRUE(Missing(a).empty());
  EXPECT_TRUE(Missing(b).empty());

  // Pages that are never read are not judged: broken, not HTML, external.
  anchors.LinkFound(from, gone, "x");
  anchors.LinkFound(from, pdf, "page=2");
  anchors.LinkFound(from, other, "x");
  EXPECT_EQ(anchors.PendingCount(), 0u);
  EXPECT_EQ(anchors.Count(), 3);
  EXPECT_EQ(anchors.PageCount(), 2);

  // A redirect loop ends: the links stay where they were.
  TSpiderNode* loop1 = Add("http://host/loop1.html", 302, "");
  TSpiderNode* loop2 = Add("http://host/loop2.html", 302, "");
  anchors.LinkFound(from, loop1, "x");
  anchors.Redirected(loop1, loop2);
  anchors.Redirected(loop2, loop1);
  anchors.LinkFound(from, loop2, "y");
  EXPECT_EQ(anchors.PendingCount(), 2u);

  anchors.Clear();
  EXPECT_EQ(anchors.Count(), 0);
  EXPECT_EQ(anchors.PendingCount(), 0u);
  EXPECT_FALSE(anchors.IsRead(*c));
}

// The crawl of a site whose links name places that exist and places that do not.
class AnchorCrawlTest : public AppFixture {
 protected:
  void Page(TestServer& server, const std::string& path, const std::string& body,
            const std::string& type = "text/html", int status = 200) {
    server.Http().Get(path, [body, type, status](const httplib::Request&, httplib::Response& res) {
      res.status = status;
      res.set_content(body, type);
    });
  }
  void Serve() {
    Page(external, "/page.html", "<p id='elsewhere'>");
    external.Start();
    const std::string other = "http://localhost:" + std::to_string(external.Port()) + "/page.html";
    Page(site, "/",
         "<html><head><title>Home</title></head><body>"
         "<h2 id='self-ok'>Home</h2>"
         "<a href='target.html#sec-id'>1</a>"
         "<a href='target.html#named'>2</a>"
         "<a href='target.html#named-div'>3</a>"
         "<a href='target.html#scripted'>4</a>"
         "<a href='target.html#commented'>5</a>"
         "<a href='target.html#caf%C3%A9'>6</a>"
         "<a href='target.html#%C3%BCber'>7</a>"
         "<a href='target.html#a&amp;b'>8</a>"
         "<a href='target.html#a%2Fb'>9</a>"
         "<a href='target.html#Case'>10</a>"
         "<a href='target.html#case'>11</a>"
         "<a href='target.html#dup'>12</a>"
         "<a href='target.html#'>13</a>"
         "<a href='target.html#top'>14</a>"
         "<a href='target.html#missing'>15</a>"
         "<a href='old.html#sec-id'>16</a>"
         "<a href='old.html#gone'>17</a>"
         "<a href='notfound.html#x'>18</a>"
         "<a href='" +
             other +
             "#nowhere'>19</a>"
             "<a href='logo.gif#x'>20</a>"
             "<a href='#self-ok'>21</a>"
             "<a href='index.html#self-ok'>22</a>"
             "<a href='#self-missing'>23</a>"
             "<a href='index.html#self-written'>24</a>"
             "<a href='first.html'>25</a>"
             "<a href='last.html#missing-after'>26</a>"
             "</body></html>");
    Page(site, "/target.html",
         "<title>Target</title><div id='sec-id'></div><a name='named'></a><div name='named-div'></div>"
         "<script>document.write('<a id=\"scripted\">')</script><!-- <a id='commented'> -->"
         "<p id='caf\xc3\xa9'><p id='&#252;ber'><p id='a&amp;b'><p id='a/b'><p id='case'>"
         "<p id='dup'>x</p><p id='dup'>y</p>");
    site.Http().Get("/old.html", [](const httplib::Request&, httplib::Response& res) {
      res.status = 301;
      res.set_header("Location", "target.html");
    });
    Page(site, "/notfound.html", "<p id='y'>", "text/html", 404);
    Page(site, "/logo.gif", "GIF89a", "image/gif");
    Page(site, "/first.html", "<title>First</title><a href='second.html'>on</a>");
    // second.html is found only on first.html, so first.html was read before these links.
    Page(site, "/second.html", "<a href='first.html#missing-before'>x</a><a href='first.html#top'>x</a>");
    Page(site, "/last.html", "<p id='x'>");
    site.Start();
    app->Main.Tree.ValidateExternalURLs = true;
  }
  // Every broken anchor as "page#fragment <- referer, referer".
  std::set<std::string> Broken() {
    std::set<std::string> out;
    for (const TBrokenAnchor& a : SummarizeSite(app->Main.Tree).BrokenAnchors) {
      std::string line = a.URL() + "#" + a.Fragment() + " <-";
      for (const std::string& r : a.RefererURLs()) line += " " + r;
      out.insert(line);
    }
    return out;
  }
  // The project text without the lines that differ from one crawl to the next.
  std::string StableProject(bool dropAnchors) {
    std::istringstream in(ProjectText(app->Map));
    std::string out, line;
    while (std::getline(in, line)) {
      if (StartsText("Now=", line) || StartsText("RemoteDate=", line)) continue;
      if (dropAnchors && StartsText("BrokenAnchors=", line)) continue;
      out += line + "\n";
    }
    return out;
  }
  TestServer site, external;
};

TEST_F(AnchorCrawlTest, EveryLinkIsJudgedOnThePageItLeadsTo) {
  Serve();
  Crawl(site.URL("/"));
  const std::string home = site.URL("/");
  const std::string target = site.URL("/target.html");
  EXPECT_EQ(Broken(), (std::set<std::string>{
                          target + "#named-div <- " + home,
                          target + "#scripted <- " + home,
                          target + "#commented <- " + home,
                          target + "#Case <- " + home,
                          target + "#missing <- " + home,
                          target + "#gone <- " + home,  // through old.html's redirect
                          home + "#self-missing <- " + home,
                          home + "#self-written <- " + home,
                          site.URL("/first.html") + "#missing-before <- " + site.URL("/second.html"),
                          site.URL("/last.html") + "#missing-after <- " + home,
                      }));
  // Pages that were not read are not judged: no 404, external, image or redirecting page.
  const TAnchorMap& anchors = app->Map.Anchors;
  EXPECT_EQ(anchors.Count(), 10);
  EXPECT_EQ(anchors.PageCount(), 4);
  for (const char* path : {"/notfound.html", "/logo.gif", "/old.html"}) {
    ASSERT_NE(Node(site.URL(path)), nullptr) << path;
    EXPECT_FALSE(anchors.HasMissing(*Node(site.URL(path)))) << path;
    EXPECT_FALSE(anchors.IsRead(*Node(site.URL(path)))) << path;
  }
  EXPECT_EQ(Node(site.URL("/notfound.html"))->ResponseCode, 404);

  // The category lists the four pages, in the list style of every category.
  app->Main.SelectEntry(app->Main.Tree.Root(rkBrokenAnchors));
  std::set<std::string> listed;
  for (const auto& row : app->Main.List.Rows()) listed.insert(NodeOf(row->Entry)->URLText());
  EXPECT_EQ(listed, (std::set<std::string>{home, target, site.URL("/first.html"), site.URL("/last.html")}));

  // The properties list the missing fragments of the node, each with its referers.
  TFormSpiderNodeProperties properties;
  properties.Fill(*Node(site.URL("/first.html")));
  ASSERT_EQ(properties.BrokenAnchors.size(), 1u);
  EXPECT_EQ(properties.BrokenAnchors[0].Fragment, "missing-before");
  ASSERT_EQ(properties.BrokenAnchors[0].Referers.size(), 1u);
  EXPECT_EQ(properties.BrokenAnchors[0].Referers[0], Node(site.URL("/second.html")));
  properties.Fill(*Node(site.URL("/second.html")));
  EXPECT_TRUE(properties.BrokenAnchors.empty());

  // The report: after the categories and the broken addresses, each broken anchor.
  const std::string report = SiteReportText(SummarizeSite(app->Main.Tree));
  EXPECT_NE(report.find("  Broken Anchors          4\n"), std::string::npos) << report;
  EXPECT_NE(report.find("\nBroken anchors: 10\n"), std::string::npos) << report;
  EXPECT_NE(report.find("\n  " + site.URL("/first.html") + "#missing-before\n        from " + site.URL("/second.html") +
                        "\n"),
            std::string::npos)
      << report;
  EXPECT_LT(report.find("Broken addresses:"), report.find("Broken anchors:"));
}

TEST_F(AnchorCrawlTest, TheSettingOffLeavesTheMapAsWithoutTheCheck) {
  Serve();
  // One request at a time: both crawls file the same addresses in the same order.
  app.reset();
  app = std::make_unique<TTessalyApp>(services, 1);
  ASSERT_TRUE(app->Start());
  EXPECT_TRUE(app->Main.Crawl.CheckAnchors);  // on by default
  app->Main.Tree.ValidateExternalURLs = true;
  Crawl(site.URL("/"));
  const std::string on = StableProject(true);
  EXPECT_NE(StableProject(false), on);  // the check added its keys, and nothing else
  EXPECT_EQ(app->Map.Anchors.Count(), 10);

  app->Main.Crawl.CheckAnchors = false;
  app->Map.Modified = false;
  // A page without title or links reads as never read, so Start offers to go on: No crawls anew.
  ask.QueueAnswer(platform::Answer::No);
  Crawl(site.URL("/"));
  EXPECT_EQ(StableProject(false), on);
  EXPECT_EQ(app->Map.Anchors.Count(), 0);
  EXPECT_EQ(app->Map.Anchors.PendingCount(), 0u);
  app->Main.SelectEntry(app->Main.Tree.Root(rkBrokenAnchors));
  EXPECT_TRUE(app->Main.List.Rows().empty());
  EXPECT_FALSE(SummarizeSite(app->Main.Tree).AnyBrokenAnchors());
  EXPECT_EQ(SiteReportText(SummarizeSite(app->Main.Tree)).find("Broken anchors"), std::string::npos);
}

TEST_F(AnchorCrawlTest, APageCutOffIsNotJudged) {
  // The id stands past the most bytes kept: the page was not read whole, so its anchors are not
  // judged; a page read whole is.
  Page(site, "/", "<a href='big.html#end'>a</a><a href='small.html#gone'>b</a>");
  Page(site, "/big.html", "<title>Big</title>" + std::string(4000, ' ') + "<p id='end'>");
  Page(site, "/small.html", "<p id='here'>");
  site.Start();
  app->HTTPSettings.EditMaxPageSize.Text = "1024";
  app->HTTPSettings.Changed();
  Crawl(site.URL("/"));
  ASSERT_NE(Node(site.URL("/big.html")), nullptr);
  EXPECT_NE(Node(site.URL("/big.html"))->ResponseText.str().find("cut off"), std::string::npos);
  EXPECT_EQ(Broken(), (std::set<std::string>{site.URL("/small.html") + "#gone <- " + site.URL("/")}));
}

TEST_F(AnchorCrawlTest, TheSettingIsKeptInSettingsIni) {
  EXPECT_TRUE(app->CheckAnchors());
  app->SetCheckAnchors(false);
  EXPECT_FALSE(app->Main.Crawl.CheckAnchors);
  app.reset();
  app = std::make_unique<TTessalyApp>(services);
  ASSERT_TRUE(app->Start());
  EXPECT_FALSE(app->CheckAnchors());
  app->SetCheckAnchors(true);
  app.reset();
  app = std::make_unique<TTessalyApp>(services);
  ASSERT_TRUE(app->Start());
  EXPECT_TRUE(app->CheckAnchors());
}

TEST_F(AnchorCrawlTest, AProjectKeepsTheBrokenAnchors) {
  Serve();
  Crawl(site.URL("/"));
  const std::set<std::string> before = Broken();
  ASSERT_EQ(before.size(), 10u);
  const int nodes = app->Map.Count();
  const std::string file = dir.File("anchors.tly");
  app->Main.SaveProject(file);
  const std::string text = ReadFileText(file);
  // A new key after the sixteen of every node, only on the pages with broken anchors.
  size_t keys = 0;
  for (size_t at = text.find("\r\nBrokenAnchors="); at != std::string::npos; at = text.find("\r\nBrokenAnchors=", at + 1))
    ++keys;
  EXPECT_EQ(keys, 4u);
  EXPECT_NE(text.find("\r\nIsInternal=-1\r\nBrokenAnchors="), std::string::npos);  // after the sixteen keys

  app->Main.OpenProjectFile(file);
  EXPECT_TRUE(app->Main.LastLoadError.empty()) << app->Main.LastLoadError;
  EXPECT_EQ(Broken(), before);

  // Without the key (a project of an older version), a project loads with none.
  std::string older;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (!StartsText("BrokenAnchors=", line)) older += line + "\n";
  const std::string olderFile = dir.File("older.tly");
  dir.Write("older.tly", older);
  app->Main.OpenProjectFile(olderFile);
  EXPECT_TRUE(app->Main.LastLoadError.empty()) << app->Main.LastLoadError;
  EXPECT_EQ(app->Map.Count(), nodes);
  EXPECT_TRUE(Broken().empty());
}

TEST(AnchorProjectTest, KeysAReaderDoesNotKnowArePassedOver) {
  // The reader asks for the keys it knows by name; any other key of a section (such as the
  // broken anchors for a reader that predates them) is never read.
  const std::string text =
      "[Settings]\r\nURI=http://host/\r\nLinks=2\r\n"
      "[0]\r\nRemoteFile=http%3A%2F%2Fhost%2F\r\nRemoteDate=12/30/1899\r\nLastModified=12/30/1899\r\n"
      "ResponseCode=200\r\nContentLength=0\r\nSpellingErrors=0\r\nLinks=1\r\nReferers=\r\n"
      "BrokenAnchors=x%20y=1&gone=\r\nSomethingNewer=1,2,3&x\r\n"
      "[1]\r\nRemoteFile=http%3A%2F%2Fhost%2Fb.html\r\nRemoteDate=12/30/1899\r\nLastModified=12/30/1899\r\n"
      "ResponseCode=200\r\nContentLength=0\r\nSpellingErrors=0\r\nLinks=0\r\nReferers=0\r\n"
      "BrokenAnchors=\r\n";
  TIniText ini(text);
  TSiteMap map;
  TSiteTree tree(map);
  EXPECT_EQ(LoadProject(tree, ini, nullptr, nullptr), "");
  ASSERT_EQ(map.Count(), 2);
  const auto& missing = map.Anchors.MissingOf(*map.Node(0));
  ASSERT_EQ(missing.size(), 2u);
  EXPECT_EQ(missing[0].Fragment, "x y");
  EXPECT_EQ(missing[0].Referers, std::vector<TSpiderNode*>{map.Node(1)});
  EXPECT_EQ(missing[1].Fragment, "gone");
  EXPECT_TRUE(missing[1].Referers.empty());
  EXPECT_FALSE(map.Anchors.HasMissing(*map.Node(1)));

  // An index that names no node is an error like one in Links.
  ini.Parse("[Settings]\r\nURI=http://host/\r\nLinks=1\r\n[0]\r\nRemoteFile=http%3A%2F%2Fhost%2F\r\n"
              "RemoteDate=12/30/1899\r\nLastModified=12/30/1899\r\nResponseCode=200\r\nContentLength=0\r\n"
              "SpellingErrors=0\r\nBrokenAnchors=x=7\r\n");
  TSiteMap map2;
  TSiteTree tree2(map2);
  EXPECT_EQ(LoadProject(tree2, ini, nullptr, nullptr), "List index out of bounds (7)");
}

}  // namespace
