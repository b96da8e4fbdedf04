// HTTP fetch against real servers on loopback, and local files answered like a server.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <future>
#include <thread>

#include "Kel/KelError.h"
#include "Kel/KelIdHTTP.h"
#include "Kel/KelMediaTypes.h"
#include "support/TempDir.h"
#include "support/TestServer.h"

namespace {

using namespace std::chrono_literals;

// What a handler saw of the request.
struct Seen {
  std::mutex Mutex;
  httplib::Headers Headers;
  std::string Method, Target, Version;
  void Record(const httplib::Request& req) {
    std::lock_guard lock(Mutex);
    Headers = req.headers;
    Method = req.method;
    Target = req.target;
    Version = req.version;
  }
  bool Has(const std::string& name) {
    std::lock_guard lock(Mutex);
    return Headers.count(name) > 0;
  }
  std::string Value(const std::string& name) {
    std::lock_guard lock(Mutex);
    const auto it = Headers.find(name);
    return it == Headers.end() ? std::string("<none>") : it->second;
  }
};

class FetchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& http = Server.Http();
    http.Get("/page.html", [this](const httplib::Request& req, httplib::Response& res) {
      LastRequest.Record(req);
      res.set_header("Last-Modified", "Sun, 06 Nov 1994 08:49:37 GMT");
      res.set_header("Date", "Monday, 07-Nov-94 08:49:37 GMT");
      res.set_header("Server", "TestServer/1.0");
      res.set_content("<html><title>T</title></html>", "text/html; charset=iso-8859-1");
    });
    http.Get("/status/(\\d+)", [this](const httplib::Request& req, httplib::Response& res) {
      LastRequest.Record(req);
      res.status = std::stoi(req.matches[1]);
      if (res.status == 301 || res.status == 302) res.set_header("Location", "/moved.html");
      if (res.status == 401) res.set_header("WWW-Authenticate", "Basic realm=\"Inside\"");
      res.set_header("Date", "not a date");
      res.set_content("status body", "text/plain");
    });
    http.Get("/secret.html", [this](const httplib::Request& req, httplib::Response& res) {
      LastRequest.Record(req);
      if (req.get_header_value("Authorization") == BasicCredentials("me", "pw")) {
        res.set_content("welcome", "text/html");
      } else {
        res.status = 401;
        res.set_header("WWW-Authenticate", "Basic realm=\"Inside\"");
      }
    });
    http.Get("/.*", [this](const httplib::Request& req, httplib::Response& res) {
      LastRequest.Record(req);
      res.set_content("any", "text/plain");
    });
    Server.Start();
  }

  TestServer Server;
  Seen LastRequest;
};

TEST_F(FetchTest, HeadReadsTheHeadersWithoutBody) {
  THTTPClient client;
  std::string body;
  Fetch(client, THTTPMethod::Head, Server.URL("/page.html"), nullptr, nullptr);
  const THTTPResponse& r = client.Response;
  EXPECT_EQ(r.ResponseText, "HTTP/1.1 200 OK");
  EXPECT_EQ(r.ResponseCode(), 200);
  EXPECT_EQ(r.ContentType, "text/html; charset=iso-8859-1");
  EXPECT_EQ(r.ContentLength, 29);  // the header's value
  EXPECT_EQ(r.Server, "TestServer/1.0");
  EXPECT_EQ(r.LastModified, UnixToLocalDateTime(784111777));
  EXPECT_EQ(r.Date, UnixToLocalDateTime(784198177));
  EXPECT_TRUE(r.Location.empty());
  EXPECT_EQ(LastRequest.Method, "HEAD");
  EXPECT_EQ(client.URL.Document, "page.html");
}

TEST_F(FetchTest, GetWritesTheBodyAndReportsProgress) {
  THTTPClient client;
  std::vector<std::string> events;
  client.OnStatus = [&](const std::string& s) { events.push_back("status " + s); };
  client.OnWorkBegin = [&](int32_t n) { events.push_back("begin " + std::to_string(n)); };
  client.OnWork = [&](int32_t n) { events.push_back("work " + std::to_string(n)); };
  client.OnWorkEnd = [&] { events.push_back("end"); };
  std::string body;
  Fetch(client, THTTPMethod::Get, Server.URL("/page.html"), nullptr, &body);
  EXPECT_EQ(client.Response.ResponseCode(), 200);
  EXPECT_EQ(body, "<html><title>T</title></html>");
  EXPECT_EQ(client.Response.ContentStream, &body);
  EXPECT_EQ(client.Response.ContentLength, 29);
  EXPECT_EQ(LastRequest.Method, "GET");
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front().rfind("status Resolving hostname 127.0.0.1", 0), 0u) << events.front();
  EXPECT_NE(std::find(events.begin(), events.end(), "status Connected."), events.end());
  EXPECT_NE(std::find(events.begin(), events.end(), "begin 29"), events.end());
  EXPECT_NE(std::find(events.begin(), events.end(), "work 29"), events.end());
  EXPECT_EQ(std::count(events.begin(), events.end(), "end"), 1);
  EXPECT_EQ(events.back(), "status Disconnected.");
}

