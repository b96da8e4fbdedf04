// "URL Properties" (TFormSpiderNodeProperties) without widgets: what the dialog shows of one
// node, its referers, and the enabling of the referers list's menu.
#pragma once

#include <string>
#include <vector>

#include "app/Anchors.h"

class TSpiderNode;

class TFormSpiderNodeProperties {
 public:
  static constexpr const char* kCaption = "URL Properties";

  // Reads the node's local file again (which sets the map's Modified) and fills the fields.
  void Fill(TSpiderNode& node);

  TSpiderNode* Node = nullptr;
  std::string EditTitle, EditDesc;
  std::string EditRemote, EditRemoteDate, EditRemoteSize, EditRemoteResponse;
  std::string EditLocal, EditLocalDate, EditLocalSize;
  bool ButtonRemoteEnabled = false, ButtonLocalEnabled = false;
  std::vector<TSpiderNode*> Referers;  // the rows of LVReferers, in order
  // The node's broken anchors: each fragment that links name and the page lacks, with the pages
  // whose links name it (the rows of LVBrokenAnchors; the group shows only when there are any).
  std::vector<TMissingAnchor> BrokenAnchors;

  // The referers list's menu for the selected referer (none: nothing enabled).
  struct TMenuState {
    bool Open = false;  // and Open in New Window
    bool Edit = false;
    bool Spelling = false;
  };
  static TMenuState MenuState(const TSpiderNode* referer);
};
