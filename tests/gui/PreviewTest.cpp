// The preview browser with the real web engine: pages load, their scripts never run, and the
// title bar shows the page's title.
#include <memory>
#include <optional>

#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <QTimer>
#include <QWindow>

#include "gui/FormSpellingView.h"

#include "gui/PreviewPage.h"

#include "GuiFixture.h"
#include "UrlRecorder.h"

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



// A hostile page in the preview: it refreshes to another host, posts a form, links to mailto:,
// ssh: and file: and frames a local file. The preview stays on it and nothing reaches the
// desktop; a click on a link of the map selects it in the tree.
TEST_F(PreviewTest, AHostilePageCannotMoveThePreviewOrReachTheDesktop) {
  ASSERT_TRUE(Loaded(QStringLiteral("Start page")));
  UrlRecorder recorder({"mailto", "ssh", "file", "http", "https"});
  std::vector<std::string> browser;
  qt->Web.Override = [&](const std::string& target) {
    browser.push_back(target);
    return true;
  };

  TestServer site;
  site.Http().Get("/", [&site](const httplib::Request&, httplib::Response& res) {
    // Another host name for the same server.
    const std::string elsewhere = "http://localhost:" + std::to_string(site.Port()) + "/elsewhere.html";
    res.set_content("<html><head><title>Hostile</title><meta http-equiv=refresh content=\"0; url=" + elsewhere +
                        "\"></head><body>"
                        "<form method=post action=/posted><input name=q value=1></form>"
                        "<a id=mail href='mailto:x@example.com'>mail</a> <a id=ssh href='ssh://host/'>ssh</a> "
                        "<a id=file href='file:///etc/passwd'>file</a> <a id=about href='about.html'>about</a>"
                        "<iframe src='file:///etc/passwd'></iframe></body></html>",
                    "text/html");
  });
  site.Http().Get("/about.html", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("<title>About</title>about", "text/html");
  });
  int posted = 0;
  site.Http().Post("/posted", [&posted](const httplib::Request&, httplib::Response& res) {
    ++posted;
    res.set_content("<title>Posted</title>", "text/html");
  });
  site.Start();
  CrawlFromAddressBox(site.URL("/"));
  const QUrl home(QString::fromStdString(site.URL("/")));
  ClickTreeEntry(Entry("index.html"));
  // "Open": the page (a refresh makes it count as redirected, which a selection does not show).
  app->Main.PreviewNode(NodeOf(Entry("index.html")), false, true);
  ASSERT_TRUE(Loaded(QStringLiteral("Hostile")));
  gui::TPreviewPage* page = window->PanelWebBrowser->Page;
  ASSERT_NE(page, nullptr);
  // The refresh was asked for and refused.
  ASSERT_TRUE(ServeUntil([&] { return page->Refused() >= 1; }));

  int clicks = 0;
  QObject::connect(page, &gui::TPreviewPage::LinkClicked, window.get(), [&clicks] { ++clicks; });
  // The keyboard walks the page as a person would: Tab to the form's field or a link, Enter.
  QWidget* view = window->PanelWebBrowser->WebBrowser->focusProxy();
  ASSERT_NE(view, nullptr);
  view->setFocus();
  // The form's field takes the focus, then Enter submits the form. The renderer may drop keys
  // that come before it takes input, so the field is focused from outside the page (its own
  // scripts stay off) and Enter is pressed again until the submission arrives: each one is refused.
  const auto activeField = [page] {
    auto answer = std::make_shared<std::optional<QString>>();
    page->runJavaScript(QStringLiteral("document.querySelector('input').focus();"
                                       "document.activeElement ? document.activeElement.name : ''"),
                        QWebEngineScript::ApplicationWorld,
                        [answer](const QVariant& value) { *answer = value.toString(); });
    return ServeUntil([answer] { return answer->has_value(); }) ? answer->value() : QString();
  };
  ASSERT_EQ(activeField(), QStringLiteral("q"));
  const int refusedBefore = page->Refused();
  bool submitted = false;
  for (int attempt = 0; attempt < 10 && !submitted; ++attempt) {
    QTest::keyClick(view, Qt::Key_Return);  // submits the form
    submitted = ServeUntil([&] { return page->Refused() > refusedBefore; }, 3000);
  }
  ASSERT_TRUE(submitted);
  const struct {
    const char* Id;
    const char* Selected;  // the address selected in the tree afterwards
  } links[] = {
      {"mail", "mailto:x@example.com"},
      {"ssh", "ssh://host/"},
  };
  for (const auto& link : links) {
    SCOPED_TRACE(link.Id);
    const int before = clicks;
    QTest::keyClick(view, Qt::Key_Tab);
    QTest::keyClick(view, Qt::Key_Return);
    ASSERT_TRUE(ServeUntil([&] { return clicks > before; }));
    const TSpiderNode* selected = NodeOf(app->Main.Selected());
    ASSERT_NE(selected, nullptr);
    EXPECT_EQ(selected->URLText(), link.Selected);
    EXPECT_EQ(page->url(), home);
    EXPECT_EQ(window->PanelWebBrowser->Title(), QStringLiteral("Hostile"));
  }
  // The file: link: the engine itself never lets a web page open a local file.
  QTest::keyClick(view, Qt::Key_Tab);
  QTest::keyClick(view, Qt::Key_Return);
  EXPECT_EQ(posted, 0);
  EXPECT_TRUE(browser.empty());
  EXPECT_TRUE(recorder.Opened.isEmpty()) << recorder.Opened.join(' ').toStdString();

  // A link inside the map: selected in the tree and previewed there. Everything before it
  // has been handled by now.
  QTest::keyClick(view, Qt::Key_Tab);
  QTest::keyClick(view, Qt::Key_Return);
  ASSERT_TRUE(Loaded(QStringLiteral("About")));
  EXPECT_EQ(app->Main.Selected(), Entry("about.html"));
  EXPECT_EQ(clicks, 3);
  EXPECT_EQ(posted, 0);
  EXPECT_TRUE(browser.empty());
  EXPECT_TRUE(recorder.Opened.isEmpty()) << recorder.Opened.join(' ').toStdString();
  app->Map.Modified = false;
}


