#include "gui/NodeListModel.h"

#include <QElapsedTimer>
#include <QString>
#include <algorithm>
#include <vector>

#include "Kel/KelStr.h"
#include "Kel/KelTranslate.h"
#include "gui/Icons.h"
#include "gui/Translator.h"

namespace gui {

namespace {
int ColumnCount() { return static_cast<int>(NodeListColumns().size()); }

QVariant AlignmentOf(int column) {
  return static_cast<int>(
      (NodeListColumns()[column].Alignment == TAlignment::taRightJustify ? Qt::AlignRight : Qt::AlignLeft) |
      Qt::AlignVCenter);
}
}  // namespace

NodeListModel::NodeListModel(TNodeList& list, QObject* parent)
    : QAbstractTableModel(parent), List_(list), Changes_([this](const std::vector<int>& rows) {
        // One change per run of neighbouring rows.
        if (Filtered_) {
          FilteredRowsChanged(rows);
          return;
        }
        ForEachRowRun(rows, List_.Count(), [this](int first, int last) {
          emit dataChanged(index(first, 0), index(last, ColumnCount() - 1));
        });
      }) {
  List_.AddObserver(this);
  ScanLater_.setSingleShot(true);
  ScanLater_.setInterval(0);
  connect(&ScanLater_, &QTimer::timeout, this, [this] { Scan(kFilterSlice); });
}

NodeListModel::~NodeListModel() { List_.RemoveObserver(this); }

void NodeListModel::SetCoalesceInterval(int milliseconds) { Changes_.SetInterval(milliseconds); }

void NodeListModel::FlushChanges() { Changes_.Flush(); }

void NodeListModel::SetTranslations(const TTranslationStore* store) {
  Translations_ = store;
  emit headerDataChanged(Qt::Horizontal, 0, ColumnCount() - 1);
}

TListRow* NodeListModel::RowOf(const QModelIndex& index) const {
  if (!index.isValid()) return nullptr;
  const int row = ListRow(index.row());
  if (row < 0 || row >= List_.Count()) return nullptr;
  return List_.Row(row);
}

int NodeListModel::ListRow(int row) const {
  if (!Filtered_) return row;
  return row >= 0 && row < static_cast<int>(Shown_.size()) ? Shown_[static_cast<size_t>(row)] : -1;
}

int NodeListModel::ModelRow(int listRow) const {
  if (!Filtered_) return listRow >= 0 && listRow < List_.Count() ? listRow : -1;
  const auto it = std::lower_bound(Shown_.begin(), Shown_.end(), listRow);
  return it != Shown_.end() && *it == listRow ? static_cast<int>(it - Shown_.begin()) : -1;
}

void NodeListModel::SetFilter(const std::string& text, unsigned classes) {
  TListFilter next;
  next.SetText(text);
  next.SetClasses(classes);
  if (next.Active() == Filtered_ && Trim(next.Text()) == Trim(Filter_.Text()) && next.Classes() == Filter_.Classes()) {
    Filter_ = next;
    return;
  }
  Changes_.BeginReset([this] { beginResetModel(); });
  Filter_ = next;
  Filtered_ = Filter_.Active();
  Shown_.clear();
  Shown_.shrink_to_fit();
  Scanned_ = 0;
  ScanLater_.stop();
  Changes_.EndReset([this] { endResetModel(); });
  if (Filtered_) Scan(kFilterSlice);
}

void NodeListModel::FinishFiltering() {
  if (Filtering()) Scan(-1);
}

void NodeListModel::Scan(int milliseconds) {
  ScanLater_.stop();
  if (!Filtered_) return;
  QElapsedTimer clock;
  clock.start();
  const int count = List_.Count();
  std::vector<int> found;
  while (Scanned_ < count) {
    const int end = std::min(count, Scanned_ + 512);
    for (; Scanned_ < end; ++Scanned_)
      if (Filter_.Matches(*List_.Row(Scanned_))) found.push_back(Scanned_);
    if (milliseconds >= 0 && clock.elapsed() >= milliseconds) break;
  }
  if (!found.empty()) {
    const int first = static_cast<int>(Shown_.size());
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(found.size()) - 1);
    Shown_.insert(Shown_.end(), found.begin(), found.end());
    endInsertRows();
  }
  if (Scanned_ < count) ScanLater_.start();
  else emit FilterFinished();
}

