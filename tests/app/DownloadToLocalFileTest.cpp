// Downloading documents into their local files: the node's steps (name, overwrite question,
// folders, answer recorded), the dialog's transfer (redirects, cookies, headers, proxy, Cancel)
// against real loopback servers and real files.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <mutex>

#include "Kel/KelError.h"
#include "Kel/KelIni.h"
#include "app/SpiderTools.h"
#include "app/UnitHTTPCopy.h"
#include "app/UnitHTTPSettings.h"
#include "platform/HeadlessTransfer.h"
#include "support/TempDir.h"
#include "support/TestServer.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t kSlowSize = 200000;
constexpr size_t kSlowFirst = 1000;
const char* const kPage = "<html><body>fresh copy</body></html>";

// The headers of the requests a server received, by path.
class RequestLog {
 public:
  void Record(const httplib::Request& req) {
    std::lock_guard lock(Mutex_);
    Last_[req.path] = req.headers;
    ++Count_[req.path];
  }
  bool Has(const std::string& path, const std::string& header) const {
    std::lock_guard lock(Mutex_);
    auto it = Last_.find(path);
    return it != Last_.end() && it->second.count(header) > 0;
  }
  std::string Value(const std::string& path, const std::string& header) const {
    std::lock_guard lock(Mutex_);
    auto it = Last_.find(path);
    if (it == Last_.end()) return "<no request>";
    auto h = it->second.find(header);
    return h == it->second.end() ? std::string() : h->second;
  }
  int Count(const std::string& path) const {
    std::lock_guard lock(Mutex_);
    auto it = Count_.find(path);
    return it == Count_.end() ? 0 : it->second;
  }
  int Total() const {
    std::lock_guard lock(Mutex_);
    int n = 0;
    for (const auto& [path, count] : Count_) n += count;
    return n;
  }

 private:
  mutable std::mutex Mutex_;
  std::map<std::string, httplib::Headers> Last_;
  std::map<std::string, int> Count_;
};

// Files in a folder besides the given ones: leftovers of a download.
std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class DownloadToLocalFileTest : public ::testing::Test {
 protected:
  DownloadToLocalFileTest() : Ini(Dir.File("Settings.ini")), Settings(Ini, nullptr), Window(Ui), Tree(Map) {
    Services.Ui = &Ui;
    Services.Ask = &Ask;
    Services.Transfer = &Window;
    Dialog = std::make_unique<TFormHTTPCopy>(Services, &Settings);
    Serve();
    Server.Start();
    Tree.ResetSiteTree();
    Map.SiteURI.Parse(Server.URL("/"));
    Tree.UpdateSiteRootCaption();
  }
  ~DownloadToLocalFileTest() override { SlowGate.Open(); }

  void Serve() {
    auto& http = Server.Http();
    http.Get("/page.html", [this](const httplib::Request& req, httplib::Response& res) {
      Requests.Record(req);
      res.set_header("Server", "TestServer/1.0");
      res.set_header("Date", "Sun, 06 Nov 1994 08:49:37 GMT");
      res.set_header("Last-Modified", "Sat, 05 Nov 1994 08:00:00 GMT");
      res.set_content(kPage, "text/html");
    });
    http.Get("/missing.html", [this](const httplib::Request& req, httplib::Response& res) {
      Requests.Record(req);
      res.status = 404;
      res.set_content("<html>not here</html>", "text/html");
    });
    http.Get("/broken.html", [this](const httplib::Request& req, httplib::Response& res) {
      Requests.Record(req);
      res.status = 500;
      res.set_content("<html>oops</html>", "text/html");
    });
    http.Get("/old.html", [this](const httplib::Request& req, httplib::Response& res) {
      Requests.Record(req);
      res.set_header("Set-Cookie", "hop=1; Path=/");
      res.set_redirect("/moved/new.txt", 302);
    });
    http.Get("/moved/new.txt", [this](const httplib::Request& req, httplib::Response& res) {
      Requests.Record(req);
      res.set_header("Server", "Mover/2");
      res.set_content("the new place", "text/plain");
    });
    http.Get("/login.html", [this](const httplib::Request& req, httplib::Response& res) {
      Requests.Record(req);
      res.set_header("Set-Cookie", "session=abc123; Path=/");
      res.set_content("welcome", "text/html");
    });
    http.Get("/members.html", [this](const httplib::Request& req, httplib::Response& res) {
      Requests.Record(req);
      res.set_content("members only", "text/html");
    });
    http.Get("/slow.bin", [this](const httplib::Request& req, httplib::Response& res) {
      Requests.Record(req);
      res.set_content_provider(kSlowSize, "application/octet-stream",
                               [this](size_t offset, size_t, httplib::DataSink& sink) {
                                 if (offset == 0) {
                                   const std::string first(kSlowFirst, 'a');
                                   return sink.write(first.data(), first.size());
                                 }
                                 SlowGate.Wait();
                                 const std::string rest(kSlowSize - offset, 'b');
                                 return sink.write(rest.data(), rest.size());
                               });
    });
  }

  TSpiderNode* Node(const std::string& path) {
    TURI uri(Server.URL(path));
    return NodeOf(Tree.InsertURL(uri, nullptr, false));
  }
  std::vector<std::string> Notices() const { return Ask.TextsOf("Notice"); }

  TempDir Dir;
  TIniFile Ini;
  TFormHTTPSettings Settings;
  platform::HeadlessUiThread Ui;
  platform::HeadlessPrompter Ask;
  platform::HeadlessTransferWindow Window;
  platform::Services Services;
  TSiteMap Map;
  TSiteTree Tree;
  RequestLog Requests;
  TestGate SlowGate;
  TestServer Server;
  std::unique_ptr<TFormHTTPCopy> Dialog;
};

