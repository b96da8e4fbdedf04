// The desktop program's tests (its window, its menus and dialogs) run real widgets on Qt's
// offscreen platform.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <cstdlib>

#include "gui/Application.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  gui::PrepareApplication();
  QApplication application(argc, argv);
  gui::SetupApplication(application);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
