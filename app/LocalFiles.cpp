// Local file mapping: explicit local file names, the names derived from them through the site
// tree, and the local status (date and size) of every node.
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <system_error>

#include "Dialogs/UnitProgress.h"
#include "Kel/KelStr.h"
#include "app/SpiderNode.h"
#include "app/SpiderTools.h"
#include "platform/Platform.h"

namespace {

// The directory part of a path: up to, not including, its last "/".
std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool IsMapped(const TTreeEntry* entry) {
  const TSpiderNode* node = NodeOf(entry);
  return node && !node->LocalFile.empty();
}

// The first mapped entry among `e` and its siblings: `e`, then its previous siblings towards
// the first, then its next siblings towards the last.
const TTreeEntry* FindAnchor(const TTreeEntry* e) {
  if (IsMapped(e)) return e;
  for (const TTreeEntry* s = e->PrevSibling(); s; s = s->PrevSibling())
    if (IsMapped(s)) return s;
  for (const TTreeEntry* s = e->NextSibling(); s; s = s->NextSibling())
    if (IsMapped(s)) return s;
  return nullptr;
}

void ForEachBelow(const TTreeEntry* entry, const std::function<void(TSpiderNode&)>& action) {
  if (!entry) return;
  for (const auto& child : entry->Children) {
    if (TSpiderNode* node = NodeOf(child.get())) action(*node);
    ForEachBelow(child.get(), action);
  }
}

}  // namespace

std::string TSpiderNode::LocalFileName() const {
  if (SameText(URI.Protocol, "file")) return LocalPathOf(URI);
  if (!TreeNode) return LocalFile;
  std::string relative;
  const TTreeEntry* anchor = nullptr;
  const TTreeEntry* e = TreeNode;
  while (e) {
    anchor = FindAnchor(e);
    // An anchor beside `e` shares e's directory, so e keeps its own caption. A folder anchor
    // stands for its "index.html", whose file lies inside the folder: one directory up.
    const bool sibling = anchor && anchor != e;
    if (!anchor || !anchor->HasChildren() || sibling) relative = "/" + e->Caption + relative;
    if (anchor) {
      if (anchor == TreeNode) return LocalFile;
      std::string directory = DirectoryOf(NodeOf(anchor)->LocalFile);
      if (sibling && anchor->HasChildren() && anchor->Node == nullptr) directory = DirectoryOf(directory);
      return directory + relative;
    }
    e = e->Parent;
  }
  return std::string();
}

std::string TSpiderNode::PreviewTarget() const {
  const std::string file = LocalFileName();
  std::error_code ec;
  if (!file.empty() && std::filesystem::is_regular_file(file, ec)) return file;
  return URLText();
}

void TSpiderNode::ClearLocalFiles() {
  Map_->Modified = true;
  if (TreeNode) Map_->ClearLocalFilesBelow(TreeNode->Parent);
  LocalFile.clear();
  RefreshIcon();
}

void TSpiderNode::SetLocalFile(const std::string& path) {
  ClearLocalFiles();
  LocalFile = path;
  if (TreeNode && TreeNode->Parent) Map_->RefreshLocalStatusBelow(TreeNode->Parent);
  else UpdateLocalFileInfo();
  RefreshIcon();
}

void TSpiderNode::MapToLocalPath(const std::string& folder) {
  std::string path = folder;
  if (path.empty() || path.back() != '/') path += '/';
  SetLocalFile(path + (TreeNode ? TreeNode->Caption : std::string()));
}

bool TSpiderNode::SelectLocalFileName(platform::Prompter& ask) {
  std::string name = LocalFileName();
  if (name.empty()) {
    std::error_code ec;
    name = std::filesystem::current_path(ec).string() + "/" + (TreeNode ? TreeNode->Caption : std::string());
  }
  const auto chosen = ask.AskFileName("Select Local File Name", name);
  if (!chosen) return false;
  SetLocalFile(*chosen);
  return true;
}

void TSpiderNode::UpdateLocalFileInfo() {
  const std::string file = LocalFileName();
  struct stat st {};
  if (!file.empty() && ::stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    LocalDate = UnixToLocalDateTime(st.st_mtime);
    // Sizes are 32-bit; larger files show the largest size that fits.
    LocalSize = st.st_size > INT32_MAX ? INT32_MAX : static_cast<int32_t>(st.st_size);
  } else {
    LocalDate = 0;
    LocalSize = -1;
  }
  Map_->Modified = true;
}

void TSiteMap::RefreshAllLocalStatus(TFormProgress* progress) {
  const int count = Count();
  if (count == 0) return;
  if (progress) progress->SetRange(count - 1);
  for (int i = 0; i < count; ++i) {
    Node(i)->UpdateLocalFileInfo();
    if (progress) progress->SetPosition(i);
  }
}

void TSiteMap::RefreshLocalStatusBelow(const TTreeEntry* entry) {
  ForEachBelow(entry, [](TSpiderNode& node) { node.UpdateLocalFileInfo(); });
}

void TSiteMap::ClearLocalFilesBelow(const TTreeEntry* entry) {
  ForEachBelow(entry, [this](TSpiderNode& node) {
    node.LocalFile.clear();
    Modified = true;
    node.RefreshIcon();
  });
}
