#include "app/UnitMain.h"

#include <algorithm>
#include <filesystem>

#include "Dialogs/UnitHTTPClient.h"
#include "Dialogs/UnitProgress.h"
#include "Kel/KelTranslate.h"
#include "Kel/KelError.h"
#include "Kel/KelFiles.h"
#include "Kel/KelIni.h"
#include "Kel/KelStr.h"
#include "app/ProjectReader.h"

TFormTessaly::TFormTessaly(TSiteMap& map, platform::Services& services, IRequestQueue* pool)
    : Map(map), Services(services), Tree(map, pool), Crawl(*this) {
  Tree.AttachList(&List);
  Tree.UpdateSiteRootCaption();
}

TFormTessaly::~TFormTessaly() { Tree.AttachList(nullptr); }

void TFormTessaly::Changed() {
  if (OnStateChange) OnStateChange();
}

bool TFormTessaly::NewProject() {
  if (Map.Modified && Services.Ask && !Services.Ask->AskYesNo("Do you want to clear the current spider results?"))
    return false;
  Reset();
  return true;
}

void TFormTessaly::Reset() {
  SelectEntry(nullptr);
  // The previous project's page leaves the preview.
  if (Services.View) Services.View->Clear();
  Tree.ResetSiteTree();
  History.Reset();
  Crawl.Reset();
  ProjectFileName = kUntitledProject;
  SelectEntry(Tree.SiteRoot());
  Refresh();
}

void TFormTessaly::Refresh() {
  TTreeEntry* current = Selected_;
  SelectEntry(nullptr);
  SelectEntry(current);
  Caption = WindowCaption(ProjectFileName);
  Changed();
}

void TFormTessaly::SelectEntry(TTreeEntry* entry) {
  Selected_ = entry;
  if (entry) {
    TSpiderNode* node = NodeOf(entry);
    Tree.UpdateSiteRootCaption();
    PathText = TreeNodeURL(entry);
    if (node && EditURLEnabled) EditURL = node->URLText();
    History.Record(entry);
    if (node && ListSourceOf(Tree, entry) != TListSource::Children && !Tree.IsFilterRoot(entry))
      PreviewNode(node, false, false);
    Live.Fill(entry);
    if (TSpiderNode* n = NodeOf(entry); n && n->ListItem) {
      for (const auto& row : List.Rows()) row->Selected = row.get() == n->ListItem;
    }
  }
  if (!entry) Live.Unfollow();
  BackEnabled = History.CanGoBack();
  ForwardEnabled = History.CanGoForward();
  UpEnabled = entry && entry->Parent;
  Changed();
}

void TFormTessaly::MoveInHistory(int delta) {
  TTreeEntry* target = History.Move(delta);
  if (!target) return;
  SelectEntry(target);
}

void TFormTessaly::UpOneLevel() {
  if (Selected_ && Selected_->Parent) SelectEntry(Selected_->Parent);
}

bool IsRecentAddressKept(std::string_view address) {
  if (address.empty() || address.size() > kMaxRecentAddressLength) return false;
  return std::none_of(address.begin(), address.end(), [](char c) {
    const unsigned char b = static_cast<unsigned char>(c);
    return b < 32 || b == 127;
  });
}

void TFormTessaly::AddRecentAddress() {
  if (!IsRecentAddressKept(EditURL)) return;
  for (size_t i = 0; i < RecentAddresses.size(); ++i) {
    if (SameText(RecentAddresses[i], EditURL)) {
      const std::string kept = RecentAddresses[i];
      RecentAddresses.erase(RecentAddresses.begin() + static_cast<long>(i));
      RecentAddresses.insert(RecentAddresses.begin(), kept);
      return;
    }
  }
  RecentAddresses.insert(RecentAddresses.begin(), EditURL);
}

