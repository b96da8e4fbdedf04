// The request pool: real workers, real HTTP on loopback, the headless user-interface thread.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <set>
#include <thread>

#include "Dialogs/UnitHTTPClient.h"
#include "Kel/KelError.h"
#include "Kel/KelIni.h"
#include "app/UnitHTTPSettings.h"
#include "platform/Headless.h"
#include "support/TempDir.h"
#include "support/TestServer.h"

namespace {

using namespace std::chrono_literals;

TEST(ProgressText, PercentOfTheExpectedTotal) {
  struct Case {
    int32_t Pos, Max;
    const char* Text;
  };
  const Case cases[] = {
      {0, 0, "0%"},    {100, 0, "0%"},  {50, 100, "50%"},   {1, 3, "33%"},
      {2, 3, "67%"},   {1, 200, "0%"},  {3, 200, "2%"},     {5, 200, "2%"},                    // halves go to even
      {-5, 100, "0%"}, {5, -100, "0%"}, {150, 100, "150%"}, {2000000000, 2000000000, "100%"},  // no 32-bit overflow
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.Pos) + "/" + std::to_string(c.Max));
    EXPECT_EQ(TFormHTTPClient::ProgressText(c.Pos, c.Max), c.Text);
  }
}

// Records what the queue list tells its observers.
struct RowLog : TRequestListObserver {
  std::vector<std::string> Events;
  std::vector<TRequestItem> Changed;
  std::vector<std::string> ChangedCaptions;
  TFormHTTPClient* Pool = nullptr;
  void RowAdded(int row) override { Events.push_back("added " + std::to_string(row)); }
  void RowRemoved(int row) override { Events.push_back("removed " + std::to_string(row)); }
  void RowChanged(int row) override {
    Changed.push_back(Pool->Row(row).Item);
    ChangedCaptions.push_back(Pool->Row(row).Caption());
  }
  void ListReset() override { Events.push_back("reset"); }
};

class PoolTest : public ::testing::Test {
 protected:
  PoolTest() {
    auto& http = Server.Http();
    http.Get("/gate/(\\w+)", [this](const httplib::Request& req, httplib::Response& res) {
      const std::string name = req.matches[1];
      Arrived(name);
      GateFor(name).Wait();
      res.set_content("gated " + name, "text/html");
    });
    http.Get("/big.html", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(std::string(100000, 'b'), "text/html");
    });
    http.Get("/.*", [this](const httplib::Request& req, httplib::Response& res) {
      Arrived(req.path);
      res.set_content("<html>" + req.path + "</html>", "text/html");
    });
    Server.Start();
  }
  ~PoolTest() override {
    // Release every waiting handler before the pool and the server go.
    std::lock_guard lock(GatesMutex);
    for (auto& [name, gate] : Gates) gate->Open();
  }

  TestGate& GateFor(const std::string& name) {
    std::lock_guard lock(GatesMutex);
    auto& gate = Gates[name];
    if (!gate) gate = std::make_unique<TestGate>();
    return *gate;
  }
  void Arrived(const std::string& name) {
    {
      std::lock_guard lock(GatesMutex);
      Arrivals.push_back(name);
    }
    ArrivalCount.Add();
  }
  std::vector<std::string> ArrivalList() {
    std::lock_guard lock(GatesMutex);
    return Arrivals;
  }
  bool Idle() { return Pool.IsEmpty() && !Pool.IsBusy(); }
  bool WaitIdle() {
    return Ui.ProcessUntil([&] { return Idle(); }, 20s);
  }

  std::mutex GatesMutex;
  std::map<std::string, std::unique_ptr<TestGate>> Gates;
  std::vector<std::string> Arrivals;
  TestCounter ArrivalCount;
  TestServer Server;
  platform::HeadlessUiThread Ui;
  platform::HeadlessPrompter Prompter;
  TFormHTTPClient Pool{Ui, &Prompter};
};

