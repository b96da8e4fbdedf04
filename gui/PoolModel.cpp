#include "gui/PoolModel.h"

#include <QString>

#include "gui/Icons.h"
#include "gui/Translator.h"

namespace gui {

namespace {
const char* const kColumns[] = {"Address", "Status", "%"};
}

PoolModel::PoolModel(TFormHTTPClient& pool, QObject* parent) : QAbstractTableModel(parent), Pool_(pool) {
  Flush_.setSingleShot(true);
  Flush_.setInterval(50);
  connect(&Flush_, &QTimer::timeout, this, &PoolModel::FlushChanges);
  Pool_.AddObserver(this);
}

PoolModel::~PoolModel() { Pool_.RemoveObserver(this); }

void PoolModel::SetCoalesceInterval(int milliseconds) { Flush_.setInterval(milliseconds); }

int PoolModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Pool_.RowCount(); }

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
          return QString::fromStdString(item.Caption);
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
  FlushChanges();
  beginInsertRows({}, row, row);
}

void PoolModel::RowAdded(int) {
  endInsertRows();
  emit DisplayChanged();
}

void PoolModel::RowChanged(int row) {
  if (Flush_.interval() == 0) {
    emit dataChanged(index(row, 0), index(row, 2));
    return;
  }
  Changed_.insert(row);
  if (!Flush_.isActive()) Flush_.start();
}

void PoolModel::RowAboutToBeRemoved(int row) {
  // Positions collected so far refer to the rows before the removal.
  FlushChanges();
  beginRemoveRows({}, row, row);
}

void PoolModel::RowRemoved(int) {
  endRemoveRows();
  emit DisplayChanged();
}

void PoolModel::ListAboutToReset() {
  Changed_.clear();
  Flush_.stop();
  if (!Resetting_) {
    Resetting_ = true;
    beginResetModel();
  }
}

void PoolModel::ListReset() {
  if (Resetting_) {
    Resetting_ = false;
    endResetModel();
  }
  emit DisplayChanged();
}

void PoolModel::FlushChanges() {
  Flush_.stop();
  if (Changed_.empty()) return;
  const std::set<int> changed = std::move(Changed_);
  Changed_.clear();
  const int count = Pool_.RowCount();
  for (auto it = changed.begin(); it != changed.end();) {
    int first = *it, last = *it;
    for (++it; it != changed.end() && *it == last + 1; ++it) last = *it;
    if (first >= count) break;
    emit dataChanged(index(first, 0), index(std::min(last, count - 1), 2));
  }
}

}  // namespace gui
