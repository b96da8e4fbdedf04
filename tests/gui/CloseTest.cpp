// The close query, and the recent addresses across a restart.
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "GuiFixture.h"
#include "Kel/KelStr.h"

namespace {

class CloseTest : public GuiFixture {
 protected:
  // A map with one address: modified.
  void Modify() {
    TURI uri("http://LocalHost/page" + std::to_string(++pages) + ".html");
    app->Main.Tree.InsertURL(uri, nullptr, false);
    ASSERT_TRUE(app->Map.Modified);
  }
  int pages = 0;
};

struct CloseCase {
  const char* Name;
  bool Modified;
  std::vector<platform::Answer> Answers;  // to the save question
  std::optional<std::string> SaveAs;      // the file chosen in Save As (none: cancelled)
  bool Closes;
  bool Saved;
};

TEST_F(CloseTest, TheCloseQueryAnswers) {
  const std::string question = "The file \"untitled.tly\" has been changed.\r\rDo you want to save the changes?";
  const std::string project = dir.File("saved.tly");
  const std::vector<CloseCase> cases = {
      {"unmodified: no question", false, {}, std::nullopt, true, false},
      {"Cancel keeps the window", true, {platform::Answer::Cancel}, std::nullopt, false, false},
      {"No closes without saving", true, {platform::Answer::No}, std::nullopt, true, false},
      {"Yes, Save As cancelled, keeps the window", true, {platform::Answer::Yes}, std::nullopt, false, false},
      {"Yes and a file saves and closes", true, {platform::Answer::Yes}, project, true, true},
  };
  for (const CloseCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::filesystem::remove(project);
    if (!window) OpenWindow();
    if (c.Modified) Modify();
    const int nodes = app->Map.Count();
    for (platform::Answer a : c.Answers) ask.QueueAnswer(a);
    if (c.Answers == std::vector<platform::Answer>{platform::Answer::Yes}) ask.QueueFile(c.SaveAs);
    ask.Log.clear();
    const bool closed = CloseWindow();
    EXPECT_EQ(closed, c.Closes);
    EXPECT_EQ(ask.TextsOf("YesNoCancel"), c.Modified ? std::vector<std::string>{question} : std::vector<std::string>{});
    EXPECT_EQ(std::filesystem::exists(project), c.Saved);
    if (!closed) {
      // The map is intact and still modified.
      EXPECT_EQ(app->Map.Count(), nodes);
      EXPECT_TRUE(app->Map.Modified);
      app->Map.Modified = false;
      ASSERT_TRUE(CloseWindow());
    }
    EXPECT_TRUE(ask.Script.empty());
  }
}

TEST_F(CloseTest, SaveInPlaceOnlyWhereTheFileCanBeWritten) {
  const std::string writable = dir.Write("work/site.tly", "x");
  const std::string readOnly = dir.Write("work/locked.tly", "x");
  std::filesystem::permissions(readOnly, std::filesystem::perms::owner_write, std::filesystem::perm_options::remove);
  const std::string cached = dir.Write("cache/Quorlix/Tessaly/site.tly", "x");
  EXPECT_TRUE(window->CanSaveInPlace(writable));
  EXPECT_FALSE(window->CanSaveInPlace(dir.File("work/untitled.tly")));
  EXPECT_FALSE(window->CanSaveInPlace("untitled.tly"));
  EXPECT_FALSE(window->CanSaveInPlace(cached));
  if (geteuid() != 0) {
    EXPECT_FALSE(window->CanSaveInPlace(readOnly));  // root may write anyway
  }
}

TEST_F(CloseTest, SaveOfAnUntitledProjectAsksForAFileAndOpenLoadsIt) {
  Modify();
  const std::string project = dir.File("one.tly");
  ask.QueueFile(project);
  window->Menu->MISave->trigger();
  ASSERT_TRUE(std::filesystem::exists(project));
  EXPECT_FALSE(app->Map.Modified);
  EXPECT_EQ(window->windowTitle().toStdString(), "Quorlix Tessaly - [" + project + "]");
  // Save again: in place, without a question.
  Modify();
  window->Menu->MISave->trigger();
  EXPECT_TRUE(ask.Script.empty());
  EXPECT_FALSE(app->Map.Modified);
  // New Project, then open the file again.
  window->Menu->MINew->trigger();
  EXPECT_EQ(app->Map.Count(), 0);
  ask.QueueFile(project);
  window->Menu->MIOpen->trigger();
  EXPECT_GT(app->Map.Count(), 0);
  EXPECT_TRUE(window->TreeView->isExpanded(window->TreeModel->IndexOf(app->Main.Tree.SiteRoot())));
}

TEST_F(CloseTest, TheCommandLineOpensAProjectOrCrawlsAnAddress) {
  TestServer site;
  ServeSite(site);
  site.Start();
  window->OpenArgument(site.URL("/"));
  WaitIdle();
  EXPECT_EQ(window->EditURL->currentText().toStdString(), site.URL("/"));
  EXPECT_EQ(app->Map.Count(), 8);  // the seven addresses of the site and the mail address
  const int nodes = app->Map.Count();
  const std::string project = dir.File("crawl.tly");
  app->Main.SaveProject(project);
  app->Main.Reset();
  EXPECT_EQ(app->Map.Count(), 0);
  window->OpenArgument(project);
  EXPECT_EQ(app->Map.Count(), nodes);
  EXPECT_EQ(app->Main.ProjectFileName, project);
  EXPECT_TRUE(window->TreeView->isExpanded(window->TreeModel->IndexOf(app->Main.Tree.SiteRoot())));
}

TEST_F(CloseTest, AnErrorOfACommandIsShownAndTheWindowStaysUsable) {
  const std::string folder = dir.File("no/such/folder/x.tly");
  Modify();
  ask.QueueFile(folder);
  window->Menu->MISaveAs->trigger();
  ASSERT_EQ(ask.TextsOf("Error").size(), 1u);
  EXPECT_TRUE(app->Map.Modified);
  window->Menu->MIRefresh->trigger();
  EXPECT_TRUE(window->isVisible());
}

TEST_F(CloseTest, RecentAddressesSurviveARestartUpToTen) {
  for (int i = 12; i >= 1; --i) {
    app->Main.EditURL = Format("http://site%d.example/", i);
    app->Main.AddRecentAddress();
  }
  app->Main.EditURL = "HTTP://SITE5.EXAMPLE/";
  app->Main.AddRecentAddress();  // moves the entry up, keeping its own spelling
  app->Main.Refresh();
  EXPECT_EQ(window->EditURL->count(), 12);
  EXPECT_EQ(window->EditURL->itemText(0), QStringLiteral("http://site5.example/"));
  EXPECT_EQ(window->EditURL->maxVisibleItems(), 16);
  ASSERT_TRUE(CloseWindow());
  OpenWindow();
  ASSERT_EQ(window->EditURL->count(), 10);
  EXPECT_EQ(window->EditURL->itemText(0), QStringLiteral("http://site5.example/"));
  EXPECT_EQ(window->EditURL->itemText(1), QStringLiteral("http://site1.example/"));
  EXPECT_EQ(window->EditURL->itemText(9), QStringLiteral("http://site10.example/"));
}

TEST_F(CloseTest, ACrawlPutsItsAddressOnTopOfTheRecentList) {
  TestServer site;
  ServeSite(site);
  site.Start();
  CrawlFromAddressBox(site.URL("/"));
  app->Map.Modified = false;
  ASSERT_TRUE(CloseWindow());
  OpenWindow();
  ASSERT_GE(window->EditURL->count(), 1);
  EXPECT_EQ(window->EditURL->itemText(0).toStdString(), site.URL("/"));
}

}  // namespace