TEST_F(PoolTest, OneRequestStartsAtOnceWhileTheDisplayStillShowsItPending) {
  struct Note {
    bool Busy, Empty;
    std::string Status;
  };
  std::vector<Note> notes;
  Pool.OnStatusChange = [&](TFormHTTPClient& p) { notes.push_back({p.IsBusy(), p.IsEmpty(), p.Display().StatusText}); };
  int calls = 0;
  bool onUiThread = false;
  std::string url, referer, text;
  Pool.AddHeadRequest(Server.URL("/dir/page.html"), "http://127.0.0.1/from.html", [&](THTTPClient& c) {
    ++calls;
    onUiThread = Ui.IsUiThread();
    url = c.URL.Compose();
    referer = c.Request.Referer;
    text = c.Response.ResponseText;
  });
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_FALSE(notes[0].Busy);
  EXPECT_FALSE(notes[0].Empty);
  EXPECT_EQ(Pool.Display().Active, 0);
  EXPECT_EQ(Pool.Display().Pending, 1);
  EXPECT_EQ(Pool.Display().StatusText, "Active Threads: 0  Total Threads: 1");
  EXPECT_EQ(Pool.Row(0).Caption(), "page.html");
  EXPECT_EQ(Pool.Row(0).Item.Status, "Pending");
  EXPECT_TRUE(Pool.Row(0).Started);
  EXPECT_EQ(Pool.CurrentURL, Server.URL("/dir/page.html"));

  ASSERT_TRUE(Ui.ProcessUntil([&] { return Idle() && !notes.back().Busy; }, 20s));
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(onUiThread);
  EXPECT_EQ(url, Server.URL("/dir/page.html"));
  EXPECT_EQ(referer, "http://127.0.0.1/from.html");
  EXPECT_EQ(text, "HTTP/1.1 200 OK");
  // The clean-up's queue step still counts the worker; the last notification finds the pool idle.
  const bool sawWorker = std::any_of(notes.begin(), notes.end(),
                                     [](const Note& n) { return n.Status == "Active Threads: 1  Total Threads: 1"; });
  EXPECT_TRUE(sawWorker);
  EXPECT_TRUE(notes.back().Empty);
  EXPECT_EQ(Pool.Display().StatusText, "Active Threads: 0  Total Threads: 0");
  EXPECT_FALSE(Pool.Display().SuspendEnabled);
}

TEST_F(PoolTest, SixRequestsRunFourAtATimeAndEachCleanUpStartsAtMostOne) {
  int calls = 0;
  for (int i = 1; i <= 6; ++i)
    Pool.AddHeadRequest(Server.URL("/gate/g" + std::to_string(i)), "", [&](THTTPClient&) { ++calls; });
  EXPECT_EQ(Pool.ActiveCount(), 4);
  EXPECT_EQ(Pool.RowCount(), 6);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(Pool.Row(i).Started, i < 4) << i;
  ASSERT_TRUE(Ui.ProcessUntil([&] { return ArrivalCount.Value() >= 4; }, 20s));

  // The first to finish counts itself in its clean-up: nothing new starts.
  GateFor("g1").Open();
  ASSERT_TRUE(Ui.ProcessUntil([&] { return calls == 1 && Pool.ActiveCount() == 3; }, 20s));
  ASSERT_EQ(Pool.RowCount(), 5);
  EXPECT_EQ(Pool.Row(3).URL, Server.URL("/gate/g5"));
  EXPECT_FALSE(Pool.Row(3).Started);

  // The second one's clean-up finds three others and starts the fifth.
  GateFor("g2").Open();
  ASSERT_TRUE(Ui.ProcessUntil([&] { return calls == 2 && Pool.RowCount() == 4 && Pool.ActiveCount() == 3; }, 20s));
  ASSERT_EQ(Pool.RowCount(), 4);
  EXPECT_TRUE(Pool.Row(2).Started);   // g5
  EXPECT_FALSE(Pool.Row(3).Started);  // g6
  EXPECT_EQ(Pool.CurrentURL, Server.URL("/gate/g5"));

  for (const char* g : {"g3", "g4", "g5", "g6"}) GateFor(g).Open();
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(calls, 6);
}

TEST_F(PoolTest, SuspendedRequestsStayPendingUntilResumed) {
  int calls = 0;
  Pool.AddHeadRequest(Server.URL("/gate/first"), "", [&](THTTPClient&) {
    ++calls;
    Pool.AddHeadRequest(Server.URL("/a.html"), "", [&](THTTPClient&) { ++calls; });
    Pool.AddHeadRequest(Server.URL("/b.html"), "", [&](THTTPClient&) { ++calls; });
  });
  Pool.SuspendRequests();
  GateFor("first").Open();
  ASSERT_TRUE(Ui.ProcessUntil([&] { return calls == 1 && !Pool.IsBusy(); }, 20s));
  ASSERT_EQ(Pool.RowCount(), 2);
  EXPECT_FALSE(Pool.Row(0).Started);
  EXPECT_FALSE(Pool.Row(1).Started);
  EXPECT_EQ(Pool.Display().SuspendCaption, "Resume");
  EXPECT_TRUE(Pool.Display().SuspendEnabled);

  Pool.ResumeRequests();
  EXPECT_TRUE(Pool.Row(0).Started);
  EXPECT_EQ(Pool.Display().SuspendCaption, "Suspend");
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(calls, 3);
}

