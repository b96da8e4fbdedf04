// The reports for other programs, written from a crawl of a loopback site and read back with a
// real XML parser: the sitemap (its pages, escaping, dates and the split under an index), the
// JUnit XML (its counts, failures and anchors) and the JSON report's text escapes. The JSON's
// schema is checked by the tools tests with the built program.
#include <expat.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "Kel/KelError.h"
#include "Kel/KelStr.h"
#include "app/CrawlEngine.h"
#include "app/Reports.h"

#include "support/AppFixture.h"
#include "support/TestServer.h"

namespace {

namespace fs = std::filesystem;

// Elements with their attributes and text, in document order.
struct XMLDocument {
  struct Element {
    std::string Name;
    std::map<std::string, std::string> Attributes;
    std::string Text;
    std::string Parent;
  };
  std::vector<Element> Elements;
  std::vector<size_t> Open;
  std::string Error;

  explicit XMLDocument(const std::string& text) {
    XML_Parser parser = XML_ParserCreateNS(nullptr, ' ');
    XML_SetUserData(parser, this);
    XML_SetElementHandler(parser, StartElement, EndElement);
    XML_SetCharacterDataHandler(parser, Data);
    if (XML_Parse(parser, text.data(), static_cast<int>(text.size()), 1) != XML_STATUS_OK)
      Error = std::string(XML_ErrorString(XML_GetErrorCode(parser))) + " at line " +
              std::to_string(XML_GetCurrentLineNumber(parser));
    XML_ParserFree(parser);
  }
  static void StartElement(void* self, const XML_Char* name, const XML_Char** attributes) {
    auto* d = static_cast<XMLDocument*>(self);
    Element e;
    e.Name = name;
    if (!d->Open.empty()) e.Parent = d->Elements[d->Open.back()].Name;
    for (int i = 0; attributes[i]; i += 2) e.Attributes[attributes[i]] = attributes[i + 1];
    d->Open.push_back(d->Elements.size());
    d->Elements.push_back(std::move(e));
  }
  static void EndElement(void* self, const XML_Char*) { static_cast<XMLDocument*>(self)->Open.pop_back(); }
  static void Data(void* self, const XML_Char* s, int n) {
    auto* d = static_cast<XMLDocument*>(self);
    if (!d->Open.empty()) d->Elements[d->Open.back()].Text.append(s, static_cast<size_t>(n));
  }
  std::vector<const Element*> All(const std::string& name) const {
    std::vector<const Element*> found;
    for (const auto& e : Elements)
      if (e.Name == name) found.push_back(&e);
    return found;
  }
  std::vector<std::string> TextsOf(const std::string& name) const {
    std::vector<std::string> texts;
    for (const Element* e : All(name)) texts.push_back(e->Text);
    return texts;
  }
};

const std::string kSitemapNS = "http://www.sitemaps.org/schemas/sitemap/0.9 ";

class ReportsTest : public AppFixture {
 protected:
  ReportsTest() {
    // The home page's title holds a control character and a byte that is not UTF-8.
    Serve("/", std::string("<title>Home \x01 & \xFF \"q\"</title>") +
                   "<a href='a.html'>a</a><a href='old.html'>old</a><a href='missing.html'>m</a>"
                   "<a href='q.html?x=1&amp;y=2'>q</a><a href='caf%C3%A9.html'>c</a><img src='i.gif'>"
                   "<a href='b.html#nowhere'>b</a><a href='b.html#here'>b</a><a href='mailto:me@example.com'>m</a>"
                   "<a href='" + std::string("http://127.0.0.1:1/elsewhere.html") + "'>e</a>");
    site.Http().Get("/a.html", [](const httplib::Request&, httplib::Response& res) {
      res.set_header("Last-Modified", "Wed, 09 Dec 2026 10:00:00 GMT");
      res.set_content("<title>A</title><a href='/'>home</a>", "text/html");
    });
    Serve("/b.html", "<title>B</title><h2 id=here>Here</h2>");
    Serve("/q.html", "<title>Q</title>");
    site.Http().Get(R"(/caf.*\.html)", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("<title>Caf\xC3\xA9</title>", "text/html");
    });
    site.Http().Get("/old.html", [](const httplib::Request&, httplib::Response& res) {
      res.status = 301;
      res.set_header("Location", "/a.html");
    });
    site.Http().Get("/i.gif", [](const httplib::Request&, httplib::Response& res) { res.set_content("GIF89a", "image/gif"); });
    site.Start();
  }
  void Serve(const std::string& path, const std::string& body) {
    site.Http().Get(path, [body](const httplib::Request&, httplib::Response& res) { res.set_content(body, "text/html"); });
  }
  TCrawlEngine& Engine() { return app->Engine; }
  void CrawlSite() {
    app->Main.Tree.ValidateExternalURLs = true;
    Crawl(site.URL("/"));
  }
  std::vector<std::string> SitePages() const {
    return {site.URL("/"), site.URL("/a.html"), site.URL("/q.html?x=1&y=2"), site.URL("/caf%C3%A9.html"),
            site.URL("/b.html")};
  }
  template <typename Write>
  std::string Text(Write write) {
    std::ostringstream out;
    write(out);
    return out.str();
  }

