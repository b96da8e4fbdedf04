// At twice the scale on a small screen every window opens inside the screen's available area:
// the main window with Start and the status bar, URL Properties with Close, and the dialogs.
#include <QAbstractButton>
#include <QAction>
#include <QDialog>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "../guidialogs/DialogFixture.h"
#include "gui/FormHTTPClientView.h"
#include "gui/MainMenu.h"
#include "gui/StatusPanels.h"

namespace {

class ScaledWindowsTest : public DialogFixture {
 protected:
  static QRect Area() { return QGuiApplication::primaryScreen()->availableGeometry(); }
  // The window lies inside the screen's available area, and so does each of `parts`.
  static void ExpectInside(QWidget* window, std::initializer_list<QWidget*> parts = {}) {
    SCOPED_TRACE(window->objectName().toStdString());
    const QRect area = Area();
    EXPECT_TRUE(area.contains(window->frameGeometry()))
        << "frame " << window->frameGeometry().width() << "x" << window->frameGeometry().height() << "+"
        << window->frameGeometry().x() << "+" << window->frameGeometry().y() << " on " << area.width() << "x"
        << area.height();
    for (QWidget* part : parts) {
      ASSERT_TRUE(part);
      const QRect onScreen(part->mapToGlobal(QPoint(0, 0)), part->size());
      EXPECT_TRUE(area.contains(onScreen)) << part->objectName().toStdString();
      EXPECT_TRUE(part->isVisible()) << part->objectName().toStdString();
    }
  }
  // Opens a modal dialog by `open`, checks it lies inside the screen with its buttons, closes it.
  void ExpectDialogInside(const std::function<void()>& open) {
    bool seen = false;
    WhenModal([&](QWidget* w) {
      seen = true;
      std::vector<QWidget*> buttons;
      for (QAbstractButton* b : w->findChildren<QAbstractButton*>())
        if (b->isVisible() && qobject_cast<QPushButton*>(b)) buttons.push_back(b);
      ExpectInside(w);
      for (QWidget* b : buttons) ExpectInside(w, {b});
      static_cast<QDialog*>(w)->reject();
      return true;
    });
    open();
    EXPECT_TRUE(seen);
  }
};

TEST_F(ScaledWindowsTest, TheScreenIsSmallAtThisScale) {
  EXPECT_EQ(QGuiApplication::primaryScreen()->devicePixelRatio(), 2.0);
  EXPECT_EQ(Area().size(), QSize(700, 475));
}

TEST_F(ScaledWindowsTest, TheMainWindowFitsWithStartAndTheStatusBar) {
  OpenWindow();
  ExpectInside(window.get(), {window->ButtonSpider, window->StatusBar});
  // Moved off the screen and shown again, it comes back inside.
  window->hide();
  window->move(500, 400);
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  ExpectInside(window.get(), {window->ButtonSpider, window->StatusBar});
}

TEST_F(ScaledWindowsTest, URLPropertiesAndTheDialogsFitWithTheirButtons) {
  OpenWindow();
  const std::string page = dir.Write("site/index.html", "<title>Home</title><a href='gone.html'>gone</a>");
  Crawl(page);
  TSpiderNode* home = Node("file://LocalHost" + page);
  ASSERT_TRUE(home);
  {
    SCOPED_TRACE("URL Properties");
    ExpectDialogInside([&] { window->ShowProperties(home); });
  }
  for (QAction* item : {window->Menu->MIHTTPSettings, window->Menu->MICrawlSettings,
                        window->Menu->MISetupExternalTools}) {
    SCOPED_TRACE(item->objectName().toStdString());
    ExpectDialogInside([&] { gui::InvokeMenuItem(item); });
  }
  {
    SCOPED_TRACE("About");
    ExpectDialogInside([&] { window->ShowAbout(); });
  }
  window->FormHTTPClient->ShowWindow();
  ExpectInside(window->FormHTTPClient);
}

}  // namespace
