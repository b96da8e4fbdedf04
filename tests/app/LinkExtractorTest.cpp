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
    page->SetTitle("Old title");
    page->SetDescription("Old description");
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
  EXPECT_EQ(page->Title(), c.title);
  EXPECT_EQ(page->Description(), c.description);
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
        // Character references are decoded before the content is split, and only once.
        PageCase{"<meta http-equiv=\"refresh\" content=\"0; url=page.php?a=1&amp;b=2\">",
                 {"http://host/dir/page.php?a=1&b=2"},
                 "",
                 kOld},
        PageCase{"<meta http-equiv=\"refresh\" content=\"0&#59;url&#x3D;next.html\">", {"http://host/dir/next.html"}, "",
                 kOld},
        PageCase{"<meta http-equiv=\"refresh\" content=\"0;url=a.php?x=&amp;amp;&#38;y=1\">",
                 {"http://host/dir/a.php?x=&amp;&y=1"},
                 "",
                 kOld},
        // The address runs to the end: a ";" inside it is part of it.
        PageCase{"<meta http-equiv=\"refresh\" content=\"0; URL=a.php?x=1;y=2\">", {"http://host/dir/a.php?x=1;y=2"},
                 "",
                 kOld},
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
        PageCase{"<a name=\"top\"><a href><body background=\"b.gif\"><form action=\"f.cgi\"><img lowsrc=x.gif>",
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
                 {"http://host/up.html", "http://other/x.html", "mailto:me@host", "http://host/dir/page.html"},
                 "",
                 kOld}));

// Page resources: each source in document order with the classic ones, and what the same markup
// gives with page resources off (the eight classic pairs only).
struct ResourceCase {
  const char* html;
  Texts links;    // page resources on
  Texts classic;  // off
};

void PrintTo(const ResourceCase& c, std::ostream* os) { *os << '"' << c.html << '"'; }

class ResourceTest : public LinkExtractorTest, public ::testing::WithParamInterface<ResourceCase> {};

TEST_P(ResourceTest, LinksInDocumentOrder) {
  const ResourceCase& c = GetParam();
  const TURI base(pageAddress);
  const auto texts = [](const TPageLinks& found) {
    Texts v;
    for (const TURI& uri : found.Links) v.push_back(URLText(uri));
    return v;
  };
  EXPECT_EQ(texts(ExtractPageLinks(c.html, base)), c.links);
  EXPECT_EQ(texts(ExtractPageLinks(c.html, base, {}, false)), c.classic);
}

const std::string kDir = "http://host/dir/";
Texts In(std::initializer_list<const char*> names) {
  Texts v;
  for (const char* n : names) v.push_back(std::string(n).find(':') == std::string::npos ? kDir + n : n);
  return v;
}

