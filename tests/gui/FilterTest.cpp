// The filter box over the list and the Status column, driven with real keys and clicks on the
// window, against a map crawled from a loopback site.
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <QWindow>

#include "GuiFixture.h"
#include "gui/ListFilterBar.h"
#include "gui/NodeListModel.h"
#include "gui/NodeListView.h"
#include "gui/StatusPanels.h"

namespace {

class FilterTest : public GuiFixture {
 protected:
  void SetUp() override {
    site.reset(new TestServer);
    ServeSite(*site);
    site->Start();
    CrawlFromAddressBox(site->URL("/"));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }
  // Keys typed on the keyboard: delivered to the window, which hands them to its focus.
  void Type(const std::string& text) {
    for (char c : text) QTest::keyClick(window->windowHandle(), c);
  }
  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(window->windowHandle(), key, modifiers);
  }
  std::string Panel0() const { return window->StatusBar->Text(0).toStdString(); }
  int Row(const std::string& caption) const {
    const auto captions = ListCaptions();
    for (size_t i = 0; i < captions.size(); ++i)
      if (captions[i] == caption) return static_cast<int>(i);
    return -1;
  }
  std::unique_ptr<TestServer> site;
};

using Names = std::vector<std::string>;

TEST_F(FilterTest, CtrlFTypingAndEscapeNarrowAndRestoreTheList) {
  ClickTreeEntry(Root(rkAll));
  const Names all = ListCaptions();
  ASSERT_GE(all.size(), 7u);
  EXPECT_EQ(Panel0(), std::to_string(all.size()) + " objects");

  window->TreeView->setFocus();
  Key(Qt::Key_F, Qt::ControlModifier);
  EXPECT_EQ(QApplication::focusWidget(), window->PanelFilter->EditFilter);
  Type("GUIDE");
  EXPECT_EQ(window->PanelFilter->EditFilter->text().toStdString(), "GUIDE");
  EXPECT_EQ(ListCaptions(), Names{"guide.html"});
  EXPECT_EQ(Panel0(), "1 object");
  // Text in another column: the type.
  Key(Qt::Key_F, Qt::ControlModifier);  // selects the text, so typing replaces it
  Type("application/pdf");
  EXPECT_EQ(ListCaptions(), Names{"manual.pdf"});
  // Escape clears the filter; every row is back, in its order.
  Key(Qt::Key_Escape);
  EXPECT_TRUE(window->PanelFilter->EditFilter->text().isEmpty());
  EXPECT_FALSE(window->ListModel->Filtered());
  EXPECT_EQ(ListCaptions(), all);
  EXPECT_EQ(Panel0(), std::to_string(all.size()) + " objects");
}

TEST_F(FilterTest, AnswerClassButtonsNarrowByCode) {
  ClickTreeEntry(Root(rkAll));
  const Names all = ListCaptions();
  gui::TListFilterBar& bar = *window->PanelFilter;
  QToolButton* b4xx = bar.findChild<QToolButton*>(QStringLiteral("Button4xx"));
  QToolButton* b2xx = bar.findChild<QToolButton*>(QStringLiteral("Button2xx"));
  ASSERT_TRUE(b4xx && b2xx);
  QTest::mouseClick(b4xx, Qt::LeftButton);
  EXPECT_EQ(ListCaptions(), Names{"missing.html"});
  const int code = window->ListView->Details->header()->visualIndex(lcCode);
  EXPECT_EQ(window->ListView->Details->header()->visualIndex(lcStatus), code + 1);
  EXPECT_EQ(window->ListModel->headerData(lcStatus, Qt::Horizontal).toString().toStdString(), "Status");
  EXPECT_EQ(Cell(0, lcCode), "404");
  EXPECT_EQ(Cell(0, lcStatus), "HTTP/1.1 404 Not Found");
  // Two classes together; with text.
  QTest::mouseClick(b2xx, Qt::LeftButton);
  Names some = ListCaptions();
  EXPECT_GT(some.size(), 3u);
  EXPECT_NE(std::find(some.begin(), some.end(), "missing.html"), some.end());
  EXPECT_EQ(std::find(some.begin(), some.end(), "mailto:shop@example.com"), some.end());  // no answer class
  window->PanelFilter->EditFilter->setFocus();
  Type("missing.h");  // ("Missing" alone is every row's local date)
  EXPECT_EQ(ListCaptions(), Names{"missing.html"});
  // Escape in the box clears the text and the buttons.
  Key(Qt::Key_Escape);
  EXPECT_FALSE(b4xx->isChecked());
  EXPECT_EQ(ListCaptions(), all);
}

