// Downloading a document into a file: the temporary file and Commit, progress and stopping,
// answers that are no document, the cookie store, and local files, against a loopback server.
#include "Kel/KelHTTPDownload.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <vector>

#include "Kel/KelError.h"
#include "support/TempDir.h"
#include "support/TestServer.h"

namespace {

namespace fs = std::filesystem;

const char* const kPage = "<html><body>the document</body></html>";
constexpr size_t kBigSize = 300000;

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class HTTPDownloadTest : public ::testing::Test {
 protected:
  HTTPDownloadTest() {
    auto& http = Server.Http();
    http.Get("/page.html", [this](const httplib::Request& req, httplib::Response& res) {
      Record(req);
      res.set_header("Server", "TestServer/1.0");
      res.set_content(kPage, "text/html");
    });
    http.Get("/big.bin", [this](const httplib::Request& req, httplib::Response& res) {
      Record(req);
      res.set_content(std::string(kBigSize, 'b'), "application/octet-stream");
    });
    http.Get("/old.html", [this](const httplib::Request& req, httplib::Response& res) {
      Record(req);
      res.set_header("Set-Cookie", "hop=1; Path=/");
      res.set_redirect("/page.html", 301);
    });
    http.Get("/nowhere.html", [this](const httplib::Request& req, httplib::Response& res) {
      Record(req);
      res.status = 302;  // a redirect without a target
      res.set_content("gone", "text/plain");
    });
    http.Get("/missing.html", [this](const httplib::Request& req, httplib::Response& res) {
      Record(req);
      res.status = 404;
      res.set_content("not here", "text/html");
    });
    http.Get("/broken.html", [this](const httplib::Request& req, httplib::Response& res) {
      Record(req);
      res.status = 500;
      res.set_content("oops", "text/html");
    });
    Server.Start();
  }

  void Record(const httplib::Request& req) {
    std::lock_guard lock(Mutex_);
    Cookies.push_back(req.path + ": " + req.get_header_value("Cookie"));
  }
  size_t RequestCount() {
    std::lock_guard lock(Mutex_);
    return Cookies.size();
  }
  std::vector<std::string> CookiesSent() {
    std::lock_guard lock(Mutex_);
    return Cookies;
  }

  TempDir Dir;
  TestServer Server;

 private:
  std::mutex Mutex_;
  std::vector<std::string> Cookies;  // "<path>: <Cookie header>" of every request
};

TEST_F(HTTPDownloadTest, OnlyCommitReplacesTheTarget) {
  const std::string target = Dir.Write("copy/page.html", "old");
  THTTPDownload download(Server.URL("/page.html"), target);
  download.Run();
  EXPECT_EQ(ReadFileText(target), "old");
  EXPECT_EQ(download.Response.ResponseText, "HTTP/1.1 200 OK");
  EXPECT_EQ(download.Response.ContentType, "text/html");
  EXPECT_EQ(download.Response.ContentLength, static_cast<int32_t>(strlen(kPage)));
  EXPECT_EQ(download.Response.Server, "TestServer/1.0");
  download.Commit();
  EXPECT_EQ(ReadFileText(target), kPage);
  EXPECT_EQ(FilesIn(Dir.File("copy")), std::vector<std::string>{"page.html"});
}

TEST_F(HTTPDownloadTest, ADownloadNotCommittedLeavesNothingBehind) {
  const std::string target = Dir.Write("copy/page.html", "old");
  {
    THTTPDownload discarded(Server.URL("/page.html"), target);
    discarded.Run();
    discarded.Discard();
    EXPECT_EQ(FilesIn(Dir.File("copy")), std::vector<std::string>{"page.html"});
    THTTPDownload dropped(Server.URL("/page.html"), Dir.File("copy/new.html"));
    dropped.Run();
  }
  EXPECT_EQ(FilesIn(Dir.File("copy")), std::vector<std::string>{"page.html"});
  EXPECT_EQ(ReadFileText(target), "old");
}

TEST_F(HTTPDownloadTest, ProgressRunsFromTheTotalAnnouncedToTheLastByte) {
  THTTPDownload download(Server.URL("/big.bin"), Dir.File("big.bin"));
  std::vector<std::pair<int64_t, int64_t>> calls;
  download.OnProgress = [&](int64_t done, int64_t total) {
    calls.emplace_back(done, total);
    return true;
  };
  download.Run();
  download.Commit();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls.front(), std::make_pair(int64_t{0}, static_cast<int64_t>(kBigSize)));
  EXPECT_EQ(calls.back(), std::make_pair(static_cast<int64_t>(kBigSize), static_cast<int64_t>(kBigSize)));
  EXPECT_TRUE(std::is_sorted(calls.begin(), calls.end()));
  EXPECT_EQ(fs::file_size(Dir.File("big.bin")), kBigSize);
}

