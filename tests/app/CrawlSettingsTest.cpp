// "Crawl Settings": stored in Settings.ini and read back, checked, and in force for the next
// crawl; with every value at its default the crawl is what it always was.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Kel/KelError.h"
#include "app/CrawlGate.h"
#include "app/UnitCrawlSettings.h"

#include "support/AppFixture.h"
#include "support/RecordingServer.h"

namespace {

TEST(CrawlSettingsLines, BlankLinesAreLeftOut) {
  EXPECT_EQ(SettingLines("a\r\n\n  \nb"), (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(SettingLines("").empty());
}

class CrawlSettingsTest : public AppFixture {
 protected:
  TFormCrawlSettings& Form() { return app->CrawlSettings; }
  TIniFile& Ini() { return app->SettingsFiles.Settings(); }
};

TEST_F(CrawlSettingsTest, DefaultsAreTodaysCrawl) {
  const TCrawlSettingsValues defaults;
  EXPECT_EQ(Form().Values, defaults);
  EXPECT_FALSE(app->Main.Crawl.Gate.ObeyRobots);
  EXPECT_FALSE(app->Main.Crawl.Sitemaps.Enabled);
  EXPECT_FALSE(app->Pool.HostGate().Active());
  EXPECT_TRUE(app->Pool.HostGate().Retry());
  EXPECT_EQ(app->Main.Crawl.Identity(), nullptr);
  EXPECT_EQ(app->Main.Crawl.MaxDepth, 0);
  EXPECT_EQ(app->Main.Crawl.Gate.Exclude, nullptr);
}

TEST_F(CrawlSettingsTest, StoredValuesReadBackAndReachTheNextCrawl) {
  RecordingServer site;
  site.Http().Get("/", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("<a href='no/a.html'>a</a><a href='b.html'>b</a>", "text/html");
  });
  site.Http().Get("/b.html", [](const httplib::Request&, httplib::Response& res) { res.set_content("b", "text/html"); });
  site.Start();
  // The dialog: edited, OK pressed.
  const bool ok = Form().Run(
      [](TFormCrawlSettings& f) {
        f.Values.ObeyRobots = true;
        f.Values.UseSitemap = true;
        f.Values.Retry = false;
        f.Values.UserAgent = "Probe/3";
        f.Values.Headers = "X-One: 1\nX-Two: 2";
        f.Values.Exclude = "/no/";
        f.Values.MaxDepth = "4";
        f.Values.Rate = "0";
        return true;
      },
      [this](const TCrawlSettings& s) { app->Engine.Apply(s); }, [](const std::string& e) { FAIL() << e; });
  ASSERT_TRUE(ok);
  EXPECT_EQ(Ini().ReadString(TFormCrawlSettings::kSection, "EditHeaders.Text", ""), "X-One: 1\tX-Two: 2");
  EXPECT_TRUE(Ini().ReadBool(TFormCrawlSettings::kSection, "EditObeyRobots.Checked", false));
  EXPECT_TRUE(Ini().ReadBool(TFormCrawlSettings::kSection, "EditUseSitemap.Checked", false));

  // Read back by a fresh form over the same file.
  TFormCrawlSettings again(Ini());
  EXPECT_EQ(again.Values, Form().Values);
  EXPECT_EQ(again.Values.Headers, "X-One: 1\nX-Two: 2");

  Crawl(site.URL("/"));
  // robots.txt is read once, by the gate, for its rules and its "Sitemap" lines alike; it names
  // none, so /sitemap.xml is looked for.
  EXPECT_EQ(site.CountOf("/robots.txt"), 1);
  EXPECT_EQ(site.CountOf("/sitemap.xml"), 1);
  EXPECT_EQ(site.CountOf("/no/a.html"), 0);
  for (const auto& r : site.Requests()) {
    EXPECT_EQ(r.Header("User-Agent"), "Probe/3");
    EXPECT_EQ(r.Header("X-Two"), "2");
  }
  EXPECT_EQ(app->Main.Crawl.MaxDepth, 4);
  EXPECT_FALSE(app->Pool.HostGate().Retry());
}

TEST_F(CrawlSettingsTest, RefusedValuesNameTheirSettingAndAreNotStored) {
  const struct {
    const char* Name;
    void (*Edit)(TCrawlSettingsValues&);
    const char* Setting;
  } cases[] = {
      {"negative rate", [](TCrawlSettingsValues& v) { v.Rate = "-2"; }, "Requests per second per host"},
      {"rate not a number", [](TCrawlSettingsValues& v) { v.Rate = "fast"; }, "Requests per second per host"},
      {"bad include", [](TCrawlSettingsValues& v) { v.Include = "ok\n(bad"; }, "Include patterns"},
      {"bad exclude", [](TCrawlSettingsValues& v) { v.Exclude = "[z-a]"; }, "Exclude patterns"},
      {"header without colon", [](TCrawlSettingsValues& v) { v.Headers = "Nope"; }, "Extra headers"},
      {"negative depth", [](TCrawlSettingsValues& v) { v.MaxDepth = "-1"; }, "Largest depth"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> errors;
    int shown = 0;
    const bool ok = Form().Run(
        [&](TFormCrawlSettings& f) {
          // First showing: the bad value and OK; then Cancel.
          if (shown++ > 0) return false;
          c.Edit(f.Values);
          return true;
        },
        [this](const TCrawlSettings& s) { app->Engine.Apply(s); },
        [&](const std::string& e) { errors.push_back(e); });
    EXPECT_FALSE(ok) << c.Name;
    ASSERT_EQ(errors.size(), 1u) << c.Name;
    EXPECT_EQ(errors[0].rfind(c.Setting, 0), 0u) << errors[0];
    EXPECT_EQ(Form().Values, TCrawlSettingsValues()) << c.Name << ": nothing stored, the stored values back";
  }
}

}  // namespace
