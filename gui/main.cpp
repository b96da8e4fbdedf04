// tessaly: the desktop program. `tessaly [PROJECT.tly | ADDRESS]` opens a project file, or puts
// an address into the address box and starts crawling it. `--benchmark ADDRESS` crawls the
// address, then prints the crawl's time, the longest gap between two ticks of a 10 ms timer on
// the user-interface thread, the time "All" takes to list the map, the longest sort of it by a
// column and the time the largest folder takes to unfold in the tree; then it quits.
// `--no-external` turns "Validate External URL's" off for the run; `--no-preview` starts with the
// preview hidden.
#include <QApplication>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QStringList>
#include <QTimer>
#include <QTreeView>
#include <QWindow>
#include <cstdio>
#include <string_view>
#include <vector>
#include <iostream>

#include "app/Application.h"
#include "gui/Application.h"
#include "gui/FormSplash.h"
#include "gui/MainMenu.h"
#include "gui/NodeListView.h"
#include "gui/SiteTreeModel.h"
#include "app/NodeList.h"
#include "app/SpiderTools.h"

namespace {

void Benchmark(gui::TDesktop& desktop) {
  auto* ticks = new QTimer(desktop.Window.get());
  auto* clock = new QElapsedTimer;
  auto* last = new qint64(0);
  auto* longest = new qint64(0);
  auto* longestAt = new qint64(0);
  auto* started = new bool(false);
  clock->start();
  ticks->setInterval(10);
  QObject::connect(ticks, &QTimer::timeout, [&desktop, ticks, clock, last, longest, longestAt, started] {
    const qint64 now = clock->elapsed();
    if (*last && now - *last > *longest) {
      *longest = now - *last;
      *longestAt = *last;
    }
    *last = now;
    TTessalyApp& app = *desktop.App;
    // Started once a request ran: a crawl may end between two ticks (a start page that fails at
    // once), and the pool is idle again before a tick could see it busy.
    if (app.Pool.IsBusy() || app.Main.Crawl.RequestsDone() > 0) *started = true;
    if (!*started || !app.Pool.IsIdle() || app.Pool.IsBusy()) return;
    ticks->stop();
    const double crawl = static_cast<double>(now) / 1000.0;
    // "All" with the list drawn.
    QElapsedTimer all;
    all.start();
    app.Main.SelectEntry(app.Main.Tree.Root(rkAll));
    desktop.Window->ListView->Current()->repaint();
    const qint64 listed = all.elapsed();
    std::printf("desktop crawl: %.2f s, %d addresses, %ld requests\n", crawl, app.Map.Count(),
                app.Main.Crawl.RequestsDone());
    std::printf("longest gap between 10 ms ticks: %lld ms, from %.2f s\n", static_cast<long long>(*longest),
                static_cast<double>(*longestAt) / 1000.0);
    std::printf("\"All\" listed %d rows in %lld ms\n", app.Main.List.Count(), static_cast<long long>(listed));
    // A click on each column header of "All", drawn: the longest sort.
    qint64 longestSort = 0;
    int longestColumn = 0;
    for (int column = 0; column < static_cast<int>(NodeListColumns().size()); ++column) {
      QElapsedTimer sort;
      sort.start();
      Q_EMIT desktop.Window->ListView->ColumnClicked(column);
      desktop.Window->ListView->Current()->repaint();
      if (sort.elapsed() > longestSort) longestSort = sort.elapsed(), longestColumn = column;
    }
    std::printf("longest sort of \"All\" by a column: %lld ms (column %d)\n", static_cast<long long>(longestSort),
                longestColumn);
    // The site's largest folder unfolded in the tree, drawn.
    const TTreeEntry* largest = nullptr;
    std::vector<const TTreeEntry*> folders{app.Main.Tree.SiteRoot()};
    while (!folders.empty()) {
      const TTreeEntry* folder = folders.back();
      folders.pop_back();
      if (!largest || folder->Count() > largest->Count()) largest = folder;
      for (int i = 0; i < folder->Count(); ++i)
        if (folder->Child(i)->HasChildren()) folders.push_back(folder->Child(i));
    }
    if (largest && largest != app.Main.Tree.SiteRoot()) {
      QElapsedTimer expand;
      expand.start();
      desktop.Window->TreeView->expand(desktop.Window->TreeModel->IndexOf(largest));
      desktop.Window->TreeView->repaint();
      std::printf("unfolding the largest folder (%d entries): %lld ms\n", largest->Count(),
                  static_cast<long long>(expand.elapsed()));
    }
    // How the window painted: plainly, or composed through the graphics stack (a web view in it).
    if (const QWindow* handle = desktop.Window->windowHandle())
      std::printf("window: %dx%d, %s\n", desktop.Window->width(), desktop.Window->height(),
                  handle->surfaceType() == QSurface::RasterSurface ? "painted plainly (raster)"
                                                                   : "composed through OpenGL");
    std::fflush(stdout);
    app.Map.Modified = false;
    desktop.Window->close();
  });
  ticks->start();
}

}  // namespace

