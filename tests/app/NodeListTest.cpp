#include "app/NodeList.h"

#include <climits>
#include <clocale>

#include <gtest/gtest.h>

#include "Kel/KelTranslate.h"
#include "app/SpiderTools.h"
#include "support/TempDir.h"

namespace {

class RowCounter : public TNodeListObserver {
 public:
  void ListReset() override { ++Resets; }
  void RowChanged(TListRow* row, int index) override { Changed.emplace_back(row, index); }
  int Resets = 0;
  std::vector<std::pair<TListRow*, int>> Changed;
};

class NodeListTest : public ::testing::Test {
 protected:
  NodeListTest() : tree(map) {
    tree.AttachList(&list);
    tree.ResetSiteTree();
    tree.UpdateSiteRootCaption();
  }
  ~NodeListTest() override { tree.AttachList(nullptr); }

  TTreeEntry* Add(const std::string& address, int code = 200, const std::string& type = "text/html", int length = 0) {
    TURI uri;
    ResolveLink(uri, address, nullptr);
    TTreeEntry* e = tree.InsertURL(uri, nullptr, false);
    if (TSpiderNode* n = e->Node; n && !IsSpecialScheme(n->Address().Protocol())) {
      n->ResponseCode = code;
      n->ContentType = type;
      n->ContentLength = length;
    }
    return e;
  }
  TListRow* RowOf(TTreeEntry* e) { return list.AddRow(e); }
  std::vector<std::string> Captions() const {
    std::vector<std::string> v;
    for (const auto& row : list.Rows()) v.push_back(row->Caption);
    return v;
  }