// The filter holds while rows change: a row whose answer changes comes or goes, and the
// selection stays on the row it was on.
TEST_F(FilterTest, ChangedRowsComeAndGoAndTheSelectionStays) {
  ClickTreeEntry(app->Main.Tree.SiteRoot());
  window->PanelFilter->EditFilter->setFocus();
  Type(".html");
  const Names pages = ListCaptions();
  ASSERT_EQ(pages, (Names{"index.html", "about.html", "missing.html", "news.html"}));
  ClickListRow(Row("missing.html"));
  ASSERT_TRUE(window->ListModel->RowOf(window->ListView->Selection()->currentIndex()));
  QToolButton* b2xx = window->PanelFilter->findChild<QToolButton*>(QStringLiteral("Button2xx"));
  // Only the pages answered 200, then the missing one answers 200 as well.
  QTest::mouseClick(b2xx, Qt::LeftButton);
  EXPECT_EQ(ListCaptions(), (Names{"index.html", "about.html", "news.html"}));
  TSpiderNode* missing = Entry("missing.html")->Node;
  ASSERT_NE(missing, nullptr);
  ClickListRow(1);  // about.html selected
  missing->ResponseCode = 200;
  missing->ResponseText = "HTTP/1.1 200 OK";
  missing->RefreshIcon();
  EXPECT_EQ(ListCaptions(), (Names{"index.html", "about.html", "missing.html", "news.html"}));
  const QModelIndexList selected = window->ListView->Selection()->selectedRows();
  ASSERT_EQ(selected.size(), 1);
  EXPECT_EQ(window->ListModel->RowOf(selected.first())->Caption, "about.html");
  EXPECT_EQ(window->ListView->Details->model()->rowCount(), 4);
  // And goes again.
  missing->ResponseCode = 404;
  missing->RefreshIcon();
  EXPECT_EQ(ListCaptions(), (Names{"index.html", "about.html", "news.html"}));
  ASSERT_EQ(window->ListView->Selection()->selectedRows().size(), 1);
  EXPECT_EQ(window->ListModel->RowOf(window->ListView->Selection()->selectedRows().first())->Caption, "about.html");
  EXPECT_EQ(Panel0(), "1 object selected");
}

// The filter stays set when another entry is selected: the new rows are filtered too; rows the
// filter hides are not counted as selected.
TEST_F(FilterTest, TheFilterAppliesToEveryRefill) {
  window->PanelFilter->EditFilter->setFocus();
  Type("guide");
  ClickTreeEntry(Root(rkAll));
  EXPECT_EQ(ListCaptions(), Names{"guide.html"});
  ClickTreeEntry(Root(rkHTML));
  EXPECT_EQ(ListCaptions(), Names{"guide.html"});
  ClickTreeEntry(Entry("docs"));
  EXPECT_EQ(ListCaptions(), Names{"guide.html"});
  EXPECT_EQ(app->Main.List.Count(), 2);  // the folder holds two documents, one shown
  window->SelectAllRows();
  EXPECT_EQ(app->Main.List.SelectedCount(), 1);
  EXPECT_EQ(Panel0(), "1 object selected");
}

}  // namespace
