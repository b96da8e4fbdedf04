// The platform services of the desktop program, created and wired together in one place: the
// user-interface hand-over, the prompter, the external browser, the preview (forwarded to the
// main window's browser once it exists), starting programs and the progress runner. The network
// and the folders are the caller's (the system's, or fixed ones in tests).
#pragma once

#include <functional>
#include <string>

#include "gui/FormProgress.h"
#include "gui/FormTransfer.h"
#include "gui/QtKeyring.h"
#include "gui/QtPrompter.h"
#include "gui/QtUiThread.h"
#include "platform/Platform.h"

namespace gui {

// The desktop's default browser.
class QtBrowser : public platform::Browser {
 public:
  bool Show(const std::string& target) override;
  // Tests replace the desktop's browser: called instead when set; false as when none is found.
  std::function<bool(const std::string&)> Override;
};

// The main window's preview browser, once the window has set its handlers.
class QtPreview : public platform::Preview {
 public:
  void Navigate(const std::string& target) override {
    if (OnNavigate) OnNavigate(target);
  }
  void ShowPanel() override {
    if (OnShowPanel) OnShowPanel();
  }
  void Clear() override {
    if (OnClear) OnClear();
  }
  std::function<void(const std::string&)> OnNavigate;
  std::function<void()> OnShowPanel;
  std::function<void()> OnClear;
};

class QtLauncher : public platform::Launcher {
 public:
  bool OpenWith(const std::string& program, const std::string& file) override;
  bool EditDocument(const std::string& file) override;
};

// A file path or address as a URL: "file://LocalHost/..." and plain paths as local files.
QString UrlTextOf(const std::string& target);

class QtServices {
 public:
  // After the QApplication, on its thread.
  QtServices(platform::Network& network, platform::Paths& paths);
  QtServices(const QtServices&) = delete;
  QtServices& operator=(const QtServices&) = delete;

  QtUiThread Ui;
  QtPrompter Ask;
  QtKeyring Keys;
  QtBrowser Web;
  QtPreview View;
  QtLauncher Programs;
  TFormProgressWindow Progress;
  TFormTransfer Transfer;  // the download windows
  platform::Network& Net;
  platform::Paths& Dirs;
  platform::Services Services;
};

}  // namespace gui
