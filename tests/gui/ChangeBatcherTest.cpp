// Change notices in batches: what is collected is told once, each change once, in order; an
// interval of 0 tells at once; a reset drops what was collected and is told once. The node list model's header
// reads the column table and its translation.
#include "gui/ChangeBatcher.h"

#include <QEventLoop>
#include <QSignalSpy>
#include <QTimer>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "Kel/KelTranslate.h"
#include "app/NodeList.h"
#include "gui/NodeListModel.h"

namespace {

using Batches = std::vector<std::vector<int>>;

TEST(ChangeBatcherTest, CollectedChangesAreToldOnceInOrder) {
  Batches told;
  gui::ChangeBatcher<int> batcher([&](const std::vector<int>& rows) { told.push_back(rows); });
  for (int row : {5, 3, 4, 3, 9, 5}) batcher.Add(row);
  EXPECT_TRUE(told.empty());
  EXPECT_EQ(batcher.Pending(), 4u);
  batcher.Flush();
  EXPECT_EQ(told, (Batches{{3, 4, 5, 9}}));
  batcher.Flush();  // nothing new: nothing told
  EXPECT_EQ(told.size(), 1u);
  EXPECT_EQ(batcher.Pending(), 0u);
}

TEST(ChangeBatcherTest, TheTimerTellsTheBatchByItself) {
  Batches told;
  QEventLoop loop;
  gui::ChangeBatcher<int> batcher(
      [&](const std::vector<int>& rows) {
        told.push_back(rows);
        loop.quit();
      },
      1);
  batcher.Add(2);
  batcher.Add(1);
  // A guard against a batch that never comes; the loop ends with the batch.
  QTimer::singleShot(10000, &loop, [&] { loop.exit(1); });
  ASSERT_EQ(loop.exec(), 0) << "the batch was never told";
  EXPECT_EQ(told, (Batches{{1, 2}}));
  EXPECT_EQ(batcher.Pending(), 0u);
}

TEST(ChangeBatcherTest, WithoutAnIntervalEachChangeIsToldAtOnce) {
  Batches told;
  gui::ChangeBatcher<int> batcher([&](const std::vector<int>& rows) { told.push_back(rows); });
  batcher.SetInterval(0);
  EXPECT_EQ(batcher.Interval(), 0);
  batcher.Add(7);
  batcher.Add(7);
  EXPECT_EQ(told, (Batches{{7}, {7}}));
  EXPECT_EQ(batcher.Pending(), 0u);
}

TEST(ChangeBatcherTest, ClearDropsWhatWasCollected) {
  Batches told;
  gui::ChangeBatcher<int> batcher([&](const std::vector<int>& rows) { told.push_back(rows); }, 1);
  batcher.Add(1);
  batcher.Clear();
  EXPECT_EQ(batcher.Pending(), 0u);
  // A later change is told alone: the dropped one is gone, and so is its timer.
  batcher.Add(4);
  batcher.Flush();
  EXPECT_EQ(told, (Batches{{4}}));
}

TEST(ChangeBatcherTest, AResetDropsTheBatchAndBeginsAndEndsOnce) {
  Batches told;
  int begun = 0, ended = 0;
  gui::ChangeBatcher<int> batcher([&](const std::vector<int>& rows) { told.push_back(rows); });
  batcher.EndReset([&] { ++ended; });  // no reset begun: nothing to end
  batcher.Add(3);
  batcher.BeginReset([&] { ++begun; });
  batcher.BeginReset([&] { ++begun; });  // announced twice before it ends
  EXPECT_EQ(batcher.Pending(), 0u);
  batcher.EndReset([&] { ++ended; });
  batcher.EndReset([&] { ++ended; });
  EXPECT_EQ(begun, 1);
  EXPECT_EQ(ended, 1);
  batcher.Flush();
  EXPECT_TRUE(told.empty());
}

TEST(ChangeBatcherTest, RowRunsLeaveOutRowsThatAreGone) {
  const struct {
    std::vector<int> Rows;
    int Count;
    std::vector<std::pair<int, int>> Runs;
  } cases[] = {
      {{}, 10, {}},
      {{0}, 10, {{0, 0}}},
      {{1, 2, 3, 5, 7, 8}, 10, {{1, 3}, {5, 5}, {7, 8}}},
      {{7, 8, 9, 10, 11}, 10, {{7, 9}}},  // the list shrank after the changes
      {{10, 11}, 10, {}},
      {{-1, 0, 1}, 2, {{0, 1}}},
  };
  for (const auto& c : cases) {
    std::vector<std::pair<int, int>> runs;
    gui::ForEachRowRun(c.Rows, c.Count, [&](int first, int last) { runs.emplace_back(first, last); });
    EXPECT_EQ(runs, c.Runs) << testing::PrintToString(c.Rows);
  }
}

TEST(NodeListModelTest, TheHeaderIsTheColumnTableTranslated) {
  TNodeList list;
  gui::NodeListModel model(list);
  const auto columns = NodeListColumns();
  ASSERT_EQ(model.columnCount(), static_cast<int>(columns.size()));
  for (int c = 0; c < model.columnCount(); ++c) {
    EXPECT_EQ(model.headerData(c, Qt::Horizontal).toString().toStdString(), columns[c].Caption);
    const int alignment = model.headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).toInt();
    EXPECT_EQ((alignment & Qt::AlignRight) != 0, columns[c].Alignment == TAlignment::taRightJustify) << c;
  }
  TTranslationStore store;
  store.LoadFromText("<//TFormTessaly- the main window>\nE=Size\nT=Gr\xc3\xb6\xc3\x9f" "e\n");
  QSignalSpy changed(&model, &QAbstractItemModel::headerDataChanged);
  model.SetTranslations(&store);
  EXPECT_EQ(changed.count(), 1);
  EXPECT_EQ(model.headerData(lcSize, Qt::Horizontal).toString(), QString::fromUtf8("Gr\xc3\xb6\xc3\x9f" "e"));
  EXPECT_EQ(model.headerData(lcName, Qt::Horizontal).toString(), QStringLiteral("Name"));
}

}  // namespace
