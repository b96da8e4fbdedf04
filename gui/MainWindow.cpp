#include "gui/MainWindow.h"

#include <unistd.h>

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWindow>
#include <filesystem>

#include "Kel/KelDialogs.h"
#include "Kel/KelError.h"
#include "Kel/KelStr.h"
#include "app/Application.h"
#include "app/UnitDownload.h"
#include "app/MenuRules.h"
#include "app/ProjectCompare.h"
#include "app/SpiderExport.h"
#include "gui/ContextMenus.h"
#include "gui/FormAbout.h"
#include "gui/FormExternalToolsView.h"
#include "gui/FormHTTPClientView.h"
#include "gui/FormCrawlSettingsView.h"
#include "gui/FormHTTPSettingsView.h"
#include "gui/FormProperties.h"
#include "gui/FormSpellingView.h"
#include "gui/FormSplash.h"
#include "gui/Translator.h"
#include "gui/Icons.h"
#include "gui/ListFilterBar.h"
#include "gui/MainMenu.h"
#include "gui/Names.h"
#include "gui/NodeListModel.h"
#include "gui/NodeListView.h"
#include "gui/PaintThrottle.h"
#include "gui/PreviewPanel.h"
#include "gui/QtServices.h"
#include "gui/ScreenFit.h"
#include "gui/SiteTreeModel.h"
#include "gui/StatusPanels.h"
#include "gui/SummaryView.h"
#include "app/CrawlTally.h"
#include "app/SiteCharts.h"

namespace gui {

const char* const kProjectOpenFilter = "Tessaly Projects (*.tly)|*.tly;*.htm;*.html|";
const char* const kProjectSaveFilter = "Tessaly Projects (*.tly)|*.tly|";
const char* const kHTMLFilter = "HTML Files (*.htm)|*.htm;*.html;*.shtml;*.asp|All Files (*.*)|*.*|";

namespace {

// The tree shows an open folder for the selected entry.
class TreeDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    if (option->state & QStyle::State_Selected) {
      const QVariant icon = index.data(SiteTreeModel::SelectedIconRole);
      if (icon.isValid()) option->icon = icon.value<QIcon>();
    }
  }
};

QString Q(const std::string& s) { return QString::fromStdString(s); }

// A caption bar over a panel: a title and a close button.
QWidget* CaptionBar(QWidget* parent, const QString& title, QToolButton*& close, const char* closeName) {
  auto* bar = new QWidget(parent);
  bar->setAutoFillBackground(true);
  bar->setBackgroundRole(QPalette::Mid);
  auto* label = new QLabel(title, bar);
  label->setForegroundRole(QPalette::BrightText);
  close = Name(new QToolButton(bar), closeName, QObject::tr("Close"));
  close->setIcon(ToolIcon(QStringLiteral("close")));
  close->setIconSize(QSize(12, 12));
  close->setAutoRaise(true);
  close->setToolTip(QObject::tr("Close"));
  auto* layout = new QHBoxLayout(bar);
  layout->setContentsMargins(6, 1, 2, 1);
  layout->addWidget(label, 1);
  layout->addWidget(close);
  return bar;
}

}  // namespace

struct TFormTessalyView::TSummaryWork {
  TSummaryWork(const TSiteTree& tree, const TSiteMap& map) : Figures(tree), Charts(map), Generation(map.Generation()) {}
  TSiteSummaryBuilder Figures;
  TSiteChartsBuilder Charts;
  uint64_t Generation;  // the map's: a map cleared meanwhile ends the work
};

namespace {
// The nodes read at a time for the Summary: about 10 ms of work.
constexpr size_t kSummarySlice = 20000;
}  // namespace

TFormTessalyView::TFormTessalyView(TTessalyApp& app, QtServices& qt, Options options) : App(app), Qt(qt) {
  // The texts built at run time come from the program's translations from now on; the empty
  // tree is built again so that its categories carry their translated names.
  SetRunTimeTexts(&App.Translations);
  if (!App.Translations.Empty() && !App.Map.Modified && App.Map.Count() == 0) App.Main.Tree.ResetSiteTree();
  Name(this, "FormTessaly", QString::fromUtf8(kApplicationTitle));
  setWindowTitle(QString::fromUtf8(kApplicationTitle));
  setWindowIcon(ApplicationIcon());
  Menu = new TMainMenu(*this);
  TreeModel = new SiteTreeModel(App.Main.Tree, this);
  ListModel = new NodeListModel(App.Main.List, this);
  PanelWebBrowser = new TPreviewPanel(options.WebEngine, this);
  BuildWidgets();
  FormHTTPClient = new TFormHTTPClientView(App.Pool, App.Services, this);
  connect(FormHTTPClient, &TFormHTTPClientView::VisibilityChanged, this, [this](bool visible) {
    Menu->TBStatus->setChecked(visible);
    Menu->MIConnectionStatus->setChecked(visible);
  });
  Popups = new TContextMenus(this);
  TFormProperties::Hooks hooks;
  hooks.Preview = [this](TSpiderNode* n, bool newWindow) { App.Main.PreviewNode(n, newWindow, true); };
  hooks.Edit = [this](TSpiderNode* n, bool spelling) { EditNode(n, spelling); };
  hooks.SelectInTree = [this](TSpiderNode* n) { App.Main.SelectEntry(n->TreeNode); };
  hooks.OpenInBrowser = [this](const std::string& target) {
    if (App.Main.MayShowAddress(TURI(target))) OpenInBrowser(App.Services, target);
  };
  hooks.ShowError = [this](const std::string& text) { App.Services.Ask->ShowError(text); };
  FormProperties = new TFormProperties(App.Properties, std::move(hooks), this);
  FormHTTPSettings = new TFormHTTPSettingsView(App.HTTPSettings, this);
  FormCrawlSettings = new TFormCrawlSettingsView(App.CrawlSettings, App.Engine, this);
  FormExternalTools = new TFormExternalToolsView(App.ExternalTools, this);
  FormSpelling = new TFormSpellingView(App.Spelling, options.WebEngine, this);
  FormSplash = new TFormSplash(this);
  FormShutDown = new TFormShutDown(this);
  // A double-click on an entry without children shows its properties, through the tree menu.
  OnNodeProperties = [this](TSpiderNode*) { InvokeMenuItem(Popups->TVProperties); };
  ConnectCommands();
  Qt.Ask.SetParent(this);
  Qt.Ask.Translate = [this](const std::string& text) { return App.Translations.Translate(text, "STRING_TABLE"); };
  Qt.View.OnNavigate = [this](const std::string& target) { PanelWebBrowser->Navigate(target); };
  // A link clicked in the preview selects its address in the tree, or offers the browser.
  connect(PanelWebBrowser, &TPreviewPanel::LinkClicked, this, [this](const QUrl& url) {
    const std::string address = url.toString(QUrl::FullyEncoded).toStdString();
    Command([this, address] { App.Main.PreviewLinkClicked(address); });
  });
  Qt.View.OnShowPanel = [this] { SetPanelVisible(PanelWebBrowser, true); };
  Qt.View.OnClear = [this] { PanelWebBrowser->Clear(); };
  // A preview hidden or emptied frees its browser; the window changes its surface once the event
  // that did so (a click in this very window, perhaps) is over.
  connect(PanelWebBrowser, &TPreviewPanel::BrowserReleased, this, &TFormTessalyView::PaintPlainlyAgain,
          Qt::QueuedConnection);
  PaintLimit = new TPaintThrottle(this);
  Tally = std::make_unique<TCrawlTally>(App.Main.Tree);
  CrawlClock_.start();
  RefreshLater_.setSingleShot(true);
  RefreshLater_.setInterval(100);
  connect(&RefreshLater_, &QTimer::timeout, this, &TFormTessalyView::RefreshFromState);
  App.Main.OnStateChange = [this] { StateChanged(); };
  App.Main.OnShowPool = [this] { FormHTTPClient->ShowWindow(); };
  Menu->MIValidateExternalURLs->setChecked(App.Main.Tree.ValidateExternalURLs);
  resize(980, 700);
  // Every window of the program opens inside the screen's available area.
  qApp->installEventFilter(new TScreenFitter(this));
  RefreshFromState();
}