struct StatusCase {
  int Status;
  std::string ResponseText;
  std::string Location;
};
void PrintTo(const StatusCase& c, std::ostream* os) { *os << c.Status; }

class FetchStatusTest : public FetchTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(FetchStatusTest, AnswersAreReturnedNotFollowed) {
  const StatusCase& c = GetParam();
  for (const THTTPMethod method : {THTTPMethod::Head, THTTPMethod::Get}) {
    SCOPED_TRACE(method == THTTPMethod::Head ? "HEAD" : "GET");
    THTTPClient client;
    std::string body;
    Fetch(client, method, Server.URL("/status/" + std::to_string(c.Status)), nullptr, &body);
    EXPECT_EQ(client.Response.ResponseText, c.ResponseText);
    EXPECT_EQ(client.Response.ResponseCode(), c.Status);
    EXPECT_EQ(client.Response.Location, c.Location);
    EXPECT_EQ(client.Response.Date, 0);          // unreadable
    EXPECT_EQ(client.Response.LastModified, 0);  // absent
  }
}

INSTANTIATE_TEST_SUITE_P(Statuses, FetchStatusTest,
                         ::testing::Values(StatusCase{200, "HTTP/1.1 200 OK", ""},
                                           StatusCase{301, "HTTP/1.1 301 Moved Permanently", "/moved.html"},
                                           StatusCase{302, "HTTP/1.1 302 Found", "/moved.html"},
                                           StatusCase{401, "HTTP/1.1 401 Unauthorized", ""},
                                           StatusCase{404, "HTTP/1.1 404 Not Found", ""},
                                           StatusCase{405, "HTTP/1.1 405 Method Not Allowed", ""},
                                           StatusCase{500, "HTTP/1.1 500 Internal Server Error", ""}),
                         [](const auto& info) { return std::to_string(info.param.Status); });

TEST_F(FetchTest, SendsExactlyTheProgramsHeaders) {
  THTTPClient client;
  client.Request.BasicAuthentication = true;
  client.Request.Referer = "http://127.0.0.1/from.html";
  Fetch(client, THTTPMethod::Get, Server.URL("/page.html"), nullptr, nullptr);
  EXPECT_EQ(LastRequest.Version, "HTTP/1.1");
  EXPECT_EQ(LastRequest.Target, "/page.html");
  EXPECT_EQ(LastRequest.Value("Accept"), "text/html, */*");
  EXPECT_EQ(LastRequest.Value("User-Agent"), "Mozilla/3.0 (compatible; Indy Library)");
  EXPECT_EQ(LastRequest.Value("Referer"), "http://127.0.0.1/from.html");
  EXPECT_EQ(LastRequest.Value("Authorization"), "Basic Og==");
  EXPECT_EQ(LastRequest.Value("Host"), "127.0.0.1:" + std::to_string(Server.Port()));
  for (const char* absent :
       {"Connection", "Expect", "Proxy-Connection", "Proxy-Authorization", "Cookie", "Accept-Encoding"})
    EXPECT_FALSE(LastRequest.Has(absent)) << absent;

  THTTPClient plain;  // no referring page, no basic authentication
  Fetch(plain, THTTPMethod::Head, Server.URL("/page.html"), nullptr, nullptr);
  EXPECT_FALSE(LastRequest.Has("Referer"));
  EXPECT_FALSE(LastRequest.Has("Authorization"));
}

TEST_F(FetchTest, EncodesForbiddenCharactersOnTheWireOnly) {
  THTTPClient client;
  const std::string url = Server.URL("/a dir/b c.html?q=x y|z");
  Fetch(client, THTTPMethod::Head, url, nullptr, nullptr);
  EXPECT_EQ(client.Response.ResponseCode(), 200);
  EXPECT_EQ(LastRequest.Target, "/a%20dir/b%20c.html?q=x%20y%7Cz");
  EXPECT_EQ(client.URL.Path, "/a dir/");
  EXPECT_EQ(client.URL.Document, "b c.html");
}

