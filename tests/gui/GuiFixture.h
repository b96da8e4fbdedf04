// The desktop program's window on Qt's offscreen platform, over a temporary program folder,
// with scripted answers to its questions, and a small site served on loopback.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QModelIndex>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Application.h"
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include "gui/FormHTTPClientView.h"
#include "gui/MainMenu.h"
#include "gui/MainWindow.h"
#include "gui/NodeListModel.h"
#include "gui/NodeListView.h"
#include "gui/PoolModel.h"
#include "gui/PreviewPanel.h"
#include "gui/SiteTreeModel.h"
#include "gui/StatusPanels.h"
#include "gui/QtServices.h"
#include "platform/Headless.h"
#include "gui/Serve.h"
#include "support/TempDir.h"
#include "support/TestServer.h"

// The site: a home page, an about page, a folder of documents, an image and a missing page.
//   /            links about.html, docs/guide.html, docs/manual.pdf, img/logo.png, missing.html, mailto
//   /about.html  links / and news.html
//   /news.html, /docs/guide.html, /docs/manual.pdf, /img/logo.png
void ServeSite(TestServer& server);

class GuiFixture : public ::testing::Test {
 public:  // the steps of table-driven tests call the gestures
  GuiFixture();
  ~GuiFixture() override;

  // Creates the program's logic and window (again, after CloseWindow), and shows it.
  void OpenWindow(bool webEngine = false);
  // Closes the window (the close query runs) and, when it closed, destroys window and logic.
  bool CloseWindow();

  // Types `address` into the address box, presses Enter, and serves the crawl to its end.
  void CrawlFromAddressBox(const std::string& address);
  void WaitIdle();
  // The tree entry at `path` below the site root ("docs/guide.html"); "" is the site root.
  TTreeEntry* Entry(const std::string& path) const;
  TTreeEntry* Root(TSiteRootKind kind) const { return app->Main.Tree.Root(kind); }
  // User gestures on the real widgets.
  void ClickTreeEntry(TTreeEntry* entry);
  void ClickListRow(int row);
  void DoubleClickListRow(int row);
  void ClickColumn(int column);
  // The list's rows as the view shows them (column 0), and one cell.
  std::vector<std::string> ListCaptions() const;
  std::string Cell(int row, int column) const;

  TempDir dir;
  platform::FixedPaths paths;
  platform::FixedNetwork net;
  platform::HeadlessPrompter ask;
  platform::HeadlessKeyring keyring;
  std::vector<std::string> browsed;  // what the desktop's browser was asked to show
  std::unique_ptr<gui::QtServices> qt;
  std::unique_ptr<TTessalyApp> app;
  std::unique_ptr<gui::TFormTessalyView> window;
};
