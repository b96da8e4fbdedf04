// Which addresses a crawl requests: robots.txt, exclude and include patterns, the largest
// depth. A recording loopback server tells what was and was not requested.
#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Kel/KelError.h"
#include "Dialogs/HostGate.h"
#include "app/CrawlEngine.h"
#include "app/CrawlGate.h"
#include "app/SiteSummary.h"

#include "support/AppFixture.h"
#include "support/DigestAuth.h"
#include "support/RecordingServer.h"

namespace {

void Page(RecordingServer& server, const std::string& path, const std::string& html) {
  server.Http().Get(path, [html](const httplib::Request&, httplib::Response& res) { res.set_content(html, "text/html"); });
}

class CrawlRulesTest : public AppFixture {
 protected:
  CrawlRulesTest() {
    Page(site, "/", "<a href='a.html'>a</a><a href='private/b.html'>b</a><a href='private/open.html'>o</a>"
                    "<a href='x.php'>x</a><a href='deep/1.html'>d</a>");
    Page(site, "/a.html", "<title>A</title>");
    Page(site, "/private/b.html", "<title>B</title>");
    Page(site, "/private/open.html", "<title>O</title>");
    Page(site, "/x.php", "<title>X</title>");
    Page(site, "/deep/1.html", "<a href='2.html'>2</a>");
    Page(site, "/deep/2.html", "<a href='3.html'>3</a>");
    Page(site, "/deep/3.html", "<title>3</title>");
    // Retries of robots.txt answered 503 wait milliseconds, not seconds.
    app->Pool.HostGate().SetDelayScale(0.001);
  }
  // Serves robots.txt with `status` and `body`.
  void Robots(int status, const std::string& body) {
    site.Http().Get("/robots.txt", [status, body](const httplib::Request&, httplib::Response& res) {
      res.status = status;
      res.set_content(body, "text/plain");
    });
  }
  // Whether `path` was requested at all (HEAD or GET).
  bool Requested(const std::string& path) const { return site.CountOf(path) > 0; }
  TSpiderNode* At(const std::string& path) const { return Node(site.URL(path)); }

  RecordingServer site;
};

const char* const kAllPaths[] = {"/", "/a.html", "/private/b.html", "/private/open.html", "/x.php", "/deep/1.html"};

struct RobotsCase {
  const char* Name;
  int Status;  // of robots.txt; 0: none served (404)
  const char* Body;
  std::vector<std::string> Blocked;  // never requested, shown "Blocked by robots.txt"
};

const RobotsCase kRobotsCases[] = {
    {"absent", 0, "", {}},
    {"not found", 404, "User-agent: *\nDisallow: /\n", {}},
    {"forbidden", 403, "User-agent: *\nDisallow: /\n", {}},
    {"server error", 503, "", {"/"}},
    {"folder", 200, "User-agent: *\nDisallow: /private\n", {"/private/b.html", "/private/open.html"}},
    {"longest match", 200, "User-agent: *\nDisallow: /private\nAllow: /private/open.html$\n", {"/private/b.html"}},
    {"own group", 200, "User-agent: *\nDisallow: /\n\nUser-agent: Tessaly\nDisallow: /*.php$\n", {"/x.php"}},
    {"everything", 200, "User-agent: *\nDisallow: /\n", {"/"}},
};

class RobotsCrawl : public CrawlRulesTest, public ::testing::WithParamInterface<RobotsCase> {};

TEST_P(RobotsCrawl, RequestsOnlyWhatRobotsTxtAllows) {
  const RobotsCase& c = GetParam();
  if (c.Status) Robots(c.Status, c.Body);
  site.Start();
  app->Main.Crawl.Gate.ObeyRobots = true;
  Crawl(site.URL("/"));
  // Read once, before anything else (a 503 answer is asked again, like any other).
  const int reads = c.Status == 503 ? 1 + THostGate::kMaxRetries : 1;
  EXPECT_EQ(site.CountOf("/robots.txt"), reads);
  ASSERT_FALSE(site.Requests().empty());
  EXPECT_EQ(site.Requests().front().Path, "/robots.txt");
  const std::set<std::string> blocked(c.Blocked.begin(), c.Blocked.end());
  for (const char* path : kAllPaths) {
    if (blocked.count(path)) {
      EXPECT_FALSE(Requested(path)) << path;
      TSpiderNode* node = At(path);
      ASSERT_NE(node, nullptr) << path;
      EXPECT_EQ(node->ResponseText, kRobotsBlockedText) << path;
      EXPECT_FALSE(node->IsBroken()) << path;
    } else if (!blocked.count("/")) {
      EXPECT_TRUE(Requested(path)) << path;
    }
  }
  EXPECT_EQ(Node(site.URL("/robots.txt")), nullptr) << "robots.txt is not part of the map";
}

INSTANTIATE_TEST_SUITE_P(Cases, RobotsCrawl, ::testing::ValuesIn(kRobotsCases), [](const auto& info) {
  std::string name;
  for (const char c : std::string(info.param.Name)) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
});

TEST_F(CrawlRulesTest, RobotsTxtIsNotReadWhenNotObeyed) {
  Robots(200, "User-agent: *\nDisallow: /\n");
  site.Start();
  Crawl(site.URL("/"));
  EXPECT_EQ(site.CountOf("/robots.txt"), 0);
  for (const char* path : kAllPaths) EXPECT_TRUE(Requested(path)) << path;
}

TEST_F(CrawlRulesTest, AnUnreachableRobotsTxtDisallowsTheHost) {
  RefusingTestPort closed;
  Page(site, "/start.html", "<a href='" + closed.URL("/page.html") + "'>elsewhere</a>");
  site.Start();
  app->Main.Crawl.Gate.ObeyRobots = true;
  app->Main.Tree.ValidateExternalURLs = true;
  Crawl(site.URL("/start.html"));
  TSpiderNode* node = Node(closed.URL("/page.html"));
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->ResponseText, kRobotsBlockedText);
  EXPECT_FALSE(node->IsBroken());
}

