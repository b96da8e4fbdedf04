// The limits of a transfer against hostile loopback servers: the time limit of a crawl request,
// the wait for data of a download, the page limit counted after decoding, bodies that are not
// wanted, and addresses too long for the transfer library.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>

#include "Kel/KelError.h"
#include "Kel/KelHTTPDownload.h"
#include "Kel/KelIdHTTP.h"
#include "Kel/KelStr.h"
#include "support/HostileServer.h"
#include "support/TempDir.h"
#include "support/TestServer.h"

namespace {

using std::chrono::milliseconds;

// The message of what `f` raised; empty when it raised nothing.
template <typename F>
std::string FailureOf(F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return std::string();
}

THTTPClient& Limited(THTTPClient& client, milliseconds timeout, int64_t maxPageSize = 65536) {
  client.Limits.Timeout = timeout;
  client.Limits.MaxPageSize = maxPageSize;
  return client;
}

TEST(TransferLimits, TextsOfTheLimits) {
  EXPECT_EQ(TimedOutText(milliseconds(60000)), "Timed out after 60 s");
  EXPECT_EQ(TimedOutText(milliseconds(250)), "Timed out after 0.25 s");
  EXPECT_EQ(NoDataText(milliseconds(1500)), "No data for 1.5 s");
  EXPECT_EQ(CutOffText("HTTP/1.1 200 OK", 32 * 1024 * 1024), "HTTP/1.1 200 OK (page cut off at 32 MiB)");
  EXPECT_EQ(CutOffText("HTTP/1.1 200 OK", 2048), "HTTP/1.1 200 OK (page cut off at 2 KiB)");
  EXPECT_EQ(CutOffText("HTTP/1.1 200 OK", 1000), "HTTP/1.1 200 OK (page cut off at 1000 bytes)");
  EXPECT_EQ(ResponseCodeOf(CutOffText("HTTP/1.1 200 OK", 1000)), 200);
}

TEST(TransferLimits, SecondsAndBytesAsTyped) {
  const std::pair<const char*, long long> seconds[] = {
      {"60", 60000}, {" 0.5 ", 500}, {"1.2345", 1234}, {".25", 250}, {"0", 0},
      {"", 0},       {"-1", 0},      {"1e3", 0},       {"1.2.3", 0},
  };
  for (const auto& [text, ms] : seconds) EXPECT_EQ(SecondsOf(text).count(), ms) << text;
  const std::pair<const char*, int64_t> bytes[] = {
      {"33554432", 33554432}, {"1", 1}, {"0", 0}, {"", 0}, {"12k", 0}, {"-5", 0}, {"99999999999999999999", 0},
  };
  for (const auto& [text, n] : bytes) EXPECT_EQ(BytesOf(text), n) << text;
}

TEST(TransferLimits, SilentServerTimesOut) {
  SilentTestServer server;
  THTTPClient client;
  Limited(client, milliseconds(200));
  EXPECT_EQ(FailureOf([&] { Fetch(client, THTTPMethod::Head, server.URL("/a.html"), nullptr, nullptr); }),
            "Timed out after 0.2 s");
}

TEST(TransferLimits, DripBeyondTheLimitTimesOutWhateverItSends) {
  HostileTestServer server(HostileTestServer::Drip(milliseconds(50)));
  THTTPClient client;
  Limited(client, milliseconds(300));
  std::string body;
  EXPECT_EQ(FailureOf([&] { Fetch(client, THTTPMethod::Get, server.URL("/drip.html"), nullptr, &body); }),
            "Timed out after 0.3 s");
  EXPECT_LT(body.size(), 100u);
}

TEST(TransferLimits, EndlessPageIsReadAsFarAsTheLimit) {
  HostileTestServer server(HostileTestServer::Endless());
  THTTPClient client;
  Limited(client, TTransferLimits::kDefaultTimeout, 100000);
  std::string body;
  EXPECT_EQ(FailureOf([&] { Fetch(client, THTTPMethod::Get, server.URL("/endless.html"), nullptr, &body); }), "");
  EXPECT_EQ(client.Response.ResponseText, "HTTP/1.1 200 OK (page cut off at 100000 bytes)");
  EXPECT_EQ(client.Response.ResponseCode(), 200);
  EXPECT_EQ(body.size(), 100000u);
  EXPECT_LE(body.capacity(), 100000u);  // grown no further than the limit
  EXPECT_TRUE(body.starts_with("<a href=\"x.html\">"));
}

TEST(TransferLimits, CompressedPageCountsItsDecodedSize) {
  HostileTestServer bomb(HostileTestServer::GzipBomb(8 * 1024 * 1024));
  THTTPClient client;
  Limited(client, TTransferLimits::kDefaultTimeout, 65536);
  std::string body;
  EXPECT_EQ(FailureOf([&] { Fetch(client, THTTPMethod::Get, bomb.URL("/bomb.html"), nullptr, &body); }), "");
  EXPECT_EQ(client.Response.ResponseText, "HTTP/1.1 200 OK (page cut off at 64 KiB)");
  ASSERT_EQ(body.size(), 65536u);
  EXPECT_EQ(body.substr(0, 6), "<p><p>");
  // Compression is not asked for: neither "Accept-Encoding" nor "TE" goes out.
  const std::string head = bomb.LastRequest();
  EXPECT_TRUE(head.starts_with("GET /bomb.html HTTP/1.1\r\n")) << head;
  EXPECT_EQ(PosText("accept-encoding", head), std::string::npos) << head;
  EXPECT_EQ(PosText("\nte:", head), std::string::npos) << head;

  // A small compressed page is read whole, decoded.
  HostileTestServer small(HostileTestServer::GzipBomb(3000));
  THTTPClient second;
  std::string page;
  Fetch(second, THTTPMethod::Get, small.URL("/small.html"), nullptr, &page);
  EXPECT_EQ(second.Response.ResponseText, "HTTP/1.1 200 OK");
  EXPECT_EQ(page.size(), 3000u);
  EXPECT_EQ(page.substr(0, 3), "<p>");
}

TEST(TransferLimits, UnwantedBodyIsNotReadAtAll) {
  HostileTestServer server(HostileTestServer::Endless("image/png"));
  THTTPClient client;
  Limited(client, TTransferLimits::kDefaultTimeout, 0);  // no page limit: only the refusal ends it
  client.KeepBody = [](const THTTPResponse& r) { return r.ContentType == "text/html"; };
  std::string body;
  EXPECT_EQ(FailureOf([&] { Fetch(client, THTTPMethod::Get, server.URL("/endless.png"), nullptr, &body); }), "");
  EXPECT_EQ(client.Response.ResponseText, "HTTP/1.1 200 OK");
  EXPECT_EQ(client.Response.ContentType, "image/png");
  EXPECT_EQ(body, "");
}

TEST(TransferLimits, AddressTooLongForTheTransferLibrary) {
  const std::string url = "http://127.0.0.1:1/" + std::string(9 * 1024 * 1024, 'a');
  THTTPClient client;
  EXPECT_EQ(FailureOf([&] { Fetch(client, THTTPMethod::Head, url, nullptr, nullptr); }), "Address too long");
  TempDir dir;
  THTTPDownload download(url, dir.File("x.html"));
  EXPECT_EQ(FailureOf([&] { download.Run(); }), "Address too long");
}

TEST(DownloadLimits, SilentServerEndsTheWaitForData) {
  SilentTestServer server;
  TempDir dir;
  THTTPDownload download(server.URL("/a.bin"), dir.File("a.bin"));
  download.IdleTimeout = milliseconds(200);
  EXPECT_EQ(FailureOf([&] { download.Run(); }), "No data for 0.2 s");
}

TEST(DownloadLimits, SlowDownloadHasNoOverallLimit) {
  // Eight bytes, one every 50 ms: longer in all than the wait for data allowed.
  HostileTestServer server(HostileTestServer::Drip(milliseconds(50), 8));
  TempDir dir;
  THTTPDownload download(server.URL("/slow.html"), dir.File("slow.html"));
  download.IdleTimeout = milliseconds(200);
  EXPECT_EQ(FailureOf([&] { download.Run(); }), "");
  download.Commit();
  EXPECT_EQ(ReadFileText(dir.File("slow.html")), "<<<<<<<<");
}

TEST(DownloadLimits, CancelEndsADripAtOnce) {
  HostileTestServer server(HostileTestServer::Drip(milliseconds(20)));
  TempDir dir;
  THTTPDownload download(server.URL("/drip.bin"), dir.File("drip.bin"));
  download.IdleTimeout = milliseconds(0);
  std::promise<void> first;
  bool told = false;
  download.OnProgress = [&](int64_t done, int64_t) {
    if (done > 0 && !told) {
      told = true;
      first.set_value();
    }
    return true;
  };
  auto run = std::async(std::launch::async, [&] { return FailureOf([&] { download.Run(); }); });
  ASSERT_EQ(first.get_future().wait_for(std::chrono::seconds(20)), std::future_status::ready);
  download.Cancel();
  ASSERT_EQ(run.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  EXPECT_EQ(run.get(), EAbort().what());
}

}  // namespace
