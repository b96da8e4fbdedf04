// The site's own sitemaps as tessaly-crawl reads them with --use-sitemap: the built program
// against a loopback site, its orphan pages in the report and the JSON report, and what a
// hostile or broken sitemap costs.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <zlib.h>

#include <atomic>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "Kel/KelStr.h"
#include "support/TempDir.h"
#include "support/Gzip.h"
#include "support/ProgramRun.h"
#include "support/TestServer.h"

namespace {

std::string UrlSet(const std::vector<std::string>& addresses) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n";
  for (const std::string& a : addresses) xml += "  <url><loc>" + a + "</loc></url>\n";
  return xml + "</urlset>\n";
}

std::string SitemapIndex(const std::vector<std::string>& sitemaps) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<sitemapindex xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n";
  for (const std::string& s : sitemaps) xml += "  <sitemap><loc>" + s + "</loc></sitemap>\n";
  return xml + "</sitemapindex>\n";
}

using Result = TProgramResult;

class SitemapCrawlTest : public ::testing::Test {
 protected:
  Result Run(const std::vector<std::string>& args) { return RunProgram(dir, TESSALY_CRAWL, args); }
  // Serves `body` at `path` ("{site}" in it: the server's address), counting the GET requests
  // of each path.
  void Serve(const std::string& path, const std::string& body, const std::string& type = "text/html") {
    server.Http().Get(path, [this, body, type](const httplib::Request& req, httplib::Response& res) {
      if (req.method == "GET") {
        std::lock_guard<std::mutex> lock(mutex);
        ++gets[req.path];
      }
      const std::string site = server.URL("");
      std::string text;
      size_t from = 0;
      for (size_t at = body.find("{site}"); at != std::string::npos; from = at + 6, at = body.find("{site}", from))
        text.append(body, from, at - from).append(site);
      text.append(body, from);
      res.set_content(text, type);
    });
  }
  int Gets(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex);
    return gets.count(path) ? gets[path] : 0;
  }
  int GetsUnder(const std::string& prefix) {
    std::lock_guard<std::mutex> lock(mutex);
    int n = 0;
    for (const auto& [path, count] : gets)
      if (StartsText(prefix, path)) n += count;
    return n;
  }
  void ResetGets() {
    std::lock_guard<std::mutex> lock(mutex);
    gets.clear();
  }
  // The JSON report, the JUnit report and the sitemap written by the last run, checked against
  // their formats (the JSON against docs/report.schema.json).
  void ExpectReportsFollowTheirFormats() {
    const std::string check = ShellQuote(TESSALY_SOURCE_DIR "/tests/tools/reports/check-reports.py") + " " +
                              ShellQuote(TESSALY_SOURCE_DIR "/docs/report.schema.json") + " " + ShellQuote(json) + " " +
                              ShellQuote(junit) + " " + ShellQuote(sitemap);
    EXPECT_EQ(std::system(("python3 " + check + " >" + ShellQuote(dir.File("check.txt")) + " 2>&1").c_str()), 0)
        << ReadFileText(dir.File("check.txt"));
  }
  // A site whose robots.txt names a sitemap index; the index names one gzip sitemap and itself.
  // The sitemap lists the home page, a linked page, a page nothing links to (which links to a
  // fourth page) and an address of another site.
  void ServeSiteWithIndex() {
    Serve("/", "<title>Home</title><a href='linked.html'>linked</a>");
    Serve("/linked.html", "<title>Linked</title>");
    Serve("/orphan.html", "<title>Orphan</title><a href='deep.html'>deep</a>");
    Serve("/deep.html", "<title>Deep</title>");
    Serve("/robots.txt", "User-agent: *\nDisallow:\n\nSitemap: {site}/index.xml\n", "text/plain");
    Serve("/index.xml", SitemapIndex({"{site}/pages.xml.gz", "{site}/index.xml"}), "application/xml");
    // Compressed, its addresses are written in full here: the server is started already.
    server.Http().Get("/pages.xml.gz", [this](const httplib::Request& req, httplib::Response& res) {
      if (req.method == "GET") {
        std::lock_guard<std::mutex> lock(mutex);
        ++gets[req.path];
      }
      res.set_content(Gzip(UrlSet({server.URL("/"), server.URL("/linked.html"), server.URL("/orphan.html"),
                                   "http://elsewhere.invalid/x.html"})),
                      "application/gzip");
    });
  }
  std::vector<std::string> Reports() { return {"--json", json, "--junit", junit, "--sitemap", sitemap}; }

  TempDir dir;
  TestServer server;
  std::mutex mutex;
  std::map<std::string, int> gets;
  const std::string json = dir.File("report.json"), junit = dir.File("junit.xml"), sitemap = dir.File("sitemap.xml");
};

