// Faults a person meets when using the window, driven with real key and mouse events.
#include <sys/stat.h>

#include <clocale>

#include <QApplication>
#include <QHeaderView>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QWindow>

#include "DialogFixture.h"
#include "app/UnitExternalTools.h"
#include "gui/ContextMenus.h"
#include "gui/FormHTTPClientView.h"
#include "gui/FormProperties.h"
#include "gui/MainMenu.h"
#include "gui/NodeListModel.h"
#include "gui/NodeListView.h"
#include "gui/SiteTreeModel.h"

class PersonTest : public DialogFixture {};

// Enter typed into the address box reaches the window through the application's key delivery,
// as a keyboard's would: the focus is on the combo box, not on its line edit.
TEST_F(PersonTest, EnterInTheAddressBoxStartsTheCrawl) {
  const std::string index = dir.Write("site/index.html", "<title>Home</title><a href='a.html'>a</a>");
  dir.Write("site/a.html", "<title>A</title>");
  OpenWindow();
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  window->EditURL->setFocus();
  ASSERT_TRUE(ServeUntil([this] { return QApplication::focusWidget() == window->EditURL; }));
  window->EditURL->lineEdit()->setText(QString::fromStdString(index));
  emit window->EditURL->lineEdit()->textEdited(window->EditURL->lineEdit()->text());
  QTest::keyClick(window->windowHandle(), Qt::Key_Return);
  ASSERT_TRUE(ServeUntil([this] { return app->Map.Count() >= 2 && app->Pool.IsIdle() && !app->Main.Busy; }));
  EXPECT_NE(Node("file://LocalHost" + dir.File("site/a.html")), nullptr);
}

// Qt appends the application display name to window titles when one is set; the program's
// titles are its own, so none is set.
TEST_F(PersonTest, WindowTitlesAreExactlyTheProgramsOwn) {
  OpenWindow();
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  EXPECT_EQ(window->windowTitle().toStdString(), "Quorlix Tessaly - [untitled.tly]");
  EXPECT_EQ(QGuiApplication::applicationDisplayName(), QGuiApplication::applicationName());
}

// Closing the Connection Status window with its close box raises the Status button.
TEST_F(PersonTest, TheStatusButtonFollowsTheStatusWindowsCloseBox) {
  OpenWindow();
  QToolButton* status = window->Menu->TBStatus;
  QTest::mouseClick(status, Qt::LeftButton);
  ASSERT_TRUE(window->FormHTTPClient->isVisible());
  EXPECT_TRUE(status->isChecked());
  window->FormHTTPClient->close();
  EXPECT_FALSE(window->FormHTTPClient->isVisible());
  EXPECT_FALSE(status->isChecked());
  EXPECT_FALSE(window->Menu->MIConnectionStatus->isChecked());
  QTest::mouseClick(status, Qt::LeftButton);
  EXPECT_TRUE(window->FormHTTPClient->isVisible());
  EXPECT_TRUE(status->isChecked());
}

// Escape ends URL Properties as Close does, with OK.
TEST_F(PersonTest, EscapeClosesURLPropertiesWithOK) {
  const std::string index = dir.Write("site/index.html", "<title>Home</title>");
  OpenWindow();
  Crawl(index);
  Select(Node("file://LocalHost" + index)->TreeNode);
  gui::TFormProperties* dialog = nullptr;
  WhenModal([&](QWidget* w) {
    dialog = dynamic_cast<gui::TFormProperties*>(w);
    EXPECT_TRUE(dialog);
    if (dialog) QTest::keyClick(dialog, Qt::Key_Escape);
    return true;
  });
  ASSERT_TRUE(gui::InvokeMenuItem(window->Popups->TVProperties));
  ASSERT_TRUE(dialog);
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
}