TEST_F(FetchTest, AuthorizationHandlerMayDeclineOrSupplyCredentials) {
  THTTPClient declining;
  declining.Request.BasicAuthentication = true;
  std::string scheme, realm;
  declining.OnAuthorization = [&](TAuthentication& a, bool& handled) {
    scheme = a.Scheme;
    realm = a.Realm;
    handled = false;
  };
  Fetch(declining, THTTPMethod::Get, Server.URL("/secret.html"), nullptr, nullptr);
  EXPECT_EQ(declining.Response.ResponseCode(), 401);
  EXPECT_EQ(scheme, "Basic");
  EXPECT_EQ(realm, "Inside");

  THTTPClient supplying;
  supplying.OnAuthorization = [](TAuthentication& a, bool& handled) {
    a.Username = "me";
    a.Password = "pw";
    handled = true;
  };
  std::string body;
  Fetch(supplying, THTTPMethod::Get, Server.URL("/secret.html"), nullptr, &body);
  EXPECT_EQ(supplying.Response.ResponseCode(), 200);
  EXPECT_EQ(body, "welcome");
}

TEST(FetchFailure, RefusedConnectionRaisesItsMessage) {
  RefusingTestPort port;
  THTTPClient client;
  try {
    Fetch(client, THTTPMethod::Head, port.URL("/x.html"), nullptr, nullptr);
    FAIL() << "no error";
  } catch (const EError& e) {
    const std::string message = e.what();
    EXPECT_NE(message.find("onnect"), std::string::npos) << message;
    EXPECT_EQ(ResponseCodeOf(message), -1) << message;
  }
}

TEST(FetchFailure, UnsupportedSchemeAndMissingHostRaise) {
  THTTPClient a, b;
  EXPECT_THROW(Fetch(a, THTTPMethod::Head, "ftp://127.0.0.1/x", nullptr, nullptr), EError);
  EXPECT_THROW(Fetch(b, THTTPMethod::Head, "http:///x", nullptr, nullptr), EError);
}

TEST(FetchProxy, GoesThroughTheProxyWithBasicProxyCredentials) {
  TestServer proxy;
  Seen seen;
  proxy.Http().Get(".*", [&](const httplib::Request& req, httplib::Response& res) {
    seen.Record(req);
    res.set_content("from the proxy", "text/html");
  });
  proxy.Start();

  THTTPClient client;
  client.ProxyParams.ProxyServer = "127.0.0.1";
  client.ProxyParams.ProxyPort = proxy.Port();
  client.ProxyParams.ProxyUsername = "user";
  client.ProxyParams.ProxyPassword = "secret";
  client.ProxyParams.BasicAuthentication = true;
  client.Request.BasicAuthentication = true;
  std::string body;
  // The origin is never contacted: the proxy answers.
  Fetch(client, THTTPMethod::Get, "http://origin.invalid:8080/dir/page.html?a=b c", nullptr, &body);
  EXPECT_EQ(client.Response.ResponseCode(), 200);
  EXPECT_EQ(body, "from the proxy");
  EXPECT_EQ(seen.Target, "http://origin.invalid:8080/dir/page.html?a=b%20c");
  EXPECT_EQ(seen.Value("Proxy-Authorization"), BasicCredentials("user", "secret"));
  EXPECT_EQ(seen.Value("Authorization"), "Basic Og==");
  EXPECT_EQ(seen.Value("Host"), "origin.invalid:8080");
  EXPECT_FALSE(seen.Has("Proxy-Connection"));
  EXPECT_FALSE(seen.Has("Connection"));

  THTTPClient withoutAuth;
  withoutAuth.ProxyParams = client.ProxyParams;
  withoutAuth.ProxyParams.BasicAuthentication = false;
  Fetch(withoutAuth, THTTPMethod::Head, "http://origin.invalid/x.html", nullptr, nullptr);
  EXPECT_EQ(seen.Target, "http://origin.invalid/x.html");
  EXPECT_FALSE(seen.Has("Proxy-Authorization"));
}