TFormTessalyView::~TFormTessalyView() {
  if (RunTimeTexts() == &App.Translations) SetRunTimeTexts(nullptr);
  App.Main.OnStateChange = nullptr;
  App.Main.OnShowPool = nullptr;
  Qt.View.OnNavigate = nullptr;
  Qt.View.OnShowPanel = nullptr;
  Qt.View.OnClear = nullptr;
  Qt.Ask.SetParent(nullptr);
  Qt.Ask.Translate = nullptr;
}

void TFormTessalyView::BuildWidgets() {
  // The address bar: the address box, the browse button and Start/Stop.
  auto* addressBar = Name(new QToolBar(tr("Address"), this), "PanelAddress", tr("Address"));
  addressBar->setMovable(false);
  addressBar->setFloatable(false);
  addToolBarBreak();
  addToolBar(addressBar);
  auto* address = new QWidget(addressBar);
  auto* label = new QLabel(tr("Address"), address);
  EditURL = Name(new QComboBox(address), "EditURL", tr("Address"));
  EditURL->setEditable(true);
  EditURL->setInsertPolicy(QComboBox::NoInsert);
  EditURL->setMaxVisibleItems(16);
  // The box never grows with its content (a long address in the list or the box): its width
  // comes from the layout, and the drop-down elides what does not fit.
  EditURL->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  EditURL->setMinimumContentsLength(20);
  EditURL->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  EditURL->view()->setTextElideMode(Qt::ElideMiddle);
  EditURL->lineEdit()->setPlaceholderText(tr("http://www.example.com/ or a local HTML file"));
  EditURL->lineEdit()->setClearButtonEnabled(true);
  label->setBuddy(EditURL);
  ButtonBrowse = Name(new QPushButton(QStringLiteral("..."), address), "ButtonBrowse", tr("Browse"));
  ButtonBrowse->setToolTip(tr("Choose a local HTML file"));
  ButtonBrowse->setFixedWidth(ButtonBrowse->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 24);
  ButtonSpider = Name(new QPushButton(tr("Start"), address), "ButtonSpider", tr("Start"));
  ButtonSpider->setMinimumWidth(ButtonSpider->fontMetrics().horizontalAdvance(QStringLiteral("Start")) + 40);
  auto* row = new QHBoxLayout(address);
  row->setContentsMargins(4, 2, 4, 2);
  row->addWidget(label);
  row->addWidget(EditURL, 1);
  row->addWidget(ButtonBrowse);
  row->addWidget(ButtonSpider);
  addressBar->addWidget(address);

  // The tree panel.
  PanelTreeView = Name(new QWidget(this), "PanelTreeView", tr("Site Map"));
  QWidget* treeCaption = CaptionBar(PanelTreeView, tr("Site Map"), ButtonCloseTreeView, "ButtonCloseTreeView");
  TreeView = Name(new QTreeView(PanelTreeView), "TreeView", tr("Site Map"));
  TreeView->setModel(TreeModel);
  TreeView->setHeaderHidden(true);
  // The column is as wide as the rows shown, so that a deep entry is reached by scrolling.
  TreeView->header()->setStretchLastSection(false);
  TreeView->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  TreeFitLater_.setInterval(1000);
  connect(&TreeFitLater_, &QTimer::timeout, TreeView, [this] { TreeView->resizeColumnToContents(0); });
  TreeView->setIndentation(19);
  TreeView->setIconSize(QSize(16, 16));
  TreeView->setUniformRowHeights(true);
  TreeView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  TreeView->setSelectionMode(QAbstractItemView::SingleSelection);
  TreeView->setItemDelegate(new TreeDelegate(TreeView));
  TreeView->setExpandsOnDoubleClick(true);
  TreeView->viewport()->installEventFilter(this);
  auto* treeLayout = new QVBoxLayout(PanelTreeView);
  treeLayout->setContentsMargins(0, 0, 0, 0);
  treeLayout->setSpacing(0);
  treeLayout->addWidget(treeCaption);
  treeLayout->addWidget(TreeView, 1);

  // The right side: the path bar over the list, and the preview below.
  auto* listPanel = new QWidget(this);
  PanelPath = Name(new QLabel(listPanel), "PanelPath", tr("Path"));
  PanelPath->setTextFormat(Qt::PlainText);
  PanelPath->setTextInteractionFlags(Qt::TextSelectableByMouse);
  PanelPath->setFrameShape(QFrame::StyledPanel);
  PanelPath->setFrameShadow(QFrame::Sunken);
  PanelPath->setMargin(3);
  PanelPath->setMinimumWidth(20);
  PanelPath->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  ListView = new TNodeListView(*ListModel, listPanel);
  PanelFilter = new TListFilterBar(listPanel);
  auto* pathRow = new QHBoxLayout;
  pathRow->setSpacing(4);
  pathRow->addWidget(PanelPath, 3);
  pathRow->addWidget(PanelFilter, 2);
  auto* listLayout = new QVBoxLayout(listPanel);
  listLayout->setContentsMargins(0, 0, 0, 0);
  listLayout->setSpacing(2);
  listLayout->addLayout(pathRow);
  listLayout->addWidget(ListView, 1);

  SplitterRight = Name(new QSplitter(Qt::Vertical, this), "SplitterRight", tr("Preview Splitter"));
  SplitterRight->addWidget(listPanel);
  SplitterRight->addWidget(PanelWebBrowser);
  SplitterRight->setHandleWidth(4);
  SplitterRight->setChildrenCollapsible(false);
  SplitterRight->setStretchFactor(0, 1);
  SplitterRight->setSizes({400, 256});

  SplitterLeft = Name(new QSplitter(Qt::Horizontal, this), "SplitterLeft", tr("Folders Splitter"));
  SplitterLeft->addWidget(PanelTreeView);
  SplitterLeft->addWidget(SplitterRight);
  SplitterLeft->setHandleWidth(4);
  SplitterLeft->setChildrenCollapsible(false);
  SplitterLeft->setStretchFactor(1, 1);
  SplitterLeft->setSizes({220, 760});
  setCentralWidget(SplitterLeft);

  StatusBar = Name(new TStatusPanels(this), "StatusBar", tr("Status Bar"));
  setStatusBar(StatusBar);
  StatusBar->SetText(2, RunTimeString("Idle"));
  Timer.setInterval(60);
  SizeStatusPanels();
}

