#include "gui/ScreenshotsDialogs.h"

#include <QApplication>
#include <QLineEdit>
#include <QElapsedTimer>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <QWebEngineView>
#include <functional>
#include <iostream>

#include "Kel/KelFiles.h"
#include "app/Application.h"
#include "app/SpiderTools.h"
#include "app/UnitDownload.h"
#include "gui/Application.h"
#include "gui/ContextMenus.h"
#include "gui/FormAbout.h"
#include "gui/FormExternalToolsView.h"
#include "gui/FormHTTPSettingsView.h"
#include "gui/FormProperties.h"
#include "gui/FormSpellingView.h"
#include "gui/FormTransfer.h"
#include "gui/MainMenu.h"
#include "gui/SiteTreeModel.h"
#include "gui/Translator.h"
#include "Kel/KelDialogs.h"
#include "Kel/KelTranslate.h"
#include <QMenu>

namespace gui {

namespace {

void Settle(int ms = 300) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool Shoot(QWidget* window, const QString& file) {
  QPixmap picture;
  if (QGuiApplication::platformName() == QStringLiteral("xcb") && QGuiApplication::primaryScreen()) {
    const QRect frame = window->frameGeometry();
    picture = QGuiApplication::primaryScreen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
  } else {
    picture = window->grab();
  }
  const bool ok = picture.save(file);
  std::cout << (ok ? "wrote " : "could not write ") << file.toStdString() << "\n";
  return ok;
}

// Runs `open` (which shows a modal dialog); once the dialog is up, `ready` decides when to take
// the picture, then `close` ends the dialog.
void ShootModal(const QString& file, const std::function<void()>& open, const std::function<bool(QWidget*)>& ready,
                const std::function<void(QWidget*)>& close, QWidget* dialog = nullptr) {
  auto* timer = new QTimer(qApp);
  timer->setInterval(50);
  QElapsedTimer waited;
  waited.start();
  QObject::connect(timer, &QTimer::timeout, timer, [=]() mutable {
    QWidget* modal = dialog ? dialog : QApplication::activeModalWidget();
    if (!modal || !modal->isVisible()) return;
    if (!ready(modal) && waited.elapsed() < 8000) return;
    timer->stop();
    Settle(400);
    Shoot(modal, file);
    close(modal);
    timer->deleteLater();
  });
  timer->start();
  open();
}

}  // namespace

void ShootDialogs(TDesktop& desktop, const QString& out) {
  TFormTessalyView& w = *desktop.Window;
  TTessalyApp& app = *desktop.App;
  TFormTessaly& main = app.Main;
  auto always = [](QWidget*) { return true; };

  // URL Properties of a page that others link to.
  TSpiderNode* shown = nullptr;
  for (const auto& n : app.Map.Nodes())
    if (n->IsHTML() && n->Referers.size() >= 2 && (!shown || n->Referers.size() > shown->Referers.size()))
      shown = n.get();
  if (shown) {
    main.SelectEntry(shown->TreeNode);
    ShootModal(
        out + "/10-url-properties.png", [&] { InvokeMenuItem(w.Popups->TVProperties); }, always,
        [](QWidget* d) { static_cast<QDialog*>(d)->accept(); });
  }

  // External Tools, with an editor set up and the focused field painted yellow.
  app.ExternalTools.Edit[1] = "/usr/bin/bluefish";
  app.ExternalTools.Edit[6] = "/usr/bin/gimp";
  app.ExternalTools.FocusedField = 1;
  ShootModal(
      out + "/11-external-tools.png", [&] { w.FormExternalTools->ShowModal(); }, always,
      [](QWidget* d) { static_cast<QDialog*>(d)->reject(); });

  // HTTP Settings with a proxy filled in.
  ShootModal(
      out + "/12-http-settings.png",
      [&] {
        w.FormHTTPSettings->Settings.Run([&](TFormHTTPSettings& s) {
          s.EditServer.Text = "proxy.example.com";
          s.EditPort.Text = "3128";
          s.EditUsername.Text = "mapper";
          s.EditPassword.Text = "secret";
          w.FormHTTPSettings->ShowValues();
          w.FormHTTPSettings->exec();
          return false;
        });
      },
      always, [](QWidget* d) { static_cast<QDialog*>(d)->reject(); });
  app.HTTPSettings.Restore();
  app.HTTPSettings.Changed();

  // The spelling dialog on a page of the demo site, its first unknown word highlighted.
  TSpiderNode* misspelled = nullptr;
  for (const auto& n : app.Map.Nodes())
    if (n->SpellingErrors > 0 && !n->LocalFileName().empty()) misspelled = n.get();
  if (misspelled) {
    std::string text = LoadTextFromFile(misspelled->LocalFileName());
    TFormSpellingView* view = w.FormSpelling;
    ShootModal(
        out + "/13-spelling.png", [&] { app.Spelling.CheckText(text, misspelled->LocalFileName()); },
        [view](QWidget*) {
          return !view->EditNotInDictionary->text().isEmpty() &&
                 (!view->WebBrowser || view->WebBrowser->url().fragment() == QStringLiteral("idFocus"));
        },
        [&app](QWidget*) { app.Spelling.ButtonCancelClick(); }, view);
  }

  // The download window in the middle of a transfer.
  TFormTransfer& transfer = desktop.Qt->Transfer;
  transfer.SetCaption(FormatText("Downloading %s", "http://www.example.com/docs/manual.pdf"));
  transfer.SetStatus(DownloadStatusText("http://www.example.com/docs/manual.pdf"));
  transfer.SetRange(100);
  transfer.SetPosition(42);
  transfer.SetProgressText(FormatText("%lld of %lld bytes completed.", 430080LL, 1024000LL));
  transfer.SetButtonCaption("Cancel");
  transfer.SetAnimation(true);
  transfer.show();
  transfer.move(w.geometry().center() - transfer.rect().center());
  Settle(500);
  transfer.Animate->Frame = 9;  // the sheet half-way
  transfer.Animate->repaint();
  Shoot(&transfer, out + "/14-download-progress.png");
  transfer.SetAnimation(false);
  transfer.hide();

  // The tree's context menu on a page.
  if (shown) {
    main.SelectEntry(shown->TreeNode);
    QMenu* menu = w.Popups->PMTreeView;
    const QRect item = w.TreeView->visualRect(w.TreeModel->IndexOf(shown->TreeNode));
    menu->popup(w.TreeView->viewport()->mapToGlobal(item.center()));
    Settle(400);
    Shoot(menu, out + "/16-tree-menu.png");
    menu->hide();
  }

  // The login question of a site that answered 401, on a desktop without a keyring service.
  ShootModal(
      out + "/18-login.png", [&] { desktop.Qt->Ask.AskLogin("https://staging.example.com", "Staff only", false); },
      always, [](QWidget* d) { static_cast<QDialog*>(d)->reject(); });

  // The About box.
  ShootModal(
      out + "/15-about.png", [&] { InvokeMenuItem(w.Menu->MIAbout); }, always,
      [](QWidget* d) { static_cast<QDialog*>(d)->accept(); });

  // The main window in German, from the example translations shipped beside the program.
  TTranslationStore german;
  if (german.LoadFromFile(AppFolderFile(app.Services, "lang.de.txt"))) {
    TranslateComponent(&w, german);
    Settle(300);
    Shoot(&w, out + "/17-german.png");
  }
}

}  // namespace gui