TEST_F(CrawlRulesTest, SitemapsAndCrawlDelayAreRemembered) {
  Robots(200, "Sitemap: " + std::string("http://example.org/map.xml") + "\nUser-agent: *\nCrawl-delay: 90\n");
  site.Start();
  std::vector<std::pair<std::string, double>> delays;
  app->Main.Crawl.Gate.ObeyRobots = true;
  auto previous = app->Main.Crawl.Gate.OnCrawlDelay;
  app->Main.Crawl.Gate.OnCrawlDelay = [&](const std::string& host, double seconds, bool capped) {
    delays.emplace_back(host, seconds);
    EXPECT_TRUE(capped);
    if (previous) previous(host, 0, capped);  // the pace itself is not what this test measures
  };
  Crawl(site.URL("/"));
  ASSERT_EQ(app->Main.Crawl.Gate.Sitemaps().size(), 1u);
  EXPECT_EQ(app->Main.Crawl.Gate.Sitemaps()[0], "http://example.org/map.xml");
  ASSERT_EQ(delays.size(), 1u);
  EXPECT_EQ(delays[0].first, "http://127.0.0.1:" + std::to_string(site.Port()));
  EXPECT_DOUBLE_EQ(delays[0].second, 30);
  // The report and the status bar say that the delay asked for was not honoured in full.
  EXPECT_EQ(app->Main.StatusRequesting, "The robots.txt of http://127.0.0.1:" + std::to_string(site.Port()) +
                                            " asks for a Crawl-delay over 30 s; its requests were made 30 s apart.");
  const std::string report = SiteReportText(TCrawlEngine(*app).Summary());
  EXPECT_NE(report.find("Note: The robots.txt of http://127.0.0.1:" + std::to_string(site.Port()) +
                        " asks for a Crawl-delay over 30 s; its requests were made 30 s apart.\n"),
            std::string::npos)
      << report;
}

// Exclude and include patterns and the largest depth, each against what was requested.
struct ScopeCase {
  const char* Name;
  std::vector<std::string> Include, Exclude;
  int MaxDepth;
  std::vector<std::string> Requested, NotRequested;
  std::vector<std::string> Excluded;  // listed with "Excluded"
};

