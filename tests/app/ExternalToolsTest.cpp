#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "Kel/KelError.h"
#include "Kel/KelIni.h"
#include "app/UnitExternalTools.h"
#include "app/UnitProperties.h"
#include "app/UnitSpelling.h"
#include "platform/Headless.h"
#include "platform/HeadlessServices.h"
#include "support/AppFixture.h"
#include "support/TempDir.h"

namespace {

std::string DesktopBrowserOfThisProcess() {
  const char* browser = std::getenv("BROWSER");
  const char* path = std::getenv("PATH");
  return DesktopBrowser(browser ? browser : "", path ? path : "");
}

class ExternalToolsTest : public ::testing::Test {
 protected:
  ExternalToolsTest() : paths(dir.Str()), headless(net, paths), files(paths.App, paths.Config) {
    headless.Services.Programs = &launcher;
    std::filesystem::create_directories(paths.App);
  }
  std::string Settings() { return ReadFileText(paths.App + "/Settings.ini"); }
  TempDir dir;
  platform::FixedPaths paths;
  platform::FixedNetwork net;
  platform::HeadlessServices headless;
  platform::HeadlessLauncher launcher;
  TSettingsFiles files;
};

TEST_F(ExternalToolsTest, FreshInstallShowsTheDesignValuesAndOKStoresEightKeys) {
  TFormExternalTools tools(files, headless.Services);
  EXPECT_EQ(tools.Edit[2], DesktopBrowserOfThisProcess());
  EXPECT_EQ(tools.Edit[1], "");
  tools.ShowModal = [](TFormExternalTools& t) {
    t.Edit[1] = "/usr/bin/editor";
    return true;
  };
  EXPECT_TRUE(tools.Setup());
  TIniFile settings(paths.App + "/Settings.ini");
  EXPECT_EQ(settings.ReadString("FormExternalTools", "Edit1.Text", "?"), "/usr/bin/editor");
  for (int i = 1; i <= 8; ++i)
    EXPECT_NE(settings.ReadString("FormExternalTools", "Edit" + std::to_string(i) + ".Text", "?"), "?");
  // "Defaults.ini" keeps the design values.
  TIniFile defaults(paths.App + "/Defaults.ini");
  EXPECT_EQ(defaults.ReadString("FormExternalTools", "Edit1.Text", "?"), "");
  EXPECT_EQ(defaults.ReadString("FormExternalTools", "Edit2.Text", "?"), DesktopBrowserOfThisProcess());
}

// "HTML Browser:" proposes the desktop's browser: the first program of $BROWSER that exists,
// else xdg-open or x-www-browser, found along $PATH; none when nothing is.
TEST_F(ExternalToolsTest, TheDefaultBrowserComesFromTheDesktop) {
  auto program = [this](const std::string& relative, bool executable) {
    const std::string file = dir.Write(relative, "#!/bin/sh\n");
    std::filesystem::permissions(file,
                                 executable ? std::filesystem::perms::owner_all : std::filesystem::perms::owner_read |
                                                                                      std::filesystem::perms::owner_write);
    return file;
  };
  const std::string firefox = program("bin1/firefox", true);
  const std::string xdg = program("bin2/xdg-open", true);
  const std::string www = program("bin1/x-www-browser", true);
  const std::string www3 = program("bin3/x-www-browser", true);
  program("bin1/chromium", false);  // not executable: no program
  const std::string bin1 = dir.File("bin1"), bin2 = dir.File("bin2"), bin3 = dir.File("bin3");
  struct Case {
    std::string Browser, Path, Expected;
  };
  const Case cases[] = {
      {"", bin1 + ":" + bin2, xdg},                             // the desktop's handler first
      {"", bin1 + ":" + bin3, www},                             // then the Debian alternatives
      {"", bin3, www3},                                     //
      {"firefox", bin1 + ":" + bin2, firefox},                  // $BROWSER wins
      {"firefox %s", bin1, firefox},                            // with its arguments
      {"chromium:nothing:firefox --new-window", bin1, firefox},  // the first that exists
      {firefox, "", firefox},                                   // a path is taken as it is
      {"chromium", "::" + bin3 + ":", www3},                // empty entries are skipped
      {"", "", ""},                                             // nothing found
      {"", dir.File("missing"), ""},
  };
  for (const Case& c : cases) EXPECT_EQ(DesktopBrowser(c.Browser, c.Path), c.Expected) << c.Browser << " | " << c.Path;
}

TEST_F(ExternalToolsTest, CancelRestoresTheStoredValuesAndARestartReadsThem) {
  {
    TFormExternalTools tools(files, headless.Services);
    tools.ShowModal = [](TFormExternalTools& t) {
      t.Edit[6] = "/opt/gimp";
      return true;
    };
    tools.Setup();
    tools.ShowModal = [](TFormExternalTools& t) {
      t.Edit[6] = "typed over";
      return false;
    };
    EXPECT_FALSE(tools.Setup());
    EXPECT_EQ(tools.Edit[6], "/opt/gimp");
  }
  TFormExternalTools again(files, headless.Services);
  EXPECT_EQ(again.Edit[6], "/opt/gimp");
}

TEST_F(ExternalToolsTest, ButtonFindsItsFieldByName) {
  EXPECT_EQ(TFormExternalTools::FieldOfButton("Button7"), 7);
  EXPECT_EQ(TFormExternalTools::FieldOfButton("Button1"), 1);
  EXPECT_EQ(TFormExternalTools::FieldOfButton("Button"), 0);
  EXPECT_EQ(TFormExternalTools::FieldOfButton("Button9"), 0);
  TFormExternalTools tools(files, headless.Services);
  headless.Ask.QueueFile("/usr/bin/vlc");
  EXPECT_TRUE(tools.ButtonClick("Button7"));
  EXPECT_EQ(tools.Edit[7], "/usr/bin/vlc");
  EXPECT_EQ(headless.Ask.Log.back().Detail, TFormExternalTools::kProgramFilter);
  headless.Ask.QueueFile(std::nullopt);
  EXPECT_FALSE(tools.ButtonClick("Button7"));
  EXPECT_EQ(tools.Edit[7], "/usr/bin/vlc");
}

TEST_F(ExternalToolsTest, LaunchPassesTheFileAsOneArgument) {
  TFormExternalTools tools(files, headless.Services);
  const std::string editor = dir.Write("bin/editor", "#!/bin/sh\n");
  tools.Edit[1] = editor;
  const std::string file = "/tmp/a \"quoted\" name.html";
  tools.Launch(1, file);
  ASSERT_EQ(launcher.Started.size(), 1u);
  EXPECT_EQ(launcher.Started[0].first, editor);
  EXPECT_EQ(launcher.Started[0].second, file);
  launcher.Succeed = false;
  try {
    tools.Launch(1, file);
    FAIL();
  } catch (const EError& e) {
    EXPECT_STREQ(e.what(), "Could not open external tool.");
  }
}

TEST_F(ExternalToolsTest, MissingToolAsksForSetup) {
  TFormExternalTools tools(files, headless.Services);
  auto expectAbort = [&] {
    try {
      tools.Launch(1, "/tmp/x.html");
      FAIL();
    } catch (const EError& e) {
      EXPECT_STREQ(e.what(), "Operation Aborted.");
    }
  };
  headless.Ask.QueueAnswer(platform::Answer::No);
  expectAbort();
  EXPECT_EQ(tools.FocusedField, 1);
  tools.ShowModal = [](TFormExternalTools&) { return false; };
  headless.Ask.QueueAnswer(platform::Answer::Yes);
  expectAbort();
  // After the setup, a path that does not exist is tried anyway.
  tools.ShowModal = [](TFormExternalTools& t) {
    t.Edit[1] = "/no/such/editor";
    return true;
  };
  headless.Ask.QueueAnswer(platform::Answer::Yes);
  tools.Launch(1, "/tmp/x.html");
  ASSERT_EQ(launcher.Started.size(), 1u);
  EXPECT_EQ(launcher.Started[0].first, "/no/such/editor");
}

class EditNodeTest : public AppFixture {};

// A spelling window that the user cancels at once.
class CancellingView : public TSpellingView {
 public:
  explicit CancellingView(TFormSpelling& form) : Form_(form) {}
  void SetCaption(const std::string&) override {}
  void StateChanged() override {}
  void ShowSource(const std::string&) override {}
  void SelectSource(int32_t, int32_t) override {}
  bool PreviewVisible() override { return false; }
  void ShowPreview(const std::string&) override {}
  platform::ModalResult RunModal(const std::function<void()>& onShown) override {
    ++Runs;
    onShown();
    Form_.ButtonCancelClick();
    return Result_;
  }
  void Close(platform::ModalResult result) override { Result_ = result; }
  int Runs = 0;

