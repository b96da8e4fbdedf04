#include "gui/SiteTreeModel.h"

#include <QString>

#include "Kel/KelStr.h"
#include "gui/Icons.h"

namespace gui {

SiteTreeModel::SiteTreeModel(TSiteTree& tree, QObject* parent) : QAbstractItemModel(parent), Tree_(tree) {
  Flush_.setSingleShot(true);
  Flush_.setInterval(50);
  connect(&Flush_, &QTimer::timeout, this, &SiteTreeModel::FlushChanges);
  Tree_.AddObserver(this);
}

SiteTreeModel::~SiteTreeModel() { Tree_.RemoveObserver(this); }

void SiteTreeModel::SetCoalesceInterval(int milliseconds) { Flush_.setInterval(milliseconds); }

TTreeEntry* SiteTreeModel::EntryOf(const QModelIndex& index) {
  return index.isValid() ? static_cast<TTreeEntry*>(index.internalPointer()) : nullptr;
}

QModelIndex SiteTreeModel::IndexOf(const TTreeEntry* entry) const {
  if (!entry) return {};
  return createIndex(entry->Index, 0, const_cast<TTreeEntry*>(entry));
}

QModelIndex SiteTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (column != 0 || row < 0) return {};
  if (const TTreeEntry* p = EntryOf(parent)) {
    if (row >= p->Count()) return {};
    return createIndex(row, 0, p->Child(row));
  }
  if (row >= static_cast<int>(Tree_.TopLevel().size())) return {};
  return createIndex(row, 0, Tree_.TopLevel()[static_cast<size_t>(row)].get());
}

QModelIndex SiteTreeModel::parent(const QModelIndex& child) const {
  const TTreeEntry* entry = EntryOf(child);
  return entry ? IndexOf(entry->Parent) : QModelIndex();
}

int SiteTreeModel::rowCount(const QModelIndex& parent) const {
  if (parent.column() > 0) return 0;
  if (const TTreeEntry* p = EntryOf(parent)) return p->Count();
  return static_cast<int>(Tree_.TopLevel().size());
}

int SiteTreeModel::columnCount(const QModelIndex&) const { return 1; }

bool SiteTreeModel::hasChildren(const QModelIndex& parent) const { return rowCount(parent) > 0; }

QString SiteTreeModel::ShownCaption(const std::string& caption) {
  if (caption.size() <= kMaxShownCaption) return QString::fromStdString(caption);
  // Its beginning and its end, so that a row stays as wide as a long name.
  const QString text = QString::fromStdString(caption);
  const qsizetype half = static_cast<qsizetype>(kMaxShownCaption / 2);
  return text.left(half) + QChar(0x2026) + text.right(half);
}

QVariant SiteTreeModel::data(const QModelIndex& index, int role) const {
  const TTreeEntry* entry = EntryOf(index);
  if (!entry) return {};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
      return ShownCaption(entry->Caption);
    case Qt::ToolTipRole:
      // The whole of a caption that is shown shortened (the rest of a very deep path).
      return entry->Caption.size() > kMaxShownCaption ? QString::fromStdString(entry->Caption.substr(0, 4096))
                                                      : QVariant();
    case Qt::DecorationRole:
      return NodeIcon(TreeIconIndex(entry, false));
    case SelectedIconRole:
      return NodeIcon(TreeIconIndex(entry, true));
    default:
      return {};
  }
}

Qt::ItemFlags SiteTreeModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

void SiteTreeModel::TreeAboutToReset() {
  // Entries are about to go: collected changes would point at freed entries.
  Changed_.clear();
  Flush_.stop();
  if (!Resetting_) {
    Resetting_ = true;
    beginResetModel();
  }
}

void SiteTreeModel::TreeReset() {
  if (Resetting_) {
    Resetting_ = false;
    endResetModel();
  }
}

void SiteTreeModel::EntryAboutToBeAdded(TTreeEntry* parent, int row) { beginInsertRows(IndexOf(parent), row, row); }

void SiteTreeModel::EntryAdded(TTreeEntry* entry) {
  endInsertRows();
  // A parent that gains its first child changes its icon (an empty entry becomes a folder).
  if (entry->Parent && entry->Parent->Count() == 1) EntryChanged(entry->Parent);
}

void SiteTreeModel::EntryChanged(TTreeEntry* entry) {
  if (!entry) return;
  // A folder shows the icon of its "index.html" page.
  if (entry->Parent && !entry->Parent->Node && SameText(entry->Caption, "index.html")) MarkChanged(entry->Parent);
  MarkChanged(entry);
}

void SiteTreeModel::MarkChanged(TTreeEntry* entry) {
  if (Flush_.interval() == 0) {
    const QModelIndex i = IndexOf(entry);
    emit dataChanged(i, i);
    return;
  }
  Changed_.insert(entry);
  if (!Flush_.isActive()) Flush_.start();
}

void SiteTreeModel::FlushChanges() {
  Flush_.stop();
  if (Changed_.empty()) return;
  const auto changed = std::move(Changed_);
  Changed_.clear();
  for (TTreeEntry* entry : changed) {
    const QModelIndex i = IndexOf(entry);
    emit dataChanged(i, i, {Qt::DisplayRole, Qt::DecorationRole});
  }
}

}  // namespace gui
