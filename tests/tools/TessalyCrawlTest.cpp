// tessaly-crawl as a user runs it: the built program against a loopback server.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "Kel/KelStr.h"
#include "support/HostileServer.h"
#include "support/ProgramRun.h"
#include "support/SiteVersions.h"
#include "support/TempDir.h"
#include "support/TestServer.h"

namespace {

using Result = TProgramResult;

class TessalyCrawlTest : public ::testing::Test {
 protected:
  Result Run(const std::vector<std::string>& args, const std::string& program = TESSALY_CRAWL,
             const std::string& environment = std::string()) {
    return RunProgram(dir, program, args, environment);
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

INSTANTIATE_TEST_SUITE_P(
    Arguments, UsageTest,
    ::testing::Values(UsageCase{{}, "give a start address or --open PROJECT"},
                      UsageCase{{"--bogus", "x"}, "unknown option --bogus"},
                      UsageCase{{"--threads", "0", "x"}, "--threads needs a number from 1 to 64, not '0'"},
                      UsageCase{{"--list", "Nope", "x"}, "unknown category 'Nope' for --list"},
                      UsageCase{{"a", "b"}, "more than one start address: 'a' and 'b'"},
                      UsageCase{{"x", "--open", "p.tly"}, "give either a start address or --open"},
                      UsageCase{{"x", "--save"}, "--save needs a value"},
                      UsageCase{{"x", "--resume", "p.tly"}, "give either a start address, --open or --resume"},
                      UsageCase{{"--max-addresses", "-1", "x"},
                                "--max-addresses needs a number from 0 up (0: no limit), not '-1'"},
                      UsageCase{{"--max-queue", "lots", "x"},
                                "--max-queue needs a number from 0 up (0: no limit), not 'lots'"},
                      UsageCase{{"--save-every", "0", "x"}, "--save-every needs a positive number of seconds, not '0'"},
                      UsageCase{{"--timeout", "0", "x"}, "--timeout needs a positive number of seconds, not '0'"},
                      UsageCase{{"--timeout", "soon", "x"}, "--timeout needs a positive number of seconds, not 'soon'"},
                      UsageCase{{"--max-page-size", "32M", "x"},
                                "--max-page-size needs a positive number of bytes, not '32M'"},
                      UsageCase{{"--json", "-", "--junit", "-", "x"}, "only one report can go to standard output"},
                      UsageCase{{"--rate", "-1", "x"},
                                "--rate needs a number of requests per second, 0 or more (\"0.5\"), not '-1'"},
                      UsageCase{{"--max-depth", "two", "x"}, "--max-depth needs a number of clicks, 0 or more, not 'two'"},
                      UsageCase{{"--exclude", "(a", "x"},
                                "--exclude: the pattern '(a' is not a valid regular expression (missing ): (a)"},
                      UsageCase{{"--include", "a**", "x"},
                                "--include: the pattern 'a**' is not a valid regular expression (bad repetition "
                                "operator: **)"},
                      UsageCase{{"--header", "NoColon", "x"}, "--header: 'NoColon' is not \"Name: value\" (no \":\")"},
                      UsageCase{{"--header", "X-A: b\nX-B: c", "x"}, "--header: 'X-A: b...' holds a line break"},
                      UsageCase{{"--user-agent", "a\rb", "x"}, "--user-agent: the text holds a line break"}));

TEST_F(TessalyCrawlTest, RobotsExcludeAndHeadersFromTheCommandLine) {
  std::vector<std::string> seen;
  std::mutex mutex;
  server.Http().set_pre_routing_handler([&](const httplib::Request& req, httplib::Response&) {
    std::lock_guard lock(mutex);
    seen.push_back(req.method + " " + req.path + " " + req.get_header_value("X-Token") + " " +
                   req.get_header_value("User-Agent"));
    return httplib::Server::HandlerResponse::Unhandled;
  });
  Serve("/", "<a href='private/a.html'>a</a><a href='skip/b.html'>b</a><a href='c.html'>c</a>");
  Serve("/robots.txt", "User-agent: *\nDisallow: /private/\n", "text/plain");
  Serve("/c.html", "<title>C</title>");
  server.Start();
  const std::string project = dir.File("site.tly");
  const Result r = Run({"--quiet", "--no-external", "--robots", "--exclude", "/skip/", "--header", "X-Token: t",
                        "--user-agent", "Probe/2", "--save", project, server.URL("/")});
  EXPECT_EQ(r.Code, 0) << r.Err;
  std::lock_guard lock(mutex);
  for (const std::string& line : seen) {
    EXPECT_EQ(line.find("/private/"), std::string::npos) << line;
    EXPECT_EQ(line.find("/skip/"), std::string::npos) << line;
    EXPECT_NE(line.find(" t Probe/2"), std::string::npos) << line;
  }
  EXPECT_NE(std::find_if(seen.begin(), seen.end(), [](const std::string& l) { return l.rfind("GET /robots.txt", 0) == 0; }),
            seen.end());
  // Both are in the map with their status text, and not broken (exit 0 above).
  const std::string saved = ReadFileText(project);
  EXPECT_NE(saved.find("ResponseText=Blocked by robots.txt"), std::string::npos) << saved;
  EXPECT_NE(saved.find("ResponseText=Excluded"), std::string::npos) << saved;
}

TEST_F(TessalyCrawlTest, CredentialsFromTheEnvironmentAndNetrc) {
  std::atomic<int> authorized{0};
  server.Http().Get("/", [&](const httplib::Request& req, httplib::Response& res) {
    // ann:pw in Basic
    if (req.get_header_value("Authorization") != "Basic YW5uOnB3") {
      res.status = 401;
      res.set_header("WWW-Authenticate", "Basic realm=\"x\"");
      return;
    }
    ++authorized;
    res.set_content("<title>In</title>", "text/html");
  });
  server.Start();
  setenv("TESSALY_PASSWORD", "pw", 1);
  EXPECT_EQ(Run({"--quiet", "--no-external", "--user", "ann", server.URL("/")}).Code, 0);
  unsetenv("TESSALY_PASSWORD");
  const Result missing = Run({"--quiet", "--no-external", "--user", "ann", server.URL("/")});
  EXPECT_EQ(missing.Code, 2);
  EXPECT_NE(missing.Err.find("TESSALY_PASSWORD"), std::string::npos) << missing.Err;
  EXPECT_EQ(Run({"--quiet", "--no-external", "--user", "ann:pw", server.URL("/")}).Code, 0);
  dir.Write(".netrc", "machine 127.0.0.1 login ann password pw\n");
  const std::string home = getenv("HOME") ? getenv("HOME") : "";
  setenv("HOME", dir.Path().string().c_str(), 1);
  const int netrc = Run({"--quiet", "--no-external", "--netrc", server.URL("/")}).Code;
  setenv("HOME", home.c_str(), 1);
  EXPECT_EQ(netrc, 0);
  EXPECT_EQ(authorized.load(), 3 * 2) << "a header check and the page, each run";
  EXPECT_EQ(Run({"--quiet", "--no-external", server.URL("/")}).Code, 1) << "without a login: 401, broken";
}

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

TEST_F(TessalyCrawlTest, BrokenAnchorsAreReportedAndFailOnlyWhenAsked) {
  Serve("/", "<title>Home</title><h1 id='top-title'>x</h1><a href='ok.html#install'>a</a>"
             "<a href='ok.html#setup'>b</a><a href='#top-title'>c</a><a href='#nowhere'>d</a>");
  Serve("/ok.html", "<title>Fine</title><h2 id='setup'>Setup</h2><a href='ok.html#setup'>self</a>");
  server.Start();
  Result r = Run({"--no-external", server.URL("/")});
  EXPECT_EQ(r.Code, 0) << r.Err;  // broken anchors alone do not fail the crawl
  EXPECT_NE(r.Out.find("  Broken Anchors          2\n"), std::string::npos) << r.Out;
  EXPECT_NE(r.Out.find("\nBroken anchors: 2\n"), std::string::npos) << r.Out;
  EXPECT_NE(r.Out.find("\n  " + server.URL("/ok.html") + "#install\n        from " + server.URL("/") + "\n"),
            std::string::npos)
      << r.Out;
  EXPECT_NE(r.Out.find("\n  " + server.URL("/") + "#nowhere\n        from " + server.URL("/") + "\n"),
            std::string::npos)
      << r.Out;
  r = Run({"--quiet", "--no-external", "--fail-on-anchors", server.URL("/")});
  EXPECT_EQ(r.Code, 1) << r.Err;
  r = Run({"--no-external", "--no-anchors", "--fail-on-anchors", server.URL("/")});
  EXPECT_EQ(r.Code, 0) << r.Err;
  EXPECT_NE(r.Out.find("  Broken Anchors          0\n"), std::string::npos) << r.Out;
  EXPECT_EQ(r.Out.find("Broken anchors:"), std::string::npos) << r.Out;
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

TEST_F(TessalyCrawlTest, StartFileInAFolderWithAddressCharactersIsThatFile) {
  for (const std::string folder : {"q?mark", "e=q", "p%41c", "h#1"}) {
    dir.Write(folder + "/index.html", "<title>Odd</title><a href='b.html'>b</a>");
    dir.Write(folder + "/b.html", "<title>B</title>");
    const std::string project = dir.File("odd.tly");
    const Result r = Run({"--quiet", "--save", project, dir.File(folder + "/index.html")});
    EXPECT_EQ(r.Code, 0) << folder << ": " << r.Err;
    // The saved project reopens as it was saved.
    const Result again = Run({"--quiet", "--open", project});
    EXPECT_EQ(again.Code, 0) << folder << ": " << again.Err;
  }
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

// A user dictionary or a main dictionary that is a FIFO without a writer, a folder or a link to
// /dev/zero is refused at once: the crawl runs without it and never waits.
TEST_F(TessalyCrawlTest, DictionariesThatAreNotRegularFilesAreRefusedWithoutWaiting) {
  Serve("/", "<title>Home</title><p>the page</p>");
  server.Start();
  std::filesystem::create_directories(dir.File("bin"));
  std::filesystem::copy_file(TESSALY_CRAWL, dir.File("bin/tessaly-crawl"));
  const std::string kinds[] = {"fifo", "folder", "zero"};
  for (const std::string& kind : kinds) {
    SCOPED_TRACE(kind);
    auto make = [&](const std::string& path) {
      std::filesystem::create_directories(std::filesystem::path(path).parent_path());
      std::filesystem::remove_all(path);
      if (kind == "fifo") ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
      else if (kind == "folder") std::filesystem::create_directory(path);
      else std::filesystem::create_symlink("/dev/zero", path);
    };
    const std::string data = dir.File("data-" + kind);
    make(data + "/Quorlix/userdict.txt");
    const Result user = Run({"--quiet", "--no-external", server.URL("/")}, TESSALY_CRAWL,
                            "XDG_DATA_HOME=" + ShellQuote(data) + " ");
    EXPECT_EQ(user.Code, 0) << user.Err;
    make(dir.File("bin/english.txt"));
    const Result main = Run({"--quiet", server.URL("/")}, dir.File("bin/tessaly-crawl"));
    EXPECT_EQ(main.Code, 2) << main.Err;
    EXPECT_NE(main.Err.find("english.txt"), std::string::npos) << main.Err;
  }
}

TEST_F(TessalyCrawlTest, NodeLimitExitsWithThree) {
  std::string page = "<title>Many</title>";
  for (int i = 0; i < 4100; ++i) page += "<a href='p" + std::to_string(i) + ".html'>x</a>";
  Serve("/", page);
  server.Http().Get(R"(/p\d+\.html)",
                    [](const httplib::Request&, httplib::Response& res) { res.set_content("x", "text/plain"); });
  server.Start();
  const Result r = Run({"--no-external", server.URL("/")});
  EXPECT_EQ(r.Code, 3) << r.Err;
  EXPECT_NE(r.Err.find("The maxium spider node count has been reached."), std::string::npos);
  EXPECT_NE(r.Err.find("a limit suspended the crawl"), std::string::npos);
  // The report says so at its top, with the requests left.
  EXPECT_TRUE(r.Out.starts_with("Incomplete crawl: a limit suspended it with ")) << r.Out.substr(0, 200);
  EXPECT_NE(r.Out.find(" requests left unmade.\nSite: " + server.URL("/") + "\n"), std::string::npos)
      << r.Out.substr(0, 200);
}

// A site of 81 addresses: "/" links to 40 pages and their 40 images; each page links home, to
// the next page and to its image.
void ServeLimitSite(TestServer& server) {
  server.Http().Get("/", [](const httplib::Request&, httplib::Response& res) {
    std::string body = "<title>Home</title>";
    for (int i = 0; i < 40; ++i)
      body += "<a href='p" + std::to_string(i) + ".html'>p</a><img src='i" + std::to_string(i) + ".gif'>";
    res.set_content(body, "text/html");
  });
  server.Http().Get(R"(/p(\d+)\.html)", [](const httplib::Request& req, httplib::Response& res) {
    const int i = std::stoi(req.matches[1]);
    res.set_content("<title>P</title><a href='/'>home</a><a href='p" + std::to_string((i + 1) % 40) +
                        ".html'>next</a><img src='i" + std::to_string(i) + ".gif'>",
                    "text/html");
  });
  server.Http().Get(R"(/i\d+\.gif)",
                    [](const httplib::Request&, httplib::Response& res) { res.set_content("GIF89a", "image/gif"); });
}

// The limits from the command line: status 3 and a message that names the setting and the
// option while a limit holds; 0 lifts a limit.
TEST_F(TessalyCrawlTest, LimitsFromTheCommandLine) {
  ServeLimitSite(server);
  server.Start();
  struct Case {
    std::vector<std::string> Args;
    int Code;
    const char* Message;  // in standard error, or none
    const char* Html;     // the report's line of HTML pages
  };
  const Case cases[] = {
      {{"--max-addresses", "60"}, 3, "\"Largest site (addresses)\" on the Limits page", nullptr},
      {{"--max-addresses", "60"}, 3, "--max-addresses N", nullptr},
      {{"--max-queue", "30"}, 3, "\"Largest queue (requests)\" on the Limits page", nullptr},
      {{"--max-queue", "30"}, 3, "--max-queue N", nullptr},
      {{"--max-addresses", "0", "--max-queue", "0"}, 0, nullptr, "All                    81"},
      {{"--max-addresses", "81"}, 0, nullptr, "All                    81"},
      {{}, 0, nullptr, "All                    81"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--no-external"};
    args.insert(args.end(), c.Args.begin(), c.Args.end());
    args.push_back(server.URL("/"));
    const Result r = Run(args);
    SCOPED_TRACE(::testing::PrintToString(c.Args));
    EXPECT_EQ(r.Code, c.Code) << r.Err;
    if (c.Message) {
      EXPECT_NE(r.Err.find(c.Message), std::string::npos) << r.Err;
      EXPECT_NE(r.Err.find("a limit suspended the crawl"), std::string::npos) << r.Err;
    } else {
      EXPECT_EQ(r.Err.find("limit"), std::string::npos) << r.Err;
    }
    if (c.Html) {
      EXPECT_NE(r.Out.find(c.Html), std::string::npos) << r.Out;
    }
  }
}

// Addresses of a project file, and how many of them were never checked.
std::pair<int, int> AddressesAndUnchecked(const std::string& project) {
  const std::string text = ReadFileText(project);
  const size_t links = text.find("\r\nLinks=");
  const int count = links == std::string::npos ? -1 : std::atoi(text.c_str() + links + 8);
  int unchecked = 0;
  for (size_t at = text.find("\r\nResponseCode=0\r\n"); at != std::string::npos;
       at = text.find("\r\nResponseCode=0\r\n", at + 1))
    ++unchecked;
  return {count, unchecked};
}

// A crawl that a limit suspended is saved with --save; --resume goes on from that file past the
// limit (it already holds more addresses than the limit allows) and saves back into it, and a
// finished crawl resumed makes no request.
TEST_F(TessalyCrawlTest, ACrawlStoppedByALimitIsSavedAndResumedToTheEnd) {
  ServeLimitSite(server);
  server.Start();
  const std::vector<std::vector<std::string>> resumes = {{}, {"--max-addresses", "60"}};
  for (const auto& extra : resumes) {
    SCOPED_TRACE(::testing::PrintToString(extra));
    const std::string project = dir.File("limited.tly");
    Result r = Run({"--quiet", "--no-external", "--max-addresses", "60", "--save", project, server.URL("/")});
    EXPECT_EQ(r.Code, 3) << r.Err;
    const auto [before, unchecked] = AddressesAndUnchecked(project);
    EXPECT_GT(before, 60);
    EXPECT_GT(unchecked, 0);

    std::vector<std::string> args = {"--quiet", "--no-external", "--resume", project};
    args.insert(args.end(), extra.begin(), extra.end());
    r = Run(args);
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(AddressesAndUnchecked(project), std::make_pair(81, 0));

    r = Run({"--no-external", "--resume", project});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_NE(r.Err.find("the crawl of " + project + " is complete"), std::string::npos) << r.Err;
    EXPECT_NE(r.Out.find("All                    81"), std::string::npos) << r.Out;
  }
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

// The reports for other programs, as a CI job writes them: the JSON report follows its schema,
// the JUnit XML and the sitemap agree with it (checked by a script with python3-jsonschema).
TEST_F(TessalyCrawlTest, ReportsForOtherProgramsFollowTheirFormats) {
  Serve("/", "<title>Home \"&amp;\" caf\xC3\xA9</title><a href='gone.html'>gone</a> <a href='docs/a.html#nope'>a</a>"
             "<a href='mailto:me@example.com'>mail</a><img src='i.gif'>");
  Serve("/docs/a.html", "<title>A</title><a href='../'>home</a>");
  Serve("/i.gif", "GIF89a", "image/gif");
  server.Start();
  const std::string json = dir.File("report.json"), junit = dir.File("junit.xml"), sitemap = dir.File("sitemap.xml");
  const Result r = Run({"--no-external", "--json", json, "--junit", junit, "--sitemap", sitemap, server.URL("/")});
  EXPECT_EQ(r.Code, 1) << r.Err;
  EXPECT_NE(r.Out.find("Broken addresses:"), std::string::npos) << r.Out;
  const std::string check = ShellQuote(TESSALY_SOURCE_DIR "/tests/tools/reports/check-reports.py") + " " +
                            ShellQuote(TESSALY_SOURCE_DIR "/docs/report.schema.json") + " " + ShellQuote(json) + " " +
                            ShellQuote(junit) + " " + ShellQuote(sitemap);
  EXPECT_EQ(std::system(("python3 " + check + " >" + ShellQuote(dir.File("check.txt")) + " 2>&1").c_str()), 0)
      << ReadFileText(dir.File("check.txt"));
  EXPECT_NE(ReadFileText(junit).find("name=\"" + server.URL("/docs/a.html") + "#nope\""), std::string::npos);
}

// What changed between two crawls: the text report's section, the JSON report's (against its
// schema), and the exit status with and without --fail-on-new-broken.
TEST_F(TessalyCrawlTest, CompareWithAnEarlierProject) {
  SiteVersions site(server);
  server.Start();
  const std::string v1 = dir.File("v1.tly"), v2 = dir.File("v2.tly");
  Result r = Run({"--no-external", "--save", v1, server.URL("/")});
  ASSERT_EQ(r.Code, 1) << r.Err;  // still-broken.html and fixed.html are broken in the first version

  site.Version = 2;
  const std::string json = dir.File("report.json"), junit = dir.File("junit.xml"), sitemap = dir.File("sitemap.xml");
  r = Run({"--no-external", "--compare", v1, "--save", v2, "--json", json, "--junit", junit, "--sitemap", sitemap,
           server.URL("/")});
  EXPECT_EQ(r.Code, 1) << r.Err;
  const std::string u = server.URL("");
  const std::string expected = "Compared with " + v1 + " (7 addresses, site " + u + "/)\n"
                               "New addresses: 2\n  " + u + "/new.html\n  " + u + "/new-broken.html\n"
                               "Gone addresses: 1\n  " + u + "/old.html\n"
                               "Newly broken: 2\n"
                               "  404 " + u + "/breaks.html\n    HTTP/1.1 404 Not Found\n"
                               "  404 " + u + "/new-broken.html\n    HTTP/1.1 404 Not Found\n"
                               "Fixed: 1\n  " + u + "/fixed.html\n    was 404 HTTP/1.1 404 Not Found, now 200 HTTP/1.1 200 OK\n"
                               "Changed titles: 1\n  " + u + "/retitled.html\n    was \"Old title\", now \"New title\"\n";
  const size_t at = r.Out.find("Compared with ");
  ASSERT_NE(at, std::string::npos) << r.Out;
  EXPECT_EQ(r.Out.substr(at), expected);
  const std::string check = ShellQuote(TESSALY_SOURCE_DIR "/tests/tools/reports/check-reports.py") + " " +
                            ShellQuote(TESSALY_SOURCE_DIR "/docs/report.schema.json") + " " + ShellQuote(json) + " " +
                            ShellQuote(junit) + " " + ShellQuote(sitemap);
  EXPECT_EQ(std::system(("python3 " + check + " >" + ShellQuote(dir.File("check.txt")) + " 2>&1").c_str()), 0)
      << ReadFileText(dir.File("check.txt"));
  const std::string report = ReadFileText(json);
  EXPECT_NE(report.find("\"gone\":[\"" + u + "/old.html\"]"), std::string::npos) << report;
  EXPECT_NE(report.find("{\"address\":\"" + u + "/retitled.html\",\"oldTitle\":\"Old title\",\"title\":\"New title\"}"),
            std::string::npos);

  // Something broke since v1: status 1 with --fail-on-new-broken as without it.
  r = Run({"--no-external", "-q", "--compare", v1, "--fail-on-new-broken", server.URL("/")});
  EXPECT_EQ(r.Code, 1) << r.Err;
  // Nothing broke since v2: the old breakage is tolerated with the option, not without it.
  r = Run({"--no-external", "-q", "--compare", v2, "--fail-on-new-broken", server.URL("/")});
  EXPECT_EQ(r.Code, 0) << r.Err;
  r = Run({"--no-external", "-q", "--compare", v2, server.URL("/")});
  EXPECT_EQ(r.Code, 1) << r.Err;
  // --compare and --save may name the same file: it is compared before it is replaced.
  r = Run({"--no-external", "--compare", v1, "--save", v1, server.URL("/")});
  EXPECT_NE(r.Out.find("Gone addresses: 1\n"), std::string::npos) << r.Out;
  r = Run({"--no-external", "--open", v1, "--compare", v2});
  EXPECT_NE(r.Out.find("New addresses: 0\nGone addresses: 0\nNewly broken: 0\nFixed: 0\nChanged titles: 0\n"),
            std::string::npos)
      << r.Out;
}

// A project to compare with that is missing, not a project, cut short or not a file fails with
// a clear message and status 2 before anything is crawled.
TEST_F(TessalyCrawlTest, AProjectToCompareWithThatCannotBeReadExitsWithTwo) {
  std::atomic<int> requests{0};
  server.Http().Get("/", [&](const httplib::Request&, httplib::Response& res) {
    ++requests;
    res.set_content("<title>Home</title>", "text/html");
  });
  server.Start();
  dir.Write("text.tly", "just some text\n");
  dir.Write("short.tly", "[Settings]\r\nURI=http://x/\r\nLinks=3\r\n[0]\r\nRemoteFile=http://x/\r\n");
  std::filesystem::create_directory(dir.File("folder.tly"));
  struct Case {
    std::string File, Message;
  };
  const Case cases[] = {
      {dir.File("missing.tly"), "tessaly-crawl: --compare: Cannot open file \"" + dir.File("missing.tly") + "\"."},
      {dir.File("text.tly"), "tessaly-crawl: --compare: \"" + dir.File("text.tly") + "\" is not a Tessaly project file"},
      {dir.File("folder.tly"), "tessaly-crawl: --compare: "},
  };
  for (const Case& c : cases) {
    const Result r = Run({"--no-external", "--compare", c.File, server.URL("/")});
    EXPECT_EQ(r.Code, 2) << c.File;
    EXPECT_TRUE(StartsText(c.Message, r.Err)) << r.Err;
    EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << r.Err;
  }
  EXPECT_EQ(requests, 0);
  // A project that announces more sections than it holds is found out when it is compared.
  const Result r = Run({"--no-external", "--compare", dir.File("short.tly"), server.URL("/")});
  EXPECT_EQ(r.Code, 2);
  EXPECT_NE(r.Err.find("it has no section [1]"), std::string::npos) << r.Err;
  EXPECT_EQ(Run({"--fail-on-new-broken", server.URL("/")}).Code, 2);
}

// "-" sends a report to standard output, which then holds it alone: no text report.
TEST_F(TessalyCrawlTest, AReportToStandardOutputIsAllItHolds) {
  Serve("/", "<title>Home</title><a href='gone.html'>gone</a>");
  server.Start();
  for (const char* option : {"--json", "--junit", "--sitemap"}) {
    const Result r = Run({"--no-external", option, "-", server.URL("/")});
    EXPECT_EQ(r.Code, 1) << option << r.Err;
    EXPECT_EQ(r.Out.find("Broken addresses:"), std::string::npos) << option;
    EXPECT_TRUE(StartsText(std::string(option) == "--json" ? "{\n\"report\":\"tessaly\"" : "<?xml ", r.Out))
        << option << r.Out;
    EXPECT_FALSE(std::filesystem::exists("-"));
  }
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

// Ctrl-C with --save writes what was found so far; --resume goes on with the rest.
TEST_F(TessalyCrawlTest, CtrlCSavesTheProjectAndResumeFinishesIt) {
  TestCounter arrived;
  TestGate gate;
  Serve("/", "<title>Home</title><a href='slow.html'>slow</a> <a href='a.html'>a</a> <a href='b.html'>b</a>");
  Serve("/a.html", "<title>A</title><a href='c.html'>c</a>");
  Serve("/b.html", "<title>B</title>");
  Serve("/c.html", "<title>C</title>");
  server.Http().Get("/slow.html", [&](const httplib::Request&, httplib::Response& res) {
    if (!gate.IsOpen()) {
      arrived.Add();
      gate.Wait();
    }
    res.set_content("<title>Slow</title><a href='d.html'>d</a>", "text/html");
  });
  Serve("/d.html", "<title>D</title>");
  server.Start();
  std::string project = dir.File("stopped.tly");
  const std::string out = dir.File("stdout.txt"), err = dir.File("stderr.txt");
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&files, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::string program = TESSALY_CRAWL, quiet = "--quiet", external = "--no-external", threads = "--threads", one = "1",
              save = "--save", start = server.URL("/");
  char* argv[] = {program.data(), quiet.data(),   external.data(), threads.data(), one.data(),
                  save.data(),    project.data(), start.data(),    nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, program.c_str(), &files, nullptr, argv, environ), 0);
  posix_spawn_file_actions_destroy(&files);
  const bool running = arrived.WaitFor(1);
  kill(pid, SIGINT);
  gate.Open();
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(running);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  // One request at a time: slow.html was the first one asked; a.html and b.html were never checked.
  const auto [addresses, unchecked] = AddressesAndUnchecked(project);
  EXPECT_EQ(addresses, 4);
  EXPECT_GE(unchecked, 2);

  const Result r = Run({"--quiet", "--no-external", "--resume", project});
  EXPECT_EQ(r.Code, 0) << r.Err;
  EXPECT_EQ(AddressesAndUnchecked(project), std::make_pair(6, 0));
  EXPECT_NE(ReadFileText(project).find("Title=Slow\r\n"), std::string::npos);
}

// Starts tessaly-crawl with `args`, its output into stdout.txt and stderr.txt of `dir`.
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

// The exit status of `pid`; -1 when it did not end within a generous bound (it is then killed).
int ExitStatusOf(pid_t pid) {
  auto ended = std::async(std::launch::async, [pid] {
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -2;
  });
  if (ended.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
    kill(pid, SIGKILL);
    ended.wait();
    return -1;
  }
  return ended.get();
}

// A server that never answers would hold each request for the whole time limit (60 s): Ctrl-C
// ends the running requests at once instead, and the report follows.
TEST_F(TessalyCrawlTest, CtrlCEndsRequestsToASilentServerAtOnce) {
  for (const int signals : {1, 2}) {
    SCOPED_TRACE(signals);
    SilentTestServer silent;
    const pid_t pid = Spawn(dir, {"--no-external", silent.URL("/")});
    ASSERT_GT(pid, 0);
    const bool running = silent.Requests.WaitFor(1);
    for (int i = 0; i < signals; ++i) kill(pid, SIGINT);
    const int code = ExitStatusOf(pid);
    ASSERT_TRUE(running);
    EXPECT_EQ(code, 130);
    if (signals == 1) {
      // The report shows the start address, not answered.
      EXPECT_TRUE(StartsText("Site: " + silent.URL("/") + "\n", ReadFileText(dir.File("stdout.txt"))))
          << ReadFileText(dir.File("stdout.txt"));
      EXPECT_NE(ReadFileText(dir.File("stderr.txt")).find("tessaly-crawl: interrupted;"), std::string::npos);
    }
  }
}

TEST_F(TessalyCrawlTest, TimeLimitAndPageLimitFromTheCommandLine) {
  SilentTestServer silent;
  Result r = Run({"--no-external", "--timeout", "0.2", silent.URL("/")});
  EXPECT_EQ(r.Code, 1) << r.Err;
  EXPECT_NE(r.Out.find("    -1  " + silent.URL("/") + "\n        Timed out after 0.2 s\n"), std::string::npos) << r.Out;

  Serve("/", "<title>Long</title><a href='a.html'>a</a>" + std::string(5000, ' ') + "<a href='b.html'>b</a>");
  Serve("/a.html", "<title>A</title>");
  Serve("/b.html", "<title>B</title>");
  server.Start();
  r = Run({"--no-external", "--max-page-size", "1000", server.URL("/")});
  EXPECT_EQ(r.Code, 0) << r.Err;
  EXPECT_NE(r.Out.find("  HTML                    2\n"), std::string::npos) << r.Out;  // b.html was cut off
}

TEST_F(TessalyCrawlTest, EmptyMapHasNothingToExport) {
  dir.Write("p.tly", "[Settings]\r\nURI=http://h/\r\nLinks=0\r\n");
  const Result r = Run({"--quiet", "--open", dir.File("p.tly"), "--export-txt", dir.File("x.txt")});
  EXPECT_EQ(r.Code, 2);
  EXPECT_NE(r.Err.find("nothing to export"), std::string::npos) << r.Err;
}

// --- Hostile input --------------------------------------------------------------------------

TEST_F(TessalyCrawlTest, EscapeSequencesFromTheSiteAreShownEscaped) {
  dir.Write("site/index.html",
            "<title>T\x1b]0;pwned\x07</title><a href=\"gone%1B%5B2J%1B]0;x%07.html\">x</a><a href=ok.html>ok</a>");
  dir.Write("site/ok.html", "<title>ok</title>");
  const Result r = Run({dir.File("site/index.html")});
  EXPECT_EQ(r.Code, 1);
  // The address keeps its escapes; nothing the site wrote reaches the terminal raw.
  EXPECT_NE(r.Out.find("gone%1B%5B2J%1B]0;x%07.html"), std::string::npos) << r.Out;
  for (const std::string* text : {&r.Out, &r.Err}) {
    EXPECT_EQ(text->find('\x1b'), std::string::npos) << *text;
    EXPECT_EQ(text->find('\x07'), std::string::npos) << *text;
  }
  // A message that quotes a name given to the program shows its controls escaped too.
  const Result named = Run({"--open", dir.File("x\x1b]0;pwned\x07.txt")});
  EXPECT_EQ(named.Code, 2);
  EXPECT_NE(named.Err.find("x\\x1b]0;pwned\\x07.txt"), std::string::npos) << named.Err;
  EXPECT_EQ(named.Err.find('\x1b'), std::string::npos) << named.Err;
}

TEST_F(TessalyCrawlTest, EscapeSequencesInAStatusLineAndALocationAreShownEscaped) {
  // Every address answers a broken status whose text clears the screen and retitles the
  // terminal; the start page also redirects to an address carrying an escape.
  HostileTestServer hostile([](HostileConnection& c) {
    const bool start = c.Request().find(" / ") != std::string::npos;
    const std::string head = start ? "HTTP/1.1 302 Moved\x1b[2J\r\nLocation: /next\x1b]0;pwned\x07.html\r\n"
                                   : "HTTP/1.1 500 Bad\x1b[2J\x1b]0;pwned\x07\r\n";
    c.Send(head + "Content-Length: 0\r\nConnection: close\r\n\r\n");
  });
  const Result r = Run({"--no-external", hostile.URL("/")});
  EXPECT_EQ(r.Code, 1) << r.Err;
  EXPECT_NE(r.Out.find("\\x1b[2J"), std::string::npos) << r.Out;
  for (const std::string* text : {&r.Out, &r.Err}) {
    EXPECT_EQ(text->find('\x1b'), std::string::npos) << *text;
    EXPECT_EQ(text->find('\x07'), std::string::npos) << *text;
  }
}

// A project of `nodes` pages below http://host/, none of them broken.
std::string LargeProject(int nodes) {
  std::string text = "[Settings]\r\nURI=http://host/\r\nLinks=" + std::to_string(nodes) + "\r\n";
  for (int i = 0; i < nodes; ++i)
    text += "[" + std::to_string(i) + "]\r\nRemoteFile=http%3A%2F%2Fhost%2Fp" + std::to_string(i) +
            ".html\r\nRemoteDate=12/30/1899\r\nLastModified=12/30/1899\r\nContentType=text/html\r\n"
            "ResponseCode=200\r\nContentLength=10\r\nSpellingErrors=0\r\n";
  return text;
}

TEST_F(TessalyCrawlTest, LoadingALargeProjectIsNoCrawlAndNeverHitsTheLimit) {
  const Result r = Run({"--open", dir.Write("large.tly", LargeProject(4100))});
  EXPECT_EQ(r.Code, 0) << r.Err;
  EXPECT_EQ(r.Err.find("limit"), std::string::npos) << r.Err;
  EXPECT_EQ(r.Err.find("maxium"), std::string::npos) << r.Err;
  EXPECT_NE(r.Out.find("HTML                 4100"), std::string::npos) << r.Out;
}

TEST_F(TessalyCrawlTest, FilesThatAreNotFilesAreRefusedAtOnce) {
  ASSERT_EQ(::mkfifo(dir.File("pipe.tly").c_str(), 0600), 0);
  std::filesystem::create_symlink("/dev/zero", dir.File("zero.tly"));
  std::filesystem::create_directory(dir.File("folder.tly"));
  for (const char* name : {"pipe.tly", "zero.tly", "folder.tly"}) {
    const Result r = Run({"--open", dir.File(name)});
    EXPECT_EQ(r.Code, 2) << name;
    EXPECT_NE(r.Err.find("Not a regular file"), std::string::npos) << r.Err;
  }
  // An export into an existing FIFO neither blocks nor replaces it.
  const std::string project = dir.Write("small.tly", LargeProject(3));
  ASSERT_EQ(::mkfifo(dir.File("pipe.htm").c_str(), 0600), 0);
  for (const char* option : {"--export-dhtml", "--export-txt", "--csv"}) {
    const Result r = Run({"--open", project, option, dir.File("pipe.htm")});
    EXPECT_EQ(r.Code, 2) << option;
    EXPECT_NE(r.Err.find("Not a regular file"), std::string::npos) << r.Err;
  }
}

}  // namespace
