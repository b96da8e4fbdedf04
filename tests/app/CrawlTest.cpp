// The crawl end to end: the real request pool, real HTTP on loopback, the headless platform.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <mutex>

#include "app/SiteSummary.h"
#include "app/SitemapFeed.h"

#include "support/AppFixture.h"
#include "support/HostileServer.h"
#include "support/TestServer.h"

namespace {

using namespace std::chrono_literals;

class CrawlTest : public AppFixture {
 protected:
  // Serves `path` with `type` and `body`, counting the requests by method.
  void Page(TestServer& server, const std::string& path, const std::string& body,
            const std::string& type = "text/html") {
    server.Http().Get(path, [this, path, body, type](const httplib::Request& req, httplib::Response& res) {
      Count(req.method, path);
      res.set_content(body, type);
    });
  }
  void Redirect(TestServer& server, const std::string& path, const std::string& location, int status = 302) {
    server.Http().Get(path, [this, path, location, status](const httplib::Request& req, httplib::Response& res) {
      Count(req.method, path);
      res.status = status;
      res.set_header("Location", location);
    });
  }
  void Count(const std::string& method, const std::string& path) {
    std::lock_guard lock(countMutex);
    ++requests[method + " " + path];
  }
  int Requests(const std::string& key) {
    std::lock_guard lock(countMutex);
    return requests[key];
  }