int main(int argc, char* argv[]) {
  // The usage is printed before the application starts: it needs no display.
  for (int i = 1; i < argc; ++i)
    if (std::string_view(argv[i]) == "--help" || std::string_view(argv[i]) == "-h") {
      std::cout << "Usage: tessaly [-NoSplash] [--no-external] [--no-preview] [PROJECT.tly | ADDRESS]\n"
                   "Opens the project file, or crawls the address (a web address or a local HTML file).\n"
                   "--no-external turns \"Validate External URL's\" off for this run.\n"
                   "--no-preview starts with the preview hidden.\n";
      return 0;
    }
  gui::PrepareApplication();
  QApplication application(argc, argv);
  gui::SetupApplication(application);
  const QStringList arguments = QApplication::arguments();
  QString argument;
  bool benchmark = false;
  bool noExternal = false;
  bool noPreview = false;
  for (int i = 1; i < arguments.size(); ++i) {
    if (arguments[i] == QStringLiteral("--benchmark")) {
      benchmark = true;
      continue;
    }
    if (arguments[i] == QStringLiteral("--no-external")) {
      noExternal = true;
      continue;
    }
    if (arguments[i] == QStringLiteral("--no-preview")) {
      noPreview = true;
      continue;
    }
    // The switch "/NoSplash" or "-NoSplash" (any letter case) turns the splash off.
    if (gui::HasNoSplashSwitch({arguments[i]}) ||
        arguments[i].compare(QStringLiteral("NoSplash"), Qt::CaseInsensitive) == 0)
      continue;
    argument = arguments[i];
  }
  gui::TDesktop desktop;
  if (benchmark) desktop.App->WritesUserFiles = false;
  if (!desktop.Start()) return 1;
  if (noExternal) {
    // For this run only: the stored choice stays as it is.
    desktop.App->Main.Tree.ValidateExternalURLs = false;
    desktop.Window->Menu->MIValidateExternalURLs->setChecked(false);
  }
  if (noPreview) desktop.Window->ShowPreview(false);
  if (benchmark) {
    // A benchmark on a display may place the window, as "WIDTHxHEIGHT+X+Y" (as maximized on a
    // screen without a window manager).
    const QRegularExpressionMatch place = QRegularExpression(QStringLiteral("^(\\d+)x(\\d+)\\+(-?\\d+)\\+(-?\\d+)$"))
                                              .match(qEnvironmentVariable("TESSALY_BENCH_GEOMETRY"));
    if (place.hasMatch())
      desktop.Window->setGeometry(place.captured(3).toInt(), place.captured(4).toInt(), place.captured(1).toInt(),
                                  place.captured(2).toInt());
  }
  if (!argument.isEmpty()) desktop.Window->ShowStartPage = false;
  desktop.Window->show();
  // A crawl that a crash interrupted comes first; reopened, it stands in for the argument.
  if (!desktop.Window->OfferRecovery()) desktop.Window->OpenArgument(argument.toStdString());
  if (benchmark) Benchmark(desktop);
  return QApplication::exec();
}
