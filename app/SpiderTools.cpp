#include "app/SpiderTools.h"

#include <algorithm>

#include "Kel/KelTranslate.h"
#include "Kel/KelError.h"
#include "Kel/KelStr.h"
#include "app/NodeList.h"

const char* const kNodeLimitMessage =
    "The maxium spider node count has been reached.\r\rThe site you are attempting to spider is too big and must be\r"
    "spidered in sections. Use inner url's to spider a sub-section of\ra larger site.";

std::string NodeLimitText(int limit) {
  return std::string(kNodeLimitMessage) +
         Format("\r\rThe limit is the setting \"Largest site (addresses)\" on the Limits page of the HTTP "
                "Settings, now %d (0: no limit), and the option --max-addresses N of tessaly-crawl. Resume the "
                "crawl to go on past it.",
                limit);
}

const char* const kSiteRootCaptions[rkCount] = {"All",
                                                "Broken Links",
                                                "Broken Anchors",
                                                "Redirected Links",
                                                "HTML",
                                                "Images",
                                                "Audio",
                                                "Video",
                                                "Applications",
                                                "Spelling Errors",
                                                "Internal Links",
                                                "External Links",
                                                "News",
                                                "JavaScript",
                                                "Other",
                                                "Email Addresses",
                                                ""};

TTreeEntry::~TTreeEntry() {
  // An index refers to the children's captions; it goes before they do.
  const auto dropIndex = [](TTreeEntry& entry) {
    if (entry.Indexed_ && entry.Tree) entry.Tree->Indexes_.erase(&entry);
    entry.Indexed_ = false;
  };
  dropIndex(*this);
  // Every entry below is taken out of its parent before it is freed, so no destructor recurses.
  std::vector<std::unique_ptr<TTreeEntry>> pending = std::move(Children);
  while (!pending.empty()) {
    std::unique_ptr<TTreeEntry> entry = std::move(pending.back());
    pending.pop_back();
    dropIndex(*entry);
    for (auto& child : entry->Children) pending.push_back(std::move(child));
    entry->Children.clear();
  }
}

TTreeEntry* TTreeEntry::PrevSibling() const {
  if (Index == 0) return nullptr;
  if (Parent) return Parent->Child(Index - 1);
  return Tree->TopLevel().at(static_cast<size_t>(Index - 1)).get();
}

TTreeEntry* TTreeEntry::NextSibling() const {
  const auto& siblings = Parent ? Parent->Children : Tree->TopLevel();
  const size_t next = static_cast<size_t>(Index) + 1;
  return next < siblings.size() ? siblings[next].get() : nullptr;
}

TSiteTree::TSiteTree(TSiteMap& map, IRequestQueue* queue) : Map(map), Queue(queue) {
  Resetting_ = true;
  for (int k = 0; k < rkCount; ++k) AddEntry(nullptr, RunTimeText(kSiteRootCaptions[k]));
  Resetting_ = false;
}

TSiteTree::~TSiteTree() {
  if (List) {
    List->Clear();
    List->Tree_ = nullptr;
  }
  // The nodes belong to the site map; the entries that refer to them go first.
  for (const auto& node : Map.Nodes()) node->TreeNode = nullptr;
}

void TSiteTree::AttachList(TNodeList* list) {
  if (List) List->Tree_ = nullptr;
  List = list;
  if (List) List->Tree_ = this;
}

TTreeEntry* TSiteTree::Root(TSiteRootKind kind) const {
  return kind >= 0 && kind < static_cast<int>(Top_.size()) ? Top_[static_cast<size_t>(kind)].get() : nullptr;
}

bool TSiteTree::IsFilterRoot(const TTreeEntry* entry) const {
  return entry && !entry->Parent && (entry->Index <= rkInternal || entry->Index >= rkCount) &&
         entry->Index < static_cast<int>(Top_.size()) && Top_[static_cast<size_t>(entry->Index)].get() == entry;
}

