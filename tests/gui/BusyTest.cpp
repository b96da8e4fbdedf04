// Busy and idle during a real crawl: the Start/Stop button, the address box, the browse button,
// the status panels and the busy sweep, switched by the request pool's notifications.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QWindow>

#include "GuiFixture.h"
#include "gui/FormHTTPClientView.h"
#include "gui/StatusPanels.h"

namespace {

class BusyTest : public GuiFixture {
 protected:
  BusyTest() {
    site.Http().Get("/", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("<title>Home</title><a href='slow.html'>slow</a>", "text/html");
    });
    // The slow page answers its full request only once the test opens the gate.
    site.Http().Get("/slow.html", [this](const httplib::Request& req, httplib::Response& res) {
      if (req.method == "GET") {
        slowReads.Add();
        gate.Wait();
      }
      res.set_content("<title>Slow</title>done", "text/html");
    });
    site.Start();
  }
  ~BusyTest() override { gate.Open(); }

  void Start() {
    QLineEdit* edit = window->EditURL->lineEdit();
    edit->setFocus();
    QTest::keyClicks(edit, QString::fromStdString(site.URL("/")));
    QTest::keyClick(edit, Qt::Key_Return);
    ASSERT_TRUE(ServeUntil([this] { return app->Main.Busy; }));
  }
  void ExpectIdle() {
    EXPECT_EQ(window->ButtonSpider->text(), QStringLiteral("Start"));
    EXPECT_TRUE(window->ButtonSpider->isEnabled());
    EXPECT_TRUE(window->EditURL->isEnabled());
    EXPECT_TRUE(window->ButtonBrowse->isEnabled());
    EXPECT_EQ(window->StatusBar->Text(1), QString());
    EXPECT_EQ(window->StatusBar->Text(2), QStringLiteral("Idle"));
    EXPECT_FALSE(window->StatusBar->Busy());
    EXPECT_FALSE(window->Timer.isActive());
  }

  // Stop and Escape are tested while the slow page's read is held: only then is a request
  // sure to be running when the key or the click arrives.
  void StartUntilTheSlowReadIsHeld() {
    Start();
    ASSERT_TRUE(ServeUntil([this] { return slowReads.Value() > 0 && app->Pool.ActiveCount() > 0; }));
  }

  TestServer site;
  TestGate gate;
  TestCounter slowReads;  // full reads of the slow page begun
};

TEST_F(BusyTest, ACrawlTurnsTheWindowBusyThenIdle) {
  ExpectIdle();
  Start();
  EXPECT_EQ(window->ButtonSpider->text(), QStringLiteral("Stop"));
  EXPECT_TRUE(window->ButtonSpider->isEnabled());
  EXPECT_FALSE(window->EditURL->isEnabled());
  EXPECT_FALSE(window->ButtonBrowse->isEnabled());
  EXPECT_TRUE(window->StatusBar->Text(1).startsWith(QStringLiteral("Requesting: ")));
  EXPECT_TRUE(window->StatusBar->Busy());
  EXPECT_TRUE(window->Timer.isActive());
  EXPECT_EQ(window->Timer.interval(), 60);
  // Start shows the Connection Status window with the running request.
  EXPECT_TRUE(window->FormHTTPClient->isVisible());
  EXPECT_TRUE(window->Menu->TBStatus->isChecked());
  // The sweep moves on each tick.
  const int before = app->Main.BusyPosition;
  ASSERT_TRUE(ServeUntil([&] { return app->Main.BusyPosition != before; }));
  gate.Open();
  WaitIdle();
  ExpectIdle();
  EXPECT_EQ(window->FormHTTPClient->Model->rowCount(), 0);
  EXPECT_EQ(window->FormHTTPClient->LabelActive->text(), QStringLiteral("0"));
}

TEST_F(BusyTest, StopDisablesTheButtonUntilTheRunningRequestsEnd) {
  StartUntilTheSlowReadIsHeld();
  QTest::mouseClick(window->ButtonSpider, Qt::LeftButton);
  EXPECT_FALSE(window->ButtonSpider->isEnabled());
  EXPECT_TRUE(app->Pool.Suspended());
  gate.Open();
  ASSERT_TRUE(ServeUntil([this] { return !app->Main.Busy; }));
  ExpectIdle();
}

// Escape, typed into the window, stops the crawl as the Stop button does.
TEST_F(BusyTest, EscapeStopsTheCrawl) {
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  StartUntilTheSlowReadIsHeld();
  QTest::keyClick(window->windowHandle(), Qt::Key_Escape);
  EXPECT_TRUE(app->Pool.Suspended());
  EXPECT_FALSE(window->ButtonSpider->isEnabled());
  gate.Open();
  ASSERT_TRUE(ServeUntil([this] { return !app->Main.Busy; }));
  ExpectIdle();
}

TEST_F(BusyTest, TerminateAsksAndEmptiesTheQueue) {
  Start();
  ask.QueueAnswer(platform::Answer::Yes);
  QTest::mouseClick(window->FormHTTPClient->ButtonTerminate, Qt::LeftButton);
  EXPECT_EQ(ask.TextsOf("YesNo"), (std::vector<std::string>{"Do you want to terminate all the current tasks?"}));
  gate.Open();
  ASSERT_TRUE(ServeUntil([this] { return !app->Main.Busy; }));
  EXPECT_EQ(window->FormHTTPClient->Model->rowCount(), 0);
  EXPECT_EQ(app->Main.Tree.Root(rkAll) != nullptr, true);
  ExpectIdle();
}

TEST_F(BusyTest, ADoubleClickOnARequestOpensItsAddressInTheBrowser) {
  std::vector<std::string> shown;
  qt->Web.Override = [&](const std::string& target) {
    shown.push_back(target);
    return true;
  };
  Start();
  QAbstractItemView* rows = window->FormHTTPClient->ListView;
  ASSERT_TRUE(ServeUntil([&] { return rows->model()->rowCount() > 0; }));
  const QModelIndex first = rows->model()->index(0, 0);
  const std::string address = app->Pool.Row(0).URL;
  ask.QueueAnswer(platform::Answer::Yes);  // offline: connect anyway
  QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, rows->visualRect(first).center());
  QTest::mouseDClick(rows->viewport(), Qt::LeftButton, {}, rows->visualRect(first).center());
  EXPECT_EQ(shown, std::vector<std::string>{address});
  EXPECT_EQ(ask.TextsOf("YesNo"),
            std::vector<std::string>{"You don't seem to be connected to the internet. Do you wish to connect now?"});
  gate.Open();
  WaitIdle();
}

}  // namespace
