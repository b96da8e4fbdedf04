#include "app/ProjectFile.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <exception>
#include <limits>
#include <new>

#include "Dialogs/UnitProgress.h"
#include "Kel/KelTranslate.h"
#include "Kel/KelDialogs.h"
#include "Kel/KelError.h"
#include "Kel/KelFiles.h"
#include "Kel/KelIni.h"
#include "Kel/KelStr.h"
#include "app/ProjectReader.h"
#include "app/SpiderNode.h"
#include "app/SpiderTools.h"
#include "platform/Platform.h"

const char* const kUntitledProject = "untitled.tly";

namespace {

// The indexes of `nodes` below `limit`, separated by commas.
std::string IndexList(const TSpiderNodeDynArray& nodes, int32_t limit) {
  std::string text;
  char digits[16];
  const size_t count = nodes.size();
  for (size_t i = 0; i < count; ++i) {
    // The nodes lie anywhere in memory: asking for the later ones early hides most of the waits.
    if (i + 8 < count) __builtin_prefetch(nodes[i + 8]);
    const int index = nodes[i]->Index();
    if (index >= limit) continue;
    if (!text.empty()) text += ',';
    const auto written = std::to_chars(digits, digits + sizeof digits, index);
    text.append(digits, written.ptr);
  }
  return text;
}

// The nodes named by a list of indexes: "'x' is not a valid integer value" for a piece that is
// not a number, "List index out of bounds (n)" for one that names no node.
template <typename Add>
void ForEachIndex(const TSiteMap& map, const std::string& list, const TSectionNodes* sections, Add add,
                  TSpiderNodeDynArray* grows = nullptr) {
  if (list.empty()) return;
  const int32_t count = sections ? static_cast<int32_t>(sections->size()) : map.Count();
  // The indexes are read first and their nodes looked up after: the lookups land anywhere in a
  // table of a million entries, and asking for the later ones early hides most of the waits.
  // The nodes before a bad piece are still added, then its error is raised.
  thread_local std::vector<int32_t> indexes;
  indexes.clear();
  std::exception_ptr failure;
  const std::string_view pieces(list);
  for (size_t start = 0;;) {
    const size_t comma = pieces.find(',', start);
    try {
      const int32_t index = StrToInt(pieces.substr(start, comma == std::string_view::npos ? comma : comma - start));
      if (index < 0 || index >= count) throw EError(FormatText("List index out of bounds (%d)", index));
      indexes.push_back(index);
    } catch (const EError&) {
      failure = std::current_exception();
      break;
    }
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  auto nodeAt = [&](int32_t index) -> TSpiderNode* {
    return sections ? (*sections)[static_cast<size_t>(index)] : map.Nodes()[static_cast<size_t>(index)].get();
  };
  auto slotAt = [&](int32_t index) -> const void* {
    return sections ? static_cast<const void*>(&(*sections)[static_cast<size_t>(index)])
                    : static_cast<const void*>(&map.Nodes()[static_cast<size_t>(index)]);
  };
  if (grows) grows->reserve(grows->size() + indexes.size());
  constexpr size_t kAhead = 16;
  for (size_t k = 0; k < indexes.size(); ++k) {
    if (k + kAhead < indexes.size()) __builtin_prefetch(slotAt(indexes[k + kAhead]));
    add(nodeAt(indexes[k]));
  }
  if (failure) std::rethrow_exception(failure);
}

// The address of a "RemoteFile" value: form-decoded ("+" is a space there) and resolved as it
// was saved, without decoding it a second time, so that every saved address loads as itself.
TURI SavedAddress(const std::string& value) {
  TURI uri;
  ResolveAddress(uri, DecodeFormText(value), nullptr);
  return uri;
}

// A value written as it is ends before its first line feed: the rest would stand on a line of
// its own and could read as a key or a section of its own (an answer's text comes from the
// server). Read back, such a value keeps its first line, as it always did. The reader splits
// lines at line feeds only, so a lone carriage return inside a value stays in it.
std::string FirstLine(const std::string& value) {
  std::string line = value.substr(0, value.find('\n'));
  if (line.size() != value.size() && !line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace

void SaveTo(const TSpiderNode& node, std::vector<std::string>& lines) {
  SaveTo(node, lines, std::numeric_limits<int32_t>::max());
}

void SaveTo(const TSpiderNode& node, std::vector<std::string>& lines, int32_t count) {
  lines.push_back("RemoteFile=" + EncodeFormText(node.URLText()));
  lines.push_back("LocalFile=" + FirstLine(node.LocalFile));
  lines.push_back("RemoteDate=" + DateTimeToStr(node.RemoteDate));
  lines.push_back("LastModified=" + DateTimeToStr(node.LastModified));
  lines.push_back("ContentType=" + FirstLine(node.ContentType));
  lines.push_back("ResponseText=" + FirstLine(node.ResponseText));
  lines.push_back("ResponseCode=" + std::to_string(node.ResponseCode));
  lines.push_back("ContentLength=" + std::to_string(node.ContentLength));
  lines.push_back("SpellingErrors=" + std::to_string(node.SpellingErrors));
  lines.push_back("Links=" + IndexList(node.Links, count));
  lines.push_back("Referers=" + IndexList(node.Referers, count));
  lines.push_back("Title=" + EncodeFormText(node.Title()));
  lines.push_back("Description=" + EncodeFormText(node.Description()));
  lines.push_back("Location=" + FirstLine(node.Location));
  lines.push_back("Server=" + FirstLine(node.Server));
  lines.push_back(std::string("IsInternal=") + (node.IsInternal() ? "-1" : "0"));
  const std::vector<TMissingAnchor>& anchors = node.Map().Anchors.MissingOf(node);
  if (!anchors.empty()) {
    std::string value;
    for (const TMissingAnchor& anchor : anchors) {
      const std::string referers = IndexList(anchor.Referers, count);
      // A fragment missed only by pages the file leaves out is left out with them.
      if (referers.empty() && !anchor.Referers.empty()) continue;
      if (!value.empty()) value += '&';
      value += EncodeFormText(anchor.Fragment) + "=" + referers;
    }
    if (!value.empty()) lines.push_back("BrokenAnchors=" + value);
  }
}

void LoadFrom(TSpiderNode& node, const std::function<std::string(std::string_view key)>& value,
              const TSectionNodes* sections) {
  node.SetURI(SavedAddress(value("RemoteFile")));
  node.LocalFile = value("LocalFile");
  node.RemoteDate = StrToDateTime(value("RemoteDate"));
  node.LastModified = StrToDateTime(value("LastModified"));
  node.ContentType = value("ContentType");
  node.ResponseText = value("ResponseText");
  node.ResponseCode = StrToInt(value("ResponseCode"));
  node.ContentLength = StrToInt(value("ContentLength"));
  node.SpellingErrors = StrToInt(value("SpellingErrors"));
  node.SetTexts(DecodeFormText(value("Title")), DecodeFormText(value("Description")));
  node.Location = value("Location");
  node.Server = value("Server");
  ForEachIndex(node.Map(), value("Links"), sections, [&](TSpiderNode* n) { node.AddToLinks(n); },
               &node.Links);
  ForEachIndex(node.Map(), value("Referers"), sections, [&](TSpiderNode* n) { node.AddToReferers(n); },
               &node.Referers);
  // Saved without the key (an older file, or a page without broken anchors): none.
  const std::string anchors = value("BrokenAnchors");
  if (!anchors.empty()) {
    TAnchorMap& map = node.Map().Anchors;
    for (const std::string& entry : SplitString(anchors, '&')) {
      if (entry.empty()) continue;
      const size_t equals = entry.find('=');
      const std::string fragment = DecodeFormText(entry.substr(0, equals));
      const std::string referers = equals == std::string::npos ? std::string() : entry.substr(equals + 1);
      if (referers.empty()) map.AddMissing(&node, fragment, nullptr);
      ForEachIndex(node.Map(), referers, sections, [&](TSpiderNode* n) { map.AddMissing(&node, fragment, n); });
    }
  }
}

namespace {

// The lines as text, each ending with CR LF, handed to `write`; `lines` is emptied.
void FlushLines(std::vector<std::string>& lines, const std::function<void(std::string_view piece)>& write) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += "\r\n";
  }
  write(text);
  lines.clear();
}

// The "[Settings]" section of a file of the map's first `count` nodes.
void SettingsLines(const TSiteMap& map, int32_t count, std::vector<std::string>& lines) {
  lines.push_back("[Settings]");
  lines.push_back(std::string("Generator=") + kApplicationTitle);
  lines.push_back("Now=" + DateTimeToStr(NowDateTime()));
  lines.push_back("URI=" + FirstLine(map.SiteURI.Compose()));
  lines.push_back("Links=" + std::to_string(count));
}

}  // namespace

void WriteProjectText(const TSiteMap& map, const std::function<void(std::string_view piece)>& write) {
  std::vector<std::string> lines;
  SettingsLines(map, map.Count(), lines);
  FlushLines(lines, write);
  for (const auto& node : map.Nodes()) {
    lines.push_back(Format("[%d]", node->Index()));
    SaveTo(*node, lines);
    FlushLines(lines, write);
  }
}

std::string ProjectText(const TSiteMap& map) {
  std::string text;
  WriteProjectText(map, [&](std::string_view piece) { text += piece; });
  return text;
}

void SaveProjectFile(const TSiteMap& map, const std::string& path) {
  TFileReplacement file(path);
  TFileWriter out(file);
  try {
    WriteProjectText(map, [&](std::string_view piece) { out.Write(piece); });
    out.Flush();
  } catch (const EError&) {
    // As a file written whole reports it: the file could not be made.
    throw EError(Format("Cannot create file \"%s\". %s", path.c_str(), std::strerror(errno)));
  }
  file.Commit();
}

struct TProjectFileWriter::TFile {
  explicit TFile(const std::string& path) : Replacement(path), Out(Replacement) {}
  TFileReplacement Replacement;
  TFileWriter Out;
};

TProjectFileWriter::TProjectFileWriter(const TSiteMap& map, std::string path)
    : Map_(map), Path_(std::move(path)), Generation_(map.Generation()), Count_(map.Count()) {
  File_ = std::make_unique<TFile>(Path_);
  std::vector<std::string> lines;
  SettingsLines(map, Count_, lines);
  FlushLines(lines, [this](std::string_view piece) { File_->Out.Write(piece); });
}

TProjectFileWriter::~TProjectFileWriter() = default;

bool TProjectFileWriter::Current() const { return Map_.Generation() == Generation_ && Map_.Count() >= Count_; }

bool TProjectFileWriter::Step(std::chrono::steady_clock::duration budget) {
  if (!File_) return true;
  KelAssert(Current(), "the map was cleared while its file was written");
  // The clock is read once per batch: a section takes a few microseconds.
  constexpr int32_t kBatch = 256;
  const auto until = std::chrono::steady_clock::now() + budget;
  const bool whole = budget <= std::chrono::steady_clock::duration::zero();
  std::vector<std::string> lines;
  const auto write = [this](std::string_view piece) { File_->Out.Write(piece); };
  try {
    while (Next_ < Count_) {
      const int32_t end = std::min(Count_, Next_ + kBatch);
      for (; Next_ < end; ++Next_) {
        lines.push_back(Format("[%d]", Next_));
        SaveTo(*Map_.Nodes()[static_cast<size_t>(Next_)], lines, Count_);
        FlushLines(lines, write);
      }
      if (!whole && std::chrono::steady_clock::now() >= until) break;
    }
    if (Next_ < Count_) return false;
    File_->Out.Flush();
  } catch (const EError&) {
    File_.reset();
    throw EError(Format("Cannot create file \"%s\". %s", Path_.c_str(), std::strerror(errno)));
  }
  File_->Replacement.Commit();
  File_.reset();
  return true;
}

std::string LoadProject(TSiteTree& tree, TProjectReader& file, TFormProgress* progress, platform::UiThread* ui) {
  TSiteMap& map = tree.Map;
  // The tree's observers hear one reset, however the load ends.
  struct Update {
    TSiteTree& Tree;
    explicit Update(TSiteTree& t) : Tree(t) { Tree.BeginUpdate(); }
    ~Update() { Tree.EndUpdate(); }
  } update(tree);
  try {
    file.Scan();
    map.SiteURI.Parse(file.Setting("URI"));
    map.SiteURI.Compose();  // a site root that cannot be written stops the load here
    const int32_t count = StrToIntDef(file.Setting("Links"), 0);
    auto section = [&](int i, std::string_view stopAt = {}) -> const TProjectReader::TValues& {
      // A node that the file announces but does not hold is an error, not an empty address.
      if (!file.HasSection(i)) throw EError(FormatText("The project file has no section [%d]", i));
      return file.Section(i, stopAt);
    };
    // A section whose address is already in the map adds no node; then node i is no longer the
    // node of section i. Each node therefore reads the section that created it, and the indexes
    // in Links and Referers name the node of their section.
    TSectionNodes nodeOfSection;
    std::vector<int> sectionOfNode;
    if (count > 0) {
      if (progress) {
        progress->SetMessage("Loading Site Map...");
        progress->SetRange(count - 1);
      }
      for (int i = 0; i < count; ++i) {
        if (progress) progress->SetPosition(i);
        TURI uri = SavedAddress(TProjectReader::Value(section(i, "RemoteFile"), "RemoteFile"));
        const int before = map.Count();
        TSpiderNode* node = NodeOf(tree.InsertURL(uri, nullptr, false));
        if (map.Count() > before) sectionOfNode.push_back(i);
        nodeOfSection.push_back(node);
        if (i % 10 == 0 && ui) ui->ProcessMessages();
      }
    }
    const int nodes = map.Count();
    if (nodes > 0) {
      if (progress) {
        progress->SetMessage("Re-Building Site Tree...");
        progress->SetRange(nodes - 1);
      }
      for (int i = 0; i < nodes; ++i) {
        if (progress) progress->SetPosition(i);
        const TProjectReader::TValues& values = section(sectionOfNode.at(static_cast<size_t>(i)));
        LoadFrom(
            *map.Node(i), [&](std::string_view key) { return TProjectReader::Value(values, key); }, &nodeOfSection);
      }
      if (progress) progress->SetMessage("Updating Local File Status...");
      map.RefreshAllLocalStatus(progress);
    }
  } catch (const EError& e) {
    return e.what();
  } catch (const std::bad_alloc&) {
    return "Out of memory";
  }
  return std::string();
}

std::string LoadProject(TSiteTree& tree, const TIniText& file, TFormProgress* progress, platform::UiThread* ui) {
  const std::string text = file.Text();
  TProjectReader reader = TProjectReader::FromText(text);
  return LoadProject(tree, reader, progress, ui);
}

std::string LoadProjectFile(TSiteTree& tree, const std::string& path, TFormProgress* progress, platform::UiThread* ui) {
  TProjectReader reader = TProjectReader::FromFile(path);
  return LoadProject(tree, reader, progress, ui);
}
