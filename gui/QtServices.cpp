#include "gui/QtServices.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#include "Kel/KelDialogs.h"

namespace gui {

QString UrlTextOf(const std::string& target) {
  const QString text = QString::fromStdString(target);
  static const QString localHost = QStringLiteral("file://localhost/");
  if (text.startsWith(localHost, Qt::CaseInsensitive))
    return QUrl::fromLocalFile(QStringLiteral("/") + text.mid(localHost.size())).toString();
  if (text.startsWith('/')) return QUrl::fromLocalFile(text).toString();
  return QUrl::fromUserInput(text).toString();
}

bool QtBrowser::Show(const std::string& target) {
  if (!IsBrowsableTarget(target)) return true;  // no other scheme reaches the desktop's handlers
  if (Override) return Override(target);
  // False when the desktop names no browser (no xdg-open, no $BROWSER, ...).
  return QDesktopServices::openUrl(QUrl(UrlTextOf(target)));
}

bool QtLauncher::OpenWith(const std::string& program, const std::string& file) {
  // The tool starts in its own folder, as it would from a file manager.
  const QString tool = QString::fromStdString(program);
  return QProcess::startDetached(tool, {QString::fromStdString(file)}, QFileInfo(tool).absolutePath());
}

bool QtLauncher::EditDocument(const std::string& file) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(file)));
}

QtServices::QtServices(platform::Network& network, platform::Paths& paths) : Net(network), Dirs(paths) {
  Services.Ui = &Ui;
  Services.Ask = &Ask;
  Services.Web = &Web;
  Services.View = &View;
  Services.Programs = &Programs;
  Services.Net = &Net;
  Services.Dirs = &Dirs;
  Services.Progress = &Progress;
  Services.Transfer = &Transfer;
  Services.Keys = &Keys;
  Ui.OnError = [this](const std::string& text) { Ask.ShowError(text); };
}

}  // namespace gui
