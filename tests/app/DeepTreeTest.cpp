// Deep and hostile trees: a link of hundreds of thousands of folders is filed, listed,
// summarised, exported, saved and loaded again, and freed, without recursion; exports go to
// their file as they are made; what the site names cannot turn into a script link, a second
// line of a text export or a spreadsheet formula.
#include <pthread.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Kel/KelComCtrls.h"
#include "Kel/KelIni.h"
#include "Kel/KelStr.h"
#include "app/NodeList.h"
#include "app/ProjectFile.h"
#include "app/SiteSummary.h"
#include "app/SpiderExport.h"
#include "app/SpiderTools.h"
#include "support/TempDir.h"

namespace {

using Lines = std::vector<std::string>;

// Runs `work` on a thread with a small stack: a generator that recursed once per level would
// overflow it long before the trees below end.
void OnSmallStack(const std::function<void()>& work) {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, 128 * 1024);
  struct Job {
    const std::function<void()>* Work;
  } job{&work};
  pthread_t thread;
  ASSERT_EQ(pthread_create(
                &thread, &attr,
                [](void* p) -> void* {
                  (*static_cast<Job*>(p)->Work)();
                  return nullptr;
                },
                &job),
            0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
}

std::string DeepAddress(int folders, const std::string& document) {
  std::string address = "http://LocalHost/";
  address.reserve(address.size() + static_cast<size_t>(folders) * 2 + document.size());
  for (int i = 0; i < folders; ++i) address += "a/";
  return address + document;
}

class DeepTreeTest : public ::testing::Test {
 protected:
  DeepTreeTest() : tree(std::make_unique<TSiteTree>(map)) {
    tree->ResetSiteTree();
    tree->UpdateSiteRootCaption();
  }
  TTreeEntry* Page(const std::string& address, const std::string& title = "Deep") {
    TURI uri;
    ResolveLink(uri, address, nullptr);
    TTreeEntry* entry = tree->InsertURL(uri, nullptr, false);
    TSpiderNode* node = NodeOf(entry);
    node->ResponseCode = 200;
    node->ContentType = "text/html";
    node->SetTitle(title);
    return entry;
  }

  TempDir dir;
  TSiteMap map;
  std::unique_ptr<TSiteTree> tree;
};

TEST_F(DeepTreeTest, ThreeHundredThousandFoldersAreListedExportedSavedLoadedAndFreed) {
  constexpr int kDepth = 300000;
  const std::string address = DeepAddress(kDepth, "deep.html");
  const TTreeEntry* leaf = Page(address);
  // The tree shows the first levels; the last entry holds the rest of the path.
  int depth = 0;
  for (const TTreeEntry* e = leaf; e->Parent; e = e->Parent) ++depth;
  EXPECT_EQ(depth, kMaxTreeDepth);
  EXPECT_EQ(TreeNodeURL(leaf), address);
  EXPECT_EQ(NodeOf(leaf)->URLText(), address);

  TNodeList list;
  tree->AttachList(&list);
  tree->ListMatching(list, tree->Root(rkHTML));
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Row(0)->Entry, leaf);
  EXPECT_EQ(SummarizeSite(*tree).Count(rkHTML), 1);
  EXPECT_EQ(NodeOf(leaf)->LocalFileName(), "");

  // The table lists the one page; the branch is walked, not recursed.
  Lines table;
  ExportHTMLTable(table, tree->SiteRoot(), 0);
  ASSERT_EQ(table.size(), 6u);
  EXPECT_NE(table[3].find(address), std::string::npos);
  WriteIntoTemplate(dir.File("table.htm"), [&](TLineSink& s) { ExportHTMLTable(s, tree->SiteRoot(), 0); });
  EXPECT_EQ(ReadFileText(dir.File("table.htm")), TrimRight(JoinLines(table)));

  // Saved and loaded again: the project's RemoteFile rebuilds the same depth.
  const std::string project = ProjectText(map);
  tree->AttachList(nullptr);
  tree.reset();  // frees the 300,000 entries
  TSiteMap loaded;
  {
    TSiteTree again(loaded);
    again.ResetSiteTree();
    EXPECT_EQ(LoadProject(again, TIniText(project), nullptr, nullptr), "");
    ASSERT_EQ(loaded.Count(), 1);
    EXPECT_EQ(loaded.Node(0)->URLText(), address);
    EXPECT_EQ(loaded.Node(0)->Title(), "Deep");
  }  // and freed again
}

