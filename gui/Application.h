// The desktop program's objects in the order they are made and unmade: the platform services,
// the program's logic (TTessalyApp) and the main window; and the application-wide settings
// that must precede the QApplication.
#pragma once

#include <QApplication>
#include <memory>

#include "gui/MainWindow.h"
#include "gui/QtServices.h"
#include "platform/System.h"

class TTessalyApp;

namespace gui {

// Before the QApplication: what the web engine needs (shared GL contexts; no sandbox for root).
void PrepareApplication();
// After it: names, icon and style.
void SetupApplication(QApplication& application);

class TDesktop {
 public:
  // With the system's network and folders, or those of a test.
  explicit TDesktop(TFormTessalyView::Options options = {}, platform::Network* network = nullptr,
                    platform::Paths* paths = nullptr);
  ~TDesktop();
  // Loads the dictionaries (a missing main dictionary is told and ends the program: false) and
  // resets the window.
  bool Start();

  platform::SystemNetwork SystemNetwork;
  platform::SystemPaths SystemPaths;
  std::unique_ptr<QtServices> Qt;
  std::unique_ptr<TTessalyApp> App;
  std::unique_ptr<TFormTessalyView> Window;
};

}  // namespace gui
