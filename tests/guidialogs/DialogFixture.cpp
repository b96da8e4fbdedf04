#include "DialogFixture.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QPushButton>
#include <QTreeView>

#include "app/SpiderTools.h"
#include "gui/MainMenu.h"
#include "gui/SiteTreeModel.h"

namespace {
const char* const kWords = "a\nabout\nand\ncaf\nhome\nhtml\nthe\nsings\nword\nwelcome\npage\nguide\nnews\n";
}

void WhenModal(std::function<bool(QWidget*)> act) {
  auto* timer = new QTimer(qApp);
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, act = std::move(act)] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible()) return;
    timer->stop();
    if (act(modal)) timer->deleteLater();
    else timer->start();
  });
  timer->start();
}

DialogFixture::DialogFixture() : paths(dir.Str()) {
  dir.Write("app/english.txt", kWords);
  dir.Write("data/.keep", "");
}

DialogFixture::~DialogFixture() {
  if (app) app->Map.Modified = false;
  window.reset();
  app.reset();
  qt.reset();
  EXPECT_TRUE(ask.Unexpected.empty()) << ask.Unexpected.front();
}

void DialogFixture::OpenWindow(const std::string& lang) {
  if (!lang.empty()) dir.Write("app/lang.txt", lang);
  qt = std::make_unique<gui::QtServices>(net, paths);
  qt->Services.Ask = &ask;
  qt->Services.Keys = &keyring;  // the desktop's keyring stays out of the tests
  qt->Services.Programs = &launcher;
  // The desktop's browser stays out of the tests: what it is asked to show is recorded.
  qt->Web.Override = [this](const std::string& target) {
    browsed.push_back(target);
    return true;
  };
  app = std::make_unique<TTessalyApp>(qt->Services);
  gui::TFormTessalyView::Options options;
  options.WebEngine = false;
  window = std::make_unique<gui::TFormTessalyView>(*app, *qt, options);
  ASSERT_TRUE(app->Start());
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
}

void DialogFixture::Crawl(const std::string& address) {
  app->Main.EditURL = address;
  window->RefreshFromState();
  ASSERT_TRUE(gui::PressButton(window->ButtonSpider));
  ASSERT_TRUE(ServeUntil([this] { return app->Pool.IsIdle() && !app->Main.Busy; }));
}

TSpiderNode* DialogFixture::Node(const std::string& address) const {
  for (const auto& n : app->Map.Nodes())
    if (n->URLText() == address) return n.get();
  return nullptr;
}

void DialogFixture::Select(TTreeEntry* entry) {
  const QModelIndex index = window->TreeModel->IndexOf(entry);
  window->TreeView->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
  ASSERT_EQ(app->Main.Selected(), entry);
}
