// Addresses as real sites write them, end to end: other ports and IPv6 hosts are other servers,
// redirects to special schemes, local files and their scope, start files in odd folders, and
// projects that reopen node for node whatever the links of the crawled pages.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "Kel/KelStr.h"
#include "support/AppFixture.h"
#include "support/TempDir.h"
#include "support/Random.h"
#include "support/TestServer.h"

namespace {

class AddressTest : public AppFixture {
 protected:
  // Serves `path` on `server` with `body` (an HTML page), counting its requests.
  void Page(TestServer& server, const std::string& path, const std::string& body) {
    server.Http().Get(path, [this, &server, path, body](const httplib::Request& req, httplib::Response& res) {
      Count(server, req.method, path);
      res.set_content(body, "text/html");
    });
  }
  void Redirect(TestServer& server, const std::string& path, const std::string& location) {
    server.Http().Get(path, [this, &server, path, location](const httplib::Request& req, httplib::Response& res) {
      Count(server, req.method, path);
      res.status = 302;
      res.set_header("Location", location);
    });
  }
  void Count(TestServer& server, const std::string& method, const std::string& path) {
    std::lock_guard lock(countMutex);
    ++requests[&server][method + " " + path];
  }
  int Requests(TestServer& server, const std::string& key = "") {
    std::lock_guard lock(countMutex);
    if (!key.empty()) return requests[&server][key];
    int total = 0;
    for (const auto& [k, n] : requests[&server]) total += n;
    return total;
  }
  // A node's place: the captions from its top-level entry down.
  static std::string Place(const TSpiderNode* node) { return NodePath(node->TreeNode); }

