// The crawl's two limits as settings: a site slightly larger than the limit suspends the crawl
// with a message that names the way past it; resuming (Start, or the status window's Resume)
// goes on to the end of the site; a fresh Start restores the limit.
#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <string>

#include "app/SpiderTools.h"
#include "support/AppFixture.h"
#include "support/TempDir.h"
#include "support/TestServer.h"

namespace {

// "/" links to every page and image; each page links home, to the next page and to its image.
constexpr int kPages = 40;
constexpr int kAddresses = 1 + 2 * kPages;

struct TRequestCount {
  std::mutex Mutex;
  std::map<std::string, int> Count;  // "GET /p1.html": 1
  void Add(const httplib::Request& req) {
    std::lock_guard lock(Mutex);
    ++Count[req.method + " " + req.path];
  }
};

void ServeSite(TestServer& server, TRequestCount* count = nullptr) {
  if (count)
    server.Http().set_pre_routing_handler([count](const httplib::Request& req, httplib::Response&) {
      count->Add(req);
      return httplib::Server::HandlerResponse::Unhandled;
    });
  server.Http().Get("/", [](const httplib::Request&, httplib::Response& res) {
    std::string body = "<title>Home</title>";
    for (int i = 0; i < kPages; ++i)
      body += "<a href='p" + std::to_string(i) + ".html'>p</a><img src='i" + std::to_string(i) + ".gif'>";
    res.set_content(body, "text/html");
  });
  server.Http().Get(R"(/p(\d+)\.html)", [](const httplib::Request& req, httplib::Response& res) {
    const int i = std::stoi(req.matches[1]);
    res.set_content("<title>Page " + std::to_string(i) + "</title><a href='/'>home</a><a href='p" +
                        std::to_string((i + 1) % kPages) + ".html'>next</a><img src='i" + std::to_string(i) + ".gif'>",
                    "text/html");
  });
  server.Http().Get(R"(/i\d+\.gif)",
                    [](const httplib::Request&, httplib::Response& res) { res.set_content("GIF89a", "image/gif"); });
}

enum class Resume { None, Start, Window };

struct LimitCase {
  TCrawlLimit Limit;
  const char* Value;    // the setting's text
  const char* Setting;  // the caption its message names
  const char* Option;   // the command-line option its message names
  Resume How;
};

void PrintTo(const LimitCase& c, std::ostream* os) {
  *os << (c.Limit == TCrawlLimit::Addresses ? "addresses " : "queue ") << c.Value << " resume "
      << static_cast<int>(c.How);
}

class CrawlLimitsTest : public AppFixture, public ::testing::WithParamInterface<LimitCase> {
 protected:
  void SetLimit(const LimitCase& c) {
    auto& s = app->HTTPSettings;
    (c.Limit == TCrawlLimit::Addresses ? s.EditMaxAddresses : s.EditMaxQueue).Text = c.Value;
    s.Changed();
  }
  size_t Unchecked() const {
    size_t n = 0;
    for (const auto& node : app->Map.Nodes()) n += node->ResponseCode == 0;
    return n;
  }
};

TEST_P(CrawlLimitsTest, SuspendsAtTheLimitAndResumingGoesOnToTheEnd) {
  const LimitCase& c = GetParam();
  TestServer site;
  ServeSite(site);
  site.Start();
  app->Main.Tree.ValidateExternalURLs = false;
  SetLimit(c);

  Crawl(site.URL("/"));
  // Suspended with one message that starts as always and names the setting and the option.
  const auto notices = ask.TextsOf("Notice");
  ASSERT_EQ(notices.size(), 1u);
  const std::string head = c.Limit == TCrawlLimit::Addresses ? kNodeLimitMessage : kQueueLimitMessage;
  EXPECT_EQ(notices[0].substr(0, head.size()), head);
  EXPECT_NE(notices[0].find(std::string("\"") + c.Setting + "\""), std::string::npos) << notices[0];
  EXPECT_NE(notices[0].find(std::string(c.Option) + " N"), std::string::npos) << notices[0];
  EXPECT_NE(notices[0].find(std::string("now ") + c.Value), std::string::npos) << notices[0];
  EXPECT_TRUE(app->Pool.LimitHolds(c.Limit));
  EXPECT_TRUE(app->Pool.Suspended());
  EXPECT_FALSE(app->Pool.IsEmpty());
  EXPECT_EQ(app->Main.ButtonSpiderCaption, "Start");

  if (c.How != Resume::None) {
    if (c.How == Resume::Start) {
      ask.QueueAnswer(platform::Answer::Yes);  // "Do you want to resume the current spider?"
      app->Main.ButtonSpiderClick();
      EXPECT_EQ(ask.TextsOf("YesNo").back(), "Do you want to resume the current spider?");
    } else {
      EXPECT_EQ(app->Pool.Display().SuspendCaption, "Resume");
      app->Pool.ButtonSuspendClick();
    }
    WaitIdle();
    // The whole site, every address checked, and no second suspension.
    EXPECT_EQ(app->Map.Count(), kAddresses);
    EXPECT_EQ(Unchecked(), 0u);
    EXPECT_TRUE(app->Pool.IsEmpty());
    EXPECT_FALSE(app->Pool.LimitHolds());
    EXPECT_TRUE(app->Pool.LimitLifted(c.Limit));
    EXPECT_EQ(ask.TextsOf("Notice").size(), 1u);
  }

  // A new Start restores the limit: the fresh crawl stops at it again.
  if (c.How == Resume::None) ask.QueueAnswer(platform::Answer::No);  // not resumed: a fresh crawl
  ask.QueueAnswer(platform::Answer::Yes);                              // clear the results
  Crawl(site.URL("/"));
  EXPECT_EQ(ask.TextsOf("Notice").size(), 2u);
  EXPECT_TRUE(app->Pool.LimitHolds(c.Limit));
  EXPECT_FALSE(app->Pool.LimitLifted(c.Limit));
  EXPECT_LT(app->Map.Count() - static_cast<int>(Unchecked()), kAddresses);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, CrawlLimitsTest,
    ::testing::Values(LimitCase{TCrawlLimit::Addresses, "60", "Largest site (addresses)", "--max-addresses", Resume::None},
                      LimitCase{TCrawlLimit::Addresses, "60", "Largest site (addresses)", "--max-addresses", Resume::Start},
                      LimitCase{TCrawlLimit::Addresses, "60", "Largest site (addresses)", "--max-addresses", Resume::Window},
                      LimitCase{TCrawlLimit::Queue, "30", "Largest queue (requests)", "--max-queue", Resume::None},
                      LimitCase{TCrawlLimit::Queue, "30", "Largest queue (requests)", "--max-queue", Resume::Start},
                      LimitCase{TCrawlLimit::Queue, "30", "Largest queue (requests)", "--max-queue", Resume::Window}));

// No limit (0) and the default leave a site of this size alone.
TEST_F(CrawlLimitsTest, ZeroMeansNoLimit) {
  TestServer site;
  ServeSite(site);
  site.Start();
  app->Main.Tree.ValidateExternalURLs = false;
  app->HTTPSettings.EditMaxAddresses.Text = "0";
  app->HTTPSettings.EditMaxQueue.Text = "0";
  app->HTTPSettings.Changed();
  EXPECT_EQ(app->HTTPSettings.MaxAddresses(), 0);
  Crawl(site.URL("/"));
  EXPECT_TRUE(ask.TextsOf("Notice").empty());
  EXPECT_EQ(app->Map.Count(), kAddresses);
  EXPECT_FALSE(app->Pool.LimitHolds());
}

// A crawl stopped by a limit, saved and opened again: Start offers to resume it and goes on with
// the addresses never checked and the pages never read, reading no page twice.
TEST_F(CrawlLimitsTest, StartOnAnOpenedUnfinishedProjectContinuesIt) {
  TestServer site;
  TRequestCount count;
  ServeSite(site, &count);
  site.Start();
  app->Main.Tree.ValidateExternalURLs = false;
  app->HTTPSettings.EditMaxAddresses.Text = "60";
  app->HTTPSettings.Changed();
  Crawl(site.URL("/"));
  ASSERT_TRUE(app->Pool.LimitHolds(TCrawlLimit::Addresses));
  const std::string project = dir.File("site.tly");
  app->Main.SaveProject(project);
  ASSERT_TRUE(app->Main.OpenProjectFile(project));
  EXPECT_TRUE(app->Pool.IsEmpty());
  EXPECT_GT(Unchecked(), 0u);

  ask.QueueAnswer(platform::Answer::Yes);  // "Do you want to resume the current spider?"
  app->Main.ButtonSpiderClick();
  EXPECT_EQ(ask.TextsOf("YesNo").back(), "Do you want to resume the current spider?");
  WaitIdle();
  EXPECT_EQ(app->Map.Count(), kAddresses);
  EXPECT_EQ(Unchecked(), 0u);
  EXPECT_EQ(ask.TextsOf("Notice").size(), 1u);  // the map was past the limit already: lifted
  for (const auto& node : app->Map.Nodes()) {
    if (node->IsHTML()) {
      EXPECT_FALSE(node->Title().empty()) << node->URLText();
    }
  }
  {
    std::lock_guard lock(count.Mutex);
    for (const auto& [request, n] : count.Count) EXPECT_EQ(n, 1) << request;
  }

  // The crawl is complete: Start begins afresh without asking to resume.
  app->Main.SaveProject(project);
  ASSERT_TRUE(app->Main.OpenProjectFile(project));
  const size_t questions = ask.TextsOf("YesNo").size();
  app->HTTPSettings.EditMaxAddresses.Text = "0";
  app->HTTPSettings.Changed();
  Crawl(site.URL("/"));
  EXPECT_EQ(ask.TextsOf("YesNo").size(), questions);
  EXPECT_EQ(app->Map.Count(), kAddresses);
}

TEST(CrawlLimitSettings, TextsThatAreNotCountsGiveTheDefaults) {
  TempDir dir;
  TIniFile ini(dir.File("Settings.ini"));
  TFormHTTPSettings s(ini, nullptr);
  EXPECT_EQ(s.MaxAddresses(), 4000);
  EXPECT_EQ(s.MaxQueue(), 10000);
  const std::pair<const char*, int32_t> cases[] = {{"0", 0},     {"12", 12},   {" 7 ", 7},  {"-1", 4000},
                                                   {"x", 4000},  {"", 4000},   {"1e3", 4000}, {"99999999999", 4000},
                                                   {"2147483647", 2147483647}};
  for (const auto& [text, value] : cases) {
    s.EditMaxAddresses.Text = text;
    s.Changed();
    EXPECT_EQ(s.MaxAddresses(), value) << text;
  }
}

}  // namespace