void TFormTessalyView::ConnectCommands() {
  TMainMenu& m = *Menu;
  auto command = [this](QAction* item, std::function<void()> f) {
    connect(item, &QAction::triggered, this, [this, f = std::move(f)] { Command(f); });
  };
  TFormTessaly& main = App.Main;

  // File
  connect(m.MIFile, &QMenu::aboutToShow, this, &TFormTessalyView::RefreshFileMenu);
  command(m.MINew, [&main] { main.NewProject(); });
  command(m.MIOpen, [this, &main] {
    auto file = App.Services.Ask->PromptOpenFile(main.ProjectFileName, kProjectOpenFilter, "tly");
    if (!file) return;
    if (main.OpenProjectFile(*file)) TreeView->expand(TreeModel->IndexOf(main.Tree.SiteRoot()));
  });
  command(m.MISave, [this] { SaveProjectCommand(); });
  command(m.MISaveAs, [this] { SaveProjectAsCommand(); });
  command(m.MICompareWithProject, [this] { CompareWithProjectCommand(); });
  command(m.MISpiderLocalURL, [this, &main] {
    auto file = App.Services.Ask->PromptOpenFile("", kHTMLFilter, "");
    if (!file) return;
    main.SetAddress(*file);
    AddressEdited(EditURL->currentText());
    PressButton(ButtonSpider);
  });
  connect(m.MIValidateExternalURLs, &QAction::triggered, this, [this](bool on) { App.SetValidateExternalURLs(on); });
  connect(m.MICheckPageResources, &QAction::toggled, this, [this](bool on) {
    if (App.CheckPageResources() != on) App.SetCheckPageResources(on);
  });
  connect(m.MICheckAnchors, &QAction::toggled, this, [this](bool on) {
    if (App.CheckAnchors() != on) App.SetCheckAnchors(on);
  });
  command(m.MIHTTPSettings, [this] { FormHTTPSettings->Execute(); });
  command(m.MICrawlSettings, [this] { FormCrawlSettings->Execute(); });
  command(m.MISetupExternalTools, [this] { App.ExternalTools.Setup(); });
  connect(m.MIExit, &QAction::triggered, this, &QWidget::close);

  // Edit: the text items act on the address box.
  connect(m.MIEdit, &QMenu::aboutToShow, this, &TFormTessalyView::RefreshEditMenu);
  QLineEdit* edit = EditURL->lineEdit();
  connect(m.MIUndo, &QAction::triggered, edit, &QLineEdit::undo);
  connect(m.MICut, &QAction::triggered, edit, &QLineEdit::cut);
  connect(m.MICopy, &QAction::triggered, edit, &QLineEdit::copy);
  connect(m.MIPaste, &QAction::triggered, edit, &QLineEdit::paste);
  connect(m.MISelectAll, &QAction::triggered, edit, &QLineEdit::selectAll);
  auto focusedIn = [](QWidget* w) {
    QWidget* f = QApplication::focusWidget();
    return f && (f == w || w->isAncestorOf(f));
  };
  command(m.MIEditFile, [this, focusedIn] {
    if (focusedIn(TreeView)) InvokeMenuItem(Popups->TVEdit);
    else if (focusedIn(ListView)) InvokeMenuItem(Popups->LVEdit);
  });
  command(m.MISpelling, [this, focusedIn] {
    if (focusedIn(TreeView)) InvokeMenuItem(Popups->TVSpelling);
    else if (focusedIn(ListView)) InvokeMenuItem(Popups->LVSpelling);
  });
  connect(m.TBEditFile, &QToolButton::clicked, this, [this] {
    if (!InvokeMenuItem(Menu->MIEditFile)) App.Services.Ask->Inform("Current selection can not be edited.");
  });
  connect(m.TBSpelling, &QToolButton::clicked, this, [this] {
    if (!InvokeMenuItem(Menu->MISpelling)) App.Services.Ask->Inform("Current selection can not be spell checked.");
  });

  // Export: each writes through the save dialog what the core's exports write.
  connect(m.MIExport, &QMenu::aboutToShow, this, [this] {
    const TExportMenuState s = ExportMenuState(App.Main.Tree, App.Main.Selected(), App.Main.List);
    Menu->MIExportAsCSVFile->setEnabled(s.AsCSVFile);
    for (QAction* a : {Menu->MIExportAsHTMLList, Menu->MIExportAsDHTMLTree, Menu->MIExportAsDHTMLTreeFramed,
                       Menu->MIExportAsXMLFile, Menu->MIExportFolderAsTXTFile})
      a->setEnabled(s.TreeExports);
    for (QAction* a : {Menu->MIExportSitemap, Menu->MIExportJSONReport}) a->setEnabled(App.Map.Count() > 0);
  });
  using TTreeExport = bool (*)(platform::Services&, const TTreeEntry*);
  const std::pair<QAction*, TTreeExport> treeExports[] = {{m.MIExportAsHTMLList, &ExportAsHTMLList},
                                                          {m.MIExportAsDHTMLTree, &ExportAsDHTMLTree},
                                                          {m.MIExportAsDHTMLTreeFramed, &ExportAsDHTMLTreeFramed},
                                                          {m.MIExportAsXMLFile, &ExportAsXMLFile},
                                                          {m.MIExportFolderAsTXTFile, &ExportFolderAsTXTFile}};
  for (const auto& [item, exporter] : treeExports)
    command(item, [this, exporter = exporter] { exporter(App.Services, App.Main.Selected()); });
  command(m.MIExportAsCSVFile, [this] { ExportListAsCSVFile(App.Services, App.Main.List, isNone); });
  command(m.MIExportSitemap, [this] { App.Engine.SaveSitemapAs(); });
  command(m.MIExportJSONReport, [this] { App.Engine.SaveJSONReportAs(); });
  command(m.MIAbout, [this] { ShowAbout(); });
  command(m.MISummary, [this] { ShowSummary(); });

  // The context menus of the tree and the list.
  TContextMenus& p = *Popups;
  connect(p.PMTreeView, &QMenu::aboutToShow, this, &TFormTessalyView::RefreshTreeMenu);
  connect(p.PMListView, &QMenu::aboutToShow, this, &TFormTessalyView::RefreshListMenu);
  connect(p.LVExport, &QMenu::aboutToShow, this, &TFormTessalyView::RefreshListMenu);
  auto treeNode = [this] { return TreeMenuState(App.Main.Tree, App.Main.Selected()).Node; };
  auto listNode = [this] { return ListMenuState(App.Main.Tree, App.Main.List).Node; };
  command(p.TVOpen, [&main, treeNode] { main.PreviewNode(treeNode(), false, true); });
  command(p.LVOpen, [&main, listNode] { main.PreviewNode(listNode(), false, true); });
  command(p.TVOpenInNewWindow, [&main, treeNode] { main.PreviewNode(treeNode(), true, true); });
  command(p.LVOpenInNewWindow, [&main, listNode] { main.PreviewNode(listNode(), true, true); });
  command(p.TVEdit, [this, treeNode] { EditNode(treeNode(), false); });
  command(p.LVEdit, [this, listNode] { EditNode(listNode(), false); });
  command(p.TVSpelling, [this, treeNode] { EditNode(treeNode(), true); });
  command(p.LVSpelling, [this, listNode] { EditNode(listNode(), true); });
  command(p.TVDownloadToLocalFile, [this, treeNode] {
    TSpiderNode* n = treeNode();
    if (!n) return;
    n->DownloadToLocalFile(App.HTTPCopy, true);
    if (App.Map.Modified) App.Main.Refresh();
  });
  command(p.LVDownloadToLocalFile, [this] { DownloadListSelection(); });
  command(p.TVMaptoLocalFilename, [this, treeNode] {
    if (TSpiderNode* n = treeNode()) n->SelectLocalFileName(*App.Services.Ask);
  });
  command(p.LVMaptoLocalFilename, [this, listNode] {
    if (TSpiderNode* n = listNode()) n->SelectLocalFileName(*App.Services.Ask);
  });
  command(p.TVMaptoLocalPath, [this] { MapToLocalPath(App.Main.Selected()); });
  command(p.LVMaptoLocalPath, [this] { MapToLocalPath(ListMenuState(App.Main.Tree, App.Main.List).Entry); });
  command(p.TVClearLocalFilename, [treeNode] {
    if (TSpiderNode* n = treeNode()) n->ClearLocalFiles();
  });
  command(p.LVClearLocalFilename, [listNode] {
    if (TSpiderNode* n = listNode()) n->ClearLocalFiles();
  });
  command(p.LVSelectAll, [this] { SelectAllRows(); });
  command(p.LVExportAsHTMLTable, [this] { ExportListAsHTMLTable(App.Services, App.Main.List); });
  command(p.LVExportAsCSVFile, [this] { ExportListAsCSVFile(App.Services, App.Main.List, isSelected); });
  command(p.TVRefresh, [&main] { main.Refresh(); });
  command(p.LVRefresh, [&main] { main.Refresh(); });
  command(p.TVProperties, [this, treeNode] { ShowProperties(treeNode()); });
  command(p.LVProperties, [this, listNode] { ShowProperties(listNode()); });
  TreeView->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(TreeView, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { Popups->PMTreeView->popup(TreeView->viewport()->mapToGlobal(at)); });
  for (QAbstractItemView* view :
       {static_cast<QAbstractItemView*>(ListView->Details), static_cast<QAbstractItemView*>(ListView->Icons)}) {
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this,
            [this, view](const QPoint& at) { Popups->PMListView->popup(view->viewport()->mapToGlobal(at)); });
  }

  // View
  connect(m.MIView, &QMenu::aboutToShow, this, &TFormTessalyView::RefreshViewMenu);
  connect(m.MIGoTo, &QMenu::aboutToShow, this, &TFormTessalyView::RefreshGoToMenu);
  for (int style = 0; style < 4; ++style) {
    connect(m.StyleItem(style), &QAction::triggered, this, [this, style] { SetViewStyle(style); });
    connect(m.StylePopupItem(style), &QAction::triggered, this, [this, style] { SetViewStyle(style); });
  }
  connect(m.PMViews, &QMenu::aboutToShow, this,
          [this] { Menu->StylePopupItem(ListView->ViewStyle())->setChecked(true); });
  connect(m.MIConnectionStatus, &QAction::triggered, this, [this] {
    if (FormHTTPClient->isVisible()) FormHTTPClient->hide();
    else FormHTTPClient->ShowWindow();
    SyncCheckButtons();
  });
  connect(m.MIViewFolders, &QAction::triggered, this,
          [this] { SetPanelVisible(PanelTreeView, PanelTreeView->isHidden()); });
  connect(m.MIWebBrowser, &QAction::triggered, this,
          [this] { SetPanelVisible(PanelWebBrowser, PanelWebBrowser->isHidden()); });
  connect(m.MIStatusBar, &QAction::triggered, this, [this] { StatusBar->setVisible(StatusBar->isHidden()); });
  connect(ButtonCloseTreeView, &QToolButton::clicked, this, [this] { SetPanelVisible(PanelTreeView, false); });
  connect(PanelWebBrowser, &TPreviewPanel::CloseClicked, this, [this] { SetPanelVisible(PanelWebBrowser, false); });
  command(m.MIBack, [&main] { main.MoveInHistory(-1); });
  command(m.MIForward, [&main] { main.MoveInHistory(+1); });
  command(m.MIUpOneLevel, [&main] { main.UpOneLevel(); });
  command(m.MIRefresh, [&main] { main.Refresh(); });
  connect(m.PMBack, &QMenu::aboutToShow, this, [this] { FillHistoryList(true); });
  connect(m.PMForward, &QMenu::aboutToShow, this, [this] { FillHistoryList(false); });

  // The address bar.
  connect(edit, &QLineEdit::textEdited, this, &TFormTessalyView::AddressEdited);
  connect(EditURL, &QComboBox::activated, this, [this] { AddressEdited(EditURL->currentText()); });
  // The standard keys of a desktop program. Each runs its menu item as a click would (its
  // enabling rule computed first); the menus show the keys.
  const std::pair<QAction*, QKeySequence> keys[] = {
      {m.MINew, QKeySequence::New},       {m.MIOpen, QKeySequence::Open},
      {m.MIExit, QKeySequence(QStringLiteral("Ctrl+Q"))},     {m.MIRefresh, QKeySequence(Qt::Key_F5)},
      {m.MIBack, QKeySequence::Back},     {m.MIForward, QKeySequence::Forward},
  };
  for (const auto& [item, key] : keys) {
    item->setShortcut(key);
    item->setShortcutContext(Qt::WidgetShortcut);  // the window's shortcut below acts
    auto* shortcut = new QShortcut(key, this);
    shortcut->setObjectName(item->objectName() + QStringLiteral("Key"));
    connect(shortcut, &QShortcut::activated, this, [item] { InvokeMenuItem(item); });
  }
  // Ctrl+F: the filter box over the list.
  auto* find = new QShortcut(QKeySequence::Find, this);
  find->setObjectName(QStringLiteral("FilterKey"));
  connect(find, &QShortcut::activated, this, [this] { PanelFilter->FocusBox(); });
  connect(PanelFilter, &TListFilterBar::Changed, this, [this] {
    ListModel->SetFilter(PanelFilter->Text(), PanelFilter->Classes());
    ApplyListSelection();
  });
  // The selected rows the filter found after its first slice are selected in the view too;
  // inside a command (a refill) the window does so when it redraws.
  connect(ListModel, &NodeListModel::FilterFinished, this, [this] {
    ListNeedsSelection_ = true;
    if (InCommand_ == 0) ApplyListSelection();
  });
  // Escape stops a running crawl.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setObjectName(QStringLiteral("StopKey"));
  connect(escape, &QShortcut::activated, this, [this, &main] {
    if (main.ButtonSpiderStops) PressButton(ButtonSpider);
  });

  // Enter presses Start, whether the combo box (it hands keys to its line edit without asking
  // the filters) or its line edit has the focus.
  EditURL->installEventFilter(this);
  edit->installEventFilter(this);
  connect(ButtonSpider, &QPushButton::clicked, this, [this, &main] { Command([&main] { main.ButtonSpiderPress(); }); });
  connect(ButtonBrowse, &QPushButton::clicked, this, [this, &main] {
    Command([this, &main] {
      if (auto file = App.Services.Ask->PromptOpenFile("", kHTMLFilter, "")) {
        main.SetAddress(*file);
        AddressEdited(EditURL->currentText());
      }
    });
  });

  // The tree and the list.
  connect(TreeView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &TFormTessalyView::TreeSelectionChanged);
  connect(TreeModel, &QAbstractItemModel::modelAboutToBeReset, this, [this] { ++Quiet_; });
  connect(TreeModel, &QAbstractItemModel::modelReset, this, [this] {
    --Quiet_;
    RefreshFromState();
  });
  connect(ListView->Selection(), &QItemSelectionModel::selectionChanged, this, &TFormTessalyView::ListSelectionChanged);
  connect(ListModel, &QAbstractItemModel::modelReset, this, [this] { ListNeedsSelection_ = true; });
  connect(ListView, &TNodeListView::RowDoubleClicked, this, &TFormTessalyView::ListDoubleClicked);
  connect(ListView, &TNodeListView::ColumnClicked, this, [this, &main](int column) {
    Command([&main, column] { main.List.ColumnClick(column); });
    ListView->ShowSortIndicator(main.List.SortColumn, main.List.SortDirection);
    ApplyListSelection();
  });
  connect(TreeView, &QTreeView::doubleClicked, this, [this] {
    TTreeEntry* entry = App.Main.Selected();
    if (entry && !entry->HasChildren() && NodeOf(entry) && OnNodeProperties) {
      TSpiderNode* node = NodeOf(entry);
      Command([this, node] { OnNodeProperties(node); });
    }
  });
  connect(SplitterLeft, &QSplitter::splitterMoved, this, &TFormTessalyView::SizeStatusPanels);
  connect(&Timer, &QTimer::timeout, this, &TFormTessalyView::TimerTimer);
}

