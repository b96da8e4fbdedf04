// tessaly-screenshots: pictures of the main window for a person to look at. Crawls the demo
// site (a local HTML file given as the first argument), then writes PNGs of the window in a few
// states into the folder given as the second argument; a translation file as the third argument
// ("lang.de.txt") shows the whole program translated, as with that file as "lang.txt". Meant to run under Xvfb (`make
// screenshots`); under the offscreen platform it draws the widgets without the web pages.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QMenu>
#include <QPixmap>
#include <QScreen>
#include <QSplitter>
#include <QTreeView>
#include <QWebEngineView>
#include <iostream>

#include "app/Application.h"
#include "gui/Application.h"
#include "gui/FormHTTPClientView.h"
#include "gui/ListFilterBar.h"
#include "gui/MainMenu.h"
#include "gui/NodeListView.h"
#include "gui/PreviewPanel.h"
#include "gui/ScreenshotsDialogs.h"
#include "gui/SiteTreeModel.h"

namespace {

// Serves events until `done` holds or `ms` pass.
bool Wait(const std::function<bool()>& done, int ms) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

void Settle(int ms = 300) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool Shoot(QWidget* window, const QString& file) {
  Settle();
  QPixmap picture;
  // On a real (virtual) screen the screen's pixels show the web pages as well.
  if (QGuiApplication::platformName() == QStringLiteral("xcb") && QGuiApplication::primaryScreen())
    picture = QGuiApplication::primaryScreen()->grabWindow(0, window->x(), window->y(), window->frameGeometry().width(),
                                                           window->frameGeometry().height());
  else picture = window->grab();
  const bool ok = picture.save(file);
  std::cout << (ok ? "wrote " : "could not write ") << file.toStdString() << "\n";
  return ok;
}

}  // namespace

int main(int argc, char* argv[]) {
  gui::PrepareApplication();
  QApplication application(argc, argv);
  gui::SetupApplication(application);
  if (argc < 3) {
    std::cerr << "usage: tessaly-screenshots DEMO-SITE/index.html OUTPUT-FOLDER [TRANSLATION-FILE]\n";
    return 2;
  }
  const QString start = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
  const QString out = QString::fromLocal8Bit(argv[2]);
  QDir().mkpath(out);

  gui::TDesktop desktop;
  desktop.App->WritesUserFiles = false;
  if (argc > 3) {
    // The translations read as the program reads "lang.txt" at its start; the empty tree is
    // built again for its categories' names.
    desktop.App->Translations.Clear();
    if (!desktop.App->Translations.LoadFromFile(argv[3])) {
      std::cerr << "cannot read " << argv[3] << "\n";
      return 2;
    }
    desktop.App->Main.Tree.ResetSiteTree();
  }
  if (!desktop.Start()) return 1;
  gui::TFormTessalyView& w = *desktop.Window;
  w.resize(1180, 780);
  w.move(0, 0);
  w.show();
  if (argc > 3) w.TranslateWindows();  // as at the first activation, which Xvfb may not bring
  // The preview's browser comes and goes (an empty preview has none): asked for each time.
  const auto web = [&] { return w.PanelWebBrowser->WebBrowser; };
  auto loaded = [&] { return !w.PanelWebBrowser->Loading(); };
  Wait([&] { return web() && web()->title().size() > 0; }, 8000);
  Wait(loaded, 5000);
  Shoot(&w, out + "/01-start-page.png");

  w.OpenArgument(start.toStdString());
  // Stopped at once: the requests already queued wait in the Connection Status window.
  desktop.App->Main.ButtonStopClick();
  Wait([&] { return !desktop.App->Pool.IsBusy(); }, 10000);
  desktop.App->Pool.ProcessQueue();
  Settle();
  Shoot(&w, out + "/02-stopped.png");
  Shoot(w.FormHTTPClient, out + "/02-connection-status-stopped.png");
  desktop.App->Pool.ResumeRequests();
  if (!Wait([&] { return desktop.App->Pool.IsIdle() && !desktop.App->Pool.IsBusy(); }, 60000)) {
    std::cerr << "the crawl did not end\n";
    return 1;
  }
  w.FormHTTPClient->hide();
  TFormTessaly& main = desktop.App->Main;
  w.TreeView->expandAll();
  main.SelectEntry(main.Tree.SiteRoot());
  Wait(loaded, 5000);
  Shoot(&w, out + "/03-site-root.png");
  // The Summary page the crawl's end showed, given the room.
  const QList<int> sizes = w.SplitterRight->sizes();
  w.SplitterRight->setSizes({120, sizes.value(0) + sizes.value(1) - 120});
  Shoot(&w, out + "/03-summary.png");
  w.SplitterRight->setSizes(sizes);

  // An HTML page: the list shows its links, the preview the page.
  TTreeEntry* page = nullptr;
  for (const auto& child : main.Tree.SiteRoot()->Children)
    if (child->Caption == "index.html") page = child.get();
  if (page) {
    main.SelectEntry(page);
    Wait([&] { return web() && web()->title() != QStringLiteral("Welcome to Quorlix Tessaly"); }, 5000);
    Wait(loaded, 5000);
    Shoot(&w, out + "/04-html-page.png");
  }
  main.SelectEntry(main.Tree.Root(rkAll));
  Shoot(&w, out + "/05-all.png");
  // The filter over "All": the answers that failed or were refused, with why (Status).
  w.PanelFilter->ButtonClass[2]->setChecked(true);
  w.PanelFilter->ButtonClass[4]->setChecked(true);
  Shoot(&w, out + "/05-all-filtered.png");
  w.PanelFilter->EditFilter->setText(QStringLiteral("products"));
  w.PanelFilter->ButtonClass[2]->setChecked(false);
  w.PanelFilter->ButtonClass[4]->setChecked(false);
  Shoot(&w, out + "/05-all-filtered-text.png");
  w.PanelFilter->Clear();
  main.SelectEntry(main.Tree.Root(rkBroken));
  Shoot(&w, out + "/06-broken-links.png");
  main.SelectEntry(main.Tree.SiteRoot());
  gui::InvokeMenuItem(w.Menu->MILargeIcons);  // hidden: nothing happens
  w.Menu->MILargeIcons->trigger();
  Shoot(&w, out + "/07-large-icons.png");
  w.Menu->MISmallIcons->trigger();
  Shoot(&w, out + "/07-small-icons.png");
  w.Menu->MIList->trigger();
  Shoot(&w, out + "/08-list.png");
  w.Menu->MIDetail->trigger();

  w.FormHTTPClient->ShowWindow();
  w.FormHTTPClient->raise();
  Settle();
  Shoot(w.FormHTTPClient, out + "/09-connection-status.png");
  w.FormHTTPClient->hide();
  gui::ShootDialogs(desktop, out);
  desktop.App->Map.Modified = false;
  w.close();
  return 0;
}
