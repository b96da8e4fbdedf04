#include "app/CrawlEngine.h"

#include <filesystem>

#include "Kel/KelError.h"
#include "Kel/KelFiles.h"
#include "Kel/KelStr.h"
#include "Kel/KelRobots.h"
#include "app/Application.h"
#include "app/ProjectCompare.h"
#include "app/ProjectFile.h"
#include "app/SpiderExport.h"

TCrawlEngine::TCrawlEngine(TTessalyApp& app)
    : App_(app), Comparison_(std::make_unique<TActiveComparison>(app.Main.Tree)) {}

TCrawlEngine::~TCrawlEngine() = default;

void TCrawlEngine::Apply(const TCrawlSettings& s) {
  TCrawlController& crawl = App_.Main.Crawl;
  // Everything that can be refused is checked first.
  if (s.Rate && !(*s.Rate >= 0)) throw EError("Requests per second per host: the rate must be 0 or more");
  if (s.MaxDepth && *s.MaxDepth < 0) throw EError("Largest depth: the depth must be 0 or more");
  if (s.Include) TAddressPatterns(*s.Include, "Include patterns");
  if (s.Exclude) TAddressPatterns(*s.Exclude, "Exclude patterns");
  if (s.UserAgent || s.Headers) {
    const TRequestIdentity& now = crawl.IdentitySettings();
    crawl.SetIdentity(s.UserAgent ? *s.UserAgent : now.UserAgent, s.Headers ? *s.Headers : now.Headers);
    if (s.UserAgent) {
      const std::string token = RobotsProductToken(*s.UserAgent);
      crawl.Gate.RobotsAgent = token.empty() ? "Tessaly" : token;
    }
  }
  if (s.Include) crawl.SetIncludePatterns(*s.Include);
  if (s.Exclude) crawl.SetExcludePatterns(*s.Exclude);
  if (s.ObeyRobots) crawl.Gate.ObeyRobots = *s.ObeyRobots;
  if (s.UseSitemap) crawl.Sitemaps.Enabled = *s.UseSitemap;
  if (s.Rate) App_.Pool.HostGate().SetRate(*s.Rate);
  if (s.Retry) App_.Pool.HostGate().SetRetry(*s.Retry);
  if (s.MaxDepth) crawl.MaxDepth = *s.MaxDepth;
  if (s.Username) crawl.SetCredentials(*s.Username, s.Password.value_or(std::string()));
  if (s.ValidateExternalURLs) App_.Main.Tree.ValidateExternalURLs = *s.ValidateExternalURLs;
  if (s.CheckPageResources) App_.Main.Crawl.CheckPageResources = *s.CheckPageResources;
  if (s.CheckAnchors) App_.Main.Crawl.CheckAnchors = *s.CheckAnchors;
  if (s.Timeout) App_.HTTPSettings.EditTimeout.Text = *s.Timeout;
  if (s.MaxPageSize) App_.HTTPSettings.EditMaxPageSize.Text = *s.MaxPageSize;
  if (s.MaxAddresses) App_.HTTPSettings.EditMaxAddresses.Text = *s.MaxAddresses;
  if (s.MaxQueue) App_.HTTPSettings.EditMaxQueue.Text = *s.MaxQueue;
  App_.HTTPSettings.Changed();
}

void TCrawlEngine::Start(const std::string& address) {
  App_.Main.EditURL = address;
  App_.Main.ButtonSpiderClick();
}

size_t TCrawlEngine::Continue() { return App_.Main.Crawl.Continue(); }

void TCrawlEngine::Resume() { App_.Pool.ResumeRequests(); }

void TCrawlEngine::Stop() { App_.Main.ButtonStopClick(); }

void TCrawlEngine::Terminate() { App_.Pool.TerminateAll(); }

void TCrawlEngine::SetInterrupt(const std::atomic<bool>* interrupted) {
  Interrupted_ = interrupted;
  App_.Main.Crawl.Interrupted = interrupted;
}

