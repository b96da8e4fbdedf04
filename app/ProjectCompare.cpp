#include "app/ProjectCompare.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "Kel/KelError.h"
#include "Kel/KelStr.h"
#include "Kel/KelText.h"
#include "Kel/KelTranslate.h"
#include "Kel/KelURI.h"
#include "app/NodeList.h"
#include "app/ProjectReader.h"
#include "app/SpiderNode.h"

const char* const kComparisonCaptions[4] = {"New Addresses", "Gone Addresses", "Newly Broken", "Fixed"};

namespace {

// Whether an answer (status code and text, as a project file keeps them) counts as broken: the
// same rule as TSpiderNode::IsBroken.
bool IsBrokenAnswer(int32_t code, const std::string& text) {
  const bool redirect = code == 301 || code == 302;
  if (redirect) return text == kRedirectLoopText || text == kTooManyRedirectsText;
  return code != 0 && code != 200;
}

// The map's addresses as a project file writes them, hashed: a sorted table of (hash, node
// index), 16 bytes an address, searched by the hash and confirmed by the address itself.
class TAddressIndex {
 public:
  explicit TAddressIndex(const TSiteMap& map) : Map_(map) {
    Table_.reserve(static_cast<size_t>(map.Count()));
    for (const auto& node : map.Nodes()) Table_.emplace_back(Hash(SavedText(*node)), node->Index());
    std::sort(Table_.begin(), Table_.end());
  }
  // The index of the node saved as `saved` ("RemoteFile"), or -1.
  int32_t Find(const std::string& saved) const {
    const uint64_t h = Hash(saved);
    auto it = std::lower_bound(Table_.begin(), Table_.end(), std::make_pair(h, INT32_MIN));
    for (; it != Table_.end() && it->first == h; ++it)
      if (SavedText(*Map_.Node(it->second)) == saved) return it->second;
    return -1;
  }

 private:
  static std::string SavedText(const TSpiderNode& node) { return EncodeFormText(node.URLText()); }
  static uint64_t Hash(const std::string& text) { return std::hash<std::string>{}(text); }
  const TSiteMap& Map_;
  std::vector<std::pair<uint64_t, int32_t>> Table_;
};

// Per node index, which lists of the comparison hold the node.
enum : uint8_t { kInOld = 1, kOldBroken = 2, kIsNew = 4, kIsNewlyBroken = 8, kIsFixed = 16 };

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

void PutJSONString(std::ostream& out, std::string_view text) { out << JSONString(text); }

}  // namespace

namespace {
// The project's number of addresses; throws when the file is no project.
int32_t ScanProject(TProjectReader& file, const std::string& path) {
  file.Scan();
  const int32_t count = StrToIntDef(Trim(file.Setting("Links")), -1);
  if (file.Setting("URI").empty() || count < 0)
    throw EError(Format("\"%s\" is not a Tessaly project file", path.c_str()));
  return count;
}
}  // namespace

void CheckProjectToCompare(const std::string& path) {
  TProjectReader file = TProjectReader::FromFile(path);
  ScanProject(file, path);
}