bool TFormTessalyView::Command(const std::function<void()>& command) {
  struct Running {
    int& Depth;
    explicit Running(int& depth) : Depth(depth) { ++Depth; }
    ~Running() { --Depth; }
  } running(InCommand_);
  try {
    command();
    return true;
  } catch (const std::exception& e) {
    App.Services.Ask->ShowError(e.what());
  }
  RefreshFromState();
  return false;
}

void TFormTessalyView::StateChanged() {
  if (InCommand_ == 0 && App.Main.Busy && ShownBusy_) {
    if (!RefreshLater_.isActive()) RefreshLater_.start();
    return;
  }
  RefreshFromState();
}

void TFormTessalyView::RefreshFromState() {
  TFormTessaly& main = App.Main;
  RefreshLater_.stop();
  const bool ended = ShownBusy_ && !main.Busy;
  ShownBusy_ = main.Busy;
  ++Quiet_;
  const QString caption = Q(main.Caption.empty() ? WindowCaption(main.ProjectFileName) : main.Caption);
  if (windowTitle() != caption) setWindowTitle(caption);

  // The address box, its list and the buttons beside it.
  if (ShownRecent_ != main.RecentAddresses) {
    ShownRecent_ = main.RecentAddresses;
    const QString text = EditURL->currentText();
    EditURL->clear();
    for (const std::string& a : main.RecentAddresses) {
      EditURL->addItem(Q(a));
      EditURL->setItemData(EditURL->count() - 1, Q(a), Qt::ToolTipRole);
    }
    EditURL->setEditText(text);
  }
  if (EditURL->currentText() != Q(main.EditURL)) EditURL->setEditText(Q(main.EditURL));
  EditURL->setEnabled(main.EditURLEnabled);
  ButtonBrowse->setEnabled(main.ButtonBrowseEnabled);
  ButtonSpider->setText(RunTimeString(main.ButtonSpiderCaption));
  ButtonSpider->setAccessibleName(RunTimeString(main.ButtonSpiderCaption));
  ButtonSpider->setEnabled(main.ButtonSpiderEnabled);
  UpdateSpiderHint();

  // The tree's selection follows the logic's.
  TTreeEntry* wanted = main.Selected();
  const QModelIndexList selected = TreeView->selectionModel()->selectedIndexes();
  TTreeEntry* shown = selected.isEmpty() ? nullptr : SiteTreeModel::EntryOf(selected.first());
  if (Quiet_ == 1 && shown != wanted) {
    if (wanted) {
      const QModelIndex index = TreeModel->IndexOf(wanted);
      TreeView->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
      TreeView->scrollTo(index);
      if (TreeView->isVisible() && isActiveWindow() && !EditURL->hasFocus()) TreeView->setFocus();
    } else {
      TreeView->selectionModel()->clearSelection();
    }
  }
  if (ListNeedsSelection_) ApplyListSelection();

  PanelPath->setText(Q(main.PathText));
  PanelPath->setToolTip(Q(main.PathText));
  Menu->TBBack->setEnabled(main.BackEnabled);
  Menu->TBForward->setEnabled(main.ForwardEnabled);
  Menu->TBUpOneLevel->setEnabled(main.UpEnabled);

  // The status bar and the busy indicator.
  StatusBar->SetText(0, ListCountText());
  StatusBar->SetText(1, Q(main.StatusRequesting));
  StatusBar->SetText(2, main.Busy ? QString() : RunTimeString("Idle"));
  if (ended) Tally->Recount();  // exact at the end, whatever was changed without a notice
  const QString figures = CrawlFiguresText();
  if (StatusBar->Text(3) != figures) {
    StatusBar->SetText(3, figures);
    StatusBar->SetWidth(3, figures.isEmpty() ? 19 : StatusBar->fontMetrics().horizontalAdvance(figures) + 16);
  }
  StatusBar->SetBusy(main.Busy, main.BusyPosition);
  if (main.TimerRunning && !Timer.isActive()) Timer.start();
  if (!main.TimerRunning && Timer.isActive()) Timer.stop();
  SyncCheckButtons();
  if (PaintLimit) PaintLimit->SetEnabled(main.Busy);
  if (FormHTTPClient) FormHTTPClient->SetPaintLimit(main.Busy);
  FitTreeColumnSlowly(main.Busy);
  --Quiet_;
  // A crawl that ends shows what it found.
  if (ended && App.Map.Count() > 0 && !Closed_) ShowSummary();
}