TEST(FetchProxy, EnvironmentProxyIsIgnored) {
  TestServer server;
  server.Http().Get("/x.html",
                    [](const httplib::Request&, httplib::Response& res) { res.set_content("direct", "text/plain"); });
  server.Start();
  RefusingTestPort deadProxy;
  const char* old = getenv("http_proxy");
  const std::string saved = old ? old : "";
  setenv("http_proxy", deadProxy.URL().c_str(), 1);
  THTTPClient client;
  std::string body;
  EXPECT_NO_THROW(Fetch(client, THTTPMethod::Get, server.URL("/x.html"), nullptr, &body));
  if (old) setenv("http_proxy", saved.c_str(), 1);
  else unsetenv("http_proxy");
  EXPECT_EQ(body, "direct");
}

TEST(FetchHttps, SelfSignedCertificateIsAnOrdinaryFailure) {
  auto server = TestServer::Secure();
  server->Http().Get("/.*",
                     [](const httplib::Request&, httplib::Response& res) { res.set_content("secret", "text/html"); });
  server->Start();
  THTTPClient client;
  try {
    Fetch(client, THTTPMethod::Head, server->URL("/page.html"), nullptr, nullptr);
    FAIL() << "a self-signed certificate was accepted";
  } catch (const EError& e) {
    const std::string message = e.what();
    EXPECT_NE(message.find("certificate"), std::string::npos) << message;
    EXPECT_EQ(ResponseCodeOf(message), -1) << message;
  }
}

TEST(FetchAbort, CloseEndsARequestToASilentServerAtOnce) {
  SilentTestServer silent;
  THTTPClient client;
  auto done = std::async(std::launch::async, [&] {
    std::string body;
    try {
      Fetch(client, THTTPMethod::Get, silent.URL("/never.html"), nullptr, &body);
    } catch (const EAbort&) {
      return std::string("aborted");
    } catch (const std::exception& e) {
      return std::string(e.what());
    }
    return std::string("answered");
  });
  ASSERT_TRUE(silent.Requests.WaitFor(1));  // the request is on the wire
  const auto closedAt = std::chrono::steady_clock::now();
  client.Close();
  ASSERT_EQ(done.wait_for(5s), std::future_status::ready);
  EXPECT_LT(std::chrono::steady_clock::now() - closedAt, 1s);
  EXPECT_EQ(done.get(), "aborted");

  THTTPClient closedEarly;  // closed before its request: refused at once
  closedEarly.Close();
  EXPECT_THROW(Fetch(closedEarly, THTTPMethod::Head, silent.URL("/x"), nullptr, nullptr), EAbort);
}

// Each thread's session keeps its connection for its next request, and no session takes over
// the idle connection of another thread's: libcurl cannot share a connection across threads
// safely (it would free it twice).
TEST(FetchSessions, ConnectionsStayWithTheSessionOfTheirThread) {
  std::mutex mutex;
  std::vector<int> ports;  // the client's port of each request, in order
  TestServer server;
  server.Http().Get("/.*", [&](const httplib::Request& req, httplib::Response& res) {
    std::lock_guard lock(mutex);
    ports.push_back(req.remote_port);
    res.set_content("x", "text/plain");
  });
  server.Http().set_keep_alive_max_count(100);
  server.Start();
  THTTPSession first, second;
  auto fetchOnItsOwnThread = [&](THTTPSession& session, const std::string& path) {
    std::async(std::launch::async, [&] {
      THTTPClient client;
      client.Session = &session;
      std::string body;
      Fetch(client, THTTPMethod::Get, server.URL(path), nullptr, &body);
      EXPECT_EQ(body, "x");
    }).get();
  };
  fetchOnItsOwnThread(first, "/a");    // leaves its connection idle
  fetchOnItsOwnThread(second, "/b");   // another thread: a connection of its own
  fetchOnItsOwnThread(first, "/c");    // the first session's connection again
  fetchOnItsOwnThread(second, "/d");
  std::lock_guard lock(mutex);
  ASSERT_EQ(ports.size(), 4u);
  EXPECT_NE(ports[0], ports[1]);
  EXPECT_EQ(ports[0], ports[2]);
  EXPECT_EQ(ports[1], ports[3]);
}

// ---------------------------------------------------------------------------------------------
// Local files

class LocalFetchTest : public ::testing::Test {
 protected:
  std::string Address(const std::string& relative) const { return "file://LocalHost" + Dir.File(relative); }
  // Sets a file's modification time (seconds since 1970).
  void Touch(const std::string& path, time_t when) {
    timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  }
  TempDir Dir;
};