const ScopeCase kScopeCases[] = {
    {"defaults", {}, {}, 0, {"/", "/private/b.html", "/deep/3.html"}, {}, {}},
    {"exclude folder", {}, {"/private/"}, 0, {"/", "/a.html"}, {"/private/b.html", "/private/open.html"},
     {"/private/b.html", "/private/open.html"}},
    {"exclude by ending", {}, {"\\.php$"}, 0, {"/private/b.html"}, {"/x.php"}, {"/x.php"}},
    {"depth one", {}, {}, 1, {"/", "/a.html", "/deep/1.html"}, {"/deep/2.html", "/deep/3.html"}, {}},
    {"depth two", {}, {}, 2, {"/deep/2.html"}, {"/deep/3.html"}, {}},
};

class ScopeCrawl : public CrawlRulesTest, public ::testing::WithParamInterface<ScopeCase> {};

TEST_P(ScopeCrawl, RequestsWhatThePatternsAndDepthAllow) {
  const ScopeCase& c = GetParam();
  site.Start();
  app->Main.Crawl.SetIncludePatterns(c.Include);
  app->Main.Crawl.SetExcludePatterns(c.Exclude);
  app->Main.Crawl.MaxDepth = c.MaxDepth;
  Crawl(site.URL("/"));
  for (const auto& path : c.Requested) EXPECT_TRUE(Requested(path)) << path;
  for (const auto& path : c.NotRequested) EXPECT_FALSE(Requested(path)) << path;
  for (const auto& path : c.Excluded) {
    TSpiderNode* node = At(path);
    ASSERT_NE(node, nullptr) << path;
    EXPECT_EQ(node->ResponseText, kExcludedText) << path;
    EXPECT_FALSE(node->IsBroken()) << path;
  }
  EXPECT_EQ(app->Main.Crawl.Gate.Waiting(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, ScopeCrawl, ::testing::ValuesIn(kScopeCases), [](const auto& info) {
  std::string name;
  for (const char c : std::string(info.param.Name)) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
});

TEST_F(CrawlRulesTest, AnIncludedFolderOfAnotherHostIsCrawledAsTheSite) {
  RecordingServer other;
  Page(other, "/docs/index.html", "<a href='more.html'>more</a><a href='/outside.html'>out</a>");
  Page(other, "/docs/more.html", "<title>More</title><a href='evenmore.html'>x</a>");
  Page(other, "/docs/evenmore.html", "<title>More</title>");
  Page(other, "/outside.html", "<a href='nothing.html'>x</a>");
  other.Start();
  Page(site, "/start.html", "<a href='" + other.URL("/docs/index.html") + "'>docs</a>");
  site.Start();
  app->Main.Tree.ValidateExternalURLs = false;
  app->Main.Crawl.SetIncludePatterns({"^http://127\\.0\\.0\\.1:" + std::to_string(other.Port()) + "/docs/"});
  Crawl(site.URL("/start.html"));
  EXPECT_GT(other.CountOf("/docs/index.html"), 0);
  EXPECT_GT(other.CountOf("/docs/more.html"), 0);
  EXPECT_GT(other.CountOf("/docs/evenmore.html"), 0) << "the included pages were read for links";
  EXPECT_EQ(other.CountOf("/outside.html"), 0) << "external checks are off and it is not included";
  ASSERT_NE(Node(other.URL("/docs/more.html")), nullptr);
  EXPECT_EQ(Node(other.URL("/docs/more.html"))->Title(), "More");
}

TEST_F(CrawlRulesTest, ABadPatternNamesItsSetting) {
  try {
    app->Main.Crawl.SetExcludePatterns({"fine", "(unclosed"});
    FAIL() << "no error";
  } catch (const EError& e) {
    EXPECT_NE(std::string(e.what()).find("Exclude patterns"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("(unclosed"), std::string::npos) << e.what();
  }
  EXPECT_THROW(app->Main.Crawl.SetIncludePatterns({"a**"}), EError);
}

TEST_F(CrawlRulesTest, PatternsMatchLongAddressesInLinearTime) {
  // A pattern that backtracking engines take exponential time over: RE2 does not.
  const TAddressPatterns patterns({"^(a+)+$"}, "Exclude patterns");
  EXPECT_FALSE(patterns.Matches(std::string(100000, 'a') + "b"));
  EXPECT_TRUE(patterns.Matches(std::string(100000, 'a')));
}

}  // namespace

namespace {

// "Come back later": 429 and 503 answers are asked again, and only the final answer counts.
class RetryTest : public CrawlRulesTest {
 protected:
  RetryTest() {
    Page(site, "/start.html", "<a href='busy.html'>busy</a><a href='down.html'>down</a>");
    site.Http().Get("/busy.html", [this](const httplib::Request&, httplib::Response& res) {
      if (++busy_ <= 2) {
        res.status = 429;
        res.set_header("Retry-After", busy_ == 1 ? "0" : "Wed, 21 Oct 2015 07:28:00 GMT");
        return;
      }
      res.set_content("<title>Busy</title>", "text/html");
    });
    site.Http().Get("/down.html", [](const httplib::Request&, httplib::Response& res) { res.status = 503; });
    site.Start();
    // 1, 2 and 4 ms instead of seconds.
    app->Pool.HostGate().SetDelayScale(0.001);
  }
  std::atomic<int> busy_{0};
};

TEST_F(RetryTest, AnswersToComeBackLaterAreAskedAgain) {
  Crawl(site.URL("/start.html"));
  // busy: HEAD 429, 429, 200, then its page's GET; down: HEAD 503 and three retries.
  EXPECT_EQ(site.CountOf("/busy.html"), 4);
  EXPECT_EQ(site.CountOf("/down.html"), 4);
  ASSERT_NE(At("/busy.html"), nullptr);
  EXPECT_EQ(At("/busy.html")->ResponseCode, 200);
  EXPECT_EQ(At("/busy.html")->Title(), "Busy");
  ASSERT_NE(At("/down.html"), nullptr);
  EXPECT_EQ(At("/down.html")->ResponseCode, 503);
  EXPECT_TRUE(At("/down.html")->IsBroken());
  // The host is asked at half its pace from now on.
  EXPECT_GT(app->Pool.HostGate().Interval(THostGate::HostKey(site.URL("/"))), 0);
}

TEST_F(RetryTest, WithoutRetriesTheFirstAnswerCounts) {
  app->Pool.HostGate().SetRetry(false);
  Crawl(site.URL("/start.html"));
  EXPECT_EQ(site.CountOf("/busy.html"), 1);
  EXPECT_EQ(site.CountOf("/down.html"), 1);
  EXPECT_EQ(At("/busy.html")->ResponseCode, 429);
}

}  // namespace

namespace {

// The crawl's identity and credentials reach the site's own host, never another one.
TEST_F(CrawlRulesTest, IdentityAndCredentialsGoToTheSiteOnly) {
  RecordingServer other;
  other.Http().Get("/elsewhere.html", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("<title>E</title>", "text/html");
  });
  other.Start();
  Page(site, "/start.html", "<a href='secret.html'>s</a><a href='" + other.URL("/elsewhere.html") + "'>e</a>");
  const std::string expected = "Basic YW5uOnMzY3JldA==";  // ann:s3cret
  ServeBehindBasicLogin(site.Http(), "/secret.html", expected, "staging");
  site.Start();
  app->Main.Tree.ValidateExternalURLs = true;
  app->Main.Crawl.SetIdentity("Tessaly/1.0 (+test)", {"X-Token: abc", "Cookie: session=1"});
  app->Main.Crawl.SetCredentials("ann", "s3cret");
  Crawl(site.URL("/start.html"));

  ASSERT_NE(At("/secret.html"), nullptr);
  EXPECT_EQ(At("/secret.html")->ResponseCode, 200);
  EXPECT_EQ(At("/secret.html")->Title(), "Secret");
  for (const auto& r : site.Requests()) {
    EXPECT_EQ(r.Header("User-Agent"), "Tessaly/1.0 (+test)") << r.Path;
    EXPECT_EQ(r.Header("X-Token"), "abc") << r.Path;
    EXPECT_EQ(r.Header("Cookie"), "session=1") << r.Path;
  }
  const auto elsewhere = other.Requests();
  ASSERT_FALSE(elsewhere.empty());
  for (const auto& r : elsewhere) {
    EXPECT_EQ(r.Header("User-Agent"), kHTTPUserAgent) << r.Path;
    EXPECT_FALSE(r.HasHeader("X-Token")) << r.Path;
    EXPECT_FALSE(r.HasHeader("Cookie")) << r.Path;
    EXPECT_NE(r.Header("Authorization"), expected) << r.Path;
  }
}

// A site that asks for Digest gets it: with the right password the pages behind it are read,
// with a wrong one they are broken (401), and no other host sees an Authorization header.
TEST_F(CrawlRulesTest, DigestCredentialsLogInWhereTheServerAsksForThem) {
  const struct {
    const char* Password;
    int Code;
    const char* Title;
  } cases[] = {{"s3cret", 200, "Secret"}, {"wrong", 401, ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Password);
    RecordingServer staging, other;
    other.Http().Get("/elsewhere.html", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("<title>E</title>", "text/html");
    });
    other.Start();
    Page(staging, "/start.html", "<a href='secret.html'>s</a><a href='" + other.URL("/elsewhere.html") + "'>e</a>");
    staging.Http().Get("/secret.html", [](const httplib::Request& req, httplib::Response& res) {
      if (!DigestAuthorized(req, "staging", "n0nce", "ann", "s3cret")) {
        res.status = 401;
        res.set_header("WWW-Authenticate", DigestChallenge("staging", "n0nce"));
        return;
      }
      res.set_content("<title>Secret</title>", "text/html");
    });
    staging.Start();
    app->Main.Tree.ValidateExternalURLs = true;
    app->Main.Crawl.SetCredentials("ann", c.Password);
    app->Map.Modified = false;  // the last case's map goes without asking
    Crawl(staging.URL("/start.html"));

    TSpiderNode* secret = Node(staging.URL("/secret.html"));
    ASSERT_NE(secret, nullptr);
    EXPECT_EQ(secret->ResponseCode, c.Code);
    EXPECT_EQ(secret->Title(), c.Title);
    bool answered = false;
    for (const auto& r : staging.RequestsOf("/secret.html"))
      answered = answered || r.Header("Authorization").rfind("Digest ", 0) == 0;
    EXPECT_TRUE(answered);
    const auto elsewhere = other.Requests();
    ASSERT_FALSE(elsewhere.empty());
    for (const auto& r : elsewhere) EXPECT_EQ(r.Header("Authorization").rfind("Digest ", 0), std::string::npos) << r.Path;
  }
}

// A site that answers 401 without credentials given: the user is asked for a login once for
// all its pages, the login goes to that server only, and it is remembered as the user says.
struct LoginCase {
  const char* Name;
  bool Keyring;                // a keyring service answers
  bool Stored;                 // the keyring holds the site's login from an earlier run
  std::vector<std::optional<platform::Login>> Answers;
  int Questions;               // how often the user is asked in the first crawl
  int Code;                    // the protected pages' answer
  bool Written;                // the keyring holds the login afterwards
  bool AskedAgain;             // a second crawl of the site in the same run asks again
};

const LoginCase kLoginCases[] = {
    {"remembered in the keyring", true, false, {platform::Login{"ann", "s3cret", true}}, 1, 200, true, false},
    {"for this crawl only", true, false, {platform::Login{"ann", "s3cret", false}}, 1, 200, false, false},
    {"no keyring: for the run", false, false, {platform::Login{"ann", "s3cret", true}}, 1, 200, false, false},
    {"cancelled", true, false, {std::nullopt}, 1, 401, false, true},
    {"wrong, then right", true, false,
     {platform::Login{"ann", "guess", false}, platform::Login{"ann", "s3cret", false}}, 2, 200, false, false},
    {"from an earlier run's keyring", true, true, {}, 0, 200, true, false},
};

TEST_F(CrawlRulesTest, ALoginIsAskedForWhenTheSiteAnswers401) {
  RecordingServer other;
  other.Http().Get("/elsewhere.html", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("<title>E</title>", "text/html");
  });
  other.Start();
  Page(site, "/start.html",
       "<a href='s1.html'>1</a><a href='s2.html'>2</a><a href='s3.html'>3</a><a href='" + other.URL("/elsewhere.html") +
           "'>e</a>");
  const std::string expected = "Basic YW5uOnMzY3JldA==";  // ann:s3cret
  for (const char* path : {"/s1.html", "/s2.html", "/s3.html"}) ServeBehindBasicLogin(site.Http(), path, expected, "staging");
  site.Start();
  const std::string siteKey = "http://127.0.0.1:" + std::to_string(site.Port());
  const std::string keyName = "Tessaly login " + siteKey;
  for (const LoginCase& c : kLoginCases) {
    SCOPED_TRACE(c.Name);
    platform::HeadlessKeyring keyring;
    keyring.Present = c.Keyring;
    if (c.Stored) keyring.Secrets[keyName] = "ann\ns3cret";
    services.Keys = &keyring;
    app = std::make_unique<TTessalyApp>(services);
    ASSERT_TRUE(app->Start());
    app->Main.Tree.ValidateExternalURLs = true;
    ask.Log.clear();
    ask.LoginKeyrings.clear();
    ask.Logins.assign(c.Answers.begin(), c.Answers.end());
    Crawl(site.URL("/start.html"));

    const auto logins = ask.TextsOf("Login");
    EXPECT_EQ(static_cast<int>(logins.size()), c.Questions);
    for (const std::string& asked : logins) EXPECT_EQ(asked, siteKey);
    for (const auto& a : ask.Log) {
      if (a.Kind == "Login") {
        EXPECT_EQ(a.Detail, "staging");
      }
    }
    for (bool offered : ask.LoginKeyrings) EXPECT_EQ(offered, c.Keyring);
    for (const char* path : {"/s1.html", "/s2.html", "/s3.html"}) {
      ASSERT_NE(At(path), nullptr) << path;
      EXPECT_EQ(At(path)->ResponseCode, c.Code) << path;
    }
    EXPECT_EQ(keyring.Secrets.count(keyName) == 1, c.Written);
    if (c.Written) {
      EXPECT_EQ(keyring.Secrets[keyName], "ann\ns3cret");
    }
    for (const auto& r : other.Requests()) EXPECT_NE(r.Header("Authorization"), expected) << r.Path;

    // A second crawl of the site in this run.
    ask.Log.clear();
    app->Map.Modified = false;
    Crawl(site.URL("/start.html"));
    EXPECT_EQ(ask.TextsOf("Login").empty(), !c.AskedAgain);
    app.reset();
    services.Keys = nullptr;
  }
}