void TFormTessaly::LoadRecentAddresses() {
  RecentAddresses.clear();
  if (!Services.Dirs) return;
  std::string text;
  try {
    // Only the head of the file is read: it holds the few entries that are kept.
    text = LoadTextFromFile(RecentAddressesFile(), kMaxRecentFileBytes);
  } catch (const EError&) {
    return;  // missing, unreadable or not a regular file: no recent addresses
  }
  // A line cut off by the read's limit is not an entry.
  const bool cut = text.size() >= kMaxRecentFileBytes;
  size_t start = 0;
  while (start < text.size() && RecentAddresses.size() < kMaxRecentAddresses) {
    const size_t end = text.find('\n', start);
    if (end == std::string::npos && cut) break;
    std::string_view line = std::string_view(text).substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (IsRecentAddressKept(line)) RecentAddresses.emplace_back(line);
    if (end == std::string::npos) break;
    start = end + 1;
  }
}

void TFormTessaly::SaveRecentAddresses() const {
  if (!Services.Dirs) return;
  std::string text;
  size_t written = 0;
  for (size_t i = 0; i < RecentAddresses.size() && written < kMaxRecentAddresses; ++i) {
    if (!IsRecentAddressKept(RecentAddresses[i])) continue;
    text += RecentAddresses[i] + "\r\n";
    ++written;
  }
  TrySaveTextToFile(RecentAddressesFile(), text);
}

std::string TFormTessaly::RecentAddressesFile() const {
  const std::string folder = RecentAddressesFolder ? RecentAddressesFolder() : Services.Dirs->AppFolder();
  return folder + "/MRU.txt";
}

void TFormTessaly::SetAddress(const std::string& text) {
  EditURL = text;
  if (Services.View) Services.View->Navigate(text);
  Changed();
}

const char* const kForeignFileQuestion =
    "\"%s\" is a file on this computer that a web site links to.\r\rShow it anyway?";

bool TFormTessaly::MayShowAddress(const TURI& uri) {
  if (!SameText(uri.Protocol, "file") || Map.IsRequestable(uri)) return true;
  // A file that a web site names: shown only when the user says so.
  return Services.Ask && Services.Ask->AskYesNo(FormatText(kForeignFileQuestion, URLText(uri).c_str()));
}

const char* const kOpenOutsideQuestion = "\"%s\" is not in the site map.\r\rOpen it in the browser?";

void TFormTessaly::PreviewLinkClicked(const std::string& address) {
  // The address as the tree files it: no bookmark, no default port, normalised.
  TURI uri;
  std::string text;
  try {
    ResolveLink(uri, address, nullptr);
    DropDefaultPort(uri);
    uri.Bookmark.clear();
    if (!IsSpecialScheme(uri.Protocol)) NormalizeURI(uri);
    text = URLText(uri);
  } catch (const EError&) {
    return;  // not an address the map could hold, nor one to hand on
  }
  for (const auto& node : Map.Nodes()) {
    // Letter case aside, as the tree files addresses.
    if (node->TreeNode && SameText(node->URLText(), text)) {
      SelectEntry(node->TreeNode);
      return;
    }
  }
  const bool web = SameText(uri.Protocol, "http") || SameText(uri.Protocol, "https");
  const bool localCrawl = SameText(uri.Protocol, "file") && Map.IsRequestable(uri);
  if (!web && !localCrawl) return;  // mailto:, ssh:, a file a web site names: never handed on
  if (Services.Ask && Services.Ask->AskYesNo(FormatText(kOpenOutsideQuestion, text.c_str()))) OpenInBrowser(Services, text);
}

void TFormTessaly::PreviewNode(TSpiderNode* node, bool newWindow, bool force) {
  if (!node) return;
  // A file that a web site names is never shown on a mere selection, and on a command only
  // when the user says so.
  const bool foreignFile = SameText(node->Address().Protocol(), "file") && !Map.IsRequestable(node->Address().Parts());
  if (foreignFile && !(newWindow || force)) return;
  if (foreignFile && !MayShowAddress(node->URI())) return;
  if (newWindow) {
    OpenInBrowser(Services, node->PreviewTarget());
    return;
  }
  if (force || node->IsPreviewable()) {
    if (force && Services.View) Services.View->ShowPanel();
    if (Services.View) Services.View->Navigate(node->PreviewTarget());
  }
}