INSTANTIATE_TEST_SUITE_P(
    Resources, ResourceTest,
    ::testing::Values(
        // Every new source, between classic links.
        ResourceCase{"<a href=a.html><link rel=stylesheet href=s.css><LINK REL=icon HREF=\"fav.ico\">"
                     "<link rel=alternate type=application/rss+xml href='feed.xml'><img src=i.gif>"
                     "<source src=s.mp4><video src=v.webm poster=p.jpg><audio src=au.ogg><track src=t.vtt>"
                     "<object data=o.swf><input type=image src=btn.gif><iframe src=f.html>",
                     In({"a.html", "s.css", "fav.ico", "feed.xml", "i.gif", "s.mp4", "v.webm", "p.jpg", "au.ogg",
                         "t.vtt", "o.swf", "btn.gif", "f.html"}),
                     In({"a.html", "i.gif", "f.html"})},
        // The attribute must belong to its tag; attributes without a value never count.
        ResourceCase{"<a data=1><img poster=2><div srcset=3><audio poster=4><input href=5><video poster><link href>"
                     "<object data=o src=os>",
                     In({"o", "os"}), In({"os"})},
        // srcset: every candidate, descriptors dropped, commas inside addresses kept.
        ResourceCase{"<img src=a.jpg srcset=\"a-1x.jpg 1x, a-2x.jpg 2x\">", In({"a.jpg", "a-1x.jpg", "a-2x.jpg"}),
                     In({"a.jpg"})},
        ResourceCase{"<img srcset=\"one.jpg\">", In({"one.jpg"}), {}},
        ResourceCase{"<img srcset=\" w480.jpg 480w,\n  w800.jpg   800w ,w1200.jpg\">",
                     In({"w480.jpg", "w800.jpg", "w1200.jpg"}),
                     {}},
        ResourceCase{"<picture><source srcset=\"x,y.webp 1x,z.webp,, q.webp 2x\" type=image/webp></picture>",
                     In({"x,y.webp", "z.webp", "q.webp"}),
                     {}},
        ResourceCase{"<img srcset=\"a.jpg,b.jpg\"><img srcset=\"c.jpg (x, y) 2x, d.jpg\">",
                     In({"a.jpg,b.jpg", "c.jpg", "d.jpg"}),
                     {}},
        // CSS in style blocks and style attributes: quoted, unquoted, escaped; data: skipped.
        ResourceCase{"<style>body { background: url(bg.png) } h1 { background: URL( \"h1.png\" ) }\n"
                     "li { list-style: url('dot.gif') } .x { background: url(data:image/png;base64,AAAA) }</style>"
                     "<a href=after.html>",
                     In({"bg.png", "h1.png", "dot.gif", "after.html"}), In({"after.html"})},
        ResourceCase{"<style>@import \"x.css\"; @import url(y.css) screen; @IMPORT 'z.css';</style>",
                     In({"x.css", "y.css", "z.css"}),
                     {}},
        ResourceCase{"<style>.a { background: url(sp\\ ace.png) } .b { background: url(\\31 x.png) }"
                     ".c { background: url(\"q\\\"t.png\") } .d { background: url(x\\).png) }</style>",
                     In({"sp ace.png", "1x.png", "q\"t.png", "x).png"}),
                     {}},
        // Comments and strings are not url(); a name ending in "url" is not either.
        ResourceCase{"<style>/* url(no1.png) */ .a:after { content: \"url(no2.png)\" } .b { x: myurl(no3.png) }"
                     " .c { background: url() } .d { background: url(yes.png) }</style>",
                     In({"yes.png"}),
                     {}},
        // Old pages hide style blocks in comments; a tag-like text inside is CSS, not markup.
        ResourceCase{"<style type=text/css><!--\n.a { background: url(c1.png) }\n--></style>"
                     "<style>.b<a href=no.html> { background: url(c2.png) }</style><a href=yes.html>",
                     In({"c1.png", "c2.png", "yes.html"}), In({"no.html", "yes.html"})},
        ResourceCase{"<p style=\"background-image: url('p.png')\">x</p><div style='background:url(data:,x)'>",
                     In({"p.png"}),
                     {}},
        // A style block that the page never closes runs to its end.
        ResourceCase{"<a href=a.html><style>.x { background: url(open.png) }", In({"a.html", "open.png"}),
                     In({"a.html"})},
        // Nothing changes inside scripts.
        ResourceCase{"<script src=s.js></script><script>document.write('<link href=\"n.css\"><img srcset=n.jpg>"
                     "<style>.x{background:url(n.png)}</style><video src=n.mp4 style=\"background:url(n2.png)\">')"
                     "</script><video poster=after.jpg>",
                     In({"s.js", "after.jpg"}), In({"s.js"})},
        // The first base element with an address is the base of every later link, page resources
        // and style blocks included; links before it keep the page's address.
        ResourceCase{"<head><base href=\"http://other/base/\"></head><a href=a.html><img src=/i.gif>"
                     "<a href=#top><a href=?q><style>.a { background: url(bg.png) }</style>",
                     In({"http://other/base/a.html", "http://other/i.gif", "http://other/base/#top",
                         "http://other/base/?q", "http://other/base/bg.png"}),
                     In({"http://other/base/a.html", "http://other/i.gif", "http://other/base/#top",
                         "http://other/base/?q"})},
        ResourceCase{"<a href=x.html><base href=\"sub/\"><a href=x.html><a href=y.html>",
                     In({"x.html", "sub/x.html", "sub/y.html"}), In({"x.html", "sub/x.html", "sub/y.html"})},
        ResourceCase{"<base target=_blank><base href=\"/one/\"><base href=\"/two/\"><a href=x>",
                     In({"http://host/one/x"}), In({"http://host/one/x"})},
        // A base that cannot hold pages (or cannot be read) leaves the page's address, and a later
        // base does not replace it.
        ResourceCase{"<base href=\"javascript:void(0)\"><base href=\"/b/\"><a href=x.html>", In({"x.html"}),
                     In({"x.html"})},
        ResourceCase{"<base href=\"data:text/html,hi\"><a href=x.html>", In({"x.html"}), In({"x.html"})},
        ResourceCase{"<base href=\"/b%zz/\"><a href=x.html>", In({"x.html"}), In({"x.html"})},
        ResourceCase{"<base href=\"#frag\"><a href=x.html>", In({"x.html"}), In({"x.html"})},
        // Schemes that are never fetched are links as written, filed without a request.
        ResourceCase{"<a href=\"data:text/plain,hi\"><a href=\"tel:+123\"><img src=\"data:image/gif;base64,R0lG\">"
                     "<a href=\"sms:+1\"><a href=\"geo:1,2\"><a href=\"about:blank\">",
                     In({"data:text/plain,hi", "tel:+123", "data:image/gif;base64,R0lG", "sms:+1", "geo:1,2",
                         "about:blank"}),
                     In({"data:text/plain,hi", "tel:+123", "data:image/gif;base64,R0lG", "sms:+1", "geo:1,2",
                         "about:blank"})},
        // Inline SVG: image and use, with href or xlink:href; a reference inside the page loads
        // nothing; outside svg the same tags are not SVG.
        ResourceCase{"<svg viewBox=\"0 0 8 8\"><image href=\"i.png\"/><IMAGE XLINK:HREF='j.png'/>"
                     "<use href=\"sprite.svg#icon\"/><use xlink:href=\"#local\"/><a href=in.html>x</a></svg>"
                     "<image href=out.png><use href=out.svg>",
                     In({"i.png", "j.png", "http://host/dir/sprite.svg#icon", "in.html"}), In({"in.html"})},
        ResourceCase{"<SVG><svg></svg><use href=a.svg></SVG><use href=b.svg>", In({"a.svg"}), {}},
        // An address repeated by any source is one link.
        ResourceCase{"<img src=a.png srcset=\"a.png 2x\"><div style=\"background: url(a.png)\">", In({"a.png"}),
                     In({"a.png"})}));