TEST_F(CrawlRulesTest, ByDefaultRequestsCarryTheProgramsOwnHeaders) {
  site.Start();
  Crawl(site.URL("/"));
  for (const auto& r : site.Requests()) {
    EXPECT_EQ(r.Header("User-Agent"), kHTTPUserAgent) << r.Path;
    EXPECT_EQ(r.Header("Authorization"), "Basic Og==") << r.Path;
  }
}

TEST_F(CrawlRulesTest, BadHeadersNameTheirSetting) {
  const struct {
    std::string UserAgent;
    std::vector<std::string> Headers;
    const char* Setting;
  } cases[] = {
      {"", {"NoColon"}, "Extra headers"},
      {"", {"X-A: b\r\nX-Injected: c"}, "Extra headers"},
      {"", {": value"}, "Extra headers"},
      {"", {"Two words: x"}, "Extra headers"},
      {"Agent\nX-Injected: c", {}, "User agent"},
  };
  for (const auto& c : cases) {
    try {
      app->Main.Crawl.SetIdentity(c.UserAgent, c.Headers);
      ADD_FAILURE() << "no error for " << (c.Headers.empty() ? c.UserAgent : c.Headers[0]);
    } catch (const EError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.Setting, 0), 0u) << e.what();
    }
  }
  EXPECT_EQ(app->Main.Crawl.Identity(), nullptr) << "nothing was taken";
}

}  // namespace