// A path is shown down to kMaxTreeDepth levels; the last level holds the rest of it. Shallower
// paths are filed exactly as ever.
TEST_F(DeepTreeTest, PathsPastTheDepthBoundEndInOneEntryHoldingTheRest) {
  const struct {
    int Folders;
    const char* Document;
    int Levels;           // entries from the site root down to the page
    const char* Caption;  // the page's caption
  } cases[] = {
      {0, "top.html", 1, "top.html"},
      {3, "", 4, "index.html"},
      {kMaxTreeDepth - 2, "p.html", kMaxTreeDepth - 1, "p.html"},
      {kMaxTreeDepth - 1, "p.html", kMaxTreeDepth, "p.html"},
      {kMaxTreeDepth, "p.html", kMaxTreeDepth, "a/p.html"},
      {kMaxTreeDepth + 2, "", kMaxTreeDepth, "a/a/a/index.html"},
      {kMaxTreeDepth + 2, "q.html", kMaxTreeDepth, "a/a/a/q.html"},
  };
  for (const auto& c : cases) {
    const std::string address = DeepAddress(c.Folders, c.Document);
    SCOPED_TRACE(Format("%d folders, \"%s\"", c.Folders, c.Document));
    const TTreeEntry* leaf = Page(address);
    int levels = 0;
    for (const TTreeEntry* e = leaf; e->Parent; e = e->Parent) ++levels;
    EXPECT_EQ(levels, c.Levels);
    EXPECT_EQ(leaf->Caption, c.Caption);
    EXPECT_FALSE(leaf->HasChildren());
    // The node keeps the whole address; the tree's captions still spell it out.
    EXPECT_EQ(NodeOf(leaf)->URLText(), address);
    EXPECT_EQ(TreeNodeURL(leaf), c.Document[0] ? address : address + "index.html");
    // Filing the address again finds the same entry.
    EXPECT_EQ(Page(address), leaf);
  }
  // Two deep addresses that part below the bound are two entries side by side.
  const TTreeEntry* left = Page(DeepAddress(kMaxTreeDepth + 5, "left.html"));
  const TTreeEntry* right = Page(DeepAddress(kMaxTreeDepth + 5, "right.html"));
  EXPECT_NE(left, right);
  EXPECT_EQ(left->Parent, right->Parent);
  EXPECT_EQ(map.Count(), static_cast<int>(std::size(cases)) + 2);
}

// Every export of a deep branch grows with the address, not with its square: twice the depth,
// about twice the bytes.
TEST_F(DeepTreeTest, ExportSizesAreLinearInTheDepth) {
  struct Case {
    const char* Name;
    void (*Sink)(TLineSink&, const TTreeEntry*, int);
  };
  const Case cases[] = {
      {"table", ExportHTMLTable},
      {"dhtml", ExportDHTMLTree},
      {"xml", ExportXML},
      {"txt", ExportTXT},
  };
  struct Counter : TLineSink {
    size_t Bytes = 0;
    void Add(std::string_view line) override { Bytes += line.size() + 2; }
  };
  auto sizes = [&](int depth) {
    TSiteMap deepMap;
    TSiteTree deep(deepMap);
    deep.ResetSiteTree();
    deep.UpdateSiteRootCaption();
    TURI uri;
    ResolveLink(uri, DeepAddress(depth, "deep.html"), nullptr);
    TSpiderNode* node = NodeOf(deep.InsertURL(uri, nullptr, false));
    node->ResponseCode = 200;
    node->ContentType = "text/html";
    std::vector<size_t> result;
    for (const Case& c : cases) {
      Counter counter;
      c.Sink(counter, deep.SiteRoot(), 0);
      result.push_back(counter.Bytes);
    }
    return result;
  };
  const std::vector<size_t> single = sizes(50000), twice = sizes(100000);
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].Name);
    EXPECT_GT(twice[i], single[i]);
    EXPECT_LE(twice[i], single[i] * 2 + 1024);
    // A few copies of the 200,000-byte address at most.
    EXPECT_LT(twice[i], 8u * 200000);
  }
}

