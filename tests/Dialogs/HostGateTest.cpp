// The pool's gate per host: host keys, the pace (rate, Crawl-delay, slower after "come back
// later"), retry delays, and a paced pool that starts other hosts' requests while one waits.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "Dialogs/HostGate.h"
#include "Dialogs/UnitHTTPClient.h"
#include "Kel/KelDateTime.h"
#include "Kel/KelError.h"
#include "Kel/KelHTTPTypes.h"
#include "Kel/KelURI.h"
#include "platform/Headless.h"
#include "support/RecordingServer.h"

namespace {

using namespace std::chrono_literals;

TEST(HostGate, HostKeysFoldLettersAndFillTheDefaultPort) {
  const struct {
    const char* URL;
    const char* Key;
  } cases[] = {
      {"http://Example.ORG/a/b.html?x", "http://example.org:80"},
      {"HTTPS://example.org", "https://example.org:443"},
      {"http://user:pw@example.org:8080/", "http://example.org:8080"},
      {"http://[::1]:81/x", "http://[::1]:81"},
      {"http://[::1]/x", "http://[::1]:80"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(THostGate::HostKey(std::string(c.URL)), c.Key) << c.URL;
    EXPECT_EQ(THostGate::HostKey(TURI(c.URL)), c.Key) << c.URL;
  }
}

TEST(HostGate, IntervalsFromRateCrawlDelayAndSlowerHosts) {
  THostGate gate;
  EXPECT_FALSE(gate.Active());
  EXPECT_DOUBLE_EQ(gate.Interval("http://a:80"), 0);
  gate.SetRate(4);
  EXPECT_TRUE(gate.Active());
  EXPECT_DOUBLE_EQ(gate.Interval("http://a:80"), 0.25);
  gate.SetHostDelay("http://a:80", 2);
  EXPECT_DOUBLE_EQ(gate.Interval("http://a:80"), 2) << "the larger interval counts";
  EXPECT_DOUBLE_EQ(gate.Interval("http://b:80"), 0.25);
  gate.Slower("http://b:80");
  EXPECT_DOUBLE_EQ(gate.Interval("http://b:80"), 0.5) << "half the pace";
  gate.Slower("http://b:80");
  EXPECT_DOUBLE_EQ(gate.Interval("http://b:80"), 1);
  gate.SetRate(0);
  gate.Reset();
  EXPECT_FALSE(gate.Active());
  gate.Slower("http://c:80");
  EXPECT_DOUBLE_EQ(gate.Interval("http://c:80"), THostGate::kFirstBackoffInterval) << "an unpaced host gets a pace";
  EXPECT_THROW(gate.SetRate(-1), EError);
}

TEST(HostGate, ASlotIsTakenOncePerInterval) {
  THostGate gate;
  gate.SetRate(2);
  const auto t0 = THostGate::Clock::now();
  THostGate::Clock::time_point freeAt;
  EXPECT_TRUE(gate.TryTake("http://a:80", t0, freeAt));
  EXPECT_FALSE(gate.TryTake("http://a:80", t0 + 100ms, freeAt));
  EXPECT_EQ(freeAt, t0 + 500ms);
  EXPECT_TRUE(gate.TryTake("http://b:80", t0 + 100ms, freeAt)) << "another host is not held up";
  EXPECT_TRUE(gate.TryTake("http://a:80", t0 + 500ms, freeAt));
}

TEST(HostGate, RetryDelays) {
  THostGate gate;
  auto answer = [](const char* status, const std::string& retryAfter, TDateTime date = 0) {
    THTTPResponse r;
    r.ResponseText = status;
    r.RetryAfter = retryAfter;
    r.Date = date;
    return r;
  };
  const struct {
    const char* Name;
    THTTPResponse Response;
    int Attempt;
    long long Millis;
  } cases[] = {
      {"429 first, no Retry-After", answer("HTTP/1.1 429 Too Many Requests", ""), 1, 1000},
      {"503 second", answer("HTTP/1.1 503 Service Unavailable", ""), 2, 2000},
      {"503 third", answer("HTTP/1.1 503 Service Unavailable", ""), 3, 4000},
      {"no fourth", answer("HTTP/1.1 503 Service Unavailable", ""), 4, -1},
      {"seconds", answer("HTTP/1.1 429 Too Many Requests", " 7 "), 1, 7000},
      {"zero seconds", answer("HTTP/1.1 429 Too Many Requests", "0"), 1, 0},
      {"an HTTP date after the answer's Date",
       answer("HTTP/1.1 503 Service Unavailable", "Sat, 01 Mar 2025 12:00:05 GMT", UnixToLocalDateTime(1740830400)), 1,
       5000},
      {"a date already past", answer("HTTP/1.1 429 Too Many Requests", "Wed, 21 Oct 2015 07:28:00 GMT"), 1, 0},
      {"junk gives the default", answer("HTTP/1.1 429 Too Many Requests", "soon"), 2, 2000},
      {"200 is not retried", answer("HTTP/1.1 200 OK", "1"), 1, -1},
      {"500 is not retried", answer("HTTP/1.1 500 Internal Server Error", ""), 1, -1},
  };
  for (const auto& c : cases) EXPECT_EQ(gate.RetryDelay(c.Response, c.Attempt).count(), c.Millis) << c.Name;
  gate.SetDelayScale(0.5);
  EXPECT_EQ(gate.RetryDelay(answer("HTTP/1.1 429 Too Many Requests", ""), 3).count(), 2000);
  gate.SetRetry(false);
  EXPECT_EQ(gate.RetryDelay(answer("HTTP/1.1 429 Too Many Requests", ""), 1).count(), -1);
}

// A paced host's second request waits for its slot without taking the only worker: the
// requests of another host start meanwhile.
TEST(HostGate, APacedHostDoesNotHoldUpAnother) {
  RecordingServer a, b;
  for (RecordingServer* s : {&a, &b})
    s->Http().Get("/(\\w+)", [](const httplib::Request&, httplib::Response& res) { res.set_content("x", "text/plain"); });
  a.Start();
  b.Start();
  platform::HeadlessUiThread ui;
  std::vector<std::string> done;
  {
    TFormHTTPClient pool(ui, nullptr, 1);
    pool.HostGate().SetHostDelay(THostGate::HostKey(a.URL("/")), 3);
    auto add = [&](const std::string& url) {
      pool.AddHeadRequest(url, "", [&done, url](THTTPClient&) { done.push_back(url); });
    };
    add(a.URL("/a1"));
    add(a.URL("/a2"));
    add(b.URL("/b1"));
    add(b.URL("/b2"));
    add(b.URL("/b3"));
    ASSERT_TRUE(ui.ProcessUntil([&] { return pool.IsIdle(); }, 60s));
  }
  const std::vector<std::string> order = {a.URL("/a1"), b.URL("/b1"), b.URL("/b2"), b.URL("/b3"), a.URL("/a2")};
  EXPECT_EQ(done, order);
  const auto times = a.Requests();
  ASSERT_EQ(times.size(), 2u);
  // The gate spaces the starts; the arrivals follow them within a little.
  EXPECT_GE(times[1].Time - times[0].Time, 2500ms);
}

}  // namespace