class EntryRecorder : public TSiteTreeObserver {
 public:
  void EntryChanged(TTreeEntry* entry) override { Changed.push_back(entry); }
  std::vector<TTreeEntry*> Changed;
};

TEST_F(DownloadToLocalFileTest, SavesTheDocumentAndRecordsTheAnswer) {
  TSpiderNode* node = Node("/page.html");
  const std::string target = Dir.File("mirror/site/page.html");  // folders not there yet
  node->SetLocalFile(target);
  EntryRecorder recorder;
  Tree.AddObserver(&recorder);
  Map.Modified = false;

  EXPECT_TRUE(node->DownloadToLocalFile(*Dialog, true));

  EXPECT_EQ(ReadFileText(target), kPage);
  EXPECT_EQ(FilesIn(Dir.File("mirror/site")), std::vector<std::string>{"page.html"});
  EXPECT_EQ(node->ResponseText, "HTTP/1.1 200 OK");
  EXPECT_EQ(node->ResponseCode, 200);
  EXPECT_EQ(node->ContentType, "text/html");
  EXPECT_EQ(node->ContentLength, static_cast<int32_t>(strlen(kPage)));
  EXPECT_EQ(node->Server, "TestServer/1.0");
  EXPECT_EQ(node->RemoteDate, UnixToLocalDateTime(784111777));
  EXPECT_EQ(node->LastModified, UnixToLocalDateTime(784022400));
  EXPECT_EQ(node->LocalSize, static_cast<int32_t>(strlen(kPage)));
  EXPECT_GT(node->LocalDate, 0);
  EXPECT_TRUE(Map.Modified);
  EXPECT_EQ(std::count(recorder.Changed.begin(), recorder.Changed.end(), node->TreeNode), 1);
  Tree.RemoveObserver(&recorder);

  // The window: caption, status, button, bar and animation through the download.
  EXPECT_EQ(Window.ShowCount, 1);
  EXPECT_EQ(Window.Caption, "Downloading " + Server.URL("/page.html"));
  EXPECT_EQ(Window.Status, "Downloading File.");
  EXPECT_EQ(Window.ButtonCaptions, (std::vector<std::string>{"Cancel", "Close"}));
  EXPECT_EQ(Window.Max, static_cast<int>(strlen(kPage)));
  ASSERT_FALSE(Window.Positions.empty());
  EXPECT_NE(std::find(Window.Positions.begin(), Window.Positions.end(), static_cast<int>(strlen(kPage))),
            Window.Positions.end());
  EXPECT_EQ(Window.Position, 0);
  EXPECT_TRUE(Window.AnimationStarted);
  EXPECT_FALSE(Window.Animating);
  EXPECT_EQ(Window.Result, platform::ModalResult::OK);
  EXPECT_TRUE(Notices().empty());
  EXPECT_TRUE(Ask.Unexpected.empty());
}

