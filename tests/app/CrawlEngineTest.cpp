// The crawl engine: a crawl run through it, its progress events, and every export and report
// written to a file and to a stream with the same bytes.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <sstream>

#include "Kel/KelError.h"
#include "app/CrawlEngine.h"
#include "app/NodeList.h"

#include "support/AppFixture.h"
#include "support/TestServer.h"

namespace {

using namespace std::chrono_literals;

class CrawlEngineTest : public AppFixture {
 protected:
  CrawlEngineTest() {
    site.Http().Get("/", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("<title>Home & \"more\"</title><a href='a.html'>a</a><a href='docs/b.html'>b</a>"
                      "<a href='missing.html'>m</a><img src='i.gif'>",
                      "text/html");
    });
    site.Http().Get("/a.html", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("<title>=A</title><meta name=description content='<a>'>", "text/html");
    });
    site.Http().Get("/docs/b.html", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("<title>B</title><a href='../a.html'>a</a>", "text/html");
    });
    site.Http().Get("/i.gif", [](const httplib::Request&, httplib::Response& res) { res.set_content("GIF89a", "image/gif"); });
    site.Start();
  }
  TCrawlEngine& Engine() { return app->Engine; }
  TCrawlEngine::TServe Serve() {
    return [this](std::chrono::milliseconds t) { ui.WaitAndProcess(t); };
  }

  TestServer site;
};

TEST_F(CrawlEngineTest, ACrawlReportsItsProgressAndEndsIdle) {
  std::vector<TCrawlProgress> events;
  Engine().OnProgress = [&](const TCrawlProgress& p) { events.push_back(p); };
  Engine().Start(site.URL("/"));
  EXPECT_TRUE(Engine().Wait(Serve()));
  EXPECT_TRUE(Engine().IsIdle());
  EXPECT_FALSE(Engine().Suspended());
  ASSERT_FALSE(events.empty());
  const TCrawlProgress last = Engine().Progress();
  EXPECT_EQ(last.Addresses, Engine().Map().Count());
  EXPECT_EQ(last.Active + last.Pending, 0);
  EXPECT_GE(last.RequestsDone, 5);
  for (size_t i = 1; i < events.size(); ++i) EXPECT_GE(events[i].RequestsDone, events[i - 1].RequestsDone);
  const TSiteSummary summary = Engine().Summary();
  ASSERT_EQ(summary.Broken.size(), 1u);
  EXPECT_EQ(summary.Broken[0].URL(), site.URL("/missing.html"));
}

TEST_F(CrawlEngineTest, AnInterruptEndsTheWaitWithEveryRequestTerminated) {
  std::atomic<bool> interrupted{true};
  Engine().SetInterrupt(&interrupted);
  Engine().Start(site.URL("/"));
  EXPECT_FALSE(Engine().Wait(Serve()));
  EXPECT_EQ(Engine().RequestsLeft(), 0);
  Engine().SetInterrupt(nullptr);
}

// Each export written to a file and to a stream: the same bytes (the site exports into a file
// that does not exist yet, so no page is merged).
struct ExportCase {
  const char* name;
  std::function<void(TCrawlEngine&, const std::string&)> toFile;
  std::function<void(TCrawlEngine&, std::ostream&)> toStream;
};

TEST_F(CrawlEngineTest, EveryExportWritesTheSameBytesToAFileAndToAStream) {
  Engine().Start(site.URL("/"));
  ASSERT_TRUE(Engine().Wait(Serve()));
  const ExportCase cases[] = {
      {"html", [](TCrawlEngine& e, const std::string& f) { e.ExportHTMLList(f); },
       [](TCrawlEngine& e, std::ostream& o) { e.ExportHTMLList(o); }},
      {"dhtml", [](TCrawlEngine& e, const std::string& f) { e.ExportDHTMLTree(f); },
       [](TCrawlEngine& e, std::ostream& o) { e.ExportDHTMLTree(o); }},
      {"xml", [](TCrawlEngine& e, const std::string& f) { e.ExportXML(f); },
       [](TCrawlEngine& e, std::ostream& o) { e.ExportXML(o); }},
      {"txt", [](TCrawlEngine& e, const std::string& f) { e.ExportTXT(f); },
       [](TCrawlEngine& e, std::ostream& o) { e.ExportTXT(o); }},
      {"csv", [](TCrawlEngine& e, const std::string& f) { e.ExportCSV(f, e.ListCategory(rkAll)); },
       [](TCrawlEngine& e, std::ostream& o) { e.ExportCSV(o, e.ListCategory(rkAll)); }},
      {"table", [](TCrawlEngine& e, const std::string& f) { e.ExportHTMLTable(f, e.ListCategory(rkHTML)); },
       [](TCrawlEngine& e, std::ostream& o) { e.ExportHTMLTable(o, e.ListCategory(rkHTML)); }},
      {"project", [](TCrawlEngine& e, const std::string& f) { e.SaveProject(f); },
       [](TCrawlEngine& e, std::ostream& o) { e.WriteProject(o); }},
  };
  for (const ExportCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = dir.File(std::string("out.") + c.name);
    c.toFile(Engine(), file);
    std::ostringstream stream;
    c.toStream(Engine(), stream);
    EXPECT_FALSE(stream.str().empty());
    EXPECT_EQ(ReadFileText(file), stream.str());
  }
  std::ostringstream report;
  Engine().WriteSummary(report);
  EXPECT_EQ(report.str(), SiteReportText(Engine().Summary()));
}

TEST_F(CrawlEngineTest, ASiteExportOfAnEmptyMapIsAClearError) {
  std::ostringstream out;
  EXPECT_THROW(Engine().ExportXML(out), EError);
  try {
    Engine().ExportTXT(dir.File("x.txt"));
    FAIL();
  } catch (const EError& e) {
    EXPECT_EQ(std::string(e.what()), "the site map is empty: nothing to export to " + dir.File("x.txt"));
  }
}

TEST_F(CrawlEngineTest, CategoriesAreFoundByTheirCaptions) {
  for (int k = rkAll; k <= rkInternal; ++k)
    EXPECT_EQ(TCrawlEngine::CategoryByCaption(kSiteRootCaptions[k]), static_cast<TSiteRootKind>(k));
  EXPECT_EQ(TCrawlEngine::CategoryByCaption("Nothing"), std::nullopt);
}

TEST_F(CrawlEngineTest, OpeningAFileThatIsNoProjectFails) {
  EXPECT_THROW(Engine().Open(dir.Write("page.html", "x")), EError);
}

}  // namespace