  std::mutex countMutex;
  std::map<std::string, int> requests;
};

TEST_F(CrawlTest, ASmallSite) {
  TestServer external;
  Page(external, "/", "<a href='/never.html'>never</a>");
  Page(external, "/never.html", "x");
  external.Start();
  TestServer site;
  const std::string externalPage = "http://localhost:" + std::to_string(external.Port()) + "/";
  Page(site, "/",
       "<html><head><title>Home</title><meta name=description content='The shop'></head><body>"
       "Welcome to the shop. Teh page.<img src='img/logo.gif'>"
       "<a href='about.html'>about</a> <a href='missing.html'>x</a> <a href='head405.html'>x</a>"
       "<a href='moved.html'>x</a> <a href='" +
           externalPage +
           "'>x</a>"
           "<a href='mailto:shop@example.com'>mail</a> <a href='javascript:void(0)'>js</a></body></html>");
  Page(site, "/about.html", "<title>About</title><a href='index.html#top'>home</a> <a href='sub/deep.html'>x</a>");
  Page(site, "/sub/deep.html", "<title>Deep</title><a href='../about.html'>about</a>");
  Page(site, "/img/logo.gif", "GIF89a", "image/gif");
  Page(site, "/target.html", "<title>Target</title>");
  Redirect(site, "/moved.html", "target.html");
  site.Http().Get("/head405.html", [this](const httplib::Request& req, httplib::Response& res) {
    Count(req.method, "/head405.html");
    if (req.method == "HEAD") res.status = 405;
    else res.set_content("<title>GET only</title>", "text/html");
  });
  site.Start();
  app->Main.Tree.ValidateExternalURLs = true;

  Crawl(site.URL("/"));

  EXPECT_EQ(app->Main.EditURL, site.URL("/"));
  EXPECT_EQ(app->Main.RecentAddresses.front(), site.URL("/"));
  TSpiderNode* home = Node(site.URL("/"));
  ASSERT_NE(home, nullptr);
  EXPECT_EQ(home->ResponseCode, 200);
  EXPECT_EQ(home->Title(), "Home");
  EXPECT_EQ(home->Description(), "The shop");
  EXPECT_EQ(home->SpellingErrors, 1);  // "Teh"
  EXPECT_EQ(Node(site.URL("/about.html"))->Title(), "About");
  EXPECT_EQ(Node(site.URL("/sub/deep.html"))->Title(), "Deep");
  EXPECT_EQ(Node(site.URL("/missing.html"))->ResponseCode, 404);
  EXPECT_TRUE(Node(site.URL("/missing.html"))->IsBroken());
  // The image is checked by its header only.
  EXPECT_EQ(Node(site.URL("/img/logo.gif"))->ContentType, "image/gif");
  EXPECT_EQ(Requests("HEAD /img/logo.gif"), 1);
  EXPECT_EQ(Requests("GET /img/logo.gif"), 0);
  // 405 to the header request: broken, not retried.
  EXPECT_EQ(Node(site.URL("/head405.html"))->ResponseCode, 405);
  EXPECT_EQ(Requests("GET /head405.html"), 0);
  // 302 to the full request: the target is checked, the redirect keeps its code.
  TSpiderNode* moved = Node(site.URL("/moved.html"));
  EXPECT_EQ(moved->ResponseCode, 302);
  EXPECT_TRUE(moved->IsRedirected());
  TSpiderNode* target = Node(site.URL("/target.html"));
  ASSERT_NE(target, nullptr);
  EXPECT_EQ(target->Title(), "Target");
  EXPECT_NE(std::find(target->Referers.begin(), target->Referers.end(), moved), target->Referers.end());
  // The external page is checked but never parsed.
  TSpiderNode* ext = Node(externalPage);
  ASSERT_NE(ext, nullptr);
  EXPECT_EQ(ext->ResponseCode, 200);
  EXPECT_EQ(ext->Title(), "");
  EXPECT_EQ(Requests("GET /never.html") + Requests("HEAD /never.html"), 0);
  // Special addresses without requests.
  EXPECT_EQ(Node("mailto:shop@example.com")->ResponseCode, 200);
  EXPECT_EQ(Node("javascript:void(0)")->ContentType, "javascript");
  // Every page was fetched in full exactly once.
  EXPECT_EQ(Requests("GET /"), 1);
  EXPECT_EQ(Requests("GET /about.html"), 1);
  EXPECT_TRUE(app->Main.ButtonSpiderEnabled);
  EXPECT_EQ(app->Main.ButtonSpiderCaption, "Start");
  EXPECT_FALSE(app->Main.Busy);
  EXPECT_TRUE(app->Map.Modified);
}

TEST_F(CrawlTest, RedirectLoopsEnd) {
  TestServer site;
  Page(site, "/", "<a href='a.html'>a</a> <a href='self.html'>s</a>");
  Redirect(site, "/a.html", "b.html");
  Redirect(site, "/b.html", "a.html", 301);
  Redirect(site, "/self.html", "self.html");
  site.Start();
  Crawl(site.URL("/"));
  EXPECT_TRUE(app->Pool.IsEmpty());
  EXPECT_EQ(Node(site.URL("/a.html"))->ResponseCode, 302);
  EXPECT_EQ(Node(site.URL("/b.html"))->ResponseCode, 301);
  EXPECT_EQ(Node(site.URL("/self.html"))->ResponseCode, 302);
  for (const char* path : {"/a.html", "/b.html", "/self.html"}) {
    const int total = Requests(std::string("HEAD ") + path) + Requests(std::string("GET ") + path);
    EXPECT_LE(total, 4) << path;
  }
  TSpiderNode* a = Node(site.URL("/a.html"));
  TSpiderNode* b = Node(site.URL("/b.html"));
  EXPECT_NE(std::find(b->Referers.begin(), b->Referers.end(), a), b->Referers.end());
  EXPECT_NE(std::find(a->Referers.begin(), a->Referers.end(), b), a->Referers.end());
}

TEST_F(CrawlTest, NonDefaultPortIsCrawledOnThatPort) {
  TestServer site;
  Page(site, "/", "<a href='a.html'>a</a> <a href='/b/'>b</a>");
  Page(site, "/a.html", "<title>A</title>");
  Page(site, "/b/", "<title>B</title>");
  site.Start();
  Crawl("127.0.0.1:" + std::to_string(site.Port()) + "/");
  EXPECT_EQ(app->Map.SiteURI.Port, std::to_string(site.Port()));
  EXPECT_EQ(Node(site.URL("/a.html"))->Title(), "A");
  EXPECT_EQ(Node(site.URL("/b/"))->Title(), "B");
  EXPECT_EQ(app->Main.Tree.SiteRoot()->Caption, site.URL("/"));
}

TEST_F(CrawlTest, HttpsOnAnotherPortIsAnotherServer) {
  auto secure = TestServer::Secure();
  Page(*secure, "/", "<title>Secure home</title><a href='about.html'>about</a>");
  Page(*secure, "/about.html", "<title>Secure about</title>");
  secure->Start();
  const std::string certificate = dir.Write("cert.pem", secure->CertificatePEM());
  setenv("SSL_CERT_FILE", certificate.c_str(), 1);
  TestServer plain;
  Redirect(plain, "/", "https://127.0.0.1:" + std::to_string(secure->Port()) + "/", 301);
  plain.Start();
  Crawl(plain.URL("/"));
  unsetenv("SSL_CERT_FILE");
  // The redirect target is checked; being another server, it is not crawled.
  TSpiderNode* home = Node(secure->URL("/"));
  ASSERT_NE(home, nullptr);
  EXPECT_EQ(home->ResponseCode, 200);
  EXPECT_FALSE(home->IsInternal());
  EXPECT_EQ(Node(secure->URL("/about.html")), nullptr);
  EXPECT_EQ(Node(plain.URL("/"))->ResponseCode, 301);
}

TEST_F(CrawlTest, SiteMovedToHttpsIsFetchedInFull) {
  // http://site.invalid/ moved to https://site.invalid/ (both on their scheme's default port):
  // the target shares the node of the address that redirected, and is fetched in full once.
  app->Map.SiteURI.Parse("http://site.invalid/");
  TURI start("http://site.invalid/");
  app->Main.Tree.InsertURL(start, nullptr, false);
  app->Pool.SuspendRequests();
  THTTPClient client;
  client.URL.Parse("https://site.invalid/");
  client.Request.Referer = "http://site.invalid/";
  client.Response.ResponseText = "HTTP/1.1 200 OK";
  client.Response.ContentType = "text/html";
  app->Main.ButtonCallBackGETClick(client);
  ASSERT_GT(app->Pool.RowCount(), 0);
  const auto& row = app->Pool.Row(app->Pool.RowCount() - 1);
  EXPECT_EQ(row.Method, THTTPMethod::Get);
  EXPECT_EQ(row.URL, "https://site.invalid/");
  app->Pool.TerminateAll();
}

TEST_F(CrawlTest, EachPageKeepsItsLinksInDocumentOrderWhenPagesCompleteOutOfOrder) {
  // The first page's answer is held until the second has been walked and filed, so the pages
  // complete in the other order; each keeps its own links in its own order, and its title and
  // spelling count.
  TestServer site;
  TestGate gate;
  TestCounter secondDone;
  Page(site, "/", "<a href='first.html'>1</a> <a href='second.html'>2</a>");
  site.Http().Get("/first.html", [&](const httplib::Request& req, httplib::Response& res) {
    if (req.method == "GET") gate.Wait();
    res.set_content("<title>Home</title>Welcome <a href='c.html'>c</a><a href='a.html'>a</a><a href='b.html'>b</a>",
                    "text/html");
  });
  site.Http().Get("/second.html", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content("<title>Page</title>Teh <a href='b.html'>b</a><a href='c.html'>c</a><a href='a.html'>a</a>",
                    "text/html");
  });
  for (const char* p : {"/a.html", "/b.html", "/c.html"}) Page(site, p, "<title>x</title>");
  site.Start();
  app->Main.EditURL = site.URL("/");
  app->Main.ButtonSpiderClick();
  ASSERT_TRUE(ui.ProcessUntil(
      [&] {
        TSpiderNode* second = Node(site.URL("/second.html"));
        return second && second->Links.size() == 3;
      },
      30s));
  EXPECT_TRUE(Node(site.URL("/first.html"))->Links.empty());
  gate.Open();
  WaitIdle();
  auto links = [&](const std::string& path) {
    std::vector<std::string> v;
    for (const TSpiderNode* n : Node(site.URL(path))->Links) v.push_back(n->URLText());
    return v;
  };
  EXPECT_EQ(links("/first.html"),
            (std::vector<std::string>{site.URL("/c.html"), site.URL("/a.html"), site.URL("/b.html")}));
  EXPECT_EQ(links("/second.html"),
            (std::vector<std::string>{site.URL("/b.html"), site.URL("/c.html"), site.URL("/a.html")}));
  EXPECT_EQ(Node(site.URL("/first.html"))->Title(), "Home");
  EXPECT_EQ(Node(site.URL("/second.html"))->Title(), "Page");
  EXPECT_EQ(Node(site.URL("/first.html"))->SpellingErrors, 0);
  EXPECT_EQ(Node(site.URL("/second.html"))->SpellingErrors, 1);
  for (const char* p : {"/a.html", "/b.html", "/c.html"}) EXPECT_EQ(Node(site.URL(p))->Referers.size(), 2u) << p;
}