TEST_F(DownloadToLocalFileTest, SendsTheCrawlHeadersAndNoCredentials) {
  const std::string target = Dir.File("page.html");
  TURI withCredentials(Server.URL("/page.html"));
  withCredentials.Username = "user";
  withCredentials.Password = "secret";
  ASSERT_TRUE(Dialog->Execute(target, withCredentials.Compose(), "Downloading File."));
  EXPECT_EQ(Requests.Value("/page.html", "Accept"), kHTTPAccept);
  EXPECT_EQ(Requests.Value("/page.html", "User-Agent"), kHTTPUserAgent);
  EXPECT_FALSE(Requests.Has("/page.html", "Authorization"));
  EXPECT_FALSE(Requests.Has("/page.html", "Cookie"));
  EXPECT_FALSE(Requests.Has("/page.html", "Referer"));
  EXPECT_EQ(ReadFileText(target), kPage);
}

TEST_F(DownloadToLocalFileTest, AsksForANameWhenThereIsNone) {
  TSpiderNode* node = Node("/page.html");
  ASSERT_EQ(node->LocalFileName(), "");
  Ask.QueueFile(std::nullopt);  // Cancel: nothing happens
  EXPECT_FALSE(node->DownloadToLocalFile(*Dialog, false));
  EXPECT_EQ(Requests.Total(), 0);
  EXPECT_EQ(Window.ShowCount, 0);

  const std::string chosen = Dir.File("chosen/page.html");
  Ask.QueueFile(chosen);
  EXPECT_TRUE(node->DownloadToLocalFile(*Dialog, false));
  ASSERT_EQ(Ask.Log.size(), 2u);
  EXPECT_EQ(Ask.Log[1].Text, "Select Local File Name");
  EXPECT_EQ(node->LocalFile, chosen);
  EXPECT_EQ(ReadFileText(chosen), kPage);
  EXPECT_TRUE(Ask.Unexpected.empty());
}

TEST_F(DownloadToLocalFileTest, AnsweringNoKeepsTheExistingFile) {
  TSpiderNode* node = Node("/page.html");
  const std::string target = Dir.Write("page.html", "old");
  node->SetLocalFile(target);
  Ask.QueueAnswer(platform::Answer::No);
  EXPECT_TRUE(node->DownloadToLocalFile(*Dialog, false));
  EXPECT_EQ(Ask.TextsOf("YesNo"), std::vector<std::string>{"Are you sure you want to overwrite \"" + target + "\"?"});
  EXPECT_EQ(ReadFileText(target), "old");
  EXPECT_EQ(Requests.Total(), 0);
  EXPECT_EQ(Window.ShowCount, 0);
  EXPECT_EQ(node->LocalSize, 3);
  EXPECT_EQ(node->ResponseCode, 0);  // nothing recorded
}

TEST_F(DownloadToLocalFileTest, AnsweringYesReplacesTheFileKeepingItsPermissions) {
  TSpiderNode* node = Node("/page.html");
  const std::string target = Dir.Write("copy/page.html", "old");
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
  node->SetLocalFile(target);
  Ask.QueueAnswer(platform::Answer::Yes);
  EXPECT_TRUE(node->DownloadToLocalFile(*Dialog, false));
  EXPECT_EQ(ReadFileText(target), kPage);
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(FilesIn(Dir.File("copy")), std::vector<std::string>{"page.html"});
}

