// The site tree: an ordered tree of entries (caption, children in insertion order, optional
// spider node) with seventeen top-level entries, and link insertion, the one way addresses
// enter the model.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Dialogs/RequestQueue.h"
#include "app/SpiderNode.h"

class TSiteTree;
class TNodeList;

class TTreeEntry {
 public:
  TTreeEntry(TSiteTree* tree, TTreeEntry* parent, std::string caption, int index)
      : Caption(std::move(caption)), Parent(parent), Tree(tree), Index(index) {}
  TTreeEntry(const TTreeEntry&) = delete;
  TTreeEntry& operator=(const TTreeEntry&) = delete;
  // Frees the branch below without recursion: a branch may be hundreds of thousands deep.
  ~TTreeEntry();

  std::string Caption;
  TTreeEntry* Parent;           // none for a top-level entry
  TSpiderNode* Node = nullptr;  // the entry's own spider node (its data), not owned
  TSiteTree* Tree;
  std::vector<std::unique_ptr<TTreeEntry>> Children;  // add them with TSiteTree only
  int Index;                                          // position among its siblings

  bool HasChildren() const { return !Children.empty(); }
  int Count() const { return static_cast<int>(Children.size()); }
  TTreeEntry* Child(int i) const { return Children.at(static_cast<size_t>(i)).get(); }
  // The previous and next entries among the siblings, or none.
  TTreeEntry* PrevSibling() const;
  TTreeEntry* NextSibling() const;

 private:
  friend class TSiteTree;
  bool Indexed_ = false;  // the tree keeps an index of this folder's children by caption
};

// Hears what happens to the tree, so that a view can present it without copying it.
// The "AboutTo" calls come before the change, the others after it.
class TSiteTreeObserver {
 public:
  virtual ~TSiteTreeObserver() = default;
  virtual void TreeAboutToReset() {}
  virtual void TreeReset() {}
  virtual void EntryAboutToBeAdded(TTreeEntry* /*parent*/, int /*row*/) {}
  virtual void EntryAdded(TTreeEntry* /*entry*/) {}
  virtual void EntryChanged(TTreeEntry* /*entry*/) {}  // caption or icon
};

// The top-level entries, in the order ResetSiteTree creates them.
enum TSiteRootKind : int {
  rkAll,
  rkBroken,
  rkBrokenAnchors,  // pages lacking a fragment that a link names
  rkRedirected,
  rkHTML,
  rkImages,
  rkAudio,
  rkVideo,
  rkApplications,
  rkSpelling,
  rkInternal,
  rkExternal,
  rkNews,
  rkJavaScript,
  rkOther,
  rkEmail,
  rkSiteRoot,
  rkCount
};

// "The maxium spider node count has been reached..." (lines separated by "\r").
extern const char* const kNodeLimitMessage;
constexpr int kMaxSpiderNodes = 4000;
// The node limit's message: kNodeLimitMessage and the way past it (the setting, the option).
std::string NodeLimitText(int limit);
// The deepest path the tree shows below an entry: the levels past it become one entry whose
// caption is the rest of the path, so that a view, a walk or an export of the tree costs at most
// this many levels per address. Addresses and nodes keep the whole path.
constexpr int kMaxTreeDepth = 256;

class TSiteTree {
 public:
  TSiteTree(TSiteMap& map, IRequestQueue* queue = nullptr);
  TSiteTree(const TSiteTree&) = delete;
  TSiteTree& operator=(const TSiteTree&) = delete;
  ~TSiteTree();

  TSiteMap& Map;
  IRequestQueue* Queue;           // where header checks go; none: nothing is queued
  TRequestCallback HeadCallback;  // completion of every header check that insertion queues
  bool ValidateExternalURLs = true;
  // The node limit ("Largest site (addresses)"): an insertion that leaves more nodes in the map
  // asks the queue to suspend the crawl. 0: no limit.
  int MaxNodes = kMaxSpiderNodes;
  TNodeList* List = nullptr;  // the node list, emptied with the tree (set with AttachList)
  void AttachList(TNodeList* list);

  const std::vector<std::unique_ptr<TTreeEntry>>& TopLevel() const { return Top_; }
  TTreeEntry* Root(TSiteRootKind kind) const;
  TTreeEntry* SiteRoot() const { return Root(rkSiteRoot); }
  // The filter of a filter root ("All" gives a predicate that is always true), or none.
  bool IsFilterRoot(const TTreeEntry* entry) const;
  bool PassesFilter(const TTreeEntry* filterRoot, const TSpiderNode& node) const;

  // The first child of `parent` (top level when none) whose caption equals `caption`
  // ignoring case, else a new last child with that caption.
  TTreeEntry* FindOrAddChild(TTreeEntry* parent, std::string_view caption);
  // Walks or builds the path of `text`, split at any of `delimiters`, below `start`: at most
  // kMaxTreeDepth levels, the last of which holds the rest of the text when it is deeper.
  TTreeEntry* FindOrAddPath(TTreeEntry* start, std::string_view text, std::string_view delimiters);
  // The same walk without adding: none when a piece of the path is missing.
  TTreeEntry* FindChild(const TTreeEntry* parent, std::string_view caption) const;
  TTreeEntry* FindPath(const TTreeEntry* start, std::string_view text, std::string_view delimiters) const;
  // NodeOf(entry), or a new spider node for `uri` attached to `entry`.
  TSpiderNode* EnsureNode(TTreeEntry* entry, const TURI& uri);