// "Read the site's sitemap": robots.txt names the index by a relative address (read without
// obeying robots.txt); the index names a sitemap and a moved one. Their pages are crawled as
// links of their sitemap; the one no page links to is the orphan page; a broken one is not.
TEST_F(CrawlTest, TheSitesSitemapsAddTheirPagesAndFindTheOrphans) {
  TestServer site;
  Page(site, "/", "<title>Home</title><a href='linked.html'>linked</a>");
  Page(site, "/linked.html", "<title>Linked</title>");
  Page(site, "/orphan.html", "<title>Orphan</title>");
  Page(site, "/robots.txt", "User-agent: *\nSitemap: /maps/index.xml\n", "text/plain");
  Page(site, "/maps/index.xml",
       "<sitemapindex><sitemap><loc>/maps/a.xml</loc></sitemap><sitemap><loc>/old-map.xml</loc></sitemap>"
       "</sitemapindex>",
       "application/xml");
  Page(site, "/maps/a.xml", "<urlset><url><loc>/linked.html</loc></url><url><loc>/orphan.html</loc></url></urlset>",
       "application/xml");
  Redirect(site, "/old-map.xml", "/maps/b.xml", 301);
  Page(site, "/maps/b.xml", "<urlset><url><loc>/gone.html</loc></url></urlset>", "text/xml");
  site.Start();
  app->Main.Crawl.Sitemaps.Enabled = true;
  Crawl(site.URL("/"));
  const TSitemapFeed& feed = app->Main.Crawl.Sitemaps;
  ASSERT_TRUE(feed.Active());
  EXPECT_EQ(feed.FilesRead().size(), 3u);
  EXPECT_EQ(feed.Listed(), 3u);
  ASSERT_NE(Node(site.URL("/orphan.html")), nullptr);
  EXPECT_EQ(Node(site.URL("/orphan.html"))->Title(), "Orphan");
  EXPECT_TRUE(feed.IsOrphan(*Node(site.URL("/orphan.html"))));
  EXPECT_FALSE(feed.IsOrphan(*Node(site.URL("/linked.html"))));
  EXPECT_FALSE(feed.IsOrphan(*Node(site.URL("/"))));
  ASSERT_NE(Node(site.URL("/gone.html")), nullptr);
  EXPECT_TRUE(Node(site.URL("/gone.html"))->IsBroken());
  EXPECT_FALSE(feed.IsOrphan(*Node(site.URL("/gone.html"))));
  EXPECT_EQ(Node(site.URL("/gone.html"))->Referers.front(), Node(site.URL("/maps/b.xml")));
  for (const char* file : {"/robots.txt", "/maps/index.xml", "/maps/a.xml", "/old-map.xml", "/maps/b.xml"})
    EXPECT_EQ(Requests(std::string("GET ") + file), 1) << file;
  EXPECT_EQ(Requests("GET /orphan.html"), 1);
  EXPECT_TRUE(app->Main.Crawl.Notes().empty());
}