 private:
  TFormSpelling& Form_;
  platform::ModalResult Result_ = platform::ModalResult::Cancel;
};

TEST_F(EditNodeTest, EditLaunchesTheToolOfTheTypeOrTheDesktopsEdit) {
  platform::HeadlessLauncher launcher;
  services.Programs = &launcher;
  const std::string page = dir.Write("site/index.html", "<title>Home</title>welcome home");
  Crawl(page);
  TSpiderNode* home = app->Map.Nodes().at(0).get();
  ASSERT_TRUE(home->IsHTML());
  app->ExternalTools.Edit[1] = dir.Write("bin/htmleditor", "");
  app->EditNode(home, false);
  ASSERT_EQ(launcher.Started.size(), 1u);
  EXPECT_EQ(launcher.Started[0].second, home->LocalFileName());
  // A document of no tool's type goes to the desktop's "edit" action.
  home->ContentType = "text/plain";
  app->EditNode(home, false);
  ASSERT_EQ(launcher.Started.size(), 2u);
  EXPECT_EQ(launcher.Started[1].first, "edit");
}

TEST_F(EditNodeTest, SpellingCountsTheErrorsOfTheSavedFile) {
  const std::string page = dir.Write("site/index.html", "<title>Home</title>welcome hme");
  Crawl(page);
  TSpiderNode* home = app->Map.Nodes().at(0).get();
  const int32_t before = home->SpellingErrors;
  EXPECT_GT(before, 0);
  home->SpellingErrors = 0;
  // The user cancels the dialog: the file stays, and the count is taken from it again.
  CancellingView view(app->Spelling);
  app->Spelling.View = &view;
  app->Map.Modified = false;
  app->EditNode(home, true);
  app->Spelling.View = nullptr;
  EXPECT_EQ(view.Runs, 1);
  EXPECT_EQ(home->SpellingErrors, before);
  EXPECT_TRUE(app->Map.Modified);
}

TEST_F(EditNodeTest, PropertiesShowTheNodeAndItsReferers) {
  const std::string page = dir.Write("site/index.html", "<a href='a.html'>a</a>");
  dir.Write("site/a.html", "<title>A</title><meta name=description content='The A'>a");
  Crawl(page);
  TSpiderNode* home = Node("file://LocalHost" + page);
  ASSERT_TRUE(home);
  TSpiderNode* a = home->Links.at(0);
  TFormSpiderNodeProperties p;
  app->Map.Modified = false;
  p.Fill(*home);
  EXPECT_TRUE(app->Map.Modified);
  EXPECT_EQ(p.EditTitle, "Unknown");
  EXPECT_EQ(p.EditDesc, "Unknown");
  EXPECT_EQ(p.EditRemote, home->URLText());
  EXPECT_TRUE(p.Referers.empty());
  EXPECT_FALSE(TFormSpiderNodeProperties::MenuState(nullptr).Open);
  p.Fill(*a);
  EXPECT_EQ(p.EditTitle, "A");
  EXPECT_EQ(p.EditDesc, "The A");
  EXPECT_EQ(p.EditLocal, a->LocalFileName());
  EXPECT_TRUE(p.ButtonLocalEnabled);
  ASSERT_EQ(p.Referers.size(), 1u);
  EXPECT_EQ(p.Referers[0], home);
  const auto menu = TFormSpiderNodeProperties::MenuState(home);
  EXPECT_TRUE(menu.Open);
  EXPECT_TRUE(menu.Edit);
  EXPECT_TRUE(menu.Spelling);
}

}  // namespace