  // Files an address in the tree; creates its spider node when new and queues its header check.
  // Changes `uri` (bookmark and default port emptied, text normalised) and `referer` likewise.
  TTreeEntry* InsertURL(TURI& uri, TURI* referer, bool check);
  // Files a special address (mail, script, news, data, tel, ... : no request is ever made) under
  // `root`, answered 200 with its scheme as content type. A "data:" address longer than 64
  // characters is cut to 61 and "...".
  TTreeEntry* InsertSpecialURL(TURI& uri, TTreeEntry* root);
  // The entry InsertURL would file `uri` under, when it exists; changes nothing.
  TTreeEntry* FindURL(const TURI& uri) const;
  // The tree path of an internal address below the site root ("dir/index.html").
  std::string TreePathOf(const TURI& uri) const;

  // Terminates all requests, resets the site root, empties the list and the tree (freeing
  // every node) and creates the seventeen top-level entries; clears Modified.
  void ResetSiteTree();
  // Fills `list` with a row for every entry, depth-first, whose node passes `predicate`
  // (every node when it is empty).
  void ListMatching(TNodeList& list, const std::function<bool(const TSpiderNode&)>& predicate) const;
  // Selecting a filter root lists the nodes that pass its filter.
  void ListMatching(TNodeList& list, const TTreeEntry* filterRoot) const;
  // The site root shows the site's base address: protocol, "://", host (and a non-default port), path.
  void UpdateSiteRootCaption();

  // Top-level entries after the fixed ones (the categories of a comparison with an earlier
  // project), each a filter root of its own: selected, it lists its children when it has any,
  // else the nodes that `filter` accepts. They do not mark the map modified and go with the
  // tree's reset or with RemoveExtraRoots, whose observers hear a reset.
  TTreeEntry* AddExtraRoot(std::string_view caption, std::function<bool(const TSpiderNode&)> filter);
  // A new last child of `parent` with this caption, whatever its siblings are called.
  TTreeEntry* AddChild(TTreeEntry* parent, std::string_view caption);
  void RemoveExtraRoots();

  // Many changes at once (loading a project): observers hear one reset instead of each change.
  void BeginUpdate();
  void EndUpdate();

  // Tells the observers that an entry's icon or caption changed, and refreshes its node's row.
  void RefreshEntry(TTreeEntry* entry);
  void AddObserver(TSiteTreeObserver* observer);
  void RemoveObserver(TSiteTreeObserver* observer);

 private:
  friend class TTreeEntry;
  TTreeEntry* AddEntry(TTreeEntry* parent, std::string_view caption);
  // A large folder's children by caption, letters folded, first of equal captions only: finding
  // a child by caption costs the same in a folder of any size. Built once a folder grows large,
  // and kept here rather than in every entry, since few entries are large folders.
  struct TFoldedHash {
    using is_transparent = void;
    size_t operator()(std::string_view caption) const;
  };
  struct TFoldedEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };
  using TCaptionIndex = std::unordered_map<std::string_view, TTreeEntry*, TFoldedHash, TFoldedEqual>;
  const TCaptionIndex* IndexOf(const TTreeEntry* parent) const;
  // Records a new child of `parent` in its index, making the index when the folder grows large.
  void IndexChild(TTreeEntry* parent, TTreeEntry* child);
  // Declared before the entries, so that it outlives them: a freed folder drops its index.
  std::unordered_map<const TTreeEntry*, TCaptionIndex> Indexes_;
  std::vector<std::unique_ptr<TTreeEntry>> Top_;
  std::vector<TSiteTreeObserver*> Observers_;
  std::vector<std::function<bool(const TSpiderNode&)>> ExtraFilters_;  // of the extra roots, in order
  bool Resetting_ = false;
  int UpdateDepth_ = 0;
  bool Quiet() const { return Resetting_ || UpdateDepth_ > 0; }
};

// Visits the branch of `root` depth-first without recursion, children in tree order: `enter`
// before an entry's children, `leave` after them, each with the entry and its level (`level`
// for the root, one more per step down).
template <typename Enter, typename Leave>
void WalkBranch(const TTreeEntry* root, int level, Enter&& enter, Leave&& leave) {
  if (!root) return;
  struct TFrame {
    const TTreeEntry* Entry;
    int Level;
    size_t Next;
  };
  std::vector<TFrame> stack;
  enter(root, level);
  stack.push_back({root, level, 0});
  while (!stack.empty()) {
    TFrame& top = stack.back();
    if (top.Next < top.Entry->Children.size()) {
      const TTreeEntry* child = top.Entry->Children[top.Next++].get();
      const int childLevel = top.Level + 1;
      enter(child, childLevel);
      stack.push_back({child, childLevel, 0});
    } else {
      const TFrame done = top;
      stack.pop_back();
      leave(done.Entry, done.Level);
    }
  }
}

// The same with `visit` before the children only.
template <typename Visit>
void ForEachInBranch(const TTreeEntry* root, Visit&& visit) {
  WalkBranch(
      root, 0, [&](const TTreeEntry* entry, int) { visit(entry); }, [](const TTreeEntry*, int) {});
}

// The captions of the top-level entries, in order.
extern const char* const kSiteRootCaptions[rkCount];

bool IsSameOrDescendant(const TTreeEntry* entry, const TTreeEntry* ancestor);
// Captions from the top-level ancestor down to the entry, each followed by "\".
std::string NodePath(const TTreeEntry* entry);
// The address of an entry derived from its ancestors' captions.
std::string TreeNodeURL(const TTreeEntry* entry);
// The entry's spider node, else that of its first child captioned "index.html", else none.
TSpiderNode* NodeOf(const TTreeEntry* entry);
inline bool HasNode(const TTreeEntry* entry) { return NodeOf(entry) != nullptr; }
// The entry's icon by the tree's rules; `selected` opens a folder.
int TreeIconIndex(const TTreeEntry* entry, bool selected = false);