bool TCrawlEngine::IsIdle() const { return App_.Pool.IsIdle(); }

bool TCrawlEngine::Suspended() const {
  return App_.Pool.LimitHolds() || (App_.Pool.Suspended() && !App_.Pool.IsEmpty());
}

int TCrawlEngine::RequestsLeft() const { return App_.Pool.TotalCount(); }

TCrawlProgress TCrawlEngine::Progress() const {
  TCrawlProgress p;
  p.RequestsDone = App_.Main.Crawl.RequestsDone();
  p.Active = App_.Pool.ActiveCount();
  p.Pending = App_.Pool.TotalCount() - p.Active;
  p.Addresses = App_.Map.Count();
  p.CurrentURL = App_.Pool.CurrentURL;
  return p;
}

bool TCrawlEngine::Wait(const TServe& serve) {
  bool interrupted = false;
  for (;;) {
    serve(std::chrono::milliseconds(50));
    if (Interrupted()) {
      Terminate();
      interrupted = true;
      break;
    }
    if (OnProgress) OnProgress(Progress());
    if (IsIdle()) break;
  }
  App_.Services.Ui->ProcessMessages();
  return !interrupted;
}

TSiteMap& TCrawlEngine::Map() const { return App_.Map; }

TSiteTree& TCrawlEngine::Tree() const { return App_.Main.Tree; }

const TTreeEntry* TCrawlEngine::SiteRoot() const { return App_.Main.Tree.SiteRoot(); }

void TCrawlEngine::Open(const std::string& projectFile) {
  if (!SameText(std::filesystem::path(projectFile).extension().string(), ".tly"))
    throw EError("'" + projectFile + "' is not a project file (.tly)");
  App_.Main.OpenProjectFile(projectFile);
  if (!App_.Main.LastLoadError.empty()) throw EError(projectFile + " could not be loaded completely");
}

TNodeList& TCrawlEngine::ListCategory(TSiteRootKind category) {
  KelAssert(category >= rkAll && category <= rkInternal, "a category to list");
  App_.Main.SelectEntry(App_.Main.Tree.Root(category));
  return App_.Main.List;
}

std::optional<TSiteRootKind> TCrawlEngine::CategoryByCaption(const std::string& caption) {
  for (int k = rkAll; k <= rkInternal; ++k)
    if (caption == kSiteRootCaptions[k]) return static_cast<TSiteRootKind>(k);
  return std::nullopt;
}

void TCrawlEngine::SaveProject(const std::string& path) { App_.Main.SaveProject(path); }

void TCrawlEngine::WriteProject(std::ostream& out) const {
  WriteProjectText(App_.Map, [&](std::string_view piece) { out.write(piece.data(), static_cast<std::streamsize>(piece.size())); });
}

TSiteSummary TCrawlEngine::Summary() const { return WithNotes(SummarizeSite(App_.Main.Tree)); }

TSiteSummary TCrawlEngine::WithNotes(TSiteSummary figures) const {
  figures.Notes = App_.Main.Crawl.Notes();
  return figures;
}

void TCrawlEngine::WriteSummary(std::ostream& out) const {
  WriteSiteReport(out, Summary());
  if (const TProjectComparison* comparison = Comparison()) WriteComparisonText(out, App_.Map, *comparison);
  WriteOrphanPages(out);
}

void TCrawlEngine::WriteOrphanPages(std::ostream& out) const {
  WriteOrphanText(out, App_.Map, App_.Main.Crawl.Sitemaps);
}

const TTreeEntry* TCrawlEngine::BranchOf(const TTreeEntry* root, const std::string& target) const {
  const TTreeEntry* branch = root ? root : SiteRoot();
  if (!branch || !branch->HasChildren()) throw EError("the site map is empty: nothing to export to " + target);
  return branch;
}

void TCrawlEngine::ExportHTMLList(const std::string& path, const TTreeEntry* root) const {
  WriteHTMLListFile(path, BranchOf(root, path));
}

