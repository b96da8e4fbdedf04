// The recent addresses ("MRU.txt") are kept where "Settings.ini" is: beside a program kept
// together with its files, in the user's configuration folder for an installed program or a
// program folder where no file can be made.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/AppFixture.h"
#include "support/TempDir.h"

namespace {

class RecentAddressesTest : public AppFixture {};

TEST_F(RecentAddressesTest, TheRecentAddressesFollowTheSettingsFile) {
  struct Case {
    const char* Name;
    bool BesideProgram;
    bool AppFolderUsable;  // false: the program's folder is a file, so nothing can be made in it
    bool InConfig;
  };
  const Case cases[] = {
      {"a copy kept with its files", true, true, false},
      {"an installed program", false, true, true},
      {"a folder where no file can be made", true, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    app.reset();
    std::error_code ec;
    std::filesystem::remove_all(paths.Config, ec);
    std::filesystem::remove(paths.App + "/MRU.txt", ec);
    std::filesystem::remove(paths.App + "/Settings.ini", ec);
    const std::string appFolder = paths.App;
    if (!c.AppFolderUsable) paths.App = dir.Write("program-file", "not a folder");
    paths.BesideProgram = c.BesideProgram;

    app = std::make_unique<TTessalyApp>(services);
    app->Main.EditURL = "http://example.test/a/";
    app->Main.AddRecentAddress();
    app->Main.SaveRecentAddresses();
    app->SetCheckPageResources(false);  // writes Settings.ini
    const std::string folder = c.InConfig ? paths.Config + "/Quorlix" : paths.App;
    EXPECT_EQ(ReadFileText(folder + "/MRU.txt"), "http://example.test/a/\r\n");
    EXPECT_TRUE(std::filesystem::exists(folder + "/Settings.ini"));
    if (c.InConfig) {
      EXPECT_FALSE(std::filesystem::exists(appFolder + "/MRU.txt"));
    }

    // Read back from there by the next run.
    app.reset();
    app = std::make_unique<TTessalyApp>(services);
    app->Main.LoadRecentAddresses();
    EXPECT_EQ(app->Main.RecentAddresses, std::vector<std::string>{"http://example.test/a/"});
    app.reset();
    paths.App = appFolder;
    paths.BesideProgram = true;
  }
}

}  // namespace