  std::mutex countMutex;
  std::map<const TestServer*, std::map<std::string, int>> requests;
};

// One page on 127.0.0.1:A links to its own a.html and to a.html and b.html of 127.0.0.1:B.
class PortsTest : public AddressTest, public ::testing::WithParamInterface<bool> {};

TEST_P(PortsTest, AnotherPortIsAnotherServer) {
  const bool validate = GetParam();
  TestServer a, b;
  int portB = 0;
  a.Http().Get("/", [&](const httplib::Request& req, httplib::Response& res) {
    Count(a, req.method, "/");
    const std::string other = "http://127.0.0.1:" + std::to_string(portB);
    res.set_content("<a href='a.html'>a</a> <a href='" + other + "/a.html'>b</a> <a href='" + other +
                        "/b.html'>c</a> <a href='" + other + "/a.html#x'>d</a>",
                    "text/html");
  });
  Page(a, "/a.html", "<title>A of A</title>");
  Page(b, "/a.html", "<title>A of B</title><a href='c.html'>c</a>");
  Page(b, "/b.html", "<title>B of B</title>");
  a.Start();
  b.Start();
  portB = b.Port();
  app->Main.Tree.ValidateExternalURLs = validate;
  Crawl(a.URL("/"));

  TSpiderNode* own = Node(a.URL("/a.html"));
  TSpiderNode* otherA = Node(b.URL("/a.html"));
  TSpiderNode* otherB = Node(b.URL("/b.html"));
  ASSERT_TRUE(own && otherA && otherB);
  EXPECT_NE(own, otherA);
  EXPECT_EQ(own->Title(), "A of A");
  EXPECT_TRUE(own->IsInternal());
  // The other server's addresses are listed under External Links with their full text.
  for (TSpiderNode* n : {otherA, otherB}) {
    EXPECT_FALSE(n->IsInternal());
    EXPECT_EQ(Place(n), "External Links\\" + n->URLText() + "\\");
    EXPECT_EQ(n->Title(), "");
    EXPECT_EQ(n->ResponseCode, validate ? 200 : 0);
  }
  // Its pages are checked only with the option, and never read.
  EXPECT_EQ(Requests(b, "HEAD /a.html"), validate ? 1 : 0);
  EXPECT_EQ(Requests(b, "GET /a.html"), 0);
  EXPECT_EQ(Requests(b, "GET /c.html") + Requests(b, "HEAD /c.html"), 0);
  // The site's tree holds the site's own documents only.
  std::vector<std::string> captions;
  for (const auto& child : app->Main.Tree.SiteRoot()->Children) captions.push_back(child->Caption);
  EXPECT_EQ(captions, (std::vector<std::string>{"index.html", "a.html"}));
  EXPECT_EQ(app->Map.Count(), 4);
}

INSTANTIATE_TEST_SUITE_P(ValidateExternal, PortsTest, ::testing::Bool());

TEST_F(AddressTest, IPv6LoopbackIsAServerOfItsOwn) {
  TestServer site, v6;
  int portV6 = 0;
  site.Http().Get("/", [&](const httplib::Request& req, httplib::Response& res) {
    Count(site, req.method, "/");
    const std::string other = "http://[::1]:" + std::to_string(portV6);
    res.set_content("<a href='" + other + "/a.html'>a</a> <a href='" + other + "/'>r</a>", "text/html");
  });
  Page(v6, "/", "<title>v6 home</title><a href='c.html'>c</a>");
  Page(v6, "/a.html", "<title>v6 a</title>");
  site.Start();
  if (!v6.Start("::1")) GTEST_SKIP() << "IPv6 loopback is not available";
  portV6 = v6.Port();
  ASSERT_EQ(v6.URL("/"), "http://[::1]:" + std::to_string(portV6) + "/");
  app->Main.Tree.ValidateExternalURLs = true;
  Crawl(site.URL("/"));
  TSpiderNode* a = Node(v6.URL("/a.html"));
  TSpiderNode* root = Node(v6.URL("/"));
  ASSERT_TRUE(a && root);
  EXPECT_NE(a, root);
  EXPECT_FALSE(a->IsInternal());
  EXPECT_EQ(a->ResponseCode, 200);
  EXPECT_EQ(root->ResponseCode, 200);
  EXPECT_EQ(Place(a), "External Links\\" + v6.URL("/a.html") + "\\");
  EXPECT_EQ(Requests(v6, "GET /"), 0);
  EXPECT_EQ(Requests(v6, "HEAD /c.html"), 0);
}

TEST_F(AddressTest, SiteOnIPv6LoopbackIsCrawled) {
  // Crawled from [::1] itself: its pages are the site, another IPv6 host is not.
  TestServer v6site;
  Page(v6site, "/", "<title>Home</title><a href='p.html'>p</a> <a href='http://[::2]:1/x.html'>x</a>");
  Page(v6site, "/p.html", "<title>P</title>");
  if (!v6site.Start("::1")) GTEST_SKIP() << "IPv6 loopback is not available";
  app->Main.Tree.ValidateExternalURLs = false;
  Crawl(v6site.URL("/"));
  EXPECT_EQ(app->Map.SiteURI.Host, "[::1]");
  EXPECT_EQ(app->Map.SiteURI.Port, std::to_string(v6site.Port()));
  ASSERT_NE(Node(v6site.URL("/p.html")), nullptr);
  EXPECT_EQ(Node(v6site.URL("/p.html"))->Title(), "P");
  TSpiderNode* x = Node("http://[::2]:1/x.html");
  ASSERT_NE(x, nullptr);
  EXPECT_FALSE(x->IsInternal());
  EXPECT_EQ(x->ResponseCode, 0);
}

TEST_F(AddressTest, RedirectHopsToSpecialSchemesKeepEveryAnswer) {
  TestServer site;
  Page(site, "/", "<a href='a'>a</a> <a href='m'>m</a> <a href='bad'>bad</a> <a href='f'>f</a>");
  Redirect(site, "/a", "/b");
  Redirect(site, "/b", "javascript:alert(1)");
  Redirect(site, "/m", "mailto:someone@example.org");
  Redirect(site, "/bad", "/e%zz");
  Redirect(site, "/f", "file://LocalHost/etc/passwd");
  site.Start();
  Crawl(site.URL("/"));
  for (const char* path : {"/a", "/b", "/m", "/bad", "/f"}) {
    TSpiderNode* n = Node(site.URL(path));
    ASSERT_NE(n, nullptr) << path;
    EXPECT_EQ(n->ResponseCode, 302) << path;
  }
  EXPECT_EQ(Node(site.URL("/b"))->Location, "javascript:alert(1)");
  TSpiderNode* script = Node("javascript:alert(1)");
  ASSERT_NE(script, nullptr);
  EXPECT_EQ(Place(script), "JavaScript\\javascript:alert(1)\\");
  EXPECT_EQ(script->Referers, (TSpiderNodeDynArray{Node(site.URL("/b"))}));
  TSpiderNode* mail = Node("mailto:someone@example.org");
  ASSERT_NE(mail, nullptr);
  EXPECT_EQ(mail->ResponseCode, 200);
  // A local file named by a web server is listed, never read.
  TSpiderNode* file = Node("file://LocalHost/etc/passwd");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->ResponseCode, 0);
  EXPECT_FALSE(file->IsInternal());
}