// A failed download leaves the local file as it was (or absent) and no partial file behind.
struct FailureCase {
  std::string Name;
  std::string Path;      // on the test server; empty: a port that refuses connections
  bool Existing;         // a local copy exists and the user agrees to overwrite it
  std::string Expected;  // the warning, or its beginning
};
void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.Name; }

class DownloadFailureTest : public DownloadToLocalFileTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(DownloadFailureTest, LeavesTheLocalFileAsItWas) {
  const FailureCase& c = GetParam();
  RefusingTestPort refusing;
  TSpiderNode* node = c.Path.empty() ? nullptr : Node(c.Path);
  if (!node) {
    TURI uri(refusing.URL("/page.html"));
    node = NodeOf(Tree.InsertURL(uri, nullptr, false));
  }
  node->ResponseText = "HTTP/1.1 200 OK";  // the answer of an earlier crawl
  node->ResponseCode = 200;
  const std::string target = Dir.File("copy/doc.html");
  if (c.Existing) {
    Dir.Write("copy/doc.html", "precious");
    Ask.QueueAnswer(platform::Answer::Yes);
  }
  node->SetLocalFile(target);

  EXPECT_FALSE(node->DownloadToLocalFile(*Dialog, false));

  const auto notices = Notices();
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].substr(0, c.Expected.size()), c.Expected);
  if (c.Existing) {
    EXPECT_EQ(ReadFileText(target), "precious");
    EXPECT_EQ(FilesIn(Dir.File("copy")), std::vector<std::string>{"doc.html"});
    EXPECT_EQ(node->LocalSize, 8);
  } else {
    EXPECT_TRUE(FilesIn(Dir.File("copy")).empty());
    EXPECT_EQ(node->LocalSize, -1);
  }
  EXPECT_EQ(node->ResponseText, "HTTP/1.1 200 OK");  // kept
  EXPECT_EQ(Window.ButtonCaption, "Close");
  EXPECT_EQ(Window.Position, 0);
  EXPECT_FALSE(Window.Animating);
  EXPECT_EQ(Window.Result, platform::ModalResult::Cancel);
  EXPECT_TRUE(Ask.Unexpected.empty());
}

INSTANTIATE_TEST_SUITE_P(Failures, DownloadFailureTest,
                         ::testing::Values(FailureCase{"NotFound", "/missing.html", false,
                                                       "Download Terminated: HTTP/1.1 404 Not Found"},
                                           FailureCase{"NotFoundOverExisting", "/missing.html", true,
                                                       "Download Terminated: HTTP/1.1 404 Not Found"},
                                           FailureCase{"ServerError", "/broken.html", true,
                                                       "Download Terminated: HTTP/1.1 500 Internal Server Error"},
                                           FailureCase{"Refused", "", false, "Download Terminated: "},
                                           FailureCase{"RefusedOverExisting", "", true, "Download Terminated: "}),
                         [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.Name; });

TEST_F(DownloadToLocalFileTest, CancelDuringTheTransferKeepsTheExistingFile) {
  TSpiderNode* node = Node("/slow.bin");
  const std::string target = Dir.Write("copy/slow.bin", "previous copy");
  node->SetLocalFile(target);
  Ask.QueueAnswer(platform::Answer::Yes);
  // The user presses Cancel once the first bytes have arrived; the server holds back the rest.
  bool pressed = false;
  Window.OnChange = [&](platform::HeadlessTransferWindow& w) {
    if (!pressed && w.Position > 0) {
      pressed = true;
      w.PressCancel();
    }
  };

  EXPECT_FALSE(node->DownloadToLocalFile(*Dialog, false));
  SlowGate.Open();

  EXPECT_TRUE(pressed);
  EXPECT_FALSE(Window.TimedOut);
  EXPECT_EQ(Window.Max, static_cast<int>(kSlowSize));
  EXPECT_EQ(Notices(), std::vector<std::string>{"Download Terminated: Operation aborted"});
  EXPECT_EQ(ReadFileText(target), "previous copy");
  EXPECT_EQ(FilesIn(Dir.File("copy")), std::vector<std::string>{"slow.bin"});
  EXPECT_EQ(Window.ButtonCaption, "Close");
  EXPECT_EQ(node->ResponseCode, 0);
}

