// The Qt platform: filters and start names of the file dialogs, the message boxes as a person
// sees them, the progress window, the file-name dialog, the hand-over from worker threads, and
// the names every widget carries.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <QScreen>
#include <QToolBar>
#include <filesystem>
#include <thread>

#include "Dialogs/UnitProgress.h"
#include "GuiFixture.h"
#include "gui/FormHTTPClientView.h"
#include "gui/FormProgress.h"
#include "gui/FormSelectFileName.h"
#include "gui/MainMenu.h"
#include "gui/QtPrompter.h"
#include "gui/QtUiThread.h"

namespace {

// Runs `answer` on the next modal window that opens.
void OnNextModal(std::function<void(QWidget*)> answer) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, answer] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      timer->stop();
      timer->deleteLater();
      answer(modal);
    }
  });
  timer->start();
}

TEST(QtPlatformTest, FiltersBecomeQtFilters) {
  struct Case {
    const char* Filter;
    const char* Qt;
  };
  for (const Case& c : std::vector<Case>{
           {"Tessaly Projects (*.tly)|*.tly;*.htm;*.html|", "Tessaly Projects (*.tly *.htm *.html)"},
           {"HTML Files (*.htm)|*.htm;*.html;*.shtml;*.asp|All Files (*.*)|*.*|",
            "HTML Files (*.htm *.html *.shtml *.asp);;All Files (*)"},
           {"Text|*.txt|", "Text (*.txt)"},
           {"", ""},
       }) {
    EXPECT_EQ(gui::QtFilterOf(c.Filter).toStdString(), c.Qt) << c.Filter;
  }
}

TEST(QtPlatformTest, StartNamesOfTheFileDialogs) {
  struct Case {
    const char* Given;
    const char* Folder;
    const char* Name;
  };
  for (const Case& c : std::vector<Case>{{"/home/user/site.tly", "/home/user", "site.tly"},
                                         {"untitled.tly", "", "untitled.tly"},
                                         {"/tmp/a|b<c>.tly", "/tmp", "abc.tly"},
                                         {"/tmp/..", "/tmp", ""},
                                         {"", "", ""}}) {
    const gui::StartName s = gui::StartNameOf(c.Given);
    EXPECT_EQ(s.Folder.toStdString(), c.Folder) << c.Given;
    EXPECT_EQ(s.Name.toStdString(), c.Name) << c.Given;
  }
  EXPECT_EQ(gui::MessageText("a\r\rb\r\nc"), QStringLiteral("a\n\nb\nc"));
}

TEST(QtPlatformTest, MessageBoxesCarryTheTitleTheLinesAndTheButtons) {
  gui::QtPrompter prompter;
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  int buttons = 0;
  OnNextModal([&](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr);
    title = box->windowTitle();
    text = box->text();
    icon = box->icon();
    buttons = static_cast<int>(box->buttons().size());
    box->button(QMessageBox::Cancel)->click();
  });
  EXPECT_EQ(prompter.AskYesNoCancel("The file \"x\" has been changed.\r\rSave?"), platform::Answer::Cancel);
  EXPECT_EQ(title, QStringLiteral("Quorlix Tessaly"));
  EXPECT_EQ(text, QStringLiteral("The file \"x\" has been changed.\n\nSave?"));
  EXPECT_EQ(icon, QMessageBox::Warning);
  EXPECT_EQ(buttons, 3);
  OnNextModal([](QWidget* w) { qobject_cast<QMessageBox*>(w)->button(QMessageBox::Yes)->click(); });
  EXPECT_TRUE(prompter.AskYesNo("Connect?"));
  OnNextModal([](QWidget* w) { qobject_cast<QMessageBox*>(w)->button(QMessageBox::No)->click(); });
  EXPECT_FALSE(prompter.AskYesNo("Connect?"));
}

TEST(QtPlatformTest, FileNameDialogEnablesOKForANameOnly) {
  gui::QtPrompter prompter;
  gui::TFormSelectFileName dialog(prompter);
  bool emptyDisabled = false, blanksDisabled = false, nameEnabled = false;
  OnNextModal([&](QWidget* w) {
    auto* d = qobject_cast<gui::TFormSelectFileName*>(w);
    emptyDisabled = !d->ButtonOK->isEnabled();
    d->EditFileName->setText(QStringLiteral("   "));
    blanksDisabled = !d->ButtonOK->isEnabled();
    d->EditFileName->setText(QStringLiteral(" page.html"));
    nameEnabled = d->ButtonOK->isEnabled();
    d->ButtonOK->click();
  });
  EXPECT_EQ(dialog.Ask("Select Local File Name", ""), std::optional<std::string>(" page.html"));
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Select Local File Name"));
  EXPECT_TRUE(emptyDisabled);
  EXPECT_TRUE(blanksDisabled);
  EXPECT_TRUE(nameEnabled);
  OnNextModal([](QWidget* w) { qobject_cast<gui::TFormSelectFileName*>(w)->ButtonCancel->click(); });
  EXPECT_EQ(dialog.Ask("Select Local File Name", "a.html"), std::nullopt);
}

