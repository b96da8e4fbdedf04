// The context menus of the site tree (PMTreeView, items TV...) and of the node list
// (PMListView, items LV...). Each recomputes its items from the core's rules whenever it is
// shown, and when the Edit menu opens.
#pragma once

#include <QObject>

#include "app/MenuRules.h"

class QAction;
class QMenu;
class QWidget;

namespace gui {

class TContextMenus : public QObject {
  Q_OBJECT
 public:
  explicit TContextMenus(QWidget* window);

  QMenu* PMTreeView;
  QAction *TVOpen, *TVOpenInNewWindow, *TVEdit, *TVSpelling, *TVDownloadToLocalFile, *TVMaptoLocalFilename,
      *TVMaptoLocalPath, *TVClearLocalFilename, *TVRefresh, *TVProperties;
  QMenu* PMListView;
  QAction *LVOpen, *LVOpenInNewWindow, *LVEdit, *LVSpelling, *LVDownloadToLocalFile, *LVMaptoLocalFilename,
      *LVMaptoLocalPath, *LVClearLocalFilename, *LVSelectAll, *LVRefresh, *LVProperties;
  QMenu* LVExport;
  QAction *LVExportAsHTMLTable, *LVExportAsCSVFile;

  // The items as the rules say.
  void ApplyTree(const TNodeMenuState& s);
  void ApplyList(const TNodeMenuState& s);
};

}  // namespace gui
