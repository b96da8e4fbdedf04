// The recovery file of a running crawl: written at the interval through a temporary file, named
// by its note, offered after a crash, removed by a save and by a normal end.
#include <gtest/gtest.h>

#include <filesystem>
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
  // Every reading of the clock comes 100 seconds later: the write takes 100 seconds.
  app->Recovery = std::make_unique<TCrawlRecovery>(Folder(), [this] { return now += 100; }, 300);
  app->Main.Recovery = app->Recovery.get();
  TCrawlRecovery& recovery = *app->Recovery;
  const auto progress = [&] { return recovery.Progress(app->Map, "", "http://site.test/"); };
  EXPECT_FALSE(progress());  // 1000100: the interval starts
  EXPECT_FALSE(progress());  // 1000200
  EXPECT_FALSE(progress());  // 1000300
  EXPECT_TRUE(progress());   // 1000400, written by 1000500: the next waits 900 seconds, not 300
  for (int i = 0; i < 7; ++i) EXPECT_FALSE(progress()) << i;  // 1000600 to 1001200
  EXPECT_TRUE(progress());                                     // 1001300
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