TEST_F(LinkExtractorTest, FragmentAndQueryLinksNameThePageItself) {
  Extract("<a href=\"#\">top</a> <a href=\"#top\">t</a> <a href=\"?page=2\">2</a> <a href=\"\">self</a>"
          "<a href=\"./\">folder</a>");
  // The page is known already: only the folder written as such is a new address to check.
  EXPECT_EQ(Links(), (Texts{pageAddress, "http://host/dir/"}));
  EXPECT_EQ(HeadURLs(), (Texts{"http://host/dir/"}));
  EXPECT_EQ(page->Links.front(), page);
}

TEST_F(LinkExtractorTest, ASpriteSheetIsCheckedWithoutItsFragment) {
  Extract("<svg><use href=\"sprite.svg#a\"/><use xlink:href=\"sprite.svg#b\"/></svg>");
  EXPECT_EQ(Links(), (Texts{"http://host/dir/sprite.svg"}));
  EXPECT_EQ(HeadURLs(), (Texts{"http://host/dir/sprite.svg"}));
}

TEST_F(LinkExtractorTest, OtherSchemesAreFiledWithoutARequest) {
  Extract("<a href=\"tel:+123\">call</a><img src=\"data:image/gif;base64,R0lGODlh\"><a href=\"x.html\">x</a>");
  EXPECT_EQ(Links(), (Texts{"tel:+123", "data:image/gif;base64,R0lGODlh", "http://host/dir/x.html"}));
  EXPECT_EQ(HeadURLs(), (Texts{"http://host/dir/x.html"}));
  for (int k = 0; k < 2; ++k) {
    EXPECT_EQ(page->Links[k]->TreeNode->Parent, tree.Root(rkOther));
    EXPECT_FALSE(page->Links[k]->IsBroken());
  }
}