// The sitemap's page that nothing links to is crawled (its own links too) and is the one orphan
// page, in the report and the JSON report; the index that names itself is read once. The same
// whether the crawl keeps to robots.txt (the gate reads it) or not (it is read for its
// "Sitemap" lines alone).
TEST_F(SitemapCrawlTest, AnIndexInRobotsTxtLeadsToTheOrphanPage) {
  ServeSiteWithIndex();
  server.Start();
  for (const bool robots : {false, true}) {
    SCOPED_TRACE(robots ? "--robots" : "without --robots");
    ResetGets();
    std::vector<std::string> args = {"--no-external", "--use-sitemap"};
    if (robots) args.push_back("--robots");
    for (const std::string& a : Reports()) args.push_back(a);
    args.push_back(server.URL("/"));
    const Result r = Run(args);
    EXPECT_EQ(r.Code, 0) << r.Out << r.Err;
    EXPECT_NE(r.Out.find("Orphan pages: 1 (pages only the site's sitemaps name; 2 sitemap files read)\n  " +
                         server.URL("/orphan.html") + "\n"),
              std::string::npos)
        << r.Out;
    EXPECT_EQ(Gets("/robots.txt"), 1);
    EXPECT_EQ(Gets("/index.xml"), 1);
    EXPECT_EQ(Gets("/pages.xml.gz"), 1);
    EXPECT_EQ(Gets("/orphan.html"), 1);
    EXPECT_EQ(Gets("/deep.html"), 1);
    ExpectReportsFollowTheirFormats();
    const std::string report = ReadFileText(json);
    EXPECT_NE(report.find(",\"useSitemap\":true,"), std::string::npos);
    EXPECT_NE(report.find("\"orphanPages\":{\"sitemaps\":[\"" + server.URL("/index.xml") + "\",\"" +
                          server.URL("/pages.xml.gz") + "\"],\"listed\":3,\"addresses\":[\"" +
                          server.URL("/orphan.html") + "\"]}"),
              std::string::npos)
        << report;
    EXPECT_EQ(report.find("elsewhere.invalid"), std::string::npos);
    EXPECT_NE(report.find("{\"address\":\"" + server.URL("/deep.html") + "\""), std::string::npos);
  }
}

// Without the option nothing of the sitemaps is requested and the map is the links' alone.
TEST_F(SitemapCrawlTest, OffRequestsNoSitemapAndLeavesTheMapAsItWas) {
  ServeSiteWithIndex();
  server.Start();
  std::vector<std::string> args = {"--no-external"};
  for (const std::string& a : Reports()) args.push_back(a);
  args.push_back(server.URL("/"));
  const Result r = Run(args);
  EXPECT_EQ(r.Code, 0) << r.Err;
  EXPECT_EQ(r.Out.find("Orphan"), std::string::npos) << r.Out;
  EXPECT_EQ(r.Out.find("Note:"), std::string::npos) << r.Out;
  EXPECT_EQ(Gets("/robots.txt") + Gets("/index.xml") + Gets("/pages.xml.gz") + Gets("/orphan.html"), 0);
  ExpectReportsFollowTheirFormats();
  const std::string report = ReadFileText(json);
  EXPECT_EQ(report.find("orphanPages"), std::string::npos);
  EXPECT_EQ(report.find("useSitemap"), std::string::npos);
  EXPECT_EQ(report.find("index.xml"), std::string::npos);
  EXPECT_NE(report.find(server.URL("/linked.html")), std::string::npos);
}

