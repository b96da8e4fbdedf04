// The window on this desktop: a message when no browser can be started, and the list's small
// icons laid out without overlap.
#include <QListView>
#include <QMessageBox>
#include <QTest>

#include "DialogFixture.h"
#include "Kel/KelDialogs.h"
#include "Kel/KelTranslate.h"
#include "gui/ContextMenus.h"
#include "gui/MainMenu.h"
#include "gui/NodeListModel.h"
#include "gui/NodeListView.h"

class DesktopWordsTest : public DialogFixture {};

// "Open in New Window" on a desktop without a browser says so in a message box, with the
// document it was to show.
TEST_F(DesktopWordsTest, OpenInNewWindowWithoutABrowserShowsAMessage) {
  const std::string index = dir.Write("site/index.html", "<title>Home</title><a href='a.html'>a</a>");
  dir.Write("site/a.html", "<title>A</title>");
  OpenWindow();
  Crawl(index);
  Select(app->Main.Tree.SiteRoot());
  ASSERT_GE(window->ListModel->rowCount(), 2);
  window->ListView->Selection()->setCurrentIndex(window->ListModel->index(0, 0),
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  const std::string target = NodeOf(app->Main.List.Row(0)->Entry)->PreviewTarget();
  // The real message boxes, and a desktop whose browser cannot be found.
  qt->Services.Ask = &qt->Ask;
  std::vector<std::string> asked;
  qt->Web.Override = [&](const std::string& shown) {
    asked.push_back(shown);
    return false;
  };
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  WhenModal([&](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    EXPECT_TRUE(box);
    if (box) {
      text = box->text();
      icon = box->icon();
      box->accept();
    }
    return true;
  });
  ASSERT_TRUE(gui::InvokeMenuItem(window->Popups->LVOpenInNewWindow));
  qt->Services.Ask = &ask;
  EXPECT_EQ(asked, std::vector<std::string>{target});
  EXPECT_TRUE(text.startsWith(QStringLiteral("No web browser was found to open \"%1\".").arg(QString::fromStdString(target))))
      << text.toStdString();
  EXPECT_NE(text.indexOf(QStringLiteral("BROWSER")), -1);
  EXPECT_EQ(icon, QMessageBox::Warning);
}

// In the Small Icons view every name has its own place: no item's rectangle overlaps another's,
// whatever the length of the names, and each shows its icon and the start of its name.
TEST_F(DesktopWordsTest, SmallIconsNeverDrawNamesOverEachOther) {
  std::string links;
  const char* names[] = {"a.html", "a-rather-long-name-of-a-page-that-goes-on-and-on.html", "b.html",
                         "another-page-with-a-name-longer-than-any-column.html", "c.html", "d.html",
                         "contact.html", "x.html", "the-third-long-name-in-this-folder-of-pages.html"};
  for (const char* name : names) {
    links += std::string("<a href='") + name + "'>x</a>";
    dir.Write(std::string("site/") + name, "<title>page</title>");
  }
  const std::string index = dir.Write("site/index.html", "<title>Home</title>" + links);
  OpenWindow();
  window->resize(900, 600);
  Crawl(index);
  Select(app->Main.Tree.SiteRoot());
  const int rows = window->ListModel->rowCount();
  ASSERT_EQ(rows, 10);
  for (int pass = 0; pass < 2; ++pass) {
    // From details, and again after the large icons (whose settings must not carry over).
    if (pass == 1) window->Menu->MILargeIcons->trigger();
    window->Menu->MISmallIcons->trigger();
    QListView* view = window->ListView->Icons;
    ASSERT_EQ(window->ListView->Current(), view);
    QTest::qWait(0);
    std::vector<QRect> rects;
    for (int r = 0; r < rows; ++r) {
      const QRect rect = view->visualRect(window->ListModel->index(r, 0));
      EXPECT_TRUE(rect.isValid()) << r;
      EXPECT_LE(rect.height(), 2 * view->fontMetrics().height()) << r;
      // Room for the icon and a few letters of the name.
      EXPECT_GE(rect.width(), 16 + view->fontMetrics().horizontalAdvance(QStringLiteral("index"))) << r;
      rects.push_back(rect);
    }
    for (int a = 0; a < rows; ++a)
      for (int b = a + 1; b < rows; ++b)
        EXPECT_FALSE(rects[a].intersects(rects[b])) << pass << ": " << a << " " << b;
  }
}
