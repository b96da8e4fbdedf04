// Whole files: only regular files are read or replaced; a FIFO, a device or a folder gives a
// clear error at once instead of blocking or reading without end.
#include "Kel/KelFiles.h"

#include <sys/stat.h>
#include <unistd.h>

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

}  // namespace