// A site whose server logs every request, method and target: links that name the page itself,
// a base element, schemes that are never fetched, a refresh with a character reference, an SVG
// sprite, a redirect loop and a chain of more redirects than a browser follows.
class ResolvedSiteTest : public AddressTest {
 protected:
  struct TRoute {
    int Status;
    std::string Text;  // the page, or the Location of a redirect
    std::string Type = "text/html";
  };
  void Serve(TestServer& server) {
    server.Http().Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
      {
        std::lock_guard lock(countMutex);
        log.push_back(req.method + " " + req.target);
      }
      const auto found = routes.find(req.path);
      if (found == routes.end()) {
        res.status = 404;
        return;
      }
      res.status = found->second.Status;
      if (res.status == 301 || res.status == 302) res.set_header("Location", found->second.Text);
      else res.set_content(found->second.Text, found->second.Type.c_str());
    });
  }
  std::vector<std::string> Log() {
    std::lock_guard lock(countMutex);
    return log;
  }
  bool Requested(const std::string& target) {
    for (const std::string& line : Log())
      if (line.substr(line.find(' ') + 1) == target) return true;
    return false;
  }
  std::map<std::string, TRoute> routes;
  std::vector<std::string> log;
};

TEST_F(ResolvedSiteTest, NoFalseBrokenLinks) {
  routes["/"] = {200, "<a href='dir/page.html'>p</a><a href='dir/based.html'>b</a><a href='loop/a'>l</a>"
                      "<a href='chain/0'>c</a><a href='chain/1'>c1</a>"};
  routes["/dir/page.html"] = {
      200,
      "<title>P</title><a href='#'>t</a><a href='#top'>t</a><a href='?page=2'>2</a><a href=''>self</a>"
      "<a href='data:text/plain,hello'>d</a><a href='tel:+123'>t</a><a href='sms:+1'>s</a>"
      "<img src='data:image/gif;base64,R0lGODlh'><svg><use href='sprite.svg#i'/></svg>"
      "<meta http-equiv='refresh' content='5; url=next.php?a=1&amp;b=2'>"};
  routes["/dir/sprite.svg"] = {200, "<svg/>", "image/svg+xml"};
  routes["/dir/next.php"] = {200, "next", "text/plain"};
  routes["/dir/based.html"] = {200, "<title>B</title><base href='/other/'><a href='target.html'>t</a>"};
  routes["/other/target.html"] = {200, "<title>T</title>"};
  routes["/loop/a"] = {302, "/loop/b"};
  routes["/loop/b"] = {301, "/loop/a"};
  // /chain/0 needs 21 redirects to reach a page, /chain/1 the 20 a browser follows.
  for (int k = 0; k <= 20; ++k) routes["/chain/" + std::to_string(k)] = {302, "/chain/" + std::to_string(k + 1)};
  routes["/chain/21"] = {200, "<title>End</title>"};
  TestServer site;
  Serve(site);
  site.Start();
  Crawl(site.URL("/"));

  // No request for a folder that no link names, nor for a data:, tel: or sms: path; the page
  // itself is fetched once, not again for its fragment and query links.
  for (const std::string& line : Log()) {
    const std::string target = line.substr(line.find(' ') + 1);
    EXPECT_TRUE(target == "/" || target.back() != '/') << line;
    for (const char* scheme : {"data:", "tel:", "sms:"}) EXPECT_EQ(target.find(scheme), std::string::npos) << line;
    EXPECT_EQ(target.find("page=2"), std::string::npos) << line;
  }
  int pageFetches = 0;
  for (const std::string& line : Log()) pageFetches += line == "GET /dir/page.html" ? 1 : 0;
  EXPECT_EQ(pageFetches, 1);
  TSpiderNode* page = Node(site.URL("/dir/page.html"));
  ASSERT_NE(page, nullptr);
  EXPECT_NE(std::find(page->Links.begin(), page->Links.end(), page), page->Links.end());
  // Filed without a request, never broken.
  for (const char* other : {"data:text/plain,hello", "tel:+123", "sms:+1", "data:image/gif;base64,R0lGODlh"}) {
    TSpiderNode* n = Node(other);
    ASSERT_NE(n, nullptr) << other;
    EXPECT_EQ(Place(n), std::string("Other\\") + other + "\\");
    EXPECT_FALSE(n->IsBroken()) << other;
  }
  // The refresh target keeps its second parameter; the sprite sheet is checked without its fragment.
  EXPECT_TRUE(Requested("/dir/next.php?a=1&b=2"));
  EXPECT_TRUE(Requested("/dir/sprite.svg"));
  // The base-resolved page is requested and read; the page-relative one is not.
  EXPECT_TRUE(Requested("/other/target.html"));
  EXPECT_FALSE(Requested("/dir/target.html"));
  ASSERT_NE(Node(site.URL("/other/target.html")), nullptr);
  EXPECT_EQ(Node(site.URL("/other/target.html"))->Title(), "T");
  // The loop is broken at both of its addresses, their codes kept.
  for (const auto& [path, code] : {std::pair<const char*, int>{"/loop/a", 302}, {"/loop/b", 301}}) {
    TSpiderNode* n = Node(site.URL(path));
    ASSERT_NE(n, nullptr) << path;
    EXPECT_EQ(n->ResponseCode, code) << path;
    EXPECT_EQ(n->ResponseText, "Redirect loop") << path;
    EXPECT_TRUE(n->IsBroken()) << path;
    EXPECT_FALSE(n->IsRedirected()) << path;
  }
  TSpiderNode* tooLong = Node(site.URL("/chain/0"));
  ASSERT_NE(tooLong, nullptr);
  EXPECT_EQ(tooLong->ResponseCode, 302);
  EXPECT_EQ(tooLong->ResponseText, "Too many redirects");
  EXPECT_TRUE(tooLong->IsBroken());
  TSpiderNode* twenty = Node(site.URL("/chain/1"));
  ASSERT_NE(twenty, nullptr);
  EXPECT_TRUE(twenty->IsRedirected());
  EXPECT_FALSE(twenty->IsBroken());
  EXPECT_EQ(Node(site.URL("/chain/21"))->ResponseCode, 200);
  // The broken addresses of the site are exactly these three.
  std::vector<std::string> broken;
  for (const auto& node : app->Map.Nodes())
    if (node->IsBroken()) broken.push_back(node->URLText());
  std::sort(broken.begin(), broken.end());
  EXPECT_EQ(broken, (std::vector<std::string>{site.URL("/chain/0"), site.URL("/loop/a"), site.URL("/loop/b")}));
}

