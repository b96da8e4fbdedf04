// File > Compare with Project... in the window: the earlier project chosen in the open dialog,
// the four categories shown in the tree and their rows in the list; a project that cannot be
// compared is an error message, and the window stays as it was.
#include <QTest>
#include <QTreeView>

#include "GuiFixture.h"
#include "app/ProjectCompare.h"
#include "gui/MainMenu.h"
#include "gui/SiteTreeModel.h"
#include "support/SiteVersions.h"

namespace {

class CompareWindowTest : public GuiFixture {
 protected:
  CompareWindowTest() : site(server) { server.Start(); }
  std::string U(const std::string& path) const { return server.URL(path); }
  // The captions of the tree's top-level rows, as the view shows them.
  std::vector<std::string> TopRows() const {
    std::vector<std::string> out;
    for (int r = 0; r < window->TreeModel->rowCount(); ++r)
      out.push_back(window->TreeModel->index(r, 0).data().toString().toStdString());
    return out;
  }
  void Compare(const std::optional<std::string>& file) {
    ask.QueueFile(file);
    emit window->Menu->MIFile->aboutToShow();
    ASSERT_TRUE(window->Menu->MICompareWithProject->isEnabled());
    window->Menu->MICompareWithProject->trigger();
    EXPECT_TRUE(ask.Script.empty());
  }

  TestServer server;
  SiteVersions site;
};

TEST_F(CompareWindowTest, TheCategoriesShowWhatChangedSinceTheChosenProject) {
  emit window->Menu->MIFile->aboutToShow();
  EXPECT_FALSE(window->Menu->MICompareWithProject->isEnabled());  // nothing to compare yet
  CrawlFromAddressBox(U("/"));
  const std::string v1 = dir.File("v1.tly");
  app->Engine.SaveProject(v1);
  site.Version = 2;
  CrawlFromAddressBox(U("/"));
  const size_t fixed = TopRows().size();

  Compare(v1);
  const std::vector<std::string> rows = TopRows();
  ASSERT_EQ(rows.size(), fixed + 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(rows[fixed + i], kComparisonCaptions[i]);
  TTreeEntry* newAddresses = app->Engine.ActiveComparison().Category(0);
  EXPECT_EQ(app->Main.Selected(), newAddresses);
  EXPECT_EQ(ListCaptions(), (std::vector<std::string>{"new.html", "new-broken.html"}));

  ClickTreeEntry(app->Engine.ActiveComparison().Category(1));
  EXPECT_EQ(ListCaptions(), (std::vector<std::string>{U("/old.html")}));
  EXPECT_EQ(Cell(0, lcType), "Gone");  // an address, not a folder
  EXPECT_EQ(Cell(0, lcAddress), U("/old.html"));
  ClickTreeEntry(app->Engine.ActiveComparison().Category(2));
  EXPECT_EQ(ListCaptions(), (std::vector<std::string>{"breaks.html", "new-broken.html"}));
  ClickTreeEntry(app->Engine.ActiveComparison().Category(3));
  EXPECT_EQ(ListCaptions(), (std::vector<std::string>{"fixed.html"}));

  // Cancelled, and a file that is no project: the comparison stays as it was.
  Compare(std::nullopt);
  dir.Write("text.tly", "no project\n");
  Compare(dir.File("text.tly"));
  EXPECT_EQ(ask.TextsOf("Error"), std::vector<std::string>{"\"" + dir.File("text.tly") + "\" is not a Tessaly project file"});
  EXPECT_EQ(TopRows().size(), fixed + 4);
  EXPECT_EQ(app->Engine.Comparison()->OldProject, v1);

  // A new crawl ends the comparison.
  ask.QueueAnswer(platform::Answer::Yes);  // clear the results of the crawl before
  CrawlFromAddressBox(U("/"));
  EXPECT_EQ(TopRows().size(), fixed);
  EXPECT_EQ(app->Engine.Comparison(), nullptr);
}

}  // namespace
