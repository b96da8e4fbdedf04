#include "app/SpiderExport.h"

#include <expat.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "Kel/KelError.h"
#include "Kel/KelStr.h"
#include "Kel/KelTranslate.h"
#include "app/NodeList.h"
#include "app/SpiderTools.h"
#include "platform/Headless.h"
#include "platform/System.h"
#include "support/TempDir.h"

namespace {

using Lines = std::vector<std::string>;

Lines SplitLines(const std::string& text) {
  Lines lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

Lines Concat(Lines a, const Lines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The fixed head of every DHTML tree block.
const Lines kDHTMLHead = SplitLines(R"(<QUORLIXTESSALY>
<BASE target=listview>
<STYLE><!--
#foldheader{cursor:pointer;cursor:hand;font-weight:bold;
list-style-image:url(treeview_fold.gif)}
#foldinglist{list-style-image:url(treeview_item.gif)}
//--></STYLE>
<SCRIPT language="JavaScript1.2"><!--
var head="display:'"
img1=new Image()
img1.src="treeview_fold.gif"
img2=new Image()
img2.src="treeview_open.gif"
var ns6=document.getElementById&&!document.all
var ie4=document.all&&navigator.userAgent.indexOf("Opera")==-1
function checkcontained(e){
var iscontained=0
cur=ns6? e.target : event.srcElement
i=0
if (cur.id=="foldheader")
iscontained=1
else
while (ns6&&cur.parentNode||(ie4&&cur.parentElement)){
if (cur.id=="foldheader"||cur.id=="foldinglist"){
iscontained=(cur.id=="foldheader")? 1 : 0
break
}
cur=ns6? cur.parentNode : cur.parentElement
}
if (iscontained){
var foldercontent=cur.getElementsByTagName("UL")[0]
if (!foldercontent) return
if (foldercontent.style.display=="none"){
foldercontent.style.display=""
cur.style.listStyleImage=img1
}else{
foldercontent.style.display="none"
cur.style.listStyleImage=img2
}}}
if (ie4||ns6) document.onclick=checkcontained
//--></SCRIPT>
<UL>)");

class SpiderExportTest : public ::testing::Test {
 protected:
  SpiderExportTest() : tree(map), paths(dir.Str()) {
    tree.ResetSiteTree();
    tree.UpdateSiteRootCaption();
    services.Ask = &ask;
    services.Web = &browser;
    services.Net = &net;
    services.Dirs = &paths;
    for (const char* image : {"treeview_item.gif", "treeview_open.gif", "treeview_fold.gif"})
      dir.Write(std::string("app/images/") + image, std::string("program's ") + image);
    std::filesystem::create_directories(dir.File("out"));
    Page("http://LocalHost/index.html", "Home", "Welcome");
    Page("http://LocalHost/docs/guide/b.html", "Guide", "How to");
    Page("http://LocalHost/docs/a.html", "About us", "");
    Add("http://LocalHost/docs/image.gif", "image/gif");
    Page("http://LocalHost/my page.html", "Mine", "A &amp; B");
  }

  TTreeEntry* Add(const std::string& address, const std::string& type, int length = 100) {
    TURI uri;
    ResolveLink(uri, address, nullptr);
    TTreeEntry* e = tree.InsertURL(uri, nullptr, false);
    TSpiderNode* node = NodeOf(e);
    node->ResponseCode = 200;
    node->ContentType = type;
    node->ContentLength = length;
    return e;
  }
  TTreeEntry* Page(const std::string& address, const std::string& title, const std::string& description) {
    TTreeEntry* e = Add(address, "text/html; charset=iso-8859-1");
    NodeOf(e)->SetTitle(title);
    NodeOf(e)->SetDescription(description);
    return e;
  }
  TTreeEntry* Root() const { return tree.SiteRoot(); }
  TTreeEntry* Docs() const { return Root()->Child(1); }
  std::string Out(const std::string& name) const { return dir.File("out/" + name); }
  // The filters of the save dialogs asked so far.
  Lines SaveFilters() const {
    Lines filters;
    for (const auto& a : ask.Log)
      if (a.Kind == "Save") filters.push_back(a.Text + "|" + a.Detail);
    return filters;
  }

  TempDir dir;
  TSiteMap map;
  TSiteTree tree;
  platform::FixedPaths paths;
  platform::HeadlessPrompter ask;
  platform::HeadlessBrowser browser;
  platform::FixedNetwork net;  // offline: opening a local file must never ask
  platform::Services services;
};

const Lines kHTMLTable = {
    "<QUORLIXTESSALY>",
    "<TABLE border=1>",
    "<TR><TD>URL</TD><TD>Title</TD><TD>Description</TD></TR>",
    "<TR><TD><A href=\"http://LocalHost/index.html\">http://LocalHost/index.html</A></TD><TD>Home</TD>"
    "<TD>Welcome</TD></TR>",
    "<TR><TD><A href=\"http://LocalHost/docs/guide/b.html\">http://LocalHost/docs/guide/b.html</A></TD>"
    "<TD>Guide</TD><TD>How to</TD></TR>",
    "<TR><TD><A href=\"http://LocalHost/docs/a.html\">http://LocalHost/docs/a.html</A></TD><TD>About us</TD>"
    "<TD></TD></TR>",
    "<TR><TD><A href=\"http://LocalHost/my page.html\">http://LocalHost/my page.html</A></TD><TD>Mine</TD>"
    "<TD>A &amp; B</TD></TR>",
    "</TABLE>",
    "</QUORLIXTESSALY>",
};

// Each leaf links its absolute address: a page has one base address, so the folders cannot
// each set their own.
const Lines kDHTMLTree = Concat(kDHTMLHead, {
                                                "<LI id=foldheader>http://LocalHost/",
                                                "<UL id=foldinglist style=&{head};>",
                                                "<LI><A href=\"http://LocalHost/index.html\">index.html</A>",
                                                "<LI id=foldheader>docs",
                                                "<UL id=foldinglist style=display:none style=&{head};>",
                                                "<LI id=foldheader>guide",
                                                "<UL id=foldinglist style=display:none style=&{head};>",
                                                "<LI><A href=\"http://LocalHost/docs/guide/b.html\">b.html</A>",
                                                "</UL>",
                                                "<LI><A href=\"http://LocalHost/docs/a.html\">a.html</A>",
                                                "<LI><A href=\"http://LocalHost/docs/image.gif\">image.gif</A>",
                                                "</UL>",
                                                "<LI><A href=\"http://LocalHost/my page.html\">my page.html</A>",
                                                "</UL>",
                                                "</UL>",
                                                "</QUORLIXTESSALY>",
                                            });

TEST_F(SpiderExportTest, HTMLTableListsTheDocumentsDepthFirst) {
  Lines lines;
  ExportHTMLTable(lines, Root(), 0);
  EXPECT_EQ(lines, kHTMLTable);
}

TEST_F(SpiderExportTest, BranchWithoutDocuments) {
  Add("http://LocalHost/img/x.gif", "image/gif");
  TTreeEntry* img = Root()->Child(3);
  ASSERT_EQ(img->Caption, "img");
  Lines table;
  ExportHTMLTable(table, img, 0);
  EXPECT_EQ(table, (Lines{"<QUORLIXTESSALY>", "<TABLE border=1>",
                          "<TR><TD>URL</TD><TD>Title</TD><TD>Description</TD></TR>", "</TABLE>", "</QUORLIXTESSALY>"}));
  Lines xml;
  ExportXML(xml, img, 0);
  EXPECT_EQ(xml, (Lines{"<?xml version=\"1.0\" encoding=\"utf-8\" ?>", "<DIRECTORY>", "<NAME>img</NAME>",
                        "<URL>http://LocalHost/img/</URL>", "</DIRECTORY>"}));
  Lines txt;
  ExportTXT(txt, img, 0);
  EXPECT_EQ(txt, (Lines{"img,http://LocalHost/img/", "  x.gif,http://LocalHost/img/x.gif"}));
}

TEST_F(SpiderExportTest, DHTMLTreeOfTheSiteRoot) {
  ASSERT_EQ(kDHTMLHead.size(), 42u);
  Lines lines;
  ExportDHTMLTree(lines, Root(), 0);
  EXPECT_EQ(lines, kDHTMLTree);
}

TEST_F(SpiderExportTest, DHTMLTreeOfAFolderLinksAbsoluteAddresses) {
  Lines lines;
  ExportDHTMLTree(lines, Docs(), 0);
  const Lines tail(lines.begin() + 42, lines.end());
  EXPECT_EQ(tail, (Lines{"<LI id=foldheader>docs", "<UL id=foldinglist style=&{head};>", "<LI id=foldheader>guide",
                         "<UL id=foldinglist style=display:none style=&{head};>",
                         "<LI><A href=\"http://LocalHost/docs/guide/b.html\">b.html</A>", "</UL>",
                         "<LI><A href=\"http://LocalHost/docs/a.html\">a.html</A>",
                         "<LI><A href=\"http://LocalHost/docs/image.gif\">image.gif</A>", "</UL>", "</UL>",
                         "</QUORLIXTESSALY>"}));
}

TEST_F(SpiderExportTest, XMLDocument) {
  Lines lines;
  ExportXML(lines, Root(), 0);
  EXPECT_EQ(lines, SplitLines(R"(<?xml version="1.0" encoding="utf-8" ?>
<DIRECTORY>
<NAME>http://LocalHost/</NAME>
<URL>http://LocalHost/</URL>
<LINK>
<NAME>index.html</NAME>
<URL>http://LocalHost/index.html</URL>
<TITLE>Home</TITLE>
<DESCRIPTION>Welcome</DESCRIPTION>
</LINK>
<DIRECTORY>
<NAME>docs</NAME>
<URL>http://LocalHost/docs/</URL>
<DIRECTORY>
<NAME>guide</NAME>
<URL>http://LocalHost/docs/guide/</URL>
<LINK>
<NAME>b.html</NAME>
<URL>http://LocalHost/docs/guide/b.html</URL>
<TITLE>Guide</TITLE>
<DESCRIPTION>How%20to</DESCRIPTION>
</LINK>
</DIRECTORY>
<LINK>
<NAME>a.html</NAME>
<URL>http://LocalHost/docs/a.html</URL>
<TITLE>About%20us</TITLE>
<DESCRIPTION></DESCRIPTION>
</LINK>
</DIRECTORY>
<LINK>
<NAME>my%20page.html</NAME>
<URL>http://LocalHost/my%20page.html</URL>
<TITLE>Mine</TITLE>
<DESCRIPTION>A%20&amp;amp;%20B</DESCRIPTION>
</LINK>
</DIRECTORY>)"));
}

TEST_F(SpiderExportTest, TextListIndentsTwoSpacesPerLevel) {
  Lines lines;
  ExportTXT(lines, Root(), 0);
  EXPECT_EQ(lines,
            (Lines{"http://LocalHost/,http://LocalHost/", "  index.html,http://LocalHost/index.html",
                   "  docs,http://LocalHost/docs/", "    guide,http://LocalHost/docs/guide/",
                   "      b.html,http://LocalHost/docs/guide/b.html", "    a.html,http://LocalHost/docs/a.html",
                   "    image.gif,http://LocalHost/docs/image.gif", "  my page.html,http://LocalHost/my page.html"}));
}

TEST(SpiderExportText, QuoteAttribute) {
  const struct {
    const char* text;
    const char* quoted;
  } cases[] = {
      {"page.html", "page.html"},
      {"A-Z_0.9", "A-Z_0.9"},
      {"", ""},
      {"my page.html", "\"my page.html\""},
      {"http://LocalHost/", "\"http://LocalHost/\""},
      // A caption can never end the attribute, nor open an element.
      {"say \"hi\"><script>", "\"say &quot;hi&quot;&gt;&lt;script&gt;\""},
      {"a&amp;b", "\"a&amp;b\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(QuoteAttribute(c.text), c.quoted);
  }
}

TEST(SpiderExportText, CanonicalizeURL) {
  const struct {
    std::string text;
    std::string canonical;
  } cases[] = {
      {"About us", "About%20us"},
      {"http://LocalHost/docs/a.html", "http://LocalHost/docs/a.html"},
      {"http://host/a/./b/../c.html?x=1&y=../z", "http://host/a/c.html?x=1&y=../z"},
      {"http://host/a/b/..", "http://host/a/"},
      {"http://host/..", "http://host/"},
      {"../not/an/address/./x", "../not/an/address/./x"},
      {"100% sure", "100%%20sure"},
      {"x<y>\"z\"", "x%3Cy%3E%22z%22"},
      {"{|}^~[]`\\#", "%7B%7C%7D%5E%7E%5B%5D%60%5C%23"},
      {"Tom & Jerry's", "Tom%20&%20Jerry's"},
      {"Caf\xC3\xA9", "Caf%C3%A9"},
      {"\x01tab\there\x7F", "%01tab%09here%7F"},
      {"trailing \t\r\n", "trailing"},
      {"  leading", "%20%20leading"},
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(CanonicalizeURL(c.text), c.canonical);
  }
}

TEST_F(SpiderExportTest, TemplateMerges) {
  const std::string block = "<QUORLIXTESSALY>\r\nNEW\r\n</QUORLIXTESSALY>";
  const struct {
    const char* name;
    const char* before;  // nullptr: no file yet
    std::string after;
  } cases[] = {
      {"new file", nullptr, block},
      {"empty file", "", block},
      {"placeholder replaced", "<html><body>\r\n<QUORLIXTESSALY>\r\nold\r\n</QUORLIXTESSALY>\r\n<p>after</p></body>",
       "<html><body>\r\n" + block + "\r\n<p>after</p></body>"},
      {"after BODY", "<html><body bgcolor=white>\r\n<p>text</p>\r\n</body></html>",
       "<html><body bgcolor=white>" + block + "\r\n<p>text</p>\r\n</body></html>"},
      {"at the start", "plain text\r\nno tags", block + "plain text\r\nno tags"},
      {"unfinished placeholder", "<body><QUORLIXTESSALY>unfinished", "<body>" + block + "<QUORLIXTESSALY>unfinished"},
      {"placeholder in a comment", "<!-- <QUORLIXTESSALY></QUORLIXTESSALY> --><BODY>x",
       "<!-- <QUORLIXTESSALY></QUORLIXTESSALY> --><BODY>" + block + "x"},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = Out("page" + std::to_string(n++) + ".htm");
    if (c.before) dir.Write("out/" + std::filesystem::path(file).filename().string(), c.before);
    ask.QueueFile(file);
    EXPECT_EQ(SaveIntoTemplate(services, block, kHTMLFilter, "htm"), file);
    EXPECT_EQ(ReadFileText(file), c.after);
  }
  EXPECT_TRUE(ask.Unexpected.empty());
}

TEST_F(SpiderExportTest, HTMLTableCommand) {
  ask.QueueFile(std::nullopt);
  EXPECT_FALSE(ExportAsHTMLList(services, Root()));
  EXPECT_TRUE(browser.Shown.empty());
  EXPECT_TRUE(std::filesystem::is_empty(dir.File("out")));

  const std::string file = Out("table.htm");
  ask.QueueFile(file);
  EXPECT_TRUE(ExportAsHTMLList(services, Root()));
  // A new file holds the block alone, without a final line end.
  EXPECT_EQ(ReadFileText(file), TrimRight(JoinLines(kHTMLTable)));
  EXPECT_EQ(browser.Shown, Lines{file});
  EXPECT_EQ(SaveFilters(), (Lines{"|HTML Files (*.htm)|*.htm;*.html;*.shtml;*.asp|",
                                  "|HTML Files (*.htm)|*.htm;*.html;*.shtml;*.asp|"}));
  EXPECT_TRUE(ask.Unexpected.empty());  // a local file never asks for the network
}

TEST_F(SpiderExportTest, SecondExportReplacesOnlyTheBlock) {
  const std::string file =
      dir.Write("out/site.htm", "<html><head></head><body>\r\n<h1>My site</h1>\r\n</body></html>\r\n");
  ask.QueueFile(file);
  ExportAsHTMLList(services, Root());
  NodeOf(Root()->Child(0))->SetTitle("Start");
  ask.QueueFile(file);
  ExportAsHTMLList(services, Root());
  Lines lines;
  ExportHTMLTable(lines, Root(), 0);
  EXPECT_EQ(ReadFileText(file),
            "<html><head></head><body>" + BlockText(lines) + "\r\n<h1>My site</h1>\r\n</body></html>\r\n");
}

TEST_F(SpiderExportTest, DHTMLTreeCommandCopiesTheImagesKeepingExistingOnes) {
  const std::string file = Out("tree.htm");
  dir.Write("out/treeview_open.gif", "mine");
  ask.QueueFile(file);
  EXPECT_TRUE(ExportAsDHTMLTree(services, Root()));
  EXPECT_EQ(ReadFileText(file), TrimRight(JoinLines(kDHTMLTree)));
  EXPECT_EQ(ReadFileText(Out("treeview_item.gif")), "program's treeview_item.gif");
  EXPECT_EQ(ReadFileText(Out("treeview_fold.gif")), "program's treeview_fold.gif");
  EXPECT_EQ(ReadFileText(Out("treeview_open.gif")), "mine");
  EXPECT_EQ(browser.Shown, Lines{file});
}

TEST_F(SpiderExportTest, CopyAppFile) {
  EXPECT_TRUE(CopyAppFile(services, "images\\treeview_item.gif", Out("x.htm")));
  EXPECT_EQ(ReadFileText(Out("treeview_item.gif")), "program's treeview_item.gif");
  EXPECT_FALSE(CopyAppFile(services, "images\\treeview_item.gif", Out("x.htm")));
  EXPECT_FALSE(CopyAppFile(services, "images\\missing.gif", Out("x.htm")));
  EXPECT_EQ(AppFolderFile(services, "images\\a.gif"), dir.Str() + "/app/images/a.gif");
}

TEST_F(SpiderExportTest, FramedTreeAndItsReExport) {
  const std::string file = Out("map.htm");
  const std::string treeFile = Out("treeview_map.htm");
  EXPECT_EQ(TreeFileNameOf(file), treeFile);
  const std::string frameset =
      "<FRAMESET cols=256,*>\r\n<FRAME name=treeview src=\"treeview_map.htm\">\r\n"
      "<FRAME name=listview src=\"http://LocalHost/docs/\">\r\n</FRAMESET>\r\n";
  Lines docsLines;
  ExportDHTMLTree(docsLines, Docs(), 0);
  const std::string docsBlock = BlockText(docsLines);

  ask.QueueFile(file);
  EXPECT_TRUE(ExportAsDHTMLTreeFramed(services, Docs()));
  EXPECT_EQ(ReadFileText(file), frameset);
  EXPECT_EQ(ReadFileText(treeFile), docsBlock);
  EXPECT_TRUE(std::filesystem::exists(Out("treeview_fold.gif")));
  EXPECT_EQ(browser.Shown, Lines{file});

  // The earlier frameset is the template of the next export: no placeholder, no BODY, so the
  // block goes in front of its lines, and that becomes the new tree file.
  ask.QueueFile(file);
  EXPECT_TRUE(ExportAsDHTMLTreeFramed(services, Docs()));
  EXPECT_EQ(ReadFileText(treeFile), docsBlock + frameset);
  EXPECT_EQ(ReadFileText(file), frameset);
}

TEST(SpiderExportText, FramesetLinksTheTreeFileSafely) {
  EXPECT_EQ(FramesetLines("treeview_50% #1?.htm", "http://h/a\"b/"),
            (Lines{"<FRAMESET cols=256,*>", "<FRAME name=treeview src=\"treeview_50%25 %231%3F.htm\">",
                   "<FRAME name=listview src=\"http://h/a&quot;b/\">", "</FRAMESET>"}));
}

TEST_F(SpiderExportTest, XMLAndTextCommands) {
  ask.QueueFile(std::nullopt);
  EXPECT_FALSE(ExportAsXMLFile(services, Root()));
  ask.QueueFile(std::nullopt);
  EXPECT_FALSE(ExportFolderAsTXTFile(services, Root()));
  EXPECT_TRUE(std::filesystem::is_empty(dir.File("out")));

  ask.QueueFile(Out("map.xml"));
  EXPECT_TRUE(ExportAsXMLFile(services, Docs()));
  Lines xml;
  ExportXML(xml, Docs(), 0);
  EXPECT_EQ(ReadFileText(Out("map.xml")), JoinLines(xml));
  ask.QueueFile(Out("map.txt"));
  EXPECT_TRUE(ExportFolderAsTXTFile(services, Docs()));
  EXPECT_EQ(ReadFileText(Out("map.txt")),
            "docs,http://LocalHost/docs/\r\n  guide,http://LocalHost/docs/guide/\r\n"
            "    b.html,http://LocalHost/docs/guide/b.html\r\n  a.html,http://LocalHost/docs/a.html\r\n"
            "  image.gif,http://LocalHost/docs/image.gif\r\n");
  EXPECT_EQ(browser.Shown, (Lines{Out("map.xml"), Out("map.txt")}));
  EXPECT_EQ(SaveFilters(), (Lines{"|XML Files (*.xml)|*.xml|", "|Text Files (*.txt)|*.txt|",
                                  "|XML Files (*.xml)|*.xml|", "|Text Files (*.txt)|*.txt|"}));
}

TEST_F(SpiderExportTest, UnwritableFileEndsTheCommandWithTheSystemMessage) {
  ask.QueueFile(Out("missing/map.xml"));
  try {
    ExportAsXMLFile(services, Root());
    FAIL() << "the write must fail";
  } catch (const EError& e) {
    EXPECT_NE(std::string(e.what()).find("No such file or directory"), std::string::npos) << e.what();
  }
  EXPECT_TRUE(browser.Shown.empty());
}

// --- Escaping of page text -------------------------------------------------------------------

TEST_F(SpiderExportTest, PageTextCannotPlantMarkupInTheHTMLTable) {
  Page("http://LocalHost/evil.html", "<b>Bold</b> & co", "<script>alert(1)</script>");
  Lines lines;
  ExportHTMLTable(lines, Root(), 0);
  EXPECT_EQ(lines[lines.size() - 3],
            "<TR><TD><A href=\"http://LocalHost/evil.html\">http://LocalHost/evil.html</A></TD>"
            "<TD>&lt;b&gt;Bold&lt;/b&gt; & co</TD><TD>&lt;script&gt;alert(1)&lt;/script&gt;</TD></TR>");
}

TEST_F(SpiderExportTest, AddressesAndCaptionsCannotBreakOutOfTheDHTMLTree) {
  // A link with quotes and angle brackets in its path ends up in captions and addresses.
  TURI uri("http://LocalHost/x\"><script>alert(1)<!--/y'\"<i>.html");
  tree.InsertURL(uri, nullptr, false);
  Lines lines;
  ExportDHTMLTree(lines, Root(), 0);
  const Lines tail(lines.begin() + 42, lines.end());
  for (const auto& line : tail) {
    EXPECT_EQ(line.find("<script"), std::string::npos) << line;
    EXPECT_EQ(line.find("<i>"), std::string::npos) << line;
  }
  const auto has = [&](const std::string& line) { return std::find(tail.begin(), tail.end(), line) != tail.end(); };
  EXPECT_TRUE(has("<LI id=foldheader>x\"&gt;&lt;script&gt;alert(1)&lt;!--"));
  EXPECT_TRUE(has("<LI><A href=\"http://LocalHost/x&quot;&gt;&lt;script&gt;alert(1)&lt;!--/y'&quot;&lt;i&gt;.html\">"
                  "y'\"&lt;i&gt;.html</A>"));

  Lines table;
  ExportHTMLTable(table, Root(), 0);
  for (const auto& line : table) EXPECT_EQ(line.find("<script"), std::string::npos) << line;
}

struct XMLElement {
  std::string Name, Text;
};

struct XMLReader {
  std::vector<XMLElement> Elements;
  std::string Text;
  static void Start(void* self, const XML_Char*, const XML_Char**) { static_cast<XMLReader*>(self)->Text.clear(); }
  static void Data(void* self, const XML_Char* s, int n) { static_cast<XMLReader*>(self)->Text.append(s, size_t(n)); }
  static void End(void* self, const XML_Char* name) {
    auto* r = static_cast<XMLReader*>(self);
    r->Elements.push_back({name, r->Text});
    r->Text.clear();
  }
  // Parses `document`; returns expat's error text, empty when it is well-formed.
  std::string Parse(const std::string& document) {
    XML_Parser parser = XML_ParserCreate(nullptr);
    XML_SetUserData(parser, this);
    XML_SetElementHandler(parser, Start, End);
    XML_SetCharacterDataHandler(parser, Data);
    std::string error;
    if (XML_Parse(parser, document.data(), static_cast<int>(document.size()), 1) != XML_STATUS_OK)
      error = std::string(XML_ErrorString(XML_GetErrorCode(parser))) + " at line " +
              std::to_string(XML_GetCurrentLineNumber(parser));
    XML_ParserFree(parser);
    return error;
  }
  std::vector<std::string> TextsOf(const std::string& name) const {
    std::vector<std::string> texts;
    for (const auto& e : Elements)
      if (e.Name == name) texts.push_back(e.Text);
    return texts;
  }
};

TEST_F(SpiderExportTest, XMLOfAwkwardPagesIsWellFormedASCII) {
  const std::vector<std::pair<std::string, std::string>> pages = {
      {"Tom & Jerry", "Fish &amp; Chips"},        {"<b>Bold</b> <i>", "]]> & <![CDATA[ x"},
      {"Caf\xC3\xA9 cr\xE8me", "bytes \xFF\xFE"}, {"ctl\x01\x02\x1B\x7F", "tab\tand\r\nbreaks"},
      {"quote \"x\" 'y'", "&#0; &bogus; &"},
  };
  std::vector<std::string> titles, descriptions;
  int n = 0;
  for (const auto& [title, description] : pages) {
    Page("http://LocalHost/odd/p" + std::to_string(n++) + "&x=<y>.html", title, description);
    titles.push_back(CanonicalizeURL(title));
    descriptions.push_back(CanonicalizeURL(description));
  }
  TTreeEntry* odd = Root()->Child(3);
  ASSERT_EQ(odd->Caption, "odd");
  ask.QueueFile(Out("odd.xml"));
  ExportAsXMLFile(services, odd);
  const std::string document = ReadFileText(Out("odd.xml"));
  for (unsigned char c : document) ASSERT_LT(c, 128) << "the utf-8 declaration needs ASCII output";

  XMLReader reader;
  ASSERT_EQ(reader.Parse(document), "");
  // What a parser reads back is exactly the canonicalised text.
  EXPECT_EQ(reader.TextsOf("TITLE"), titles);
  EXPECT_EQ(reader.TextsOf("DESCRIPTION"), descriptions);
  EXPECT_EQ(reader.TextsOf("TITLE")[0], "Tom%20&%20Jerry");
  EXPECT_EQ(reader.TextsOf("DIRECTORY").size(), 1u);
}

TEST_F(SpiderExportTest, FixtureXMLParses) {
  Lines lines;
  ExportXML(lines, Root(), 0);
  XMLReader reader;
  ASSERT_EQ(reader.Parse(JoinLines(lines)), "");
  EXPECT_EQ(reader.TextsOf("DESCRIPTION").back(), "A%20&amp;%20B");
}

// --- The list -------------------------------------------------------------------------------

class ListExportTest : public SpiderExportTest {
 protected:
  ListExportTest() {
    list.BeginUpdate();
    for (const auto& child : Root()->Children) list.AddRow(child.get());
    list.EndUpdate();
    list.Row(0)->Selected = true;  // index.html
    list.Row(1)->Selected = true;  // docs
  }
  TNodeList list;
};

TEST_F(ListExportTest, HTMLTableOfTheSelectedRows) {
  TListRow* bare = list.AddRow(nullptr);
  bare->Caption = "<no entry>";
  bare->Selected = true;
  Lines lines;
  ExportListHTMLTable(lines, list);
  EXPECT_EQ(lines, (Lines{
                       "<STYLE>",
                       "TABLE{font-family:system-ui,\"Segoe UI\",\"DejaVu Sans\",Arial,sans-serif;font-size:9pt}",
                       "</STYLE>",
                       "<TABLE width=100% border=0 cellPadding=2 cellSpacing=0>",
                       "<TR bgColor=buttonface>",
                       "<TD align=left style=\"border:outset;border-width:2\">Name</TD>",
                       "<TD align=right style=\"border:outset;border-width:2\">Size</TD>",
                       "<TD align=left style=\"border:outset;border-width:2\">Type</TD>",
                       "<TD align=left style=\"border:outset;border-width:2\">Local Date</TD>",
                       "<TD align=left style=\"border:outset;border-width:2\">Remote Date</TD>",
                       "<TD align=right style=\"border:outset;border-width:2\">Code</TD>",
                       "<TD align=right style=\"border:outset;border-width:2\">Spelling</TD>",
                       "<TD align=left style=\"border:outset;border-width:2\">Address</TD>",
                       "</TR>",
                       "<TR>",
                       "<TD align=left><A href=\"http://LocalHost/index.html\">index.html</A></TD>",
                       "<TD align=right>1KB</TD>",
                       "<TD align=left>text/html; charset=iso-8859-1</TD>",
                       "<TD align=left>Missing</TD>",
                       "<TD align=left>Missing</TD>",
                       "<TD align=right>200</TD>",
                       "<TD align=right>0</TD>",
                       "<TD align=left>http://LocalHost/index.html</TD>",
                       "</TR>",
                       "<TR>",
                       "<TD align=left><A href=\"http://LocalHost/docs/\">docs</A></TD>",
                       "<TD align=right></TD>",
                       "<TD align=left>File Folder</TD>",
                       "<TD align=left></TD>",
                       "<TD align=left></TD>",
                       "<TD align=right></TD>",
                       "<TD align=right></TD>",
                       "<TD align=left></TD>",
                       "</TR>",
                       "<TR>",
                       "<TD align=left>&lt;no entry&gt;</TD>",
                       "</TR>",
                       "</TABLE>",
                   }));
}

TEST_F(ListExportTest, HTMLTableCommandFillsEveryRowAndOpensTheFile) {
  ask.QueueFile(std::nullopt);
  EXPECT_FALSE(ExportListAsHTMLTable(services, list));
  for (const auto& row : list.Rows()) EXPECT_TRUE(row->Filled());
  EXPECT_TRUE(std::filesystem::is_empty(dir.File("out")));

  ask.QueueFile(Out("list.htm"));
  EXPECT_TRUE(ExportListAsHTMLTable(services, list));
  Lines lines;
  ExportListHTMLTable(lines, list);
  EXPECT_EQ(ReadFileText(Out("list.htm")), JoinLines(lines));
  EXPECT_EQ(browser.Shown, Lines{Out("list.htm")});
}

TEST_F(ListExportTest, ListCellsAreEscaped) {
  TSpiderNode* page = NodeOf(Root()->Child(0));
  page->ContentType = "text/html<script>";
  list.Row(0)->Cells.clear();
  Lines lines;
  ExportListHTMLTable(lines, list);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "<TD align=left>text/html&lt;script&gt;</TD>"), lines.end());
}

TEST_F(ListExportTest, CSVOfTheSelectedOrOfAllRows) {
  ask.QueueFile(std::nullopt);
  EXPECT_FALSE(ExportListAsCSVFile(services, list, isSelected));
  EXPECT_TRUE(std::filesystem::is_empty(dir.File("out")));

  ask.QueueFile(Out("selected.csv"));
  EXPECT_TRUE(ExportListAsCSVFile(services, list, isSelected));
  EXPECT_EQ(ReadFileText(Out("selected.csv")),
            "index.html,1KB,\"text/html; charset=iso-8859-1\",Missing,Missing,200,0,http://LocalHost/index.html\r\n"
            "docs,,\"File Folder\",,,,,\r\n");
  ask.QueueFile(Out("all.csv"));
  EXPECT_TRUE(ExportListAsCSVFile(services, list, isNone));
  EXPECT_EQ(ReadFileText(Out("all.csv")),
            "index.html,1KB,\"text/html; charset=iso-8859-1\",Missing,Missing,200,0,http://LocalHost/index.html\r\n"
            "docs,,\"File Folder\",,,,,\r\n"
            "\"my page.html\",1KB,\"text/html; charset=iso-8859-1\",Missing,Missing,200,0,"
            "\"http://LocalHost/my page.html\"\r\n");
  EXPECT_TRUE(browser.Shown.empty());  // a CSV file is not opened
  EXPECT_EQ(SaveFilters(),
            (Lines{"|CSV Files (*.csv)|*.csv|", "|CSV Files (*.csv)|*.csv|", "|CSV Files (*.csv)|*.csv|"}));
}

// --- Enabling and the browser ---------------------------------------------------------------

TEST_F(ListExportTest, EnablingRules) {
  const auto state = [&](const TTreeEntry* selected) { return ExportMenuState(tree, selected, list); };
  EXPECT_TRUE(state(Root()).TreeExports);
  EXPECT_TRUE(state(Docs()).TreeExports);
  EXPECT_FALSE(state(Root()->Child(0)).TreeExports);  // a document
  EXPECT_FALSE(state(nullptr).TreeExports);
  TURI external("http://other/x.html");
  tree.InsertURL(external, nullptr, false);
  EXPECT_TRUE(tree.Root(rkExternal)->HasChildren());
  EXPECT_FALSE(state(tree.Root(rkExternal)).TreeExports);  // a category, not the site
  EXPECT_TRUE(state(nullptr).AsCSVFile);
  EXPECT_TRUE(CanExportListSelection(list));
  list.SelectOnly(nullptr);
  EXPECT_FALSE(CanExportListSelection(list));
  EXPECT_TRUE(state(Root()).AsCSVFile);  // the main menu's CSV entry still writes every row
  list.Clear();
  EXPECT_FALSE(state(Root()).AsCSVFile);
  tree.ResetSiteTree();
  EXPECT_FALSE(ExportMenuState(tree, tree.SiteRoot(), list).TreeExports);  // no children yet
}

TEST_F(SpiderExportTest, OpenInBrowserAsksOnlyForAddressesThatNeedTheNetwork) {
  const std::string question = "You don't seem to be connected to the internet. Do you wish to connect now?";
  const std::string local = dir.Write("out/page.htm", "x");
  EXPECT_TRUE(OpenInBrowser(services, local));
  // An http address whose path names an existing file needs no network either.
  EXPECT_TRUE(OpenInBrowser(services, "http://LocalHost" + local));
  EXPECT_TRUE(ask.Log.empty());

  ask.QueueAnswer(platform::Answer::No);
  EXPECT_FALSE(OpenInBrowser(services, "HTTP://127.0.0.1/none.html"));
  ask.QueueAnswer(platform::Answer::Yes);
  EXPECT_TRUE(OpenInBrowser(services, "http://127.0.0.1/none.html"));
  EXPECT_EQ(ask.TextsOf("YesNo"), (Lines{question, question}));
  net.Connected = true;
  EXPECT_TRUE(OpenInBrowser(services, "http://127.0.0.1/other.html"));
  EXPECT_EQ(browser.Shown,
            (Lines{local, "http://LocalHost" + local, "http://127.0.0.1/none.html", "http://127.0.0.1/other.html"}));
  EXPECT_TRUE(ask.Unexpected.empty());
}

// Without a browser on the desktop the user is told so, with the address, instead of nothing.
TEST_F(SpiderExportTest, OpenInBrowserSaysSoWhenNoBrowserIsFound) {
  net.Connected = true;
  browser.Available = false;
  const std::string local = dir.Write("out/page.htm", "x");
  EXPECT_FALSE(OpenInBrowser(services, local));
  EXPECT_FALSE(OpenInBrowser(services, "http://127.0.0.1/page.html"));
  EXPECT_EQ(ask.TextsOf("Notice"), (Lines{FormatText(kNoBrowserMessage, local.c_str()),
                                          FormatText(kNoBrowserMessage, "http://127.0.0.1/page.html")}));
  EXPECT_NE(ask.TextsOf("Notice")[0].find("No web browser was found to open \"" + local + "\"."), std::string::npos);
  // A scheme never handed to the desktop is no missing browser.
  EXPECT_FALSE(OpenInBrowser(services, "mailto:someone@example.com"));
  EXPECT_EQ(ask.TextsOf("Notice").size(), 2u);
  EXPECT_TRUE(ask.Unexpected.empty());
}

TEST(SpiderExportImages, ShippedBesideTheProgram) {
  for (const char* name : {"treeview_item.gif", "treeview_open.gif", "treeview_fold.gif"}) {
    SCOPED_TRACE(name);
    const std::string gif = ReadFileText(platform::ExecutableFolder() + "/images/" + name);
    ASSERT_GE(gif.size(), 14u);
    EXPECT_EQ(gif.substr(0, 6), "GIF89a");
    EXPECT_EQ(static_cast<unsigned char>(gif[6]) | static_cast<unsigned char>(gif[7]) << 8, 16);
    EXPECT_EQ(static_cast<unsigned char>(gif[8]) | static_cast<unsigned char>(gif[9]) << 8, 16);
    EXPECT_EQ(gif.back(), ';');
  }
}

}  // namespace

namespace {

// Rows of the other categories link their own addresses; a script row is shown, not linked.
TEST_F(SpiderExportTest, HTMLTableLinksEveryRowToItsRealAddress) {
  const struct {
    const char* Address;
    TSiteRootKind Root;
    const char* Cell;
  } cases[] = {
      {"https://other.example/page.html", rkExternal,
       "<TD align=left><A href=\"https://other.example/page.html\">https://other.example/page.html</A></TD>"},
      {"mailto:shop@example.com", rkEmail,
       "<TD align=left><A href=\"mailto:shop@example.com\">mailto:shop@example.com</A></TD>"},
      {"javascript:window.print()", rkJavaScript, "<TD align=left>javascript:window.print()</TD>"},
      {"http://LocalHost/docs/a.html", rkSiteRoot,
       "<TD align=left><A href=\"http://LocalHost/docs/a.html\">a.html</A></TD>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Address);
    TURI uri;
    ResolveLink(uri, c.Address, nullptr);
    tree.InsertURL(uri, nullptr, false);
    TTreeEntry* entry = nullptr;
    ForEachInBranch(tree.Root(c.Root), [&](const TTreeEntry* e) {
      if (!e->HasChildren() && NodeOf(e) && NodeOf(e)->URLText() == c.Address) entry = const_cast<TTreeEntry*>(e);
    });
    ASSERT_NE(entry, nullptr);
    TNodeList list;
    list.AddRow(entry)->Selected = true;
    list.FillAllRows();
    Lines lines;
    ExportListHTMLTable(lines, list);
    EXPECT_NE(std::find(lines.begin(), lines.end(), c.Cell), lines.end()) << JoinLines(lines);
  }
}

}  // namespace
