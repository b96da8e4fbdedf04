#include "gui/NodeListModel.h"

#include <QString>
#include <algorithm>
#include <vector>

#include "gui/Icons.h"
#include "gui/Translator.h"

namespace gui {

NodeListModel::NodeListModel(TNodeList& list, QObject* parent) : QAbstractTableModel(parent), List_(list) {
  Flush_.setSingleShot(true);
  Flush_.setInterval(50);
  connect(&Flush_, &QTimer::timeout, this, &NodeListModel::FlushChanges);
  List_.AddObserver(this);
}

NodeListModel::~NodeListModel() { List_.RemoveObserver(this); }

void NodeListModel::SetCoalesceInterval(int milliseconds) { Flush_.setInterval(milliseconds); }

TListRow* NodeListModel::RowOf(const QModelIndex& index) const {
  if (!index.isValid() || index.row() >= List_.Count()) return nullptr;
  return List_.Row(index.row());
}

int NodeListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : List_.Count(); }

int NodeListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : lcCount; }

QVariant NodeListModel::data(const QModelIndex& index, int role) const {
  TListRow* row = RowOf(index);
  if (!row || index.column() >= lcCount) return {};
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
      return static_cast<int>(
          (kNodeListColumns[index.column()].Alignment == TAlignment::taRightJustify ? Qt::AlignRight : Qt::AlignLeft) |
          Qt::AlignVCenter);
    default:
      return {};
  }
}

QVariant NodeListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= lcCount) return {};
  if (role == Qt::DisplayRole) return SectionString(kNodeListColumns[section].Caption, kNodeListColumnSection);
  if (role == Qt::TextAlignmentRole)
    return static_cast<int>(
        (kNodeListColumns[section].Alignment == TAlignment::taRightJustify ? Qt::AlignRight : Qt::AlignLeft) |
        Qt::AlignVCenter);
  return {};
}

Qt::ItemFlags NodeListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void NodeListModel::ListAboutToReset() {
  Changed_.clear();
  Flush_.stop();
  if (!Resetting_) {
    Resetting_ = true;
    beginResetModel();
  }
}

void NodeListModel::ListReset() {
  if (Resetting_) {
    Resetting_ = false;
    endResetModel();
  }
}

void NodeListModel::RowChanged(TListRow* row, int index) {
  if (!row || index < 0) return;
  if (Flush_.interval() == 0) {
    emit dataChanged(this->index(index, 0), this->index(index, lcCount - 1));
    return;
  }
  Changed_.insert(index);
  if (!Flush_.isActive()) Flush_.start();
}

void NodeListModel::FlushChanges() {
  Flush_.stop();
  if (Changed_.empty()) return;
  const auto changed = std::move(Changed_);
  Changed_.clear();
  // One change per run of neighbouring rows.
  std::vector<int> rows(changed.begin(), changed.end());
  std::sort(rows.begin(), rows.end());
  rows.erase(std::remove_if(rows.begin(), rows.end(), [this](int r) { return r >= List_.Count(); }), rows.end());
  for (size_t i = 0; i < rows.size();) {
    size_t j = i;
    while (j + 1 < rows.size() && rows[j + 1] == rows[j] + 1) ++j;
    emit dataChanged(index(rows[i], 0), index(rows[j], lcCount - 1));
    i = j + 1;
  }
}

}  // namespace gui
