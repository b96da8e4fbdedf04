// The request pool's rows as a Qt table model (Address, Status, %): an adapter over the pool's
// queue list. Additions and removals are told exactly, or during a crawl as one reset at most ten
// times a second (a view handles each single removal in time proportional to the whole queue, so
// a queue of 100,000 requests told row by row costs the window most of its time); row changes
// are batched.
#pragma once

#include <QAbstractTableModel>
#include <QTimer>
#include "Dialogs/UnitHTTPClient.h"
#include "gui/ChangeBatcher.h"

namespace gui {

class PoolModel : public QAbstractTableModel, private TRequestListObserver {
  Q_OBJECT
 public:
  explicit PoolModel(TFormHTTPClient& pool, QObject* parent = nullptr);
  ~PoolModel() override;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // Tells the changes collected so far now (row changes, and additions and removals held back).
  void FlushChanges();
  void SetCoalesceInterval(int milliseconds);
  // On: additions and removals are told as a reset, at most once an interval. Off: each is told
  // as it happens (what was held back is told first).
  void SetStructureBatched(bool on);

 signals:
  // The counters, the button states or the status text may have changed.
  void DisplayChanged();

 private:
  void RowAboutToBeAdded(int row) override;
  void RowAdded(int row) override;
  void RowChanged(int row) override;
  void RowAboutToBeRemoved(int row) override;
  void RowRemoved(int row) override;
  void ListAboutToReset() override;
  void ListReset() override;
  void CountsChanged() override { emit DisplayChanged(); }

  // Additions or removals were held back: a reset tells them when the interval ends.
  void StructureChanged();
  void TellStructure();

  TFormHTTPClient& Pool_;
  ChangeBatcher<int> Changes_;  // row positions
  int Shown_ = 0;               // the rows the views know of
  bool Batched_ = false;
  bool StructureHeld_ = false;
  QTimer StructureTimer_;
};

}  // namespace gui
