#include "gui/MainMenu.h"

#include <QAbstractButton>
#include <QActionGroup>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <vector>

#include "gui/Icons.h"
#include "gui/Names.h"

namespace gui {

namespace {
QMenu* MenuOf(QAction* action) {
  for (QObject* o : action->associatedObjects())
    if (auto* menu = qobject_cast<QMenu*>(o)) return menu;
  return nullptr;
}
}  // namespace

bool InvokeMenuItem(QAction* item) {
  if (!item) return false;
  std::vector<QMenu*> chain;
  for (QMenu* menu = MenuOf(item); menu; menu = MenuOf(menu->menuAction())) chain.push_back(menu);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) emit(*it)->aboutToShow();
  if (!item->isEnabled() || !item->isVisible()) return false;
  item->trigger();
  return true;
}

bool PressButton(QAbstractButton* button) {
  if (!button || !button->isEnabled() || !button->isVisibleTo(button->window())) return false;
  button->click();
  return true;
}

QAction* TMainMenu::Item(QMenu* menu, const char* name, const QString& caption, const QString& icon) {
  QAction* a = Name(menu->addAction(caption), name, caption);
  if (!icon.isEmpty()) a->setIcon(ToolIcon(icon));
  return a;
}

QToolButton* TMainMenu::Button(const char* name, const QString& caption, const QString& hint, const QString& icon,
                               QAction* item) {
  auto* b = Name(new QToolButton(ToolBar), name, caption);
  b->setText(caption);
  b->setToolTip(hint);
  b->setIcon(ToolIcon(icon));
  b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  b->setAutoRaise(true);
  b->setMinimumWidth(52);
  ToolBar->addWidget(b);
  if (item) connect(b, &QToolButton::clicked, item, [item] { InvokeMenuItem(item); });
  return b;
}

