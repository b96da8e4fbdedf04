#include "Kel/KelComCtrls.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "Kel/KelError.h"
#include "support/TempDir.h"

namespace {

struct Row {
  std::string Caption;
  std::vector<std::string> SubItems;
  bool Selected = false;
};

class Rows : public TCustomListItems {
 public:
  explicit Rows(std::vector<Row> rows) : Rows_(std::move(rows)) {}
  int ItemCount() const override { return static_cast<int>(Rows_.size()); }
  const std::string& ItemCaption(int i) const override { return Rows_[static_cast<size_t>(i)].Caption; }
  const std::vector<std::string>& ItemSubItems(int i) const override { return Rows_[static_cast<size_t>(i)].SubItems; }
  bool ItemSelected(int i) const override { return Rows_[static_cast<size_t>(i)].Selected; }

 private:
  std::vector<Row> Rows_;
};

TEST(KelComCtrlsTest, CSVFieldsAreQuotedOnlyWhenNeeded) {
  const struct {
    const char* field;
    const char* csv;
  } cases[] = {
      {"plain.html", "plain.html"},         {"my page.html", "\"my page.html\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""}, {"a,b", "\"a,b\""},
      {"tab\there", "\"tab\there\""},       {"line\r\nbreak", "\"line\r\nbreak\""},
      {"semi;colon'", "semi;colon'"},       {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.field);
    EXPECT_EQ(CSVField(c.field), c.csv);
  }
}

TEST(KelComCtrlsTest, CSVLines) {
  EXPECT_EQ(CSVLine({""}), "\"\"");
  EXPECT_EQ(CSVLine({"a", "", "c"}), "a,,c");
  EXPECT_EQ(CSVLine({"", ""}), ",");
  EXPECT_EQ(CSVLine({"my page.html", "2KB", "text/html"}), "\"my page.html\",2KB,text/html");
}

TEST(KelComCtrlsTest, ExportListViewCSVWritesAllOrSelectedRows) {
  TempDir dir;
  Rows rows(
      {{"index.html", {"1KB", "text/html"}, false}, {"my page.html", {"N/A", "say \"hi\""}, true}, {"", {}, true}});
  const std::string all = dir.File("all.csv");
  ExportListViewCSV(rows, all, isNone);
  EXPECT_EQ(ReadFileText(all), "index.html,1KB,text/html\r\n\"my page.html\",N/A,\"say \"\"hi\"\"\"\r\n\"\"\r\n");
  const std::string selected = dir.Write("selected.csv", "old content that is replaced");
  ExportListViewCSV(rows, selected, isSelected);
  EXPECT_EQ(ReadFileText(selected), "\"my page.html\",N/A,\"say \"\"hi\"\"\"\r\n\"\"\r\n");
}

TEST(KelComCtrlsTest, AlignmentNames) {
  EXPECT_STREQ(AlignmentName(TAlignment::taLeftJustify), "left");
  EXPECT_STREQ(AlignmentName(TAlignment::taRightJustify), "right");
  EXPECT_STREQ(AlignmentName(TAlignment::taCenter), "center");
}

TEST(KelComCtrlsTest, JoinLinesEndsEveryLineWithCRLF) {
  EXPECT_EQ(JoinLines({}), "");
  EXPECT_EQ(JoinLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
}

std::vector<std::string> FilesIn(const TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir.Path())) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(KelComCtrlsTest, SaveTextToFileReplacesWholeAndKeepsPermissions) {
  TempDir dir;
  const std::string file = dir.Write("page.htm", "a much longer old content");
  ::chmod(file.c_str(), 0640);
  SaveTextToFile(file, std::string("new\0bytes", 9));
  EXPECT_EQ(ReadFileText(file), std::string("new\0bytes", 9));
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  // No temporary file is left behind.
  EXPECT_EQ(FilesIn(dir), std::vector<std::string>{"page.htm"});
}

TEST(KelComCtrlsTest, SaveTextToFileWritesThroughALink) {
  TempDir dir;
  const std::string real = dir.Write("real.htm", "old");
  const std::string link = dir.File("link.htm");
  std::filesystem::create_symlink(real, link);
  SaveTextToFile(link, "new");
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadFileText(real), "new");
}

TEST(KelComCtrlsTest, SaveTextToFileFailuresCarryTheSystemMessage) {
  TempDir dir;
  try {
    SaveTextToFile(dir.File("missing/folder/x.csv"), "x");
    FAIL() << "a missing folder must fail";
  } catch (const EError& e) {
    EXPECT_NE(std::string(e.what()).find("Cannot create file \"" + dir.File("missing/folder/x.csv") + "\""),
              std::string::npos);
    EXPECT_NE(std::string(e.what()).find("No such file or directory"), std::string::npos) << e.what();
  }
  // A read-only file is refused and kept, even where the folder would allow replacing it.
  const std::string readOnly = dir.Write("ro.csv", "keep");
  ::chmod(readOnly.c_str(), 0444);
  EXPECT_THROW(SaveTextToFile(readOnly, "x"), EError);
  EXPECT_EQ(ReadFileText(readOnly), "keep");
  EXPECT_THROW(SaveTextToFile(dir.Str(), "x"), EError);
}

}  // namespace
