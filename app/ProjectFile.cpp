// Project files: the whole site map as an INI text ("[Settings]", then one section per node),
// written in one piece and read back into a rebuilt site tree.
#include <filesystem>

#include "Dialogs/UnitProgress.h"
#include "Kel/KelDialogs.h"
#include "Kel/KelError.h"
#include "Kel/KelFiles.h"
#include "Kel/KelIni.h"
#include "Kel/KelStr.h"
#include "app/UnitMain.h"

namespace {

std::string IndexList(const TSpiderNodeDynArray& nodes) {
  std::string text;
  for (const TSpiderNode* n : nodes) {
    if (!text.empty()) text += ',';
    text += std::to_string(n->Index());
  }
  return text;
}

// The nodes named by a list of indexes: "'x' is not a valid integer value" for a piece that is
// not a number, "List index out of bounds (n)" for one that names no node.
template <typename Add>
void ForEachIndex(const TSiteMap& map, const std::string& list, Add add) {
  if (list.empty()) return;
  for (const std::string& piece : SplitString(list, ',')) {
    const int32_t index = StrToInt(piece);
    if (index < 0 || index >= map.Count()) throw EError(Format("List index out of bounds (%d)", index));
    add(map.Node(index));
  }
}

}  // namespace

void TSpiderNode::SaveTo(std::vector<std::string>& lines) const {
  lines.push_back("RemoteFile=" + EncodeFormText(URLText()));
  lines.push_back("LocalFile=" + LocalFile);
  lines.push_back("RemoteDate=" + DateTimeToStr(RemoteDate));
  lines.push_back("LastModified=" + DateTimeToStr(LastModified));
  lines.push_back("ContentType=" + ContentType);
  lines.push_back("ResponseText=" + ResponseText);
  lines.push_back("ResponseCode=" + std::to_string(ResponseCode));
  lines.push_back("ContentLength=" + std::to_string(ContentLength));
  lines.push_back("SpellingErrors=" + std::to_string(SpellingErrors));
  lines.push_back("Links=" + IndexList(Links));
  lines.push_back("Referers=" + IndexList(Referers));
  lines.push_back("Title=" + EncodeFormText(Title));
  lines.push_back("Description=" + EncodeFormText(Description));
  lines.push_back("Location=" + Location);
  lines.push_back("Server=" + Server);
  lines.push_back(std::string("IsInternal=") + (IsInternal() ? "-1" : "0"));
}

void TSpiderNode::LoadFrom(const std::function<std::string(std::string_view key)>& value) {
  ResolveLink(URI, value("RemoteFile"), nullptr);
  LocalFile = value("LocalFile");
  RemoteDate = StrToDateTime(value("RemoteDate"));
  LastModified = StrToDateTime(value("LastModified"));
  ContentType = value("ContentType");
  ResponseText = value("ResponseText");
  ResponseCode = StrToInt(value("ResponseCode"));
  ContentLength = StrToInt(value("ContentLength"));
  SpellingErrors = StrToInt(value("SpellingErrors"));
  Title = DecodeFormText(value("Title"));
  Description = DecodeFormText(value("Description"));
  Location = value("Location");
  Server = value("Server");
  ForEachIndex(*Map_, value("Links"), [&](TSpiderNode* n) { AddToLinks(n); });
  ForEachIndex(*Map_, value("Referers"), [&](TSpiderNode* n) { AddToReferers(n); });
}

void TFormTessaly::SaveProject(const std::string& path) {
  std::vector<std::string> lines;
  lines.reserve(5 + static_cast<size_t>(Map.Count()) * 17);
  lines.push_back("[Settings]");
  lines.push_back(std::string("Generator=") + kApplicationTitle);
  lines.push_back("Now=" + DateTimeToStr(NowDateTime()));
  lines.push_back("URI=" + Map.SiteURI.Compose());
  lines.push_back("Links=" + std::to_string(Map.Count()));
  for (const auto& node : Map.Nodes()) {
    lines.push_back(Format("[%d]", node->Index()));
    node->SaveTo(lines);
  }
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  SaveTextToFile(path, text);
  Map.Modified = false;
  ProjectFileName = path;
  Refresh();
}

bool TFormTessaly::OpenProjectFile(const std::string& path) {
  if (!SameText(std::filesystem::path(path).extension().string(), ".tly")) {
    SetAddress(path);
    return true;
  }
  if (!NewProject()) return false;
  const TIniText file(LoadTextFromFile(path));
  if (Progress) Progress->Run([&](TFormProgress& p) { LoadProject(file, &p); });
  else LoadProject(file, nullptr);
  AddRecentAddress();
  Map.Modified = false;
  ProjectFileName = path;
  Refresh();
  return true;
}

bool TFormTessaly::LoadProject(const TIniText& file, TFormProgress* progress) {
  LastLoadError.clear();
  Tree.BeginUpdate();
  try {
    Map.SiteURI.Parse(file.ReadString("Settings", "URI"));
    EditURL = Map.SiteURI.Compose();
    const int32_t count = StrToIntDef(file.ReadString("Settings", "Links"), 0);
    auto section = [&](int i) -> const TIniText::TSection& {
      const TIniText::TSection* s = file.FindSection(std::to_string(i));
      // A node that the file announces but does not hold is an error, not an empty address.
      if (!s) throw EError(Format("The project file has no section [%d]", i));
      return *s;
    };
    if (count > 0) {
      if (progress) {
        progress->SetMessage("Loading Site Map...");
        progress->SetRange(count - 1);
      }
      for (int i = 0; i < count; ++i) {
        if (progress) progress->SetPosition(i);
        TURI uri;
        ResolveLink(uri, section(i).Value("RemoteFile"), nullptr);
        Tree.InsertURL(uri, nullptr, false);
        if (i % 10 == 0 && Services.Ui) Services.Ui->ProcessMessages();
      }
    }
    const int nodes = Map.Count();
    if (nodes > 0) {
      if (progress) {
        progress->SetMessage("Re-Building Site Tree...");
        progress->SetRange(nodes - 1);
      }
      for (int i = 0; i < nodes; ++i) {
        if (progress) progress->SetPosition(i);
        const TIniText::TSection& values = section(i);
        Map.Node(i)->LoadFrom([&](std::string_view key) { return values.Value(key); });
      }
      if (progress) progress->SetMessage("Updating Local File Status...");
      Map.RefreshAllLocalStatus(progress);
    }
  } catch (const std::exception& e) {
    LastLoadError = e.what();
  }
  Tree.EndUpdate();
  if (!LastLoadError.empty() && Services.Ask) Services.Ask->Notice(LastLoadError);
  return LastLoadError.empty();
}