  TestServer site;
};

std::vector<std::string> Sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

TEST_F(ReportsTest, TheSitemapListsThePagesOfTheSiteThatAnsweredWithHTML) {
  CrawlSite();
  const std::string text = Text([&](std::ostream& out) { Engine().ExportSitemap(out); });
  const XMLDocument doc(text);
  ASSERT_EQ(doc.Error, "") << text;
  ASSERT_FALSE(doc.Elements.empty());
  EXPECT_EQ(doc.Elements[0].Name, kSitemapNS + "urlset");
  // Redirect sources, broken pages, images, mail and external addresses are left out; the
  // redirect's target is listed once.
  EXPECT_EQ(Sorted(doc.TextsOf(kSitemapNS + "loc")), Sorted(SitePages()));
  // The query's "&" is escaped in the file, the non-ASCII name percent-encoded.
  EXPECT_NE(text.find("q.html?x=1&amp;y=2</loc>"), std::string::npos);
  EXPECT_NE(text.find("caf%C3%A9.html</loc>"), std::string::npos);
  // Only the page that said when it changed has a date, in the W3C format.
  EXPECT_EQ(doc.TextsOf(kSitemapNS + "lastmod"), std::vector<std::string>{"2026-12-09T10:00:00Z"});
  for (const auto* url : doc.All(kSitemapNS + "url")) EXPECT_EQ(url->Parent, kSitemapNS + "urlset");
}

// The split: each file within the limits, every page in exactly one file, the index naming
// each file by its address in the site's folder.
struct SplitCase {
  size_t maxURLs, maxBytes;
  size_t files;  // the files written, the index first; 0: more than two (a split by size)
};

class SitemapSplitTest : public ReportsTest, public ::testing::WithParamInterface<SplitCase> {};

TEST_P(SitemapSplitTest, PagesPastTheLimitsGoToNumberedFilesUnderAnIndex) {
  const SplitCase c = GetParam();
  CrawlSite();
  const std::string file = dir.File("sitemap.xml");
  const std::vector<std::string> written = Engine().ExportSitemap(file, {c.maxURLs, c.maxBytes});
  if (c.files) ASSERT_EQ(written.size(), c.files);
  else ASSERT_GT(written.size(), 2u);
  EXPECT_EQ(written[0], file);
  if (c.files == 1) {
    EXPECT_EQ(ReadFileText(file), Text([&](std::ostream& out) { Engine().ExportSitemap(out); }));
    return;
  }
  const XMLDocument index(ReadFileText(file));
  ASSERT_EQ(index.Error, "");
  EXPECT_EQ(index.Elements[0].Name, kSitemapNS + "sitemapindex");
  std::vector<std::string> expectedParts, pages;
  for (size_t i = 1; i < written.size(); ++i) {
    EXPECT_EQ(written[i], dir.File("sitemap-" + std::to_string(i) + ".xml"));
    expectedParts.push_back(site.URL("/sitemap-" + std::to_string(i) + ".xml"));
    const std::string part = ReadFileText(written[i]);
    EXPECT_LE(part.size(), c.maxBytes);
    const XMLDocument doc(part);
    ASSERT_EQ(doc.Error, "") << part;
    const auto locs = doc.TextsOf(kSitemapNS + "loc");
    EXPECT_GE(locs.size(), 1u);
    EXPECT_LE(locs.size(), c.maxURLs);
    pages.insert(pages.end(), locs.begin(), locs.end());
  }
  EXPECT_EQ(index.TextsOf(kSitemapNS + "loc"), expectedParts);
  EXPECT_EQ(Sorted(pages), Sorted(SitePages()));
}