bool TSiteTree::PassesFilter(const TTreeEntry* root, const TSpiderNode& node) const {
  if (!IsFilterRoot(root)) return false;
  switch (root->Index) {
    case rkAll:
      return true;
    case rkBroken:
      return node.IsBroken();
    case rkBrokenAnchors:
      return node.Map().Anchors.HasMissing(node);
    case rkRedirected:
      return node.IsRedirected();
    case rkHTML:
      return node.IsHTML();
    case rkImages:
      return node.IsImage();
    case rkAudio:
      return node.IsAudio();
    case rkVideo:
      return node.IsVideo();
    case rkApplications:
      return node.IsApplication();
    case rkSpelling:
      return node.HasSpellingErrors();
    case rkInternal:
      return node.IsInternalLink();
    default: {
      const size_t extra = static_cast<size_t>(root->Index - rkCount);
      return extra < ExtraFilters_.size() && ExtraFilters_[extra] && ExtraFilters_[extra](node);
    }
  }
}

TTreeEntry* TSiteTree::AddEntry(TTreeEntry* parent, std::string_view caption) {
  auto& siblings = parent ? parent->Children : Top_;
  const int row = static_cast<int>(siblings.size());
  if (!Quiet())
    for (auto* o : Observers_) o->EntryAboutToBeAdded(parent, row);
  siblings.push_back(std::make_unique<TTreeEntry>(this, parent, std::string(caption), row));
  TTreeEntry* entry = siblings.back().get();
  Map.Modified = true;
  if (!Quiet())
    for (auto* o : Observers_) o->EntryAdded(entry);
  return entry;
}

size_t TSiteTree::TFoldedHash::operator()(std::string_view caption) const {
  uint64_t h = 14695981039346656037ull;  // FNV-1a over the folded bytes
  for (char c : caption) h = (h ^ static_cast<unsigned char>(AsciiLower(c))) * 1099511628211ull;
  return static_cast<size_t>(h);
}

bool TSiteTree::TFoldedEqual::operator()(std::string_view a, std::string_view b) const { return SameText(a, b); }

namespace {
// Folders up to this size are searched child by child; larger ones through their index.
constexpr size_t kIndexedFolderSize = 16;
}  // namespace

const TSiteTree::TCaptionIndex* TSiteTree::IndexOf(const TTreeEntry* parent) const {
  if (!parent || !parent->Indexed_) return nullptr;
  const auto found = Indexes_.find(parent);
  return found != Indexes_.end() ? &found->second : nullptr;
}

void TSiteTree::IndexChild(TTreeEntry* parent, TTreeEntry* child) {
  if (parent->Indexed_) {
    // The captions are keys in place: they live as long as their entries and never change.
    Indexes_[parent].emplace(child->Caption, child);
  } else if (parent->Children.size() > kIndexedFolderSize) {
    TCaptionIndex& index = Indexes_[parent];
    index.reserve(parent->Children.size() * 2);
    for (const auto& c : parent->Children) index.emplace(c->Caption, c.get());
    parent->Indexed_ = true;
  }
}

TTreeEntry* TSiteTree::FindOrAddChild(TTreeEntry* parent, std::string_view caption) {
  if (TTreeEntry* found = FindChild(parent, caption)) return found;
  TTreeEntry* added = AddEntry(parent, caption);
  if (parent) IndexChild(parent, added);
  return added;
}

TTreeEntry* TSiteTree::FindOrAddPath(TTreeEntry* start, std::string_view text, std::string_view delimiters) {
  TTreeEntry* node = start;
  for (int level = 1; !text.empty(); ++level) {
    const size_t cut =
        delimiters.empty() || level == kMaxTreeDepth ? std::string_view::npos : text.find_first_of(delimiters);
    node = FindOrAddChild(node, text.substr(0, cut));
    text = cut == std::string_view::npos ? std::string_view() : text.substr(cut + 1);
  }
  return node;
}

