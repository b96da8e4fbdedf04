// Whole files: only regular files are read or replaced; a FIFO, a device or a folder gives a
// clear error at once instead of blocking or reading without end.
#include "Kel/KelFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "Kel/KelError.h"
#include "Kel/KelIni.h"
#include "support/TempDir.h"

namespace {

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EError& e) {
    return e.what();
  }
  return std::string();
}

TEST(KelFilesTest, OnlyRegularFilesAreRead) {
  TempDir dir;
  ASSERT_EQ(::mkfifo(dir.File("pipe.tly").c_str(), 0600), 0);
  std::filesystem::create_symlink("/dev/zero", dir.File("zero.tly"));
  std::filesystem::create_directory(dir.File("folder.tly"));
  for (const char* name : {"pipe.tly", "zero.tly", "folder.tly"}) {
    const std::string file = dir.File(name);
    EXPECT_EQ(ErrorOf([&] { LoadTextFromFile(file); }), "Cannot open file \"" + file + "\". Not a regular file")
        << name;
  }
  EXPECT_NE(ErrorOf([&] { LoadTextFromFile(dir.File("missing.tly")); }).find("No such file"), std::string::npos);
  dir.Write("link-target.txt", "through a link");
  std::filesystem::create_symlink(dir.File("link-target.txt"), dir.File("link.txt"));
  EXPECT_EQ(LoadTextFromFile(dir.File("link.txt")), "through a link");
  const std::string big(200000, 'x');
  dir.Write("big.txt", big);
  EXPECT_EQ(LoadTextFromFile(dir.File("big.txt")), big);
  // A settings file that is a FIFO reads as empty.
  TIniFile ini(dir.File("pipe.tly"));
  EXPECT_EQ(ini.ReadString("a", "b", "fallback"), "fallback");
}

TEST(KelFilesTest, AFIFOOrADeviceIsNeverReplaced) {
  TempDir dir;
  ASSERT_EQ(::mkfifo(dir.File("pipe.htm").c_str(), 0600), 0);
  const std::string file = dir.File("pipe.htm");
  EXPECT_EQ(ErrorOf([&] { SaveTextToFile(file, "x"); }), "Cannot create file \"" + file + "\". Not a regular file");
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
  std::filesystem::create_symlink("/dev/null", dir.File("null.txt"));
  EXPECT_NE(ErrorOf([&] { SaveTextToFile(dir.File("null.txt"), "x"); }).find("Not a regular file"), std::string::npos);
}

TEST(KelFilesTest, AFileWriterWritesLargeAndSmallPiecesInOrder) {
  TempDir dir;
  const std::string file = dir.File("out.txt");
  std::string expected;
  {
    TFileReplacement replacement(file);
    TFileWriter out(replacement);
    for (int i = 0; i < 3000; ++i) {
      const std::string piece = std::to_string(i) + (i % 1000 == 0 ? std::string(70000, 'y') : std::string(","));
      out.Write(piece);
      expected += piece;
    }
    out.Flush();
    replacement.Commit();
  }
  EXPECT_EQ(ReadFileText(file), expected);
}

// Any legal name works as a target: the temporary file's name is short and the same for all.
TEST(KelFilesTest, TargetsOfAnyLegalNameLengthAreWritten) {
  TempDir dir;
  for (size_t length : {1u, 100u, 243u, 250u, 255u}) {
    SCOPED_TRACE(length);
    const std::string name(length, 'n');
    const std::string file = dir.File(name);
    SaveTextToFile(file, "first");
    SaveTextToFile(file, "second");  // replacing works too
    EXPECT_EQ(ReadFileText(file), "second");
    {
      TFileReplacement replacement(file);
      replacement.Write("piece", 5);
      // While it is written, only the target and one temporary file of the short form are there.
      size_t temps = 0;
      for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        const std::string n = entry.path().filename().string();
        if (n.rfind(kTempFilePrefix, 0) == 0) {
          ++temps;
          EXPECT_EQ(n.size(), std::string(kTempFilePrefix).size() + 6) << n;
        }
      }
      EXPECT_EQ(temps, 1u);
      replacement.Commit();
    }
    EXPECT_EQ(ReadFileText(file), "piece");
    std::filesystem::remove(file);
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
  // A name past the system's limit is a clear error.
  const std::string tooLong = dir.File(std::string(256, 'n'));
  EXPECT_NE(ErrorOf([&] { SaveTextToFile(tooLong, "x"); }).find("Cannot create file"), std::string::npos);
}

// Temporary files left by a killed program are removed by the next write into their folder once
// they are a day old; younger ones (a writer at work) and other names stay.
TEST(KelFilesTest, StaleTemporaryFilesGoWithTheNextWriteIntoTheirFolder) {
  TempDir dir;
  auto age = [&](const std::string& name, int hours) {
    const std::string file = dir.Write(name, "left behind");
    const timespec now{::time(nullptr) - hours * 3600, 0};
    const timespec times[2] = {now, now};
    EXPECT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    return file;
  };
  const struct {
    const char* Name;
    int Hours;
    bool Removed;
  } cases[] = {
      {".tessaly-a1B2c3", 25, true},     // a temporary file of a killed save
      {".tessaly-zzzzzz", 24 * 30, true},  // a month old
      {".tessaly-Q9q9Q9", 23, false},    // younger than a day: a writer may be at work
      {".tessaly-long-name", 48, false},  // not a name the writers give
      {".tessaly-abc", 48, false},
      {"tessaly-abcdef", 48, false},
      {"notes.txt", 48, false},
  };
  for (const auto& c : cases) age(c.Name, c.Hours);
  std::filesystem::create_directory(dir.File(".tessaly-folder"));
  SaveTextToFile(dir.File("map.txt"), "saved");
  for (const auto& c : cases) EXPECT_EQ(std::filesystem::exists(dir.File(c.Name)), !c.Removed) << c.Name;
  EXPECT_TRUE(std::filesystem::is_directory(dir.File(".tessaly-folder")));
  EXPECT_EQ(ReadFileText(dir.File("map.txt")), "saved");
  // The sweep on its own, with a shorter age: the 23 and 2 hours old files go.
  const std::string young = age(".tessaly-Y0UNG1", 2);
  EXPECT_EQ(RemoveStaleTempFiles(dir.Str(), 3600), 2);
  EXPECT_FALSE(std::filesystem::exists(young));
  EXPECT_FALSE(std::filesystem::exists(dir.File(".tessaly-Q9q9Q9")));
}

TEST(KelFilesTest, ReadingCanStopAfterTheFirstBytes) {
  TempDir dir;
  const std::string file = dir.Write("big.txt", std::string(100000, 'b') + "tail");
  EXPECT_EQ(LoadTextFromFile(file, 10), std::string(10, 'b'));
  EXPECT_EQ(LoadTextFromFile(file, 65536).size(), 65536u);
  EXPECT_EQ(LoadTextFromFile(file, 1 << 20).size(), 100004u);
  EXPECT_EQ(LoadTextFromFile(file, 0), "");
}

}  // namespace
