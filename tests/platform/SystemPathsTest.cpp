#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "platform/System.h"

namespace fs = std::filesystem;

namespace {

void Touch(const fs::path& file) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << "word\n";
}

}  // namespace

// The shipped files are found beside the program first (a build folder), then in the installed
// data folder beside its bin folder.
TEST(ShippedFilesFolder, BesideTheProgramFirstThenTheInstalledDataFolder) {
  TempDir root;
  const fs::path base = root.Path();
  struct Case {
    const char* name;
    std::vector<std::string> files;  // relative to the root
    std::string program;             // the program's folder
    std::string expected;
  } cases[] = {
      {"build folder", {"build/english.txt"}, "build", "build"},
      {"installed", {"usr/share/tessaly/english.txt"}, "usr/bin", "usr/share/tessaly"},
      {"copy beside wins", {"usr/bin/english.txt", "usr/share/tessaly/english.txt"}, "usr/bin", "usr/bin"},
      {"nothing anywhere", {}, "opt/x/bin", "opt/x/bin"},
  };
  for (const Case& c : cases) {
    const fs::path caseRoot = base / c.name;
    fs::create_directories(caseRoot / c.program);
    for (const std::string& f : c.files) Touch(caseRoot / f);
    EXPECT_EQ(fs::path(platform::ShippedFilesFolder((caseRoot / c.program).string())).lexically_normal(),
              (caseRoot / c.expected).lexically_normal())
        << c.name;
  }
}