void TCrawlEngine::ExportHTMLList(std::ostream& out, const TTreeEntry* root) const {
  TLineStream lines(out, true);
  ::ExportHTMLTable(lines, BranchOf(root, "a stream"), 0);
}

void TCrawlEngine::ExportDHTMLTree(const std::string& path, const TTreeEntry* root) const {
  WriteDHTMLTreeFile(App_.Services, path, BranchOf(root, path));
}

void TCrawlEngine::ExportDHTMLTree(std::ostream& out, const TTreeEntry* root) const {
  TLineStream lines(out, true);
  ::ExportDHTMLTree(lines, BranchOf(root, "a stream"), 0);
}

void TCrawlEngine::ExportDHTMLTreeFramed(const std::string& path, const TTreeEntry* root) const {
  WriteDHTMLTreeFramedFile(App_.Services, path, BranchOf(root, path));
}

void TCrawlEngine::ExportXML(const std::string& path, const TTreeEntry* root) const {
  WriteXMLFile(path, BranchOf(root, path));
}

void TCrawlEngine::ExportXML(std::ostream& out, const TTreeEntry* root) const {
  TLineStream lines(out);
  ::ExportXML(lines, BranchOf(root, "a stream"), 0);
}

void TCrawlEngine::ExportTXT(const std::string& path, const TTreeEntry* root) const {
  WriteTXTFile(path, BranchOf(root, path));
}

void TCrawlEngine::ExportTXT(std::ostream& out, const TTreeEntry* root) const {
  TLineStream lines(out);
  ::ExportTXT(lines, BranchOf(root, "a stream"), 0);
}

void TCrawlEngine::ExportCSV(const std::string& path, TNodeList& list, TItemStates states) const {
  WriteListCSVFile(path, list, states);
}

void TCrawlEngine::ExportCSV(std::ostream& out, TNodeList& list, TItemStates states) const {
  list.FillAllRows();
  TLineStream lines(out);
  WriteListViewCSV(list, lines, states);
}

namespace {
// The HTML table writes the selected rows: all of them are selected for isNone.
void SelectRows(TNodeList& list, TItemStates states) {
  if (!(states & isSelected))
    for (const auto& row : list.Rows()) row->Selected = true;
}
}  // namespace

void TCrawlEngine::ExportHTMLTable(const std::string& path, TNodeList& list, TItemStates states) const {
  SelectRows(list, states);
  WriteListHTMLTableFile(path, list);
}

void TCrawlEngine::ExportHTMLTable(std::ostream& out, TNodeList& list, TItemStates states) const {
  SelectRows(list, states);
  list.FillAllRows();
  TLineStream lines(out);
  ::ExportListHTMLTable(lines, list);
}

TReportCrawl TCrawlEngine::ReportCrawl() const {
  TReportCrawl r;
  const TSiteMap& map = App_.Map;
  if (map.Count() > 0) r.Start = map.Node(0)->URLText();
  r.Started = App_.Main.Crawl.Started();
  r.Finished = App_.Main.Crawl.LastAnswer();
  r.CheckExternal = App_.Main.Tree.ValidateExternalURLs;
  r.CheckPageResources = App_.Main.Crawl.CheckPageResources;
  r.CheckAnchors = App_.Main.Crawl.CheckAnchors;
  r.Timeout = App_.HTTPSettings.EditTimeout.Text;
  r.MaxPageSize = App_.HTTPSettings.EditMaxPageSize.Text;
  r.RequestsAtATime = App_.Pool.MaxThreads();
  r.ObeyRobots = App_.Main.Crawl.Gate.ObeyRobots;
  r.Rate = App_.Pool.HostGate().Rate();
  r.MaxDepth = App_.Main.Crawl.MaxDepth;
  r.MaxAddresses = App_.HTTPSettings.EditMaxAddresses.Text;
  r.MaxQueue = App_.HTTPSettings.EditMaxQueue.Text;
  r.Summary = Summary();
  r.Comparison = Comparison();
  r.Sitemaps = &App_.Main.Crawl.Sitemaps;
  if (r.Started > 0 && Suspended()) {
    r.Summary.Incomplete = true;
    r.Summary.RequestsLeft = RequestsLeft();
  }
  return r;
}

