// The item models against Qt's own checks while a real crawl fills and changes the core's data.
#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include "GuiFixture.h"
#include "gui/FormHTTPClientView.h"
#include "gui/NodeListModel.h"
#include "gui/PoolModel.h"
#include "gui/SiteTreeModel.h"

namespace {

using Mode = QAbstractItemModelTester::FailureReportingMode;

class ModelTest : public GuiFixture {};

TEST_F(ModelTest, EachModelPassesQtsChecksThroughACrawlAndItsUse) {
  TestServer site;
  ServeSite(site);
  site.Start();
  // Coalesced changes as in the program: the testers see them arrive late and in bursts.
  window->TreeModel->SetCoalesceInterval(50);
  window->ListModel->SetCoalesceInterval(50);
  QAbstractItemModelTester tree(window->TreeModel, Mode::Fatal);
  QAbstractItemModelTester list(window->ListModel, Mode::Fatal);
  QAbstractItemModelTester pool(window->FormHTTPClient->Model, Mode::Fatal);
  QSignalSpy inserted(window->TreeModel, &QAbstractItemModel::rowsInserted);
  QSignalSpy poolRemoved(window->FormHTTPClient->Model, &QAbstractItemModel::rowsRemoved);

  CrawlFromAddressBox(site.URL("/"));
  // The changes still being collected are told now.
  window->TreeModel->FlushChanges();
  window->ListModel->FlushChanges();
  window->FormHTTPClient->Model->FlushChanges();
  EXPECT_GT(inserted.count(), 8);
  EXPECT_GT(poolRemoved.count(), 0);
  EXPECT_EQ(window->FormHTTPClient->Model->rowCount(), 0);

  // The tree model mirrors the core's tree, entry for entry.
  const gui::SiteTreeModel& m = *window->TreeModel;
  std::function<void(const QModelIndex&, const TTreeEntry*)> same = [&](const QModelIndex& parent,
                                                                        const TTreeEntry* entry) {
    ASSERT_EQ(m.rowCount(parent), entry ? entry->Count() : static_cast<int>(app->Main.Tree.TopLevel().size()));
    for (int r = 0; r < m.rowCount(parent); ++r) {
      const QModelIndex child = m.index(r, 0, parent);
      const TTreeEntry* e = gui::SiteTreeModel::EntryOf(child);
      EXPECT_EQ(child.data().toString().toStdString(), e->Caption);
      EXPECT_EQ(e->Parent, entry);
      same(child, e);
    }
  };
  same(QModelIndex(), nullptr);

  // Using the views: every category, every sort column, a new project.
  for (int k = 0; k < rkCount; ++k) ClickTreeEntry(Root(static_cast<TSiteRootKind>(k)));
  ClickTreeEntry(Root(rkAll));
  for (int c = 0; c < lcCount; ++c) ClickColumn(c);
  app->Map.Modified = false;
  window->Menu->MINew->trigger();
  EXPECT_EQ(window->TreeModel->rowCount(), rkCount);
}

TEST_F(ModelTest, ListCellsAreFilledOnlyWhenDrawn) {
  TestServer site;
  ServeSite(site);
  site.Start();
  CrawlFromAddressBox(site.URL("/"));
  ClickTreeEntry(Root(rkAll));
  TNodeList& list = app->Main.List;
  ASSERT_GT(list.Count(), 5);
  // Hidden list: nothing draws, nothing is filled.
  window->ListView->hide();
  ClickTreeEntry(Root(rkHTML));
  ClickTreeEntry(Root(rkAll));
  for (const auto& row : list.Rows()) EXPECT_FALSE(row->Filled()) << row->Caption;
  window->ListView->show();
  ServeUntil([&] { return list.Row(0)->Filled(); }, 5000);
  EXPECT_TRUE(list.Row(0)->Filled());
}

}  // namespace
