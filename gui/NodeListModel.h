// The node list as a Qt table model: an adapter over the core's rows. A row's cells are filled
// by the core's own rule the first time the row is drawn; a row refreshed by the core is told
// as a change (coalesced during a crawl); a refill or a sort is a reset.
#pragma once

#include <QAbstractTableModel>
#include <QTimer>
#include <unordered_set>

#include "app/NodeList.h"

namespace gui {

class NodeListModel : public QAbstractTableModel, private TNodeListObserver {
  Q_OBJECT
 public:
  explicit NodeListModel(TNodeList& list, QObject* parent = nullptr);
  ~NodeListModel() override;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  TListRow* RowOf(const QModelIndex& index) const;
  TNodeList& List() const { return List_; }
  void FlushChanges();
  void SetCoalesceInterval(int milliseconds);

 private:
  void ListAboutToReset() override;
  void ListReset() override;
  void RowChanged(TListRow* row, int index) override;

  TNodeList& List_;
  std::unordered_set<int> Changed_;  // row positions
  QTimer Flush_;
  bool Resetting_ = false;
};

}  // namespace gui
