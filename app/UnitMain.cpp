#include "app/UnitMain.h"

#include <filesystem>
#include <fstream>

#include "Dialogs/UnitHTTPClient.h"
#include "Dialogs/UnitProgress.h"
#include "Kel/KelTranslate.h"
#include "Kel/KelError.h"
#include "Kel/KelFiles.h"
#include "Kel/KelIni.h"
#include "Kel/KelStr.h"

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
    List.BeginUpdate();
    List.Clear();
    if (entry->HasChildren()) {
      for (const auto& child : entry->Children) List.AddRow(child.get());
    } else if (Tree.IsFilterRoot(entry)) {
      Tree.ListMatching(List, entry);
    } else if (node) {
      PreviewNode(node, false, false);
      if (node->IsHTML()) {
        for (TSpiderNode* target : node->Links) List.AddRow(target->TreeNode);
      } else if (entry->Parent) {
        for (const auto& sibling : entry->Parent->Children) List.AddRow(sibling.get());
      }
    }
    List.EndUpdate();
    if (TSpiderNode* n = NodeOf(entry); n && n->ListItem) {
      for (const auto& row : List.Rows()) row->Selected = row.get() == n->ListItem;
    }
  }
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

void TFormTessaly::AddRecentAddress() {
  if (EditURL.empty()) return;
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
  std::ifstream in(RecentAddressesFile(), std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) RecentAddresses.push_back(line);
  }
}

void TFormTessaly::SaveRecentAddresses() const {
  if (!Services.Dirs) return;
  std::string text;
  for (size_t i = 0; i < RecentAddresses.size() && i < 10; ++i) text += RecentAddresses[i] + "\r\n";
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

void TFormTessaly::PreviewNode(TSpiderNode* node, bool newWindow, bool force) {
  if (!node) return;
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
    StatusRequesting.clear();
    EditURLEnabled = true;
    ButtonSpiderCaption = RunTimeText("Start");
    ButtonSpiderStops = false;
    ButtonSpiderEnabled = true;
    ButtonBrowseEnabled = true;
  }
  Changed();
}

void TFormTessaly::TimerTick() {
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
  SaveTextToFile(path, ProjectText(Map));
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
  LastLoadError = ::LoadProject(Tree, file, progress, Services.Ui);
  try {
    EditURL = Map.SiteURI.Compose();
  } catch (const EError&) {
    // The load stopped at the site root: the address box keeps its text.
  }
  if (!LastLoadError.empty() && Services.Ask) Services.Ask->Notice(LastLoadError);
  return LastLoadError.empty();
}
