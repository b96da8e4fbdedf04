// The headless user-interface thread: the order in which it serves queued work and hand-overs,
// and where their errors go.
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "Kel/KelError.h"
#include "platform/Headless.h"

namespace {

using namespace std::chrono_literals;

// Waits (without serving anything) until `count` items are queued.
void WaitQueued(const platform::HeadlessUiThread& ui, size_t count) {
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (ui.Pending() < count && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
  ASSERT_EQ(ui.Pending(), count);
}

TEST(HeadlessUiThread, ServesPostedWorkAndHandOversInTheOrderTheyWereQueued) {
  platform::HeadlessUiThread ui;
  std::vector<std::string> order;
  ui.Post([&] { order.push_back("posted 1"); });
  std::thread first([&] { ui.Synchronize([&] { order.push_back("handed over 1"); }); });
  WaitQueued(ui, 2);
  std::thread poster([&] { ui.Post([&] { order.push_back("posted by a worker"); }); });
  poster.join();
  std::thread second([&] { ui.Synchronize([&] { order.push_back("handed over 2"); }); });
  WaitQueued(ui, 4);
  ui.Post([&] { order.push_back("posted 2"); });
  ui.ProcessMessages();
  first.join();
  second.join();
  EXPECT_EQ(order,
            (std::vector<std::string>{"posted 1", "handed over 1", "posted by a worker", "handed over 2", "posted 2"}));
  EXPECT_EQ(ui.Pending(), 0u);
}

TEST(HeadlessUiThread, OnItsOwnThreadSynchronizeRunsAtOnce) {
  platform::HeadlessUiThread ui;
  bool ran = false;
  ui.Synchronize([&] { ran = true; });
  EXPECT_TRUE(ran);
  EXPECT_EQ(ui.Pending(), 0u);
}

TEST(HeadlessUiThread, AHandOversErrorGoesBackToTheWorkerThatWaits) {
  platform::HeadlessUiThread ui;
  std::string caught;
  std::thread worker([&] {
    try {
      ui.Synchronize([] { throw EError("refused"); });
    } catch (const EError& e) {
      caught = e.what();
    }
  });
  WaitQueued(ui, 1);
  EXPECT_NO_THROW(ui.ProcessMessages());
  worker.join();
  EXPECT_EQ(caught, "refused");
}

TEST(HeadlessUiThread, PostedWorksErrorComesOutOfProcessMessagesAndTheRestStaysQueued) {
  platform::HeadlessUiThread ui;
  bool later = false;
  ui.Post([] { throw EAssertionFailed("broken"); });
  ui.Post([&] { later = true; });
  EXPECT_THROW(ui.ProcessMessages(), EAssertionFailed);
  EXPECT_FALSE(later);
  ui.ProcessMessages();
  EXPECT_TRUE(later);
}

}  // namespace