TEST_F(CrawlTest, StopAndResume) {
  TestServer site;
  TestGate gate;
  TestCounter arrived;
  Page(site, "/", "<a href='slow.html'>s</a> <a href='a.html'>a</a> <a href='b.html'>b</a> <a href='c.html'>c</a>");
  site.Http().Get("/slow.html", [&](const httplib::Request& req, httplib::Response& res) {
    Count(req.method, "/slow.html");
    arrived.Add();
    gate.Wait();
    res.set_content("<a href='d.html'>d</a>", "text/html");
  });
  for (const char* p : {"/a.html", "/b.html", "/c.html", "/d.html"}) Page(site, p, "<title>x</title>");
  site.Start();
  app->Main.EditURL = site.URL("/");
  app->Main.ButtonSpiderClick();
  ASSERT_TRUE(ui.ProcessUntil([&] { return arrived.Value() >= 1; }, 30s));
  app->Main.ButtonStopClick();
  EXPECT_FALSE(app->Main.ButtonSpiderEnabled);
  gate.Open();
  ASSERT_TRUE(ui.ProcessUntil([&] { return !app->Pool.IsBusy(); }, 30s));
  EXPECT_TRUE(app->Main.ButtonSpiderEnabled);
  EXPECT_EQ(app->Main.ButtonSpiderCaption, "Start");
  ASSERT_FALSE(app->Pool.IsEmpty());  // queued requests stay after Stop
  const int nodes = app->Map.Count();
  ask.QueueAnswer(platform::Answer::Yes);
  app->Main.EditURL = "ignored.example";
  app->Main.ButtonSpiderClick();
  EXPECT_EQ(ask.TextsOf("YesNo").back(), "Do you want to resume the current spider?");
  WaitIdle();
  EXPECT_TRUE(app->Pool.IsEmpty());
  EXPECT_GE(app->Map.Count(), nodes);
  EXPECT_EQ(Node(site.URL("/d.html"))->Title(), "x");
}