std::vector<std::string> TCrawlEngine::ExportSitemap(const std::string& path, const TSitemapLimits& limits) const {
  return WriteSitemapFiles(path, App_.Map, limits);
}

bool TCrawlEngine::SaveSitemapAs() const {
  const auto file = App_.Services.Ask->PromptSaveFile("sitemap.xml", kXMLFilter, "xml");
  if (!file) return false;
  const std::vector<std::string> written = ExportSitemap(*file);
  if (written.size() > 1)
    App_.Services.Ask->Inform(
        "The sitemap has more pages than one file may hold: the file is their index, and the numbered files "
        "beside it hold the pages.");
  return true;
}

bool TCrawlEngine::SaveJSONReportAs() const {
  const auto file = App_.Services.Ask->PromptSaveFile("report.json", kJSONFilter, "json");
  if (!file) return false;
  ExportJSON(*file);
  return true;
}

void TCrawlEngine::ExportSitemap(std::ostream& out) const { WriteSitemap(out, App_.Map); }

void TCrawlEngine::ExportJSON(const std::string& path) const {
  TReplacementStream out(path);
  ExportJSON(out);
  out.Commit();
}

void TCrawlEngine::ExportJSON(std::ostream& out) const { WriteJSONReport(out, App_.Map, ReportCrawl()); }

void TCrawlEngine::ExportJUnit(const std::string& path) const {
  TReplacementStream out(path);
  ExportJUnit(out);
  out.Commit();
}

void TCrawlEngine::ExportJUnit(std::ostream& out) const { WriteJUnitReport(out, App_.Map, ReportCrawl()); }

namespace {
// Whether `entry` is one of the extra category entries (a comparison's, the orphan pages') or
// below one: a comparison replaces them all.
bool InComparison(const TTreeEntry* entry) {
  while (entry && entry->Parent) entry = entry->Parent;
  return entry && entry->Index >= rkCount;
}
}  // namespace

void TCrawlEngine::ForgetComparisonEntries() {
  if (App_.Main.Tree.TopLevel().size() <= static_cast<size_t>(rkCount)) return;
  TFormTessaly& main = App_.Main;
  if (InComparison(main.Selected())) main.SelectEntry(nullptr);
  // The steps of the history that lead into the categories go with them.
  TNavigationHistory& history = main.History;
  std::vector<TTreeEntry*> kept;
  int index = 0;
  for (size_t i = 0; i < history.Entries.size(); ++i) {
    if (InComparison(history.Entries[i])) continue;
    kept.push_back(history.Entries[i]);
    if (static_cast<int>(i) < history.Index) ++index;
  }
  history.Entries = std::move(kept);
  history.Index = index;
}

void TCrawlEngine::Compare(const std::string& oldProject) {
  // The file is read first: a failure leaves the comparison in force as it was.
  TProjectComparison result = CompareWithProject(App_.Map, oldProject);
  ForgetComparisonEntries();
  Comparison_->Show(std::move(result));
  App_.Main.Crawl.Sitemaps.ShowCategory();  // after the comparison's, which replaced it
}

bool TCrawlEngine::CompareWithProjectAs() {
  const auto file = App_.Services.Ask->PromptOpenFile("", "Tessaly Projects (*.tly)|*.tly|", "tly");
  if (!file) return false;
  Compare(*file);
  return true;
}

void TCrawlEngine::EndComparison() {
  ForgetComparisonEntries();
  Comparison_->End();
  App_.Main.Crawl.Sitemaps.ShowCategory();
}

const TProjectComparison* TCrawlEngine::Comparison() const { return Comparison_->Result(); }