INSTANTIATE_TEST_SUITE_P(Limits, SitemapSplitTest,
                         ::testing::Values(SplitCase{50000, 50 * 1024 * 1024, 1},  // the protocol's
                                           SplitCase{5, 50 * 1024 * 1024, 1},      // exactly full
                                           SplitCase{2, 50 * 1024 * 1024, 4},      // 2 + 2 + 1
                                           SplitCase{1, 50 * 1024 * 1024, 6},      // one a file
                                           SplitCase{50000, 300, 0}));             // by size

TEST_F(ReportsTest, ASitemapThatCannotBeWrittenFailsAndLeavesNothing) {
  CrawlSite();
  EXPECT_THROW(Engine().ExportSitemap(dir.File("no/such/folder/sitemap.xml"), {2, 1 << 20}), EError);
  fs::create_directory(dir.File("parts"));
  // A part that cannot be replaced (a folder in its place) fails the whole write.
  fs::create_directory(dir.File("parts/sitemap-3.xml"));
  EXPECT_THROW(Engine().ExportSitemap(dir.File("parts/sitemap.xml"), {2, 1 << 20}), EError);
  EXPECT_FALSE(fs::exists(dir.File("parts/sitemap.xml")));
  EXPECT_FALSE(fs::exists(dir.File("parts/sitemap-1.xml")));
}

TEST_F(ReportsTest, JUnitHasATestCasePerCheckedAddressAndAFailurePerBrokenOne) {
  CrawlSite();
  const std::string text = Text([&](std::ostream& out) { Engine().ExportJUnit(out); });
  const XMLDocument doc(text);
  ASSERT_EQ(doc.Error, "") << text;
  ASSERT_EQ(doc.All("testsuites").size(), 1u);
  const auto suites = doc.All("testsuite");
  ASSERT_EQ(suites.size(), 1u);
  const auto cases = doc.All("testcase");
  const auto failures = doc.All("failure");
  EXPECT_EQ(suites[0]->Attributes.at("tests"), std::to_string(cases.size()));
  EXPECT_EQ(suites[0]->Attributes.at("failures"), std::to_string(failures.size()));
  EXPECT_EQ(doc.All("testsuites")[0]->Attributes.at("tests"), std::to_string(cases.size()));
  for (const auto* f : failures) EXPECT_EQ(f->Parent, "testcase");

  std::map<std::string, const XMLDocument::Element*> byName;
  for (const auto* c : cases) {
    EXPECT_FALSE(c->Attributes.at("classname").empty());
    byName[c->Attributes.at("name")] = c;
  }
  // Mail addresses get no request, so no test case.
  EXPECT_EQ(byName.count("mailto:me@example.com"), 0u);
  EXPECT_EQ(byName.count(site.URL("/a.html")), 1u);
  EXPECT_EQ(byName.at("http://127.0.0.1:1/elsewhere.html")->Attributes.at("classname"), "links.external");
  // The broken page's failure: its answer, and where it is linked from.
  std::map<std::string, const XMLDocument::Element*> failureOf;
  std::string lastCase;
  for (const auto& e : doc.Elements) {
    if (e.Name == "testcase") lastCase = e.Attributes.at("name");
    if (e.Name == "failure") failureOf[lastCase] = &e;
  }
  EXPECT_EQ(failureOf.size(), failures.size());
  const auto* failure = failureOf[site.URL("/missing.html")];
  ASSERT_NE(failure, nullptr);
  EXPECT_EQ(failure->Attributes.at("message"), "HTTP/1.1 404 Not Found");
  EXPECT_NE(failure->Text.find("Linked from:\n  " + site.URL("/")), std::string::npos) << failure->Text;
  EXPECT_EQ(failureOf.count(site.URL("/a.html")), 0u);
  // The broken anchor, a case of its own.
  ASSERT_EQ(byName.count(site.URL("/b.html") + "#nowhere"), 1u);
  EXPECT_EQ(byName.at(site.URL("/b.html") + "#nowhere")->Attributes.at("classname"), "anchors");
  EXPECT_EQ(byName.count(site.URL("/b.html") + "#here"), 0u);
  // Checked addresses: the map's requested ones, and one anchor.
  int checked = 0;
  for (const auto& node : Engine().Map().Nodes())
    if (node->ResponseCode != 0 && node->Address().Protocol() != "mailto") ++checked;
  EXPECT_EQ(cases.size(), static_cast<size_t>(checked + 1));
}