// Without a "Sitemap" line, /sitemap.xml is read; without one there either, the report says
// the site has none and the map holds no trace of it.
TEST_F(SitemapCrawlTest, WithoutASitemapLineSitemapXmlIsRead) {
  Serve("/", "<title>Home</title><a href='linked.html'>linked</a>");
  Serve("/linked.html", "<title>Linked</title>");
  Serve("/orphan.html", "<title>Orphan</title>");
  std::atomic<bool> served{true};
  server.Http().Get("/sitemap.xml", [&](const httplib::Request&, httplib::Response& res) {
    if (!served) {
      res.status = 404;
      return;
    }
    res.set_content(UrlSet({server.URL("/linked.html"), server.URL("/orphan.html")}), "application/xml");
  });
  server.Start();
  Result r = Run({"--no-external", "--use-sitemap", "--json", json, server.URL("/")});
  EXPECT_EQ(r.Code, 0) << r.Err;
  EXPECT_NE(r.Out.find("Orphan pages: 1 (pages only the site's sitemaps name; 1 sitemap file read)\n  " +
                       server.URL("/orphan.html") + "\n"),
            std::string::npos)
      << r.Out;

  served = false;
  r = Run({"--no-external", "--use-sitemap", "--json", json, server.URL("/")});
  EXPECT_EQ(r.Code, 0) << r.Out << r.Err;
  EXPECT_NE(r.Out.find("Note: The site has no sitemap: its robots.txt names none, and " + server.URL("/sitemap.xml") +
                       " answered \"HTTP/1.1 404 Not Found\".\n"),
            std::string::npos)
      << r.Out;
  EXPECT_NE(r.Out.find("Orphan pages: 0 (pages only the site's sitemaps name; 0 sitemap files read)\n"),
            std::string::npos)
      << r.Out;
  EXPECT_EQ(ReadFileText(json).find("sitemap.xml\",\"code\""), std::string::npos);
}

struct HostileCase {
  const char* name;
  std::vector<std::string> extra;  // more options
  std::string note;                // the report's note ("%s": the sitemap's address)
};

void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.name; }

class HostileSitemapTest : public SitemapCrawlTest, public ::testing::WithParamInterface<HostileCase> {};

// A sitemap that is not one, is cut short, is broken or names far too many sitemaps is read
// within its bounds: the crawl ends normally and the report says what could not be read.
TEST_P(HostileSitemapTest, IsReadWithinBoundsAndNoted) {
  const HostileCase& c = GetParam();
  Serve("/", "<title>Home</title>");
  Serve("/robots.txt", "Sitemap: /map\n", "text/plain");
  std::vector<std::string> many;
  for (int i = 0; i < 10000; ++i) many.push_back("{site}/s/" + std::to_string(i) + ".xml");
  std::vector<std::string> long_list;
  for (int i = 0; i < 5000; ++i) long_list.push_back("{site}/p" + std::to_string(i) + ".html");
  const std::map<std::string, std::pair<std::string, std::string>> bodies = {
      {"html", {"<html><body><h1>Welcome</h1><a href='/'>home</a></body></html>", "text/html"}},
      {"gzip", {Gzip(UrlSet({"http://127.0.0.1/a.html"})).substr(0, 30), "application/gzip"}},
      {"huge", {UrlSet(long_list), "application/xml"}},
      {"many", {SitemapIndex(many), "application/xml"}},
      {"missing", {"", ""}},
  };
  const auto& [body, type] = bodies.at(c.name);
  if (!type.empty()) Serve("/map", body, type);
  server.Http().Get(R"(/s/\d+\.xml)", [this](const httplib::Request& req, httplib::Response& res) {
    if (req.method == "GET") {
      std::lock_guard<std::mutex> lock(mutex);
      ++gets["/s/"];
    }
    res.set_content(UrlSet({}), "application/xml");
  });
  server.Start();
  std::vector<std::string> args = {"--no-external", "--use-sitemap", "--max-addresses", "0"};
  for (const std::string& a : c.extra) args.push_back(a);
  args.push_back(server.URL("/"));
  const Result r = Run(args);
  EXPECT_TRUE(r.Code == 0 || r.Code == 1) << r.Code << r.Err;
  std::string note = "Note: " + c.note;
  if (const size_t at = note.find("%s"); at != std::string::npos) note.replace(at, 2, server.URL("/map"));
  EXPECT_NE(r.Out.find(note), std::string::npos) << note << "\n" << r.Out;
  EXPECT_LE(GetsUnder("/s/"), 1000);
}

INSTANTIATE_TEST_SUITE_P(
    Sitemaps, HostileSitemapTest,
    ::testing::Values(
        HostileCase{"html", {}, "The sitemap %s could not be read whole: not a sitemap: no <urlset> or <sitemapindex>."},
        HostileCase{"gzip", {}, "The sitemap %s could not be read whole: the gzip stream is broken."},
        HostileCase{"huge", {"--max-page-size", "4000"}, "The sitemap %s was cut off at the largest page size"},
        HostileCase{"many", {}, "The site has more than 1000 sitemap files: the others were not read."},
        HostileCase{"missing", {}, "The sitemap %s could not be read: \"HTTP/1.1 404 Not Found\"."}),
    [](const ::testing::TestParamInfo<HostileCase>& info) { return std::string(info.param.name); });

}  // namespace
