#include "app/LinkExtractor.h"
#include "app/SpiderTools.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "Kel/KelError.h"
#include "support/RecordingQueue.h"

namespace {

using Texts = std::vector<std::string>;

// A crawl of http://host/dir/ that has fetched http://host/dir/page.html.
class LinkExtractorTest : public ::testing::Test {
 protected:
  LinkExtractorTest() : tree(map, &queue) {
    tree.HeadCallback = [](THTTPClient&) {};
    tree.ResetSiteTree();
    map.SiteURI.Parse("http://host/dir/");
    TURI uri(pageAddress);
    page = NodeOf(tree.InsertURL(uri, nullptr, true));
    page->Title = "Old title";
    page->Description = "Old description";
    queue.Heads.clear();
  }

  // The page-parsing step as the crawl runs it, up to the title: the walk, then its result filed.
  void Extract(const std::string& body) {
    const TURI base(pageAddress);
    TPageLinks found = ExtractPageLinks(body, base);
    ApplyPageLinks(tree, page, base, found);
  }
  Texts Links() const {
    Texts v;
    for (const TSpiderNode* n : page->Links) v.push_back(n->URLText());
    return v;
  }
  Texts HeadURLs() const {
    Texts v;
    for (const auto& r : queue.Heads) v.push_back(r.URL);
    return v;
  }

