// Reading local files: size, DOS-style time, blocks, and what is refused (without blocking).
#include "Kel/KelLocalFile.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>

#include "support/TempDir.h"

namespace {

TEST(TLocalFile, ReadsTheWholeFileInBlocks) {
  TempDir dir;
  std::string content(200000, 'x');  // more than one block
  content += "end";
  const std::string path = dir.Write("big.bin", content);
  TLocalFile file(path);
  EXPECT_EQ(file.Path(), path);
  EXPECT_EQ(file.Size(), static_cast<int64_t>(content.size()));
  std::string read;
  int blocks = 0;
  file.ReadBlocks([&](const char* data, size_t size) {
    read.append(data, size);
    ++blocks;
  });
  EXPECT_EQ(read, content);
  EXPECT_GT(blocks, 1);

  TLocalFile empty(dir.Write("empty.txt", ""));
  EXPECT_EQ(empty.Size(), 0);
  empty.ReadBlocks([](const char*, size_t) { FAIL() << "an empty file has no block"; });
}

TEST(TLocalFile, ABlockHandlerThatRaisesStopsTheReading) {
  TempDir dir;
  TLocalFile file(dir.Write("big.bin", std::string(200000, 'x')));
  int blocks = 0;
  EXPECT_THROW(file.ReadBlocks([&](const char*, size_t) {
    ++blocks;
    throw EAbort();
  }),
               EAbort);
  EXPECT_EQ(blocks, 1);
}

TEST(TLocalFile, TimeIsTheLocalLastWriteTimeInTwoSecondSteps) {
  TempDir dir;
  const std::string path = dir.Write("page.html", "x");
  for (const time_t when : {time_t{1700000000}, time_t{1700000001}}) {
    const timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    TLocalFile file(path);
    EXPECT_EQ(DateTimeToStr(file.DOSTime()), DateTimeToStr(UnixToLocalDateTime(1700000000))) << when;
  }
}

struct RefusalCase {
  std::string Name;
  std::string Relative;  // below the test folder
  ELocalFile::TFault Fault;
  std::string Message;  // "<path>" stands for the full path
};
void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.Name; }

class TLocalFileRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(TLocalFileRefusal, NamesTheFileAndNeverBlocks) {
  const RefusalCase& c = GetParam();
  TempDir dir;
  dir.Write("folder/inside.html", "x");
  // A named pipe with no writer: a blocking open would wait for one for ever.
  ASSERT_EQ(mkfifo(dir.File("pipe").c_str(), 0600), 0);
  const std::string path = dir.File(c.Relative);
  std::string expected = c.Message;
  expected.replace(expected.find("<path>"), 6, path);
  try {
    TLocalFile file(path);
    FAIL() << "opened";
  } catch (const ELocalFile& e) {
    EXPECT_EQ(e.Fault, c.Fault);
    EXPECT_EQ(std::string(e.what()), expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, TLocalFileRefusal,
    ::testing::Values(RefusalCase{"Missing", "missing.html", ELocalFile::TFault::CannotOpen,
                                  "Cannot open file \"<path>\". No such file or directory"},
                      RefusalCase{"MissingFolder", "nowhere/page.html", ELocalFile::TFault::CannotOpen,
                                  "Cannot open file \"<path>\". No such file or directory"},
                      RefusalCase{"Folder", "folder", ELocalFile::TFault::NotAFile, "\"<path>\" is not a file"},
                      RefusalCase{"NamedPipe", "pipe", ELocalFile::TFault::NotAFile, "\"<path>\" is not a file"}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return info.param.Name; });

}  // namespace
