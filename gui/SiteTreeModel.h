// The site tree as a Qt item model: an adapter over the core's tree, not a copy. An index
// carries its tree entry; captions and icons are read from the entries; the tree's
// notifications map one to one onto Qt's (insertions exact, resets whole, changes coalesced).
#pragma once

#include <QAbstractItemModel>
#include <QTimer>
#include <unordered_set>

#include "app/SpiderTools.h"

namespace gui {

class SiteTreeModel : public QAbstractItemModel, private TSiteTreeObserver {
  Q_OBJECT
 public:
  // The icon of an entry while it is selected (an open folder), for the view's delegate.
  static constexpr int SelectedIconRole = Qt::UserRole + 1;

  explicit SiteTreeModel(TSiteTree& tree, QObject* parent = nullptr);
  ~SiteTreeModel() override;

  QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  QModelIndex IndexOf(const TTreeEntry* entry) const;
  // Captions longer than this (the rest of a very deep path) are shown with their middle left
  // out; the tooltip holds the caption.
  static constexpr size_t kMaxShownCaption = 512;
  static QString ShownCaption(const std::string& caption);
  static TTreeEntry* EntryOf(const QModelIndex& index);
  // Emits the changes collected so far at once (the timer does it otherwise).
  void FlushChanges();
  // How long changes are collected before they are told (0: at once).
  void SetCoalesceInterval(int milliseconds);

 private:
  void TreeAboutToReset() override;
  void TreeReset() override;
  void EntryAboutToBeAdded(TTreeEntry* parent, int row) override;
  void EntryAdded(TTreeEntry* entry) override;
  void EntryChanged(TTreeEntry* entry) override;
  void MarkChanged(TTreeEntry* entry);

  TSiteTree& Tree_;
  std::unordered_set<TTreeEntry*> Changed_;
  QTimer Flush_;
  bool Resetting_ = false;
};

}  // namespace gui