TEST_F(CrawlTest, FreshStartOnAModifiedMapAsksToClear) {
  TestServer site;
  Page(site, "/", "<title>One</title>");
  site.Start();
  Crawl(site.URL("/"));
  ASSERT_EQ(app->Map.Count(), 1);
  ask.QueueAnswer(platform::Answer::No);
  app->Main.EditURL = site.URL("/");
  app->Main.ButtonSpiderClick();
  EXPECT_EQ(ask.TextsOf("YesNo").back(), "Do you want to clear the current spider results?");
  EXPECT_EQ(app->Map.Count(), 1);
  EXPECT_TRUE(app->Pool.IsEmpty());
  ask.QueueAnswer(platform::Answer::Yes);
  Crawl(site.URL("/"));
  EXPECT_EQ(Node(site.URL("/"))->Title(), "One");
}

TEST_F(CrawlTest, LocalFolder) {
  dir.Write("site/index.html",
            "<title>Local</title><a href='a b.html'>a</a> <a href='img/x.gif'>i</a> "
            "<a href='../outside.html'>o</a> <a href='gone.html'>g</a><link rel=stylesheet href='css/s.css'>");
  dir.Write("site/a b.html", "<title>Spaced</title>");
  dir.Write("site/css/s.css", "body { background: url('../img/bg.gif') }");
  dir.Write("site/img/bg.gif", "GIF89a");
  dir.Write("site/img/x.gif", "GIF89a");
  dir.Write("outside.html", "<a href='site/never.html'>n</a>");
  Crawl(dir.File("site/index.html"));
  const std::string root = "file://LocalHost" + dir.Str() + "/site/";
  EXPECT_EQ(app->Main.EditURL, root + "index.html");
  EXPECT_EQ(Node(root + "index.html")->Title(), "Local");
  EXPECT_EQ(Node(root + "a b.html")->Title(), "Spaced");
  EXPECT_EQ(Node(root + "img/x.gif")->ContentType, "image/gif");
  EXPECT_EQ(Node(root + "gone.html")->ResponseCode, 404);
  // A local stylesheet is read like one served over HTTP.
  EXPECT_EQ(Node(root + "css/s.css")->ContentType, "text/css");
  ASSERT_NE(Node(root + "img/bg.gif"), nullptr);
  EXPECT_EQ(Node(root + "img/bg.gif")->ContentType, "image/gif");
  // Outside the start folder: external, checked (the option is off) not at all, never parsed.
  TSpiderNode* outside = Node("file://LocalHost" + dir.Str() + "/outside.html");
  ASSERT_NE(outside, nullptr);
  EXPECT_FALSE(outside->IsInternal());
  EXPECT_EQ(Node("file://LocalHost" + dir.Str() + "/site/never.html"), nullptr);
}

