// The desktop program's windows at twice the scale on a small screen: Qt's offscreen platform
// with one 1400×950 screen and QT_SCALE_FACTOR=2 (700×475 device-independent pixels).
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <fstream>
#include <string>

#include "gui/Application.h"

int main(int argc, char** argv) {
  const std::string config = "/tmp/tessaly-scaled-screen-" + std::to_string(getpid()) + ".json";
  {
    std::ofstream out(config);
    out << R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": 1400, "height": 950, "logicalDpi": 96,
                "logicalBaseDpi": 96, "dpr": 1}]})";
  }
  setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).c_str(), 1);
  setenv("QT_SCALE_FACTOR", "2", 1);
  gui::PrepareApplication();
  QApplication application(argc, argv);
  std::remove(config.c_str());
  gui::SetupApplication(application);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
