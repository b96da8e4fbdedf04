// Addresses as real sites write them, end to end: other ports and IPv6 hosts are other servers,
// redirects to special schemes, local files and their scope, start files in odd folders, and
// projects that reopen node for node whatever the links of the crawled pages.
#include <gtest/gtest.h>

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
  EXPECT_EQ(own->Title, "A of A");
  EXPECT_TRUE(own->IsInternal());
  // The other server's addresses are listed under External Links with their full text.
  for (TSpiderNode* n : {otherA, otherB}) {
    EXPECT_FALSE(n->IsInternal());
    EXPECT_EQ(Place(n), "External Links\\" + n->URLText() + "\\");
    EXPECT_EQ(n->Title, "");
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
  EXPECT_EQ(Node(v6site.URL("/p.html"))->Title, "P");
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
  EXPECT_EQ(n->Title, "");
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
  EXPECT_EQ(local->Title, "");
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
  EXPECT_EQ(start->Title, "Odd");
  ASSERT_NE(Node(root + "b.html"), nullptr);
  EXPECT_EQ(Node(root + "b.html")->Title, "B");
  ASSERT_NE(Node(root + "c%3Fd.html"), nullptr);
  EXPECT_EQ(Node(root + "c%3Fd.html")->Title, "C");
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
    ASSERT_EQ(Node(site.URL("/p" + std::to_string(p) + ".html"))->Title, "Page " + std::to_string(p));
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