QString TFormTessalyView::CrawlFiguresText() {
  if (App.Map.Count() == 0) return {};
  const TCrawlProgress progress = App.Engine.Progress();
  if (!App.Main.Busy)
    return Q(FormatText("%d checked, %d found, %d broken", Tally->Checked(), Tally->Found(), Tally->Broken()));
  Tally->Sample(CrawlClock_.elapsed() / 1000.0, progress.RequestsDone);
  return Q(FormatText("%d checked, %d found, %d broken, %d pending, %d/s", Tally->Checked(), Tally->Found(),
                      Tally->Broken(), progress.Pending + progress.Active, Tally->RequestsPerSecond()));
}

void TFormTessalyView::ShowSummary() {
  // Computed once, from the map as it is: the report's figures and the charts.
  Tally->Recount();
  Tally->ForgetSamples();
  SummaryWork_ = std::make_unique<TSummaryWork>(App.Main.Tree, App.Map);
  StepSummary();
}

void TFormTessalyView::StepSummary() {
  if (!SummaryWork_) return;
  if (Closed_ || SummaryWork_->Generation != App.Map.Generation()) {
    SummaryWork_.reset();
    return;
  }
  const bool figuresRead = SummaryWork_->Figures.Step(kSummarySlice);
  const bool chartsRead = SummaryWork_->Charts.Step(kSummarySlice);
  if (!figuresRead || !chartsRead) {
    QTimer::singleShot(0, this, &TFormTessalyView::StepSummary);
    return;
  }
  const std::unique_ptr<TSummaryWork> work = std::move(SummaryWork_);
  if (!Summary) {
    Summary = new TSummaryView(PanelWebBrowser);
    connect(Summary, &TSummaryView::NodeClicked, this, [this](int index) {
      const auto& nodes = App.Map.Nodes();
      if (index < 0 || index >= static_cast<int>(nodes.size())) return;
      TTreeEntry* entry = nodes[static_cast<size_t>(index)]->TreeNode;
      if (entry) Command([this, entry] { App.Main.SelectEntry(entry); });
    });
  }
  Summary->Show(App.Engine.WithNotes(work->Figures.Finish()), work->Charts.Finish());
  PanelWebBrowser->ShowPage(Summary, RunTimeString("Summary"));
  SetPanelVisible(PanelWebBrowser, true);
}

