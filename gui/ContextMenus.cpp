#include "gui/ContextMenus.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

#include "gui/Icons.h"
#include "gui/Names.h"

namespace gui {

namespace {
QAction* Item(QMenu* menu, const char* name, const QString& caption) {
  return Name(menu->addAction(caption), name, caption);
}
}  // namespace

TContextMenus::TContextMenus(QWidget* window) : QObject(window) {
  PMTreeView = Name(new QMenu(window), "PMTreeView", tr("Site Map"));
  TVOpen = Item(PMTreeView, "TVOpen", tr("Open"));
  TVOpenInNewWindow = Item(PMTreeView, "TVOpenInNewWindow", tr("Open in New Window"));
  PMTreeView->addSeparator();
  TVEdit = Item(PMTreeView, "TVEdit", tr("Edit..."));
  TVSpelling = Item(PMTreeView, "TVSpelling", tr("Check Spelling..."));
  PMTreeView->addSeparator();
  TVDownloadToLocalFile = Item(PMTreeView, "TVDownloadToLocalFile", tr("Download to Local File..."));
  TVMaptoLocalFilename = Item(PMTreeView, "TVMaptoLocalFilename", tr("Map to Local Filename..."));
  TVMaptoLocalPath = Item(PMTreeView, "TVMaptoLocalPath", tr("Map to Local Path..."));
  TVClearLocalFilename = Item(PMTreeView, "TVClearLocalFilename", tr("Clear Local Filename"));
  PMTreeView->addSeparator();
  TVRefresh = Item(PMTreeView, "TVRefresh", tr("Refresh"));
  PMTreeView->addSeparator();
  TVProperties = Item(PMTreeView, "TVProperties", tr("Properties..."));
  QFont bold = TVProperties->font();
  bold.setBold(true);
  TVProperties->setFont(bold);  // the default item
  TVEdit->setIcon(ToolIcon(QStringLiteral("edit")));
  TVSpelling->setIcon(ToolIcon(QStringLiteral("spelling")));
  TVRefresh->setIcon(ToolIcon(QStringLiteral("refresh")));

  PMListView = Name(new QMenu(window), "PMListView", tr("List"));
  LVOpen = Item(PMListView, "LVOpen", tr("Open"));
  LVOpenInNewWindow = Item(PMListView, "LVOpenInNewWindow", tr("Open in New Window"));
  PMListView->addSeparator();
  LVEdit = Item(PMListView, "LVEdit", tr("Edit..."));
  LVSpelling = Item(PMListView, "LVSpelling", tr("Check Spelling..."));
  PMListView->addSeparator();
  LVDownloadToLocalFile = Item(PMListView, "LVDownloadToLocalFile", tr("Download to Local File..."));
  LVMaptoLocalFilename = Item(PMListView, "LVMaptoLocalFilename", tr("Map to Local Filename..."));
  LVMaptoLocalPath = Item(PMListView, "LVMaptoLocalPath", tr("Map to Local Path..."));
  LVClearLocalFilename = Item(PMListView, "LVClearLocalFilename", tr("Clear Local Filename"));
  PMListView->addSeparator();
  LVSelectAll = Item(PMListView, "LVSelectAll", tr("Select &All"));
  LVSelectAll->setShortcut(QKeySequence(QStringLiteral("Ctrl+A")));
  LVSelectAll->setShortcutVisibleInContextMenu(true);
  LVExport = Name(PMListView->addMenu(tr("Export")), "LVExport", tr("Export"));
  LVExportAsHTMLTable = Item(LVExport, "LVExportAsHTMLTable", tr("as HTML Table..."));
  LVExportAsCSVFile = Item(LVExport, "LVExportAsCSVFile", tr("as CSV Table... (Excel Compatible)"));
  PMListView->addSeparator();
  LVRefresh = Item(PMListView, "LVRefresh", tr("Refresh"));
  PMListView->addSeparator();
  LVProperties = Item(PMListView, "LVProperties", tr("Properties..."));
  LVEdit->setIcon(ToolIcon(QStringLiteral("edit")));
  LVSpelling->setIcon(ToolIcon(QStringLiteral("spelling")));
  LVRefresh->setIcon(ToolIcon(QStringLiteral("refresh")));
}

void TContextMenus::ApplyTree(const TNodeMenuState& s) {
  TVOpen->setEnabled(s.Open);
  TVOpenInNewWindow->setEnabled(s.Open);
  TVEdit->setEnabled(s.Edit);
  TVSpelling->setEnabled(s.Spelling);
  TVDownloadToLocalFile->setEnabled(s.DownloadToLocalFile);
  TVMaptoLocalFilename->setVisible(s.MaptoLocalFilenameVisible);
  TVMaptoLocalPath->setVisible(s.MaptoLocalPathVisible);
  TVClearLocalFilename->setEnabled(s.ClearLocalFilename);
  TVRefresh->setEnabled(true);
  TVProperties->setEnabled(s.Properties);
}

void TContextMenus::ApplyList(const TNodeMenuState& s) {
  LVOpen->setEnabled(s.Open);
  LVOpenInNewWindow->setEnabled(s.Open);
  LVEdit->setEnabled(s.Edit);
  LVSpelling->setEnabled(s.Spelling);
  LVDownloadToLocalFile->setEnabled(s.DownloadToLocalFile);
  LVMaptoLocalFilename->setVisible(s.MaptoLocalFilenameVisible);
  LVMaptoLocalPath->setVisible(s.MaptoLocalPathVisible);
  LVClearLocalFilename->setEnabled(s.ClearLocalFilename);
  LVSelectAll->setEnabled(s.SelectAll);
  LVExport->menuAction()->setEnabled(s.Export);
  LVExportAsHTMLTable->setEnabled(s.Export);
  LVExportAsCSVFile->setEnabled(s.Export);
  LVRefresh->setEnabled(true);
  LVProperties->setEnabled(s.Properties);
}

}  // namespace gui
