#include "GuiFixture.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QTest>
#include <QTreeView>

#include "gui/NodeListModel.h"
#include "gui/NodeListView.h"
#include "gui/SiteTreeModel.h"

namespace {
const char* const kWords = "a\nabout\nhome\nthe\nwelcome\nshop\nguide\nnews\npage\n";
}

void ServeSite(TestServer& server) {
  auto page = [&server](const std::string& path, const std::string& body, const std::string& type) {
    server.Http().Get(path,
                      [body, type](const httplib::Request&, httplib::Response& res) { res.set_content(body, type); });
  };
  page("/",
       "<html><head><title>Home</title><meta name=description content='The shop'></head><body>Welcome."
       "<a href='about.html'>about</a> <a href='docs/guide.html'>guide</a> <a href='docs/manual.pdf'>manual</a>"
       "<img src='img/logo.png'> <a href='missing.html'>gone</a> <a href='mailto:shop@example.com'>mail</a>"
       "</body></html>",
       "text/html");
  page("/about.html", "<title>About</title><a href='/'>home</a> <a href='news.html'>news</a>", "text/html");
  page("/news.html", "<title>News</title>news", "text/html");
  page("/docs/guide.html", "<title>Guide</title>the guide", "text/html");
  page("/docs/manual.pdf", std::string(3000, 'p'), "application/pdf");
  page("/img/logo.png", std::string(100, 'i'), "image/png");
}

GuiFixture::GuiFixture() : paths(dir.Str()) {
  dir.Write("app/english.txt", kWords);
  dir.Write("data/.keep", "");
  OpenWindow();
}

GuiFixture::~GuiFixture() {
  if (app) app->Map.Modified = false;
  window.reset();
  app.reset();
  qt.reset();
  EXPECT_TRUE(ask.Unexpected.empty()) << ask.Unexpected.front();
}

void GuiFixture::OpenWindow(bool webEngine) {
  qt = std::make_unique<gui::QtServices>(net, paths);
  qt->Services.Ask = &ask;
  qt->Services.Keys = &keyring;  // the desktop's keyring stays out of the tests
  // The desktop's browser stays out of the tests: what it is asked to show is recorded.
  qt->Web.Override = [this](const std::string& target) {
    browsed.push_back(target);
    return true;
  };
  app = std::make_unique<TTessalyApp>(qt->Services);
  gui::TFormTessalyView::Options options;
  options.WebEngine = webEngine;
  window = std::make_unique<gui::TFormTessalyView>(*app, *qt, options);
  // Changes are told at once, so that every check sees the views as they are.
  window->TreeModel->SetCoalesceInterval(0);
  window->ListModel->SetCoalesceInterval(0);
  ASSERT_TRUE(app->Start());
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
}

bool GuiFixture::CloseWindow() {
  if (!window->close()) return false;
  window.reset();
  app.reset();
  qt.reset();
  return true;
}

void GuiFixture::CrawlFromAddressBox(const std::string& address) {
  QLineEdit* edit = window->EditURL->lineEdit();
  edit->setFocus();
  edit->selectAll();
  QTest::keyClicks(edit, QString::fromStdString(address));
  QTest::keyClick(edit, Qt::Key_Return);
  WaitIdle();
}

void GuiFixture::WaitIdle() {
  ASSERT_TRUE(ServeUntil([this] { return app->Pool.IsIdle() && !app->Main.Busy; }, 60000));
}

TTreeEntry* GuiFixture::Entry(const std::string& path) const {
  TTreeEntry* entry = app->Main.Tree.SiteRoot();
  size_t start = 0;
  while (entry && start < path.size()) {
    const size_t slash = path.find('/', start);
    const std::string caption = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    TTreeEntry* found = nullptr;
    for (const auto& child : entry->Children)
      if (child->Caption == caption) found = child.get();
    entry = found;
    start = slash == std::string::npos ? path.size() : slash + 1;
  }
  return entry;
}

void GuiFixture::ClickTreeEntry(TTreeEntry* entry) {
  ASSERT_NE(entry, nullptr);
  const QModelIndex index = window->TreeModel->IndexOf(entry);
  window->TreeView->scrollTo(index);
  const QRect r = window->TreeView->visualRect(index);
  ASSERT_TRUE(r.isValid());
  QTest::mouseClick(window->TreeView->viewport(), Qt::LeftButton, {}, r.center());
}

void GuiFixture::ClickListRow(int row) {
  QAbstractItemView* view = window->ListView->Current();
  const QModelIndex index = window->ListModel->index(row, 0);
  view->scrollTo(index);
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
}

void GuiFixture::DoubleClickListRow(int row) {
  QAbstractItemView* view = window->ListView->Current();
  const QModelIndex index = window->ListModel->index(row, 0);
  view->scrollTo(index);
  const QPoint p = view->visualRect(index).center();
  // A double click as the platform delivers it: press, release, double-click, release.
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, p);
  QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, p);
}

void GuiFixture::ClickColumn(int column) {
  QHeaderView* header = window->ListView->Details->header();
  const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
}

std::vector<std::string> GuiFixture::ListCaptions() const {
  std::vector<std::string> out;
  const gui::NodeListModel& m = *window->ListModel;
  for (int r = 0; r < m.rowCount(); ++r) out.push_back(m.index(r, 0).data().toString().toStdString());
  return out;
}

std::string GuiFixture::Cell(int row, int column) const {
  return window->ListModel->index(row, column).data().toString().toStdString();
}