void TFormTessalyView::FitTreeColumnSlowly(bool on) {
  // The tree's column fits its rows at every layout, measuring up to a thousand of them; during a
  // crawl that cost the window more than the crawl's own work, so it is fitted once a second then.
  QHeaderView* header = TreeView->header();
  const auto mode = on ? QHeaderView::Interactive : QHeaderView::ResizeToContents;
  if (header->sectionResizeMode(0) == mode) return;
  header->setSectionResizeMode(0, mode);
  if (on) {
    TreeFitLater_.start();
  } else {
    TreeFitLater_.stop();
  }
}

void TFormTessalyView::UpdateSpiderHint() {
  const QString hint = Q(Format("%s \"%s\"", App.Main.ButtonSpiderCaption.c_str(), App.Main.EditURL.c_str()));
  ButtonSpider->setToolTip(hint);
}

void TFormTessalyView::AddressEdited(const QString& text) {
  if (Quiet_) return;
  TFormTessaly& main = App.Main;
  main.EditURL = text.toStdString();
  if (!main.ButtonSpiderStops) main.ButtonSpiderEnabled = !Trim(main.EditURL).empty();
  ButtonSpider->setEnabled(main.ButtonSpiderEnabled);
  UpdateSpiderHint();
}

void TFormTessalyView::TreeSelectionChanged() {
  if (Quiet_) return;
  const QModelIndexList selected = TreeView->selectionModel()->selectedIndexes();
  TTreeEntry* entry = selected.isEmpty() ? nullptr : SiteTreeModel::EntryOf(selected.first());
  Command([this, entry] { App.Main.SelectEntry(entry); });
}

void TFormTessalyView::ListSelectionChanged() {
  if (Quiet_) return;
  TNodeList& list = App.Main.List;
  std::vector<char> now(static_cast<size_t>(list.Count()), 0);
  for (const QModelIndex& index : ListView->Selection()->selectedIndexes())
    if (const int r = ListModel->ListRow(index.row()); r >= 0 && r < list.Count()) now[static_cast<size_t>(r)] = 1;
  TListRow* newest = nullptr;
  for (int i = 0; i < list.Count(); ++i) {
    TListRow* row = list.Row(i);
    const bool on = now[static_cast<size_t>(i)] != 0;
    if (on && !row->Selected) newest = row;
    row->Selected = on;
  }
  // Each item that becomes selected is previewed; of several at once, the last one shows.
  const QModelIndex current = ListView->Selection()->currentIndex();
  const int currentRow = current.isValid() ? ListModel->ListRow(current.row()) : -1;
  if (currentRow >= 0 && currentRow < list.Count() && list.Row(currentRow)->Selected &&
      now[static_cast<size_t>(currentRow)] && newest)
    newest = list.Row(currentRow);
  if (newest) {
    TTreeEntry* entry = newest->Entry;
    Command([this, entry] { App.Main.PreviewNode(NodeOf(entry), false, false); });
  }
  StatusBar->SetText(0, ListCountText());
}

QString TFormTessalyView::ListCountText() const {
  const TNodeList& list = App.Main.List;
  if (!ListModel->Filtered()) return Q(list.CountText());
  const int selected = list.SelectedCount();
  return Q(selected > 0 ? ObjectCountText(selected, true) : ObjectCountText(ListModel->rowCount(), false));
}

void TFormTessalyView::ApplyListSelection() {
  ListNeedsSelection_ = false;
  TNodeList& list = App.Main.List;
  ++Quiet_;
  QItemSelection selection;
  QModelIndex first;
  const bool filterDone = !ListModel->Filtering();
  for (int i = 0; i < list.Count(); ++i) {
    if (!list.Row(i)->Selected) continue;
    const int row = ListModel->ModelRow(i);
    if (row < 0) {
      // A row the filter hides is no longer selected (once the filter has read every row).
      if (filterDone && ListModel->Filtered()) list.Row(i)->Selected = false;
      continue;
    }
    selection.select(ListModel->index(row, 0), ListModel->index(row, ListModel->columnCount() - 1));
    if (!first.isValid()) first = ListModel->index(row, 0);
  }
  ListView->Selection()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  if (first.isValid()) {
    ListView->Selection()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
    ListView->Current()->scrollTo(first);
  }
  --Quiet_;
  StatusBar->SetText(0, ListCountText());
}

void TFormTessalyView::ListDoubleClicked(int shownRow) {
  TNodeList& list = App.Main.List;
  const int row = ListModel->ListRow(shownRow);
  if (row < 0 || row >= list.Count()) return;
  TTreeEntry* entry = list.Row(row)->Entry;
  Command([this, entry] {
    App.Main.SelectEntry(nullptr);
    App.Main.SelectEntry(entry);
  });
}

