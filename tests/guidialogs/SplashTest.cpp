// The splash screen: the NoSplash switch, the fade, and clicks before and after the fifth tick;
// the About box's figures; the closing notice.
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QTest>

#include "DialogFixture.h"
#include "gui/FormAbout.h"
#include "gui/FormSplash.h"
#include "gui/QtPrompter.h"
#include <QMessageBox>

namespace {

TEST(SplashSwitch, NoSplashInAnyLetterCaseAfterSlashOrDash) {
  struct Case {
    QStringList Arguments;
    bool NoSplash;
  } cases[] = {
      {{"tessaly"}, false},
      {{"tessaly", "/NoSplash"}, true},
      {{"tessaly", "-nosplash"}, true},
      {{"tessaly", "/NOSPLASH", "http://x/"}, true},
      {{"tessaly", "NoSplash"}, false},
      {{"tessaly", "-NoSplashes"}, false},
      {{"tessaly", "http://x/NoSplash"}, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(gui::HasNoSplashSwitch(c.Arguments), c.NoSplash) << c.Arguments.join(' ').toStdString();
}

class SplashTest : public DialogFixture {
 protected:
  std::string Picture() {
    QImage image(120, 80, QImage::Format_RGB32);
    image.fill(Qt::darkBlue);
    const std::string file = dir.File("app/Setup.bmp");
    EXPECT_TRUE(image.save(QString::fromStdString(file), "BMP"));
    return file;
  }
};

TEST_F(SplashTest, FadesInIgnoresEarlyClicksAndHidesAfterTenTicks) {
  gui::TFormSplash splash;
  EXPECT_FALSE(splash.ShowSplash(dir.File("app/missing.bmp"), "Quorlix Tessaly", false));
  const std::string picture = Picture();
  EXPECT_FALSE(splash.ShowSplash(picture, "Quorlix Tessaly", true));  // NoSplash
  ASSERT_TRUE(splash.ShowSplash(picture, "Quorlix Tessaly", false));
  splash.Timer.stop();  // the test ticks by hand
  EXPECT_EQ(splash.size(), QSize(120, 80));
  EXPECT_EQ(splash.LabelMessage->text().toStdString(), "Loading Quorlix Tessaly - Please wait.");
  for (int tick = 1; tick <= 4; ++tick) {
    splash.Tick();
    QTest::mouseClick(&splash, Qt::LeftButton);
    EXPECT_TRUE(splash.isVisible()) << tick;
  }
  EXPECT_NEAR(splash.windowOpacity(), 240 / 255.0, 0.01);
  splash.Tick();
  QTest::mouseClick(&splash, Qt::LeftButton);
  EXPECT_FALSE(splash.isVisible());
  // Left alone, the tenth tick hides it.
  ASSERT_TRUE(splash.ShowSplash(picture, "Quorlix Tessaly", false));
  splash.Timer.stop();
  for (int tick = 1; tick < 10; ++tick) splash.Tick();
  EXPECT_TRUE(splash.isVisible());
  splash.Tick();
  EXPECT_FALSE(splash.isVisible());
}

TEST_F(SplashTest, AboutBoxShowsTheMemoryFiguresAndClosingNoticeShows) {
  const gui::TMemoryStatus memory = gui::ReadMemoryStatus();
  EXPECT_GT(memory.TotalPhysical, 0);
  EXPECT_GE(memory.MemoryLoad, 0);
  EXPECT_LE(memory.MemoryLoad, 100);
  gui::TFormAboutBox box([](const std::string& text) { return text == "% Used" ? std::string("% belegt") : text; },
                         nullptr);
  // The load is read again when the box is made and may have moved since: its form is checked,
  // and its figure is a share.
  const std::string usage = box.LabelUsage->text().toStdString();
  const std::string suffix = "% belegt";
  ASSERT_GT(usage.size(), suffix.size());
  EXPECT_EQ(usage.substr(usage.size() - suffix.size()), suffix);
  const std::string figure = usage.substr(0, usage.size() - suffix.size());
  ASSERT_FALSE(figure.empty());
  EXPECT_EQ(figure.find_first_not_of("0123456789"), std::string::npos) << usage;
  EXPECT_LE(std::stoi(figure), 100);
  EXPECT_NE(box.LabelPhysical->text().toStdString().find("KB"), std::string::npos);
  EXPECT_NE(box.windowTitle().toStdString().find("Quorlix Tessaly"), std::string::npos);
  // The memory figure is labelled in this system's words; no label names another platform.
  bool labelled = false;
  for (const QLabel* label : box.findChildren<QLabel*>()) {
    EXPECT_EQ(label->text().indexOf(QStringLiteral("Windows")), -1) << label->text().toStdString();
    labelled = labelled || label->text() == QStringLiteral("Physical memory of this computer:");
  }
  EXPECT_TRUE(labelled);
  gui::TFormShutDown notice;
  notice.ShowNotice();
  EXPECT_TRUE(notice.isVisible());
  EXPECT_EQ(notice.LabelMessage->text().toStdString(), "Please wait while closing down connections...");
}

TEST_F(SplashTest, MessagesPassThroughTheStringTable) {
  gui::QtPrompter prompter;
  prompter.Translate = [](const std::string& text) {
    return text == "Spell checking is complete." ? std::string("Fertig.") : text;
  };
  QString shown;
  WhenModal([&](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    EXPECT_TRUE(box);
    if (box) {
      shown = box->text();
      box->accept();
    }
    return true;
  });
  prompter.Inform("Spell checking is complete.");
  EXPECT_EQ(shown.toStdString(), "Fertig.");
}

}  // namespace