TMainMenu::TMainMenu(QMainWindow& window) : QObject(&window) {
  QMenuBar* bar = Name(window.menuBar(), "MainMenu", "Main Menu");
  MIFile = Name(bar->addMenu(tr("&File")), "MIFile", tr("&File"));
  MINew = Item(MIFile, "MINew", tr("&New Project"), QStringLiteral("new"));
  MIOpen = Item(MIFile, "MIOpen", tr("&Open Project..."), QStringLiteral("open"));
  MISave = Item(MIFile, "MISave", tr("&Save Project"), QStringLiteral("save"));
  MISave->setShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
  MISaveAs = Item(MIFile, "MISaveAs", tr("Save &As..."));
  MICompareWithProject = Item(MIFile, "MICompareWithProject", tr("Compare with Project..."));
  MIFile->addSeparator();
  MISummary = Item(MIFile, "MISummary", tr("Summary"));
  MIFile->addSeparator();
  MISpiderLocalURL = Item(MIFile, "MISpiderLocalURL", tr("Spider Local URL..."));
  MIValidateExternalURLs = Item(MIFile, "MIValidateExternalURLs", tr("Validate External URL's"));
  MIValidateExternalURLs->setCheckable(true);
  MICheckPageResources = Item(MIFile, "MICheckPageResources", tr("Check Page Resources"));
  MICheckPageResources->setCheckable(true);
  MICheckPageResources->setChecked(true);
  MICheckAnchors = Item(MIFile, "MICheckAnchors", tr("Check Anchors"));
  MICheckAnchors->setCheckable(true);
  MICheckAnchors->setChecked(true);
  MIHTTPSettings = Item(MIFile, "MIHTTPSettings", tr("HTTP Settings..."));
  MICrawlSettings = Item(MIFile, "MICrawlSettings", tr("Crawl Settings..."));
  MISetupExternalTools = Item(MIFile, "MISetupExternalTools", tr("Setup External Tools..."));
  MIFile->addSeparator();
  MIExit = Item(MIFile, "MIExit", tr("E&xit"));

  MIEdit = Name(bar->addMenu(tr("&Edit")), "MIEdit", tr("&Edit"));
  MIUndo = Item(MIEdit, "MIUndo", tr("&Undo"));
  MIUndo->setShortcut(QKeySequence(QStringLiteral("Ctrl+Z")));
  MIEdit->addSeparator();
  MICut = Item(MIEdit, "MICut", tr("Cu&t"));
  MICut->setShortcut(QKeySequence(QStringLiteral("Ctrl+X")));
  MICopy = Item(MIEdit, "MICopy", tr("&Copy"));
  MICopy->setShortcut(QKeySequence(QStringLiteral("Ctrl+C")));
  MIPaste = Item(MIEdit, "MIPaste", tr("&Paste"));
  MIPaste->setShortcut(QKeySequence(QStringLiteral("Ctrl+V")));
  MISelectAll = Item(MIEdit, "MISelectAll", tr("Select &All"));
  MISelectAll->setShortcut(QKeySequence(QStringLiteral("Ctrl+A")));
  MIEdit->addSeparator();
  MIEditFile = Item(MIEdit, "MIEditFile", tr("Edit..."), QStringLiteral("edit"));
  MISpelling = Item(MIEdit, "MISpelling", tr("Check Spelling..."), QStringLiteral("spelling"));
  // The address box's shortcuts stay with the box; the menu items act while it has the focus.
  for (QAction* a : {MIUndo, MICut, MICopy, MIPaste, MISelectAll}) a->setShortcutContext(Qt::WidgetShortcut);

  MIExport = Name(bar->addMenu(tr("E&xport")), "MIExport", tr("E&xport"));
  MIExportAsHTMLList = Item(MIExport, "MIExportAsHTMLList", tr("as HTML Table... (URL, Title, Descriptions)"));
  MIExportAsDHTMLTree = Item(MIExport, "MIExportAsDHTMLTree", tr("as DHTML Tree..."));
  MIExportAsDHTMLTreeFramed = Item(MIExport, "MIExportAsDHTMLTreeFramed", tr("as DHTML Tree... (Framed)"));
  MIExportAsXMLFile = Item(MIExport, "MIExportAsXMLFile", tr("as XML File..."));
  MIExportFolderAsTXTFile = Item(MIExport, "MIExportFolderAsTXTFile", tr("as TXT File..."));
  MIExportAsCSVFile = Item(MIExport, "MIExportAsCSVFile", tr("as CSV Table... (Excel Compatible)"));
  MIExport->addSeparator();
  MIExportSitemap = Item(MIExport, "MIExportSitemap", tr("Sitemap (sitemap.xml)..."));
  MIExportJSONReport = Item(MIExport, "MIExportJSONReport", tr("JSON Report..."));

  MIView = Name(bar->addMenu(tr("&View")), "MIView", tr("&View"));
  auto* styles = new QActionGroup(this);
  MILargeIcons = Item(MIView, "MILargeIcons", tr("Large Icons"));
  MISmallIcons = Item(MIView, "MISmallIcons", tr("Small Icons"));
  MIList = Item(MIView, "MIList", tr("List"));
  MIDetail = Item(MIView, "MIDetail", tr("Details"));
  for (QAction* a : {MILargeIcons, MISmallIcons, MIList, MIDetail}) {
    a->setCheckable(true);
    styles->addAction(a);
  }
  MILargeIcons->setVisible(false);
  MIView->addSeparator();
  MIConnectionStatus = Item(MIView, "MIConnectionStatus", tr("Connection Status"), QStringLiteral("status"));
  MIViewFolders = Item(MIView, "MIViewFolders", tr("Folders"), QStringLiteral("folders"));
  MIWebBrowser = Item(MIView, "MIWebBrowser", tr("Web Browser"), QStringLiteral("preview"));
  MIStatusBar = Item(MIView, "MIStatusBar", tr("Status Bar"));
  for (QAction* a : {MIConnectionStatus, MIViewFolders, MIWebBrowser, MIStatusBar}) a->setCheckable(true);
  MIView->addSeparator();
  MIGoTo = Name(MIView->addMenu(tr("Go To")), "MIGoTo", tr("Go To"));
  MIBack = Item(MIGoTo, "MIBack", tr("Back"), QStringLiteral("back"));
  MIForward = Item(MIGoTo, "MIForward", tr("Forward"), QStringLiteral("forward"));
  MIUpOneLevel = Item(MIGoTo, "MIUpOneLevel", tr("Up One Level"), QStringLiteral("up"));
  MIRefresh = Item(MIView, "MIRefresh", tr("Refresh"), QStringLiteral("refresh"));

  MIHelp = Name(bar->addMenu(tr("&Help")), "MIHelp", tr("&Help"));
  MIAbout = Item(MIHelp, "MIAbout", tr("&About..."));

  // The tool bar, left to right, in groups.
  ToolBar = Name(window.addToolBar(tr("Tool Bar")), "ToolBar", tr("Tool Bar"));
  ToolBar->setIconSize(QSize(24, 24));
  ToolBar->setMovable(false);
  ToolBar->setFloatable(false);
  ToolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  TBNew = Button("TBNew", tr("New"), tr("New Project"), QStringLiteral("new"), MINew);
  TBOpen = Button("TBOpen", tr("Open"), tr("Open Project"), QStringLiteral("open"), MIOpen);
  ToolBar->addSeparator();
  TBSave = Button("TBSave", tr("Save"), tr("Save Project"), QStringLiteral("save"), MISave);
  ToolBar->addSeparator();
  TBBack = Button("TBBack", tr("Back"), tr("Go Back"), QStringLiteral("back"), MIBack);
  TBForward = Button("TBForward", tr("Forward"), tr("Go Forward"), QStringLiteral("forward"), MIForward);
  ToolBar->addSeparator();
  TBUpOneLevel = Button("TBUpOneLevel", tr("Up"), tr("Up One Level"), QStringLiteral("up"), MIUpOneLevel);
  TBRefresh = Button("TBRefresh", tr("Refresh"), tr("Refresh Site Windows"), QStringLiteral("refresh"), MIRefresh);
  ToolBar->addSeparator();
  TBFolders =
      Button("TBFolders", tr("Folders"), tr("Toggle Folders Display"), QStringLiteral("folders"), MIViewFolders);
  ToolBar->addSeparator();
  TBViews = Button("TBViews", tr("Views"), tr("Change Icon View"), QStringLiteral("views"), nullptr);
  ToolBar->addSeparator();
  TBStatus = Button("TBStatus", tr("Status"), tr("Toggle Status Window"), QStringLiteral("status"), MIConnectionStatus);
  ToolBar->addSeparator();
  TBPreview =
      Button("TBPreview", tr("Preview"), tr("Toggle Web Browser Preview"), QStringLiteral("preview"), MIWebBrowser);
  ToolBar->addSeparator();
  TBEditFile = Button("TBEditFile", tr("Edit"), tr("Edit Current Selection"), QStringLiteral("edit"), nullptr);
  TBSpelling =
      Button("TBSpelling", tr("Spelling"), tr("Spellcheck Current Selection"), QStringLiteral("spelling"), nullptr);
  for (QToolButton* b : {TBFolders, TBStatus, TBPreview}) b->setCheckable(true);

  PMBack = Name(new QMenu(TBBack), "PMBack", tr("Back"));
  PMForward = Name(new QMenu(TBForward), "PMForward", tr("Forward"));
  TBBack->setMenu(PMBack);
  TBForward->setMenu(PMForward);
  TBBack->setPopupMode(QToolButton::MenuButtonPopup);
  TBForward->setPopupMode(QToolButton::MenuButtonPopup);
  PMViews = Name(new QMenu(TBViews), "PMViews", tr("Views"));
  auto* popupStyles = new QActionGroup(this);
  PILargeIcons = Item(PMViews, "PILargeIcons", tr("Large Icons"));
  PISmallIcons = Item(PMViews, "PISmallIcons", tr("Small Icons"));
  PIList = Item(PMViews, "PIList", tr("List"));
  PIDetails = Item(PMViews, "PIDetails", tr("Details"));
  for (QAction* a : {PILargeIcons, PISmallIcons, PIList, PIDetails}) {
    a->setCheckable(true);
    popupStyles->addAction(a);
  }
  PILargeIcons->setVisible(false);
  TBViews->setMenu(PMViews);
  TBViews->setPopupMode(QToolButton::InstantPopup);
}

QAction* TMainMenu::StyleItem(int style) const {
  switch (style) {
    case 0:
      return MILargeIcons;
    case 1:
      return MISmallIcons;
    case 2:
      return MIList;
    default:
      return MIDetail;
  }
}

QAction* TMainMenu::StylePopupItem(int style) const {
  switch (style) {
    case 0:
      return PILargeIcons;
    case 1:
      return PISmallIcons;
    case 2:
      return PIList;
    default:
      return PIDetails;
  }
}

}  // namespace gui
