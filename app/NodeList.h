// The node list: rows that each refer to a tree entry. The list view presents these rows;
// exports and tessaly-crawl read them.
#pragma once

#include <memory>
#include <string>
#include <vector>

class TTreeEntry;
class TNodeList;
class TSiteTree;

class TListRow {
 public:
  TListRow(TNodeList* list, TTreeEntry* entry, std::string caption)
      : Caption(std::move(caption)), Entry(entry), List(list) {}
  std::string Caption;             // the entry's caption when the row was added
  TTreeEntry* Entry;               // never the node directly
  std::vector<std::string> Cells;  // columns 1..7; empty until the row is filled
  int ImageIndex = -1;
  int StateIndex = -1;             // status mark, -1 for none
  bool Selected = false;
  TNodeList* List;
};

class TNodeListObserver {
 public:
  virtual ~TNodeListObserver() = default;
  virtual void ListAboutToReset() {}
  virtual void ListReset() {}
  virtual void RowChanged(TListRow* /*row*/, int /*index*/) {}
};

class TNodeList {
 public:
  TNodeList() = default;
  TNodeList(const TNodeList&) = delete;
  TNodeList& operator=(const TNodeList&) = delete;
  ~TNodeList();

  int Count() const { return static_cast<int>(Rows_.size()); }
  TListRow* Row(int i) const { return Rows_.at(static_cast<size_t>(i)).get(); }
  const std::vector<std::unique_ptr<TListRow>>& Rows() const { return Rows_; }
  int IndexOf(const TListRow* row) const;

  // Rows are changed in batches: observers hear one reset per batch.
  void BeginUpdate();
  void EndUpdate();
  // Adds a row for `entry`; the entry's node (NodeOf) now points to this row.
  TListRow* AddRow(TTreeEntry* entry);
  // Removes every row, clearing the nodes' links to them.
  void Clear();
  // Empties a row's cells so that the next drawing fills them again.
  void RefreshRow(TListRow* row);

  void AddObserver(TNodeListObserver* observer);
  void RemoveObserver(TNodeListObserver* observer);

 protected:
  friend class TSiteTree;
  TSiteTree* Tree_ = nullptr;  // the tree whose entries the rows refer to
  std::vector<std::unique_ptr<TListRow>> Rows_;
  std::vector<TNodeListObserver*> Observers_;
  int UpdateDepth_ = 0;
};