TEST(QtPlatformTest, ProgressWindowRunsTheJobAndShowsThePercentage) {
  platform::FixedNetwork net;
  TempDir dir;
  platform::FixedPaths paths(dir.Str());
  gui::QtServices qt(net, paths);
  TFormProgress progress(qt.Services);
  QString shown;
  bool visible = false;
  const bool ok = progress.Run([&](TFormProgress& p) {
    visible = qt.Progress.isVisible();
    p.SetMessage("Loading");
    p.SetRange(8);
    p.SetPosition(3);
    shown = qt.Progress.LabelPercent->text();
    p.SetPosition(12);  // beyond the range
  });
  EXPECT_TRUE(ok);
  EXPECT_TRUE(visible);
  EXPECT_EQ(shown, QStringLiteral("38% Done."));
  EXPECT_EQ(qt.Progress.LabelPercent->text(), QStringLiteral("150% Done."));
  EXPECT_EQ(qt.Progress.LabelMessage->text(), QStringLiteral("Loading"));
  EXPECT_FALSE(qt.Progress.isVisible());
  EXPECT_TRUE(qt.Progress.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(qt.Progress.windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST(QtPlatformTest, HandOverRunsWorkOnTheUserInterfaceThreadInOrder) {
  gui::QtUiThread ui;
  EXPECT_TRUE(ui.IsUiThread());
  std::vector<int> order;
  bool workerSawUiThread = false;
  std::atomic<bool> done{false};
  std::string caught;
  std::thread worker([&] {
    ui.Post([&] { order.push_back(1); });
    ui.Synchronize([&] {
      order.push_back(2);
      workerSawUiThread = ui.IsUiThread();
    });
    try {
      ui.Synchronize([] { throw std::runtime_error("failed on the UI thread"); });
    } catch (const std::exception& e) {
      caught = e.what();
    }
    done = true;
  });
  ASSERT_TRUE(ServeUntil([&] { return done.load(); }));
  worker.join();
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
  EXPECT_TRUE(workerSawUiThread);
  EXPECT_EQ(caught, "failed on the UI thread");
}

TEST(QtPlatformTest, TheBusySweepIsDarkAtTheEdgesAndLightAtItsPosition) {
  const QColor dark(64, 64, 64), light(224, 224, 224);
  struct Case {
    int Width, Position, LightX;
  };
  for (const Case& c : std::vector<Case>{{100, 50, 50}, {60, 54, 32}, {300, 10, 30}, {300, 90, 270}}) {
    QImage image(c.Width, 10, QImage::Format_RGB32);
    image.fill(Qt::red);
    QPainter painter(&image);
    gui::TStatusPanels::PaintBusy(painter, image.rect(), c.Position, dark, light);
    painter.end();
    SCOPED_TRACE(c.Width * 1000 + c.Position);
    EXPECT_EQ(QColor(image.pixel(0, 5)), dark);
    EXPECT_EQ(QColor(image.pixel(c.LightX, 5)), light);
    EXPECT_EQ(QColor(image.pixel(c.Width - 1, 5)), dark);
    for (int x = 0; x < c.Width; ++x) ASSERT_NE(QColor(image.pixel(x, 5)), QColor(Qt::red)) << x;  // all filled
  }
}

class NamesTest : public GuiFixture {};

TEST_F(NamesTest, EveryWidgetAndItemCarriesItsNameAndCaption) {
  for (const char* name :
       {"ToolBar",  "EditURL",         "ButtonBrowse", "ButtonSpider", "PanelTreeView", "TreeView",  "PanelPath",
        "ListView", "PanelWebBrowser", "PanelTitle",   "WebBrowser",   "StatusBar",     "TBNew",     "TBOpen",
        "TBSave",   "TBBack",          "TBForward",    "TBUpOneLevel", "TBRefresh",     "TBFolders", "TBViews",
        "TBStatus", "TBPreview",       "TBEditFile",   "TBSpelling"}) {
    auto* w = window->findChild<QWidget*>(QString::fromLatin1(name));
    ASSERT_NE(w, nullptr) << name;
    EXPECT_FALSE(w->accessibleName().isEmpty()) << name;
  }
  for (const char* name : {"MINew",
                           "MIOpen",
                           "MISave",
                           "MISaveAs",
                           "MISpiderLocalURL",
                           "MIValidateExternalURLs",
                           "MIHTTPSettings",
                           "MISetupExternalTools",
                           "MIExit",
                           "MIUndo",
                           "MICut",
                           "MICopy",
                           "MIPaste",
                           "MISelectAll",
                           "MIEditFile",
                           "MISpelling",
                           "MIExportAsHTMLList",
                           "MIExportAsDHTMLTree",
                           "MIExportAsDHTMLTreeFramed",
                           "MIExportAsXMLFile",
                           "MIExportFolderAsTXTFile",
                           "MIExportAsCSVFile",
                           "MIExportSitemap",
                           "MIExportJSONReport",
                           "MILargeIcons",
                           "MISmallIcons",
                           "MIList",
                           "MIDetail",
                           "MIConnectionStatus",
                           "MIViewFolders",
                           "MIWebBrowser",
                           "MIStatusBar",
                           "MIBack",
                           "MIForward",
                           "MIUpOneLevel",
                           "MIRefresh",
                           "MIAbout",
                           "PILargeIcons",
                           "PISmallIcons",
                           "PIList",
                           "PIDetails"}) {
    auto* a = window->findChild<QAction*>(QString::fromLatin1(name));
    ASSERT_NE(a, nullptr) << name;
    EXPECT_FALSE(a->text().isEmpty()) << name;
  }
  for (const char* name : {"MIFile", "MIEdit", "MIExport", "MIView", "MIGoTo", "MIHelp", "PMBack", "PMForward"})
    EXPECT_NE(window->findChild<QMenu*>(QString::fromLatin1(name)), nullptr) << name;
  for (const char* name : {"ListView", "ButtonSuspend", "ButtonTerminate", "LabelActive", "LabelPending", "StatusBar"})
    EXPECT_NE(window->FormHTTPClient->findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
  EXPECT_EQ(window->Menu->MIDetail->text(), QStringLiteral("Details"));
  EXPECT_EQ(window->Menu->TBBack->toolTip(), QStringLiteral("Go Back"));
  EXPECT_EQ(window->Menu->ToolBar->iconSize(), QSize(24, 24));
}

TEST_F(NamesTest, InvokeMenuItemActsOnFreshEnablingRules) {
  // The Go To menu takes the buttons' state when it opens: Back is disabled after a reset.
  window->Menu->MIBack->setEnabled(true);
  EXPECT_FALSE(gui::InvokeMenuItem(window->Menu->MIBack));
  EXPECT_FALSE(window->Menu->MIBack->isEnabled());
  EXPECT_FALSE(gui::InvokeMenuItem(window->Menu->MILargeIcons));  // hidden
  // Edit without a command of its own tells so.
  QTest::mouseClick(window->Menu->TBEditFile, Qt::LeftButton);
  EXPECT_EQ(ask.TextsOf("Inform"), (std::vector<std::string>{"Current selection can not be edited."}));
}

TEST_F(NamesTest, TheStatusWindowSitsAtTheBottomRightOfTheWorkArea) {
  window->Menu->MIConnectionStatus->trigger();
  ASSERT_TRUE(window->FormHTTPClient->isVisible());
  EXPECT_TRUE(window->FormHTTPClient->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(window->FormHTTPClient->windowTitle(), QStringLiteral("Connection Status"));
  const QRect area = window->FormHTTPClient->screen()->availableGeometry();
  EXPECT_EQ(window->FormHTTPClient->frameGeometry().right(), area.right());
  EXPECT_EQ(window->FormHTTPClient->frameGeometry().bottom(), area.bottom());
  EXPECT_EQ(window->FormHTTPClient->StatusBar->text(), QStringLiteral("Active Threads: 0  Total Threads: 0"));
  window->Menu->MIConnectionStatus->trigger();
  EXPECT_FALSE(window->FormHTTPClient->isVisible());
}

}  // namespace

namespace {

class TransferTest : public GuiFixture {};

TEST_F(TransferTest, ADownloadRunsBehindTheModalWindowAndWritesTheFile) {
  TestServer site;
  TestGate gate;  // the answer waits until the window has been seen
  site.Http().Get("/doc.html", [&gate](const httplib::Request&, httplib::Response& res) {
    gate.Wait();
    res.set_content(std::string(20000, 'd'), "text/html");
  });
  site.Start();
  bool shown = false;
  QString caption;
  QTimer watch;
  watch.setInterval(5);
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (qt->Transfer.isVisible() && !shown) {
      shown = true;
      caption = qt->Transfer.windowTitle();
      gate.Open();
    }
  });
  watch.start();
  const std::string target = dir.File("local/doc.html");
  std::filesystem::create_directories(dir.File("local"));
  EXPECT_TRUE(app->HTTPCopy.Execute(target, site.URL("/doc.html"), "Saving"));
  watch.stop();
  gate.Open();
  EXPECT_TRUE(shown);
  EXPECT_EQ(caption.toStdString(), "Downloading " + site.URL("/doc.html"));
  EXPECT_FALSE(qt->Transfer.isVisible());
  EXPECT_EQ(std::filesystem::file_size(target), 20000u);
}

TEST_F(TransferTest, EscapeAsksTheLogicToStopInsteadOfClosing) {
  int asked = 0;
  qt->Transfer.OnCancel = [&] {
    ++asked;
    qt->Transfer.Close(platform::ModalResult::Cancel);
  };
  const platform::ModalResult result = qt->Transfer.RunModal([&] { QTest::keyClick(&qt->Transfer, Qt::Key_Escape); });
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(result, platform::ModalResult::Cancel);
}

}  // namespace