TEST_F(DownloadToLocalFileTest, FoldersThatCannotBeMadeStopTheDownload) {
  TSpiderNode* node = Node("/page.html");
  Dir.Write("blocker", "a file where a folder should be");
  node->SetLocalFile(Dir.File("blocker/sub/page.html"));
  Map.Modified = false;
  try {
    node->DownloadToLocalFile(*Dialog, false);
    FAIL() << "no error";
  } catch (const EError& e) {
    EXPECT_STREQ(e.what(), "Could not create directories");
  }
  EXPECT_EQ(Requests.Total(), 0);
  EXPECT_EQ(Window.ShowCount, 0);
  EXPECT_FALSE(Map.Modified);  // nothing else of the download ran
}

TEST_F(DownloadToLocalFileTest, RedirectsAreFollowedAndTheFinalAnswerRecorded) {
  TSpiderNode* node = Node("/old.html");
  const std::string target = Dir.File("old.html");
  node->SetLocalFile(target);
  EXPECT_TRUE(node->DownloadToLocalFile(*Dialog, false));
  EXPECT_EQ(ReadFileText(target), "the new place");
  EXPECT_EQ(node->ResponseText, "HTTP/1.1 200 OK");
  EXPECT_EQ(node->ContentType, "text/plain");
  EXPECT_EQ(node->Server, "Mover/2");
  EXPECT_EQ(node->Location, "");
  EXPECT_EQ(node->ContentLength, 13);
  // The cookie set by the redirecting answer went along to its target.
  EXPECT_EQ(Requests.Value("/moved/new.txt", "Cookie"), "hop=1");
}

TEST_F(DownloadToLocalFileTest, CookiesLastAsLongAsTheDialog) {
  ASSERT_TRUE(Dialog->Execute(Dir.File("login.html"), Server.URL("/login.html"), "Downloading File."));
  EXPECT_FALSE(Requests.Has("/login.html", "Cookie"));
  ASSERT_TRUE(Dialog->Execute(Dir.File("members.html"), Server.URL("/members.html"), "Downloading File."));
  EXPECT_EQ(Requests.Value("/members.html", "Cookie"), "session=abc123");

  // Another dialog has cookies of its own.
  TFormHTTPCopy other(Services, &Settings);
  ASSERT_TRUE(other.Execute(Dir.File("members2.html"), Server.URL("/members.html"), "Downloading File."));
  EXPECT_FALSE(Requests.Has("/members.html", "Cookie"));
}

TEST_F(DownloadToLocalFileTest, GoesThroughTheProxyOfTheSettings) {
  TestServer proxy;
  RequestLog seen;
  proxy.Http().Get(".*", [&](const httplib::Request& req, httplib::Response& res) {
    seen.Record(req);
    res.set_content("from the proxy", "text/plain");
  });
  proxy.Start();
  THTTPSettingsValues values;
  values.Server = "127.0.0.1";
  values.Port = std::to_string(proxy.Port());
  values.Username = "user";
  values.Password = "secret";
  values.BasicAuth = true;
  Settings.SetValues(values);

  // The origin is never contacted: the proxy answers.
  const std::string file = Dir.File("doc.html");
  ASSERT_TRUE(Dialog->Execute(file, "http://origin.invalid:8080/dir/doc.html", "Downloading File."));
  EXPECT_EQ(ReadFileText(file), "from the proxy");
  const std::string target = "http://origin.invalid:8080/dir/doc.html";  // the request line's target
  EXPECT_EQ(seen.Count(target), 1);
  EXPECT_EQ(seen.Value(target, "Proxy-Authorization"), BasicCredentials("user", "secret"));
  EXPECT_FALSE(seen.Has(target, "Authorization"));
  EXPECT_EQ(seen.Value(target, "User-Agent"), kHTTPUserAgent);
}