  TSiteMap map;
  TSiteTree tree;
  TNodeList list;
};

using Cells = std::vector<std::string>;

TEST_F(NodeListTest, ColumnsInOrder) {
  const struct {
    const char* caption;
    int width;
    TAlignment alignment;
  } expected[] = {{"Name", 180, TAlignment::taLeftJustify},        {"Size", 60, TAlignment::taRightJustify},
                  {"Type", 70, TAlignment::taLeftJustify},         {"Local Date", 130, TAlignment::taLeftJustify},
                  {"Remote Date", 130, TAlignment::taLeftJustify}, {"Code", 45, TAlignment::taRightJustify},
                  {"Spelling", 50, TAlignment::taRightJustify},    {"Address", 128, TAlignment::taLeftJustify}};
  // The screen may gain columns; the first eight stay as they are and are the exported ones.
  const auto columns = NodeListColumns();
  ASSERT_GE(columns.size(), std::size(expected));
  for (size_t i = 0; i < columns.size(); ++i) {
    SCOPED_TRACE(columns[i].Caption);
    EXPECT_EQ(columns[i].Id, static_cast<int>(i));
    EXPECT_EQ(columns[i].Exported, i < std::size(expected));
    EXPECT_EQ(list.ColumnIsExported(static_cast<int>(i)), columns[i].Exported);
    if (i >= std::size(expected)) continue;
    EXPECT_STREQ(columns[i].Caption, expected[i].caption);
    EXPECT_EQ(columns[i].Width, expected[i].width);
    EXPECT_EQ(columns[i].Alignment, expected[i].alignment);
  }
}

TEST_F(NodeListTest, ColumnCaptionsAreTranslated) {
  TTranslationStore store;
  store.LoadFromText("<//TFormTessaly- the main window>\nE=Size\nT=Gr\xc3\xb6\xc3\x9f" "e\n");
  EXPECT_EQ(ColumnCaption(kNodeListColumns[lcSize], &store), "Gr\xc3\xb6\xc3\x9f" "e");
  EXPECT_EQ(ColumnCaption(kNodeListColumns[lcName], &store), "Name");
  EXPECT_EQ(ColumnCaption(kNodeListColumns[lcSize], nullptr), "Size");
}

TEST_F(NodeListTest, CellsOfEachKindOfRow) {
  TTreeEntry* page = Add("http://LocalHost/a.html", 200, "text/html", 1536);
  TSpiderNode* node = NodeOf(page);
  node->SpellingErrors = 3;
  node->RemoteDate = EncodeDateTime({2024, 5, 6, 13, 4, 5, 0});
  node->ResponseText = "HTTP/1.1 200 OK";
  Add("http://LocalHost/docs/b.html");
  TTreeEntry* folder = page->Parent->Child(1);
  ASSERT_EQ(folder->Caption, "docs");
  TTreeEntry* gone = Add("http://LocalHost/gone.html", -1, "");
  NodeOf(gone)->ResponseText = "Couldn't connect to server:\r\nrefused";  // on one line
  TTreeEntry* excluded = Add("http://LocalHost/private.html", 0, "");
  NodeOf(excluded)->ResponseText = kExcludedText;
  TTreeEntry* unknown = Add("http://LocalHost/big.zip", 200, "application/zip", -1);
  TTreeEntry* unchecked = Add("http://LocalHost/later.html", 0, "");
  TTreeEntry* mail = Add("mailto:webmaster");
  TTreeEntry* script = Add("javascript:void(0)");
  TTreeEntry* news = Add("news:group");

  const struct {
    const char* name;
    TTreeEntry* entry;
    Cells cells;
    int icon, mark;
  } cases[] = {
      {"normal",
       page,
       {"2KB", "text/html", "Missing", DateTimeToStr(node->RemoteDate), "200", "3", "http://LocalHost/a.html",
        "HTTP/1.1 200 OK"},
       iiHTMLPage,
       1},
      {"folder", folder, {"", "File Folder", "", "", "", "", "", ""}, iiClosedFolder, -1},
      {"no answer", gone, {"", "", "", "", "", "", "", "Couldn't connect to server:  refused"}, iiOtherFile, 2},
      {"never requested", excluded, {"", "", "", "", "", "", "", "Excluded"}, iiNotChecked, 4},
      {"negative length",
       unknown,
       {"N/A", "application/zip", "Missing", "Missing", "200", "0", "http://LocalHost/big.zip", ""},
       iiOtherFile,
       1},
      {"not checked", unchecked, {"", "", "", "", "", "", "", ""}, iiNotChecked, 0},
      {"mail", mail, {"", "mailto", "", "", "", "", "", ""}, iiMail, 1},
      {"script", script, {"", "javascript", "", "", "", "", "", ""}, iiScript, 1},
      {"news", news, {"", "news", "", "", "", "", "", ""}, iiExternal, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TListRow* row = RowOf(c.entry);
    EXPECT_FALSE(row->Filled());
    EXPECT_EQ(list.RowImageIndex(row), c.icon);
    EXPECT_EQ(row->Cells, c.cells);
    EXPECT_EQ(row->StateIndex, c.mark);
    EXPECT_EQ(list.CellText(row, lcName), c.entry->Caption);
    // What a filter reads is what the row shows, filled or not.
    TListRow fresh(&list, c.entry, c.entry->Caption);
    for (int column = 0; column < lcCount; ++column) {
      EXPECT_EQ(ListCellText(fresh, column), list.CellText(row, column)) << column;
      EXPECT_EQ(ListCellText(*row, column), list.CellText(row, column)) << column;
    }
    EXPECT_FALSE(fresh.Filled());
  }
}

TEST_F(NodeListTest, FolderWithIndexPageShowsThatPage) {
  TTreeEntry* index = Add("http://LocalHost/shop/", 200, "text/html", 10);
  TListRow* row = RowOf(index->Parent);
  EXPECT_EQ(NodeOf(index)->ListItem, row);
  EXPECT_EQ(list.CellText(row, lcAddress), "http://LocalHost/shop/");
  EXPECT_EQ(row->ImageIndex, iiHTMLPage);
}

TEST_F(NodeListTest, RowWithoutEntryStaysEmpty) {
  TListRow* row = list.AddRow(nullptr);
  EXPECT_EQ(list.RowImageIndex(row), -1);
  EXPECT_FALSE(row->Filled());
  EXPECT_EQ(TNodeList::Tooltip(row), "");
}

TEST_F(NodeListTest, RefreshIconRefillsOnlyThatRow) {
  TTreeEntry* page = Add("http://LocalHost/a.html");
  Add("http://LocalHost/b.html");
  list.BeginUpdate();
  for (const auto& child : tree.SiteRoot()->Children) list.AddRow(child.get());
  list.EndUpdate();
  list.FillAllRows();
  RowCounter counter;
  list.AddObserver(&counter);
  TSpiderNode* node = NodeOf(page);
  EXPECT_EQ(list.CellText(node->ListItem, lcLocalDate), "Missing");
  node->LocalDate = EncodeDateTime({2023, 1, 2, 3, 4, 5, 0});
  node->RefreshIcon();
  EXPECT_EQ(counter.Changed, (std::vector<std::pair<TListRow*, int>>{{node->ListItem, 0}}));
  EXPECT_EQ(counter.Resets, 0);
  EXPECT_FALSE(node->ListItem->Filled());
  EXPECT_TRUE(list.Row(1)->Filled());
  EXPECT_EQ(list.CellText(node->ListItem, lcLocalDate), DateTimeToStr(node->LocalDate));
  list.RemoveObserver(&counter);
}

TEST_F(NodeListTest, ColumnClicksSortFoldersFirstThenLast) {
  Add("http://LocalHost/b.html", 200, "text/html", 100);
  Add("http://LocalHost/a.html", 200, "text/html", 3000);
  Add("http://LocalHost/docs/x.html");
  Add("http://LocalHost/c.html", 200, "text/html", -1);
  list.BeginUpdate();
  for (const auto& child : tree.SiteRoot()->Children) list.AddRow(child.get());
  list.EndUpdate();
  ASSERT_EQ(Captions(), (std::vector<std::string>{"b.html", "a.html", "docs", "c.html"}));
  RowCounter counter;
  list.AddObserver(&counter);

  list.ColumnClick(lcSize);
  EXPECT_EQ(list.SortColumn, lcSize);
  EXPECT_EQ(list.SortDirection, 1);
  EXPECT_EQ(Captions(), (std::vector<std::string>{"docs", "c.html", "b.html", "a.html"}));
  list.ColumnClick(lcSize);
  EXPECT_EQ(list.SortDirection, -1);
  EXPECT_EQ(Captions(), (std::vector<std::string>{"a.html", "b.html", "c.html", "docs"}));
  list.ColumnClick(lcSize);
  list.ColumnClick(lcName);  // the direction flips whichever column is clicked
  EXPECT_EQ(list.SortDirection, -1);
  EXPECT_EQ(Captions(), (std::vector<std::string>{"c.html", "b.html", "a.html", "docs"}));
  EXPECT_EQ(counter.Resets, 4);
  // The node links survive the reordering.
  for (const auto& row : list.Rows()) {
    if (TSpiderNode* n = NodeOf(row->Entry)) {
      EXPECT_EQ(n->ListItem, row.get());
    }
  }
  list.RemoveObserver(&counter);
}

TEST_F(NodeListTest, ComparisonByColumn) {
  TListRow* a = RowOf(Add("http://LocalHost/A.html", 404, "Text/HTML", INT_MAX));
  TListRow* b = RowOf(Add("http://LocalHost/b.html", 200, "image/gif", -2));
  TSpiderNode* na = NodeOf(a->Entry);
  TSpiderNode* nb = NodeOf(b->Entry);
  na->LocalDate = 2.5;
  nb->LocalDate = 2.25;
  na->RemoteDate = 1.0;
  nb->RemoteDate = 1.5;
  na->SpellingErrors = 1;
  nb->SpellingErrors = 7;
  const struct {
    int column;
    int sign;  // of CompareRows(a, b) ascending
  } cases[] = {{lcName, -1},       {lcSize, 1}, {lcType, 1},      {lcLocalDate, 1},
               {lcRemoteDate, -1}, {lcCode, 1}, {lcSpelling, -1}, {lcAddress, -1}};
  auto sign = [](int v) { return (v > 0) - (v < 0); };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.column);
    EXPECT_EQ(sign(TNodeList::CompareRows(*a, *b, c.column, 1)), c.sign);
    EXPECT_EQ(sign(TNodeList::CompareRows(*a, *b, c.column, -1)), -c.sign);
    EXPECT_EQ(TNodeList::CompareRows(*a, *a, c.column, 1), 0);
  }
  // Rows without a node compare by caption, ignoring case.
  Add("http://LocalHost/Docs/x.html");
  Add("http://LocalHost/assets/y.html");
  TListRow* docs = RowOf(tree.SiteRoot()->Child(2));
  TListRow* assets = RowOf(tree.SiteRoot()->Child(3));
  EXPECT_GT(TNodeList::CompareRows(*docs, *assets, lcSize, 1), 0);
  EXPECT_LT(TNodeList::CompareRows(*docs, *a, lcSize, 1), 0);
  EXPECT_GT(TNodeList::CompareRows(*a, *docs, lcSize, 1), 0);
}

