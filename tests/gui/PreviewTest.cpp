// The preview browser with the real web engine: pages load, their scripts never run, and the
// title bar shows the page's title.
#include <QWebEngineView>

#include "GuiFixture.h"

namespace {

class PreviewTest : public GuiFixture {
 protected:
  PreviewTest() {
    window.reset();
    app.reset();
    qt.reset();
    dir.Write("app/Services.htm", "<html><head><title>Start page</title></head><body>start</body></html>");
    OpenWindow(true);
  }
  bool Loaded(const QString& title) {
    return ServeUntil(
        [&] { return !window->PanelWebBrowser->Loading() && window->PanelWebBrowser->WebBrowser->title() == title; });
  }
};

TEST_F(PreviewTest, PagesLoadWithoutTheirScriptsAndTitleTheBar) {
  ASSERT_NE(window->PanelWebBrowser->WebBrowser, nullptr);
  ASSERT_TRUE(Loaded(QStringLiteral("Start page")));
  EXPECT_EQ(window->PanelWebBrowser->LabelTitle->text(), QStringLiteral("Start page"));

  TestServer site;
  site.Http().Get("/", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(
        "<html><head><title>Quiet page</title>"
        "<script>document.title = 'A script ran';</script></head><body>text</body></html>",
        "text/html");
  });
  site.Start();
  CrawlFromAddressBox(site.URL("/"));
  ClickTreeEntry(app->Main.Tree.SiteRoot());            // a folder: the preview stays
  ClickTreeEntry(app->Main.Tree.SiteRoot()->Child(0));  // the page: previewed
  ASSERT_TRUE(Loaded(QStringLiteral("Quiet page")));
  EXPECT_EQ(window->PanelWebBrowser->LabelTitle->text(), QStringLiteral("Quiet page"));
  app->Map.Modified = false;
}

}  // namespace
