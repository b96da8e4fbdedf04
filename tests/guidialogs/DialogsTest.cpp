// Each dialog's values kept in Settings.ini and their effect; the properties dialog; the
// download window's Cancel; the spelling dialog's buttons; translation of the windows.
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>

#include "DialogFixture.h"
#include "Kel/KelIni.h"
#include "app/SpiderTools.h"
#include "app/UnitExternalTools.h"
#include "gui/ContextMenus.h"
#include "gui/FormCrawlSettingsView.h"
#include "gui/FormExternalToolsView.h"
#include "gui/FormHTTPSettingsView.h"
#include "gui/FormProperties.h"
#include "gui/FormSpellingView.h"
#include "gui/FormTransfer.h"
#include "gui/MainMenu.h"
#include "gui/SiteTreeModel.h"
#include "support/TestServer.h"

namespace {

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class DialogsTest : public DialogFixture {};

TEST_F(DialogsTest, HTTPSettingsAreStoredOnOKAndTheProxyCarriesTheNextCrawl) {
  TestServer proxy;
  std::vector<std::string> targets;
  std::mutex mutex;
  proxy.Http().Get(".*", [&](const httplib::Request& req, httplib::Response& res) {
    std::lock_guard lock(mutex);
    targets.push_back(req.target);
    res.set_content("<title>Via proxy</title>", "text/html");
  });
  proxy.Start();
  OpenWindow();
  WhenModal([&](QWidget* w) {
    auto* view = dynamic_cast<gui::TFormHTTPSettingsView*>(w);
    EXPECT_TRUE(view);
    if (!view) return true;
    view->EditServer->setText("127.0.0.1");
    view->EditPort->setValue(proxy.Port());
    view->EditUsername->setText("user");
    view->EditBasicAuth->setChecked(true);
    view->ButtonOK->click();
    return true;
  });
  ASSERT_TRUE(gui::InvokeMenuItem(window->Menu->MIHTTPSettings));
  TIniFile settings(paths.App + "/Settings.ini");
  EXPECT_EQ(settings.ReadString("FormHTTPSettings", "EditServer.Text", "?"), "127.0.0.1");
  EXPECT_EQ(settings.ReadString("FormHTTPSettings", "EditPort.Text", "?"), std::to_string(proxy.Port()));
  EXPECT_EQ(settings.ReadString("FormHTTPSettings", "EditUsername.Text", "?"), "user");
  EXPECT_TRUE(settings.ReadBool("FormHTTPSettings", "EditBasicAuth.Checked", false));
  // The limits' page was not touched: the stored texts stay as they were.
  EXPECT_EQ(settings.ReadString("FormHTTPSettings", "EditTimeout.Text", "?"), "60");
  EXPECT_EQ(settings.ReadString("FormHTTPSettings", "EditMaxPageSize.Text", "?"), "33554432");
  // The origin does not exist: only the proxy can answer.
  Crawl("http://origin.invalid/");
  {
    std::lock_guard lock(mutex);
    ASSERT_FALSE(targets.empty());
    EXPECT_EQ(targets.front(), "http://origin.invalid/");
  }
  EXPECT_EQ(Node("http://origin.invalid/")->Title(), "Via proxy");

  // Cancel stores nothing; the next showing restores the stored server.
  WhenModal([&](QWidget* w) {
    auto* view = static_cast<gui::TFormHTTPSettingsView*>(w);
    view->EditServer->end(false);
    QTest::keyClicks(view->EditServer, "x");
    view->ButtonCancel->click();
    return true;
  });
  gui::InvokeMenuItem(window->Menu->MIHTTPSettings);
  EXPECT_EQ(app->HTTPSettings.Values().Server, "127.0.0.1x");  // in force until the next showing
  settings.Reload();
  EXPECT_EQ(settings.ReadString("FormHTTPSettings", "EditServer.Text", "?"), "127.0.0.1");
  WhenModal([&](QWidget* w) {
    auto* view = static_cast<gui::TFormHTTPSettingsView*>(w);
    EXPECT_EQ(view->EditServer->text().toStdString(), "127.0.0.1");
    view->ButtonCancel->click();
    return true;
  });
  gui::InvokeMenuItem(window->Menu->MIHTTPSettings);
}

TEST_F(DialogsTest, CrawlSettingsAreStoredOnOKAndRuleTheNextCrawl) {
  TestServer site;
  std::vector<std::string> requested;
  std::mutex mutex;
  site.Http().Get(".*", [&](const httplib::Request& req, httplib::Response& res) {
    {
      std::lock_guard lock(mutex);
      requested.push_back(req.path + " " + req.get_header_value("X-Token"));
    }
    res.set_content("<a href='/skip/a.html'>a</a><a href='/b.html'>b</a>", "text/html");
  });
  site.Start();
  OpenWindow();
  // A pattern that does not compile is named, and the dialog shows again with the edits.
  QString refused;
  WhenModal([&](QWidget* w) {
    auto* view = dynamic_cast<gui::TFormCrawlSettingsView*>(w);
    EXPECT_TRUE(view);
    if (!view) return true;
    EXPECT_FALSE(view->EditObeyRobots->isChecked());
    EXPECT_FALSE(view->EditUseSitemap->isChecked());
    EXPECT_TRUE(view->EditRetry->isChecked());
    view->EditExclude->setPlainText("(unclosed");
    WhenModal([&](QWidget* box) {
      auto* message = qobject_cast<QMessageBox*>(box);
      EXPECT_TRUE(message);
      if (!message) return true;
      refused = message->text();
      WhenModal([&](QWidget* again) {
        auto* same = static_cast<gui::TFormCrawlSettingsView*>(again);
        EXPECT_EQ(same->EditExclude->toPlainText(), "(unclosed");
        same->EditExclude->setPlainText("/skip/");
        same->EditHeaders->setPlainText("X-Token: t1");
        same->EditUseSitemap->setChecked(true);
        same->ButtonOK->click();
        return true;
      });
      message->accept();
      return true;
    });
    view->ButtonOK->click();
    return true;
  });
  ASSERT_TRUE(gui::InvokeMenuItem(window->Menu->MICrawlSettings));
  EXPECT_TRUE(refused.startsWith("Exclude patterns")) << refused.toStdString();
  TIniFile settings(paths.App + "/Settings.ini");
  EXPECT_EQ(settings.ReadString("FormCrawlSettings", "EditExclude.Text", "?"), "/skip/");
  EXPECT_EQ(settings.ReadString("FormCrawlSettings", "EditHeaders.Text", "?"), "X-Token: t1");
  EXPECT_TRUE(settings.ReadBool("FormCrawlSettings", "EditUseSitemap.Checked", false));
  Crawl(site.URL("/"));
  std::lock_guard lock(mutex);
  ASSERT_FALSE(requested.empty());
  EXPECT_NE(std::find(requested.begin(), requested.end(), "/sitemap.xml t1"), requested.end());
  for (const std::string& p : requested) {
    EXPECT_EQ(p.find("/skip/"), std::string::npos) << p;
    EXPECT_NE(p.find(" t1"), std::string::npos) << p;
  }
  ASSERT_NE(Node(site.URL("/skip/a.html")), nullptr);
  EXPECT_EQ(Node(site.URL("/skip/a.html"))->ResponseText, "Excluded");
}

TEST_F(DialogsTest, TheLimitsPageStoresTheTimeLimitAndThePageLimitInForceAtOnce) {
  OpenWindow();
  WhenModal([&](QWidget* w) {
    auto* view = static_cast<gui::TFormHTTPSettingsView*>(w);
    EXPECT_DOUBLE_EQ(view->EditTimeout->value(), 60);
    EXPECT_DOUBLE_EQ(view->EditMaxPageSize->value(), 32);
    view->EditTimeout->setValue(2.5);
    view->EditMaxPageSize->setValue(1);
    view->ButtonOK->click();
    return true;
  });
  ASSERT_TRUE(gui::InvokeMenuItem(window->Menu->MIHTTPSettings));
  TIniFile settings(paths.App + "/Settings.ini");
  EXPECT_EQ(settings.ReadString("FormHTTPSettings", "EditTimeout.Text", "?"), "2.5");
  EXPECT_EQ(settings.ReadString("FormHTTPSettings", "EditMaxPageSize.Text", "?"), "1048576");
  EXPECT_EQ(app->HTTPSettings.Values().Timeout, "2.5");
  EXPECT_EQ(app->HTTPSettings.Values().MaxPageSize, "1048576");
}

TEST_F(DialogsTest, TheNoProxyFieldIsStoredAndInForceAtOnce) {
  OpenWindow();
  WhenModal([&](QWidget* w) {
    auto* view = static_cast<gui::TFormHTTPSettingsView*>(w);
    EXPECT_TRUE(view->EditNoProxy->text().isEmpty());
    QTest::keyClicks(view->EditNoProxy, ".intra.example, 10.0.0.0/8");
    view->ButtonOK->click();
    return true;
  });
  ASSERT_TRUE(gui::InvokeMenuItem(window->Menu->MIHTTPSettings));
  TIniFile settings(paths.App + "/Settings.ini");
  EXPECT_EQ(settings.ReadString("FormHTTPSettings", "EditNoProxy.Text", "?"), ".intra.example, 10.0.0.0/8");
  EXPECT_EQ(app->HTTPSettings.Values().NoProxy, ".intra.example, 10.0.0.0/8");
  WhenModal([&](QWidget* w) {
    auto* view = static_cast<gui::TFormHTTPSettingsView*>(w);
    EXPECT_EQ(view->EditNoProxy->text().toStdString(), ".intra.example, 10.0.0.0/8");
    view->ButtonCancel->click();
    return true;
  });
  gui::InvokeMenuItem(window->Menu->MIHTTPSettings);
}

TEST_F(DialogsTest, ExternalToolsAreKeptAndEditAsksForAMissingTool) {
  OpenWindow();
  const std::string editor = dir.Write("bin/editor", "#!/bin/sh\n");
  WhenModal([&](QWidget* w) {
    auto* view = dynamic_cast<gui::TFormExternalToolsView*>(w);
    EXPECT_TRUE(view);
    if (!view) return true;
    const char* browser = std::getenv("BROWSER");
    const char* path = std::getenv("PATH");
    EXPECT_EQ(view->Edit[2]->text().toStdString(), DesktopBrowser(browser ? browser : "", path ? path : ""));
    EXPECT_EQ(view->Edit[2]->text().indexOf(QStringLiteral(".exe")), -1);
    view->Edit[6]->setText("/opt/images");
    view->ButtonOK->click();
    return true;
  });
  ASSERT_TRUE(gui::InvokeMenuItem(window->Menu->MISetupExternalTools));
  TIniFile settings(paths.App + "/Settings.ini");
  EXPECT_EQ(settings.ReadString("FormExternalTools", "Edit6.Text", "?"), "/opt/images");
  WhenModal([&](QWidget* w) {
    auto* view = static_cast<gui::TFormExternalToolsView*>(w);
    view->Edit[6]->setText("typed over");
    view->ButtonCancel->click();
    return true;
  });
  gui::InvokeMenuItem(window->Menu->MISetupExternalTools);
  EXPECT_EQ(app->ExternalTools.Edit[6], "/opt/images");

  // Edit on a page while no HTML editor is set: the question, then the dialog with that field
  // focused; the editor chosen there starts with the page as its one argument.
  const std::string page = dir.Write("site/index.html", "<title>Home</title>welcome home");
  Crawl(page);
  TSpiderNode* home = Node("file://LocalHost" + page);
  ASSERT_TRUE(home);
  ask.QueueAnswer(platform::Answer::Yes);
  WhenModal([&](QWidget* w) {
    auto* view = static_cast<gui::TFormExternalToolsView*>(w);
    if (!view->Edit[1]->hasFocus()) return false;
    view->Edit[1]->setText(QString::fromStdString(editor));
    view->ButtonOK->click();
    return true;
  });
  window->EditNode(home, false);
  ASSERT_EQ(launcher.Started.size(), 1u);
  EXPECT_EQ(launcher.Started[0].first, editor);
  EXPECT_EQ(launcher.Started[0].second, page);
  EXPECT_EQ(ask.TextsOf("YesNo").size(), 1u);
}

TEST_F(DialogsTest, PropertiesShowTheNodeAndADoubleClickedRefererIsSelectedInTheTree) {
  const std::string index = dir.Write("site/index.html", "<title>Home</title><a href='a.html'>a</a>");
  dir.Write("site/a.html", "<a href='b.html'>b</a>");
  dir.Write("site/b.html", "<title>B</title>");
  OpenWindow();
  Crawl(index);
  TSpiderNode* a = Node("file://LocalHost" + dir.File("site/a.html"));
  TSpiderNode* home = Node("file://LocalHost" + index);
  ASSERT_TRUE(a && home);
  const QModelIndex entry = window->TreeModel->IndexOf(a->TreeNode);
  window->TreeView->selectionModel()->setCurrentIndex(entry, QItemSelectionModel::ClearAndSelect);
  app->Map.Modified = false;
  bool checked = false;
  WhenModal([&](QWidget* w) {
    auto* view = dynamic_cast<gui::TFormProperties*>(w);
    EXPECT_TRUE(view);
    if (!view) return true;
    EXPECT_EQ(view->windowTitle().toStdString(), "URL Properties");
    EXPECT_EQ(view->EditTitle->text().toStdString(), "Unknown");
    EXPECT_EQ(view->EditRemote->text().toStdString(), a->URLText());
    EXPECT_EQ(view->EditLocal->text().toStdString(), dir.File("site/a.html"));
    EXPECT_TRUE(view->ButtonLocal->isEnabled());
    EXPECT_EQ(view->LVReferers->topLevelItemCount(), 1);
    // The referers menu offers nothing without a selected row.
    emit view->PMReferers->aboutToShow();
    EXPECT_FALSE(view->LVOpen->isEnabled());
    QTreeWidgetItem* row = view->LVReferers->topLevelItem(0);
    EXPECT_EQ(row->text(0).toStdString(), home->URLText());
    view->LVReferers->setCurrentItem(row);
    emit view->PMReferers->aboutToShow();
    EXPECT_TRUE(view->LVSpelling->isEnabled());
    emit view->LVReferers->itemDoubleClicked(row, 0);
    EXPECT_EQ(app->Main.Selected(), home->TreeNode);  // the dialog stays open
    EXPECT_TRUE(view->isVisible());
    checked = true;
    view->ButtonClose->click();
    return true;
  });
  ASSERT_TRUE(gui::InvokeMenuItem(window->Popups->TVProperties));
  EXPECT_TRUE(checked);
  EXPECT_TRUE(app->Map.Modified);  // the local file was read again
}

TEST_F(DialogsTest, PropertiesListTheMissingFragmentsWithThePagesLinkingToThem) {
  const std::string index =
      dir.Write("site/index.html", "<title>Home</title><a href='a.html#gone'>a</a><a href='a.html#here'>a</a>");
  dir.Write("site/a.html", "<h1 id='here'>A</h1><a href='a.html#gone'>self</a>");
  OpenWindow();
  Crawl(index);
  TSpiderNode* a = Node("file://LocalHost" + dir.File("site/a.html"));
  TSpiderNode* home = Node("file://LocalHost" + index);
  ASSERT_TRUE(a && home);
  for (TSpiderNode* node : {a, home}) {
    window->TreeView->selectionModel()->setCurrentIndex(window->TreeModel->IndexOf(node->TreeNode),
                                                        QItemSelectionModel::ClearAndSelect);
    bool checked = false;
    WhenModal([&](QWidget* w) {
      auto* view = dynamic_cast<gui::TFormProperties*>(w);
      EXPECT_TRUE(view);
      if (!view) return true;
      if (node == a) {
        EXPECT_TRUE(view->GroupBrokenAnchors->isVisible());
        EXPECT_EQ(view->LVBrokenAnchors->topLevelItemCount(), 1);
        QTreeWidgetItem* fragment = view->LVBrokenAnchors->topLevelItem(0);
        EXPECT_EQ(fragment->text(0).toStdString(), "#gone");
        EXPECT_EQ(fragment->childCount(), 2);
        EXPECT_EQ(fragment->child(0)->text(0).toStdString() + " " + fragment->child(1)->text(0).toStdString(),
                  home->URLText() + " " + a->URLText());
        emit view->LVBrokenAnchors->itemDoubleClicked(fragment->child(0), 0);
        EXPECT_EQ(app->Main.Selected(), home->TreeNode);
      } else {
        EXPECT_FALSE(view->GroupBrokenAnchors->isVisible());  // a page without: the dialog as it was
      }
      checked = true;
      view->ButtonClose->click();
      return true;
    });
    ASSERT_TRUE(gui::InvokeMenuItem(window->Popups->TVProperties));
    EXPECT_TRUE(checked);
  }
}

TEST_F(DialogsTest, DownloadWindowCancelStopsAtOnceAndKeepsTheEarlierCopy) {
  TestServer server;
  TestGate gate;
  server.Http().Get("/", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("<title>Home</title><a href='big.html'>big</a>", "text/html");
  });
  std::atomic<bool> hold{false};  // the document's download hangs until the test ends
  server.Http().Get("/big.html", [&](const httplib::Request& req, httplib::Response& res) {
    if (req.method == "HEAD" || !hold) {
      res.set_content("", "text/html");
      return;
    }
    res.set_chunked_content_provider("text/html", [&](size_t, httplib::DataSink& sink) {
      sink.write("<p>part", 8);
      gate.Wait();
      return false;
    });
  });
  server.Start();
  OpenWindow();
  Crawl(server.URL("/"));
  TSpiderNode* big = Node(server.URL("/big.html"));
  ASSERT_TRUE(big);
  const std::string earlier = dir.Write("copy/big.html", "the earlier copy");
  big->SetLocalFile(earlier);
  ask.QueueAnswer(platform::Answer::Yes);  // overwrite the earlier copy
  hold = true;
  gui::TFormTransfer& transfer = qt->Transfer;
  bool playing = false;
  std::string caption;
  transfer.OnShownForTest = [&] {
    playing = transfer.Animate->Playing();
    caption = transfer.windowTitle().toStdString();
    transfer.ButtonCancel->click();
  };
  EXPECT_FALSE(big->DownloadToLocalFile(app->HTTPCopy, true));
  transfer.OnShownForTest = nullptr;
  gate.Open();
  EXPECT_TRUE(playing);
  EXPECT_EQ(caption, "Downloading " + server.URL("/big.html"));
  EXPECT_FALSE(transfer.isVisible());
  EXPECT_FALSE(transfer.Animate->Playing());
  EXPECT_EQ(transfer.ButtonCancel->text().toStdString(), "Close");
  EXPECT_EQ(Read(earlier), "the earlier copy");
  const std::vector<std::string> notices = ask.TextsOf("Notice");
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].rfind("Download Terminated: ", 0), 0u);
}

