// The list follows the selected entry while a crawl fills it: rows appear as they are found,
// without a click, and the rows the user selected stay selected. New clears the preview.
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTest>
#include <QWebEngineView>
#include <QWindow>
#include <algorithm>

#include "GuiFixture.h"

namespace {

class LiveListTest : public GuiFixture {
 protected:
  LiveListTest() {
    site.Http().Get("/", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("<title>Home</title><a href='a.html'>a</a> <a href='slow.html'>slow</a>", "text/html");
    });
    site.Http().Get("/a.html", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("<title>A</title>a", "text/html");
    });
    // The slow page answers only once the test opens the gate; it links a page found late.
    site.Http().Get("/slow.html", [this](const httplib::Request& req, httplib::Response& res) {
      if (req.method == "GET") {
        slowReads.Add();
        gate.Wait();
      }
      res.set_content("<title>Slow</title><a href='late.html'>late</a>", "text/html");
    });
    site.Http().Get("/late.html", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("<title>Late</title>late", "text/html");
    });
    site.Start();
  }
  ~LiveListTest() override { gate.Open(); }

  void Start() {
    QLineEdit* edit = window->EditURL->lineEdit();
    edit->setFocus();
    QTest::keyClicks(edit, QString::fromStdString(site.URL("/")));
    QTest::keyClick(edit, Qt::Key_Return);
    ASSERT_TRUE(ServeUntil([this] { return slowReads.Value() > 0 && Shows("a.html") && Shows("slow.html"); }));
  }
  bool Shows(const std::string& caption) const {
    const std::vector<std::string> rows = ListCaptions();
    return std::find(rows.begin(), rows.end(), caption) != rows.end();
  }
  int RowOf(const std::string& caption) const {
    const std::vector<std::string> rows = ListCaptions();
    const auto at = std::find(rows.begin(), rows.end(), caption);
    return at == rows.end() ? -1 : static_cast<int>(at - rows.begin());
  }
  bool ViewSelects(int row) const {
    return row >= 0 && window->ListView->Selection()->isRowSelected(row, QModelIndex());
  }

  TestServer site;
  TestGate gate;
  TestCounter slowReads;
};

// After Start the list shows the start page's links as soon as they are known, with no click.
TEST_F(LiveListTest, AfterStartTheListShowsTheStartPagesLinksWithoutAClick) {
  Start();  // waits for the rows, no gesture in between
  EXPECT_TRUE(app->Main.Busy);
  gate.Open();
  WaitIdle();
  EXPECT_TRUE(Shows("a.html"));
  EXPECT_TRUE(Shows("slow.html"));
}

// A folder selected during the crawl gains rows as the crawl finds its entries; the row the
// user clicked keeps its selection and its place.
TEST_F(LiveListTest, RowsAppearAsFoundAndTheUsersSelectionStays) {
  Start();
  ClickTreeEntry(app->Main.Tree.SiteRoot());
  ASSERT_TRUE(Shows("a.html"));
  ASSERT_FALSE(Shows("late.html"));
  const int a = RowOf("a.html");
  ClickListRow(a);
  ASSERT_TRUE(ViewSelects(a));
  gate.Open();
  ASSERT_TRUE(ServeUntil([this] { return Shows("late.html"); }));
  WaitIdle();
  EXPECT_EQ(RowOf("a.html"), a);
  EXPECT_TRUE(ViewSelects(a));
  EXPECT_FALSE(ViewSelects(RowOf("late.html")));
  EXPECT_EQ(app->Main.Selected(), app->Main.Tree.SiteRoot());
  EXPECT_EQ(static_cast<int>(ListCaptions().size()), app->Main.Tree.SiteRoot()->Count());
}

class PreviewClearTest : public GuiFixture {
 protected:
  PreviewClearTest() {
    window.reset();
    app.reset();
    qt.reset();
    dir.Write("app/Services.htm", "<html><head><title>Start page</title></head><body>start</body></html>");
    OpenWindow(true);
    ServeSite(site);
    site.Start();
  }
  bool Loaded(const QString& title) {
    return ServeUntil(
        [&] { return !window->PanelWebBrowser->Loading() && window->PanelWebBrowser->WebBrowser->title() == title; });
  }
  TestServer site;
};

// Ctrl+N, typed into the window, clears the preview of the old project's page.
TEST_F(PreviewClearTest, NewClearsThePreview) {
  ASSERT_TRUE(Loaded(QStringLiteral("Start page")));
  CrawlFromAddressBox(site.URL("/"));
  ClickTreeEntry(Entry("about.html"));
  ASSERT_TRUE(Loaded(QStringLiteral("About")));
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  ask.QueueAnswer(platform::Answer::Yes);  // clear the current results
  QTest::keyClick(window->windowHandle(), Qt::Key_N, Qt::ControlModifier);
  EXPECT_EQ(app->Map.Count(), 0u);
  EXPECT_EQ(window->PanelWebBrowser->Location(), QString());
  EXPECT_EQ(window->PanelWebBrowser->LabelTitle->text(), QString());
  // An empty preview holds no browser, so the window paints plainly while nothing is shown.
  EXPECT_EQ(window->PanelWebBrowser->WebBrowser, nullptr);
  EXPECT_TRUE(ServeUntil([&] { return window->windowHandle()->surfaceType() == QSurface::RasterSurface; }));
  EXPECT_TRUE(window->isVisible());
  // The next page previewed brings it back.
  CrawlFromAddressBox(site.URL("/"));
  ClickTreeEntry(Entry("about.html"));
  ASSERT_TRUE(Loaded(QStringLiteral("About")));
  EXPECT_EQ(window->PanelWebBrowser->LabelTitle->text(), QStringLiteral("About"));
  app->Map.Modified = false;
}

}  // namespace