TTreeEntry* TSiteTree::FindChild(const TTreeEntry* parent, std::string_view caption) const {
  if (const TCaptionIndex* index = IndexOf(parent)) {
    const auto found = index->find(caption);
    return found != index->end() ? found->second : nullptr;
  }
  for (const auto& child : parent ? parent->Children : Top_)
    if (SameText(child->Caption, caption)) return child.get();
  return nullptr;
}

TTreeEntry* TSiteTree::FindPath(const TTreeEntry* start, std::string_view text, std::string_view delimiters) const {
  const TTreeEntry* node = start;
  while (!text.empty() && node) {
    const size_t cut = delimiters.empty() ? std::string_view::npos : text.find_first_of(delimiters);
    node = FindChild(node, text.substr(0, cut));
    text = cut == std::string_view::npos ? std::string_view() : text.substr(cut + 1);
  }
  return const_cast<TTreeEntry*>(node);
}

TTreeEntry* TSiteTree::FindURL(const TURI& address) const {
  TURI uri = address;
  DropDefaultPort(uri);
  uri.Bookmark.clear();
  if (IsSpecialScheme(uri.Protocol)) {
    TSiteRootKind root = rkOther;
    if (SameText(uri.Protocol, "mailto")) root = rkEmail;
    else if (SameText(uri.Protocol, "javascript")) root = rkJavaScript;
    else if (SameText(uri.Protocol, "news")) root = rkNews;
    return FindPath(Root(root), URLText(uri), "");
  }
  NormalizeURI(uri);
  uri.Compose();
  return Map.IsInternal(uri) ? FindPath(SiteRoot(), TreePathOf(uri), "/") : FindPath(Root(rkExternal), URLText(uri), "");
}

TSpiderNode* TSiteTree::EnsureNode(TTreeEntry* entry, const TURI& uri) {
  if (TSpiderNode* node = NodeOf(entry)) return node;
  entry->Node = Map.CreateNode(&uri, entry);
  return entry->Node;
}

std::string TSiteTree::TreePathOf(const TURI& uri) const {
  std::string path = uri.Path.substr(std::min(uri.Path.size(), Map.SiteURI.Path.size()));
  path += uri.Document.empty() ? std::string("index.html") : uri.Document;
  return path;
}

TTreeEntry* TSiteTree::InsertURL(TURI& uri, TURI* referer, bool check) {
  if (referer && (referer->Host.empty() || referer->Protocol.empty())) referer = nullptr;
  // The bookmark never names another document; a port other than the scheme's default does.
  DropDefaultPort(uri);
  uri.Bookmark.clear();
  TTreeEntry* node = nullptr;
  if (IsSpecialScheme(uri.Protocol)) {
    TSiteRootKind root = rkOther;
    if (SameText(uri.Protocol, "mailto")) root = rkEmail;
    else if (SameText(uri.Protocol, "javascript")) root = rkJavaScript;
    else if (SameText(uri.Protocol, "news")) root = rkNews;
    node = InsertSpecialURL(uri, Root(root));
  } else {
    NormalizeURI(uri);
    uri.Compose();  // an address without protocol or host cannot be filed
    const bool internal = Map.IsInternal(uri);
    node =
        internal ? FindOrAddPath(SiteRoot(), TreePathOf(uri), "/") : FindOrAddPath(Root(rkExternal), URLText(uri), "");
    KelAssert(node, "an address always has a tree entry");
    if (!HasNode(node)) {
      EnsureNode(node, uri)->Depth = referer ? -1 : 0;  // a linked address: its depth follows below
      if (check && Queue && (ValidateExternalURLs || internal || Map.IsCrawled(uri)) && Map.IsRequestable(uri))
        Queue->AddHeadRequest(uri.Compose(), referer ? referer->Compose() : uri.Compose(), HeadCallback);
    }
  }
  if (referer) {
    TSpiderNode* refererNode = NodeOf(InsertURL(*referer, nullptr, true));
    TSpiderNode* target = NodeOf(node);
    target->AddToReferers(refererNode);
    // The shortest way from the start page found so far.
    if (target == refererNode) {
      if (target->Depth < 0) target->Depth = 0;
    } else if (target->Depth < 0 || refererNode->Depth + 1 < target->Depth) {
      target->Depth = refererNode->Depth + 1;
    }
  }
  // The limit guards a crawl; filing addresses without a check (loading a project) never trips it.
  if (check && MaxNodes > 0 && Map.Count() > MaxNodes && Queue && !Queue->LimitLifted(TCrawlLimit::Addresses))
    Queue->LimitReached(TCrawlLimit::Addresses, NodeLimitText(MaxNodes));
  return node;
}