void NodeListModel::FilteredRowsChanged(const std::vector<int>& rows) {
  // Which of the rows read so far now pass, or no longer pass.
  std::vector<int> add, remove, changed;
  for (int r : rows) {
    if (r < 0 || r >= Scanned_ || r >= List_.Count()) continue;
    const bool passes = Filter_.Matches(*List_.Row(r));
    const bool shown = std::binary_search(Shown_.begin(), Shown_.end(), r);
    if (passes && !shown) add.push_back(r);
    else if (!passes && shown) remove.push_back(r);
    else if (shown) changed.push_back(r);
  }
  if (!add.empty() || !remove.empty()) {
    // One new table in one pass, told as a change of layout: the views keep their selection and
    // their place, whatever the number of rows that come and go.
    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    std::vector<int> listRows;
    listRows.reserve(static_cast<size_t>(before.size()));
    for (const QModelIndex& index : before) listRows.push_back(ListRow(index.row()));
    std::vector<int> kept;
    kept.reserve(Shown_.size() - remove.size());
    std::set_difference(Shown_.begin(), Shown_.end(), remove.begin(), remove.end(), std::back_inserter(kept));
    std::vector<int> next;
    next.reserve(kept.size() + add.size());
    std::merge(kept.begin(), kept.end(), add.begin(), add.end(), std::back_inserter(next));
    Shown_.swap(next);
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i) {
      const int row = ModelRow(listRows[static_cast<size_t>(i)]);
      after.push_back(row >= 0 ? index(row, before[i].column()) : QModelIndex());
    }
    changePersistentIndexList(before, after);
    emit layoutChanged();
  }
  std::vector<int> shownRows;
  for (int r : changed)
    if (const int row = ModelRow(r); row >= 0) shownRows.push_back(row);
  ForEachRowRun(shownRows, rowCount(), [this](int first, int last) {
    emit dataChanged(index(first, 0), index(last, ColumnCount() - 1));
  });
}

int NodeListModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return Filtered_ ? static_cast<int>(Shown_.size()) : List_.Count();
}

int NodeListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount(); }

QVariant NodeListModel::data(const QModelIndex& index, int role) const {
  TListRow* row = RowOf(index);
  if (!row || index.column() >= ColumnCount()) return {};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
      return QString::fromStdString(List_.CellText(row, index.column()));
    case Qt::DecorationRole:
      if (index.column() != lcName) return {};
      List_.FillRow(row);
      return NodeIconWithMark(List_.RowImageIndex(row), row->StateIndex);
    case Qt::ToolTipRole: {
      const std::string tip = TNodeList::Tooltip(row);
      return tip.empty() ? QVariant() : QVariant(QString::fromStdString(tip));
    }
    case Qt::TextAlignmentRole:
      return AlignmentOf(index.column());
    default:
      return {};
  }
}

QVariant NodeListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount()) return {};
  if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
    return QString::fromStdString(ColumnCaption(NodeListColumns()[section], Translations_));
  if (role == Qt::TextAlignmentRole) return AlignmentOf(section);
  return {};
}

Qt::ItemFlags NodeListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void NodeListModel::ListAboutToReset() {
  Changes_.BeginReset([this] { beginResetModel(); });
}

void NodeListModel::ListReset() {
  if (Filtered_) {
    // The rows are new: the filter reads them again.
    Shown_.clear();
    Scanned_ = 0;
    ScanLater_.stop();
  }
  Changes_.EndReset([this] { endResetModel(); });
  if (Filtered_) Scan(kFilterSlice);
}

void NodeListModel::RowChanged(TListRow* row, int index) {
  if (row && index >= 0) Changes_.Add(index);
}

void NodeListModel::RowAboutToBeAppended(int index) {
  if (!Filtered_) beginInsertRows(QModelIndex(), index, index);
}

void NodeListModel::RowAppended(TListRow* row) {
  if (!Filtered_) {
    endInsertRows();
    return;
  }
  // Read at once when the filter has read every row before it; else its turn comes.
  const int index = List_.Count() - 1;
  if (Scanned_ != index) return;
  Scanned_ = index + 1;
  if (!row || !Filter_.Matches(*row)) return;
  const int at = static_cast<int>(Shown_.size());
  beginInsertRows(QModelIndex(), at, at);
  Shown_.push_back(index);
  endInsertRows();
}

}  // namespace gui
