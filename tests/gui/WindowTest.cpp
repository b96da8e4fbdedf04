// The main window driven by a person's gestures on its real widgets, against a map crawled from
// a loopback site: what the list, the path bar, the status panels and the history buttons show.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include "GuiFixture.h"
#include "gui/MainMenu.h"
#include "gui/NodeListModel.h"
#include "gui/NodeListView.h"
#include "gui/PreviewPanel.h"
#include "gui/SiteTreeModel.h"
#include "gui/StatusPanels.h"

namespace {

class WindowTest : public GuiFixture {
 protected:
  void SetUp() override {
    site.reset(new TestServer);
    ServeSite(*site);
    site->Start();
    CrawlFromAddressBox(site->URL("/"));
  }
  std::unique_ptr<TestServer> site;
};

struct Step {
  const char* Gesture;
  std::function<void(WindowTest&)> Do;
  std::vector<std::string> Rows;  // the list's captions, in order
  std::string Path;               // the path bar, after the site's address; "=" + caption for a category
  std::string Panel0;
  bool Back, Forward, Up;
};

TEST_F(WindowTest, GesturesShowTheRightRowsPathStatusAndHistory) {
  ASSERT_NE(Entry("docs"), nullptr);
  auto click = [](const char* path) { return [path](WindowTest& t) { t.ClickTreeEntry(t.Entry(path)); }; };
  auto root = [](TSiteRootKind kind) { return [kind](WindowTest& t) { t.ClickTreeEntry(t.Root(kind)); }; };
  auto button = [](QToolButton* gui::TMainMenu::*b) {
    return [b](WindowTest& t) { QTest::mouseClick(t.window->Menu->*b, Qt::LeftButton); };
  };
  auto rowNamed = [](const char* caption, bool twice) {
    return [caption, twice](WindowTest& t) {
      const std::vector<std::string> rows = t.ListCaptions();
      const auto it = std::find(rows.begin(), rows.end(), caption);
      ASSERT_NE(it, rows.end()) << caption;
      const int row = static_cast<int>(it - rows.begin());
      if (twice) t.DoubleClickListRow(row);
      else t.ClickListRow(row);
    };
  };
  const std::vector<std::string> docs = {"guide.html", "manual.pdf"};
  const std::vector<Step> steps = {
      {"a folder lists its children", click("docs"), docs, "docs/", "2 objects", true, false, true},
      {"a filter root lists what passes",
       root(rkBroken),
       {"missing.html"},
       "=Broken Links",
       "1 object",
       true,
       false,
       false},
      {"an HTML page lists its links",
       click("about.html"),
       {"index.html", "news.html"},
       "about.html",
       "2 objects",
       true,
       false,
       true},
      {"a document lists itself and its siblings, selected", click("docs/manual.pdf"), docs, "docs/manual.pdf",
       "1 object selected", true, false, true},
      {"Back",
       button(&gui::TMainMenu::TBBack),
       {"index.html", "news.html"},
       "about.html",
       "2 objects",
       true,
       true,
       true},
      {"Back again", button(&gui::TMainMenu::TBBack), {"missing.html"}, "=Broken Links", "1 object", true, true, false},
      {"Forward",
       button(&gui::TMainMenu::TBForward),
       {"index.html", "news.html"},
       "about.html",
       "2 objects",
       true,
       true,
       true},
      {"Up drops the forward entries",
       button(&gui::TMainMenu::TBUpOneLevel),
       {"index.html", "about.html", "docs", "img", "missing.html", "news.html"},
       "",
       "1 object selected",
       true,
       false,
       false},
      {"a double-click on a list row selects its entry", rowNamed("docs", true), docs, "docs/", "2 objects", true,
       false, true},
      {"Size ascending", [](WindowTest& t) { t.ClickColumn(lcSize); }, docs, "docs/", "2 objects", true, false, true},
      {"Size descending",
       [](WindowTest& t) { t.ClickColumn(lcSize); },
       {"manual.pdf", "guide.html"},
       "docs/",
       "2 objects",
       true,
       false,
       true},
      {"selecting a row counts it",
       rowNamed("guide.html", false),
       {"manual.pdf", "guide.html"},
       "docs/",
       "1 object selected",
       true,
       false,
       true},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.Gesture);
    step.Do(*this);
    EXPECT_EQ(ListCaptions(), step.Rows);
    const std::string path = window->PanelPath->text().toStdString();
    if (step.Path.rfind('=', 0) == 0) EXPECT_EQ(path, TreeNodeURL(app->Main.Selected()));
    else EXPECT_EQ(path, site->URL("/" + step.Path));
    EXPECT_EQ(window->StatusBar->Text(0).toStdString(), step.Panel0);
    EXPECT_EQ(window->Menu->TBBack->isEnabled(), step.Back);
    EXPECT_EQ(window->Menu->TBForward->isEnabled(), step.Forward);
    EXPECT_EQ(window->Menu->TBUpOneLevel->isEnabled(), step.Up);
    // The tree shows what the logic has selected.
    const QModelIndexList selected = window->TreeView->selectionModel()->selectedIndexes();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(gui::SiteTreeModel::EntryOf(selected.first()), app->Main.Selected());
  }
}

