// The node list: rows that each refer to a tree entry, with the columns that describe each
// document. A list view presents these rows (it asks for a row's icon, which fills the row's
// cells); the list exports and tessaly-crawl read them.
#pragma once

#include <memory>
#include <span>
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
  std::vector<std::string> Cells;  // the columns after the name (column c at c - 1); empty until filled
  int ImageIndex = -1;
  int StateIndex = -1;  // status mark, -1 for none
  bool Selected = false;
  TNodeList* List;
  int Index = -1;  // its position in the list, kept by the list (a hint: IndexOf checks it)

  bool Filled() const { return !Cells.empty(); }
};

class TNodeListObserver {
 public:
  virtual ~TNodeListObserver() = default;
  virtual void ListAboutToReset() {}
  virtual void ListReset() {}
  virtual void RowChanged(TListRow* /*row*/, int /*index*/) {}
  // One row appended outside a batch (the list following a crawl): before and after.
  virtual void RowAboutToBeAppended(int /*index*/) {}
  virtual void RowAppended(TListRow* /*row*/) {}
};

class TSpiderNode;
class TTranslationStore;

// The columns of the node list, by id; their order on screen is the order of NodeListColumns().
enum TNodeListColumn : int {
  lcName,
  lcSize,
  lcType,
  lcLocalDate,
  lcRemoteDate,
  lcCode,
  lcSpelling,
  lcAddress,
  lcStatus,  // the answer's text: the status line, or why the address failed or was not requested
  lcCount
};

// One column of the node list, as everything that shows, sorts, translates or exports the list
// reads it. A new column is one entry of the table in NodeList.cpp (and an id above).
struct TListColumn {
  TNodeListColumn Id;
  const char* Caption;  // the header; also the text its translation is looked up by
  int Width;            // pixels
  TAlignment Alignment;
  // Written by the list exports (CSV and HTML table). Their eight columns are fixed: a column
  // added for the screen is not exported.
  bool Exported;
  // The cell holds text from the site (name, type, address) rather than the program's own
  // figures: CSV keeps such cells from reading as spreadsheet formulas.
  bool SiteText;
  // The cell of a row: `node` null for a folder without a page; `answered` false for an address
  // not answered yet or never requested. Null for the name column, which shows the caption.
  std::string (*Cell)(const TSpiderNode* node, bool answered);
  // The sort key: negative when `a` comes first (ascending). Rows without a node never reach it.
  int (*Compare)(const TListRow& ra, const TSpiderNode& a, const TListRow& rb, const TSpiderNode& b);
  // For a column of names sorted by the user's locale (Compare being CompareNames of these
  // texts): the text of a row, whose collation key a sort makes once per row. Null otherwise.
  const std::string& (*SortText)(const TListRow& row, const TSpiderNode& node) = nullptr;
  // For a column whose order is the byte order of a text made from the node (the address, its
  // letters folded as Compare folds them): that text, which a sort makes once per row rather than
  // at each comparison. Null otherwise.
  std::string (*SortKey)(const TSpiderNode& node) = nullptr;
};

// Whether a row shows the answer's figures for `node` (sizes, dates, code): the address was
// answered and is no mail, script, news or other special address.
bool ShowsAnswer(const TSpiderNode* node);

// The text of a cell of `row` as the list shows it, without filling the row (the row's own cells
// when it is filled).
std::string ListCellText(const TListRow& row, int column);

// The section of "lang.txt" the column captions are translated in.
inline constexpr const char* kNodeListColumnSection = "TFormTessaly";

// Every column, in order (the id of entry i is i).
extern const TListColumn kNodeListColumns[lcCount];
inline std::span<const TListColumn> NodeListColumns() { return kNodeListColumns; }
// A column's caption, translated by `store` when there is one.
std::string ColumnCaption(const TListColumn& column, const TTranslationStore* store);

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
  // Adds a row for `entry`; the entry's node (NodeOf) now points to this row. Outside a batch
  // the observers hear of one appended row rather than a reset.
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
  // By the column table: name, type and address come from the site; sizes, dates, codes and
  // counts are the program's. Only the exported columns are written.
  bool ColumnIsText(int column) const override;
  bool ColumnIsExported(int column) const override;

  void AddObserver(TNodeListObserver* observer);
  void RemoveObserver(TNodeListObserver* observer);

 protected:
  friend class TSiteTree;
  TSiteTree* Tree_ = nullptr;  // the tree whose entries the rows refer to
  std::vector<std::unique_ptr<TListRow>> Rows_;
  void SortByKeys(const TListColumn& column);
  std::vector<TNodeListObserver*> Observers_;
  int UpdateDepth_ = 0;
};

// "1 object", "0 objects", "3 objects selected": `count` items, selected ones or all.
std::string ObjectCountText(int count, bool selected);