TEST_F(DeepTreeTest, ExportsOfADeepBranchAreTheLineListsWrittenAsTheyCome) {
  Page(DeepAddress(2000, "bottom.html"), "Bottom");
  Page("http://LocalHost/top.html", "Top");
  const TTreeEntry* root = tree->SiteRoot();
  struct Case {
    const char* Name;
    void (*List)(Lines&, const TTreeEntry*, int);
    void (*Sink)(TLineSink&, const TTreeEntry*, int);
    bool Block;
  };
  const Case cases[] = {
      {"table.htm", ExportHTMLTable, ExportHTMLTable, true},
      {"tree.htm", ExportDHTMLTree, ExportDHTMLTree, true},
      {"map.xml", ExportXML, ExportXML, false},
      {"map.txt", ExportTXT, ExportTXT, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Lines lines;
    const std::string file = dir.File(c.Name);
    OnSmallStack([&] {
      c.List(lines, root, 0);
      if (c.Block) WriteIntoTemplate(file, [&](TLineSink& s) { c.Sink(s, root, 0); });
      else WriteLinesToFile(file, [&](TLineSink& s) { c.Sink(s, root, 0); });
    });
    EXPECT_EQ(ReadFileText(file), c.Block ? TrimRight(JoinLines(lines)) : JoinLines(lines));
  }
  // The tree is freed on a small stack too.
  OnSmallStack([&] { tree.reset(); });
}

TEST_F(DeepTreeTest, StreamedTemplateMergeMatchesTheMergeInMemory) {
  Page("http://LocalHost/a.html");
  const struct {
    const char* Name;
    std::string Template;
  } templates[] = {
      {"new.htm", ""},
      {"body.htm", "<html><body bgcolor=white>\r\n<p>after</p></body></html>"},
      {"block.htm", "head <QUORLIXTESSALY>old</QUORLIXTESSALY> tail"},
      {"plain.htm", "no body here"},
  };
  for (const auto& t : templates) {
    SCOPED_TRACE(t.Name);
    const std::string file = dir.File(t.Name);
    if (!t.Template.empty()) dir.Write(t.Name, t.Template);
    Lines lines;
    ExportDHTMLTree(lines, tree->SiteRoot(), 0);
    const std::string expected = MergeIntoTemplate(file, BlockText(lines));
    WriteIntoTemplate(file, [&](TLineSink& s) { ExportDHTMLTree(s, tree->SiteRoot(), 0); });
    EXPECT_EQ(ReadFileText(file), expected);
  }
}

// --- What the site names cannot do in an export ---------------------------------------------

TEST_F(DeepTreeTest, LeafLinksThatReadAsASchemeAreAbsolute) {
  const struct {
    const char* Path;
    const char* Line;
  } cases[] = {
      {"javascript:alert(7)", "<LI><A href=\"http://LocalHost/javascript:alert(7)\">javascript:alert(7)</A>"},
      {"VBScript:MsgBox(7)", "<LI><A href=\"http://LocalHost/VBScript:MsgBox(7)\">VBScript:MsgBox(7)</A>"},
      {"data:text,x", "<LI><A href=\"http://LocalHost/data:text,x\">data:text,x</A>"},
      {"page.html", "<LI><A href=\"http://LocalHost/page.html\">page.html</A>"},
      {"my page.html", "<LI><A href=\"http://LocalHost/my page.html\">my page.html</A>"},
  };
  for (const auto& c : cases) Page(std::string("http://LocalHost/") + c.Path);
  Lines lines;
  ExportDHTMLTree(lines, tree->SiteRoot(), 0);
  for (const auto& c : cases) EXPECT_NE(std::find(lines.begin(), lines.end(), c.Line), lines.end()) << c.Line;
  for (const auto& line : lines) EXPECT_EQ(line.find("href=\"javascript"), std::string::npos) << line;
}

TEST_F(DeepTreeTest, ControlCharactersCannotSplitALineOfTheTextExport) {
  TTreeEntry* page = Page("http://LocalHost/a.html");
  page->Caption = "a\r\nforged,http://x/\x1b[2J.html";
  Lines lines;
  ExportTXT(lines, tree->SiteRoot(), 0);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], "  a%0D%0Aforged,http://x/%1B[2J.html,http://LocalHost/a%0D%0Aforged,http://x/%1B[2J.html");
}

class CSVListTest : public DeepTreeTest {
 protected:
  CSVListTest() { tree->AttachList(&list); }
  ~CSVListTest() override { tree->AttachList(nullptr); }
  TNodeList list;
};

TEST(CSVFieldTest, TextCellsNeverStartAFormula) {
  const struct {
    const char* Field;
    bool Text;
    const char* CSV;
  } cases[] = {
      {"=HYPERLINK(\"x\")", true, "\"'=HYPERLINK(\"\"x\"\")\""},
      {"+1", true, "'+1"},
      {"-2+3", true, "'-2+3"},
      {"@SUM(A1)", true, "'@SUM(A1)"},
      {"\tx", true, "\"'\tx\""},
      {"=a,b", true, "\"'=a,b\""},
      {"-1", false, "-1"},  // a code or a size of the program's own
      {"=1", false, "=1"},
      {"page.html", true, "page.html"},
      {"", true, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(CSVField(c.Field, c.Text), c.CSV) << c.Field;
}

TEST_F(CSVListTest, SiteTextColumnsGetThePrefixFiguresDoNot) {
  TTreeEntry* entry = Page("http://LocalHost/-cmd.html");
  TSpiderNode* node = NodeOf(entry);
  node->ResponseCode = 404;
  node->ContentType = "@type";
  node->ContentLength = -1;
  list.AddRow(entry);
  list.FillAllRows();
  const std::string file = dir.File("list.csv");
  ExportListViewCSV(list, file, isNone);
  const std::string csv = ReadFileText(file);
  const std::vector<std::string> cells = SplitString(csv.substr(0, csv.find("\r\n")), ',');
  ASSERT_EQ(cells.size(), 8u) << csv;
  EXPECT_EQ(cells[lcName], "'-cmd.html");
  EXPECT_EQ(cells[lcType], "'@type");
  EXPECT_EQ(cells[lcCode], "404");
  EXPECT_EQ(cells[lcSize], list.Row(0)->Cells[lcSize - 1]);  // a figure: as shown
  EXPECT_EQ(cells[lcAddress], "http://LocalHost/-cmd.html");
  for (int column = 0; column < lcCount; ++column)
    EXPECT_EQ(list.ColumnIsText(column),
              column == lcName || column == lcType || column == lcAddress || column == lcStatus);
}

}  // namespace