TEST_F(LocalFetchTest, HeadOfAnExistingPage) {
  const std::string path = Dir.Write("site/page.html", "<html>12345</html>");
  Touch(path, 1700000001);  // an odd second: the file time keeps two-second steps
  THTTPClient client;
  std::vector<std::string> events;
  client.OnStatus = [&](const std::string& s) { events.push_back(s); };
  client.OnWorkBegin = [&](int32_t n) { events.push_back("begin " + std::to_string(n)); };
  client.OnWork = [&](int32_t n) { events.push_back("work " + std::to_string(n)); };
  client.OnWorkEnd = [&] { events.push_back("end"); };
  std::string body = "untouched";
  Fetch(client, THTTPMethod::Head, Address("site/page.html"), nullptr, &body);
  const THTTPResponse& r = client.Response;
  EXPECT_EQ(r.ResponseText, "HTTP/1.1 200 OK");
  EXPECT_EQ(r.ResponseCode(), 200);
  EXPECT_EQ(r.ContentLength, 18);
  EXPECT_EQ(r.ContentType, "text/html");
  EXPECT_EQ(DateTimeToStr(r.Date), DateTimeToStr(UnixToLocalDateTime(1700000000)));
  EXPECT_EQ(r.LastModified, 0);
  EXPECT_EQ(body, "untouched");
  EXPECT_EQ(events, (std::vector<std::string>{"Loading", "begin 100", "work 0", "work 100", "end"}));
}

TEST_F(LocalFetchTest, GetCopiesTheWholeFile) {
  std::string content(200000, 'x');
  content += "end";
  Dir.Write("page.htm", content);
  THTTPClient client;
  std::vector<std::string> events;
  client.OnWorkBegin = [&](int32_t n) { events.push_back("begin " + std::to_string(n)); };
  client.OnWork = [&](int32_t n) { events.push_back("work " + std::to_string(n)); };
  client.OnWorkEnd = [&] { events.push_back("end"); };
  std::string body;
  Fetch(client, THTTPMethod::Get, Address("page.htm"), nullptr, &body);
  EXPECT_EQ(client.Response.ResponseCode(), 200);
  EXPECT_EQ(body, content);
  EXPECT_EQ(client.Response.ContentLength, static_cast<int32_t>(content.size()));
  EXPECT_EQ(client.Response.ContentType, "text/html");
  EXPECT_GT(client.Response.Date, 0);
  EXPECT_EQ(events, (std::vector<std::string>{"begin 100", "work 100", "end", "work 100"}));
}

TEST_F(LocalFetchTest, MissingFilesAndFoldersAreNotFoundAndHugeFilesTooLarge) {
  Dir.Write("folder/inside.html", "x");
  const std::string huge = Dir.File("huge.html");
  { std::ofstream touch(huge); }
  ASSERT_EQ(truncate(huge.c_str(), 2LL * 1024 * 1024 * 1024), 0);  // sparse: 2 GiB
  const std::pair<const char*, const char*> cases[] = {
      {"missing.html", "HTTP/1.1 404 Not Found"},
      {"folder/", "HTTP/1.1 404 Not Found"},
      {"huge.html", "File too large"},  // does not fit the 32-bit length; nothing is read
  };
  for (const auto& [relative, text] : cases) {
    for (const THTTPMethod method : {THTTPMethod::Head, THTTPMethod::Get}) {
      SCOPED_TRACE(std::string(relative) + (method == THTTPMethod::Head ? " HEAD" : " GET"));
      THTTPClient client;
      std::string body;
      EXPECT_NO_THROW(Fetch(client, method, Address(relative), nullptr, &body));
      EXPECT_EQ(client.Response.ResponseText, text);
      EXPECT_EQ(client.Response.ResponseCode(), text[0] == 'H' ? 404 : -1);
      EXPECT_EQ(client.Response.ContentLength, -1);
      EXPECT_EQ(client.Response.ContentType, "");
      EXPECT_EQ(body, "");
    }
  }
}

TEST_F(LocalFetchTest, PageBeyondTheLimitIsReadAsFarAsTheLimit) {
  const std::string content(100000, 'a');
  Dir.Write("long.html", content);
  THTTPClient client;
  client.Limits.MaxPageSize = 65536;
  std::string body;
  Fetch(client, THTTPMethod::Get, Address("long.html"), nullptr, &body);
  EXPECT_EQ(client.Response.ResponseText, "HTTP/1.1 200 OK (page cut off at 64 KiB)");
  EXPECT_EQ(client.Response.ResponseCode(), 200);
  EXPECT_EQ(client.Response.ContentLength, 100000);
  EXPECT_EQ(body, content.substr(0, 65536));
}

