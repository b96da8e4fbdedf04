// Every file the program reads, put in place as a FIFO without a writer, a folder or a link to
// /dev/zero: the program refuses it at once (never waiting for a writer, never reading without
// end), goes on without it, and never replaces it when it writes its files back.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "Kel/KelError.h"
#include "Kel/KelFiles.h"
#include "app/Application.h"
#include "app/SpiderExport.h"
#include "platform/Headless.h"
#include "platform/HeadlessServices.h"
#include "support/TempDir.h"

namespace {

using namespace std::chrono_literals;

enum class TSpecial { Fifo, Folder, DevZero };
const char* NameOf(TSpecial kind) {
  switch (kind) {
    case TSpecial::Fifo:
      return "FIFO";
    case TSpecial::Folder:
      return "folder";
    default:
      return "/dev/zero";
  }
}

void MakeSpecial(const std::string& path, TSpecial kind) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  switch (kind) {
    case TSpecial::Fifo:
      ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
      break;
    case TSpecial::Folder:
      std::filesystem::create_directory(path);
      break;
    case TSpecial::DevZero:
      std::filesystem::create_symlink("/dev/zero", path);
      break;
  }
}

// The file is still what it was: never replaced by a write.
bool StillSpecial(const std::string& path, TSpecial kind) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return false;
  switch (kind) {
    case TSpecial::Fifo:
      return S_ISFIFO(info.st_mode);
    case TSpecial::Folder:
      return S_ISDIR(info.st_mode);
    default:
      return S_ISLNK(info.st_mode);
  }
}

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EError& e) {
    return e.what();
  }
  return std::string();
}

// The program on the headless platform, its folders prepared before it starts.
struct Program {
  explicit Program(const TempDir& dir) : paths(dir.Str()), headless(net, paths) {
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(dir.File("app/english.txt"), ec)))
      dir.Write("app/english.txt", "a\nthe\npage\n");
    dir.Write("data/.keep", "");
  }
  void Start() {
    app = std::make_unique<TTessalyApp>(headless.Services);
    started = app->Start();
  }
  void WaitIdle() {
    ASSERT_TRUE(headless.Ui.ProcessUntil([&] { return app->Pool.IsIdle(); }, 60s));
  }
  platform::FixedPaths paths;
  platform::FixedNetwork net;
  platform::HeadlessServices headless;
  std::unique_ptr<TTessalyApp> app;
  bool started = false;
};

struct Case {
  const char* File;  // below the temporary folder
  // Runs the program against the file and checks what it made of it.
  std::function<void(Program&, const std::string& path)> Check;
};

const Case kCases[] = {
    {"app/Settings.ini",
     [](Program& p, const std::string&) {
       p.Start();
       EXPECT_TRUE(p.started);
       EXPECT_TRUE(p.app->CheckPageResources());  // the default: nothing was read
       p.app->SetCheckPageResources(false);       // the write is refused, not reported
       EXPECT_EQ(p.app->SettingsFiles.Settings().ReadString("x", "y", "none"), "none");
     }},
    {"app/Defaults.ini",
     [](Program& p, const std::string&) {
       p.Start();
       EXPECT_EQ(p.app->SettingsFiles.Defaults().ReadString("x", "y", "none"), "none");
       p.app->SettingsFiles.Defaults().WriteString("x", "y", "1");
     }},
    {"app/lang.txt",
     [](Program& p, const std::string&) {
       p.Start();
       EXPECT_TRUE(p.started);
       EXPECT_EQ(p.app->Translations.Count(), 0u);
     }},
    {"data/Quorlix/userdict.txt",
     [](Program& p, const std::string&) {
       p.Start();
       EXPECT_TRUE(p.started);
       EXPECT_EQ(p.app->Dictionaries.UserList.Count(), 0);
       EXPECT_FALSE(p.app->Dictionaries.SaveUserList());
     }},
    {"app/english.txt",
     [](Program& p, const std::string&) {
       p.headless.Ask.QueueAnswer(platform::Answer::No);  // the missing dictionary's question
       p.Start();
       EXPECT_FALSE(p.started);
     }},
    {"app/MRU.txt",
     [](Program& p, const std::string&) {
       p.Start();
       EXPECT_TRUE(p.app->Main.RecentAddresses.empty());
       p.app->Main.EditURL = "http://127.0.0.1:1/";
       p.app->Main.AddRecentAddress();  // written back at the close: refused
     }},
    {"out/template.htm",
     [](Program& p, const std::string& path) {
       p.Start();
       p.headless.Ask.QueueFile(path);
       // Refused as a template and as a target ("Not a regular file", "Is a directory").
       EXPECT_EQ(ErrorOf([&] { ExportAsHTMLList(p.headless.Services, p.app->Main.Tree.SiteRoot()); })
                     .rfind("Cannot create file \"" + path + "\". ", 0),
                 0u);
     }},
    {"out/project.tly",
     [](Program& p, const std::string& path) {
       p.Start();
       EXPECT_EQ(ErrorOf([&] { p.app->Main.OpenProjectFile(path); }),
                 "Cannot open file \"" + path + "\". Not a regular file");
     }},
    {"site/doc.html",
     [](Program& p, const std::string& path) {
       // A local crawl whose start page links the document.
       const std::string start = std::filesystem::path(path).parent_path() / "index.html";
       TrySaveTextToFile(start, "<title>Start</title><a href=doc.html>doc</a>");
       p.Start();
       p.app->Main.EditURL = start;
       p.app->Main.ButtonSpiderClick();
       p.WaitIdle();
       ASSERT_EQ(p.app->Map.Count(), 2);
       EXPECT_FALSE(p.app->Map.Node(0)->IsBroken());
       EXPECT_TRUE(p.app->Map.Node(1)->IsBroken());
       EXPECT_EQ(p.app->Map.Node(1)->LocalFileName(), path);
     }},
};

TEST(NonRegularFilesTest, EveryFileTheProgramReadsRefusesAFifoAFolderAndDevZero) {
  for (const Case& c : kCases) {
    for (TSpecial kind : {TSpecial::Fifo, TSpecial::Folder, TSpecial::DevZero}) {
      SCOPED_TRACE(std::string(c.File) + " as " + NameOf(kind));
      TempDir dir;
      const std::string path = dir.File(c.File);
      MakeSpecial(path, kind);
      {
        Program program(dir);
        c.Check(program, path);
        program.app.reset();  // the close writes the program's files back
        EXPECT_TRUE(program.headless.Ask.Unexpected.empty()) << program.headless.Ask.Unexpected.front();
      }
      EXPECT_TRUE(StillSpecial(path, kind));
    }
  }
}

}  // namespace
