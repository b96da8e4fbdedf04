// The node list: rows that each refer to a tree entry, with the columns that describe each
// document. A list view presents these rows (it asks for a row's icon, which fills the row's
// cells); the list exports and tessaly-crawl read them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Kel/KelComCtrls.h"

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
  int StateIndex = -1;  // status mark, -1 for none
  bool Selected = false;
  TNodeList* List;

  bool Filled() const { return !Cells.empty(); }
};

class TNodeListObserver {
 public:
  virtual ~TNodeListObserver() = default;
  virtual void ListAboutToReset() {}
  virtual void ListReset() {}
  virtual void RowChanged(TListRow* /*row*/, int /*index*/) {}
};

struct TListColumn {
  const char* Caption;
  int Width;  // pixels
  TAlignment Alignment;
};

// The columns of the node list, in order.
enum TNodeListColumn : int {
  lcName,
  lcSize,
  lcType,
  lcLocalDate,
  lcRemoteDate,
  lcCode,
  lcSpelling,
  lcAddress,
  lcCount
};
extern const TListColumn kNodeListColumns[lcCount];

class TNodeList : public TCustomListItems {
 public:
  TNodeList() = default;
  TNodeList(const TNodeList&) = delete;
  TNodeList& operator=(const TNodeList&) = delete;
  ~TNodeList() override;

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

  // The icon of a row, as the view asks for it before drawing; fills the row's cells, icon and
  // status mark first when they are empty.
  int RowImageIndex(TListRow* row);
  // Fills a row's cells, icon and status mark unless it is filled already or has no entry.
  void FillRow(TListRow* row);
  // Fills every row that is not filled yet (before an export).
  void FillAllRows();
  // The text of a cell: column 0 is the caption; the others fill the row first.
  std::string CellText(TListRow* row, int column);
  // The row's tooltip: its node's description unless blank, else the node's preview target;
  // empty for a row without a node.
  static std::string Tooltip(const TListRow* row);

  // Sorting: the state of the last column click and the comparison it sorts with.
  int SortColumn = 0;
  int SortDirection = 0;
  // A click on a column header: sets the sort state and sorts the rows once.
  void ColumnClick(int column);
  // Sorts the rows once by the current sort state (rows added later keep their fill order).
  void Sort();
  // Negative when `a` comes first, by `column` and `direction` (+1 ascending, -1 descending).
  static int CompareRows(const TListRow& a, const TListRow& b, int column, int direction);

  // Selection.
  int SelectedCount() const;
  std::vector<TListRow*> SelectedRows() const;
  // `row` becomes the only selected row (none: the selection is cleared).
  void SelectOnly(TListRow* row);
  // The status bar's count: "1 object", "0 objects", "3 objects selected".
  std::string CountText() const;

  // The rows as list exports read them.
  int ItemCount() const override { return Count(); }
  const std::string& ItemCaption(int index) const override { return Row(index)->Caption; }
  const std::vector<std::string>& ItemSubItems(int index) const override { return Row(index)->Cells; }
  bool ItemSelected(int index) const override { return Row(index)->Selected; }
  // Name, type and address come from the site; sizes, dates, codes and counts are the program's.
  bool ColumnIsText(int column) const override { return column == lcName || column == lcType || column == lcAddress; }

  void AddObserver(TNodeListObserver* observer);
  void RemoveObserver(TNodeListObserver* observer);

 protected:
  friend class TSiteTree;
  TSiteTree* Tree_ = nullptr;  // the tree whose entries the rows refer to
  std::vector<std::unique_ptr<TListRow>> Rows_;
  std::vector<TNodeListObserver*> Observers_;
  int UpdateDepth_ = 0;
};

// "1 object", "0 objects", "3 objects selected": `count` items, selected ones or all.
std::string ObjectCountText(int count, bool selected);
