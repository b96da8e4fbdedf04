// A crawl without limits of the generated benchmark site (a few thousand addresses): every
// address the site can reach is in the map with its answer, every page's links are its links in
// the order of first appearance, each once, and every address's referers are exactly the pages
// that link to it.
#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "bench/site-server/BenchSite.h"
#include "support/AppFixture.h"
#include "support/TestServer.h"

namespace {

struct TExpected {
  int Code = 0;
  std::vector<std::string> Links;      // pages only: targets in order of first appearance
  std::set<std::string> Referers;      // pages that link here (never the address itself)
};

// What the crawl must find, by path: a walk of the generated site from its home page.
std::map<std::string, TExpected> ExpectedMap(const TBenchSite& site) {
  std::map<std::string, TExpected> map;
  std::deque<std::string> pending = {"/"};
  map["/"];
  auto reach = [&](const std::string& path) {
    if (map.emplace(path, TExpected{}).second) pending.push_back(path);
  };
  while (!pending.empty()) {
    const std::string path = pending.front();
    pending.pop_front();
    const TBenchAnswer answer = site.Answer(path);
    TExpected& e = map[path];
    e.Code = answer.Status;
    if (answer.Status == 301) {
      reach(answer.Location);
      continue;
    }
    if (answer.Status != 200 || answer.Type != "text/html") continue;
    unsigned long long k = 0, folder = 0;
    if (path != "/" && std::sscanf(path.c_str(), "/d%llu/p%llu.html", &folder, &k) != 2) continue;
    std::set<std::string> seen;
    for (const TBenchLink& link : site.Links(path == "/" ? 0 : k)) {
      if (seen.insert(link.Path).second) map[path].Links.push_back(link.Path);
      if (link.Path != path) {
        reach(link.Path);
        map[link.Path].Referers.insert(path);
      }
    }
  }
  return map;
}

class GeneratedSiteTest : public AppFixture {};

TEST_F(GeneratedSiteTest, ACrawlWithoutLimitsMapsTheWholeSite) {
  const TBenchSite site(7, 3000);
  TestServer server;
  // Thousands of requests on kept-alive connections: each answer goes out without waiting for
  // the client's delayed acknowledgement.
  server.Http().set_tcp_nodelay(true);
  server.Http().Get(".*", [&site](const httplib::Request& req, httplib::Response& res) {
    const TBenchAnswer a = site.Answer(req.path);
    res.status = a.Status;
    if (!a.Location.empty()) res.set_header("Location", a.Location);
    res.set_content(a.Body, a.Type);
  });
  server.Start();
  const std::string base = server.URL("/");
  const std::string origin = base.substr(0, base.size() - 1);
  app->Main.Tree.ValidateExternalURLs = false;
  app->HTTPSettings.EditMaxAddresses.Text = "0";
  app->HTTPSettings.EditMaxQueue.Text = "0";
  app->HTTPSettings.Changed();

  Crawl(base);
  EXPECT_TRUE(ask.TextsOf("Notice").empty());

  const auto expected = ExpectedMap(site);
  ASSERT_GT(expected.size(), 2500u);
  EXPECT_EQ(app->Map.Count(), static_cast<int>(expected.size()));
  // `from` is a redirect to `path`, or a page that links to one.
  auto redirectsTo = [&](const std::string& from, const std::string& path) {
    if (site.Answer(from).Location == path) return true;
    for (const std::string& link : expected.at(from).Links)
      if (site.Answer(link).Location == path) return true;
    return false;
  };
  auto pathOf = [&](const TSpiderNode* node) { return node->URLText().substr(origin.size()); };
  for (const auto& node : app->Map.Nodes()) {
    const std::string path = pathOf(node.get());
    const auto found = expected.find(path);
    ASSERT_NE(found, expected.end()) << path;
    const TExpected& e = found->second;
    EXPECT_EQ(node->ResponseCode, e.Code) << path;
    if (!e.Links.empty()) {
      std::vector<std::string> links;
      for (const TSpiderNode* target : node->Links) links.push_back(pathOf(target));
      EXPECT_EQ(links, e.Links) << path;
    }
    std::set<std::string> referers;
    for (const TSpiderNode* referer : node->Referers) referers.insert(pathOf(referer));
    EXPECT_EQ(referers.size(), node->Referers.size()) << path << ": a referer twice";
    // Every page that links here, and nothing else but what a redirect brings.
    for (const std::string& r : e.Referers) EXPECT_TRUE(referers.count(r)) << path << " from " << r;
    for (const std::string& r : referers)
      EXPECT_TRUE(e.Referers.count(r) || redirectsTo(r, path)) << path << " from " << r;
  }
}

}  // namespace
