// The recovery file of a running crawl: written at the interval through a temporary file, named
// by its note, offered after a crash, removed by a save and by a normal end.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <utility>
#include <string>

#include "Kel/KelDateTime.h"
#include "Kel/KelIni.h"
#include "app/CrawlRecovery.h"
#include "app/ProjectFile.h"
#include "support/AppFixture.h"
#include "support/TestServer.h"

namespace {

namespace fs = std::filesystem;

class CrawlRecoveryTest : public AppFixture {
 protected:
  // The recovery of the program replaced by one on the test's clock.
  TCrawlRecovery& UseRecovery(int interval) {
    app->Recovery = std::make_unique<TCrawlRecovery>(Folder(), [this] { return now; }, interval);
    app->Main.Recovery = app->Recovery.get();
    return *app->Recovery;
  }
  std::string Folder() const { return dir.File("data/Quorlix/Tessaly"); }
  // A map of two addresses.
  void SmallMap() {
    app->Map.SiteURI.Parse("http://site.test/");
    TURI home("http://site.test/"), page("http://site.test/a.html");
    app->Main.Tree.InsertURL(home, nullptr, false);
    app->Main.Tree.InsertURL(page, &home, false);
  }
  // The files of a folder whose names begin with the temporary prefix.
  static int TemporaryFiles(const std::string& folder) {
    int n = 0;
    for (const auto& entry : fs::directory_iterator(folder))
      n += entry.path().filename().string().rfind(".tessaly-", 0) == 0;
    return n;
  }
  std::time_t now = 1000000;
};

TEST_F(CrawlRecoveryTest, TheFileNamesFollowTheProject) {
  TCrawlRecovery& recovery = UseRecovery(300);
  EXPECT_EQ(recovery.FileFor(""), Folder() + "/untitled.recovery.tly");
  EXPECT_EQ(recovery.FileFor("untitled.tly"), Folder() + "/untitled.recovery.tly");
  EXPECT_EQ(recovery.FileFor(dir.File("work/site.tly")), dir.File("work/site.recovery.tly"));
  EXPECT_EQ(recovery.NoteFile(), Folder() + "/Recovery.ini");
}

TEST_F(CrawlRecoveryTest, WrittenAtMostOnceAnIntervalThroughATemporaryFile) {
  SmallMap();
  TCrawlRecovery& recovery = UseRecovery(300);
  const std::string file = recovery.FileFor("");
  struct Step {
    std::time_t At;
    bool Writes;
  };
  // The first progress starts the interval; then a write each time it has passed again.
  for (const Step& step : {Step{1000000, false}, Step{1000299, false}, Step{1000300, true}, Step{1000301, false},
                           Step{1000599, false}, Step{1000600, true}}) {
    SCOPED_TRACE(step.At);
    now = step.At;
    if (step.Writes) {
      // Whatever stood there is replaced whole.
      fs::create_directories(Folder());
      dir.Write("data/Quorlix/Tessaly/untitled.recovery.tly", "stale");
    }
    EXPECT_EQ(recovery.Progress(app->Map, "untitled.tly", "http://site.test/"), step.Writes);
    if (!step.Writes) continue;
    const std::string text = ReadFileText(file);
    EXPECT_EQ(text.substr(0, 12), "[Settings]\r\n");
    EXPECT_EQ(text.substr(text.find("URI=")), ProjectText(app->Map).substr(ProjectText(app->Map).find("URI=")));
    TSiteMap loaded;
    TSiteTree tree(loaded, nullptr);
    EXPECT_EQ(LoadProjectFile(tree, file, nullptr, nullptr), "");
    EXPECT_EQ(loaded.Count(), 2);
    EXPECT_EQ(TemporaryFiles(Folder()), 0);
    const auto leftover = recovery.Leftover();
    ASSERT_TRUE(leftover);
    EXPECT_EQ(leftover->File, file);
    EXPECT_EQ(leftover->ProjectFile, "");
    EXPECT_EQ(leftover->Address, "http://site.test/");
    EXPECT_EQ(leftover->Time, step.At);
  }
}

TEST_F(CrawlRecoveryTest, ASlowWriteWaitsNineTimesItsLengthBeforeTheNext) {
  SmallMap();
  // Every reading of the work clock comes 100 seconds later: the write's work takes 100 seconds.
  std::chrono::steady_clock::duration work{};
  app->Recovery = std::make_unique<TCrawlRecovery>(
      Folder(), [this] { return now; }, 300, [&] { return work += std::chrono::seconds(50); });
  app->Main.Recovery = app->Recovery.get();
  TCrawlRecovery& recovery = *app->Recovery;
  const auto progress = [&](std::time_t at) {
    now = at;
    return recovery.Progress(app->Map, "", "http://site.test/");
  };
  EXPECT_FALSE(progress(1000000));  // the interval starts
  EXPECT_FALSE(progress(1000299));
  EXPECT_TRUE(progress(1000300));  // written with 100 seconds of work: the next waits 900 seconds, not 300
  EXPECT_FALSE(progress(1000600));
  EXPECT_FALSE(progress(1001199));
  EXPECT_TRUE(progress(1001200));
}

// A map of `pages` addresses below the start page, each linked from it.
void AddPages(TSiteTree& tree, int first, int pages) {
  TURI home("http://site.test/");
  for (int i = first; i < first + pages; ++i) {
    TURI page("http://site.test/p" + std::to_string(i) + ".html");
    tree.InsertURL(page, &home, false);
  }
}

// The number of nodes of a project file, and whether it loads cleanly.
std::pair<int, std::string> Loaded(const std::string& file) {
  TSiteMap map;
  TSiteTree tree(map, nullptr);
  const std::string error = LoadProjectFile(tree, file, nullptr, nullptr);
  return {map.Count(), error};
}

TEST_F(CrawlRecoveryTest, ALargeWriteGoesASliceACallWhileTheCrawlGoesOn) {
  SmallMap();
  AddPages(app->Main.Tree, 0, 998);  // 1000 addresses: four slices of 256 sections
  TCrawlRecovery& recovery = UseRecovery(0);
  recovery.Slice = std::chrono::nanoseconds(1);
  const std::string file = recovery.FileFor("");
  fs::create_directories(Folder());
  dir.Write("data/Quorlix/Tessaly/untitled.recovery.tly", "older");
  ASSERT_FALSE(recovery.Progress(app->Map, "", "http://site.test/"));  // the interval starts
  int calls = 0;
  bool written = false;
  while (!written && calls < 10) {
    written = recovery.Progress(app->Map, "", "http://site.test/");
    ++calls;
    if (written) break;
    // Between slices the old file stands, and the crawl adds addresses the write leaves out.
    EXPECT_TRUE(recovery.Writing());
    EXPECT_EQ(ReadFileText(file), "older");
    AddPages(app->Main.Tree, 1000 + calls * 10, 10);
  }
  EXPECT_TRUE(written);
  EXPECT_EQ(calls, 4);
  EXPECT_FALSE(recovery.Writing());
  EXPECT_EQ(Loaded(file), std::make_pair(1000, std::string()));
  EXPECT_EQ(TemporaryFiles(Folder()), 0);
  EXPECT_EQ(recovery.Leftover()->Address, "http://site.test/");
}

TEST_F(CrawlRecoveryTest, AWriteUnderWayIsDroppedByAClearAndCompletedByTheCrawlsEnd) {
  for (const bool clear : {true, false}) {
    SCOPED_TRACE(clear ? "cleared" : "crawl ended");
    TSiteMap map;
    TSiteTree tree(map, nullptr);
    tree.ResetSiteTree();
    map.SiteURI.Parse("http://site.test/");
    AddPages(tree, 0, 1000);
    TCrawlRecovery& recovery = UseRecovery(0);
    recovery.Slice = std::chrono::nanoseconds(1);
    const std::string file = recovery.FileFor("");
    std::error_code ec;
    fs::remove(file, ec);
    ASSERT_FALSE(recovery.Progress(map, "", "http://site.test/"));
    ASSERT_FALSE(recovery.Progress(map, "", "http://site.test/"));  // the first slice
    ASSERT_TRUE(recovery.Writing());
    if (clear) {
      tree.ResetSiteTree();  // New: the nodes being written are gone
      map.SiteURI.Parse("http://site.test/");
      AddPages(tree, 0, 1000);
      EXPECT_FALSE(recovery.Finish(map));
      EXPECT_FALSE(recovery.Writing());
      EXPECT_FALSE(fs::exists(file));
    } else {
      EXPECT_TRUE(recovery.Finish(map));
      EXPECT_EQ(Loaded(file).second, "");
      EXPECT_GE(Loaded(file).first, 1000);
    }
    EXPECT_EQ(TemporaryFiles(Folder()), 0);
  }
}

TEST_F(CrawlRecoveryTest, AFailedWriteKeepsTheCrawlAndTriesAgain) {
  SmallMap();
  TCrawlRecovery& recovery = UseRecovery(0);
  const std::string project = dir.File("gone/site.tly");  // its folder does not exist
  EXPECT_FALSE(recovery.Progress(app->Map, project, "http://site.test/"));  // the interval starts
  EXPECT_FALSE(recovery.Progress(app->Map, project, "http://site.test/"));  // the write fails
  EXPECT_FALSE(recovery.Leftover());
  fs::create_directories(dir.File("gone"));
  EXPECT_TRUE(recovery.Progress(app->Map, project, "http://site.test/"));
  EXPECT_TRUE(fs::exists(dir.File("gone/site.recovery.tly")));
  EXPECT_EQ(recovery.Leftover()->ProjectFile, project);
}

TEST_F(CrawlRecoveryTest, ASaveAndANormalEndRemoveIt) {
  SmallMap();
  for (const bool save : {true, false}) {
    SCOPED_TRACE(save ? "save" : "normal end");
    TCrawlRecovery& recovery = UseRecovery(0);
    const std::string project = dir.File("site.tly");
    ASSERT_FALSE(recovery.Progress(app->Map, project, "http://site.test/"));  // the interval starts
    ASSERT_TRUE(recovery.Progress(app->Map, project, "http://site.test/"));
    const std::string file = recovery.FileFor(project);
    ASSERT_TRUE(fs::exists(file));
    ASSERT_TRUE(fs::exists(recovery.NoteFile()));
    if (save) app->Main.SaveProject(project);
    else app->Close();
    EXPECT_FALSE(fs::exists(file));
    EXPECT_FALSE(fs::exists(recovery.NoteFile()));
    EXPECT_FALSE(recovery.Leftover());
  }
}

TEST_F(CrawlRecoveryTest, TheCrawlsProgressWritesItAndTheLeftoverReopens) {
  TestServer site;
  site.Http().Get("/", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("<a href='a.html'>a</a> <a href='b.html'>b</a>", "text/html");
  });
  site.Http().Get("/a.html", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("<title>A</title><a href='/'>home</a>", "text/html");
  });
  site.Start();
  TCrawlRecovery& recovery = UseRecovery(0);
  Crawl(site.URL("/"));
  const auto leftover = recovery.Leftover();
  ASSERT_TRUE(leftover);
  EXPECT_EQ(leftover->Address, site.URL("/"));
  EXPECT_EQ(TCrawlRecovery::Question(*leftover),
            "A crawl of " + site.URL("/") + " was interrupted at " + DateTimeToStr(UnixToLocalDateTime(now)) +
                ". Reopen it?");
  // The next run finds it and opens it: the map of the crawl (as far as the last write had it),
  // untitled and modified.
  const int written = [&] {
    TSiteMap map;
    TSiteTree tree(map, nullptr);
    LoadProjectFile(tree, leftover->File, nullptr, nullptr);
    return map.Count();
  }();
  EXPECT_GE(written, 2);
  app->Map.Modified = false;
  ASSERT_TRUE(app->Main.ReopenRecovery(*leftover));
  EXPECT_EQ(app->Map.Count(), written);
  EXPECT_EQ(app->Main.ProjectFileName, "untitled.tly");
  EXPECT_TRUE(app->Map.Modified);
}

}  // namespace
