// The download thread and its dialog: documents downloaded into the cache folder on a worker
// thread, against a real loopback server.
#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>

#include "Kel/KelError.h"
#include "app/UnitDownload.h"
#include "platform/HeadlessTransfer.h"
#include "support/TempDir.h"
#include "support/TestServer.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t kSlowSize = 100000;
const char* const kPage = "<html><body>Teh page</body></html>";

struct StatusCase {
  std::string URL;
  std::string Expected;
};
void PrintTo(const StatusCase& c, std::ostream* os) { *os << c.URL; }

class DownloadStatusTextTest : public ::testing::TestWithParam<StatusCase> {};

TEST_P(DownloadStatusTextTest, LastPathSegmentAndHost) {
  EXPECT_EQ(DownloadStatusText(GetParam().URL), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, DownloadStatusTextTest,
    ::testing::Values(StatusCase{"http://www.example.com/docs/page.html", "page.html from (www.example.com)"},
                      StatusCase{"http://www.example.com/docs/page.html?x=1#top", "page.html from (www.example.com)"},
                      StatusCase{"http://www.example.com:8080/docs/", "Downloading from (www.example.com)"},
                      StatusCase{"http://www.example.com", "Downloading from (www.example.com)"},
                      StatusCase{"http://host/a/b:c.html", "c.html from (host)"},
                      // "=" without "?" belongs to the path: its last segment is the document's name.
                      StatusCase{"http://host/a/b=c/d.html", "d.html from (host)"},
                      StatusCase{"file://LocalHost/home/me/a.html", "a.html from (LocalHost)"}));

TEST(CacheFileName, OnePlacePerAddressKeepingTheDocumentName) {
  const std::string a = CacheFileNameFor("/cache", "http://host/docs/page.html");
  const std::string b = CacheFileNameFor("/cache", "http://host/other/page.html");
  EXPECT_EQ(a, CacheFileNameFor("/cache", "http://host/docs/page.html"));
  EXPECT_NE(a, b);
  EXPECT_EQ(a.substr(0, 7), "/cache/");
  EXPECT_EQ(fs::path(a).filename(), "page.html");
  EXPECT_EQ(fs::path(a).parent_path().parent_path(), "/cache");
  EXPECT_EQ(fs::path(CacheFileNameFor("/cache", "http://host/docs/")).filename(), "index.html");
  EXPECT_EQ(fs::path(CacheFileNameFor("/cache", "http://host/..")).filename(), "index.html");
}

class DownloadThreadTest : public ::testing::Test {
 protected:
  DownloadThreadTest() : Paths(Dir.Str()), Window(Ui) {
    Network.Connected = true;
    Services.Ui = &Ui;
    Services.Net = &Network;
    Services.Dirs = &Paths;
    Services.Transfer = &Window;
    auto& http = Server.Http();
    http.Get("/docs/page.html", [this](const httplib::Request&, httplib::Response& res) {
      Requests.Add();
      res.set_content(kPage, "text/html");
    });
    http.Get("/docs/", [this](const httplib::Request&, httplib::Response& res) {
      Requests.Add();
      res.set_content("<html>folder</html>", "text/html");
    });
    http.Get("/slow.html", [this](const httplib::Request&, httplib::Response& res) {
      Requests.Add();
      res.set_content_provider(kSlowSize, "text/html", [this](size_t offset, size_t, httplib::DataSink& sink) {
        if (offset == 0) return sink.write("<html>", 6);
        SlowGate.Wait();
        const std::string rest(kSlowSize - offset, 'x');
        return sink.write(rest.data(), rest.size());
      });
    });
    Server.Start();
  }
  ~DownloadThreadTest() override { SlowGate.Open(); }

  std::string Cache() const { return Paths.Cache + "/Quorlix/Tessaly"; }
  // Every file below the cache folder.
  std::vector<std::string> CachedFiles() const {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(Paths.Cache, ec))
      if (e.is_regular_file()) files.push_back(e.path().string());
    return files;
  }
  std::string MessageOf(const std::string& name) {
    try {
      GetLocalFile(Form, name);
    } catch (const EError& e) {
      return e.what();
    }
    return "<no error>";
  }

  TempDir Dir;
  platform::HeadlessUiThread Ui;
  platform::FixedNetwork Network;
  platform::FixedPaths Paths;
  platform::HeadlessTransferWindow Window;
  platform::Services Services;
  TFormDownload Form{Services, nullptr, &Window};
  TestCounter Requests;
  TestGate SlowGate;
  TestServer Server;
};

TEST_F(DownloadThreadTest, AnExistingFileIsReturnedAtOnce) {
  const std::string file = Dir.Write("local.html", "here");
  EXPECT_EQ(GetLocalFile(Form, file), file);
  EXPECT_EQ(Window.ShowCount, 0);
  EXPECT_EQ(Requests.Value(), 0);
}