TProjectComparison CompareWithProject(const TSiteMap& map, const std::string& oldProject) {
  TProjectComparison result;
  result.OldProject = oldProject;
  TProjectReader file = TProjectReader::FromFile(oldProject);
  const int32_t count = ScanProject(file, oldProject);
  result.OldSite = file.Setting("URI");
  result.OldCount = count;

  const TAddressIndex index(map);
  std::vector<uint8_t> flags(static_cast<size_t>(map.Count()), 0);
  for (int32_t i = 0; i < count; ++i) {
    if (!file.HasSection(i))
      throw EError(Format("\"%s\" is not a whole project file: it has no section [%d]", oldProject.c_str(), i));
    const TProjectReader::TValues& values = file.Section(i);
    const std::string saved = TProjectReader::Value(values, "RemoteFile");
    const int32_t node = index.Find(saved);
    if (node < 0) {
      result.Gone.push_back(DecodeFormText(saved));
      continue;
    }
    uint8_t& f = flags[static_cast<size_t>(node)];
    if (f & kInOld) continue;  // the first section of an address counts
    f |= kInOld;
    const int32_t code = StrToIntDef(TProjectReader::Value(values, "ResponseCode"), 0);
    const std::string answer = TProjectReader::Value(values, "ResponseText");
    const TSpiderNode& now = *map.Node(node);
    if (IsBrokenAnswer(code, answer)) {
      f |= kOldBroken;
      if (now.ResponseCode != 0 && !now.IsBroken()) result.Fixed.push_back({node, code, answer});
    }
    // A title counts only where both crawls read the page.
    const bool readBefore = code == 200 && ContainsText(TProjectReader::Value(values, "ContentType"), "text/html");
    if (readBefore && now.IsInternal() && now.IsHTML() && now.ResponseCode == 200) {
      std::string oldTitle = DecodeFormText(TProjectReader::Value(values, "Title"));
      if (oldTitle != now.Title()) result.TitleChanged.push_back({node, std::move(oldTitle)});
    }
  }
  for (const auto& node : map.Nodes()) {
    const uint8_t f = flags[static_cast<size_t>(node->Index())];
    if (!(f & kInOld)) result.New.push_back(node->Index());
    if (node->IsBroken() && !(f & kOldBroken)) result.NewlyBroken.push_back(node->Index());
  }
  return result;
}

void WriteComparisonText(std::ostream& out, const TSiteMap& map, const TProjectComparison& c) {
  out << "Compared with " << c.OldProject << " (" << c.OldCount << " addresses, site " << c.OldSite << ")\n";
  out << "New addresses: " << c.New.size() << "\n";
  for (const int32_t i : c.New) out << "  " << map.Node(i)->URLText() << "\n";
  out << "Gone addresses: " << c.Gone.size() << "\n";
  for (const std::string& address : c.Gone) out << "  " << address << "\n";
  out << "Newly broken: " << c.NewlyBroken.size() << "\n";
  for (const int32_t i : c.NewlyBroken) {
    const TSpiderNode& node = *map.Node(i);
    out << "  " << node.ResponseCode << " " << node.URLText() << "\n    " << node.ResponseText << "\n";
  }
  out << "Fixed: " << c.Fixed.size() << "\n";
  for (const auto& fixed : c.Fixed) {
    const TSpiderNode& node = *map.Node(fixed.Node);
    out << "  " << node.URLText() << "\n    was " << fixed.OldCode << " " << fixed.OldAnswer << ", now "
        << node.ResponseCode << " " << node.ResponseText << "\n";
  }
  out << "Changed titles: " << c.TitleChanged.size() << "\n";
  for (const auto& change : c.TitleChanged) {
    const TSpiderNode& node = *map.Node(change.Node);
    out << "  " << node.URLText() << "\n    was " << Quoted(change.OldTitle) << ", now " << Quoted(node.Title()) << "\n";
  }
}

// `items` as a JSON array, each written by `put`.
template <typename Items, typename Put>
void PutJSONArray(std::ostream& out, const Items& items, Put&& put) {
  out << '[';
  const char* sep = "";
  for (const auto& item : items) {
    out << sep;
    put(item);
    sep = ",";
  }
  out << ']';
}