// A site whose only path to some files is a stylesheet (and the stylesheet it imports), an
// srcset and a <video>; its pages link the classic way too.
class PageResourcesTest : public CrawlTest {
 protected:
  void Serve(TestServer& site) {
    Page(site, "/",
         "<html><head><title>Home</title><link rel=stylesheet href='css/site.css'>"
         "<link rel=icon href='favicon.ico'></head><body>Welcome teh shop."
         "<img src='img/logo.gif' srcset='img/logo-2x.gif 2x, img/logo-3x.gif 3x'>"
         "<video src='media/clip.mp4' poster='img/poster.gif'><source src='media/clip.webm'>"
         "<track src='media/clip.vtt'></video><audio src='media/song.mp3'></audio>"
         "<a href='about.html'>about</a></body></html>");
    Page(site, "/about.html", "<title>About</title><a href='index.html'>home</a> <embed src='media/intro.mp3'>");
    Page(site, "/css/site.css",
         "@import url(print.css);\nbody { background: #fff url(\"../img/bg.gif\") }\n"
         ".x { background: url(data:image/gif;base64,R0lGOD==) }\n",
         "text/css");
    Page(site, "/css/print.css", ".p { background: url(/img/print.gif) }", "text/css");
    for (const char* p :
         {"/img/logo.gif", "/img/logo-2x.gif", "/img/logo-3x.gif", "/img/poster.gif", "/img/bg.gif", "/img/print.gif"})
      Page(site, p, "GIF89a", "image/gif");
    Page(site, "/favicon.ico", "ico", "image/x-icon");
    Page(site, "/media/clip.mp4", "mp4", "video/mp4");
    Page(site, "/media/clip.webm", "webm", "video/webm");
    Page(site, "/media/clip.vtt", "WEBVTT", "text/vtt");
    Page(site, "/media/song.mp3", "mp3", "audio/mpeg");
    Page(site, "/media/intro.mp3", "mp3", "audio/mpeg");
  }
  // The map as sorted lines "address code type <- referers -> links", independent of the order in
  // which answers came back.
  std::vector<std::string> MapLines(const TestServer& site) const {
    const std::string root = site.URL("/");
    auto shortText = [&](const TSpiderNode* n) {
      std::string t = n->URLText();
      return t.rfind(root, 0) == 0 ? "/" + t.substr(root.size()) : t;
    };
    std::vector<std::string> lines;
    for (const auto& n : app->Map.Nodes()) {
      std::string line = shortText(n.get()) + " " + std::to_string(n->ResponseCode) + " " + n->ContentType + " <-";
      std::vector<std::string> referers;
      for (const TSpiderNode* r : n->Referers) referers.push_back(shortText(r));
      std::sort(referers.begin(), referers.end());
      for (const auto& r : referers) line += " " + r;
      line += " ->";
      for (const TSpiderNode* l : n->Links) line += " " + shortText(l);  // in document order
      lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
  }
};

TEST_F(PageResourcesTest, FilesReachedOnlyThroughStyleSheetsSrcsetAndMediaAreMapped) {
  TestServer site;
  Serve(site);
  site.Start();
  Crawl(site.URL("/"));
  TSpiderNode* home = Node(site.URL("/"));
  ASSERT_NE(home, nullptr);
  std::vector<std::string> homeLinks;
  for (const TSpiderNode* n : home->Links) homeLinks.push_back(n->URLText());
  EXPECT_EQ(homeLinks, (std::vector<std::string>{
                           site.URL("/css/site.css"), site.URL("/favicon.ico"), site.URL("/img/logo.gif"),
                           site.URL("/img/logo-2x.gif"), site.URL("/img/logo-3x.gif"), site.URL("/media/clip.mp4"),
                           site.URL("/img/poster.gif"), site.URL("/media/clip.webm"), site.URL("/media/clip.vtt"),
                           site.URL("/media/song.mp3"), site.URL("/about.html")}));
  // The stylesheets are fetched in full and hold their own links, resolved against themselves.
  TSpiderNode* sheet = Node(site.URL("/css/site.css"));
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(sheet->ContentType, "text/css");
  ASSERT_EQ(sheet->Links.size(), 2u);
  EXPECT_EQ(sheet->Links[0]->URLText(), site.URL("/css/print.css"));
  EXPECT_EQ(sheet->Links[1]->URLText(), site.URL("/img/bg.gif"));
  EXPECT_EQ(sheet->Links[1]->Referers, TSpiderNodeDynArray{sheet});
  EXPECT_EQ(sheet->Title(), "");
  EXPECT_EQ(sheet->SpellingErrors, 0);
  TSpiderNode* print = Node(site.URL("/css/print.css"));
  ASSERT_NE(print, nullptr);
  ASSERT_EQ(print->Links.size(), 1u);
  EXPECT_EQ(print->Links[0]->URLText(), site.URL("/img/print.gif"));
  EXPECT_EQ(print->Links[0]->ResponseCode, 200);
  EXPECT_EQ(Requests("GET /css/site.css"), 1);
  EXPECT_EQ(Requests("GET /css/print.css"), 1);
  // Images, video and audio are checked by their headers only.
  EXPECT_EQ(Requests("GET /media/clip.mp4"), 0);
  EXPECT_EQ(Requests("HEAD /media/clip.mp4"), 1);
  EXPECT_EQ(Requests("GET /img/bg.gif"), 0);
  for (const auto& n : app->Map.Nodes()) EXPECT_NE(n->URLText().find("data:"), 0u);
  const TSiteSummary summary = SummarizeSite(app->Main.Tree);
  EXPECT_EQ(summary.Count(rkVideo), 2);   // clip.mp4, clip.webm
  EXPECT_EQ(summary.Count(rkAudio), 2);   // song.mp3, intro.mp3
  EXPECT_EQ(summary.Count(rkImages), 7);  // six GIF images and the icon
  EXPECT_FALSE(summary.AnyBroken());
  // Attribute values and CSS were never text: the spelling count is that of the classic crawl.
  EXPECT_EQ(home->SpellingErrors, 1);  // "teh"
  // A project keeps the stylesheets' links in its unchanged format.
  const std::vector<std::string> before = MapLines(site);
  const std::string project = dir.File("site.tly");
  app->Main.SaveProject(project);
  ASSERT_TRUE(app->Main.OpenProjectFile(project));
  EXPECT_EQ(MapLines(site), before);
}

TEST_F(PageResourcesTest, WithTheSettingOffTheMapIsTheClassicOne) {
  TestServer site;
  Serve(site);
  site.Start();
  app->Main.Crawl.CheckPageResources = false;
  Crawl(site.URL("/"));
  // The eight classic pairs only: the image, the anchor and the embed.
  EXPECT_EQ(MapLines(site), (std::vector<std::string>{
                                "/ 200 text/html <- /about.html -> /img/logo.gif /about.html",
                                "/about.html 200 text/html <- / -> / /media/intro.mp3",
                                "/img/logo.gif 200 image/gif <- / ->",
                                "/media/intro.mp3 200 audio/mpeg <- /about.html ->",
                            }));
  EXPECT_EQ(Node(site.URL("/"))->SpellingErrors, 1);
  EXPECT_EQ(Requests("HEAD /css/site.css") + Requests("GET /css/site.css"), 0);
  const TSiteSummary summary = SummarizeSite(app->Main.Tree);
  EXPECT_EQ(summary.Count(rkVideo), 0);
  EXPECT_EQ(summary.Count(rkAudio), 1);
}

TEST_F(PageResourcesTest, AStyleSheetLinkedFromAPageIsNotReadWithTheSettingOff) {
  TestServer site;
  Page(site, "/", "<a href='s.css'>style</a>");
  Page(site, "/s.css", "body { background: url(bg.gif) }", "text/css");
  Page(site, "/bg.gif", "GIF89a", "image/gif");
  site.Start();
  app->Main.Crawl.CheckPageResources = false;
  Crawl(site.URL("/"));
  EXPECT_EQ(MapLines(site), (std::vector<std::string>{"/ 200 text/html <- -> /s.css", "/s.css 200 text/css <- / ->"}));
  EXPECT_EQ(Requests("GET /s.css"), 0);
}

TEST_F(PageResourcesTest, TheSettingIsKeptInSettingsIni) {
  EXPECT_TRUE(app->CheckPageResources());  // checked by default
  app->SetCheckPageResources(false);
  EXPECT_FALSE(app->Main.Crawl.CheckPageResources);
  const std::string settings = dir.File("app/Settings.ini");
  EXPECT_NE(ReadFileText(settings).find("[FormTessaly]\nMICheckPageResources.Checked=0\n"), std::string::npos)
      << ReadFileText(settings);
  app.reset();
  app = std::make_unique<TTessalyApp>(services);
  ASSERT_TRUE(app->Start());
  EXPECT_FALSE(app->Main.Crawl.CheckPageResources);
  app->SetCheckPageResources(true);
  EXPECT_NE(ReadFileText(settings).find("MICheckPageResources.Checked=1"), std::string::npos);
}

struct Decision {
  const char* response;
  const char* type;
  bool internal;
  bool fullRequest;
  bool classic = false;  // "Check Page Resources" off
};

void PrintTo(const Decision& d, std::ostream* os) { *os << d.response << " " << d.type; }

class HeaderDecisionTest : public CrawlTest, public ::testing::WithParamInterface<Decision> {};

TEST_P(HeaderDecisionTest, FullRequestWhenNeeded) {
  const Decision& d = GetParam();
  app->Map.SiteURI.Parse("http://site.invalid/");
  app->Main.Crawl.CheckPageResources = !d.classic;
  app->Pool.SuspendRequests();
  THTTPClient client;
  client.URL.Parse(d.internal ? "http://site.invalid/p.html" : "http://other.invalid/p.html");
  client.Response.ResponseText = d.response;
  client.Response.ContentType = d.type;
  app->Main.ButtonCallBackHEADClick(client);
  const bool queuedGet = app->Pool.RowCount() > 0 && app->Pool.Row(app->Pool.RowCount() - 1).Method == THTTPMethod::Get;
  EXPECT_EQ(queuedGet, d.fullRequest);
  app->Pool.TerminateAll();
}

INSTANTIATE_TEST_SUITE_P(Answers, HeaderDecisionTest,
                         ::testing::Values(Decision{"HTTP/1.1 200 OK", "text/html", true, true},
                                           Decision{"HTTP/1.1 200 OK", "Text/HTML; charset=utf-8", true, true},
                                           Decision{"HTTP/1.1 200 OK", "image/gif", true, false},
                                           Decision{"HTTP/1.1 200 OK", "text/css", true, true},
                                           Decision{"HTTP/1.1 200 OK", "Text/CSS; charset=utf-8", true, true},
                                           Decision{"HTTP/1.1 200 OK", "text/css", false, false},
                                           Decision{"HTTP/1.1 404 Not Found", "text/css", true, false},
                                           Decision{"HTTP/1.1 200 OK", "text/css", true, false, true},
                                           Decision{"HTTP/1.1 200 OK", "text/html", false, false},
                                           Decision{"HTTP/1.1 405 Method Not Allowed", "", true, false},
                                           Decision{"HTTP/1.1 404 Not Found", "text/html", true, false},
                                           Decision{"Connection refused", "", true, true},
                                           Decision{"HTTP/1.1 301 Moved", "", false, true},
                                           Decision{"HTTP/1.1 302 Found", "", true, true},
                                           Decision{"HTTP/1.1 401 Unauthorized", "", true, true}));

// Hostile sites: each answer ends within the limits set, with a text that says why, and the
// crawl goes on.
struct HostileCase {
  const char* name;
  std::function<HostileTestServer::Behaviour()> behaviour;
  const char* timeout;  // the HTTP settings' values
  const char* maxPageSize;
  const char* responseText;  // of the start page afterwards
  bool broken;
  bool linksRead;  // the page's link to x.html was found
};

void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.name; }

