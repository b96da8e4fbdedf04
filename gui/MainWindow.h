// The main window: the view of TFormTessaly. It forwards every event to one operation of the
// logic and redraws from the logic's state; it keeps no rows, nodes or settings of its own.
#pragma once

#include <QMainWindow>
#include <QTimer>
#include <QElapsedTimer>
#include <functional>
#include <memory>
#include <string>

class QComboBox;
class QLabel;
class QPushButton;
class QSplitter;
class QToolButton;
class QTreeView;
class TCrawlTally;
class TTessalyApp;
class TSpiderNode;
class TTreeEntry;

namespace gui {

class NodeListModel;
class QtServices;
class SiteTreeModel;
class TFormHTTPClientView;
class TListFilterBar;
class TMainMenu;
class TNodeListView;
class TPreviewPanel;
class TStatusPanels;
class TContextMenus;
class TFormProperties;
class TFormHTTPSettingsView;
class TFormCrawlSettingsView;
class TFormExternalToolsView;
class TFormSpellingView;
class TFormSplash;
class TFormShutDown;
class TPaintThrottle;
class TSummaryView;

// "Tessaly Projects (*.tly)|*.tly;*.htm;*.html|" and the other filters of the commands.
extern const char* const kProjectOpenFilter;
extern const char* const kProjectSaveFilter;
extern const char* const kHTMLFilter;

class TFormTessalyView : public QMainWindow {
  Q_OBJECT
 public:
  struct Options {
    bool WebEngine = true;  // the preview browser (tests without pages leave it out)
  };
  TFormTessalyView(TTessalyApp& app, QtServices& qt, Options options);
  ~TFormTessalyView() override;

  TTessalyApp& App;
  QtServices& Qt;

  // Runs one command of the logic; an error it raises is shown in the error box and the window
  // stays usable. Returns whether it ran without error.
  bool Command(const std::function<void()>& command);
  // Redraws the window from the logic's state.
  void RefreshFromState();
  // Shows or hides the preview panel, as its menu item does.
  void ShowPreview(bool visible);

  // The closing question; true when the window may close.
  bool CloseQuery();
  // The save commands: Save saves in place when the project file can be written there,
  // otherwise asks for a file like Save As.
  void SaveProjectCommand();
  void SaveProjectAsCommand();
  // File > Compare with Project...: asks for an earlier project, compares the map with it and
  // selects the first of the comparison's categories.
  void CompareWithProjectCommand();
  // The command line: a project file (".tly") is opened, anything else is put into the address
  // box and crawled.
  void OpenArgument(const std::string& argument);
  // Whether the preview shows the start page when the window first shows. Off when the command
  // line names a project or an address: its map replaces the start page at once, and the
  // browser is then made only when a page is previewed.
  bool ShowStartPage = true;
  // At start: a crawl's recovery file left by a crash is offered ("A crawl of ... was
  // interrupted at .... Reopen it?"); Yes opens it, No removes it. True when it was reopened.
  bool OfferRecovery();
  // Whether the project may be written over in place: an existing writable file in a writable
  // folder, outside the cache folder.
  bool CanSaveInPlace(const std::string& path) const;

  // The context menus' and the dialogs' commands.
  void RefreshTreeMenu();
  void RefreshListMenu();
  void ShowProperties(TSpiderNode* node);
  void EditNode(TSpiderNode* node, bool spelling);
  void DownloadListSelection();
  void MapToLocalPath(TTreeEntry* entry);
  void SelectAllRows();
  void ShowAbout();
  // The Summary page in the preview area: the figures of the map as it is now. A large map's
  // figures are read a slice at a time between the window's other work.
  void ShowSummary();
  // Status panel 3: checked, found, broken and pending addresses and requests per second
  // during a crawl; the first three after it.
  QString CrawlFiguresText();
  // Translates every window from the translation store (once, at the first activation).
  void TranslateWindows();
  bool Translated() const { return Translated_; }

  // A double-click on a tree entry without children that has a node: the node's properties
  // (the properties dialog sets this).
  std::function<void(TSpiderNode*)> OnNodeProperties;

  // Widgets, by their names.
  TMainMenu* Menu;
  QComboBox* EditURL;
  QPushButton* ButtonBrowse;
  QPushButton* ButtonSpider;
  QWidget* PanelTreeView;
  QToolButton* ButtonCloseTreeView;
  QTreeView* TreeView;
  QLabel* PanelPath;
  TListFilterBar* PanelFilter;  // the filter box over the list (Ctrl+F)
  TNodeListView* ListView;
  TPreviewPanel* PanelWebBrowser;
  TStatusPanels* StatusBar;
  QSplitter* SplitterLeft;   // between the tree panel and the right side
  QSplitter* SplitterRight;  // between the list and the preview
  QTimer Timer;
  TFormHTTPClientView* FormHTTPClient = nullptr;
  TContextMenus* Popups;
  TFormProperties* FormProperties;
  TFormHTTPSettingsView* FormHTTPSettings;
  TFormCrawlSettingsView* FormCrawlSettings;
  TFormExternalToolsView* FormExternalTools;
  TFormSpellingView* FormSpelling;
  TFormSplash* FormSplash;
  TFormShutDown* FormShutDown;

  SiteTreeModel* TreeModel;
  NodeListModel* ListModel;
  // While a crawl runs, the window paints at most ten times a second.
  TPaintThrottle* PaintLimit = nullptr;
  TSummaryView* Summary = nullptr;  // made at its first showing
  // The Summary being read from a large map, slice by slice; none when none is.
  struct TSummaryWork;
  std::unique_ptr<TSummaryWork> SummaryWork_;
  void StepSummary();
  std::unique_ptr<TCrawlTally> Tally;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildWidgets();
  void ConnectCommands();
  void TreeSelectionChanged();
  void ListSelectionChanged();
  void ApplyListSelection();
  void ListDoubleClicked(int row);
  // Status panel 0: the rows shown (or selected), under a filter those that pass.
  QString ListCountText() const;
  void AddressEdited(const QString& text);
  void UpdateSpiderHint();
  void FillHistoryList(bool back);
  void RefreshFileMenu();
  void RefreshEditMenu();
  void RefreshViewMenu();
  void RefreshGoToMenu();
  void SetViewStyle(int style);
  void SetPanelVisible(QWidget* panel, bool visible);
  // Once the preview's browser is gone, makes the window's own surface anew if the browser had
  // turned it to composing through the graphics stack.
  void PaintPlainlyAgain();
  void SyncCheckButtons();
  void SizeStatusPanels();
  void TimerTimer();
  // The logic's change notification: redrawn at once after a command or when busy turns on or
  // off; during a crawl the pool's many notifications are redrawn together, ten times a second.
  void StateChanged();

  int Quiet_ = 0;  // the window is writing the views itself: their signals are not commands
  bool ListNeedsSelection_ = false;
  bool Shown_ = false;
  bool Closed_ = false;
  bool Translated_ = false;
  int InCommand_ = 0;       // a command of the person is running
  bool ShownBusy_ = false;  // the busy state the window last drew
  QTimer RefreshLater_;
  // During a crawl the tree's column is fitted to its rows once a second, not at every layout.
  QTimer TreeFitLater_;
  void FitTreeColumnSlowly(bool on);
  QElapsedTimer CrawlClock_;  // the times of the rate's samples
  std::vector<std::string> ShownRecent_;  // what the address box's list shows, to redraw it only on change
};

}  // namespace gui