TEST_F(DialogsTest, SpellingDialogButtonsSaveExactlyTheChangedWords) {
  const std::string original =
      "<html><head><title>Caf\xc3\xa9</title></head>\r\n"
      "<body><p>Teh caf\xc3\xa9 \xe2\x80\x9csings\xe2\x80\x9d teh wrod and TEH helo wrod.</p>\n"
      "</body></html>\r\n";
  const std::string page = dir.Write("site/page.html", original);
  OpenWindow();
  gui::TFormSpellingView& view = *window->FormSpelling;
  std::vector<std::string> shown;
  auto type = [](QLineEdit* edit, const char* text) {
    edit->selectAll();
    QTest::keyClicks(edit, text);
  };
  WhenModal([&](QWidget* w) {
    if (w != &view || view.EditNotInDictionary->text().isEmpty()) return false;
    auto word = [&] { return view.EditNotInDictionary->text().toStdString(); };
    shown.push_back(word());  // "Teh", selected in the source
    EXPECT_EQ(view.RichEdit->textCursor().selectedText().toStdString(), "Teh");
    EXPECT_NE(view.LastPreviewUrl.indexOf("idFocus"), -1);
    EXPECT_FALSE(view.ButtonChange->isEnabled());
    type(view.EditChangeTo, "The");
    EXPECT_TRUE(view.ButtonChange->isEnabled());
    view.ButtonChange->click();
    shown.push_back(word());  // "teh": Change All also changes the later "TEH"
    type(view.EditChangeTo, "the");
    view.ButtonChangeAll->click();
    shown.push_back(word());  // "wrod": left alone
    EXPECT_EQ(view.RichEdit->textCursor().selectedText().toStdString(), "wrod");
    view.ButtonIgnore->click();
    shown.push_back(word());  // "helo": added to the user dictionary
    view.ButtonAdd->click();
    shown.push_back(word());  // the second "wrod": a suggestion chosen from the list
    EXPECT_EQ(static_cast<size_t>(view.ListView->count()), app->Spelling.Suggestions.size());
    type(view.EditChangeTo, "word");
    view.ButtonChange->click();  // the last error: the dialog closes with OK
    return true;
  });
  EXPECT_TRUE(app->Spelling.CheckFile(page));
  EXPECT_EQ(shown, (std::vector<std::string>{"Teh", "teh", "wrod", "helo", "wrod"}));
  EXPECT_EQ(Read(page),
            "<html><head><title>Caf\xc3\xa9</title></head>\r\n"
            "<body><p>The caf\xc3\xa9 \xe2\x80\x9csings\xe2\x80\x9d the wrod and the helo word.</p>\n"
            "</body></html>\r\n");  // each line keeps its own ending
  EXPECT_EQ(ask.TextsOf("Inform"), std::vector<std::string>{"Spell checking is complete."});
}