  const std::string pageAddress = "http://host/dir/page.html";
  RecordingQueue queue;
  TSiteMap map;
  TSiteTree tree;
  TSpiderNode* page = nullptr;
};

struct PageCase {
  const char* html;
  Texts links;
  const char* title;
  const char* description;
};

void PrintTo(const PageCase& c, std::ostream* os) { *os << '"' << c.html << '"'; }

class PageTest : public LinkExtractorTest, public ::testing::WithParamInterface<PageCase> {};

TEST_P(PageTest, TitleDescriptionAndLinks) {
  const PageCase& c = GetParam();
  Extract(c.html);
  EXPECT_EQ(Links(), c.links);
  EXPECT_EQ(page->Title, c.title);
  EXPECT_EQ(page->Description, c.description);
}

const char* const kOld = "Old description";

INSTANTIATE_TEST_SUITE_P(
    Pages, PageTest,
    ::testing::Values(
        PageCase{"<title>Home <b>Page</b></title>", {}, "Home Page", kOld},
        PageCase{"<TITLE>Caps</TITLE>after", {}, "Caps", kOld},
        PageCase{"<title>a &amp;  b\n</title>", {}, "a &amp;  b\n", kOld},
        // A page without a title empties the one stored before.
        PageCase{"<p>no title</p>", {}, "", kOld},
        // A title that is never closed takes all remaining text.
        PageCase{"<title>T<p>rest", {}, "Trest", kOld},
        PageCase{"<META NAME=\"Description\" CONTENT=\"x\">", {}, "", "x"},
        PageCase{"<meta content='late' name=DESCRIPTION>", {}, "", "late"},
        PageCase{"<meta name=\"description\" content=\"1\"><meta name=\"description\" content=\"2\">", {}, "", "2"},
        PageCase{"<meta name=\"keywords\" content=\"k\">", {}, "", kOld},
        // Meta values belong to their own tag only.
        PageCase{"<meta content=\"x\"><meta name=\"description\">", {}, "", ""},
        PageCase{"<meta http-equiv=\"refresh\" content=\"5;URL=next.html\">", {"http://host/dir/next.html"}, "", kOld},
        PageCase{"<meta http-equiv=\"Refresh\" content=\"0;url=next.html\">", {"http://host/dir/next.html"}, "", kOld},
        // Blanks around "URL" and "=" and quotes around the address do not hide it.
        PageCase{"<meta http-equiv=\"refresh\" content=\"5; URL=next.html\">", {"http://host/dir/next.html"}, "", kOld},
        PageCase{
            "<meta http-equiv=\"refresh\" content=\"0; url = next.html \">", {"http://host/dir/next.html"}, "", kOld},
        PageCase{
            "<meta http-equiv=\"refresh\" content=\"0;URL='next.html'\">", {"http://host/dir/next.html"}, "", kOld},
        PageCase{"<meta http-equiv=\"refresh\" content='0; URL=\"n x.html\"'>", {"http://host/dir/n x.html"}, "", kOld},
        // A refresh without an address links nowhere.
        PageCase{"<meta http-equiv=\"refresh\" content=\"30\">", {}, "", kOld},
        PageCase{"<meta http-equiv=\"refresh\" content=\"0; URL=\">", {}, "", kOld},
        PageCase{"<meta http-equiv=\"refresh\" content=\"0; URL=''\">", {}, "", kOld},
        PageCase{
            "<meta http-equiv=\"refresh\" content=\"0;x=1;URL=a=b.html\">", {"http://host/dir/a=b.html"}, "", kOld},
        // One element may give both a description and a refresh link.
        PageCase{"<meta name=description http-equiv=REFRESH content=\"1;URL=n.html\">",
                 {"http://host/dir/n.html"},
                 "",
                 "1;URL=n.html"},
        PageCase{"<script src=\"a.js\"></script>"
                 "<script>document.write('<a href=\"b.html\">')</script><a href=\"c.html\">",
                 {"http://host/dir/a.js", "http://host/dir/c.html"},
                 "",
                 kOld},
        // A script that is never closed suppresses every later link.
        PageCase{"<script>x<a href=b.html>", {}, "", kOld},
        PageCase{"<a name=\"top\"><a href><link href=\"s.css\"><body background=\"b.gif\"><form action=\"f.cgi\">",
                 {},
                 "",
                 kOld},
        PageCase{"<a href=\"x.html\">1</a> <A HREF=\"x.html\">2</A>", {"http://host/dir/x.html"}, "", kOld},
        PageCase{"<IMG SRC=pic.gif>", {"http://host/dir/pic.gif"}, "", kOld},
        // The eight link-bearing pairs, in document order.
        PageCase{"<a href=1><area href=2><img src=3><frame src=4><embed src=5><object src=6>"
                 "<script src=7></script><iframe src=8><img href=9><a src=10>",
                 {"http://host/dir/1", "http://host/dir/2", "http://host/dir/3", "http://host/dir/4",
                  "http://host/dir/5", "http://host/dir/6", "http://host/dir/7", "http://host/dir/8"},
                 "",
                 kOld},
        PageCase{"<a href=\"../up.html\"><a href=\"http://other/x.html#f\"><a href=\"mailto:me@host\">"
                 "<a href=\"#top\">",
                 {"http://host/up.html", "http://other/x.html", "mailto:me@host", "http://host/dir/"},
                 "",
                 kOld}));

TEST_F(LinkExtractorTest, LinksAreCheckedWithThePageAsReferer) {
  Extract("<a href=\"a.html\"></a><img src=\"/img/b.gif\"><a href=\"a.html\"></a><a href=\"mailto:x@y\">");
  EXPECT_EQ(HeadURLs(), (Texts{"http://host/dir/a.html", "http://host/img/b.gif"}));
  for (const auto& r : queue.Heads) {
    EXPECT_EQ(r.Referer, pageAddress);
    EXPECT_TRUE(r.HasCallback);
  }
  ASSERT_EQ(page->Links.size(), 3u);
  for (const TSpiderNode* target : page->Links) EXPECT_EQ(target->Referers, TSpiderNodeDynArray{page});
}

TEST_F(LinkExtractorTest, MalformedEscapeSkipsOnlyThatLink) {
  const int before = map.Count();
  Extract(
      "<title>T</title><a href=\"a.html\"><a href=\"100%.html\"><a href=\"x%4\">"
      "<meta name=\"description\" content=\"d\"><a href=\"b.html\">");
  EXPECT_EQ(Links(), (Texts{"http://host/dir/a.html", "http://host/dir/b.html"}));
  EXPECT_EQ(HeadURLs(), (Texts{"http://host/dir/a.html", "http://host/dir/b.html"}));
  EXPECT_EQ(map.Count(), before + 2);
  EXPECT_EQ(page->Title, "T");
  EXPECT_EQ(page->Description, "d");
}

TEST_F(LinkExtractorTest, TheWalkTouchesNoModelUntilItsResultIsFiled) {
  const TURI base(pageAddress);
  const int nodes = map.Count();
  TPageLinks found = ExtractPageLinks("<title>New</title><a href=\"a.html\"><meta name=description content=D>", base);
  EXPECT_EQ(found.Title, "New");
  ASSERT_EQ(found.Links.size(), 1u);
  EXPECT_EQ(found.Links[0].Compose(), "http://host/dir/a.html");
  EXPECT_EQ(map.Count(), nodes);
  EXPECT_TRUE(queue.Heads.empty());
  EXPECT_EQ(page->Title, "Old title");
  EXPECT_EQ(page->Description, "Old description");
  ApplyPageLinks(tree, page, base, found);
  EXPECT_EQ(page->Title, "New");
  EXPECT_EQ(page->Description, "D");
  EXPECT_EQ(Links(), Texts{"http://host/dir/a.html"});
}

TEST_F(LinkExtractorTest, AStoppedWalkEndsAtTheNextLink) {
  const TURI base(pageAddress);
  int asked = 0;
  const TPageLinks found =
      ExtractPageLinks("<a href=1><a href=2><a href=3><a href=4>", base, [&] { return ++asked > 2; });
  ASSERT_EQ(found.Links.size(), 2u);
  EXPECT_EQ(found.Links[1].Compose(), "http://host/dir/2");
  EXPECT_EQ(asked, 3);
}

TEST_F(LinkExtractorTest, ThePageNodeIsRequired) {
  const TURI base(pageAddress);
  TPageLinks found;
  EXPECT_THROW(ApplyPageLinks(tree, nullptr, base, found), EAssertionFailed);
}

}  // namespace