// A web view makes the whole window compose through the graphics stack, so the window holds
// one only while the preview shows: hidden, the preview has none, and the page chosen meanwhile
// is the one it shows when it comes back.
TEST_F(PreviewTest, TheWindowHoldsNoBrowserWhileThePreviewIsHidden) {
  const auto browsersInWindow = [&] {
    int count = 0;
    for (QWebEngineView* view : window->findChildren<QWebEngineView*>())
      if (view->window() == window.get()) ++count;
    return count;
  };
  ASSERT_TRUE(Loaded(QStringLiteral("Start page")));
  EXPECT_EQ(browsersInWindow(), 1);

  QTest::mouseClick(window->PanelWebBrowser->ButtonClose, Qt::LeftButton);
  ASSERT_TRUE(window->PanelWebBrowser->isHidden());
  EXPECT_EQ(window->PanelWebBrowser->WebBrowser, nullptr);
  EXPECT_EQ(browsersInWindow(), 0);

  TestServer site;
  site.Http().Get("/", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("<html><head><title>Home</title></head><body><a href=next.html>next</a></body></html>",
                    "text/html");
  });
  site.Http().Get("/next.html", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("<html><head><title>Next page</title></head><body>next</body></html>", "text/html");
  });
  site.Start();
  CrawlFromAddressBox(site.URL("/"));
  // The crawl's end shows the Summary in the preview: a page of the window's own, no browser.
  EXPECT_NE(window->PanelWebBrowser->ShownPage(), nullptr);
  EXPECT_EQ(browsersInWindow(), 0);
  QTest::mouseClick(window->PanelWebBrowser->ButtonClose, Qt::LeftButton);
  ClickTreeEntry(Entry("next.html"));
  EXPECT_EQ(browsersInWindow(), 0);  // a selection with the preview hidden makes none
  EXPECT_EQ(window->PanelWebBrowser->Location().toStdString(), site.URL("/next.html"));

  // Shown again from the tool bar: the selected page is there.
  QTest::mouseClick(window->findChild<QWidget*>(QStringLiteral("TBPreview")), Qt::LeftButton);
  ASSERT_FALSE(window->PanelWebBrowser->isHidden());
  ASSERT_NE(window->PanelWebBrowser->WebBrowser, nullptr);
  ASSERT_TRUE(Loaded(QStringLiteral("Next page")));
  EXPECT_EQ(window->PanelWebBrowser->WebBrowser->url().toString().toStdString(), site.URL("/next.html"));
  EXPECT_EQ(window->PanelWebBrowser->LabelTitle->text(), QStringLiteral("Next page"));
  EXPECT_EQ(browsersInWindow(), 1);

  // Hidden from the menu: gone again, the window paints plainly (on a display where the view
  // had made it compose through OpenGL, its surface is made anew), and it still works.
  window->Menu->MIWebBrowser->trigger();
  EXPECT_EQ(window->PanelWebBrowser->WebBrowser, nullptr);
  EXPECT_EQ(browsersInWindow(), 0);
  EXPECT_TRUE(ServeUntil([&] { return window->windowHandle()->surfaceType() == QSurface::RasterSurface; }));
  EXPECT_TRUE(window->isVisible());
  ClickTreeEntry(app->Main.Tree.SiteRoot());
  EXPECT_EQ(browsersInWindow(), 0);
  app->Map.Modified = false;
}