namespace {

// A "data:" address holds its content, often kilobytes of it: it is filed and shown by its first
// characters only, kDataAddressShown of them in all, the last three "...". A shortened address
// reads back as itself, so a saved project files it in the same entry again.
constexpr size_t kDataAddressShown = 64;

void ShortenDataAddress(TURI& uri) {
  if (!SameText(uri.Protocol, "data")) return;
  const size_t room = kDataAddressShown - std::min(kDataAddressShown - 3, uri.Protocol.size() + 1);
  if (uri.Document.size() <= room) return;
  size_t keep = room - 3;
  // Never cut through a character of several bytes.
  while (keep > 0 && (static_cast<unsigned char>(uri.Document[keep]) & 0xC0) == 0x80) --keep;
  uri.Document.resize(keep);
  uri.Document += "...";
}

}  // namespace

TTreeEntry* TSiteTree::InsertSpecialURL(TURI& uri, TTreeEntry* root) {
  ShortenDataAddress(uri);
  TTreeEntry* node = FindOrAddPath(root, URLText(uri), "");
  KelAssert(node, "a special address always has a tree entry");
  if (!HasNode(node)) {
    TSpiderNode* created = EnsureNode(node, uri);
    created->ResponseCode = 200;
    created->ContentType = uri.Protocol;
  }
  return node;
}

void TSiteTree::ResetSiteTree() {
  if (Queue) Queue->TerminateAll();
  Map.SiteURI.Parse("http://LocalHost/");
  for (auto* o : Observers_) o->TreeAboutToReset();
  Resetting_ = true;
  if (List) List->Clear();
  for (const auto& node : Map.Nodes()) node->TreeNode = nullptr;
  Top_.clear();
  ExtraFilters_.clear();
  Map.Clear();
  for (int k = 0; k < rkCount; ++k) AddEntry(nullptr, RunTimeText(kSiteRootCaptions[k]));
  Resetting_ = false;
  for (auto* o : Observers_) o->TreeReset();
  Map.Modified = false;
}

void TSiteTree::ListMatching(TNodeList& list, const std::function<bool(const TSpiderNode&)>& predicate) const {
  list.BeginUpdate();
  list.Clear();
  for (const auto& top : Top_)
    ForEachInBranch(top.get(), [&](const TTreeEntry* entry) {
      TSpiderNode* node = NodeOf(entry);
      if (node && (!predicate || predicate(*node))) list.AddRow(const_cast<TTreeEntry*>(entry));
    });
  list.EndUpdate();
}

void TSiteTree::ListMatching(TNodeList& list, const TTreeEntry* filterRoot) const {
  ListMatching(list, [&](const TSpiderNode& node) { return PassesFilter(filterRoot, node); });
}

void TSiteTree::UpdateSiteRootCaption() {
  const TURI& site = Map.SiteURI;
  std::string caption = site.Protocol + "://" + site.Host;
  if (!site.Port.empty()) caption += ":" + site.Port;
  caption += site.Path;
  TTreeEntry* root = SiteRoot();
  if (root->Caption == caption) return;
  root->Caption = caption;
  if (!Quiet())
    for (auto* o : Observers_) o->EntryChanged(root);
}