TEST_F(PoolTest, TerminateAllDuringACrawlEndsEverythingWithinASecond) {
  SilentTestServer silent;
  int calls = 0;
  int addedWhileClosing = 0;
  Pool.OnStatusChange = [&](TFormHTTPClient& p) {
    if (p.Closing() && addedWhileClosing == 0) {
      ++addedWhileClosing;
      p.AddHeadRequest(Server.URL("/late.html"), "", [&](THTTPClient&) { ++calls; });  // dropped
    }
  };
  for (int i = 0; i < 6; ++i)
    Pool.AddGetRequest(silent.URL("/p" + std::to_string(i)), "", std::make_unique<std::string>(),
                       [&](THTTPClient&) { ++calls; });
  ASSERT_TRUE(Ui.ProcessUntil([&] { return silent.Requests.Value() >= 4; }, 20s));
  const auto start = std::chrono::steady_clock::now();
  Pool.TerminateAll();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  EXPECT_EQ(calls, 0);
  EXPECT_GT(addedWhileClosing, 0);
  EXPECT_EQ(Pool.RowCount(), 0);
  EXPECT_FALSE(Pool.IsBusy());
  EXPECT_TRUE(Pool.Suspended());
  EXPECT_FALSE(Pool.Closing());
  EXPECT_EQ(Pool.Display().StatusText, "Active Threads: 0  Total Threads: 0");
  Ui.ProcessMessages();
  EXPECT_EQ(calls, 0);

  // Afterwards requests are accepted again, and wait for a resume.
  Pool.OnStatusChange = nullptr;
  Pool.AddHeadRequest(Server.URL("/after.html"), "", [&](THTTPClient&) { ++calls; });
  ASSERT_EQ(Pool.RowCount(), 1);
  EXPECT_FALSE(Pool.Row(0).Started);
  Pool.ResumeRequests();
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(calls, 1);
}

TEST_F(PoolTest, TerminateAllFromInsideACallbackDoesNotDeadlock) {
  SilentTestServer silent;
  int calls = 0;
  for (int i = 0; i < 3; ++i)
    Pool.AddHeadRequest(silent.URL("/s" + std::to_string(i)), "", [&](THTTPClient&) { ++calls; });
  Pool.AddHeadRequest(Server.URL("/gate/trigger"), "", [&](THTTPClient&) {
    ++calls;
    Pool.TerminateAll();  // as New Project would, from a completion
  });
  ASSERT_TRUE(Ui.ProcessUntil([&] { return silent.Requests.Value() >= 3; }, 20s));
  GateFor("trigger").Open();
  ASSERT_TRUE(Ui.ProcessUntil([&] { return Idle() && !Pool.Closing(); }, 20s));
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(Pool.Suspended());
}

TEST_F(PoolTest, RequestWithoutAddressDisappearsWithoutItsCallback) {
  RowLog log;
  log.Pool = &Pool;
  Pool.AddObserver(&log);
  bool called = false;
  Pool.AddHeadRequest("", "", [&](THTTPClient&) { called = true; });
  ASSERT_TRUE(WaitIdle());
  EXPECT_FALSE(called);
  EXPECT_EQ(log.Events, (std::vector<std::string>{"added 0", "removed 0"}));
  Pool.RemoveObserver(&log);
}

