// Local file mapping: explicit local file names, the names derived from them through the site
// tree, the local status (date and size) of every node, and downloads into local files.
#include "app/LocalFiles.h"

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <system_error>
#include <vector>

#include "Dialogs/UnitProgress.h"
#include "Kel/KelTranslate.h"
#include "Kel/KelError.h"
#include "Kel/KelIdHTTP.h"
#include "Kel/KelStr.h"
#include "app/SpiderNode.h"
#include "app/SpiderTools.h"
#include "app/UnitHTTPCopy.h"
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

void ForEachBelow(const TTreeEntry* entry, const std::function<void(TSpiderNode&)>& action) {
  ForEachInBranch(entry, [&](const TTreeEntry* e) {
    if (e == entry) return;
    if (TSpiderNode* node = NodeOf(e)) action(*node);
  });
}

}  // namespace

std::string AbsoluteLocalPath(const std::string& path) {
  if (path.empty() || path.front() == '/') return path;
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  return ec ? path : absolute.string();
}

bool IsExistingLocalFile(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

const TTreeEntry* LocalFileAnchor(const TTreeEntry* e) {
  if (!e) return nullptr;
  if (IsMapped(e)) return e;
  for (const TTreeEntry* s = e->PrevSibling(); s; s = s->PrevSibling())
    if (IsMapped(s)) return s;
  for (const TTreeEntry* s = e->NextSibling(); s; s = s->NextSibling())
    if (IsMapped(s)) return s;
  return nullptr;
}

const TTreeEntry* LocalMappingLevel(const TSpiderNode& node) {
  const TTreeEntry* parent = node.TreeNode ? node.TreeNode->Parent : nullptr;
  if (parent && parent->Parent && NodeOf(parent) == &node) return parent->Parent;
  return parent;
}

std::string TSpiderNode::LocalFileName() const {
  // A local file is its own local copy, in a crawl of local files; one that a web site names is
  // never looked at.
  if (SameText(URI_.Protocol(), "file")) return Map_->IsRequestable(URI_.Parts()) ? LocalPathOf(URI()) : std::string();
  if (!LocalFile.empty() || !TreeNode) return AbsoluteLocalPath(LocalFile);
  // The captions from the entry upwards; joined in reverse once the anchor is found, so a deep
  // entry costs the length of its path, not its square.
  std::vector<const std::string*> relative;
  // The top-level entries are categories, not folders: an entry never takes its name from a
  // mapping in another category, so the walk ends below them.
  for (const TTreeEntry* e = TreeNode; e && e->Parent; e = e->Parent) {
    const TTreeEntry* anchor = LocalFileAnchor(e);
    // An anchor beside `e` shares e's directory, so e keeps its own caption. A folder anchor
    // stands for its "index.html", whose file lies inside the folder: one directory up.
    const bool sibling = anchor && anchor != e;
    if (!anchor || !anchor->HasChildren() || sibling) relative.push_back(&e->Caption);
    if (anchor) {
      std::string path = DirectoryOf(AbsoluteLocalPath(NodeOf(anchor)->LocalFile));
      if (sibling && anchor->HasChildren() && anchor->Node == nullptr) path = DirectoryOf(path);
      for (auto it = relative.rbegin(); it != relative.rend(); ++it) {
        path += '/';
        path += **it;
      }
      return path;
    }
  }
  return std::string();
}

std::string TSpiderNode::PreviewTarget() const {
  const std::string file = LocalFileName();
  return IsExistingLocalFile(file) ? file : URLText();
}

void TSpiderNode::ClearLocalFiles() {
  Map_->Modified = true;
  if (TreeNode) Map_->ClearLocalFilesBelow(TreeNode->Parent);
  LocalFile.clear();
  // The names below changed (or are gone): their dates and sizes with them.
  if (const TTreeEntry* level = LocalMappingLevel(*this)) Map_->RefreshLocalStatusBelow(level);
  else UpdateLocalFileInfo();
  RefreshIcon();
}

void TSpiderNode::SetLocalFile(const std::string& path) {
  Map_->Modified = true;
  if (TreeNode) Map_->ClearLocalFilesBelow(TreeNode->Parent);
  LocalFile = AbsoluteLocalPath(path);
  if (const TTreeEntry* level = LocalMappingLevel(*this)) Map_->RefreshLocalStatusBelow(level);
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
    name = std::filesystem::current_path(ec).string();
    if (name.empty() || name.back() != '/') name += '/';
    name += TreeNode ? TreeNode->Caption : std::string();
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

bool TSpiderNode::DownloadToLocalFile(TFormHTTPCopy& dialog, bool refresh) {
  platform::Prompter* ask = dialog.Services.Ask;
  KelAssert(ask, "downloading to a local file needs the prompter");
  bool result = false;
  if (SameText(URI_.Protocol(), "file")) {
    // A local document is its own local copy: writing it would only risk it. Its answer is
    // read from the file again, as a crawl would read it.
    THTTPClient client;
    Fetch(client, THTTPMethod::Head, URLText(), nullptr, nullptr);
    result = client.Response.ResponseCode() == 200;
    if (result) RecordResponse(client.Response);
    else ask->Notice(FormatText("Download Terminated: %s", client.Response.ResponseText.c_str()));
  } else {
    [&] {
      if (LocalFileName().empty() && !SelectLocalFileName(*ask)) return;
      const std::string file = LocalFileName();
      if (file.empty()) return;
      std::error_code ec;
      const bool exists = std::filesystem::exists(file, ec) && !std::filesystem::is_directory(file, ec);
      if (exists && !ask->AskYesNo(FormatText("Are you sure you want to overwrite \"%s\"?", file.c_str()))) {
        result = true;  // the existing file serves as the local copy
        return;
      }
      const std::filesystem::path folder = std::filesystem::path(file).parent_path();
      if (!folder.empty()) {
        std::filesystem::create_directories(folder, ec);
        if (ec || !std::filesystem::is_directory(folder, ec)) throw EError("Could not create directories");
      }
      result = dialog.Execute(file, URLText(), "Downloading File.");
      if (result) RecordResponse(dialog.Response());
    }();
  }
  UpdateLocalFileInfo();
  if (refresh) RefreshIcon();
  return result;
}

bool TSpiderNode::EnsureLocalCopy(TFormHTTPCopy& dialog, bool refresh) {
  const bool result = IsExistingLocalFile(LocalFileName()) || DownloadToLocalFile(dialog, false);
  if (refresh) RefreshIcon();
  return result;
}

void TSiteMap::RefreshAllLocalStatus(TFormProgress* progress) {
  const int count = Count();
  if (count == 0) return;
  if (progress) progress->SetRange(count - 1);
  // Without a single mapped node, only local addresses have a local file: the others need no
  // search for a mapped neighbour (a search that walks a node's siblings).
  bool anyMapped = false;
  for (const auto& node : Nodes_) anyMapped = anyMapped || !node->LocalFile.empty();
  for (int i = 0; i < count; ++i) {
    TSpiderNode* node = Node(i);
    if (anyMapped || SameText(node->Address().Protocol(), "file")) {
      node->UpdateLocalFileInfo();
    } else {
      node->LocalDate = 0;
      node->LocalSize = -1;
    }
    if (progress) progress->SetPosition(i);
  }
  Modified = true;
}

void TSiteMap::RefreshLocalStatusBelow(const TTreeEntry* entry) {
  ForEachBelow(entry, [](TSpiderNode& node) {
    const TDateTime date = node.LocalDate;
    const int32_t size = node.LocalSize;
    node.UpdateLocalFileInfo();
    // Rows that show the local date follow at once.
    if (node.LocalDate != date || node.LocalSize != size) node.RefreshIcon();
  });
}

void TSiteMap::ClearLocalFilesBelow(const TTreeEntry* entry) {
  ForEachBelow(entry, [this](TSpiderNode& node) {
    node.LocalFile.clear();
    Modified = true;
    node.RefreshIcon();
  });
}