// ---------------------------------------------------------------------------------------------
// The crawl's buttons and the busy state

void TFormTessaly::ButtonSpiderClick() {
  Crawl.Start();
  Changed();
}

void TFormTessaly::ButtonStopClick() {
  Crawl.Stop();
  Changed();
}

void TFormTessaly::ButtonSpiderPress() {
  if (!ButtonSpiderEnabled) return;
  if (ButtonSpiderStops) ButtonStopClick();
  else ButtonSpiderClick();
}

void TFormTessaly::ButtonOnStatusClick() {
  TFormHTTPClient* pool = Pool();
  if (!pool) return;
  Busy = pool->IsBusy();
  if (Busy && Recovery) Recovery->Progress(Map, ProjectFileName, EditURL);
  if (Busy) {
    TimerRunning = true;
    StatusRequesting = FormatText("Requesting: %s", pool->CurrentURL.c_str());
    EditURLEnabled = false;
    ButtonBrowseEnabled = false;
    if (ButtonSpiderEnabled) {
      ButtonSpiderCaption = RunTimeText("Stop");
      ButtonSpiderStops = true;
    }
  } else {
    TimerRunning = false;
    // A recovery write under way when the crawl ended is completed, not lost.
    if (Recovery) Recovery->Finish(Map);
    // What the crawl wants the user to know stays in the status bar once it is idle.
    StatusRequesting = Crawl.Notes().empty() ? std::string() : Crawl.Notes().back();
    EditURLEnabled = true;
    ButtonSpiderCaption = RunTimeText("Start");
    ButtonSpiderStops = false;
    ButtonSpiderEnabled = true;
    ButtonBrowseEnabled = true;
  }
  Changed();
}

void TFormTessaly::TimerTick() {
  Live.Sync();
  if (BusyStep == 0) {
    BusyStep = 4;
    BusyPosition = 50;
  }
  BusyPosition += BusyStep;
  if (BusyPosition < 10 || BusyPosition > 90) {
    BusyStep = -BusyStep;
    BusyPosition += BusyStep;
  }
}

// ---------------------------------------------------------------------------------------------
// Project files

void TFormTessaly::SaveProject(const std::string& path) {
  SaveProjectFile(Map, path);
  Map.Modified = false;
  ProjectFileName = path;
  if (Recovery) Recovery->Remove();
  Refresh();
}

bool TFormTessaly::ReopenRecovery(const TCrawlRecovery::TLeftover& leftover) {
  if (!OpenProjectFile(leftover.File)) return false;
  ProjectFileName = leftover.ProjectFile.empty() ? std::string(kUntitledProject) : leftover.ProjectFile;
  Map.Modified = true;
  Refresh();
  return true;
}

bool TFormTessaly::OpenProjectFile(const std::string& path) {
  if (!SameText(std::filesystem::path(path).extension().string(), ".tly")) {
    SetAddress(path);
    return true;
  }
  if (!NewProject()) return false;
  TProjectReader file = TProjectReader::FromFile(path);
  if (Progress) Progress->Run([&](TFormProgress& p) { LoadProject(file, &p); });
  else LoadProject(file, nullptr);
  AddRecentAddress();
  Map.Modified = false;
  ProjectFileName = path;
  Refresh();
  return true;
}

bool TFormTessaly::LoadProject(TProjectReader& file, TFormProgress* progress) {
  LastLoadError = ::LoadProject(Tree, file, progress, Services.Ui);
  try {
    EditURL = Map.SiteURI.Compose();
  } catch (const EError&) {
    // The load stopped at the site root: the address box keeps its text.
  }
  if (!LastLoadError.empty() && Services.Ask) Services.Ask->Notice(LastLoadError);
  return LastLoadError.empty();
}
