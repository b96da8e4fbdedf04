// The main window's logic without widgets: the site tree and its roots, the node list, the
// selection and history, the project name, the recent addresses and the address box. The Qt
// window forwards its events to these operations and redraws from this state; tessaly-crawl
// calls the same operations.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "Kel/KelDialogs.h"
#include "app/History.h"
#include "app/NodeList.h"
#include "app/SpiderTools.h"
#include "platform/Platform.h"

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

  std::string ProjectFileName = "untitled.tly";
  std::vector<std::string> RecentAddresses;  // the address box's drop-down list, newest first
  std::string EditURL;                       // the address box's text
  bool EditURLEnabled = true;
  std::string PathText;                      // the path bar: the selected entry's address
  std::string Caption;                       // the window caption
  bool BackEnabled = false, ForwardEnabled = false, UpEnabled = false;
  TTreeEntry* Selected() const { return Selected_; }

  // Called whenever the selection or the window's state changed (the Qt window redraws).
  std::function<void()> OnStateChange;

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
  // "MRU.txt" beside the program: read at creation, written (first 10) at destruction.
  void LoadRecentAddresses();
  void SaveRecentAddresses() const;
  // Puts `text` into the address box and shows it in the preview.
  void SetAddress(const std::string& text);
  // Shows a node in the preview (or in the external browser with `newWindow`).
  void PreviewNode(TSpiderNode* node, bool newWindow, bool force);

 protected:
  void Changed();
  TTreeEntry* Selected_ = nullptr;
};
