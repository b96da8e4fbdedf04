// Saving a map as a project file and loading it again.
#include <gtest/gtest.h>

#include "Kel/KelError.h"
#include "Kel/KelIni.h"
#include "Kel/KelStr.h"
#include "support/AppFixture.h"

namespace {

class ProjectFileTest : public AppFixture {
 protected:
  TFormTessaly& Main() { return app->Main; }
  TSpiderNode* Add(const std::string& address, const std::string& referer = "") {
    // Addresses as the crawl holds them (already decoded); special ones through link resolution.
    TURI uri(address);
    if (IsSpecialScheme(address.substr(0, address.find(':')))) ResolveLink(uri, address, nullptr);
    if (referer.empty()) return NodeOf(Main().Tree.InsertURL(uri, nullptr, false));
    TURI ref(referer);
    return NodeOf(Main().Tree.InsertURL(uri, &ref, false));
  }
  // The two-node map of the example: a home page and the mail address it links to.
  void ExampleMap() {
    app->Map.SiteURI.Parse("http://host/");
    TSpiderNode* home = Add("http://host/");
    TSpiderNode* mail = Add("mailto:webmaster", "http://host/");
    home->AddToLinks(mail);
    home->RemoteDate = StrToDateTime("5/14/2004 3:10:01 PM");
    home->LastModified = StrToDateTime("5/1/2004 9:00:00 AM");
    home->ContentType = "text/html";
    home->ResponseText = "HTTP/1.1 200 OK";
    home->ResponseCode = 200;
    home->ContentLength = 5120;
    home->SpellingErrors = 3;
    home->SetTitle("Home Page");
    home->Server = "ExampleServer/1.0";
  }
  std::vector<std::string> Lines(const std::string& path) {
    std::string text = ReadFileText(path);
    EXPECT_TRUE(text.size() >= 2 && text.substr(text.size() - 2) == "\r\n");
    std::vector<std::string> lines;
    size_t start = 0, cut;
    while ((cut = text.find("\r\n", start)) != std::string::npos) {
      lines.push_back(text.substr(start, cut - start));
      start = cut + 2;
    }
    EXPECT_EQ(start, text.size());
    return lines;
  }
  // Opens `text` as a project file.
  void Open(const std::string& text, const std::string& name = "p.tly") {
    const std::string path = dir.Write(name, text);
    Main().OpenProjectFile(path);
  }
  std::string Project(const std::string& uri, int links, const std::vector<std::vector<std::string>>& sections) {
    std::string text = "[Settings]\r\nURI=" + uri + "\r\nLinks=" + std::to_string(links) + "\r\n";
    for (size_t i = 0; i < sections.size(); ++i) {
      text += "[" + std::to_string(i) + "]\r\n";
      for (const auto& line : sections[i]) text += line + "\r\n";
    }
    return text;
  }
  static std::vector<std::string> Section(const std::string& address, const std::string& code = "200",
                                          const std::string& links = "", const std::string& date = "12/30/1899") {
    return {"RemoteFile=" + EncodeFormText(address),
            "LocalFile=",
            "RemoteDate=" + date,
            "LastModified=12/30/1899",
            "ContentType=text/html",
            "ResponseText=HTTP/1.1 200 OK",
            "ResponseCode=" + code,
            "ContentLength=10",
            "SpellingErrors=0",
            "Links=" + links,
            "Referers=",
            "Title=T",
            "Description=",
            "Location=",
            "Server=",
            "IsInternal=-1"};
  }
};

TEST_F(ProjectFileTest, WritesTheExampleExactly) {
  ExampleMap();
  const std::string path = dir.File("site.tly");
  Main().SaveProject(path);
  std::vector<std::string> lines = Lines(path);
  ASSERT_EQ(lines.size(), 39u);
  EXPECT_TRUE(StartsText("Now=", lines[2]));
  EXPECT_NO_THROW(StrToDateTime(lines[2].substr(4)));
  lines[2] = "Now=5/14/2004 3:12:09 PM";
  const std::vector<std::string> expected = {"[Settings]",
                                             "Generator=Quorlix Tessaly",
                                             "Now=5/14/2004 3:12:09 PM",
                                             "URI=http://host/",
                                             "Links=2",
                                             "[0]",
                                             "RemoteFile=http%3A%2F%2Fhost%2F",
                                             "LocalFile=",
                                             "RemoteDate=5/14/2004 3:10:01 PM",
                                             "LastModified=5/1/2004 9:00:00 AM",
                                             "ContentType=text/html",
                                             "ResponseText=HTTP/1.1 200 OK",
                                             "ResponseCode=200",
                                             "ContentLength=5120",
                                             "SpellingErrors=3",
                                             "Links=1",
                                             "Referers=",
                                             "Title=Home+Page",
                                             "Description=",
                                             "Location=",
                                             "Server=ExampleServer/1.0",
                                             "IsInternal=-1",
                                             "[1]",
                                             "RemoteFile=mailto%3Awebmaster",
                                             "LocalFile=",
                                             "RemoteDate=12/30/1899",
                                             "LastModified=12/30/1899",
                                             "ContentType=mailto",
                                             "ResponseText=",
                                             "ResponseCode=200",
                                             "ContentLength=0",
                                             "SpellingErrors=0",
                                             "Links=",
                                             "Referers=0",
                                             "Title=",
                                             "Description=",
                                             "Location=",
                                             "Server=",
                                             "IsInternal=0"};
  EXPECT_EQ(lines, expected);
  EXPECT_FALSE(app->Map.Modified);
  EXPECT_EQ(Main().ProjectFileName, path);
  EXPECT_EQ(Main().Caption, "Quorlix Tessaly - [" + path + "]");
}

TEST_F(ProjectFileTest, SaveThenLoadGivesTheSameMap) {
  ExampleMap();
  TSpiderNode* odd = Add("http://host/dir/a b+c%d=e&f.html", "http://host/");
  odd->ResponseCode = -1;
  odd->ResponseText = "Failed to connect\nsecond line";
  odd->ContentLength = -1;
  odd->SetDescription("  spaced <desc> & more ");
  odd->Location = "  keep  ";
  Add("http://other/x?q=1");
  const std::string path = dir.File("round.tly");
  Main().SaveProject(path);
  std::vector<std::string> before;
  for (const auto& n : app->Map.Nodes()) {
    std::vector<std::string> lines;
    SaveTo(*n, lines);
    before.insert(before.end(), lines.begin(), lines.end());
  }
  const std::string treeBefore = NodePath(Main().Tree.SiteRoot()->Child(1)->Child(0));
  Main().OpenProjectFile(path);
  EXPECT_TRUE(ask.TextsOf("Notice").empty());
  ASSERT_EQ(app->Map.Count(), 4);
  std::vector<std::string> after;
  for (const auto& n : app->Map.Nodes()) {
    std::vector<std::string> lines;
    SaveTo(*n, lines);
    after.insert(after.end(), lines.begin(), lines.end());
  }
  // Only the unencoded values lose their outer blanks, and a multi-line text its later lines.
  for (auto& line : before) {
    if (line == "ResponseText=Failed to connect\nsecond line") line = "ResponseText=Failed to connect";
    if (line == "Location=  keep  ") line = "Location=keep";
  }
  EXPECT_EQ(after, before);
  EXPECT_EQ(app->Map.Node(2)->URLText(), "http://host/dir/a b+c%d=e&f.html");
  EXPECT_EQ(app->Map.Node(2)->Description(), "  spaced <desc> & more ");
  EXPECT_EQ(NodePath(Main().Tree.SiteRoot()->Child(1)->Child(0)), treeBefore);
  EXPECT_EQ(app->Map.Node(0)->Links, (TSpiderNodeDynArray{app->Map.Node(1)}));
  EXPECT_EQ(app->Map.Node(1)->Referers, (TSpiderNodeDynArray{app->Map.Node(0)}));
  EXPECT_FALSE(app->Map.Modified);
  EXPECT_EQ(Main().ProjectFileName, path);
  EXPECT_EQ(Main().EditURL, "http://host/");
  EXPECT_EQ(Main().RecentAddresses.front(), "http://host/");
  EXPECT_EQ(progressWindow.Messages,
            (std::vector<std::string>{"Please wait...", "Loading Site Map...", "Re-Building Site Tree...",
                                      "Updating Local File Status..."}));
  EXPECT_TRUE(app->Pool.IsEmpty());
}

TEST_F(ProjectFileTest, EmptyMapLoadsWithoutAMessage) {
  const std::string path = dir.File("empty.tly");
  Main().SaveProject(path);
  EXPECT_EQ(Lines(path).size(), 5u);
  Main().OpenProjectFile(path);
  EXPECT_EQ(app->Map.Count(), 0);
  EXPECT_TRUE(ask.TextsOf("Notice").empty());
  EXPECT_EQ(progressWindow.Messages, (std::vector<std::string>{"Please wait..."}));
}

TEST_F(ProjectFileTest, ALineBreakInAnAnswerCannotAddKeysOrSections) {
  ExampleMap();
  TSpiderNode* home = app->Map.Node(0);
  home->ResponseText = "HTTP/1.1 500 Oops\r\nTitle=Forged\r\n[0]\r\nRemoteFile=http%3A%2F%2Fevil%2F";
  home->Server = "Srv\nLinks=0";
  home->Location = "/next\nReferers=1";
  const std::string path = dir.File("answers.tly");
  Main().SaveProject(path);
  const std::vector<std::string> lines = Lines(path);
  EXPECT_EQ(lines.size(), 39u);
  EXPECT_EQ(lines[11], "ResponseText=HTTP/1.1 500 Oops");
  EXPECT_EQ(lines[19], "Location=/next");
  EXPECT_EQ(lines[20], "Server=Srv");
  Main().OpenProjectFile(path);
  ASSERT_EQ(app->Map.Count(), 2);
  EXPECT_EQ(app->Map.Node(0)->ResponseText, "HTTP/1.1 500 Oops");
  EXPECT_EQ(app->Map.Node(0)->Title(), "Home Page");
  EXPECT_EQ(app->Map.Node(0)->URLText(), "http://host/");
}

TEST_F(ProjectFileTest, ARepeatedAddressDoesNotShiftTheLaterSections) {
  // Section 1 repeats section 0's address: it adds no node, so node 1 is the node of section 2.
  Open(Project("http://host/", 3,
               {Section("http://host/a.html", "200", "2"), Section("http://host/a.html", "404"),
                Section("http://host/b.html", "301", "1,0")}));
  EXPECT_TRUE(ask.TextsOf("Notice").empty());
  ASSERT_EQ(app->Map.Count(), 2);
  TSpiderNode* a = app->Map.Node(0);
  TSpiderNode* b = app->Map.Node(1);
  EXPECT_EQ(a->URLText(), "http://host/a.html");
  EXPECT_EQ(a->ResponseCode, 200);
  EXPECT_EQ(b->URLText(), "http://host/b.html");
  EXPECT_EQ(b->ResponseCode, 301);
  EXPECT_EQ(a->Links, (TSpiderNodeDynArray{b}));  // section 2 is node 1
  EXPECT_EQ(b->Links, (TSpiderNodeDynArray{a}));  // sections 1 and 0 are both node 0
  // Saved again, the map loads into the same nodes.
  const std::string saved = dir.File("saved.tly");
  Main().SaveProject(saved);
  Main().OpenProjectFile(saved);
  ASSERT_EQ(app->Map.Count(), 2);
  EXPECT_EQ(app->Map.Node(1)->URLText(), "http://host/b.html");
  EXPECT_EQ(app->Map.Node(1)->ResponseCode, 301);
}

TEST_F(ProjectFileTest, KeysInAnyOrderAndCaseAndInternalRecomputed) {
  std::vector<std::string> s = Section("http://host/a/x.html");
  std::reverse(s.begin(), s.end());
  for (auto& line : s) line = UpperCase(line.substr(0, line.find('='))) + line.substr(line.find('='));
  s.push_back("Title=Second+is+ignored");
  Open("[settings]\r\nlinks=0x1\r\nuri=http://host/a/\r\n[0]\r\n" + [&] {
    std::string t;
    for (auto& l : s) t += l + "\r\n";
    return t;
  }());
  ASSERT_EQ(app->Map.Count(), 1);
  EXPECT_EQ(app->Map.Node(0)->Title(), "T");
  EXPECT_TRUE(app->Map.Node(0)->IsInternal());
  // Another site root reclassifies the same node as external.
  Open(Project("http://host/b/", 1, {Section("http://host/a/x.html")}));
  EXPECT_EQ(app->Map.Node(0)->TreeNode->Parent, Main().Tree.Root(rkExternal));
}

TEST_F(ProjectFileTest, OtherFilesGoToThePreview) {
  const std::string page = dir.Write("page.html", "<p>x</p>");
  app->Map.Modified = true;
  Main().OpenProjectFile(page);
  EXPECT_EQ(Main().EditURL, page);
  EXPECT_EQ(preview.Targets.back(), page);
  EXPECT_TRUE(ask.Log.empty());
  ask.QueueAnswer(platform::Answer::No);
  Open(Project("http://host/", 1, {Section("http://host/")}), "UPPER.TLY");
  ASSERT_EQ(ask.TextsOf("YesNo").size(), 1u);  // the modified map asked to be cleared; No kept it
  EXPECT_EQ(app->Map.Count(), 0);
  app->Map.Modified = false;
  Open(Project("http://host/", 1, {Section("http://host/")}), "UPPER.TLY");
  EXPECT_EQ(app->Map.Count(), 1);
}

struct BadFile {
  const char* name;
  std::string text;
  const char* message;
  int nodes;          // nodes in the map afterwards
  int completeNodes;  // of them, fully loaded (title set)
};

void PrintTo(const BadFile& b, std::ostream* os) { *os << b.name; }

class ProjectLoadErrorTest : public ProjectFileTest, public ::testing::WithParamInterface<BadFile> {};

std::string Join(const std::vector<std::string>& lines) {
  std::string t;
  for (const auto& l : lines) t += l + "\r\n";
  return t;
}

std::string TwoNodes(const std::string& secondCode, const std::string& firstLinks = "1") {
  std::vector<std::string> a = {"RemoteFile=http%3A%2F%2Fhost%2Fa.html",
                                "RemoteDate=12/30/1899",
                                "LastModified=12/30/1899",
                                "ResponseCode=200",
                                "ContentLength=1",
                                "SpellingErrors=0",
                                "Links=" + firstLinks,
                                "Title=A"};
  std::vector<std::string> b = {"RemoteFile=http%3A%2F%2Fhost%2Fb.html",
                                "RemoteDate=12/30/1899",
                                "LastModified=12/30/1899",
                                "ResponseCode=" + secondCode,
                                "ContentLength=1",
                                "SpellingErrors=0",
                                "Title=B"};
  return "[Settings]\r\nURI=http://host/\r\nLinks=2\r\n[0]\r\n" + Join(a) + "[1]\r\n" + Join(b);
}

TEST_P(ProjectLoadErrorTest, StopsWithAClearWarning) {
  const BadFile& b = GetParam();
  const std::string path = dir.Write("bad.tly", b.text);
  EXPECT_NO_THROW(Main().OpenProjectFile(path));
  const auto notices = ask.TextsOf("Notice");
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0], b.message);
  EXPECT_EQ(Main().LastLoadError, b.message);
  EXPECT_EQ(app->Map.Count(), b.nodes);
  int complete = 0;
  for (const auto& n : app->Map.Nodes()) complete += !n->Title().empty();
  EXPECT_EQ(complete, b.completeNodes);
  // The opening steps still ran.
  EXPECT_FALSE(app->Map.Modified);
  EXPECT_EQ(Main().ProjectFileName, path);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ProjectLoadErrorTest,
    ::testing::Values(
        BadFile{"NoURI", "[Settings]\r\nLinks=1\r\n", "Protocol field is empty", 0, 0},
        BadFile{"EmptyFile", "", "Protocol field is empty", 0, 0},
        BadFile{"BadCode", TwoNodes("abc"), "'abc' is not a valid integer value", 2, 1},
        BadFile{"BadIndex", TwoNodes("200", "7"), "List index out of bounds (7)", 2, 1},
        BadFile{"IndexNotANumber", TwoNodes("200", "1,x"), "'x' is not a valid integer value", 2, 1},
        BadFile{"BadDate",
                "[Settings]\r\nURI=http://host/\r\nLinks=1\r\n[0]\r\nRemoteFile=http%3A%2F%2Fhost%2F\r\n"
                "RemoteDate=13/45/2004\r\n",
                "'13/45/2004' is not a valid date and time", 1, 0},
        BadFile{"MissingDate",
                "[Settings]\r\nURI=http://host/\r\nLinks=1\r\n[0]\r\nRemoteFile=http%3A%2F%2Fhost%2F\r\n",
                "'' is not a valid date and time", 1, 0},
        BadFile{"BadEscape",
                "[Settings]\r\nURI=http://host/\r\nLinks=2\r\n[0]\r\nRemoteFile=http%3A%2F%2Fhost%2Fa\r\n"
                "[1]\r\nRemoteFile=100%.html\r\n",
                "Invalid URL encoded character (%.h) at position 4", 1, 0},
        BadFile{"Truncated", "[Settings]\r\nURI=http://host/\r\nLinks=99999999\r\n[0]\r\nRemoteFile=http%3A%2F%2Fho",
                "The project file has no section [1]", 1, 0},
        BadFile{"Binary", std::string("\x00\xff\x1b[Settings]\x00URI=\x01\x02", 19), "Protocol field is empty", 0, 0}));

TEST_F(ProjectFileTest, FailedSaveKeepsTheOldFileAndTheModifiedFlag) {
  ExampleMap();
  const std::string folder = dir.File("folder.tly");
  std::filesystem::create_directories(folder);
  EXPECT_THROW(Main().SaveProject(folder), EError);
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  EXPECT_THROW(Main().SaveProject(dir.File("missing/folder/x.tly")), EError);
  EXPECT_TRUE(app->Map.Modified);
  EXPECT_EQ(Main().ProjectFileName, "untitled.tly");
}

TEST_F(ProjectFileTest, UnreadableProjectFails) {
  EXPECT_THROW(Main().OpenProjectFile(dir.File("nowhere.tly")), EError);
}

}  // namespace
