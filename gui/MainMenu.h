// The main window's main menu, tool bar and their pop-up lists, built in one place. Each item
// carries its name and caption; the window connects the commands. Tool buttons run their menu
// item through InvokeMenuItem, so the menu's enabling rules are always fresh.
#pragma once

#include <QObject>

class QAbstractButton;
class QAction;
class QMainWindow;
class QMenu;
class QToolBar;
class QToolButton;

namespace gui {

// Runs the menu's refresh of each menu above `item` (outermost first), then the item itself if
// it is enabled and visible. Returns whether the item ran.
bool InvokeMenuItem(QAction* item);
// Clicks `button` if it is enabled and visible. Returns whether it was clicked.
bool PressButton(QAbstractButton* button);

class TMainMenu : public QObject {
  Q_OBJECT
 public:
  explicit TMainMenu(QMainWindow& window);

  QMenu *MIFile, *MIEdit, *MIExport, *MIView, *MIGoTo, *MIHelp;
  // File
  QAction *MICompareWithProject;  // what changed since an earlier project
  QAction *MINew, *MIOpen, *MISave, *MISaveAs, *MISummary, *MISpiderLocalURL, *MIValidateExternalURLs, *MICheckPageResources,
      *MICheckAnchors, *MIHTTPSettings, *MICrawlSettings, *MISetupExternalTools, *MIExit;
  // Edit
  QAction *MIUndo, *MICut, *MICopy, *MIPaste, *MISelectAll, *MIEditFile, *MISpelling;
  // Export
  QAction *MIExportAsHTMLList, *MIExportAsDHTMLTree, *MIExportAsDHTMLTreeFramed, *MIExportAsXMLFile,
      *MIExportFolderAsTXTFile, *MIExportAsCSVFile;
  // Export: the reports for other programs, of the whole map
  QAction *MIExportSitemap, *MIExportJSONReport;
  // View
  QAction *MILargeIcons, *MISmallIcons, *MIList, *MIDetail, *MIConnectionStatus, *MIViewFolders, *MIWebBrowser,
      *MIStatusBar, *MIBack, *MIForward, *MIUpOneLevel, *MIRefresh;
  // Help
  QAction* MIAbout;

  QToolBar* ToolBar;
  QToolButton *TBNew, *TBOpen, *TBSave, *TBBack, *TBForward, *TBUpOneLevel, *TBRefresh, *TBFolders, *TBViews, *TBStatus,
      *TBPreview, *TBEditFile, *TBSpelling;
  // The drop-down lists of Back and Forward (filled each time they drop) and of Views.
  QMenu *PMBack, *PMForward, *PMViews;
  QAction *PILargeIcons, *PISmallIcons, *PIList, *PIDetails;

  // The four view-style items of the menu and of the Views list, by style position.
  QAction* StyleItem(int style) const;
  QAction* StylePopupItem(int style) const;

 private:
  QAction* Item(QMenu* menu, const char* name, const QString& caption, const QString& icon = QString());
  QToolButton* Button(const char* name, const QString& caption, const QString& hint, const QString& icon,
                      QAction* item);
};

}  // namespace gui
