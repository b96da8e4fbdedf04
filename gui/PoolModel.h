// The request pool's rows as a Qt table model (Address, Status, %): an adapter over the pool's
// queue list. Additions and removals are told exactly; row changes are batched.
#pragma once

#include <QAbstractTableModel>
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

  void FlushChanges();
  void SetCoalesceInterval(int milliseconds);

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

  TFormHTTPClient& Pool_;
  ChangeBatcher<int> Changes_;  // row positions
};

}  // namespace gui
