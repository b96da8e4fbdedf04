// tessaly-crawl as a user runs it: the built program against a loopback server.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "Kel/KelStr.h"
#include "support/TempDir.h"
#include "support/TestServer.h"

namespace {

struct Result {
  int Code = -1;
  std::string Out, Err;
};

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

class TessalyCrawlTest : public ::testing::Test {
 protected:
  Result Run(const std::vector<std::string>& args, const std::string& program = TESSALY_CRAWL) {
    std::string command = Quote(program);
    for (const auto& a : args) command += " " + Quote(a);
    const std::string out = dir.File("stdout.txt"), err = dir.File("stderr.txt");
    command += " >" + Quote(out) + " 2>" + Quote(err) + " </dev/null";
    const int status = std::system(command.c_str());
    Result r;
    r.Code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.Out = ReadFileText(out);
    r.Err = ReadFileText(err);
    return r;
  }
  void Serve(const std::string& path, const std::string& body, const std::string& type = "text/html") {
    server.Http().Get(path,
                      [body, type](const httplib::Request&, httplib::Response& res) { res.set_content(body, type); });
  }
  TempDir dir;
  TestServer server;
};

TEST_F(TessalyCrawlTest, HelpAndVersion) {
  Result r = Run({"--help"});
  EXPECT_EQ(r.Code, 0);
  EXPECT_TRUE(StartsText("Usage: tessaly-crawl [options] START", r.Out));
  r = Run({"--version"});
  EXPECT_EQ(r.Code, 0);
  EXPECT_TRUE(StartsText("tessaly-crawl ", r.Out));
}

struct UsageCase {
  std::vector<std::string> args;
  const char* message;
};

void PrintTo(const UsageCase& c, std::ostream* os) { *os << c.message; }

class UsageTest : public TessalyCrawlTest, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(UsageTest, ExitsWithTwoAndOneLine) {
  const Result r = Run(GetParam().args);
  EXPECT_EQ(r.Code, 2);
  EXPECT_TRUE(r.Out.empty());
  EXPECT_EQ(r.Err.substr(0, r.Err.find('\n')), std::string("tessaly-crawl: ") + GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(Arguments, UsageTest,
                         ::testing::Values(UsageCase{{}, "give a start address or --open PROJECT"},
                                           UsageCase{{"--bogus", "x"}, "unknown option --bogus"},
                                           UsageCase{{"--threads", "0", "x"},
                                                     "--threads needs a number from 1 to 64, not '0'"},
                                           UsageCase{{"--list", "Nope", "x"}, "unknown category 'Nope' for --list"},
                                           UsageCase{{"a", "b"}, "more than one start address: 'a' and 'b'"},
                                           UsageCase{{"x", "--open", "p.tly"}, "give either a start address or --open"},
                                           UsageCase{{"x", "--save"}, "--save needs a value"}));

TEST_F(TessalyCrawlTest, ReportsBrokenAddressesAndExitsWithOne) {
  Serve("/", "<title>Home</title><a href='gone.html'>gone</a> <a href='ok.html'>ok</a>");
  Serve("/ok.html", "<title>Fine</title>");
  server.Start();
  const Result r = Run({"--no-external", "--threads", "2", server.URL("/")});
  EXPECT_EQ(r.Code, 1) << r.Err;
  EXPECT_NE(r.Out.find("  Broken Links            1\n"), std::string::npos) << r.Out;
  EXPECT_NE(r.Out.find("  HTML                    2\n"), std::string::npos) << r.Out;
  EXPECT_NE(r.Out.find("   404  " + server.URL("/gone.html") + "\n        HTTP/1.1 404 Not Found\n        from " +
                       server.URL("/") + "\n"),
            std::string::npos)
      << r.Out;
}

TEST_F(TessalyCrawlTest, BrokenPageResourcesAreReportedUnlessClassicLinks) {
  Serve("/", "<link rel=icon href='favicon.ico'><img src='ok.gif' srcset='big.gif 2x'><a href='ok.html'>ok</a>");
  Serve("/ok.html", "<title>Fine</title>");
  Serve("/ok.gif", "GIF89a", "image/gif");
  server.Start();
  Result r = Run({"--no-external", server.URL("/")});
  EXPECT_EQ(r.Code, 1) << r.Err;
  EXPECT_NE(r.Out.find("  Broken Links            2\n"), std::string::npos) << r.Out;
  EXPECT_NE(r.Out.find("   404  " + server.URL("/favicon.ico") + "\n"), std::string::npos) << r.Out;
  EXPECT_NE(r.Out.find("   404  " + server.URL("/big.gif") + "\n"), std::string::npos) << r.Out;
  r = Run({"--quiet", "--no-external", "--classic-links", server.URL("/")});
  EXPECT_EQ(r.Code, 0) << r.Err;
}

TEST_F(TessalyCrawlTest, CleanSiteExitsWithZeroAndQuietPrintsNothing) {
  Serve("/", "<title>Home</title><a href='ok.html'>ok</a>");
  Serve("/ok.html", "<title>Fine</title>");
  server.Start();
  const Result r = Run({"--quiet", "--no-external", server.URL("/")});
  EXPECT_EQ(r.Code, 0) << r.Err;
  EXPECT_TRUE(r.Out.empty());
  EXPECT_TRUE(r.Err.empty()) << r.Err;
}

TEST_F(TessalyCrawlTest, SaveOpenAndSaveAgainGiveTheSameFile) {
  Serve("/", "<title>Home</title><a href='a.html'>a</a> <a href='mailto:x@y.z'>m</a>");
  Serve("/a.html", "<title>A</title>");
  server.Start();
  const std::string first = dir.File("first.tly"), second = dir.File("second.tly");
  ASSERT_EQ(Run({"--quiet", "--no-external", "--save", first, server.URL("/")}).Code, 0);
  const Result r = Run({"--quiet", "--open", first, "--save", second});
  EXPECT_EQ(r.Code, 0) << r.Err;
  auto withoutNow = [](std::string text) {
    const size_t now = text.find("\r\nNow=");
    return text.erase(now, text.find("\r\n", now + 2) - now);
  };
  EXPECT_EQ(withoutNow(ReadFileText(second)), withoutNow(ReadFileText(first)));
  EXPECT_NE(ReadFileText(first).find("Title=A\r\n"), std::string::npos);
}

TEST_F(TessalyCrawlTest, ProjectsThatCannotBeReadExitWithTwo) {
  EXPECT_EQ(Run({"--open", dir.File("missing.tly")}).Code, 2);
  dir.Write("bad.tly",
            "[Settings]\r\nURI=http://h/\r\nLinks=1\r\n[0]\r\nRemoteFile=http%3A%2F%2Fh%2F\r\nRemoteDate=x\r\n");
  const Result r = Run({"--open", dir.File("bad.tly")});
  EXPECT_EQ(r.Code, 2);
  EXPECT_NE(r.Err.find("'x' is not a valid date and time"), std::string::npos) << r.Err;
  EXPECT_EQ(Run({"--open", dir.Write("page.html", "x")}).Code, 2);
}

TEST_F(TessalyCrawlTest, MissingDictionaryExitsWithTwo) {
  const std::string copy = dir.File("bin/tessaly-crawl");
  std::filesystem::create_directories(dir.File("bin"));
  std::filesystem::copy_file(TESSALY_CRAWL, copy);
  const Result r = Run({"http://127.0.0.1:1/"}, copy);
  EXPECT_EQ(r.Code, 2);
  EXPECT_NE(r.Err.find("tessaly-crawl: the dictionary " + dir.File("bin/english.txt") + " is missing"),
            std::string::npos)
      << r.Err;
}

TEST_F(TessalyCrawlTest, NodeLimitExitsWithThree) {
  std::string page = "<title>Many</title>";
  for (int i = 0; i < 4100; ++i) page += "<a href='p" + std::to_string(i) + ".html'>x</a>";
  Serve("/", page);
  server.Http().Get(R"(/p\d+\.html)",
                    [](const httplib::Request&, httplib::Response& res) { res.set_content("x", "text/plain"); });
  server.Start();
  const Result r = Run({"--quiet", "--no-external", server.URL("/")});
  EXPECT_EQ(r.Code, 3) << r.Err;
  EXPECT_NE(r.Err.find("The maxium spider node count has been reached."), std::string::npos);
  EXPECT_NE(r.Err.find("a limit suspended the crawl"), std::string::npos);
}

TEST_F(TessalyCrawlTest, ListAndSiteExports) {
  Serve("/", "<title>Home</title><a href='gone.html'>gone</a> <a href='docs/a.html'>a</a>");
  Serve("/docs/a.html", "<title>A &amp; B</title>");
  server.Start();
  const std::string csv = dir.File("broken.csv"), table = dir.File("all.htm"), txt = dir.File("site.txt"),
                    xml = dir.File("site.xml"), html = dir.File("pages.htm"), tree = dir.File("tree.htm"),
                    framed = dir.File("framed.htm");
  const Result r = Run({"--quiet", "--no-external", "--list", "Broken Links", "--csv", csv, "--html-table", table,
                        "--export-txt", txt, "--export-xml", xml, "--export-html", html, "--export-dhtml", tree,
                        "--export-dhtml-framed", framed, server.URL("/")});
  EXPECT_EQ(r.Code, 1) << r.Err;
  const std::string csvText = ReadFileText(csv);
  EXPECT_TRUE(StartsText("gone.html,0KB,,Missing,Missing,404,0," + server.URL("/gone.html") + "\r\n", csvText))
      << csvText;
  EXPECT_NE(ReadFileText(table).find(">gone.html</A>"), std::string::npos);
  EXPECT_EQ(ReadFileText(txt), server.URL("/") + "," + server.URL("/") + "\r\n  index.html," +
                                   server.URL("/index.html") + "\r\n  gone.html," + server.URL("/gone.html") +
                                   "\r\n  docs," + server.URL("/docs/") + "\r\n    a.html," +
                                   server.URL("/docs/a.html") + "\r\n");
  EXPECT_NE(ReadFileText(xml).find("<TITLE>A%20&amp;amp;%20B</TITLE>"), std::string::npos);
  EXPECT_NE(ReadFileText(html).find("<QUORLIXTESSALY>"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(dir.File("treeview_fold.gif")));
  EXPECT_TRUE(std::filesystem::exists(dir.File("treeview_framed.htm")));
  EXPECT_TRUE(StartsText("<FRAMESET cols=256,*>", ReadFileText(framed)));
}

TEST_F(TessalyCrawlTest, CtrlCStopsTheCrawlReportsAndExitsWith130) {
  TestCounter arrived;
  TestGate gate;
  Serve("/", "<title>Home</title><a href='slow.html'>slow</a> <a href='gone.html'>gone</a>");
  server.Http().Get("/slow.html", [&](const httplib::Request&, httplib::Response& res) {
    arrived.Add();
    gate.Wait();
    res.set_content("<title>Slow</title>", "text/html");
  });
  server.Start();
  const std::string out = dir.File("stdout.txt"), err = dir.File("stderr.txt");
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&files, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::string program = TESSALY_CRAWL, external = "--no-external", threads = "--threads", one = "1",
              start = server.URL("/");
  char* argv[] = {program.data(), external.data(), threads.data(), one.data(), start.data(), nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, program.c_str(), &files, nullptr, argv, environ), 0);
  posix_spawn_file_actions_destroy(&files);
  // The crawl runs (and listens for Ctrl-C) once its request for slow.html has arrived.
  const bool running = arrived.WaitFor(1);
  kill(pid, SIGINT);
  gate.Open();
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(running);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  EXPECT_TRUE(StartsText("Site: " + server.URL("/") + "\n", ReadFileText(out))) << ReadFileText(out);
  EXPECT_NE(ReadFileText(err).find("tessaly-crawl: interrupted; the map holds what was found so far\n"),
            std::string::npos)
      << ReadFileText(err);
}

TEST_F(TessalyCrawlTest, EmptyMapHasNothingToExport) {
  dir.Write("p.tly", "[Settings]\r\nURI=http://h/\r\nLinks=0\r\n");
  const Result r = Run({"--quiet", "--open", dir.File("p.tly"), "--export-txt", dir.File("x.txt")});
  EXPECT_EQ(r.Code, 2);
  EXPECT_NE(r.Err.find("nothing to export"), std::string::npos) << r.Err;
}

}  // namespace
