#include "app/NodeList.h"

#include <algorithm>

#include "Kel/KelCollate.h"
#include "Kel/KelStr.h"
#include "Kel/KelTranslate.h"
#include "app/SpiderTools.h"

namespace {

// The answer's text on one line.
std::string StatusText(const TSpiderNode& node) {
  std::string text = node.ResponseText;
  for (char& c : text)
    if (c == '\r' || c == '\n' || c == '\t') c = ' ';
  return text;
}

template <class T>
int Sign(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

// Cells of the program's figures: empty until the address is answered.
template <std::string (*Text)(const TSpiderNode&)>
std::string Answered(const TSpiderNode* node, bool answered) {
  return node && answered ? Text(*node) : std::string();
}

// Numbers compare by sign, never by a difference that could overflow.
template <class T, T TSpiderNode::*Field>
int ByField(const TListRow&, const TSpiderNode& a, const TListRow&, const TSpiderNode& b) {
  return Sign(a.*Field, b.*Field);
}

}  // namespace

// Each column once: what it shows, how it sorts, whether it is exported.
constexpr TListColumn kNodeListColumns[lcCount] = {
    {lcName, "Name", 180, TAlignment::taLeftJustify, true, true, nullptr,
     [](const TListRow& ra, const TSpiderNode&, const TListRow& rb, const TSpiderNode&) {
       return CompareNames(ra.Caption, rb.Caption);
     },
     [](const TListRow& row, const TSpiderNode&) -> const std::string& { return row.Caption; }},
    {lcSize, "Size", 60, TAlignment::taRightJustify, true, false,
     Answered<[](const TSpiderNode& n) { return SizeText(n.ContentLength); }>,
     ByField<int32_t, &TSpiderNode::ContentLength>},
    {lcType, "Type", 70, TAlignment::taLeftJustify, true, true,
     // Known before the answer; a folder row says what it is.
     [](const TSpiderNode* node, bool) { return node ? node->ContentType.str() : RunTimeText("File Folder"); },
     [](const TListRow&, const TSpiderNode& a, const TListRow&, const TSpiderNode& b) {
       return CompareNames(a.ContentType, b.ContentType);
     },
     [](const TListRow&, const TSpiderNode& node) -> const std::string& { return node.ContentType; }},
    {lcLocalDate, "Local Date", 130, TAlignment::taLeftJustify, true, false,
     Answered<[](const TSpiderNode& n) { return DateText(n.LocalDate); }>, ByField<TDateTime, &TSpiderNode::LocalDate>},
    {lcRemoteDate, "Remote Date", 130, TAlignment::taLeftJustify, true, false,
     Answered<[](const TSpiderNode& n) { return DateText(n.RemoteDate); }>,
     ByField<TDateTime, &TSpiderNode::RemoteDate>},
    {lcCode, "Code", 45, TAlignment::taRightJustify, true, false,
     Answered<[](const TSpiderNode& n) { return IntToStr(n.ResponseCode); }>,
     ByField<int32_t, &TSpiderNode::ResponseCode>},
    {lcSpelling, "Spelling", 50, TAlignment::taRightJustify, true, false,
     Answered<[](const TSpiderNode& n) { return IntToStr(n.SpellingErrors); }>,
     ByField<int32_t, &TSpiderNode::SpellingErrors>},
    {lcAddress, "Address", 128, TAlignment::taLeftJustify, true, true,
     Answered<[](const TSpiderNode& n) { return n.URLText(); }>,
     [](const TListRow&, const TSpiderNode& a, const TListRow&, const TSpiderNode& b) {
       return CompareText(a.URLText(), b.URLText());
     },
     nullptr, [](const TSpiderNode& n) { return LowerCase(n.URLText()); }},
    // Shown on screen only: the list exports keep their eight columns.
    {lcStatus, "Status", 170, TAlignment::taLeftJustify, false, true,
     // Also before an answer: an address never requested says why.
     [](const TSpiderNode* node, bool) { return node ? StatusText(*node) : std::string(); },
     [](const TListRow&, const TSpiderNode& a, const TListRow&, const TSpiderNode& b) {
       return CompareText(a.ResponseText, b.ResponseText);
     },
     nullptr, [](const TSpiderNode& n) { return LowerCase(n.ResponseText); }},
};

namespace {
// A missing entry would leave a zero entry at the end: every id must sit at its own place.
constexpr bool EveryColumnInPlace() {
  for (int i = 0; i < lcCount; ++i)
    if (kNodeListColumns[i].Id != i) return false;
  return true;
}
static_assert(EveryColumnInPlace(), "one entry per column id, entry i for id i");
}  // namespace

std::string ColumnCaption(const TListColumn& column, const TTranslationStore* store) {
  return store ? store->Translate(column.Caption, kNodeListColumnSection) : std::string(column.Caption);
}

TNodeList::~TNodeList() {
  // While the tree lives, its nodes must not keep links to rows that are gone.
  if (Tree_) {
    for (auto& row : Rows_)
      if (TSpiderNode* node = NodeOf(row->Entry); node && node->ListItem == row.get()) node->ListItem = nullptr;
    Tree_->List = nullptr;
  }
}

int TNodeList::IndexOf(const TListRow* row) const {
  // The row's own position, kept up to date by AddRow and Sort: no search through a long list at
  // every refresh of a row during a crawl.
  if (row && row->Index >= 0 && row->Index < Count() && Rows_[static_cast<size_t>(row->Index)].get() == row)
    return row->Index;
  for (size_t i = 0; i < Rows_.size(); ++i)
    if (Rows_[i].get() == row) return static_cast<int>(i);
  return -1;
}

void TNodeList::BeginUpdate() {
  if (UpdateDepth_++ == 0)
    for (auto* o : Observers_) o->ListAboutToReset();
}

void TNodeList::EndUpdate() {
  if (UpdateDepth_ > 0 && --UpdateDepth_ == 0)
    for (auto* o : Observers_) o->ListReset();
}

TListRow* TNodeList::AddRow(TTreeEntry* entry) {
  const bool single = UpdateDepth_ == 0;
  if (single)
    for (auto* o : Observers_) o->RowAboutToBeAppended(Count());
  Rows_.push_back(std::make_unique<TListRow>(this, entry, entry ? entry->Caption : std::string()));
  TListRow* row = Rows_.back().get();
  row->Index = Count() - 1;
  if (TSpiderNode* node = NodeOf(entry)) node->ListItem = row;
  if (single)
    for (auto* o : Observers_) o->RowAppended(row);
  return row;
}

void TNodeList::Clear() {
  BeginUpdate();
  for (auto& row : Rows_)
    if (TSpiderNode* node = NodeOf(row->Entry); node && node->ListItem == row.get()) node->ListItem = nullptr;
  Rows_.clear();
  EndUpdate();
}

void TNodeList::RefreshRow(TListRow* row) {
  if (!row) return;
  row->Cells.clear();
  if (UpdateDepth_ > 0) return;
  const int index = IndexOf(row);
  for (auto* o : Observers_) o->RowChanged(row, index);
}

int TNodeList::RowImageIndex(TListRow* row) {
  if (!row) return -1;
  FillRow(row);
  return row->ImageIndex;
}

void TNodeList::FillRow(TListRow* row) {
  if (!row || !row->Entry || row->Filled()) return;
  const TSpiderNode* node = NodeOf(row->Entry);
  // A folder without a page of its own gets the folder's icon and no mark.
  row->ImageIndex = node ? node->TypeIconIndex() : TreeIconIndex(row->Entry);
  row->StateIndex = node ? node->StatusIndex() : -1;
  // Not answered (yet), or an address that is never requested: only the type is known.
  const bool answered = ShowsAnswer(node);
  row->Cells.clear();
  row->Cells.reserve(lcCount - 1);
  for (const TListColumn& column : NodeListColumns())
    if (column.Cell) row->Cells.push_back(column.Cell(node, answered));
  // A leaf without a node is an address the map does not hold (gone since a compared project):
  // its caption is the address, and it is no folder.
  if (!node && !row->Entry->HasChildren() && row->Entry->Parent) {
    row->Cells[lcType - 1] = RunTimeText("Gone");
    row->Cells[lcAddress - 1] = row->Entry->Caption;
  }
}

bool ShowsAnswer(const TSpiderNode* node) {
  return node && node->ResponseCode > 0 && !IsSpecialScheme(node->Address().Protocol());
}

std::string ListCellText(const TListRow& row, int column) {
  if (column < 0 || column >= lcCount) return std::string();
  if (column == lcName) return row.Caption;
  if (row.Filled()) {
    const size_t i = static_cast<size_t>(column - 1);
    return i < row.Cells.size() ? row.Cells[i] : std::string();
  }
  if (!row.Entry) return std::string();
  const TSpiderNode* node = NodeOf(row.Entry);
  const TListColumn& c = kNodeListColumns[column];
  return c.Cell ? c.Cell(node, ShowsAnswer(node)) : std::string();
}

void TNodeList::FillAllRows() {
  for (auto& row : Rows_) FillRow(row.get());
}

std::string TNodeList::CellText(TListRow* row, int column) {
  if (!row || column < 0 || column >= lcCount) return std::string();
  if (column == lcName) return row->Caption;
  FillRow(row);
  const size_t i = static_cast<size_t>(column - 1);
  return i < row->Cells.size() ? row->Cells[i] : std::string();
}

std::string TNodeList::Tooltip(const TListRow* row) {
  const TSpiderNode* node = row ? NodeOf(row->Entry) : nullptr;
  if (!node) return std::string();
  if (!Trim(node->Description()).empty()) return std::string(node->Description());
  return node->PreviewTarget();
}

void TNodeList::ColumnClick(int column) {
  SortColumn = column;
  SortDirection = SortDirection == 0 ? 1 : -SortDirection;
  Sort();
}

void TNodeList::Sort() {
  BeginUpdate();
  const TListColumn* column = SortColumn >= 0 && SortColumn < lcCount ? &kNodeListColumns[SortColumn] : nullptr;
  if (column && (column->SortText || column->SortKey)) SortByKeys(*column);
  else
    std::stable_sort(Rows_.begin(), Rows_.end(),
                     [this](const auto& a, const auto& b) { return CompareRows(*a, *b, SortColumn, SortDirection) < 0; });
  for (size_t i = 0; i < Rows_.size(); ++i) Rows_[i]->Index = static_cast<int>(i);
  EndUpdate();
}

void TNodeList::SortByKeys(const TListColumn& column) {
  // The order CompareRows gives, with each row's key (a collation key, or the column's own) made
  // once rather than at each of the n log n comparisons: folders (rows without a node) first by
  // their captions, then the rest by the column's key.
  struct TKeyed {
    bool HasNode;
    std::string Key;
    std::unique_ptr<TListRow> Row;
  };
  std::vector<TKeyed> keyed;
  keyed.reserve(Rows_.size());
  for (auto& row : Rows_) {
    const TSpiderNode* node = NodeOf(row->Entry);
    std::string key = !node            ? CollationKey(row->Caption)
                      : column.SortKey ? column.SortKey(*node)
                                       : CollationKey(column.SortText(*row, *node));
    keyed.push_back({node != nullptr, std::move(key), std::move(row)});
  }
  const int direction = SortDirection;
  std::stable_sort(keyed.begin(), keyed.end(), [direction](const TKeyed& a, const TKeyed& b) {
    int result = a.HasNode != b.HasNode ? (a.HasNode ? 1 : -1) : a.Key.compare(b.Key);
    result = result < 0 ? -1 : (result > 0 ? 1 : 0);
    return result * direction < 0;
  });
  for (size_t i = 0; i < keyed.size(); ++i) Rows_[i] = std::move(keyed[i].Row);
}

int TNodeList::CompareRows(const TListRow& ra, const TListRow& rb, int column, int direction) {
  const TSpiderNode* a = NodeOf(ra.Entry);
  const TSpiderNode* b = NodeOf(rb.Entry);
  int result = 0;
  if (a && b) {
    if (column >= 0 && column < lcCount) result = kNodeListColumns[column].Compare(ra, *a, rb, *b);
  } else if (a) {
    result = 1;  // rows without a node, the folders, come first
  } else if (b) {
    result = -1;
  } else {
    result = CompareNames(ra.Caption, rb.Caption);
  }
  return result * direction;
}

bool TNodeList::ColumnIsText(int column) const {
  return column >= 0 && column < lcCount && kNodeListColumns[column].SiteText;
}

bool TNodeList::ColumnIsExported(int column) const {
  return column >= 0 && column < lcCount && kNodeListColumns[column].Exported;
}

int TNodeList::SelectedCount() const {
  int n = 0;
  for (const auto& row : Rows_)
    if (row->Selected) ++n;
  return n;
}

std::vector<TListRow*> TNodeList::SelectedRows() const {
  std::vector<TListRow*> rows;
  for (const auto& row : Rows_)
    if (row->Selected) rows.push_back(row.get());
  return rows;
}

void TNodeList::SelectOnly(TListRow* selected) {
  for (auto& row : Rows_) row->Selected = row.get() == selected;
}

std::string TNodeList::CountText() const {
  const int selected = SelectedCount();
  return selected > 0 ? ObjectCountText(selected, true) : ObjectCountText(Count(), false);
}

std::string ObjectCountText(int count, bool selected) {
  if (selected) return count == 1 ? FormatText("%d object selected", count) : FormatText("%d objects selected", count);
  return count == 1 ? FormatText("%d object", count) : FormatText("%d objects", count);
}

void TNodeList::AddObserver(TNodeListObserver* observer) { Observers_.push_back(observer); }

void TNodeList::RemoveObserver(TNodeListObserver* observer) {
  Observers_.erase(std::remove(Observers_.begin(), Observers_.end(), observer), Observers_.end());
}
