// The node list as a Qt table model: an adapter over the core's rows. The columns are the core's
// column table (captions translated by the translation store once it is given); a row's cells
// are filled by the core's own rule the first time the row is drawn; a row refreshed by the core
// is told as a change (batched during a crawl); a refill or a sort is a reset.
//
// A filter (TListFilter) narrows the rows shown: the model then shows the list's rows that pass,
// in the list's order, through one table of their positions. A refill or a new filter is read
// in slices of a few milliseconds between the window's events, the rows that pass appearing as
// they are found, so that a filter over a million rows never freezes the window; rows appended
// or changed later are judged one by one.
#pragma once

#include <QAbstractTableModel>
#include <QTimer>
#include "app/ListFilter.h"
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
  // The list's row shown at `row` of the model, and the model's row of the list's row `listRow`
  // (-1 when the filter hides it). The same number when no filter is set.
  int ListRow(int row) const;
  int ModelRow(int listRow) const;

  // The filter: rows whose cells hold `text` and whose answers are of `classes` (TAnswerClass
  // bits; acNone: any). The first slice is read at once.
  void SetFilter(const std::string& text, unsigned classes);
  const TListFilter& Filter() const { return Filter_; }
  bool Filtered() const { return Filtered_; }
  // Rows not read by the filter yet remain.
  bool Filtering() const { return Filtered_ && Scanned_ < List_.Count(); }
  // Reads the rest at once.
  void FinishFiltering();
  // How long one slice of the filter may take, in milliseconds.
  static constexpr int kFilterSlice = 12;
  void FlushChanges();
  void SetCoalesceInterval(int milliseconds);
  // The store the column captions are translated by (none: the captions as the table has them).
  void SetTranslations(const TTranslationStore* store);

 signals:
  // The filter has read every row.
  void FilterFinished();

 private:
  // Reads rows for the filter for at most `milliseconds` (negative: all), appending those that
  // pass; schedules the next slice while rows remain.
  void Scan(int milliseconds);
  // The changed list rows `rows` (ascending) under the filter: rows that now pass or fail are
  // shown or hidden, and the shown ones are told as changed.
  void FilteredRowsChanged(const std::vector<int>& rows);
  void ListAboutToReset() override;
  void ListReset() override;
  void RowChanged(TListRow* row, int index) override;
  void RowAboutToBeAppended(int index) override;
  void RowAppended(TListRow* row) override;

  TNodeList& List_;
  const TTranslationStore* Translations_ = nullptr;
  ChangeBatcher<int> Changes_;  // row positions
  TListFilter Filter_;
  bool Filtered_ = false;
  std::vector<int> Shown_;  // under a filter: the list's rows that pass, ascending
  int Scanned_ = 0;         // under a filter: the list's rows read so far (the first ones)
  QTimer ScanLater_;
};

}  // namespace gui