TEST_F(PoolTest, QueueLimitSuspendsWithItsMessageOnce) {
  Pool.SuspendRequests();
  for (size_t i = 0; i <= TFormHTTPClient::kQueueLimit; ++i) Pool.AddHeadRequest(Server.URL("/n"), "", nullptr);
  EXPECT_TRUE(Prompter.TextsOf("Notice").empty());  // 10001 rows: not more than the limit before this add
  Pool.AddHeadRequest(Server.URL("/n"), "", nullptr);
  Pool.AddHeadRequest(Server.URL("/n"), "", nullptr);
  // The message as always, then the way past the limit: the setting and the option.
  EXPECT_EQ(Prompter.TextsOf("Notice"), std::vector<std::string>{QueueLimitText(10000)});
  EXPECT_EQ(QueueLimitText(10000).substr(0, std::string(kQueueLimitMessage).size()),
            "Warning! Spider has reached maximum queue size limit.\r\rSpider task has been suspended");
  EXPECT_NE(QueueLimitText(10000).find("\"Largest queue (requests)\""), std::string::npos);
  EXPECT_NE(QueueLimitText(10000).find("--max-queue N"), std::string::npos);
  EXPECT_TRUE(Pool.LimitHolds(TCrawlLimit::Queue));
  EXPECT_EQ(Pool.RowCount(), 10003);  // still added
  EXPECT_TRUE(Pool.MessageShown());
  EXPECT_EQ(Pool.ActiveCount(), 0);
  Pool.TerminateAll();
  EXPECT_EQ(Pool.RowCount(), 0);
}

// Resuming past a limit lifts it for the rest of the crawl; TerminateAll (the end of the crawl)
// restores it; a limit of 0 never suspends.
TEST_F(PoolTest, ResumingPastTheQueueLimitLiftsItUntilTheCrawlEnds) {
  struct Case {
    size_t Limit;
    bool Resume;     // resumed after the first suspension
    int Notices;     // after 3 * 5 more requests
    bool Holds;      // the limit holds at the end
  };
  const Case cases[] = {{5, false, 1, true}, {5, true, 1, false}, {0, false, 0, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.Limit) + (c.Resume ? " resumed" : ""));
    Prompter.Log.clear();
    Pool.QueueLimit = c.Limit;
    Pool.SuspendRequests();
    for (int i = 0; i < 7; ++i) Pool.AddHeadRequest(Server.URL("/n"), "", nullptr);
    EXPECT_EQ(Pool.LimitHolds(TCrawlLimit::Queue), c.Limit > 0);
    if (c.Resume) {
      Pool.ResumeRequests();
      EXPECT_TRUE(Pool.LimitLifted(TCrawlLimit::Queue));
      EXPECT_FALSE(Pool.LimitHolds());
      Pool.SuspendRequests();  // nothing runs, so the queue stays long
    }
    for (int i = 0; i < 15; ++i) Pool.AddHeadRequest(Server.URL("/n"), "", nullptr);
    EXPECT_EQ(static_cast<int>(Prompter.TextsOf("Notice").size()), c.Notices);
    EXPECT_EQ(Pool.LimitHolds(), c.Holds);
    Pool.TerminateAll();
    EXPECT_FALSE(Pool.LimitHolds());
    EXPECT_FALSE(Pool.LimitLifted(TCrawlLimit::Queue));
    Pool.ResumeRequests();
  }
}

TEST_F(PoolTest, SuspendWithMessageShowsItsBoxOncePerResume) {
  Pool.SuspendWithMessage("Limit A");
  Pool.SuspendWithMessage("Limit B");
  EXPECT_TRUE(Pool.Suspended());
  Pool.ResumeRequests();
  EXPECT_FALSE(Pool.Suspended());
  EXPECT_FALSE(Pool.MessageShown());
  Pool.SuspendWithMessage("Limit C");
  EXPECT_EQ(Prompter.TextsOf("Notice"), (std::vector<std::string>{"Limit A", "Limit C"}));
}

TEST_F(PoolTest, CallbacksRunInQueueOrderAndTheirErrorsAreSwallowed) {
  TFormHTTPClient single(Ui, &Prompter, 1);
  std::vector<std::string> order;
  std::string body;
  int32_t length = 0;
  single.AddGetRequest(Server.URL("/a.html"), "", std::make_unique<std::string>(), [&](THTTPClient& c) {
    order.push_back(c.URL.Document);
    body = *c.Response.ContentStream;
    length = c.Response.ContentLength;
    single.AddHeadRequest(Server.URL("/c.html"), "", [&](THTTPClient& c2) { order.push_back(c2.URL.Document); });
    throw EError("broken page");
  });
  single.AddHeadRequest(Server.URL("/b.html"), "", [&](THTTPClient& c) { order.push_back(c.URL.Document); });
  ASSERT_TRUE(Ui.ProcessUntil([&] { return single.IsEmpty() && !single.IsBusy(); }, 20s));
  EXPECT_EQ(order, (std::vector<std::string>{"a.html", "b.html", "c.html"}));
  EXPECT_EQ(body, "<html>/a.html</html>");
  EXPECT_EQ(length, 20);
}

