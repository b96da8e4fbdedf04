#include "app/MenuRules.h"

#include "app/NodeList.h"
#include "app/SpiderNode.h"
#include "app/SpiderTools.h"

namespace {
void NodeRules(TNodeMenuState& s) {
  TSpiderNode* n = s.Node;
  s.Open = n != nullptr;
  s.Properties = n != nullptr;
  s.Edit = n && n->IsMappable();
  s.Spelling = s.Edit && n->IsHTML();
  s.DownloadToLocalFile = s.Edit;
  s.MaptoLocalFilenameVisible = s.Edit;
  s.ClearLocalFilename = s.Edit && !n->LocalFile.empty();
  s.Refresh = true;
}
}  // namespace

TSpiderNode* MapToLocalPathTarget(const TSiteTree& tree, const TTreeEntry* entry) {
  if (!entry || !entry->HasChildren() || !IsSameOrDescendant(entry, tree.SiteRoot())) return nullptr;
  return NodeOf(entry->Child(0));
}

TNodeMenuState TreeMenuState(const TSiteTree& tree, TTreeEntry* selected) {
  TNodeMenuState s;
  s.Entry = selected;
  s.Node = selected ? NodeOf(selected) : nullptr;
  NodeRules(s);
  s.MaptoLocalPathVisible = MapToLocalPathTarget(tree, selected) != nullptr;
  return s;
}

TNodeMenuState ListMenuState(const TSiteTree& tree, const TNodeList& list) {
  TNodeMenuState s;
  int selected = 0;
  for (int i = 0; i < list.Count(); ++i) {
    TListRow* row = list.Row(i);
    if (!row->Selected) continue;
    if (++selected == 1) s.Entry = row->Entry;
  }
  s.Node = s.Entry ? NodeOf(s.Entry) : nullptr;
  NodeRules(s);
  s.MaptoLocalPathVisible = MapToLocalPathTarget(tree, s.Entry) != nullptr;
  s.SelectAll = list.Count() > 0 && selected < list.Count();
  s.Export = selected > 0;
  return s;
}

TEditMenuState EditMenuState(const TEditMenuInput& in) {
  TEditMenuState s;
  s.TextItemsVisible = in.AddressFocused;
  if (in.AddressFocused) {
    s.Undo = true;
    s.Cut = in.SelectionLength > 0;
    s.Copy = in.SelectionLength > 0;
    s.Paste = in.ClipboardHasText;
    s.SelectAll = in.SelectionLength < in.TextLength;
  }
  if (in.TreeFocused || in.ListFocused) {
    s.EditFile = in.TreeEdit || in.ListEdit;
    s.Spelling = in.TreeSpelling || in.ListSpelling;
  }
  return s;
}
