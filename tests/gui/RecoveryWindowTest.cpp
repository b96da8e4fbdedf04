// A crawl's recovery file left by a crash: the next start of the desktop program asks whether to
// reopen it, and Yes shows the crawl's map; No removes it.
#include <filesystem>

#include "GuiFixture.h"
#include "Kel/KelDateTime.h"
#include "app/CrawlRecovery.h"

namespace {

namespace fs = std::filesystem;

class RecoveryWindowTest : public GuiFixture {
 protected:
  // Crawls the site with a recovery file written at every step, then ends the program as a
  // crash would: the recovery file and its note stay. Returns the leftover.
  TCrawlRecovery::TLeftover CrawlAndCrash(const std::string& address) {
    app->Recovery = std::make_unique<TCrawlRecovery>(paths.Data + "/Quorlix/Tessaly", [] { return 1700000000; }, 0);
    app->Main.Recovery = app->Recovery.get();
    window->OpenArgument(address);
    WaitIdle();
    crawled = app->Map.Count();
    const auto leftover = app->Recovery->Leftover();
    EXPECT_TRUE(leftover);
    // A crash runs no close: keep copies of the files, close, and put them back.
    const std::string file = leftover->File, note = app->Recovery->NoteFile();
    fs::copy_file(file, file + ".kept");
    fs::copy_file(note, note + ".kept");
    app->Map.Modified = false;
    EXPECT_TRUE(CloseWindow());
    EXPECT_FALSE(fs::exists(file));  // a normal end removed them
    EXPECT_FALSE(fs::exists(note));
    fs::rename(file + ".kept", file);
    fs::rename(note + ".kept", note);
    return *leftover;
  }
  int crawled = 0;
};

TEST_F(RecoveryWindowTest, ALeftoverIsOfferedAndReopenedAtStart) {
  TestServer site;
  ServeSite(site);
  site.Start();
  const TCrawlRecovery::TLeftover leftover = CrawlAndCrash(site.URL("/"));
  ASSERT_GT(crawled, 1);
  OpenWindow();
  ask.QueueAnswer(platform::Answer::Yes);
  EXPECT_TRUE(window->OfferRecovery());
  const std::string question = "A crawl of " + site.URL("/") + " was interrupted at " +
                               DateTimeToStr(UnixToLocalDateTime(1700000000)) + ". Reopen it?";
  EXPECT_EQ(ask.TextsOf("YesNo"), std::vector<std::string>{question});
  EXPECT_EQ(app->Map.Count(), crawled);
  EXPECT_NE(Entry("docs/guide.html"), nullptr);
  EXPECT_TRUE(window->TreeView->isExpanded(window->TreeModel->IndexOf(app->Main.Tree.SiteRoot())));
  EXPECT_EQ(app->Main.ProjectFileName, "untitled.tly");
  EXPECT_TRUE(app->Map.Modified);  // closing asks to save it
  EXPECT_EQ(window->EditURL->currentText().toStdString(), site.URL("/"));
}

TEST_F(RecoveryWindowTest, NoRemovesTheLeftoverAndNothingIsAskedAgain) {
  TestServer site;
  ServeSite(site);
  site.Start();
  const TCrawlRecovery::TLeftover leftover = CrawlAndCrash(site.URL("/"));
  OpenWindow();
  ask.QueueAnswer(platform::Answer::No);
  EXPECT_FALSE(window->OfferRecovery());
  EXPECT_EQ(ask.TextsOf("YesNo").size(), 1u);
  EXPECT_EQ(app->Map.Count(), 0);
  EXPECT_FALSE(fs::exists(leftover.File));
  ask.Log.clear();
  EXPECT_FALSE(window->OfferRecovery());
  EXPECT_TRUE(ask.TextsOf("YesNo").empty());
}

}  // namespace