TEST_F(LinkExtractorTest, AStyleSheetIsReadForItsImportsAndURLs) {
  const TURI sheet("http://host/dir/css/site.css");
  const TPageLinks found = ExtractStyleSheetLinks(
      "@charset \"utf-8\";\n@import url(\"base.css\");\n@import 'print.css' print;\n"
      "body { background: #fff url(../img/bg.png) repeat-x }\n"
      ".logo { background-image: url( \"/img/logo.svg\" ) }\n"
      ".icon { background: url(data:image/gif;base64,R0lGOD==) }\n"
      "@font-face { font-family: F; src: url(fonts/f.woff2) format(\"woff2\"), url('fonts/f.woff') }\n",
      sheet);
  Texts links;
  for (const TURI& uri : found.Links) links.push_back(uri.Compose());
  EXPECT_EQ(links, (Texts{"http://host/dir/css/base.css", "http://host/dir/css/print.css", "http://host/dir/img/bg.png",
                          "http://host/img/logo.svg", "http://host/dir/css/fonts/f.woff2",
                          "http://host/dir/css/fonts/f.woff"}));
  EXPECT_EQ(found.Title, "");
  EXPECT_FALSE(found.HasDescription);
}

TEST_F(LinkExtractorTest, AStyleSheetsLinksAreHeldInItsNodeAndItsTitleStays) {
  const TURI sheetURI("http://host/dir/site.css");
  TURI uri(sheetURI);
  TSpiderNode* sheet = NodeOf(tree.InsertURL(uri, nullptr, true));
  sheet->SetTitle("kept");
  queue.Heads.clear();
  TPageLinks found = ExtractStyleSheetLinks("a { background: url(a.png) } b { background: url(a.png) }", sheetURI);
  ApplyStyleSheetLinks(tree, sheet, sheetURI, found);
  ASSERT_EQ(sheet->Links.size(), 1u);
  EXPECT_EQ(sheet->Links[0]->URLText(), "http://host/dir/a.png");
  EXPECT_EQ(sheet->Links[0]->Referers, TSpiderNodeDynArray{sheet});
  EXPECT_EQ(HeadURLs(), Texts{"http://host/dir/a.png"});
  EXPECT_EQ(queue.Heads[0].Referer, "http://host/dir/site.css");
  EXPECT_EQ(sheet->Title(), "kept");
}

// Reading CSS and srcset never runs past the text's end, whatever it is cut at.
TEST(CSSLinks, TextsCutAnywhereEndCleanly) {
  const std::string css = "@import \"a.css\"; .b { background: url( 'b\\\\c\\41 .png' ) } /* c */ .d{x:url(d\\";
  for (size_t n = 0; n <= css.size(); ++n) {
    Texts got;
    ForEachCSSLink(std::string_view(css.data(), n), [&](std::string_view l) { got.emplace_back(l); });
    EXPECT_LE(got.size(), 3u);
  }
  Texts all;
  ForEachCSSLink(css, [&](std::string_view l) { all.emplace_back(l); });
  EXPECT_EQ(all, (Texts{"a.css", "b\\cA.png", "d"}));
  const std::string srcset = "a.jpg 1x, b,c.jpg (1, 2) 2x,, d.jpg";
  for (size_t n = 0; n <= srcset.size(); ++n)
    ForEachSrcsetLink(std::string_view(srcset.data(), n), [](std::string_view l) { EXPECT_FALSE(l.empty()); });
}

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
  EXPECT_EQ(page->Title(), "T");
  EXPECT_EQ(page->Description(), "d");
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
  EXPECT_EQ(page->Title(), "Old title");
  EXPECT_EQ(page->Description(), "Old description");
  ApplyPageLinks(tree, page, base, found);
  EXPECT_EQ(page->Title(), "New");
  EXPECT_EQ(page->Description(), "D");
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

TEST_F(LinkExtractorTest, FilingAStoppedPageEndsAtTheNextLink) {
  const TURI base(pageAddress);
  TPageLinks found = ExtractPageLinks("<title>T</title><a href=1><a href=2><a href=3><a href=4>", base);
  int asked = 0;
  ApplyPageLinks(tree, page, base, found, [&] { return ++asked > 2; });
  EXPECT_EQ(Links(), (Texts{"http://host/dir/1", "http://host/dir/2"}));
  EXPECT_EQ(HeadURLs(), (Texts{"http://host/dir/1", "http://host/dir/2"}));
  EXPECT_EQ(asked, 3);
  EXPECT_EQ(page->Title(), "T");  // what was read of the page is kept
}

TEST_F(LinkExtractorTest, ThePageNodeIsRequired) {
  const TURI base(pageAddress);
  TPageLinks found;
  EXPECT_THROW(ApplyPageLinks(tree, nullptr, base, found), EAssertionFailed);
}

}  // namespace