class HostileCrawlTest : public AppFixture, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(HostileCrawlTest, EndsWithinTheLimits) {
  const HostileCase& c = GetParam();
  HostileTestServer server(c.behaviour());
  app->HTTPSettings.EditTimeout.Text = c.timeout;
  app->HTTPSettings.EditMaxPageSize.Text = c.maxPageSize;
  app->HTTPSettings.Changed();

  Crawl(server.URL("/"));

  TSpiderNode* page = Node(server.URL("/"));
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->ResponseText, c.responseText);
  EXPECT_EQ(page->IsBroken(), c.broken);
  EXPECT_EQ(Node(server.URL("/x.html")) != nullptr, c.linksRead);
  EXPECT_FALSE(app->Pool.IsBusy());
}

// Answers a header request with 401, and a full request with an endless image.
HostileTestServer::Behaviour EndlessImageAfterRefusedHead() {
  const HostileTestServer::Behaviour image = HostileTestServer::Endless("image/png");
  return [image](HostileConnection& c) {
    if (c.Request().starts_with("HEAD ")) c.Send("HTTP/1.1 401 Unauthorized\r\nContent-Length: 0\r\n\r\n");
    else image(c);
  };
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostileCrawlTest,
    ::testing::Values(HostileCase{"drip", [] { return HostileTestServer::Drip(50ms); }, "0.3", "65536",
                                  "Timed out after 0.3 s", true, false},
                      HostileCase{"endless page", [] { return HostileTestServer::Endless(); }, "60", "65536",
                                  "HTTP/1.1 200 OK (page cut off at 64 KiB)", false, true},
                      HostileCase{"gzip bomb", [] { return HostileTestServer::GzipBomb(16 * 1024 * 1024); }, "60",
                                  "100000", "HTTP/1.1 200 OK (page cut off at 100000 bytes)", false, false},
                      HostileCase{"endless image", EndlessImageAfterRefusedHead, "60", "0", "HTTP/1.1 200 OK", false,
                                  false}),
    [](const ::testing::TestParamInfo<HostileCase>& info) {
      std::string name = info.param.name;
      std::replace(name.begin(), name.end(), ' ', '_');
      return name;
    });

