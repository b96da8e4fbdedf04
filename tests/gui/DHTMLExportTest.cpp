// The DHTML tree exports, plain and framed, in the web engine: every link opens its own page,
// folders unfold and fold on a click, and no folder's click raises a script error.
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <filesystem>

#include "GuiFixture.h"
#include "app/SpiderExport.h"

namespace {

// A page that keeps the script errors it reports, and opens a link aimed at another window
// ("listview") in a page of its own, as a browser opens a new tab.
class ErrorRecordingPage : public QWebEnginePage {
 public:
  using QWebEnginePage::QWebEnginePage;
  QStringList Errors;

 protected:
  QWebEnginePage* createWindow(WebWindowType) override { return new QWebEnginePage(this); }
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int line,
                                const QString&) override {
    if (level == ErrorMessageLevel) Errors << QStringLiteral("%1 (line %2)").arg(message).arg(line);
  }
};

class DHTMLExportTest : public GuiFixture {
 protected:
  DHTMLExportTest() {
    auto page = [this](const std::string& path, const std::string& body) {
      site.Http().Get(path, [this, path, body](const httplib::Request& req, httplib::Response& res) {
        if (req.method == "GET") Hits(path).Add();
        res.set_content(body, "text/html");
      });
    };
    page("/", "<title>Home</title><a href='docs/a.html'>a</a> <a href='docs/guide/b.html'>b</a> "
              "<a href='last/c.html'>c</a> <a href='mailto:shop@example.com'>mail</a>");
    page("/docs/a.html", "<title>A</title>a");
    page("/docs/guide/b.html", "<title>B</title>b");
    page("/last/c.html", "<title>C</title>c");
    site.Start();
    CrawlFromAddressBox(site.URL("/"));
    std::filesystem::create_directories(dir.File("out"));
    view.setPage(new ErrorRecordingPage(&view));
    // As a browser does (Qt's own default keeps local files from the network).
    view.settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    view.resize(800, 600);
    view.show();
  }
  TestCounter& Hits(const std::string& path) {
    static const char* const kPaths[] = {"/", "/docs/a.html", "/docs/guide/b.html", "/last/c.html"};
    for (size_t i = 0; i < std::size(kPaths); ++i)
      if (path == kPaths[i]) return hits[i];
    return hits[0];
  }
  ErrorRecordingPage* Page() { return static_cast<ErrorRecordingPage*>(view.page()); }
  void Load(const std::string& file) {
    bool done = false;
    QObject::connect(&view, &QWebEngineView::loadFinished, &view, [&done](bool) { done = true; },
                     Qt::SingleShotConnection);
    view.load(QUrl::fromLocalFile(QString::fromStdString(file)));
    ASSERT_TRUE(ServeUntil([&] { return done; }));
  }
  QVariant Eval(const QString& script) {
    QVariant result;
    bool done = false;
    view.page()->runJavaScript(script, [&](const QVariant& v) {
      result = v;
      done = true;
    });
    EXPECT_TRUE(ServeUntil([&] { return done; }));
    return result;
  }
  // The centre of the element `selector` picks, in the view's coordinates.
  QPoint CentreOf(const QString& element) {
    const QVariantList r =
        Eval(QStringLiteral("(function(){var r=(%1).getBoundingClientRect();return [r.left+Math.min(r.width,40)/2,"
                            "r.top+Math.min(r.height,16)/2];})()")
                 .arg(element))
            .toList();
    EXPECT_EQ(r.size(), 2);
    return r.size() == 2 ? QPoint(static_cast<int>(r[0].toDouble()), static_cast<int>(r[1].toDouble())) : QPoint();
  }
  void Click(const QPoint& at) {
    QWidget* target = view.focusProxy() ? view.focusProxy() : &view;
    QTest::mouseClick(target, Qt::LeftButton, {}, at);
  }
  // The folder header whose own text is `caption`, as a script expression.
  static QString Folder(const QString& caption) {
    return QStringLiteral("Array.from(document.querySelectorAll('li#foldheader')).find(function(l){"
                          "return l.firstChild.nodeValue.trim()=='%1'})")
        .arg(caption);
  }
  QString DisplayOf(const QString& caption) {
    return Eval(Folder(caption) + QStringLiteral(".getElementsByTagName('UL')[0].style.display")).toString();
  }

