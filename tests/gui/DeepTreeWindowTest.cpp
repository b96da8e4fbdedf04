// A site whose link goes 100,000 folders deep, crawled and opened as a project: every gesture on
// that row in the real window (select, double-click, "*", expand all, Properties) works without
// a crash, because the tree shows at most kMaxTreeDepth levels.
#include <QApplication>
#include <QScrollBar>
#include <QTimer>

#include "GuiFixture.h"
#include "Kel/KelFiles.h"
#include "app/ProjectFile.h"
#include "gui/ContextMenus.h"
#include "gui/FormProperties.h"

namespace {

constexpr int kLevels = 100000;

std::string DeepPath() {
  std::string path;
  path.reserve(kLevels * 2 + 16);
  for (int i = 0; i < kLevels; ++i) path += "a/";
  return path + "deep.html";
}

class DeepTreeWindowTest : public GuiFixture {
 protected:
  // The entry of the deep page, found through the core's node (the tree's last level).
  TTreeEntry* DeepEntry(const std::string& address) const {
    for (const auto& node : app->Map.Nodes())
      if (node->URLText() == address) return node->TreeNode;
    return nullptr;
  }

  // Closes the next modal window that opens (the Properties dialog) with Escape.
  static void CloseNextModal(int* shown) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, shown] {
      if (QWidget* modal = QApplication::activeModalWidget()) {
        timer->stop();
        timer->deleteLater();
        ++*shown;
        modal->close();
      }
    });
    timer->start();
  }

  // Scrolls the tree to the entry (its row is indented by its depth) and clicks its icon.
  void ClickDeep(TTreeEntry* entry, bool twice) {
    const QModelIndex index = window->TreeModel->IndexOf(entry);
    window->TreeView->scrollTo(index);
    QScrollBar* across = window->TreeView->horizontalScrollBar();
    across->setValue(across->value() + window->TreeView->visualRect(index).x() - 10);
    const QRect r = window->TreeView->visualRect(index);
    ASSERT_TRUE(window->TreeView->viewport()->rect().contains(QPoint(r.x() + 8, r.center().y())));
    const QPoint p(r.x() + 8, r.center().y());
    QTest::mouseClick(window->TreeView->viewport(), Qt::LeftButton, {}, p);
    if (twice) QTest::mouseDClick(window->TreeView->viewport(), Qt::LeftButton, {}, p);
  }

  void EveryGestureOn(const std::string& address) {
    TTreeEntry* deep = DeepEntry(address);
    ASSERT_NE(deep, nullptr);
    int levels = 0;
    for (const TTreeEntry* e = deep; e->Parent; e = e->Parent) ++levels;
    EXPECT_EQ(levels, kMaxTreeDepth);
    // (The addresses are 200,000 characters: compared, never printed.)
    EXPECT_TRUE(TreeNodeURL(deep) == address);

    // Opened level by level and selected in the tree.
    std::vector<const TTreeEntry*> chain;
    for (const TTreeEntry* e = deep->Parent; e; e = e->Parent) chain.push_back(e);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) window->TreeView->expand(window->TreeModel->IndexOf(*it));
    ClickDeep(deep, false);
    EXPECT_EQ(app->Main.Selected(), deep);
    EXPECT_TRUE(app->Main.PathText == address);

    // Double-clicked in the tree: its properties, in the real dialog.
    int shown = 0;
    CloseNextModal(&shown);
    ClickDeep(deep, true);
    EXPECT_TRUE(ServeUntil([&] { return shown == 1; }));

    // Properties from the tree's menu.
    CloseNextModal(&shown);
    window->Popups->TVProperties->trigger();
    EXPECT_TRUE(ServeUntil([&] { return shown == 2; }));

    // "All", then a double-click on its row selects it in the tree.
    window->TreeView->collapseAll();
    ClickTreeEntry(Root(rkAll));
    int row = -1;
    for (int r = 0; r < app->Main.List.Count(); ++r)
      if (app->Main.List.Row(r)->Entry == deep) row = r;
    ASSERT_GE(row, 0);
    window->TreeView->collapseAll();
    DoubleClickListRow(row);
    EXPECT_EQ(app->Main.Selected(), deep);

    // "*" on the site root opens the whole branch; so does expanding everything.
    window->TreeView->collapseAll();
    ClickTreeEntry(app->Main.Tree.SiteRoot());
    window->TreeView->setFocus();
    QTest::keyClick(window->TreeView, Qt::Key_Asterisk);
    EXPECT_TRUE(window->TreeView->isExpanded(window->TreeModel->IndexOf(deep->Parent)));
    window->TreeView->collapseAll();
    window->TreeView->expandAll();
    EXPECT_TRUE(window->TreeView->isExpanded(window->TreeModel->IndexOf(deep->Parent)));
    ClickDeep(deep, false);
    EXPECT_EQ(app->Main.Selected(), deep);
    // The window still answers.
    EXPECT_TRUE(ServeUntil([] { return true; }));
  }
};

TEST_F(DeepTreeWindowTest, ACrawledLinkOfAHundredThousandLevels) {
  TestServer site;
  const std::string deep = DeepPath();
  site.Http().Get("/", [deep](const httplib::Request&, httplib::Response& res) {
    res.set_content("<title>Home</title><a href=\"" + deep + "\">deep</a>", "text/html");
  });
  site.Start();
  CrawlFromAddressBox(site.URL("/"));
  EveryGestureOn(site.URL("/" + deep));
}

TEST_F(DeepTreeWindowTest, AProjectOfAHundredThousandLevels) {
  // The project is made by the core and opened through the File menu's command.
  const std::string address = "http://deep.example/" + DeepPath();
  {
    TSiteMap map;
    TSiteTree tree(map);
    tree.ResetSiteTree();
    TURI site("http://deep.example/");
    map.SiteURI = site;
    TURI uri(address);
    TSpiderNode* node = NodeOf(tree.InsertURL(uri, nullptr, false));
    node->ResponseCode = 200;
    node->ContentType = "text/html";
    node->SetTitle("Deep");
    SaveTextToFile(dir.File("deep.tly"), ProjectText(map));
  }
  ask.QueueFile(dir.File("deep.tly"));
  window->Menu->MIOpen->trigger();
  ASSERT_EQ(app->Main.ProjectFileName, dir.File("deep.tly"));
  EveryGestureOn(address);
}

}  // namespace