TEST_F(CrawlTest, SilentServerCountsAsBrokenAfterTheTimeLimit) {
  SilentTestServer server;
  app->HTTPSettings.EditTimeout.Text = "0.2";
  app->HTTPSettings.Changed();
  Crawl(server.URL("/"));
  TSpiderNode* page = Node(server.URL("/"));
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->ResponseText, "Timed out after 0.2 s");
  EXPECT_EQ(page->ResponseCode, -1);
  EXPECT_TRUE(page->IsBroken());
}

}  // namespace

namespace {

TEST_F(CrawlTest, AnInterruptedCrawlReadsNoFurtherLinks) {
  TestServer site;
  Page(site, "/", "<title>Home</title>Teh <a href='a.html'>a</a> <a href='b.html'>b</a>");
  Page(site, "/a.html", "<title>A</title>");
  site.Start();
  std::atomic<bool> interrupted{true};  // as a Ctrl-C that came while the page was read
  app->Main.Crawl.Interrupted = &interrupted;
  Crawl(site.URL("/"));
  TSpiderNode* home = Node(site.URL("/"));
  ASSERT_NE(home, nullptr);
  EXPECT_EQ(home->ResponseCode, 200);
  EXPECT_TRUE(home->Links.empty());
  EXPECT_EQ(Node(site.URL("/a.html")), nullptr);
  EXPECT_EQ(home->SpellingErrors, 0);  // not counted
  app->Main.Crawl.Interrupted = nullptr;
}

}  // namespace