TEST_F(ReportsTest, JUnitWithoutAnchorChecksHasNoAnchorCases) {
  app->Main.Crawl.CheckAnchors = false;
  CrawlSite();
  const XMLDocument doc(Text([&](std::ostream& out) { Engine().ExportJUnit(out); }));
  ASSERT_EQ(doc.Error, "");
  for (const auto* c : doc.All("testcase")) EXPECT_NE(c->Attributes.at("classname"), "anchors");
}

TEST_F(ReportsTest, TheJSONReportEscapesEveryTextAndKeepsItUTF8) {
  CrawlSite();
  const std::string text = Text([&](std::ostream& out) { Engine().ExportJSON(out); });
  EXPECT_NE(text.find("\"title\":\"Home \\u0001 & \xEF\xBF\xBD \\\"q\\\"\""), std::string::npos) << text.substr(0, 2000);
  EXPECT_NE(text.find("\"title\":\"Caf\xC3\xA9\""), std::string::npos);
  EXPECT_NE(text.find("\"redirect\":\"" + site.URL("/a.html") + "\""), std::string::npos);
  EXPECT_NE(text.find("{\"fragment\":\"nowhere\",\"referers\":[\"" + site.URL("/") + "\"]}"), std::string::npos);
  EXPECT_NE(text.find("\"lastModified\":\"2026-12-09T10:00:00Z\""), std::string::npos);
  EXPECT_NE(text.find("\"started\":\"20"), std::string::npos);
  // A file gets the same bytes.
  Engine().ExportJSON(dir.File("report.json"));
  EXPECT_EQ(ReadFileText(dir.File("report.json")), text);
}

TEST_F(ReportsTest, ALoadedProjectHasNoCrawlTimes) {
  CrawlSite();
  Engine().SaveProject(dir.File("site.tly"));
  Engine().Open(dir.File("site.tly"));
  const TReportCrawl crawl = Engine().ReportCrawl();
  EXPECT_EQ(crawl.Started, 0);
  EXPECT_EQ(crawl.Finished, 0);
  EXPECT_EQ(crawl.Start, site.URL("/"));
  const std::string text = Text([&](std::ostream& out) { Engine().ExportJSON(out); });
  EXPECT_NE(text.find("\"started\":null,\"finished\":null"), std::string::npos);
}

TEST(W3CDateTimeTest, IsUTCInTheW3CFormat) {
  EXPECT_EQ(W3CDateTime(0), "1970-01-01T00:00:00Z");
  EXPECT_EQ(W3CDateTime(1796810400), "2026-12-09T10:00:00Z");
}

}  // namespace