TEST_F(PoolTest, AnAssertionFailureInACallbackIsNotSwallowed) {
  TFormHTTPClient single(Ui, &Prompter, 1);
  std::vector<std::string> order;
  single.AddHeadRequest(Server.URL("/a.html"), "", [&](THTTPClient& c) {
    order.push_back(c.URL.Document);
    KelAssert(false, "a completion met a programming error");
  });
  single.AddHeadRequest(Server.URL("/b.html"), "", [&](THTTPClient& c) { order.push_back(c.URL.Document); });
  // The failure comes out of the user-interface thread's message processing; the pool goes on.
  bool raised = false;
  for (int i = 0; i < 2000 && !raised; ++i) {
    try {
      Ui.WaitAndProcess(10ms);
    } catch (const EAssertionFailed& e) {
      raised = true;
      EXPECT_NE(std::string(e.what()).find("a completion met a programming error"), std::string::npos);
    }
  }
  EXPECT_TRUE(raised);
  ASSERT_TRUE(Ui.ProcessUntil([&] { return single.IsEmpty() && !single.IsBusy(); }, 20s));
  EXPECT_EQ(order, (std::vector<std::string>{"a.html", "b.html"}));
}

TEST_F(PoolTest, OnceThePoolIsNoLongerBusyItsStatusNotificationHasSaidSo) {
  // What the window shows follows the status notification: whoever sees the pool idle must find
  // the window told so too, whenever it looks.
  bool notifiedBusy = false;
  Pool.OnStatusChange = [&](TFormHTTPClient& p) { notifiedBusy = p.IsBusy(); };
  for (int i = 0; i < 20; ++i) {
    Pool.AddHeadRequest(Server.URL("/p" + std::to_string(i) + ".html"), "", [](THTTPClient&) {});
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (Pool.IsBusy() || !Pool.IsEmpty()) {
      ASSERT_LT(std::chrono::steady_clock::now(), deadline);
      Ui.ProcessMessages();
    }
    EXPECT_FALSE(notifiedBusy) << "request " << i;
  }
}

TEST_F(PoolTest, AWorkerAndItsConnectionServeRequestAfterRequest) {
  std::mutex mutex;
  std::set<int> ports;
  TestServer server;
  server.Http().Get("/port/.*", [&](const httplib::Request& req, httplib::Response& res) {
    {
      std::lock_guard lock(mutex);
      ports.insert(req.remote_port);
    }
    res.set_content("x", "text/plain");
  });
  server.Http().set_keep_alive_max_count(100);  // the server's default closes after 5 requests
  server.Start();
  TFormHTTPClient single(Ui, &Prompter, 1);
  std::set<std::thread::id> threads;
  std::vector<std::string> workOrder, callbackOrder;
  for (int i = 0; i < 8; ++i) {
    const std::string name = "r" + std::to_string(i);
    single.AddGetRequest(
        server.URL("/port/" + name), "", std::make_unique<std::string>(),
        [&, name](THTTPClient& c) {
          callbackOrder.push_back(name);
          EXPECT_EQ(*c.Response.ContentStream, "x");
        },
        [&, name](THTTPClient& c) {
          // On the worker, after the fetch: the answer is there already.
          EXPECT_EQ(c.Response.ResponseCode(), 200);
          EXPECT_FALSE(Ui.IsUiThread());
          std::lock_guard lock(mutex);
          threads.insert(std::this_thread::get_id());
          workOrder.push_back(name);
        });
  }
  ASSERT_TRUE(Ui.ProcessUntil([&] { return single.IsIdle(); }, 20s));
  EXPECT_EQ(callbackOrder, workOrder);
  EXPECT_EQ(callbackOrder.size(), 8u);
  EXPECT_EQ(threads.size(), 1u);  // one thread for every request
  EXPECT_EQ(ports.size(), 1u);    // over one connection
}

TEST_F(PoolTest, FailuresAndLocalFilesAreOrdinaryAnswers) {
  RefusingTestPort refused;
  TempDir dir;
  dir.Write("page.html", "<html></html>");
  std::map<std::string, std::string> answers;
  auto record = [&](THTTPClient& c) { answers[c.URL.Document] = c.Response.ResponseText; };
  Pool.AddHeadRequest(refused.URL("/refused.html"), "", record);
  Pool.AddHeadRequest("file://LocalHost" + dir.File("page.html"), "", record);
  Pool.AddHeadRequest("file://LocalHost" + dir.File("missing.html"), "", record);
  ASSERT_TRUE(WaitIdle());
  ASSERT_EQ(answers.size(), 3u);
  EXPECT_FALSE(answers["refused.html"].empty());
  EXPECT_EQ(ResponseCodeOf(answers["refused.html"]), -1);
  EXPECT_EQ(answers["page.html"], "HTTP/1.1 200 OK");
  EXPECT_EQ(answers["missing.html"], "HTTP/1.1 404 Not Found");
}