void TFormTessalyView::FillHistoryList(bool back) {
  QMenu* menu = back ? Menu->PMBack : Menu->PMForward;
  menu->clear();
  const std::vector<std::string> items = back ? App.Main.History.BackList() : App.Main.History.ForwardList();
  for (size_t k = 0; k < items.size(); ++k) {
    const int delta = (back ? -1 : 1) * static_cast<int>(k + 1);
    QAction* a = menu->addAction(Q(items[k]));
    a->setObjectName(QStringLiteral("%1%2").arg(back ? "PMBackItem" : "PMForwardItem").arg(k + 1));
    connect(a, &QAction::triggered, this, [this, delta] { Command([this, delta] { App.Main.MoveInHistory(delta); }); });
  }
}

void TFormTessalyView::RefreshFileMenu() {
  Menu->MICompareWithProject->setEnabled(EditURL->isEnabled() && App.Map.Count() > 0);
  Menu->MISpiderLocalURL->setEnabled(EditURL->isEnabled());
  Menu->MIHTTPSettings->setEnabled(EditURL->isEnabled());
  Menu->MICrawlSettings->setEnabled(EditURL->isEnabled());
  Menu->MIValidateExternalURLs->setChecked(App.Main.Tree.ValidateExternalURLs);
  Menu->MICheckPageResources->setChecked(App.CheckPageResources());
  Menu->MICheckAnchors->setChecked(App.CheckAnchors());
}

void TFormTessalyView::RefreshTreeMenu() { Popups->ApplyTree(TreeMenuState(App.Main.Tree, App.Main.Selected())); }

void TFormTessalyView::RefreshListMenu() { Popups->ApplyList(ListMenuState(App.Main.Tree, App.Main.List)); }

void TFormTessalyView::ShowProperties(TSpiderNode* node) {
  if (!node) return;
  FormProperties->ShowFor(*node);
  RefreshFromState();
}

void TFormTessalyView::EditNode(TSpiderNode* node, bool spelling) {
  if (!node) return;
  App.EditNode(node, spelling);
  RefreshFromState();
}

void TFormTessalyView::DownloadListSelection() {
  // Every selected row's document in list order; the first failure or cancellation stops.
  TNodeList& list = App.Main.List;
  std::vector<TSpiderNode*> nodes;
  for (int i = 0; i < list.Count(); ++i) {
    TListRow* row = list.Row(i);
    TSpiderNode* n = row->Selected ? NodeOf(row->Entry) : nullptr;
    if (n && n->IsMappable()) nodes.push_back(n);
  }
  for (TSpiderNode* n : nodes)
    if (!n->DownloadToLocalFile(App.HTTPCopy, false)) break;
  App.Main.Refresh();
}

void TFormTessalyView::MapToLocalPath(TTreeEntry* entry) {
  TSpiderNode* first = MapToLocalPathTarget(App.Main.Tree, entry);
  if (!first) return;
  const std::string file = first->LocalFileName();
  const size_t slash = file.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
  if (auto chosen = App.Services.Ask->PromptFolder(folder)) first->MapToLocalPath(*chosen);
}

void TFormTessalyView::SelectAllRows() {
  // The preview of each newly selected row is suspended meanwhile.
  TNodeList& list = App.Main.List;
  ++Quiet_;
  ListView->Current()->selectAll();
  for (int i = 0; i < list.Count(); ++i) list.Row(i)->Selected = ListModel->ModelRow(i) >= 0;
  --Quiet_;
  StatusBar->SetText(0, ListCountText());
}

void TFormTessalyView::ShowAbout() {
  const TTranslationStore& store = App.Translations;
  TFormAboutBox box([&store](const std::string& text) { return store.Translate(text, "STRING_TABLE"); },
                    [this](const std::string& target) { OpenInBrowser(App.Services, target); }, this);
  TranslateComponent(&box, store);
  box.exec();
}

void TFormTessalyView::TranslateWindows() {
  if (Translated_) return;
  Translated_ = true;
  TranslateApplication(App.Translations);
  ListModel->SetTranslations(&App.Translations);
  // Start and Stop take turns on one button: it is as wide as the wider of the two.
  const QFontMetrics metrics = ButtonSpider->fontMetrics();
  ButtonSpider->setMinimumWidth(
      std::max(metrics.horizontalAdvance(RunTimeString("Start")), metrics.horizontalAdvance(RunTimeString("Stop"))) + 40);
  // A translated column caption longer than its column widens the column to show it whole.
  QHeaderView* header = ListView->Details->header();
  for (int i = 0; i < header->count(); ++i)
    header->resizeSection(i, std::max(header->sectionSize(i), header->sectionSizeHint(i)));
  RefreshFromState();
}

void TFormTessalyView::RefreshEditMenu() {
  // The context menus first, as when they are shown.
  RefreshTreeMenu();
  RefreshListMenu();
  QLineEdit* edit = EditURL->lineEdit();
  QWidget* focus = QApplication::focusWidget();
  TEditMenuInput in;
  in.AddressFocused = focus == edit || focus == EditURL;
  in.SelectionLength = static_cast<int>(edit->selectedText().size());
  in.TextLength = static_cast<int>(edit->text().size());
  in.ClipboardHasText = !QApplication::clipboard()->text().isEmpty();
  in.TreeFocused = focus && (focus == TreeView || TreeView->isAncestorOf(focus));
  in.ListFocused = focus && (focus == ListView || ListView->isAncestorOf(focus));
  in.TreeEdit = Popups->TVEdit->isEnabled();
  in.TreeSpelling = Popups->TVSpelling->isEnabled();
  in.ListEdit = Popups->LVEdit->isEnabled();
  in.ListSpelling = Popups->LVSpelling->isEnabled();
  const TEditMenuState s = EditMenuState(in);
  const std::pair<QAction*, bool> rules[] = {{Menu->MIUndo, s.Undo},
                                             {Menu->MICut, s.Cut},
                                             {Menu->MICopy, s.Copy},
                                             {Menu->MIPaste, s.Paste},
                                             {Menu->MISelectAll, s.SelectAll}};
  for (const auto& [item, enabled] : rules) {
    item->setVisible(s.TextItemsVisible);
    item->setEnabled(enabled);
  }
  Menu->MIEditFile->setEnabled(s.EditFile);
  Menu->MISpelling->setEnabled(s.Spelling);
}

void TFormTessalyView::RefreshViewMenu() {
  Menu->StyleItem(ListView->ViewStyle())->setChecked(true);
  Menu->MIConnectionStatus->setChecked(FormHTTPClient->isVisible());
  Menu->MIViewFolders->setChecked(!PanelTreeView->isHidden());
  Menu->MIWebBrowser->setChecked(!PanelWebBrowser->isHidden());
  Menu->MIStatusBar->setChecked(!StatusBar->isHidden());
}

void TFormTessalyView::RefreshGoToMenu() {
  Menu->MIBack->setEnabled(Menu->TBBack->isEnabled());
  Menu->MIForward->setEnabled(Menu->TBForward->isEnabled());
  Menu->MIUpOneLevel->setEnabled(Menu->TBUpOneLevel->isEnabled());
}

void TFormTessalyView::SetViewStyle(int style) {
  ListView->SetViewStyle(style);
  Menu->StyleItem(ListView->ViewStyle())->setChecked(true);
  Menu->StylePopupItem(ListView->ViewStyle())->setChecked(true);
}

