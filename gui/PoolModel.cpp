#include "gui/PoolModel.h"

#include <QString>
#include <algorithm>

#include "gui/Icons.h"
#include "gui/Translator.h"

namespace gui {

namespace {
const char* const kColumns[] = {"Address", "Status", "%"};
}

PoolModel::PoolModel(TFormHTTPClient& pool, QObject* parent)
    : QAbstractTableModel(parent), Pool_(pool), Changes_([this](const std::vector<int>& rows) {
        ForEachRowRun(rows, std::min(Shown_, Pool_.RowCount()), [this](int first, int last) { emit dataChanged(index(first, 0), index(last, 2)); });
      }) {
  Shown_ = Pool_.RowCount();
  StructureTimer_.setSingleShot(true);
  StructureTimer_.setInterval(100);
  connect(&StructureTimer_, &QTimer::timeout, this, &PoolModel::TellStructure);
  Pool_.AddObserver(this);
}

PoolModel::~PoolModel() { Pool_.RemoveObserver(this); }

void PoolModel::SetCoalesceInterval(int milliseconds) { Changes_.SetInterval(milliseconds); }

void PoolModel::FlushChanges() {
  TellStructure();
  Changes_.Flush();
}

void PoolModel::SetStructureBatched(bool on) {
  if (Batched_ == on) return;
  Batched_ = on;
  if (!on) TellStructure();
}

void PoolModel::StructureChanged() {
  StructureHeld_ = true;
  Changes_.Clear();  // the reset repaints every row
  if (!StructureTimer_.isActive()) StructureTimer_.start();
}

void PoolModel::TellStructure() {
  StructureTimer_.stop();
  if (!StructureHeld_) return;
  StructureHeld_ = false;
  Changes_.Clear();
  beginResetModel();
  Shown_ = Pool_.RowCount();
  endResetModel();
}

int PoolModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Shown_; }

int PoolModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 3; }

QVariant PoolModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= Pool_.RowCount()) return {};
  const TRequestData& request = Pool_.Row(index.row());
  const TRequestItem& item = request.Item;
  switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
      switch (index.column()) {
        case 0:
          return QString::fromStdString(request.Caption());
        case 1:
          return QString::fromStdString(item.Status);
        case 2:
          return QString::fromStdString(item.Progress);
        default:
          return {};
      }
    case Qt::DecorationRole:
      // Waiting requests show the "not fetched" mark, those in transfer a tick.
      return index.column() == 0 ? StatusMark(item.ImageIndex == 0 ? 0 : 1) : QVariant();
    case Qt::ToolTipRole:
      return QString::fromStdString(request.URL);
    case Qt::TextAlignmentRole:
      return static_cast<int>((index.column() == 2 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    default:
      return {};
  }
}

QVariant PoolModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= 3) return {};
  if (role == Qt::DisplayRole) return SectionString(kColumns[section], "TFormHTTPClient");
  return {};
}

Qt::ItemFlags PoolModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void PoolModel::RowAboutToBeAdded(int row) {
  if (Batched_ || StructureHeld_) return;
  FlushChanges();
  beginInsertRows({}, row, row);
}

void PoolModel::RowAdded(int) {
  if (Batched_ || StructureHeld_) {
    StructureChanged();
  } else {
    Shown_ = Pool_.RowCount();
    endInsertRows();
  }
  emit DisplayChanged();
}

void PoolModel::RowChanged(int row) {
  if (!StructureHeld_) Changes_.Add(row);
}

void PoolModel::RowAboutToBeRemoved(int row) {
  if (Batched_ || StructureHeld_) return;
  // Positions collected so far refer to the rows before the removal.
  FlushChanges();
  beginRemoveRows({}, row, row);
}

void PoolModel::RowRemoved(int) {
  if (Batched_ || StructureHeld_) {
    StructureChanged();
  } else {
    Shown_ = Pool_.RowCount();
    endRemoveRows();
  }
  emit DisplayChanged();
}

void PoolModel::ListAboutToReset() {
  StructureTimer_.stop();
  StructureHeld_ = false;
  Changes_.BeginReset([this] { beginResetModel(); });
}

void PoolModel::ListReset() {
  Shown_ = Pool_.RowCount();
  Changes_.EndReset([this] { endResetModel(); });
  emit DisplayChanged();
}

}  // namespace gui