TTreeEntry* TSiteTree::AddExtraRoot(std::string_view caption, std::function<bool(const TSpiderNode&)> filter) {
  const bool modified = Map.Modified;
  TTreeEntry* entry = AddEntry(nullptr, caption);
  Map.Modified = modified;
  ExtraFilters_.resize(Top_.size() - rkCount);
  ExtraFilters_.back() = std::move(filter);
  return entry;
}

TTreeEntry* TSiteTree::AddChild(TTreeEntry* parent, std::string_view caption) {
  KelAssert(parent, "AddChild needs a parent");
  const bool modified = Map.Modified;
  TTreeEntry* entry = AddEntry(parent, caption);
  Map.Modified = modified;
  // The caption index keeps the first of equal captions, as FindOrAddChild's does.
  IndexChild(parent, entry);
  return entry;
}

void TSiteTree::RemoveExtraRoots() {
  if (Top_.size() <= static_cast<size_t>(rkCount)) return;
  BeginUpdate();
  if (List) List->Clear();
  Top_.resize(rkCount);
  ExtraFilters_.clear();
  EndUpdate();
}

void TSiteTree::BeginUpdate() {
  if (UpdateDepth_++ == 0)
    for (auto* o : Observers_) o->TreeAboutToReset();
}

void TSiteTree::EndUpdate() {
  if (UpdateDepth_ > 0 && --UpdateDepth_ == 0)
    for (auto* o : Observers_) o->TreeReset();
}

void TSiteTree::RefreshEntry(TTreeEntry* entry) {
  if (!entry) return;
  if (!Quiet())
    for (auto* o : Observers_) o->EntryChanged(entry);
  if (TSpiderNode* node = NodeOf(entry); node && node->ListItem && List) List->RefreshRow(node->ListItem);
}

void TSiteTree::AddObserver(TSiteTreeObserver* observer) { Observers_.push_back(observer); }

void TSiteTree::RemoveObserver(TSiteTreeObserver* observer) {
  Observers_.erase(std::remove(Observers_.begin(), Observers_.end(), observer), Observers_.end());
}

bool IsSameOrDescendant(const TTreeEntry* entry, const TTreeEntry* ancestor) {
  for (; entry; entry = entry->Parent)
    if (entry == ancestor) return true;
  return false;
}

std::string NodePath(const TTreeEntry* entry) {
  std::vector<const TTreeEntry*> chain;
  for (; entry; entry = entry->Parent) chain.push_back(entry);
  std::string path;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) path += (*it)->Caption + "\\";
  return path;
}

std::string TreeNodeURL(const TTreeEntry* entry) {
  KelAssert(entry, "TreeNodeURL needs an entry");
  std::string path = NodePath(entry);
  if (!entry->HasChildren() && !path.empty()) path.pop_back();
  for (char& c : path)
    if (c == '\\') c = '/';
  const size_t first = path.find("//");
  if (first != std::string::npos) {
    const size_t second = path.find("//", first + 2);
    if (second != std::string::npos) path.erase(second, 1);
  }
  return path;
}

TSpiderNode* NodeOf(const TTreeEntry* entry) {
  if (!entry) return nullptr;
  if (entry->Node) return entry->Node;
  if (!entry->HasChildren()) return nullptr;
  // A folder stands for its "index.html": found through the folder's index when it is large.
  if (entry->Tree) {
    const TTreeEntry* index = entry->Tree->FindChild(entry, "index.html");
    return index ? index->Node : nullptr;
  }
  for (const auto& child : entry->Children)
    if (SameText(child->Caption, "index.html")) return child->Node;
  return nullptr;
}

int TreeIconIndex(const TTreeEntry* entry, bool selected) {
  if (!entry) return iiEmptyCategory;
  if (const TSpiderNode* node = NodeOf(entry))
    return node->IsBroken() || node->IsRedirected() ? node->StatusIndex() : node->TypeIconIndex();
  if (entry->Tree && entry == entry->Tree->SiteRoot()) return iiSiteRoot;
  if (entry->HasChildren()) return selected ? iiOpenFolder : iiClosedFolder;
  return iiEmptyCategory;
}
