// The enabling rules of the main window's menus as data: what each item of the tree's and the
// list's context menus and of the Edit menu offers for the current selection and focus. The
// window asks these when a menu opens and shows the answer; tests check them without widgets.
#pragma once

class TNodeList;
class TSiteTree;
class TSpiderNode;
class TTreeEntry;

// The tree's (`TV...`) and the list's (`LV...`) context menus.
struct TNodeMenuState {
  TSpiderNode* Node = nullptr;  // N: the node the items act on
  TTreeEntry* Entry = nullptr;  // E: the selected tree entry (list: the selected row's entry)
  bool Open = false;            // and Open in New Window, Properties
  bool Edit = false;
  bool Spelling = false;
  bool DownloadToLocalFile = false;
  bool MaptoLocalFilenameVisible = false;
  bool MaptoLocalPathVisible = false;
  bool ClearLocalFilename = false;
  bool SelectAll = false;  // list only
  bool Export = false;     // list only
  bool Refresh = true;
  bool Properties = false;
};

// For the tree's selected entry (none: only Refresh).
TNodeMenuState TreeMenuState(const TSiteTree& tree, TTreeEntry* selected);
// For the list's first selected row.
TNodeMenuState ListMenuState(const TSiteTree& tree, const TNodeList& list);
// The folder entry whose first child "Map to Local Path..." maps, when that item is offered.
TSpiderNode* MapToLocalPathTarget(const TSiteTree& tree, const TTreeEntry* entry);

// The Edit menu: the five text items act on the address box while it has the focus; Edit and
// Check Spelling act on the focused tree or list through its context menu.
struct TEditMenuInput {
  bool AddressFocused = false;
  int SelectionLength = 0;
  int TextLength = 0;
  bool ClipboardHasText = false;
  bool TreeFocused = false;
  bool ListFocused = false;
  bool TreeEdit = false, TreeSpelling = false;  // the context menus' Edit and Check Spelling
  bool ListEdit = false, ListSpelling = false;
};
struct TEditMenuState {
  bool TextItemsVisible = false;
  bool Undo = false, Cut = false, Copy = false, Paste = false, SelectAll = false;
  bool EditFile = false, Spelling = false;
};
TEditMenuState EditMenuState(const TEditMenuInput& in);