TEST_F(DownloadToLocalFileTest, LocalDocumentIsItsOwnCopyAndStaysIntact) {
  const std::string source = Dir.Write("site/a.html", "<html>source</html>");
  Tree.Map.SiteURI.Parse("file://LocalHost" + Dir.Str() + "/site/");  // a crawl of local files
  TURI uri;
  ResolveLink(uri, source, nullptr);
  TSpiderNode* node = NodeOf(Tree.InsertURL(uri, nullptr, false));
  ASSERT_EQ(node->LocalFileName(), source);

  EXPECT_TRUE(node->DownloadToLocalFile(*Dialog, true));
  EXPECT_EQ(ReadFileText(source), "<html>source</html>");
  EXPECT_TRUE(Ask.Log.empty());  // no question about overwriting the source
  EXPECT_EQ(Window.ShowCount, 0);
  EXPECT_EQ(node->ResponseText, "HTTP/1.1 200 OK");
  EXPECT_EQ(node->ContentType, "text/html");
  EXPECT_EQ(node->ContentLength, 19);
  EXPECT_EQ(node->LocalSize, 19);
  EXPECT_TRUE(node->EnsureLocalCopy(*Dialog, true));

  // A local document that is gone cannot be downloaded from anywhere.
  fs::remove(source);
  EXPECT_FALSE(node->DownloadToLocalFile(*Dialog, false));
  EXPECT_EQ(Notices(), std::vector<std::string>{"Download Terminated: HTTP/1.1 404 Not Found"});
  EXPECT_FALSE(fs::exists(source));
  EXPECT_EQ(node->ResponseText, "HTTP/1.1 200 OK");  // kept
  EXPECT_EQ(node->LocalSize, -1);
}

TEST_F(DownloadToLocalFileTest, EnsureLocalCopyDownloadsOnlyWhatIsMissing) {
  TSpiderNode* node = Node("/page.html");
  const std::string target = Dir.File("page.html");
  node->SetLocalFile(target);
  EntryRecorder recorder;
  Tree.AddObserver(&recorder);
  EXPECT_TRUE(node->EnsureLocalCopy(*Dialog, true));
  EXPECT_EQ(Requests.Count("/page.html"), 1);
  EXPECT_EQ(ReadFileText(target), kPage);
  EXPECT_TRUE(node->EnsureLocalCopy(*Dialog, true));
  EXPECT_EQ(Requests.Count("/page.html"), 1);  // the copy exists: no question, no request
  EXPECT_TRUE(Ask.Log.empty());
  EXPECT_EQ(std::count(recorder.Changed.begin(), recorder.Changed.end(), node->TreeNode), 2);
  Tree.RemoveObserver(&recorder);

  TSpiderNode* missing = Node("/missing.html");
  missing->SetLocalFile(Dir.File("missing.html"));
  EXPECT_FALSE(missing->EnsureLocalCopy(*Dialog, false));
  EXPECT_FALSE(fs::exists(Dir.File("missing.html")));
}

TEST_F(DownloadToLocalFileTest, WithoutAWindowTheDownloadRunsInPlace) {
  platform::Services bare;
  bare.Ask = &Ask;
  TFormHTTPCopy dialog(bare, nullptr);
  const std::string file = Dir.File("page.html");
  EXPECT_TRUE(dialog.Execute(file, Server.URL("/page.html"), "Downloading File."));
  EXPECT_EQ(ReadFileText(file), kPage);
  EXPECT_EQ(dialog.Response().ResponseText, "HTTP/1.1 200 OK");
  EXPECT_FALSE(dialog.Execute(Dir.File("gone.html"), Server.URL("/missing.html"), "Downloading File."));
  EXPECT_EQ(Notices(), std::vector<std::string>{"Download Terminated: HTTP/1.1 404 Not Found"});
}

}  // namespace