void TFormTessalyView::SetPanelVisible(QWidget* panel, bool visible) {
  // A hidden panel takes its splitter handle with it.
  panel->setVisible(visible);
  SyncCheckButtons();
}

void TFormTessalyView::ShowPreview(bool visible) { SetPanelVisible(PanelWebBrowser, visible); }

void TFormTessalyView::PaintPlainlyAgain() {
  // A web view makes its window compose every repaint through the graphics stack (software GL on
  // a machine without a graphics card), and the window stays so after the view is gone. With no
  // browser left (the preview hidden or empty), the window is made anew, in the same place, size
  // and state, to paint plainly.
  QWindow* handle = windowHandle();
  if (!handle || handle->surfaceType() == QSurface::RasterSurface || !isVisible() || PanelWebBrowser->WebBrowser)
    return;
  const QByteArray geometry = saveGeometry();
  QPointer<QWidget> focus = QApplication::focusWidget();
  destroy(true, false);
  create();
  restoreGeometry(geometry);
  show();
  if (focus && focus->window() == this) focus->setFocus();
}

void TFormTessalyView::SyncCheckButtons() {
  Menu->TBFolders->setChecked(!PanelTreeView->isHidden());
  Menu->TBPreview->setChecked(!PanelWebBrowser->isHidden());
  Menu->TBStatus->setChecked(FormHTTPClient && FormHTTPClient->isVisible());
}

void TFormTessalyView::SizeStatusPanels() {
  StatusBar->SetWidth(0, PanelTreeView->width() + 1);
  StatusBar->Fit();
}

void TFormTessalyView::TimerTimer() {
  App.Main.TimerTick();
  StatusBar->SetBusy(App.Main.Busy, App.Main.BusyPosition);
}

bool TFormTessalyView::CanSaveInPlace(const std::string& path) const {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (path.empty() || !fs::is_regular_file(path, ec)) return false;
  const fs::path file = fs::absolute(path, ec);
  const fs::path folder = file.parent_path();
  if (access(file.c_str(), W_OK) != 0 || access(folder.c_str(), W_OK) != 0) return false;
  if (App.Services.Dirs) {
    const std::string cache = fs::weakly_canonical(InternetCacheFolder(*App.Services.Dirs), ec).string() + "/";
    const std::string canonical = fs::weakly_canonical(file, ec).string();
    if (canonical.compare(0, cache.size(), cache) == 0) return false;
  }
  return true;
}

void TFormTessalyView::SaveProjectCommand() {
  const std::string path = App.Main.ProjectFileName;
  if (CanSaveInPlace(path)) App.Main.SaveProject(path);
  else InvokeMenuItem(Menu->MISaveAs);
}

void TFormTessalyView::SaveProjectAsCommand() {
  if (auto file = App.Services.Ask->PromptSaveFile(App.Main.ProjectFileName, kProjectSaveFilter, "tly"))
    App.Main.SaveProject(*file);
}

void TFormTessalyView::CompareWithProjectCommand() {
  if (!App.Engine.CompareWithProjectAs()) return;
  TTreeEntry* first = App.Engine.ActiveComparison().Category(0);
  App.Main.SelectEntry(first);
  TreeView->scrollTo(TreeModel->IndexOf(first));
}

void TFormTessalyView::OpenArgument(const std::string& argument) {
  if (argument.empty()) return;
  Command([this, &argument] {
    if (SameText(std::filesystem::path(argument).extension().string(), ".tly")) {
      if (App.Main.OpenProjectFile(argument)) TreeView->expand(TreeModel->IndexOf(App.Main.Tree.SiteRoot()));
      return;
    }
    App.Main.EditURL = argument;
    AddressEdited(Q(argument));
    RefreshFromState();
    PressButton(ButtonSpider);
  });
}

bool TFormTessalyView::OfferRecovery() {
  TCrawlRecovery* recovery = App.Main.Recovery;
  const auto leftover = recovery ? recovery->Leftover() : std::nullopt;
  if (!leftover) return false;
  if (!App.Services.Ask->AskYesNo(TCrawlRecovery::Question(*leftover))) {
    recovery->Remove();
    return false;
  }
  bool reopened = false;
  Command([&] {
    reopened = App.Main.ReopenRecovery(*leftover);
    if (reopened) TreeView->expand(TreeModel->IndexOf(App.Main.Tree.SiteRoot()));
  });
  return reopened;
}

bool TFormTessalyView::CloseQuery() {
  TFormTessaly& main = App.Main;
  if (!App.Map.Modified) return true;
  const std::string question =
      FormatText("The file \"%s\" has been changed.\r\rDo you want to save the changes?", main.ProjectFileName.c_str());
  switch (App.Services.Ask->AskYesNoCancel(question)) {
    case platform::Answer::Cancel:
      return false;
    case platform::Answer::No:
      return true;
    case platform::Answer::Yes:
      InvokeMenuItem(Menu->MISave);
      return !App.Map.Modified;
  }
  return false;
}

void TFormTessalyView::closeEvent(QCloseEvent* event) {
  if (Closed_) {
    event->accept();
    return;
  }
  if (!CloseQuery()) {
    event->ignore();
    return;
  }
  // Closing: every request ends (its workers waited for), the preview stops, the map is
  // cleared and the recent addresses are written.
  Closed_ = true;
  Timer.stop();
  FormShutDown->ShowNotice();
  App.Pool.TerminateAll();
  FormHTTPClient->hide();
  PanelWebBrowser->StopAndClear();
  App.Close();
  event->accept();
}

void TFormTessalyView::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (Shown_) return;
  Shown_ = true;
  // The start page shipped beside the program.
  if (ShowStartPage) PanelWebBrowser->Navigate(AppFolderFile(App.Services, "Services.htm"));
  SizeStatusPanels();
  // The splash, unless the command line says NoSplash.
  QTimer::singleShot(0, this, [this] {
    FormSplash->ShowSplash(AppFolderFile(App.Services, "Setup.bmp"),
                           App.Translations.Translate(kApplicationTitle, "Application"),
                           HasNoSplashSwitch(QApplication::arguments()));
  });
}

void TFormTessalyView::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
    // The first activation translates every window.
    if (!Translated_) Command([this] { TranslateWindows(); });
    setWindowTitle(Q(WindowCaption(App.Main.ProjectFileName)));
  }
}

bool TFormTessalyView::eventFilter(QObject* watched, QEvent* event) {
  // Enter in the address box is swallowed and presses Start.
  if ((watched == EditURL || watched == EditURL->lineEdit()) && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      PressButton(ButtonSpider);
      return true;
    }
  }
  // The right mouse button selects the entry under the pointer (none there: no selection), so
  // that the context menu acts on it.
  if (watched == TreeView->viewport() && event->type() == QEvent::MouseButtonPress) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::RightButton) {
      const QModelIndex index = TreeView->indexAt(mouse->position().toPoint());
      if (index.isValid()) TreeView->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
      else TreeView->selectionModel()->clearSelection();
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace gui
