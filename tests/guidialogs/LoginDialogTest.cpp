// The login question of a crawl whose site answers 401, as a person meets it: typed into, and
// remembered in the keyring or, without one, for the run as the dialog says.
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <chrono>

#include "DialogFixture.h"
#include "gui/FormLogin.h"
#include "gui/QtKeyring.h"
#include "support/DigestAuth.h"
#include "support/RecordingServer.h"

namespace {

const char* const kAnnBasic = "Basic YW5uOnMzY3JldA==";  // ann:s3cret

// A site whose two pages below the start page need ann's password.
void ServeStaging(RecordingServer& site) {
  site.Http().Get("/start.html", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("<title>Staging</title><a href='s1.html'>1</a><a href='s2.html'>2</a>", "text/html");
  });
  for (const char* path : {"/s1.html", "/s2.html"}) ServeBehindBasicLogin(site.Http(), path, kAnnBasic, "Staff only");
  site.Start();
}

class LoginDialogTest : public DialogFixture {};

TEST_F(LoginDialogTest, TheWindowAsksOnceTypedInAndTheKeyringKeepsIt) {
  OpenWindow();
  qt->Services.Ask = &qt->Ask;  // the real question, on screen
  RecordingServer site;
  ServeStaging(site);
  int shown = 0;
  bool noteShown = true, okAtFirst = true;
  QString realm;
  WhenModal([&](QWidget* w) {
    auto* dialog = qobject_cast<gui::TFormLogin*>(w);
    if (!dialog) return false;
    ++shown;
    noteShown = dialog->LabelNoKeyring->isVisible();
    okAtFirst = dialog->ButtonOK->isEnabled();
    realm = dialog->LabelRealm->text();
    QTest::keyClicks(dialog->EditUsername, QStringLiteral("ann"));
    QTest::keyClicks(dialog->EditPassword, QStringLiteral("s3cret"));
    QTest::mouseClick(dialog->CheckRemember, Qt::LeftButton, {}, QPoint(4, dialog->CheckRemember->height() / 2));
    QTest::keyClick(dialog, Qt::Key_Return);
    return true;
  });
  Crawl(site.URL("/start.html"));
  EXPECT_EQ(shown, 1);
  EXPECT_FALSE(noteShown) << "a keyring answers";
  EXPECT_FALSE(okAtFirst) << "no user name yet";
  EXPECT_EQ(realm.toStdString(), "It says: Staff only");
  for (const char* path : {"/s1.html", "/s2.html"}) {
    ASSERT_NE(Node(site.URL(path)), nullptr) << path;
    EXPECT_EQ(Node(site.URL(path))->ResponseCode, 200) << path;
    EXPECT_EQ(Node(site.URL(path))->Title(), "Secret") << path;
  }
  const std::string key = "Tessaly login http://127.0.0.1:" + std::to_string(site.Port());
  ASSERT_EQ(keyring.Secrets.count(key), 1u);
  EXPECT_EQ(keyring.Secrets[key], "ann\ns3cret");
  app->Map.Modified = false;
  qt->Services.Ask = &ask;
}

TEST_F(LoginDialogTest, WithoutAKeyringTheDialogSaysSoAndCancelAnswersNothing) {
  const struct {
    bool Keyring;
    bool Cancel;
  } cases[] = {{false, false}, {true, true}, {false, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Keyring ? "keyring" : "no keyring") + (c.Cancel ? ", cancelled" : ""));
    gui::TFormLogin dialog;
    bool note = !c.Keyring;
    WhenModal([&](QWidget* w) {
      if (w != &dialog) return false;
      note = dialog.LabelNoKeyring->isVisible();
      QTest::keyClicks(dialog.EditUsername, QStringLiteral("ann"));
      QTest::keyClicks(dialog.EditPassword, QStringLiteral("pw"));
      if (c.Cancel) QTest::keyClick(&dialog, Qt::Key_Escape);
      else dialog.ButtonOK->click();
      return true;
    });
    const auto login = dialog.Ask("https://staging.example.org", "", c.Keyring);
    EXPECT_EQ(note, !c.Keyring);
    EXPECT_FALSE(dialog.LabelRealm->isVisibleTo(&dialog)) << "no realm named";
    ASSERT_EQ(login.has_value(), !c.Cancel);
    if (login) {
      EXPECT_EQ(login->Username, "ann");
      EXPECT_EQ(login->Password, "pw");
      EXPECT_FALSE(login->Remember);
    }
  }
}

// The desktop's keyring answers in bounded time whether or not a keyring service runs, and
// keeps what is written when one does.
TEST(QtKeyringTest, AnswersAndKeepsWhatIsWrittenWhenPresent) {
  gui::QtKeyring keys(QStringLiteral("Tessaly test"));
  if (!keys.Available()) {
    EXPECT_FALSE(keys.Read("Tessaly login http://example.org"));
    EXPECT_FALSE(keys.Write("Tessaly login http://example.org", "x\ny"));
    return;
  }
  const std::string key = "Tessaly login test " + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
  ASSERT_TRUE(keys.Write(key, "ann\ns3cret"));
  EXPECT_EQ(keys.Read(key).value_or(""), "ann\ns3cret");
}

}  // namespace
