// The node list as a Qt table model: an adapter over the core's rows. The columns are the core's
// column table (captions translated by the translation store once it is given); a row's cells
// are filled by the core's own rule the first time the row is drawn; a row refreshed by the core
// is told as a change (batched during a crawl); a refill or a sort is a reset.
#pragma once

#include <QAbstractTableModel>
#include "app/NodeList.h"
#include "gui/ChangeBatcher.h"

class TTranslationStore;

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
  // The store the column captions are translated by (none: the captions as the table has them).
  void SetTranslations(const TTranslationStore* store);

 private:
  void ListAboutToReset() override;
  void ListReset() override;
  void RowChanged(TListRow* row, int index) override;
  void RowAboutToBeAppended(int index) override;
  void RowAppended(TListRow* row) override;

  TNodeList& List_;
  const TTranslationStore* Translations_ = nullptr;
  ChangeBatcher<int> Changes_;  // row positions
};

}  // namespace gui