TEST_F(NodeListTest, TooltipIsDescriptionOrPreviewTarget) {
  TempDir dir;
  TTreeEntry* page = Add("http://LocalHost/a.html");
  TSpiderNode* node = NodeOf(page);
  TListRow* row = RowOf(page);
  EXPECT_EQ(TNodeList::Tooltip(row), "http://LocalHost/a.html");
  node->SetDescription(" \t ");
  EXPECT_EQ(TNodeList::Tooltip(row), "http://LocalHost/a.html");
  node->LocalFile = dir.Write("a.html", "<html></html>");
  EXPECT_EQ(TNodeList::Tooltip(row), node->LocalFile);
  node->SetDescription("  About us ");
  EXPECT_EQ(TNodeList::Tooltip(row), "  About us ");
  Add("http://LocalHost/docs/x.html");
  EXPECT_EQ(TNodeList::Tooltip(RowOf(tree.SiteRoot()->Child(1))), "");
}

TEST_F(NodeListTest, SelectionAndCountText) {
  EXPECT_EQ(list.CountText(), "0 objects");
  TListRow* a = RowOf(Add("http://LocalHost/a.html"));
  EXPECT_EQ(list.CountText(), "1 object");
  RowOf(Add("http://LocalHost/b.html"));
  TListRow* c = RowOf(Add("http://LocalHost/c.html"));
  EXPECT_EQ(list.CountText(), "3 objects");
  list.SelectOnly(a);
  EXPECT_EQ(list.CountText(), "1 object selected");
  c->Selected = true;
  EXPECT_EQ(list.SelectedRows(), (std::vector<TListRow*>{a, c}));
  list.Row(1)->Selected = true;
  EXPECT_EQ(list.CountText(), "3 objects selected");
  list.SelectOnly(nullptr);
  EXPECT_EQ(list.SelectedCount(), 0);
  EXPECT_EQ(ObjectCountText(0, false), "0 objects");
}

}  // namespace