// The spelling dialog makes its web view when it shows a page and frees it when it closes: the
// program starts with the preview's browser only, and a closed dialog keeps none.
TEST_F(PreviewTest, TheSpellingDialogHoldsABrowserOnlyWhileInUse) {
  gui::TFormSpellingView* dialog = window->FormSpelling;
  EXPECT_EQ(dialog->WebBrowser, nullptr);
  EXPECT_EQ(window->findChildren<QWebEngineView*>().size(), 1);
  bool shown = false;
  int ticks = 0;
  QTimer watch;
  watch.setInterval(10);
  QObject::connect(&watch, &QTimer::timeout, [&] {
    shown = dialog->isVisible() && dialog->WebBrowser != nullptr &&
            dialog->WebBrowser->url().fragment() == QStringLiteral("idFocus");
    // A dialog that never shows its page is closed all the same, so the test ends.
    if (shown || ++ticks > 6000) app->Spelling.ButtonCancelClick();
  });
  watch.start();
  std::string text = "<html><head><title>Words</title></head><body><p>Qzxwvq qzxwvq.</p></body></html>";
  app->Spelling.CheckText(text, dir.File("words.html"));
  watch.stop();
  EXPECT_TRUE(shown);
  EXPECT_EQ(dialog->WebBrowser, nullptr);
  EXPECT_EQ(window->findChildren<QWebEngineView*>().size(), 1);
}

// The spelling dialog's preview follows the same rules: a web page's copy neither moves the
// preview nor shows a local file, and nothing reaches the desktop.
TEST_F(PreviewTest, TheSpellingPreviewShowsOnlyItsDocument) {
  UrlRecorder recorder({"mailto", "ssh", "file", "http", "https"});
  dir.Write("secret.txt", "SECRET");
  gui::TFormSpellingView view(app->Spelling, true, window.get());
  EXPECT_EQ(view.WebBrowser, nullptr);  // made when a page is shown
  app->Spelling.DocumentName = "http://127.0.0.1:1/page.html";
  view.ShowPreview("<html><head><title>Spelling copy</title><meta http-equiv=refresh content=\"0; url=http://"
                   "localhost:1/elsewhere.html\"></head><body><span id=idFocus>Teh</span>"
                   "<iframe src='file://" + dir.File("secret.txt") + "'></iframe></body></html>");
  ASSERT_NE(view.WebBrowser, nullptr);
  auto* page = qobject_cast<gui::TPreviewPage*>(view.WebBrowser->page());
  ASSERT_NE(page, nullptr);
  const QUrl shown = page->Expected();
  ASSERT_TRUE(ServeUntil([&] { return view.WebBrowser->title() == QStringLiteral("Spelling copy"); }));
  ASSERT_TRUE(ServeUntil([&] { return page->Refused() >= 1; }));  // the refresh
  EXPECT_EQ(page->url().adjusted(QUrl::RemoveFragment), shown.adjusted(QUrl::RemoveFragment));
  EXPECT_FALSE(view.WebBrowser->settings()->testAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls));
  EXPECT_TRUE(recorder.Opened.isEmpty()) << recorder.Opened.join(' ').toStdString();
}

}  // namespace