TEST_F(LocalFetchTest, SchemeInCapitalsAndMediaTypes) {
  Dir.Write("notes.qqzz", "n");
  Dir.Write("pic.GIF", "g");
  THTTPClient upper;
  Fetch(upper, THTTPMethod::Head, "FILE://LocalHost" + Dir.File("notes.qqzz"), nullptr, nullptr);
  EXPECT_EQ(upper.Response.ResponseCode(), 200);
  EXPECT_EQ(upper.Response.ContentType, "application/octet-stream");
  THTTPClient gif;
  Fetch(gif, THTTPMethod::Head, Address("pic.GIF"), nullptr, nullptr);
  EXPECT_EQ(gif.Response.ContentType, "image/gif");
}

TEST(MediaTypes, FixedListFirstEntryWinsAndUnknownIsOctetStream) {
  EXPECT_EQ(kFixedMediaTypeCount, 136u);
  const TMediaTypeTable fixed;  // no system registrations
  EXPECT_EQ(fixed.TypeOfDocument("page.shtml"), "server-parsed-html");
  EXPECT_EQ(fixed.TypeOfDocument("a.xbm"), "image/xbm");
  EXPECT_EQ(fixed.TypeOfDocument("a.XML"), "text/xml");
  EXPECT_EQ(fixed.TypeOfDocument("a.tar.gz"), "application/x-gzip");
  EXPECT_EQ(fixed.TypeOfDocument("notes.xyz"), "application/octet-stream");
  EXPECT_EQ(fixed.TypeOfDocument("README"), "application/octet-stream");
  EXPECT_EQ(fixed.TypeOfDocument("page.html"), "text/html");
}

TEST(MediaTypes, SystemDatabaseReplacesAndAdds) {
  TMediaTypeTable table;
  table.AddMimeTypes(
      "# comment line\n"
      "text/html\t\thtml htm shtml  # trailing comment\n"
      "application/x-new   xyz\n"
      "Image/PNG png\n"
      "application/no-extension\n");
  EXPECT_EQ(table.TypeOfExtension(".shtml"), "text/html");
  EXPECT_EQ(table.TypeOfExtension(".xyz"), "application/x-new");
  EXPECT_EQ(table.TypeOfExtension(".PNG"), "image/png");
  EXPECT_EQ(table.TypeOfExtension(".gif"), "image/gif");
  EXPECT_EQ(table.TypeOfExtension(".comment"), "application/octet-stream");
}

TEST(MediaTypes, ProcessTableIsBuiltOnceForConcurrentWorkers) {
  std::vector<std::future<const TMediaTypeTable*>> all;
  for (int i = 0; i < 4; ++i) all.push_back(std::async(std::launch::async, [] { return &MediaTypes(); }));
  const TMediaTypeTable* first = all[0].get();
  for (size_t i = 1; i < all.size(); ++i) EXPECT_EQ(all[i].get(), first);
  EXPECT_GE(first->Size(), 134u);
  EXPECT_EQ(MediaTypeOf("a.gif"), "image/gif");
}

}  // namespace

namespace {

// A fetch of `url` that must fail: its message, and whether the name was looked up for it.
std::pair<std::string, bool> FailedFetch(const std::string& url) {
  THTTPClient client;
  bool lookedUp = false;
  client.OnStatus = [&](const std::string& s) { lookedUp = lookedUp || s.rfind("Resolving hostname", 0) == 0; };
  try {
    Fetch(client, THTTPMethod::Head, url, nullptr, nullptr);
  } catch (const EError& e) {
    return {e.what(), lookedUp};
  }
  return {"no failure", lookedUp};
}

}  // namespace

// A name that cannot be looked up (".invalid" never resolves) is asked once: later requests for
// it fail at once with the same message, until a new crawl forgets it.
TEST(FailedHostNames, ALookupThatFailedIsNotAskedAgainUntilForgotten) {
  ForgetFailedHostNames();
  const auto first = FailedFetch("http://nosuch-tessaly.invalid/a.html");
  EXPECT_TRUE(first.second);
  EXPECT_NE(first.first, "no failure");
  const auto again = FailedFetch("http://NoSuch-Tessaly.invalid:8080/b.html");
  EXPECT_FALSE(again.second);
  EXPECT_EQ(again.first, first.first);
  // Another name is looked up.
  EXPECT_TRUE(FailedFetch("http://other-tessaly.invalid/").second);
  ForgetFailedHostNames();
  EXPECT_TRUE(FailedFetch("http://nosuch-tessaly.invalid/a.html").second);
}