namespace {

// Name and Type sort as a person reads them (the C locale here: accents as their base letters),
// ignoring case; folders still come first.
TEST_F(NodeListTest, NameAndTypeSortIgnoringCaseWithAccentedNamesAmongTheirNeighbours) {
  const std::string saved = std::setlocale(LC_COLLATE, nullptr);
  std::setlocale(LC_COLLATE, "C");
  Add("http://LocalHost/zebra.html", 200, "text/html");
  Add("http://LocalHost/%C3%89mile.html", 200, "Image/png");
  Add("http://LocalHost/apple.html", 200, "image/gif");
  Add("http://LocalHost/Eagle.html", 200, "application/pdf");
  Add("http://LocalHost/folder/x.html");
  list.BeginUpdate();
  for (const auto& child : tree.SiteRoot()->Children) list.AddRow(child.get());
  list.EndUpdate();
  const struct {
    int column;
    std::vector<std::string> order;
  } cases[] = {
      {lcName, {"folder", "apple.html", "Eagle.html", "\xc3\x89mile.html", "zebra.html"}},
      {lcType, {"folder", "Eagle.html", "apple.html", "\xc3\x89mile.html", "zebra.html"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.column);
    list.SortColumn = c.column;
    list.SortDirection = 1;
    list.Sort();
    EXPECT_EQ(Captions(), c.order);
    // Each neighbouring pair is in the order CompareRows gives.
    for (size_t i = 1; i < list.Rows().size(); ++i)
      EXPECT_LE(TNodeList::CompareRows(*list.Rows()[i - 1], *list.Rows()[i], c.column, 1), 0);
    list.SortDirection = -1;
    list.Sort();
    std::vector<std::string> reversed(c.order.rbegin(), c.order.rend());
    EXPECT_EQ(Captions(), reversed);
  }
  std::setlocale(LC_COLLATE, saved.c_str());
}

}  // namespace

namespace {

// Address and Status sort as CompareText orders their texts (ASCII letters folded, bytes
// otherwise, a prefix first), with each row's key made once; equal texts keep their order.
TEST_F(NodeListTest, AddressAndStatusSortAsCompareTextOrdersTheirTexts) {
  for (const char* address : {"http://LocalHost/b_x.html", "http://LocalHost/B.html", "http://LocalHost/bz.html",
                              "http://LocalHost/a.html?q=1", "http://LocalHost/A.html", "http://LocalHost/%C3%A9.html",
                              "http://LocalHost/b.htm", "http://LocalHost/dir/x.html"})
    // The answer's text differs as the address does: the Status column sorts by it.
    NodeOf(Add(address, 200, "text/html"))->ResponseText = std::string(address).substr(17);
  list.BeginUpdate();
  for (const auto& child : tree.SiteRoot()->Children) list.AddRow(child.get());
  list.EndUpdate();
  for (const int direction : {1, -1}) {
    SCOPED_TRACE(direction);
    for (const int column : {int{lcAddress}, int{lcStatus}}) {
      SCOPED_TRACE(column);
      list.SortColumn = column;
      list.SortDirection = direction;
      list.Sort();
      ASSERT_GE(list.Rows().size(), 6u);
      EXPECT_EQ(list.Rows()[direction > 0 ? 0 : list.Rows().size() - 1]->Caption, "dir");  // folders first
      for (size_t i = 1; i < list.Rows().size(); ++i)
        EXPECT_LE(TNodeList::CompareRows(*list.Rows()[i - 1], *list.Rows()[i], column, direction), 0) << i;
    }
  }
}

// A refreshed row is told at its position, also after a sort moved it.
TEST_F(NodeListTest, ARefreshedRowIsToldAtItsPositionAfterASort) {
  Add("http://LocalHost/b.html", 200, "text/html", 100);
  Add("http://LocalHost/a.html", 200, "text/html", 3000);
  Add("http://LocalHost/c.html", 200, "text/html", 5);
  list.BeginUpdate();
  for (const auto& child : tree.SiteRoot()->Children) list.AddRow(child.get());
  list.EndUpdate();
  RowCounter counter;
  list.AddObserver(&counter);
  list.ColumnClick(lcSize);  // c, b, a
  ASSERT_EQ(Captions(), (std::vector<std::string>{"c.html", "b.html", "a.html"}));
  for (int i = 0; i < list.Count(); ++i) {
    NodeOf(list.Row(i)->Entry)->RefreshIcon();
    ASSERT_EQ(counter.Changed.back().second, i);
    EXPECT_EQ(list.IndexOf(list.Row(i)), i);
  }
  list.RemoveObserver(&counter);
}

}  // namespace