TEST_F(DialogsTest, ShippedGermanTranslationChangesTheMainWindowsCaptions) {
  const std::string german = Read(std::string(TESSALY_SOURCE_DIR) + "/gui/share/lang.de.txt");
  ASSERT_FALSE(german.empty());
  OpenWindow(german);
  gui::TMainMenu& m = *window->Menu;
  // The first activation translates every window.
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  ASSERT_TRUE(ServeUntil([&] { return window->Translated(); }, 5000));
  EXPECT_EQ(m.MIFile->title().toStdString(), "&Datei");
  EXPECT_EQ(m.MINew->text().toStdString(), "&Neues Projekt");
  EXPECT_EQ(m.MIHTTPSettings->text().toStdString(), "HTTP-Einstellungen...");
  EXPECT_EQ(m.TBNew->text().toStdString(), "Neu");
  EXPECT_EQ(m.TBNew->toolTip().toStdString(), "Neues Projekt");
  EXPECT_EQ(window->Popups->TVProperties->text().toStdString(), "Eigenschaften...");
  EXPECT_EQ(window->FormHTTPSettings->windowTitle().toStdString(), "HTTP-Einstellungen");
  EXPECT_EQ(window->FormSpelling->ButtonChangeAll->text().toStdString(), "Alle ändern");
  EXPECT_EQ(m.MIExport->isEnabled(), true);
}

TEST_F(DialogsTest, WithoutLangFileTheCaptionsStayAndABadEscapeIsReported) {
  OpenWindow("<//TFormTessaly-\nE=&File\nT=\\777\n");
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  ASSERT_TRUE(ServeUntil([&] { return window->Translated(); }, 5000));
  EXPECT_EQ(ask.TextsOf("Error"), std::vector<std::string>{"Numeric constant too large."});
  EXPECT_EQ(window->Menu->MIFile->title().toStdString(), "&File");
  window.reset();
  app.reset();
  qt.reset();
  std::filesystem::remove(dir.File("app/lang.txt"));
  OpenWindow();
  window->TranslateWindows();
  EXPECT_EQ(window->Menu->MIFile->title().toStdString(), "&File");
}

}  // namespace