TEST_F(DownloadThreadTest, DownloadsIntoTheCache) {
  const std::string url = Server.URL("/docs/page.html");
  const std::string copy = GetLocalFile(Form, url);
  EXPECT_EQ(copy, CacheFileNameFor(Cache(), url));
  EXPECT_EQ(ReadFileText(copy), kPage);
  EXPECT_EQ(CachedFiles(), std::vector<std::string>{copy});
  EXPECT_EQ(Form.ModalResult, platform::ModalResult::OK);

  EXPECT_EQ(Window.Caption, "Downloading URL");
  EXPECT_EQ(Window.Status, "page.html from (127.0.0.1)");
  ASSERT_FALSE(Window.ProgressTexts.empty());
  EXPECT_EQ(Window.ProgressTexts.front(), "Initializing Download.");
  const std::string size = std::to_string(strlen(kPage));
  EXPECT_EQ(Window.ProgressTexts.back(), size + " of " + size + " bytes completed.");
  EXPECT_EQ(Window.Max, static_cast<int>(strlen(kPage)));
  EXPECT_EQ(Window.Position, static_cast<int>(strlen(kPage)));
  EXPECT_EQ(Window.ButtonCaption, "Cancel");
  EXPECT_TRUE(Window.AnimationStarted);
  EXPECT_FALSE(Window.Animating);

  // The same address again replaces its copy.
  EXPECT_EQ(GetLocalFile(Form, url), copy);
  EXPECT_EQ(Requests.Value(), 2);
  EXPECT_EQ(CachedFiles().size(), 1u);
}

TEST_F(DownloadThreadTest, AFolderAddressShowsDownloadingFromTheHost) {
  const std::string copy = GetLocalFile(Form, Server.URL("/docs/"));
  EXPECT_EQ(Window.Statuses.front(), "Downloading from (127.0.0.1)");
  EXPECT_EQ(fs::path(copy).filename(), "index.html");
  EXPECT_EQ(ReadFileText(copy), "<html>folder</html>");
}

TEST_F(DownloadThreadTest, CancelEndsWithDownloadTerminatedByUser) {
  // The user presses Cancel once the first bytes have arrived; the server holds back the rest.
  bool pressed = false;
  Window.OnChange = [&](platform::HeadlessTransferWindow& w) {
    if (!pressed && w.Position > 0) {
      pressed = true;
      w.PressCancel();
    }
  };
  EXPECT_EQ(MessageOf(Server.URL("/slow.html")), "Download Terminated By User.");
  SlowGate.Open();
  EXPECT_TRUE(pressed);
  EXPECT_FALSE(Window.TimedOut);
  EXPECT_EQ(Form.ModalResult, platform::ModalResult::Cancel);
  EXPECT_TRUE(CachedFiles().empty());
  EXPECT_FALSE(Window.Animating);
}

TEST_F(DownloadThreadTest, AMissingDocumentIsNotFound) {
  const std::string url = Server.URL("/nothing/here.html");
  EXPECT_EQ(MessageOf(url), "URL not found \"" + url + "\"");
  EXPECT_EQ(Form.ModalResult, platform::ModalResult::OK);
  EXPECT_TRUE(CachedFiles().empty());
  EXPECT_EQ(MessageOf(Dir.File("no-such-file.html")), "URL not found \"" + Dir.File("no-such-file.html") + "\"");
}

TEST_F(DownloadThreadTest, WithoutAConnectionNothingIsRequested) {
  Network.Connected = false;
  const std::string url = Server.URL("/docs/page.html");
  EXPECT_EQ(MessageOf(url), "URL not found \"" + url + "\"");
  EXPECT_EQ(Requests.Value(), 0);
  EXPECT_EQ(Window.ShowCount, 1);
  EXPECT_TRUE(CachedFiles().empty());
}

TEST_F(DownloadThreadTest, ALocalFileAddressIsCopiedIntoTheCache) {
  const std::string source = Dir.Write("site/a.html", "<html>local</html>");
  Network.Connected = false;  // a local file needs no connection
  const std::string url = "file://LocalHost" + source;
  const std::string copy = GetLocalFile(Form, url);
  EXPECT_NE(copy, source);
  EXPECT_EQ(ReadFileText(copy), "<html>local</html>");
  EXPECT_EQ(ReadFileText(source), "<html>local</html>");
}

// The thread's notifications run on the user-interface thread, and its result code tells the outcome.
class RecordingThread : public TThreadDownload {
 public:
  using TThreadDownload::TThreadDownload;
  std::vector<std::string> Calls;
  bool AllOnUiThread = true;

 protected:
  void Record(const char* name) {
    Calls.push_back(name);
    if (!Services.Ui->IsUiThread()) AllOnUiThread = false;
  }
  void DoStart() override { Record("Start"); }
  void DoProgress() override { Record("Progress"); }
  void DoFinish() override { Record("Finish"); }
};

TEST_F(DownloadThreadTest, ThreadReportsOnTheUserInterfaceThread) {
  RecordingThread thread(Services);
  EXPECT_EQ(thread.ReturnValue(), static_cast<int32_t>(0x80004005u));
  thread.URL = Server.URL("/docs/page.html");
  thread.CacheFolder = Cache();
  thread.Resume();
  ASSERT_TRUE(Ui.ProcessUntil([&] { return thread.Finished(); }));
  EXPECT_EQ(thread.WaitFor(), kDownloadSucceeded);
  EXPECT_TRUE(thread.AllOnUiThread);
  ASSERT_GE(thread.Calls.size(), 3u);
  EXPECT_EQ(thread.Calls.front(), "Start");
  EXPECT_EQ(thread.Calls.back(), "Finish");
  EXPECT_EQ(thread.Progress, static_cast<int64_t>(strlen(kPage)));
  EXPECT_EQ(thread.ProgressMax, static_cast<int64_t>(strlen(kPage)));
  EXPECT_EQ(ReadFileText(thread.CacheFileName), kPage);

  RecordingThread failing(Services);
  failing.URL = Server.URL("/missing.html");
  failing.CacheFolder = Cache();
  failing.Resume();
  ASSERT_TRUE(Ui.ProcessUntil([&] { return failing.Finished(); }));
  EXPECT_EQ(failing.WaitFor(), kDownloadFailed);
  EXPECT_EQ(failing.CacheFileName, "");
}

}  // namespace
