#include "gui/Application.h"

#include <unistd.h>

#include <QStyleFactory>
#include <cstdlib>

#include "Kel/KelDialogs.h"
#include "app/Application.h"
#include "gui/Icons.h"
#include "gui/MainMenu.h"
#include <QAction>

// The resources (icons) of the program's library, registered once.
static void InitResources() { Q_INIT_RESOURCE(tessaly); }

namespace gui {

void PrepareApplication() {
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  // The web engine's sandbox refuses to run as root.
  if (geteuid() == 0) setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
}

void SetupApplication(QApplication& application) {
  InitResources();
  QApplication::setApplicationName(QStringLiteral("tessaly"));
  // No application display name: Qt would append it to every window title, and the titles are
  // exactly the program's own ("Quorlix Tessaly - [untitled.tly]").
  QApplication::setOrganizationName(QStringLiteral("Quorlix"));
  QApplication::setDesktopFileName(QStringLiteral("com.quorlix.Tessaly"));
  QApplication::setWindowIcon(ApplicationIcon());
  (void)application;
}

TDesktop::TDesktop(TFormTessalyView::Options options, platform::Network* network, platform::Paths* paths)
    : Qt(std::make_unique<QtServices>(network ? *network : SystemNetwork, paths ? *paths : SystemPaths)),
      App(std::make_unique<TTessalyApp>(Qt->Services)),
      Window(std::make_unique<TFormTessalyView>(*App, *Qt, options)) {}

TDesktop::~TDesktop() {
  // The window goes first; the logic stops its workers and writes its files after it.
  Window.reset();
  App.reset();
}

bool TDesktop::Start() {
  if (!App->Start()) {
    Qt->Ask.ShowError("The spelling dictionary " + App->Dictionaries.MainFile + " is missing.");
    return false;
  }
  Window->Menu->MIValidateExternalURLs->setChecked(App->Main.Tree.ValidateExternalURLs);
  return true;
}

}  // namespace gui