  TestServer site;
  TestCounter hits[4];
  QWebEngineView view;
};

TEST_F(DHTMLExportTest, TheTreeLinksEachPageFoldsAndUnfoldsWithoutErrors) {
  const std::string file = dir.File("out/tree.htm");
  gui::TFormTessalyView* w = window.get();
  w->Command([&] { WriteDHTMLTreeFile(qt->Services, file, app->Main.Tree.SiteRoot()); });
  Load(file);

  // Every link resolves to its page's own address.
  const QStringList links =
      Eval(QStringLiteral("Array.from(document.links).map(function(a){return a.href}).join('\\n')"))
          .toString()
          .split('\n');
  for (const char* path : {"/docs/a.html", "/docs/guide/b.html", "/last/c.html"})
    EXPECT_TRUE(links.contains(QString::fromStdString(site.URL(path)))) << path << "\n" << links.join('\n').toStdString();
  for (const QString& link : links) EXPECT_TRUE(link.startsWith(QString::fromStdString(site.URL("/")))) << link.toStdString();

  // A folder unfolds on a click on its name and folds on the next; so does the last one.
  for (const QString& folder : {QStringLiteral("docs"), QStringLiteral("last")}) {
    SCOPED_TRACE(folder.toStdString());
    EXPECT_EQ(DisplayOf(folder), QStringLiteral("none"));
    Click(CentreOf(Folder(folder)));
    ASSERT_TRUE(ServeUntil([&] { return DisplayOf(folder).isEmpty(); }, 5000));
    Click(CentreOf(Folder(folder)));
    ASSERT_TRUE(ServeUntil([&] { return DisplayOf(folder) == QStringLiteral("none"); }, 5000));
  }
  // The nested folder opens inside its open parent.
  Click(CentreOf(Folder(QStringLiteral("docs"))));
  ASSERT_TRUE(ServeUntil([&] { return DisplayOf(QStringLiteral("docs")).isEmpty(); }, 5000));
  Click(CentreOf(Folder(QStringLiteral("guide"))));
  ASSERT_TRUE(ServeUntil([&] { return DisplayOf(QStringLiteral("guide")).isEmpty(); }, 5000));
  EXPECT_EQ(DisplayOf(QStringLiteral("docs")), QString());
  EXPECT_TRUE(Page()->Errors.isEmpty()) << Page()->Errors.join('\n').toStdString();

  // A click on a link opens its page.
  const int before = Hits("/docs/a.html").Value();
  Click(CentreOf(QStringLiteral("document.querySelector('a[href$=\"docs/a.html\"]')")));
  ASSERT_TRUE(ServeUntil([&] { return Hits("/docs/a.html").Value() > before; }, 10000));
}

TEST_F(DHTMLExportTest, TheFramedTreeOpensTheClickedPageInTheListFrame) {
  const std::string file = dir.File("out/framed.htm");
  window->Command([&] { WriteDHTMLTreeFramedFile(qt->Services, file, app->Main.Tree.SiteRoot()); });
  // Where the link stands in the tree frame: the tree page alone, as wide as the frame.
  const std::string tree = (std::filesystem::path(file).parent_path() / "treeview_framed.htm").string();
  ASSERT_TRUE(std::filesystem::exists(tree)) << tree;
  view.resize(256, 600);
  Load(tree);
  const QPoint folder = CentreOf(Folder(QStringLiteral("last")));
  Click(folder);
  ASSERT_TRUE(ServeUntil([&] { return DisplayOf(QStringLiteral("last")).isEmpty(); }, 5000));
  const QPoint link = CentreOf(QStringLiteral("document.querySelector('a[href$=\"last/c.html\"]')"));
  EXPECT_TRUE(Page()->Errors.isEmpty()) << Page()->Errors.join('\n').toStdString();

  view.resize(800, 600);
  const int rootBefore = Hits("/").Value();
  Load(file);
  // The list frame shows the site's root page.
  ASSERT_TRUE(ServeUntil([&] { return Hits("/").Value() > rootBefore; }, 10000));
  const int before = Hits("/last/c.html").Value();
  Click(folder);
  Click(link);
  ASSERT_TRUE(ServeUntil([&] { return Hits("/last/c.html").Value() > before; }, 10000));
  EXPECT_TRUE(Page()->Errors.isEmpty()) << Page()->Errors.join('\n').toStdString();
}

}  // namespace
