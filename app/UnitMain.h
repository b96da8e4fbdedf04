// The main window's logic without widgets: the site tree and its roots, the node list, the
// selection and history, the project name, the recent addresses and the address box. The Qt
// window forwards its events to these operations and redraws from this state; tessaly-crawl
// calls the same operations.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Kel/KelDialogs.h"
#include "app/CrawlController.h"
#include "app/CrawlRecovery.h"
#include "app/History.h"
#include "app/LiveList.h"
#include "app/NodeList.h"
#include "app/ProjectFile.h"
#include "app/SpiderTools.h"
#include "platform/Platform.h"

class TFormHTTPClient;
class TFormProgress;
class THTTPClient;
class TIniText;
class TProjectReader;
class TSpellingDictionaries;

// The recent addresses: how many are kept, the longest kept, and how much of "MRU.txt" is read.
extern const char* const kForeignFileQuestion;
extern const char* const kOpenOutsideQuestion;
constexpr size_t kMaxRecentAddresses = 10;
constexpr size_t kMaxRecentAddressLength = 2048;
constexpr size_t kMaxRecentFileBytes = 64 * 1024;
// Whether an address may stand in the recent list: not empty, at most kMaxRecentAddressLength
// bytes, no control characters.
bool IsRecentAddressKept(std::string_view address);

class TFormTessaly {
 public:
  TFormTessaly(TSiteMap& map, platform::Services& services, IRequestQueue* pool = nullptr);
  TFormTessaly(const TFormTessaly&) = delete;
  TFormTessaly& operator=(const TFormTessaly&) = delete;
  virtual ~TFormTessaly();

  TSiteMap& Map;
  platform::Services& Services;
  TSiteTree Tree;
  TNodeList List;
  TNavigationHistory History;
  // The list follows the selected entry: rows are appended as the crawl finds them.
  TLiveList Live{Tree, List};

  std::string ProjectFileName = kUntitledProject;
  std::vector<std::string> RecentAddresses;  // the address box's drop-down list, newest first
  std::string EditURL;                       // the address box's text
  bool EditURLEnabled = true;
  std::string PathText;  // the path bar: the selected entry's address
  std::string Caption;   // the window caption
  bool BackEnabled = false, ForwardEnabled = false, UpEnabled = false;
  TTreeEntry* Selected() const { return Selected_; }

  // Called whenever the selection or the window's state changed (the Qt window redraws).
  std::function<void()> OnStateChange;
  // Called when Start shows the request pool's "Connection Status" window.
  std::function<void()> OnShowPool;

  // The crawl: its controller, with the request pool (whose status notification comes here)
  // and the dictionaries of the spelling count.
  TCrawlController Crawl;
  TFormHTTPClient* Pool() const { return Crawl.Pool(); }
  // The progress runner of project loading (none: loads run without one).
  TFormProgress* Progress = nullptr;

  // The Start/Stop button, the browse button, the status bar's panels 1 and 2, the busy timer.
  std::string ButtonSpiderCaption = "Start";
  bool ButtonSpiderEnabled = true;
  bool ButtonSpiderStops = false;  // the button's action is Stop
  bool ButtonBrowseEnabled = true;
  std::string StatusRequesting;  // panel 1
  bool Busy = false;             // panel 2 shows the busy indicator, else "Idle"
  bool TimerRunning = false;
  int BusyPosition = 0, BusyStep = 0;

  // The crawl's operations, carried out by the crawl controller. Start: a fresh crawl from the
  // address box, or the resumption of the current one.
  void ButtonSpiderClick();
  // Stop: no new requests start; running ones finish.
  void ButtonStopClick();
  // The Start/Stop button as pressed: Start or Stop, whichever it shows.
  void ButtonSpiderPress();
  // Completion of a header request.
  void ButtonCallBackHEADClick(THTTPClient& sender) { Crawl.HeaderCompletion(sender); }
  // Completion of a full request or of a redirect check.
  void ButtonCallBackGETClick(THTTPClient& sender) { Crawl.FullCompletion(sender); }
  // The pool's status notification: busy or idle.
  void ButtonOnStatusClick();
  // One tick of the 60 ms busy timer: the light band of the busy indicator moves on.
  void TimerTick();

  // Project files (".tly").
  // Writes the whole map to `path` (through a temporary file); clears Modified. Fails with the
  // system's message, leaving the old file and the Modified flag as they were.
  void SaveProject(const std::string& path);
  // A ".tly" file (any letter case) is opened as a project; any other file is shown in the
  // preview. Fails when the file cannot be read. Returns false when New Project was refused.
  bool OpenProjectFile(const std::string& path);
  // Rebuilds the map from a parsed project file (the hidden "Load" button). An error stops the
  // load with a warning that carries its message; the nodes loaded so far stay. Returns whether
  // it loaded without error.
  bool LoadProject(TProjectReader& file, TFormProgress* progress);
  // The message of the error that stopped the last load (empty when it loaded cleanly).
  std::string LastLoadError;
  // The running crawl's recovery file (none: the program keeps none): the pool's status
  // notifications drive it while the crawl is busy, and a save removes it.
  TCrawlRecovery* Recovery = nullptr;
  // Opens a recovery file that a crash left: the map comes back under its project's name (or
  // untitled), modified, so that closing asks to save it. Returns false as OpenProjectFile.
  bool ReopenRecovery(const TCrawlRecovery::TLeftover& leftover);

  // New Project: asks "Do you want to clear the current spider results?" when the map is
  // modified; No ends silently (false). Otherwise Reset (true).
  bool NewProject();
  // Terminates all requests, clears the model, resets history and project name, selects the
  // site root and refreshes.
  void Reset();
  // Deselects and reselects the selected entry (so the list is refilled), then the caption.
  void Refresh();
  // The tree's selection changed to `entry` (none: cleared).
  void SelectEntry(TTreeEntry* entry);
  // Back (-1), Forward (+1), the k-th item of their lists (-k, +k).
  void MoveInHistory(int delta);
  void UpOneLevel();

  // Moves the address box's text to the top of the recent addresses (an equal entry, ignoring
  // case, keeps its own spelling), or inserts it there.
  void AddRecentAddress();
  // "MRU.txt" beside "Settings.ini" (see RecentAddressesFolder): read at creation (its first 10
  // valid lines within its first 64 KiB), written (first 10) at destruction.
  void LoadRecentAddresses();
  void SaveRecentAddresses() const;
  // The folder of "MRU.txt": the settings files' folder when set (the user's configuration
  // folder for an installed program or a program folder that cannot be written), else the
  // program's folder.
  std::function<std::string()> RecentAddressesFolder;
  std::string RecentAddressesFile() const;
  // Puts `text` into the address box and shows it in the preview.
  void SetAddress(const std::string& text);
  // Whether an address may be shown in the preview or the browser: a file address from a web
  // site (not the local file of a local crawl) only when the user says yes (kForeignFileQuestion).
  bool MayShowAddress(const TURI& uri);
  // A link clicked in the preview: its address is selected in the tree when it is in the map;
  // otherwise a web address (or a file of a local crawl) is offered to the browser
  // (kOpenOutsideQuestion), and any other address is never handed to the desktop.
  void PreviewLinkClicked(const std::string& address);
  // Shows a node in the preview (or in the external browser with `newWindow`).
  void PreviewNode(TSpiderNode* node, bool newWindow, bool force);

 protected:
  void Changed();
  TTreeEntry* Selected_ = nullptr;
};