TEST_F(WindowTest, ListCellsIconsAndTooltips) {
  ClickTreeEntry(Entry("docs"));
  ASSERT_EQ(ListCaptions(), (std::vector<std::string>{"guide.html", "manual.pdf"}));
  EXPECT_EQ(Cell(1, lcSize), "3KB");
  EXPECT_EQ(Cell(1, lcType), "application/pdf");
  EXPECT_EQ(Cell(1, lcCode), "200");
  EXPECT_EQ(Cell(1, lcAddress), site->URL("/docs/manual.pdf"));
  const QModelIndex size = window->ListModel->index(1, lcSize);
  EXPECT_EQ(size.data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight, Qt::AlignRight);
  EXPECT_FALSE(window->ListModel->index(1, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
  EXPECT_EQ(window->ListModel->index(1, 0).data(Qt::ToolTipRole).toString().toStdString(),
            site->URL("/docs/manual.pdf"));
  EXPECT_EQ(window->ListModel->headerData(lcRemoteDate, Qt::Horizontal).toString(), QStringLiteral("Remote Date"));
  // The home page's description is its rows' tooltip.
  ClickTreeEntry(app->Main.Tree.SiteRoot());
  const std::vector<std::string> rows = ListCaptions();
  const int home = static_cast<int>(std::find(rows.begin(), rows.end(), "index.html") - rows.begin());
  EXPECT_EQ(window->ListModel->index(home, 0).data(Qt::ToolTipRole).toString(), QStringLiteral("The shop"));
  // A mail address: no size, its scheme as type.
  ClickTreeEntry(Root(rkEmail));
  ASSERT_EQ(window->ListModel->rowCount(), 1);
  EXPECT_EQ(Cell(0, lcSize), "");
  EXPECT_EQ(Cell(0, lcType), "mailto");
}

TEST_F(WindowTest, BackListNumbersTheEntriesAndMovesThere) {
  for (const char* path : {"about.html", "docs", "img", "news.html"}) ClickTreeEntry(Entry(path));
  QMenu* back = window->Menu->PMBack;
  emit back->aboutToShow();
  ASSERT_GE(back->actions().size(), 3);
  EXPECT_EQ(back->actions()[0]->text(), QStringLiteral("1. img"));
  EXPECT_EQ(back->actions()[1]->text(), QStringLiteral("2. docs"));
  back->actions()[2]->trigger();
  EXPECT_EQ(app->Main.Selected(), Entry("about.html"));
  EXPECT_TRUE(window->Menu->TBForward->isEnabled());
  emit window->Menu->PMForward->aboutToShow();
  ASSERT_EQ(window->Menu->PMForward->actions().size(), 3);
  EXPECT_EQ(window->Menu->PMForward->actions()[2]->text(), QStringLiteral("3. news.html"));
}

TEST_F(WindowTest, ViewStylesShareOneSelection) {
  ClickTreeEntry(Entry("docs/manual.pdf"));
  for (int style : {gui::vsLargeIcons, gui::vsSmallIcons, gui::vsList, gui::vsDetails}) {
    SCOPED_TRACE(style);
    window->Menu->StyleItem(style)->trigger();
    EXPECT_EQ(window->ListView->ViewStyle(), style);
    EXPECT_EQ(window->ListView->Current()->selectionModel(), window->ListView->Selection());
    const QModelIndexList rows = window->ListView->Selection()->selectedRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.first().row(), 1);
  }
}

TEST_F(WindowTest, SelectingAPageInTheListPreviewsIt) {
  ClickTreeEntry(Entry("docs"));
  ClickListRow(0);  // guide.html: a page
  EXPECT_EQ(window->PanelWebBrowser->Location().toStdString(), site->URL("/docs/guide.html"));
  ClickListRow(1);  // manual.pdf: not previewable, the preview stays
  EXPECT_EQ(window->PanelWebBrowser->Location().toStdString(), site->URL("/docs/guide.html"));
}

TEST_F(WindowTest, RightClickSelectsTheEntryUnderThePointerOrNone) {
  const QModelIndex docs = window->TreeModel->IndexOf(Entry("docs"));
  window->TreeView->scrollTo(docs);
  QTest::mouseClick(window->TreeView->viewport(), Qt::RightButton, {}, window->TreeView->visualRect(docs).center());
  EXPECT_EQ(app->Main.Selected(), Entry("docs"));
  window->TreeView->collapseAll();
  QTest::mouseClick(window->TreeView->viewport(), Qt::RightButton, {},
                    QPoint(5, window->TreeView->viewport()->height() - 3));
  EXPECT_EQ(app->Main.Selected(), nullptr);
  EXPECT_FALSE(window->Menu->TBUpOneLevel->isEnabled());
}

TEST_F(WindowTest, AddressBoxEnablesStartAndGivesItsHint) {
  QLineEdit* edit = window->EditURL->lineEdit();
  edit->setFocus();
  edit->selectAll();
  QTest::keyClicks(edit, QStringLiteral("   "));
  EXPECT_FALSE(window->ButtonSpider->isEnabled());
  QTest::keyClick(edit, Qt::Key_Return);  // nothing starts
  EXPECT_FALSE(app->Pool.IsBusy());
  edit->selectAll();
  QTest::keyClicks(edit, QStringLiteral("http://example.invalid/"));
  EXPECT_TRUE(window->ButtonSpider->isEnabled());
  EXPECT_EQ(window->ButtonSpider->toolTip(), QStringLiteral("Start \"http://example.invalid/\""));
}

TEST_F(WindowTest, PanelsHideWithTheirSplittersAndTheButtonsFollow) {
  QTest::mouseClick(window->Menu->TBFolders, Qt::LeftButton);
  EXPECT_TRUE(window->PanelTreeView->isHidden());
  EXPECT_FALSE(window->Menu->TBFolders->isChecked());
  QCoreApplication::processEvents();
  EXPECT_FALSE(window->SplitterLeft->handle(1)->isVisible());
  QTest::mouseClick(window->Menu->TBFolders, Qt::LeftButton);
  EXPECT_FALSE(window->PanelTreeView->isHidden());
  EXPECT_TRUE(window->Menu->TBFolders->isChecked());
  QTest::mouseClick(window->PanelWebBrowser->ButtonClose, Qt::LeftButton);
  EXPECT_TRUE(window->PanelWebBrowser->isHidden());
  EXPECT_FALSE(window->Menu->TBPreview->isChecked());
  emit window->Menu->MIView->aboutToShow();
  EXPECT_FALSE(window->Menu->MIWebBrowser->isChecked());
  EXPECT_TRUE(window->Menu->MIViewFolders->isChecked());
  EXPECT_TRUE(window->Menu->MIDetail->isChecked());
}

}  // namespace

namespace {

TEST_F(WindowTest, DoubleClickOnADocumentInTheTreeAsksForItsProperties) {
  std::vector<TSpiderNode*> asked;
  window->OnNodeProperties = [&](TSpiderNode* node) { asked.push_back(node); };
  for (const char* path : {"docs", "docs/manual.pdf"}) {
    const QModelIndex index = window->TreeModel->IndexOf(Entry(path));
    window->TreeView->scrollTo(index);
    const QPoint p = window->TreeView->visualRect(index).center();
    QTest::mouseClick(window->TreeView->viewport(), Qt::LeftButton, {}, p);
    QTest::mouseDClick(window->TreeView->viewport(), Qt::LeftButton, {}, p);
  }
  EXPECT_EQ(asked, std::vector<TSpiderNode*>{NodeOf(Entry("docs/manual.pdf"))});  // the folder has children
}

}  // namespace
