// Project files read as a stream: the reader finds the same sections and values as the INI
// reader, a loaded project saves back to the same file, and a cut or hostile file stops the load
// with a clear message.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "Kel/KelError.h"
#include "Kel/KelIni.h"
#include "Kel/KelStr.h"
#include "app/ProjectFile.h"
#include "app/ProjectReader.h"
#include "app/SpiderNode.h"
#include "app/SpiderTools.h"
#include "support/TempDir.h"

namespace {

struct ReaderCase {
  const char* name;
  std::string text;
};

void PrintTo(const ReaderCase& c, std::ostream* os) { *os << c.name; }

class ProjectReaderTest : public ::testing::TestWithParam<ReaderCase> {};

// Both readers, from the text and from a file, agree with TIniText on every key asked.
TEST_P(ProjectReaderTest, ReadsAsTheIniReader) {
  const ReaderCase& c = GetParam();
  const TIniText ini(c.text);
  TempDir dir;
  const std::string path = dir.Write("p.tly", c.text);
  for (bool fromFile : {false, true}) {
    TProjectReader reader = fromFile ? TProjectReader::FromFile(path) : TProjectReader::FromText(c.text);
    reader.Scan();
    for (const char* key : {"URI", "Links", "Generator", "Missing"})
      EXPECT_EQ(reader.Setting(key), ini.ReadString("Settings", key)) << key;
    // Sections in any order: each is read from its place.
    for (int n : {3, 0, 2, 1, 4, 10}) {
      const TIniText::TSection* section = ini.FindSection(std::to_string(n));
      ASSERT_EQ(reader.HasSection(n), section != nullptr) << n;
      if (!section) continue;
      const TProjectReader::TValues& values = reader.Section(n);
      for (const char* key : {"RemoteFile", "Title", "Links", "Referers", "Missing"})
        EXPECT_EQ(TProjectReader::Value(values, key), section->Value(key)) << n << " " << key;
    }
  }
}

std::string LongList() {
  std::string list;
  for (int i = 0; i < 400000; ++i) list += (i ? "," : "") + std::to_string(i % 3);
  return list;  // about 800 KB..1.2 MB: longer than one read
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ProjectReaderTest,
    ::testing::Values(
        ReaderCase{"Empty", ""},
        ReaderCase{"CRLF", "[Settings]\r\nURI=http://h/\r\nLinks=2\r\n[0]\r\nRemoteFile=a\r\nTitle=A\r\n[1]\r\n"
                           "RemoteFile=b\r\n"},
        ReaderCase{"LineFeedsAndNoLastBreak", "[Settings]\nURI=http://h/\nLinks=1\n[0]\nRemoteFile=a\nTitle=A"},
        ReaderCase{"BlanksAroundEverything", "  [ Settings ]  \r\n URI = http://h/ \r\n[ 0 ]\r\n  Title =  A B  \r\n"},
        ReaderCase{"CaseOfNamesAndKeys", "[settings]\r\nuri=http://h/\r\n[0]\r\ntitle=A\r\nTITLE=B\r\n"},
        ReaderCase{"FirstOfRepeatedSections",
                   "[Settings]\r\nLinks=1\r\n[0]\r\nTitle=first\r\n[SETTINGS]\r\nLinks=9\r\n[0]\r\nTitle=second\r\n"},
        ReaderCase{"CommentsAndLinesWithoutEquals", "[0]\r\n;Title=no\r\nTitle\r\nTitle=yes\r\n=x\r\n"},
        ReaderCase{"NamesThatAreNotNumbers", "[00]\r\nTitle=a\r\n[+1]\r\nTitle=b\r\n[-2]\r\n[2x]\r\n[99999999999]\r\n"},
        ReaderCase{"SectionsOutOfOrder", "[3]\r\nTitle=three\r\n[1]\r\nTitle=one\r\n[Settings]\r\nLinks=4\r\n[0]\r\n"
                                         "Title=zero\r\n[2]\r\nTitle=two\r\n"},
        ReaderCase{"HeaderWithoutClose", "[0\r\nTitle=a\r\n[1]\r\nTitle=b\r\n"},
        ReaderCase{"ALineLongerThanARead", "[Settings]\r\nLinks=2\r\n[0]\r\nLinks=" + LongList() +
                                                "\r\nTitle=after\r\n[1]\r\nReferers=" + LongList() + "\r\n"},
        ReaderCase{"Binary", std::string("\x00\xff\x1b[Settings]\x00URI=\x01\x02\n[0]\nTitle=\x00x\n", 33)}));

TEST(ProjectReaderFileTest, NonRegularAndMissingFilesFailToOpen) {
  TempDir dir;
  std::filesystem::create_directories(dir.File("folder.tly"));
  try {
    TProjectReader::FromFile(dir.File("folder.tly"));
    FAIL() << "a folder opened";
  } catch (const EError& e) {
    EXPECT_NE(std::string(e.what()).find("Not a regular file"), std::string::npos) << e.what();
  }
  EXPECT_THROW(TProjectReader::FromFile(dir.File("missing.tly")), EError);
}

// A map of a few hundred addresses with the shapes a crawl leaves: folders, pages linking to
// many others, a page linked from more than fits a short list, external and special addresses,
// unchecked addresses, broken and redirected ones.
void BuildMap(TSiteTree& tree) {
  TSiteMap& map = tree.Map;
  map.SiteURI.Parse("http://site.test/");
  auto insert = [&](const std::string& address, TSpiderNode* from) {
    TURI uri(address);
    if (!from) return NodeOf(tree.InsertURL(uri, nullptr, false));
    TURI referer = from->URI();
    TSpiderNode* node = NodeOf(tree.InsertURL(uri, &referer, false));
    from->AddToLinks(node);
    return node;
  };
  const int pages = 300;
  std::vector<TSpiderNode*> all;
  for (int k = 0; k < pages; ++k) {
    TSpiderNode* page = insert("http://site.test/d" + std::to_string(k / 40) + "/p" + std::to_string(k) + ".html", nullptr);
    page->ResponseCode = 200;
    page->ResponseText = "HTTP/1.1 200 OK";
    page->ContentType = "text/html";
    page->ContentLength = 100 + k;
    page->SetTitle("Page " + std::to_string(k) + " & more");
    page->SetDescription(k % 7 ? "" : "About, page=" + std::to_string(k));
    all.push_back(page);
  }
  for (int k = 0; k < pages; ++k) {
    TSpiderNode* page = all[static_cast<size_t>(k)];
    insert("http://site.test/d0/p0.html", page);  // linked from everywhere
    for (int j = 1; j < 1 + k % 25; ++j) insert("http://site.test/d" + std::to_string((k * 7 + j) % pages / 40) + "/p" +
                                                std::to_string((k * 7 + j) % pages) + ".html", page);
    if (k % 11 == 0) insert("http://elsewhere.test/x?k=" + std::to_string(k), page);
    if (k % 13 == 0) insert("http://site.test/gone" + std::to_string(k) + ".html", page)->ResponseCode = 404;
    if (k % 17 == 0) {
      TSpiderNode* moved = insert("http://site.test/r" + std::to_string(k) + ".html", page);
      moved->ResponseCode = 301;
      moved->Location = "http://site.test/d0/p1.html";
    }
  }
  insert("http://site.test/never-checked.html", all[5]);
}

std::string WithoutNow(std::string text) {
  const size_t at = text.find("\r\nNow=");
  if (at != std::string::npos) text.erase(at, text.find("\r\n", at + 2) - at);
  return text;
}

TEST(ProjectStreamTest, ALoadedProjectSavesAsTheSameFile) {
  TempDir dir;
  TSiteMap map;
  TSiteTree tree(map, nullptr);
  BuildMap(tree);
  ASSERT_GT(map.Count(), 300);
  ASSERT_GT(map.Node(0)->Referers.size(), 64u);
  const std::string first = dir.File("first.tly"), second = dir.File("second.tly");
  SaveProjectFile(map, first);
  TSiteMap loaded;
  TSiteTree loadedTree(loaded, nullptr);
  EXPECT_EQ(LoadProjectFile(loadedTree, first, nullptr, nullptr), "");
  EXPECT_EQ(loaded.Count(), map.Count());
  SaveProjectFile(loaded, second);
  const std::string original = ReadFileText(first);
  EXPECT_EQ(WithoutNow(ReadFileText(second)), WithoutNow(original));
  // The same file read from its text loads the same map.
  TSiteMap fromText;
  TSiteTree fromTextTree(fromText, nullptr);
  EXPECT_EQ(LoadProject(fromTextTree, TIniText(original), nullptr, nullptr), "");
  EXPECT_EQ(WithoutNow(ProjectText(fromText)), WithoutNow(original));
}

// A file cut anywhere (a crash while copying it, a full disk) never loads as a whole project:
// the load stops with a message, and a cut before a section's header names that section.
TEST(ProjectStreamTest, ACutFileStopsWithAClearMessage) {
  TempDir dir;
  TSiteMap map;
  TSiteTree tree(map, nullptr);
  BuildMap(tree);
  const std::string text = ProjectText(map);
  const size_t lastHeader = text.rfind("\r\n[") + 2;
  std::vector<size_t> cuts;
  // Past the settings: a file cut inside "Links=" announces fewer sections, as a shorter
  // project would.
  for (size_t at = text.find("\r\n[0]") + 2; at < lastHeader; at += 1009) cuts.push_back(at);
  for (int n : {0, 1, 2, 150, map.Count() - 1}) cuts.push_back(text.find("\r\n[" + std::to_string(n) + "]\r\n") + 2);
  for (size_t cut : cuts) {
    const std::string path = dir.Write("cut.tly", text.substr(0, cut));
    TSiteMap loaded;
    TSiteTree loadedTree(loaded, nullptr);
    const std::string error = LoadProjectFile(loadedTree, path, nullptr, nullptr);
    EXPECT_FALSE(error.empty()) << "cut at " << cut;
    EXPECT_LE(loaded.Count(), map.Count());
    if (cut > 2 && text.compare(cut - 2, 3, "\r\n[") == 0) {
      const std::string n = text.substr(cut + 1, text.find(']', cut) - cut - 1);
      EXPECT_EQ(error, "The project file has no section [" + n + "]") << "cut at " << cut;
    }
  }
}

}  // namespace
