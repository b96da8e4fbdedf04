#include "gui/NodeListModel.h"

#include <QString>
#include <vector>

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
        ForEachRowRun(rows, List_.Count(), [this](int first, int last) {
          emit dataChanged(index(first, 0), index(last, ColumnCount() - 1));
        });
      }) {
  List_.AddObserver(this);
}

NodeListModel::~NodeListModel() { List_.RemoveObserver(this); }

void NodeListModel::SetCoalesceInterval(int milliseconds) { Changes_.SetInterval(milliseconds); }

void NodeListModel::FlushChanges() { Changes_.Flush(); }

void NodeListModel::SetTranslations(const TTranslationStore* store) {
  Translations_ = store;
  emit headerDataChanged(Qt::Horizontal, 0, ColumnCount() - 1);
}

TListRow* NodeListModel::RowOf(const QModelIndex& index) const {
  if (!index.isValid() || index.row() >= List_.Count()) return nullptr;
  return List_.Row(index.row());
}

int NodeListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : List_.Count(); }

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
  Changes_.EndReset([this] { endResetModel(); });
}

void NodeListModel::RowChanged(TListRow* row, int index) {
  if (row && index >= 0) Changes_.Add(index);
}

void NodeListModel::RowAboutToBeAppended(int index) { beginInsertRows(QModelIndex(), index, index); }

void NodeListModel::RowAppended(TListRow*) { endInsertRows(); }

}  // namespace gui