// The program picker of External Tools lists this system's programs (files with the execute
// bit) first, then every file.
TEST_F(PersonTest, TheProgramPickerOffersExecutablesThenAllFiles) {
  OpenWindow();
  const std::string tool = dir.Write("tools/checker", "#!/bin/sh\n");
  ::chmod(tool.c_str(), 0755);
  dir.Write("tools/notes.txt", "notes");
  dir.Write("tools/setup.exe", "MZ");
  std::vector<std::string> programs, all;
  int polls = 0;
  WhenModal([&](QWidget* w) {
    auto* dialog = qobject_cast<QFileDialog*>(w);
    EXPECT_TRUE(dialog);
    if (!dialog) return true;
    EXPECT_EQ(dialog->nameFilters().first().toStdString(), "Programs (*)");
    auto* proxy = qobject_cast<QSortFilterProxyModel*>(dialog->proxyModel());
    EXPECT_TRUE(proxy);
    if (!proxy) return true;
    auto* files = qobject_cast<QFileSystemModel*>(proxy->sourceModel());
    const QModelIndex folder = proxy->mapFromSource(files->index(QString::fromStdString(dir.File("tools"))));
    auto names = [&] {
      std::vector<std::string> out;
      for (int r = 0; r < proxy->rowCount(folder); ++r)
        out.push_back(proxy->index(r, 0, folder).data().toString().toStdString());
      std::sort(out.begin(), out.end());
      return out;
    };
    // The folder is read, and filtered again after a change of filter, in the background: each
    // step waits for its rows (for at most about ten seconds).
    if (++polls < 2000 && programs.empty()) {
      if (files->rowCount(files->index(QString::fromStdString(dir.File("tools")))) < 3) return false;
      programs = names();
      // The user picks the second filter (the dialog's combo box says so with this signal).
      const QString second = dialog->nameFilters().value(1);
      dialog->selectNameFilter(second);
      emit dialog->filterSelected(second);
      return false;
    }
    all = names();
    if (polls < 2000 && all.size() < 3) return false;
    dialog->reject();
    return true;
  });
  EXPECT_FALSE(qt->Ask.PromptOpenFile(dir.File("tools/"), TFormExternalTools::kProgramFilter, ""));
  EXPECT_EQ(programs, std::vector<std::string>({"checker"}));
  EXPECT_EQ(all, std::vector<std::string>({"checker", "notes.txt", "setup.exe"}));
}

// The standard keys, typed into the window as a keyboard would: Ctrl+N clears the map, F5
// refreshes, Alt+Left and Alt+Right move through the history, Escape stops a crawl, Ctrl+O asks
// for a project and Ctrl+Q closes the window.
TEST_F(PersonTest, TheStandardKeysRunTheirCommands) {
  const std::string index = dir.Write("site/index.html", "<title>Home</title><a href='a.html'>a</a>");
  dir.Write("site/a.html", "<title>A</title>");
  OpenWindow();
  Crawl(index);
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  QWindow* keys = window->windowHandle();
  TTreeEntry* home = Node("file://LocalHost" + index)->TreeNode;
  TTreeEntry* a = Node("file://LocalHost" + dir.File("site/a.html"))->TreeNode;
  Select(home);
  Select(a);
  window->TreeView->setFocus();
  QTest::keyClick(keys, Qt::Key_Left, Qt::AltModifier);
  EXPECT_EQ(app->Main.Selected(), home);
  QTest::keyClick(keys, Qt::Key_Right, Qt::AltModifier);
  EXPECT_EQ(app->Main.Selected(), a);
  QTest::keyClick(keys, Qt::Key_F5);
  EXPECT_EQ(app->Main.Selected(), a);

  // Ctrl+O asks for a project file (answered with Cancel here).
  ask.QueueFile(std::nullopt);
  QTest::keyClick(keys, Qt::Key_O, Qt::ControlModifier);
  EXPECT_TRUE(ask.Script.empty());

  // Ctrl+N clears the map (the unsaved crawl is given up when asked).
  ask.QueueAnswer(platform::Answer::Yes);
  QTest::keyClick(keys, Qt::Key_N, Qt::ControlModifier);
  EXPECT_EQ(app->Map.Count(), 0);

  // Ctrl+Q closes the window.
  app->Map.Modified = false;
  QTest::keyClick(keys, Qt::Key_Q, Qt::ControlModifier);
  EXPECT_TRUE(ServeUntil([this] { return !window->isVisible(); }));
}

// A click on the Name header sorts the list as a person reads it: ignoring case, an accented
// name among its base letter's names; a second click reverses the order.
TEST_F(PersonTest, ClickingTheNameHeaderSortsAccentedNamesAmongTheirNeighbours) {
  const std::string saved = std::setlocale(LC_COLLATE, nullptr);
  std::setlocale(LC_COLLATE, "C");
  const std::string index = dir.Write(
      "site/index.html", "<a href='zebra.html'>z</a><a href='%C3%89mile.html'>e</a><a href='Apple.html'>a</a>"
                         "<a href='eagle.html'>e</a>");
  for (const char* page : {"site/zebra.html", "site/\xc3\x89mile.html", "site/Apple.html", "site/eagle.html"})
    dir.Write(page, "<title>page</title>");
  OpenWindow();
  Crawl(index);
  Select(app->Main.Tree.SiteRoot());
  auto names = [this] {
    std::vector<std::string> out;
    for (int i = 0; i < window->ListModel->rowCount(); ++i)
      out.push_back(window->ListModel->index(i, lcName).data().toString().toStdString());
    return out;
  };
  QHeaderView* header = window->ListView->Details->header();
  const QPoint name(header->sectionViewportPosition(lcName) + 5, header->height() / 2);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, name);
  const std::vector<std::string> ascending = {"Apple.html", "eagle.html", "\xc3\x89mile.html", "index.html",
                                              "zebra.html"};
  EXPECT_EQ(names(), ascending);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, name);
  EXPECT_EQ(names(), std::vector<std::string>(ascending.rbegin(), ascending.rend()));
  std::setlocale(LC_COLLATE, saved.c_str());
}