TEST_F(PoolTest, RowsShowProgressWhileTheRequestRuns) {
  RowLog log;
  log.Pool = &Pool;
  Pool.AddObserver(&log);
  int counts = 0;
  struct Counts : TRequestListObserver {
    int* N;
    void CountsChanged() override { ++*N; }
  } countsObserver;
  countsObserver.N = &counts;
  Pool.AddObserver(&countsObserver);
  Pool.AddGetRequest(Server.URL("/big.html"), "", std::make_unique<std::string>(), nullptr);
  ASSERT_TRUE(WaitIdle());
  ASSERT_FALSE(log.Changed.empty());
  const TRequestItem& last = log.Changed.back();
  EXPECT_EQ(last.ImageIndex, 1);
  EXPECT_EQ(log.ChangedCaptions.back(), "big.html");
  EXPECT_EQ(last.Progress, "100%");
  EXPECT_FALSE(last.Status.empty());
  EXPECT_EQ(log.Events, (std::vector<std::string>{"added 0", "removed 0"}));
  EXPECT_GE(counts, 2);
  Pool.RemoveObserver(&log);
  Pool.RemoveObserver(&countsObserver);
}

TEST_F(PoolTest, EveryWorkerTakesTheHTTPSettings) {
  TestServer proxy;
  std::string target;
  std::mutex mutex;
  proxy.Http().Get(".*", [&](const httplib::Request& req, httplib::Response& res) {
    std::lock_guard lock(mutex);
    target = req.target;
    res.set_content("proxied", "text/html");
  });
  proxy.Start();
  TempDir dir;
  TIniFile ini(dir.File("Settings.ini"), true);
  TFormHTTPSettings settings(ini, nullptr);
  settings.SetValues({"127.0.0.1", std::to_string(proxy.Port()), "", "", false});
  Pool.SetClientSetup([&](THTTPClient& c) { settings.ApplyTo(c); });
  std::string text;
  Pool.AddHeadRequest("http://origin.invalid/x.html", "", [&](THTTPClient& c) { text = c.Response.ResponseText; });
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(text, "HTTP/1.1 200 OK");
  std::lock_guard lock(mutex);
  EXPECT_EQ(target, "http://origin.invalid/x.html");
}

TEST_F(PoolTest, Buttons) {
  Pool.SuspendRequests();
  Pool.AddHeadRequest(Server.URL("/x.html"), "", nullptr);
  EXPECT_EQ(Pool.Display().SuspendCaption, "Resume");
  EXPECT_TRUE(Pool.Display().TerminateEnabled);
  Prompter.QueueAnswer(platform::Answer::No);
  Pool.ButtonTerminateClick();
  EXPECT_EQ(Pool.RowCount(), 1);
  Prompter.QueueAnswer(platform::Answer::Yes);
  Pool.ButtonTerminateClick();
  EXPECT_EQ(Pool.RowCount(), 0);
  EXPECT_EQ(Prompter.TextsOf("YesNo"),
            (std::vector<std::string>(2, "Do you want to terminate all the current tasks?")));
  Pool.ButtonSuspendClick();
  EXPECT_FALSE(Pool.Suspended());
  Pool.ButtonSuspendClick();
  EXPECT_TRUE(Pool.Suspended());
  EXPECT_TRUE(Prompter.Unexpected.empty());
}

TEST(PoolLifetime, DestroyingThePoolStopsAndJoinsItsWorkers) {
  platform::HeadlessUiThread ui;
  SilentTestServer silent;
  int calls = 0;
  auto pool = std::make_unique<TFormHTTPClient>(ui);
  for (int i = 0; i < 5; ++i)
    pool->AddHeadRequest(silent.URL("/x" + std::to_string(i)), "", [&](THTTPClient&) { ++calls; });
  ASSERT_TRUE(ui.ProcessUntil([&] { return silent.Requests.Value() >= 4; }, 20s));
  const auto start = std::chrono::steady_clock::now();
  pool.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  ui.ProcessMessages();
  EXPECT_EQ(calls, 0);
}

}  // namespace
