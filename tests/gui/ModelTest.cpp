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
  // During a crawl the queue's additions and removals come as resets, at most ten a second.
  QSignalSpy poolReset(window->FormHTTPClient->Model, &QAbstractItemModel::modelReset);

  CrawlFromAddressBox(site.URL("/"));
  // The changes still being collected are told now.
  window->TreeModel->FlushChanges();
  window->ListModel->FlushChanges();
  window->FormHTTPClient->Model->FlushChanges();
  EXPECT_GT(inserted.count(), 8);
  EXPECT_GT(poolRemoved.count() + poolReset.count(), 0);
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

namespace {

// During a crawl the queue's rows come and go as resets: the view's row count stays what it was
// told until the next one, then equals the pool's; off again, each change is told as it happens.
TEST_F(ModelTest, TheQueueIsToldAsResetsDuringACrawl) {
  gui::PoolModel model(app->Pool);  // a model of its own: the window turns its model's batching on and off
  QAbstractItemModelTester tester(&model, Mode::Fatal);
  QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
  QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
  TFormHTTPClient& pool = app->Pool;
  pool.SuspendRequests();  // the requests stay queued
  model.SetStructureBatched(true);
  for (int i = 0; i < 5; ++i) pool.AddHeadRequest("http://127.0.0.1:1/q" + std::to_string(i) + ".html", "", nullptr);
  EXPECT_EQ(pool.RowCount(), 5);
  EXPECT_EQ(model.rowCount(), 0);
  EXPECT_EQ(inserted.count(), 0);
  ASSERT_TRUE(ServeUntil([&] { return reset.count() > 0; }, 5000));
  EXPECT_EQ(model.rowCount(), 5);
  EXPECT_EQ(model.index(4, 0).data().toString(), QStringLiteral("q4.html"));
  model.SetStructureBatched(false);
  pool.AddHeadRequest("http://127.0.0.1:1/q5.html", "", nullptr);
  EXPECT_EQ(inserted.count(), 1);
  EXPECT_EQ(model.rowCount(), 6);
  pool.TerminateAll();
}

}  // namespace
