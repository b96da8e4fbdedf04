#include "app/NodeList.h"

#include <algorithm>

#include "Kel/KelStr.h"
#include "app/SpiderTools.h"

const TListColumn kNodeListColumns[lcCount] = {
    {"Name", 180, TAlignment::taLeftJustify},        {"Size", 60, TAlignment::taRightJustify},
    {"Type", 70, TAlignment::taLeftJustify},         {"Local Date", 130, TAlignment::taLeftJustify},
    {"Remote Date", 130, TAlignment::taLeftJustify}, {"Code", 45, TAlignment::taRightJustify},
    {"Spelling", 50, TAlignment::taRightJustify},    {"Address", 128, TAlignment::taLeftJustify},
};

TNodeList::~TNodeList() {
  // While the tree lives, its nodes must not keep links to rows that are gone.
  if (Tree_) {
    for (auto& row : Rows_)
      if (TSpiderNode* node = NodeOf(row->Entry); node && node->ListItem == row.get()) node->ListItem = nullptr;
    Tree_->List = nullptr;
  }
}

int TNodeList::IndexOf(const TListRow* row) const {
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
  const bool batch = UpdateDepth_ == 0;
  if (batch) BeginUpdate();
  Rows_.push_back(std::make_unique<TListRow>(this, entry, entry ? entry->Caption : std::string()));
  TListRow* row = Rows_.back().get();
  if (TSpiderNode* node = NodeOf(entry)) node->ListItem = row;
  if (batch) EndUpdate();
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
  if (!node) {
    // A folder without a page of its own.
    row->Cells = {"", "File Folder", "", "", "", "", ""};
    row->ImageIndex = TreeIconIndex(row->Entry);
    row->StateIndex = -1;
    return;
  }
  row->ImageIndex = node->TypeIconIndex();
  row->StateIndex = node->StatusIndex();
  if (node->ResponseCode > 0 && !IsSpecialScheme(node->URI.Protocol)) {
    row->Cells = {SizeText(node->ContentLength),
                  node->ContentType,
                  DateText(node->LocalDate),
                  DateText(node->RemoteDate),
                  IntToStr(node->ResponseCode),
                  IntToStr(node->SpellingErrors),
                  node->URLText()};
  } else {
    // Not answered (yet), or an address that is never requested.
    row->Cells = {"", node->ContentType, "", "", "", "", ""};
  }
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
  if (!Trim(node->Description).empty()) return node->Description;
  return node->PreviewTarget();
}

void TNodeList::ColumnClick(int column) {
  SortColumn = column;
  SortDirection = SortDirection == 0 ? 1 : -SortDirection;
  Sort();
}

void TNodeList::Sort() {
  BeginUpdate();
  std::stable_sort(Rows_.begin(), Rows_.end(),
                   [this](const auto& a, const auto& b) { return CompareRows(*a, *b, SortColumn, SortDirection) < 0; });
  EndUpdate();
}

namespace {

template <class T>
int Sign(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace

int TNodeList::CompareRows(const TListRow& ra, const TListRow& rb, int column, int direction) {
  const TSpiderNode* a = NodeOf(ra.Entry);
  const TSpiderNode* b = NodeOf(rb.Entry);
  int result = 0;
  if (a && b) {
    // Numbers compare by sign, never by a difference that could overflow.
    switch (column) {
      case lcName:
        result = CompareText(ra.Caption, rb.Caption);
        break;
      case lcSize:
        result = Sign(a->ContentLength, b->ContentLength);
        break;
      case lcType:
        result = CompareText(a->ContentType, b->ContentType);
        break;
      case lcLocalDate:
        result = Sign(a->LocalDate, b->LocalDate);
        break;
      case lcRemoteDate:
        result = Sign(a->RemoteDate, b->RemoteDate);
        break;
      case lcCode:
        result = Sign(a->ResponseCode, b->ResponseCode);
        break;
      case lcSpelling:
        result = Sign(a->SpellingErrors, b->SpellingErrors);
        break;
      case lcAddress:
        result = CompareText(a->URLText(), b->URLText());
        break;
      default:
        break;
    }
  } else if (a) {
    result = 1;  // rows without a node, the folders, come first
  } else if (b) {
    result = -1;
  } else {
    result = CompareText(ra.Caption, rb.Caption);
  }
  return result * direction;
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
  std::string text = IntToStr(count) + " object";
  if (count != 1) text += "s";
  if (selected) text += " selected";
  return text;
}

void TNodeList::AddObserver(TNodeListObserver* observer) { Observers_.push_back(observer); }

void TNodeList::RemoveObserver(TNodeListObserver* observer) {
  Observers_.erase(std::remove(Observers_.begin(), Observers_.end(), observer), Observers_.end());
}
