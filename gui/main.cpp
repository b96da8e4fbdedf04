// tessaly: the desktop program. `tessaly [PROJECT.tly | ADDRESS]` opens a project file, or puts
// an address into the address box and starts crawling it.
#include <unistd.h>

#include <QApplication>
#include <QStringList>
#include <cstdlib>
#include <iostream>

#include "app/Application.h"
#include "gui/Application.h"

int main(int argc, char* argv[]) {
  gui::PrepareApplication();
  QApplication application(argc, argv);
  gui::SetupApplication(application);
  const QStringList arguments = QApplication::arguments();
  QString argument;
  for (int i = 1; i < arguments.size(); ++i) {
    if (arguments[i] == QStringLiteral("--help") || arguments[i] == QStringLiteral("-h")) {
      std::cout << "Usage: tessaly [PROJECT.tly | ADDRESS]\n"
                   "Opens the project file, or crawls the address (a web address or a local HTML file).\n";
      return 0;
    }
    if (arguments[i].compare(QStringLiteral("NoSplash"), Qt::CaseInsensitive) == 0) continue;
    argument = arguments[i];
  }
  gui::TDesktop desktop;
  if (!desktop.Start()) return 1;
  desktop.Window->show();
  desktop.Window->OpenArgument(argument.toStdString());
  const int status = QApplication::exec();
  return status;
}
