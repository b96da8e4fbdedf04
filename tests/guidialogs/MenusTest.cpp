// The menus' enabling rules on the real window, the tool buttons' messages, the error box.
#include <QApplication>
#include <QComboBox>
#include <filesystem>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include "DialogFixture.h"
#include "app/SpiderTools.h"
#include "gui/ContextMenus.h"
#include "gui/MainMenu.h"
#include "gui/NodeListView.h"

namespace {

class MenusTest : public DialogFixture {
 protected:
  void SetUp() override {
    site = dir.Write("site/index.html",
                     "<title>Home</title>welcome <a href='a.html'>a</a> <a href='docs/guide.html'>g</a>"
                     "<img src='pic.png'> <a href='gone.html'>x</a>");
    dir.Write("site/a.html", "<title>About</title>about");
    dir.Write("site/docs/guide.html", "<title>Guide</title>guide");
    dir.Write("site/pic.png", "png");
    OpenWindow();
    Crawl(site);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }
  TTreeEntry* EntryOf(const std::string& relative) {
    TSpiderNode* n = Node("file://LocalHost" + dir.File("site/" + relative));
    EXPECT_TRUE(n) << relative;
    return n ? n->TreeNode : nullptr;
  }
  std::string site;
};

TEST_F(MenusTest, EditAndExportMenusFollowSelectionAndFocus) {
  gui::TMainMenu& m = *window->Menu;
  gui::TContextMenus& p = *window->Popups;
  enum Focus { fTree, fList, fAddress };
  struct Case {
    const char* Name;
    std::function<TTreeEntry*()> Entry;
    Focus Where;
    bool TVEdit, TVSpelling, MIEditFile, MISpelling, TextItems, TreeExports;
  } cases[] = {
      {"page, tree focused", [&] { return EntryOf("a.html"); }, fTree, true, true, true, true, false, false},
      {"image, tree focused", [&] { return EntryOf("pic.png"); }, fTree, true, false, true, false, false, false},
      {"broken page", [&] { return EntryOf("gone.html"); }, fTree, false, false, false, false, false, false},
      {"folder of the site", [&] { return EntryOf("docs/guide.html")->Parent; }, fTree, false, false, false, false,
       false, true},
      {"filter root", [&] { return app->Main.Tree.Root(rkBroken); }, fTree, false, false, false, false, false, false},
      {"page, address focused", [&] { return EntryOf("a.html"); }, fAddress, true, true, false, false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Select(c.Entry());
    QWidget* focus = c.Where == fTree   ? static_cast<QWidget*>(window->TreeView)
                     : c.Where == fList ? static_cast<QWidget*>(window->ListView->Current())
                                        : static_cast<QWidget*>(window->EditURL->lineEdit());
    focus->setFocus();
    ASSERT_TRUE(ServeUntil([&] { return focus->hasFocus(); }, 5000));
    emit m.MIEdit->aboutToShow();
    EXPECT_EQ(p.TVEdit->isEnabled(), c.TVEdit);
    EXPECT_EQ(p.TVSpelling->isEnabled(), c.TVSpelling);
    EXPECT_EQ(m.MIEditFile->isEnabled(), c.MIEditFile);
    EXPECT_EQ(m.MISpelling->isEnabled(), c.MISpelling);
    EXPECT_EQ(m.MIUndo->isVisible(), c.TextItems);
    EXPECT_EQ(m.MIPaste->isVisible(), c.TextItems);
    emit m.MIExport->aboutToShow();
    EXPECT_EQ(m.MIExportAsXMLFile->isEnabled(), c.TreeExports);
    EXPECT_EQ(m.MIExportAsDHTMLTree->isEnabled(), c.TreeExports);
  }
}

TEST_F(MenusTest, ContextMenusActOnTheirNodeAndToolButtonsExplainRefusals) {
  gui::TMainMenu& m = *window->Menu;
  gui::TContextMenus& p = *window->Popups;
  // Right-clicking empty space clears the selection: only Refresh is offered.
  Select(nullptr);
  emit p.PMTreeView->aboutToShow();
  EXPECT_FALSE(p.TVOpen->isEnabled());
  EXPECT_FALSE(p.TVProperties->isEnabled());
  EXPECT_FALSE(p.TVMaptoLocalFilename->isVisible());
  EXPECT_TRUE(p.TVRefresh->isEnabled());
  // The list menu acts on its first selected row; Select All while not all are selected.
  Select(app->Main.Tree.SiteRoot());
  window->ListView->Selection()->clearSelection();
  emit p.PMListView->aboutToShow();
  EXPECT_TRUE(p.LVSelectAll->isEnabled());
  EXPECT_FALSE(p.LVExportAsCSVFile->isEnabled());
  ASSERT_TRUE(gui::InvokeMenuItem(p.LVSelectAll));
  EXPECT_EQ(window->ListView->Selection()->selectedRows().size(), app->Main.List.Count());
  emit p.PMListView->aboutToShow();
  EXPECT_FALSE(p.LVSelectAll->isEnabled());
  EXPECT_TRUE(p.LVExportAsCSVFile->isEnabled());
  // The tool buttons with nothing to edit: their information messages.
  window->EditURL->lineEdit()->setFocus();
  ASSERT_TRUE(ServeUntil([&] { return window->EditURL->lineEdit()->hasFocus(); }, 5000));
  m.TBEditFile->click();
  m.TBSpelling->click();
  EXPECT_EQ(ask.TextsOf("Inform"), (std::vector<std::string>{"Current selection can not be edited.",
                                                             "Current selection can not be spell checked."}));
  // The Check Page Resources item is kept in Settings.ini.
  emit m.MIFile->aboutToShow();
  EXPECT_TRUE(m.MICheckPageResources->isChecked());
  m.MICheckPageResources->trigger();
  EXPECT_FALSE(app->CheckPageResources());
  TIniFile settings(paths.App + "/Settings.ini");
  EXPECT_FALSE(settings.ReadBool(TTessalyApp::kCheckPageResourcesSection, TTessalyApp::kCheckPageResourcesKey, true));
  // Check Anchors, beside it, the same way.
  const QList<QAction*> file = m.MIFile->actions();
  EXPECT_EQ(file.indexOf(m.MICheckAnchors), file.indexOf(m.MICheckPageResources) + 1);
  EXPECT_TRUE(m.MICheckAnchors->isChecked());
  m.MICheckAnchors->trigger();
  EXPECT_FALSE(app->CheckAnchors());
  EXPECT_FALSE(TIniFile(paths.App + "/Settings.ini")
                   .ReadBool(TTessalyApp::kCheckPageResourcesSection, TTessalyApp::kCheckAnchorsKey, true));
  app->SetCheckAnchors(true);
  emit m.MIFile->aboutToShow();
  EXPECT_TRUE(m.MICheckAnchors->isChecked());
}

TEST_F(MenusTest, FileMenuFollowsTheAddressBoxAndExportsWriteTheirFiles) {
  gui::TMainMenu& m = *window->Menu;
  app->Main.EditURLEnabled = false;  // as while a crawl runs
  window->RefreshFromState();
  emit m.MIFile->aboutToShow();
  EXPECT_FALSE(m.MIHTTPSettings->isEnabled());
  EXPECT_FALSE(m.MISpiderLocalURL->isEnabled());
  EXPECT_FALSE(gui::InvokeMenuItem(m.MIHTTPSettings));
  app->Main.EditURLEnabled = true;
  window->RefreshFromState();
  emit m.MIFile->aboutToShow();
  EXPECT_TRUE(m.MIHTTPSettings->isEnabled());

  // The XML export of the site's folder, through the save dialog.
  Select(app->Main.Tree.SiteRoot());
  const std::string xml = dir.File("out/map.xml");
  std::filesystem::create_directories(dir.File("out"));
  ask.QueueFile(xml);
  ASSERT_TRUE(gui::InvokeMenuItem(m.MIExportAsXMLFile));
  EXPECT_EQ(ask.Log.back().Kind, "Save");
  EXPECT_NE(ReadFileText(xml).find("guide.html"), std::string::npos);
  const std::string csv = dir.File("out/list.csv");
  ask.QueueFile(csv);
  ASSERT_TRUE(gui::InvokeMenuItem(m.MIExportAsCSVFile));
  EXPECT_NE(ReadFileText(csv).find("a.html"), std::string::npos);
}

TEST_F(MenusTest, ACommandsErrorIsShownAndTheWindowStaysUsable) {
  gui::TMainMenu& m = *window->Menu;
  ask.QueueFile(dir.File("no/such/folder/project.tly"));
  gui::InvokeMenuItem(m.MISaveAs);
  const std::vector<std::string> errors = ask.TextsOf("Error");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_FALSE(errors[0].empty());
  EXPECT_TRUE(window->isVisible());
  // The window goes on working: the next command runs.
  Select(EntryOf("a.html"));
  ASSERT_TRUE(gui::InvokeMenuItem(m.MIRefresh));
  EXPECT_EQ(app->Main.Selected(), EntryOf("a.html"));
  const std::string project = dir.File("project.tly");
  ask.QueueFile(project);
  ASSERT_TRUE(gui::InvokeMenuItem(m.MISaveAs));
  EXPECT_TRUE(std::filesystem::exists(project));
  EXPECT_EQ(ask.TextsOf("Error").size(), 1u);
}

}  // namespace