void WriteComparisonJSON(std::ostream& out, const TSiteMap& map, const TProjectComparison& c) {
  out << "{\"project\":";
  PutJSONString(out, c.OldProject);
  out << ",\"site\":";
  PutJSONString(out, c.OldSite);
  out << ",\"addresses\":" << c.OldCount << ",\n\"new\":";
  PutJSONArray(out, c.New, [&](int32_t i) { PutJSONString(out, map.Node(i)->URLText()); });
  out << ",\n\"gone\":";
  PutJSONArray(out, c.Gone, [&](const std::string& address) { PutJSONString(out, address); });
  out << ",\n\"newlyBroken\":";
  PutJSONArray(out, c.NewlyBroken, [&](int32_t i) {
    const TSpiderNode& node = *map.Node(i);
    out << "{\"address\":";
    PutJSONString(out, node.URLText());
    out << ",\"code\":" << node.ResponseCode << ",\"answer\":";
    PutJSONString(out, node.ResponseText);
    out << '}';
  });
  out << ",\n\"fixed\":";
  PutJSONArray(out, c.Fixed, [&](const auto& fixed) {
    const TSpiderNode& node = *map.Node(fixed.Node);
    out << "{\"address\":";
    PutJSONString(out, node.URLText());
    out << ",\"oldCode\":" << fixed.OldCode << ",\"oldAnswer\":";
    PutJSONString(out, fixed.OldAnswer);
    out << ",\"code\":" << node.ResponseCode << ",\"answer\":";
    PutJSONString(out, node.ResponseText);
    out << '}';
  });
  out << ",\n\"titleChanged\":";
  PutJSONArray(out, c.TitleChanged, [&](const auto& change) {
    const TSpiderNode& node = *map.Node(change.Node);
    out << "{\"address\":";
    PutJSONString(out, node.URLText());
    out << ",\"oldTitle\":";
    PutJSONString(out, change.OldTitle);
    out << ",\"title\":";
    PutJSONString(out, node.Title());
    out << '}';
  });
  out << '}';
}

// --- In the tree ---------------------------------------------------------------------------

TActiveComparison::TActiveComparison(TSiteTree& tree) : Tree_(tree) { Tree_.AddObserver(this); }

TActiveComparison::~TActiveComparison() { Tree_.RemoveObserver(this); }

void TActiveComparison::Show(TProjectComparison comparison) {
  auto result = std::make_unique<TProjectComparison>(std::move(comparison));
  auto flags = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(Tree_.Map.Count()), 0);
  for (const int32_t i : result->New) (*flags)[static_cast<size_t>(i)] |= kIsNew;
  for (const int32_t i : result->NewlyBroken) (*flags)[static_cast<size_t>(i)] |= kIsNewlyBroken;
  for (const auto& fixed : result->Fixed) (*flags)[static_cast<size_t>(fixed.Node)] |= kIsFixed;

  Changing_ = true;
  Tree_.BeginUpdate();
  Tree_.RemoveExtraRoots();
  Result_ = std::move(result);
  Flags_ = std::move(flags);
  auto filter = [flags = Flags_](uint8_t bit) {
    return [flags, bit](const TSpiderNode& node) {
      const size_t i = static_cast<size_t>(node.Index());
      return i < flags->size() && ((*flags)[i] & bit) != 0;
    };
  };
  Tree_.AddExtraRoot(RunTimeText(kComparisonCaptions[0]), filter(kIsNew));
  TTreeEntry* gone = Tree_.AddExtraRoot(RunTimeText(kComparisonCaptions[1]), {});
  for (const std::string& address : Result_->Gone) Tree_.AddChild(gone, address);
  Tree_.AddExtraRoot(RunTimeText(kComparisonCaptions[2]), filter(kIsNewlyBroken));
  Tree_.AddExtraRoot(RunTimeText(kComparisonCaptions[3]), filter(kIsFixed));
  Tree_.EndUpdate();
  Changing_ = false;
}

void TActiveComparison::End() {
  if (!Result_) return;
  Changing_ = true;
  Tree_.RemoveExtraRoots();
  Changing_ = false;
  Result_.reset();
  Flags_.reset();
}

TTreeEntry* TActiveComparison::Category(int i) const {
  const auto& top = Tree_.TopLevel();
  const size_t at = static_cast<size_t>(rkCount + i);
  return Result_ && i >= 0 && i < 4 && at < top.size() ? top[at].get() : nullptr;
}

void TActiveComparison::TreeAboutToReset() {
  if (Changing_) return;
  // A reset of the tree (a new crawl, a loaded project) frees the nodes the lists name; a
  // reset for many changes at once (a project loaded into the map) leaves them, but the map
  // is then another one. Either way the comparison is over; a reset tree has no categories, and
  // categories left by a load list nothing.
  Result_.reset();
  if (Flags_) Flags_->clear();
  Flags_.reset();
}