// A proxy that would fail (nothing listens on its port) on loopback, where loopback addresses go
// through it, and a site on loopback: the no-proxy list decides whether the site is reached.
struct NoProxySiteCase {
  std::string List;  // "{port}" stands for the site's port
  bool Reached;
};

void PrintTo(const NoProxySiteCase& c, std::ostream* os) { *os << '"' << c.List << '"'; }

class NoProxySiteTest : public AddressTest, public ::testing::WithParamInterface<NoProxySiteCase> {};

TEST_P(NoProxySiteTest, AFailingProxyIsBypassedForListedHosts) {
  TestServer site;
  Page(site, "/", "<title>Home</title><a href='a.html'>a</a>");
  Page(site, "/a.html", "<title>A</title>");
  site.Start();
  RefusingTestPort deadProxy;
  std::string list = GetParam().List;
  if (const size_t at = list.find("{port}"); at != std::string::npos)
    list.replace(at, 6, std::to_string(site.Port()));
  app->HTTPSettings.EditServer.Text = "127.0.0.1";
  app->HTTPSettings.EditPort.Text = std::to_string(deadProxy.Port());
  app->HTTPSettings.EditNoProxy.Text = list;
  app->HTTPSettings.Changed();
  Crawl(site.URL("/"));
  TSpiderNode* home = Node(site.URL("/"));
  ASSERT_NE(home, nullptr);
  if (GetParam().Reached) {
    EXPECT_EQ(home->ResponseCode, 200) << home->ResponseText;
    ASSERT_NE(Node(site.URL("/a.html")), nullptr);
    EXPECT_EQ(Node(site.URL("/a.html"))->Title(), "A");
  } else {
    EXPECT_EQ(home->ResponseCode, -1) << home->ResponseText;
    EXPECT_EQ(Requests(site), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Lists, NoProxySiteTest,
                         ::testing::Values(NoProxySiteCase{"", false}, NoProxySiteCase{"127.0.0.1", true},
                                           NoProxySiteCase{"intra.example, 127.0.0.1:{port}", true},
                                           NoProxySiteCase{"127.0.0.1:1", false}, NoProxySiteCase{"127.0.0.0/8", true},
                                           NoProxySiteCase{"10.0.0.0/8", false}, NoProxySiteCase{"*", true},
                                           NoProxySiteCase{"localhost", false}));

TEST_F(AddressTest, LocalFilesLinkedFromAWebSiteAreNeverRead) {
  dir.Write("secret.html", "<title>Secret</title>");
  const std::string secret = "file://LocalHost" + dir.Str() + "/secret.html";
  TestServer site;
  Page(site, "/", "<a href='" + secret + "'>s</a> <a href='file://" + dir.Str() + "/secret.html'>t</a>");
  site.Start();
  app->Main.Tree.ValidateExternalURLs = true;
  Crawl(site.URL("/"));
  TSpiderNode* n = Node(secret);
  ASSERT_NE(n, nullptr);
  EXPECT_EQ(Place(n), "External Links\\" + secret + "\\");
  EXPECT_EQ(n->ResponseCode, 0);
  EXPECT_EQ(n->ContentLength, 0);
  EXPECT_EQ(n->Title(), "");
  EXPECT_EQ(app->Map.Count(), 2);
  // Nor is it looked at as the node's local copy, in the crawl or after reopening the project.
  EXPECT_EQ(n->PreviewTarget(), secret);
  const std::string project = dir.File("p.tly");
  app->Main.SaveProject(project);
  app->Main.OpenProjectFile(project);
  n = Node(secret);
  ASSERT_NE(n, nullptr);
  EXPECT_EQ(n->LocalDate, 0);
  EXPECT_EQ(n->LocalSize, -1);
  EXPECT_EQ(n->PreviewTarget(), secret);
}

TEST_F(AddressTest, LocalSiteServedAtLocalhostKeepsLocalFilesOut) {
  // A web site at "localhost": local file addresses are of another kind, not part of the site.
  dir.Write("site/index.html", "<title>Local</title>");
  TestServer site;
  Page(site, "/", "<a href='file://LocalHost" + dir.Str() + "/site/index.html'>l</a>");
  site.Start();
  Crawl("http://localhost:" + std::to_string(site.Port()) + "/");
  TSpiderNode* local = Node("file://LocalHost" + dir.Str() + "/site/index.html");
  ASSERT_NE(local, nullptr);
  EXPECT_FALSE(local->IsInternal());
  EXPECT_EQ(local->ResponseCode, 0);
  EXPECT_EQ(local->Title(), "");
}

TEST_F(AddressTest, StartFileInAnOddFolderIsThatFile) {
  const std::string folder = "q?mark/e=q/100%#1";
  dir.Write(folder + "/index.html", "<title>Odd</title><a href='b.html'>b</a> <a href='c%3Fd.html'>c</a>");
  dir.Write(folder + "/b.html", "<title>B</title>");
  dir.Write(folder + "/c?d.html", "<title>C</title>");
  Crawl(dir.File(folder + "/index.html"));
  const std::string root = "file://LocalHost" + dir.Str() + "/q%3Fmark/e%3Dq/100%25%231/";
  EXPECT_EQ(app->Main.EditURL, root + "index.html");
  TSpiderNode* start = Node(root + "index.html");
  ASSERT_NE(start, nullptr);
  EXPECT_EQ(start->ResponseCode, 200);
  EXPECT_EQ(start->Title(), "Odd");
  ASSERT_NE(Node(root + "b.html"), nullptr);
  EXPECT_EQ(Node(root + "b.html")->Title(), "B");
  ASSERT_NE(Node(root + "c%3Fd.html"), nullptr);
  EXPECT_EQ(Node(root + "c%3Fd.html")->Title(), "C");
}

// Random and hostile link texts: pieces that real and broken pages put into links.
std::string HostileLink(TestRandom& rng) {
  static const char* const kPieces[] = {
      "/",         "//",         ".",       "..",          "./",      "../",      "?",          "#",
      "=",         "&",          "&amp;",   "&#64;",       "&#x2F;",  "&#38;",    "&lt;",       "&quot;",
      "%2F",       "%25",        "%3F",     "%20",         "%2B",     "%41",      "%C3%A9",     "%00",
      "%0D%0A",    "+",          " ",       ":",           "http://", "https://", "file://",    "file:///",
      "LocalHost", "localhost",  "mailto:", "javascript:", "news:",   "about:",   "[::1]",      ":8080",
      ":80",       "@",          "\\",      "a",           "B",       "x.html",   "index.html", "\t",
      "\xC3\xA9",  "C:",         "<",       "'",           "~",       ";",        "127.0.0.1",  "dir",
      "p1.html",   "go.php?to=", "%",       "%zz",         "&#",      "*",        "(",          ","};
  const size_t n = sizeof(kPieces) / sizeof(kPieces[0]);
  std::string link;
  const size_t count = 1 + rng.Below(6);
  for (size_t i = 0; i < count; ++i) link += kPieces[rng.Below(n)];
  return link;
}

// Text as a double-quoted attribute value: quotes and ">" written as references.
std::string AttributeText(const std::string& text) {
  std::string r;
  for (char c : text) {
    if (c == '"') r += "&quot;";
    else if (c == '>') r += "&gt;";
    else r += c;
  }
  return r;
}

struct NodeShape {
  std::string Address;
  std::string Place;
  bool Internal;
  std::vector<int> Links, Referers;
  bool operator==(const NodeShape&) const = default;
};

void PrintTo(const NodeShape& s, std::ostream* os) { *os << s.Address << " at " << s.Place; }

std::vector<NodeShape> Shapes(const TSiteMap& map) {
  std::vector<NodeShape> v;
  for (const auto& n : map.Nodes()) {
    NodeShape s{n->URLText(), NodePath(n->TreeNode), n->IsInternal(), {}, {}};
    for (const TSpiderNode* l : n->Links) s.Links.push_back(l->Index());
    for (const TSpiderNode* r : n->Referers) s.Referers.push_back(r->Index());
    v.push_back(std::move(s));
  }
  return v;
}

TEST_F(AddressTest, ProjectOfHostileLinksReopensNodeForNode) {
  TestRandom rng = TestRandom::FromSeed(14);
  constexpr int kPages = 15, kLinksPerPage = 30;
  // The issue's own cases first, then random ones.
  std::vector<std::string> fixed = {"x.html",    "/dir//x.html", "dir/x.html", "file://LocalHost//", "../<",
                                    "a+b.html",  "a b.html",     "a%20b.html", "a%2Bb.html",         "&#64;x",
                                    "./x.html?", "x.html#top",   "//cdn/x",    "p1.html?a=b/c",      "d=e/f.html"};
  TestServer site;
  std::string home;
  for (int p = 0; p < kPages; ++p) {
    home += "<a href='p" + std::to_string(p) + ".html'>p</a>\n";
    std::string body = "<title>Page " + std::to_string(p) + "</title>\n";
    for (int i = 0; i < kLinksPerPage; ++i) {
      const std::string link =
          p == 0 && static_cast<size_t>(i) < fixed.size() ? fixed[static_cast<size_t>(i)] : HostileLink(rng);
      body += "<a href=\"" + AttributeText(link) + "\">l</a>\n";
    }
    Page(site, "/p" + std::to_string(p) + ".html", body);
  }
  Page(site, "/", home);
  site.Start();
  app->Main.Tree.ValidateExternalURLs = false;
  Crawl(site.URL("/"));
  ASSERT_GT(app->Map.Count(), kPages * 10);
  for (int p = 0; p < kPages; ++p)
    ASSERT_EQ(Node(site.URL("/p" + std::to_string(p) + ".html"))->Title(), "Page " + std::to_string(p));
  const std::vector<NodeShape> before = Shapes(app->Map);

  const std::string path = dir.File("hostile.tly");
  app->Main.SaveProject(path);
  app->Main.OpenProjectFile(path);
  EXPECT_TRUE(ask.TextsOf("Notice").empty()) << ask.TextsOf("Notice").front();
  EXPECT_TRUE(ask.TextsOf("Error").empty()) << ask.TextsOf("Error").front();
  const std::vector<NodeShape> after = Shapes(app->Map);
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < before.size(); ++i) EXPECT_EQ(after[i], before[i]) << "node " << i;

  // Saved again, the file is the same but for the time of saving.
  const std::string again = dir.File("again.tly");
  app->Main.SaveProject(again);
  auto withoutNow = [](std::string text) {
    const size_t at = text.find("Now=");
    return text.erase(at, text.find("\r\n", at) - at);
  };
  EXPECT_EQ(withoutNow(ReadFileText(again)), withoutNow(ReadFileText(path)));
}

}  // namespace