TEST_F(HTTPDownloadTest, DecliningProgressOrCancellingStopsTheDownload) {
  {
    THTTPDownload declined(Server.URL("/big.bin"), Dir.File("big.bin"));
    declined.OnProgress = [](int64_t, int64_t) { return false; };
    EXPECT_THROW(declined.Run(), EAbort);
    EXPECT_TRUE(declined.Cancelled());
  }
  EXPECT_TRUE(FilesIn(Dir.Str()).empty());

  const size_t before = RequestCount();
  THTTPDownload cancelled(Server.URL("/page.html"), Dir.File("page.html"));
  cancelled.Cancel();
  EXPECT_THROW(cancelled.Run(), EAbort);
  EXPECT_EQ(RequestCount(), before);  // refused before any request
}

struct RefusedCase {
  std::string Path;
  std::string Message;
};
void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.Path; }

class HTTPDownloadRefusedTest : public HTTPDownloadTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(HTTPDownloadRefusedTest, AnAnswerThatIsNoDocumentRaisesItsStatusLine) {
  const std::string target = Dir.File("doc.html");
  THTTPDownload download(Server.URL(GetParam().Path), target);
  try {
    download.Run();
    FAIL() << "no error";
  } catch (const EError& e) {
    EXPECT_EQ(std::string(e.what()), GetParam().Message);
  }
  download.Discard();
  EXPECT_TRUE(FilesIn(Dir.Str()).empty());
}

INSTANTIATE_TEST_SUITE_P(Answers, HTTPDownloadRefusedTest,
                         ::testing::Values(RefusedCase{"/missing.html", "HTTP/1.1 404 Not Found"},
                                           RefusedCase{"/broken.html", "HTTP/1.1 500 Internal Server Error"},
                                           RefusedCase{"/nowhere.html", "HTTP/1.1 302 Found"}),
                         [](const auto& info) { return info.param.Path.substr(1, info.param.Path.find('.') - 1); });

TEST_F(HTTPDownloadTest, CookiesGoBackWhileTheirStoreLives) {
  THTTPCookieStore store;
  THTTPDownload first(Server.URL("/old.html"), Dir.File("a.html"));
  first.Cookies = &store;
  first.Run();
  EXPECT_EQ(first.Response.ResponseText, "HTTP/1.1 200 OK");  // the redirect's target answered
  EXPECT_EQ(first.Response.Location, "");
  THTTPDownload second(Server.URL("/page.html"), Dir.File("b.html"));
  second.Cookies = &store;
  second.Run();
  THTTPDownload storeless(Server.URL("/page.html"), Dir.File("c.html"));
  storeless.Run();
  EXPECT_EQ(CookiesSent(),
            (std::vector<std::string>{"/old.html: ", "/page.html: hop=1", "/page.html: hop=1", "/page.html: "}));
}

TEST_F(HTTPDownloadTest, ALocalFileIsCopiedWithTheAnswerOfItsHeadRequest) {
  const std::string source = Dir.Write("site/page.html", std::string(200000, 'x'));
  THTTPDownload download("file://LocalHost" + source, Dir.File("copy.html"));
  std::vector<std::pair<int64_t, int64_t>> calls;
  download.OnProgress = [&](int64_t done, int64_t total) {
    calls.emplace_back(done, total);
    return true;
  };
  download.Run();
  download.Commit();
  EXPECT_EQ(ReadFileText(Dir.File("copy.html")), ReadFileText(source));
  EXPECT_EQ(download.Response.ResponseText, "HTTP/1.1 200 OK");
  EXPECT_EQ(download.Response.ContentType, "text/html");
  EXPECT_EQ(download.Response.ContentLength, 200000);
  EXPECT_GT(download.Response.Date, 0);
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls.front(), std::make_pair(int64_t{0}, int64_t{200000}));
  EXPECT_EQ(calls.back(), std::make_pair(int64_t{200000}, int64_t{200000}));
  EXPECT_EQ(RequestCount(), 0u);
}

TEST_F(HTTPDownloadTest, ALocalAddressThatIsNoFileIsNotFound) {
  Dir.Write("site/folder/inside.html", "x");
  ASSERT_EQ(mkfifo(Dir.File("site/pipe.html").c_str(), 0600), 0);  // must not hold the download
  for (const std::string relative : {"site/missing.html", "site/folder", "site/pipe.html"}) {
    SCOPED_TRACE(relative);
    THTTPDownload download("file://LocalHost" + Dir.File(relative), Dir.File("copy.html"));
    try {
      download.Run();
      FAIL() << "no error";
    } catch (const EError& e) {
      EXPECT_STREQ(e.what(), "HTTP/1.1 404 Not Found");
    }
    EXPECT_EQ(download.Response.ResponseText, "HTTP/1.1 404 Not Found");
    EXPECT_EQ(download.Response.ContentLength, -1);
  }
  EXPECT_EQ(FilesIn(Dir.File("")), (std::vector<std::string>{"site"}));
}

}  // namespace
