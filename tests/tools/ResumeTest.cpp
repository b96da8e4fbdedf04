// A long crawl survives a crash: tessaly-crawl --save writes the project while it crawls, a
// crawl killed with SIGKILL goes on with --resume, and the result is the map of a crawl that ran
// through.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <thread>
#include <string>
#include <vector>

#include "Kel/KelIni.h"
#include "Kel/KelStr.h"
#include "support/TempDir.h"
#include "support/TestServer.h"

namespace {

using namespace std::chrono_literals;

// A site of 281 addresses: 200 pages in 10 folders, each linking to the next page, to four more
// pages, to one of 50 images, to one of 20 missing pages and to one of 10 redirects.
constexpr int kPages = 200;

std::string PagePath(int j) { return "/d" + std::to_string(j % 10) + "/p" + std::to_string(j) + ".html"; }

void ServeSite(TestServer& server, TestGate& gate, TestCounter& gated) {
  auto& http = server.Http();
  http.Get("/", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("<title>Home</title><a href='" + PagePath(0) + "'>first</a>", "text/html");
  });
  // The second half of the pages waits for the gate: the first crawl stops in the middle.
  http.Get(R"(/d\d/p(\d+)\.html)", [&gate, &gated](const httplib::Request& req, httplib::Response& res) {
    const int j = std::stoi(req.matches[1]);
    if (j >= kPages / 2 && !gate.IsOpen()) {
      gated.Add();
      gate.Wait();
    }
    std::string body = "<title>Page " + std::to_string(j) + "</title><a href='" + PagePath((j + 1) % kPages) + "'>n</a>";
    for (int k = 1; k <= 4; ++k) body += "<a href='" + PagePath((j * 7 + k * 13) % kPages) + "'>x</a>";
    body += "<img src='/img/i" + std::to_string(j % 50) + ".gif'><a href='/missing" + std::to_string(j % 20) +
            ".html'>m</a><a href='/r" + std::to_string(j % 10) + ".html'>r</a>";
    res.set_content(body, "text/html");
  });
  http.Get(R"(/img/i\d+\.gif)",
           [](const httplib::Request&, httplib::Response& res) { res.set_content("GIF89a", "image/gif"); });
  http.Get(R"(/r(\d+)\.html)", [](const httplib::Request& req, httplib::Response& res) {
    res.status = 302;
    res.set_header("Location", PagePath(std::stoi(req.matches[1]) * 3));
  });
  // Everything else (the missing pages) answers 404.
}

// The map of a project file: every address with its answer and its links, by address.
struct TNodeView {
  std::string Code;
  std::vector<std::string> Links;
  bool operator==(const TNodeView&) const = default;
};

std::map<std::string, TNodeView> MapOf(const std::string& file) {
  const TIniText ini(ReadFileText(file));
  const int count = StrToIntDef(ini.ReadString("Settings", "Links"), -1);
  std::vector<std::string> address;
  for (int i = 0; i < count; ++i) address.push_back(ini.ReadString(std::to_string(i), "RemoteFile"));
  std::map<std::string, TNodeView> map;
  for (int i = 0; i < count; ++i) {
    const std::string section = std::to_string(i);
    TNodeView& view = map[address[static_cast<size_t>(i)]];
    view.Code = ini.ReadString(section, "ResponseCode");
    const std::string links = ini.ReadString(section, "Links");
    if (!links.empty())
      for (const std::string& index : SplitString(links, ',')) view.Links.push_back(address.at(std::stoul(index)));
  }
  return map;
}

pid_t Spawn(TempDir& dir, std::vector<std::string> args) {
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  const std::string out = dir.File("stdout.txt"), err = dir.File("stderr.txt");
  posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&files, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  args.insert(args.begin(), TESSALY_CRAWL);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, TESSALY_CRAWL, &files, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&files);
  return spawned == 0 ? pid : -1;
}

int Wait(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

// Waits (bounded) until `test` holds, looking again every few milliseconds.
template <typename Test>
bool Eventually(Test test, std::chrono::milliseconds limit = 30s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!test()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

TEST(ResumeTest, ACrawlKilledInTheMiddleGoesOnToTheSameMap) {
  TempDir dir;
  TestGate gate;
  TestCounter gated;
  TestServer server;
  ServeSite(server, gate, gated);
  server.Start();
  const std::string project = dir.File("site.tly"), through = dir.File("through.tly");

  // The crawl saves every second; it is killed once a request waits at the gate and a save made
  // after that is on disk.
  const pid_t pid = Spawn(dir, {"--quiet", "--no-external", "--save", project, "--save-every", "1", server.URL("/")});
  ASSERT_GT(pid, 0);
  const bool blocked = gated.WaitFor(1);
  std::filesystem::remove(project);
  const bool saved = Eventually([&] { return std::filesystem::exists(project); });
  kill(pid, SIGKILL);
  EXPECT_EQ(Wait(pid), 1000 + SIGKILL);
  ASSERT_TRUE(blocked) << gated.Value() << ReadFileText(dir.File("stderr.txt"));
  ASSERT_TRUE(saved);
  const auto before = MapOf(project);
  EXPECT_GT(before.size(), 10u);
  gate.Open();

  // Resumed from that file, saved back into it.
  const std::string resume = "--resume";
  const pid_t resumed = Spawn(dir, {"--quiet", "--no-external", resume, project});
  ASSERT_GT(resumed, 0);
  EXPECT_EQ(Wait(resumed), 1) << ReadFileText(dir.File("stderr.txt"));  // the missing pages are broken
  const auto after = MapOf(project);

  const pid_t full = Spawn(dir, {"--quiet", "--no-external", "--save", through, server.URL("/")});
  ASSERT_GT(full, 0);
  EXPECT_EQ(Wait(full), 1) << ReadFileText(dir.File("stderr.txt"));
  const auto expected = MapOf(through);
  EXPECT_EQ(expected.size(), 281u);
  EXPECT_EQ(after.size(), expected.size());
  for (const auto& [address, view] : expected) {
    const auto found = after.find(address);
    ASSERT_NE(found, after.end()) << address;
    EXPECT_EQ(found->second.Code, view.Code) << address;
    EXPECT_EQ(found->second.Links, view.Links) << address;
  }
  // Resuming a finished crawl makes no request and changes nothing.
  const pid_t again = Spawn(dir, {"--no-external", "--resume", project});
  ASSERT_GT(again, 0);
  EXPECT_EQ(Wait(again), 1);
  EXPECT_NE(ReadFileText(dir.File("stderr.txt")).find("is complete"), std::string::npos);
  EXPECT_EQ(MapOf(project), after);
}

}  // namespace
