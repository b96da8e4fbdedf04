// The crawl engine: the one interface through which a program runs a crawl and gets what it
// found. Start, resume, stop and wait; the settings a run may change; progress events; the map;
// and every export and report, each one function that writes to a path or a stream.
// tessaly-crawl uses nothing else; the desktop program's commands ask for a file name and call
// the same writers. A new report is one function here (and one option row in
// tools/CrawlOptions.cpp); a new setting is one field of TCrawlSettings.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "Kel/KelComCtrls.h"
#include "app/Reports.h"
#include "app/SiteSummary.h"
#include "app/SpiderTools.h"

class TTessalyApp;
class TActiveComparison;
class TNodeList;
class TSiteMap;
class TSiteTree;
class TTreeEntry;

// What a crawl has done so far.
struct TCrawlProgress {
  long RequestsDone = 0;  // answers handled
  int Active = 0;         // requests running
  int Pending = 0;        // requests queued
  int Addresses = 0;      // addresses in the map
  std::string CurrentURL;  // the address requested last
};

// Settings for one run; each one left empty keeps what the program has stored.
struct TCrawlSettings {
  std::optional<bool> ValidateExternalURLs;  // check addresses outside the site
  std::optional<bool> CheckPageResources;    // read stylesheets, srcset, media and CSS too
  std::optional<bool> CheckAnchors;          // judge links' #fragments against the pages read
  std::optional<std::string> Timeout;        // seconds for a whole answer ("60", "0.5")
  std::optional<std::string> MaxPageSize;    // bytes of a page read, decoded
  std::optional<std::string> MaxAddresses;   // "Largest site (addresses)", "0": no limit
  std::optional<std::string> MaxQueue;       // "Largest queue (requests)", "0": no limit
  std::optional<bool> ObeyRobots;            // read robots.txt and keep to it
  std::optional<bool> UseSitemap;            // read the site's sitemaps: their addresses, orphan pages
  std::optional<double> Rate;                // requests per second per host (0: no limit)
  std::optional<bool> Retry;                 // ask 429 and 503 answers again
  std::optional<std::string> UserAgent;      // empty: the program's own
  std::optional<std::vector<std::string>> Headers;  // extra request headers, "Name: value"
  std::optional<std::vector<std::string>> Include;  // patterns of addresses crawled as the site
  std::optional<std::vector<std::string>> Exclude;  // patterns of addresses never requested
  std::optional<int> MaxDepth;               // largest depth (0: no limit)
  std::optional<std::string> Username;       // credentials for the start address's host
  std::optional<std::string> Password;
};

class TCrawlEngine {
 public:
  explicit TCrawlEngine(TTessalyApp& app);
  ~TCrawlEngine();
  TCrawlEngine(const TCrawlEngine&) = delete;
  TCrawlEngine& operator=(const TCrawlEngine&) = delete;

  // --- Settings ------------------------------------------------------------------------------
  // Applies the settings given (the HTTP settings are stored only for this run's requests).
  // Throws EError naming the setting when a value is refused (a pattern that does not compile,
  // a negative rate, a header without ":" or with a line break); nothing is applied then.
  void Apply(const TCrawlSettings& settings);

  // --- The crawl -----------------------------------------------------------------------------
  // A fresh crawl from `address`, as typed into the address box (a web address, a bare host,
  // or the path of a local HTML file).
  void Start(const std::string& address);
  // Goes on with the unfinished crawl of the map (an opened project, a crawl that was
  // terminated): queues the addresses never checked and the pages never read, and nothing else.
  // Returns how many requests were queued (0: the crawl is complete).
  size_t Continue();
  // Requests that were suspended (Stop, a limit) start again; a limit resumed past is lifted for
  // the rest of this crawl.
  void Resume();
  // No new requests start; running ones finish.
  void Stop();
  // Every running request ends at once and the queue is dropped; what was found stays.
  void Terminate();
  // Set from any thread or a signal handler (Ctrl-C) to end the crawl: Wait then terminates
  // every request, and a page being walked stops between two links.
  void SetInterrupt(const std::atomic<bool>* interrupted);
  bool Interrupted() const { return Interrupted_ && *Interrupted_; }
  // Nothing is running or waiting to run.
  bool IsIdle() const;
  // A limit holds the crawl (it was not resumed past), or Stop suspended it with requests left.
  bool Suspended() const;
  // Requests left unmade (running and queued).
  int RequestsLeft() const;
  TCrawlProgress Progress() const;
  // Called by Wait on every turn, on the user-interface thread.
  std::function<void(const TCrawlProgress&)> OnProgress;
  // Serves the user-interface thread (`serve` serves it for at most the time it is given) until
  // the crawl is idle or interrupted. False when it was interrupted (every request terminated).
  using TServe = std::function<void(std::chrono::milliseconds)>;
  bool Wait(const TServe& serve);

  // --- The map -------------------------------------------------------------------------------
  TSiteMap& Map() const;
  TSiteTree& Tree() const;
  // The branch the site exports write by default: the site root.
  const TTreeEntry* SiteRoot() const;
  // Loads a project file (".tly") in place of the map. Throws EError when the file is no
  // project, cannot be read or loads only in part.
  void Open(const std::string& projectFile);
  // The main list filled with the rows of a category entry (rkAll to rkInternal), as selecting
  // the entry shows them.
  TNodeList& ListCategory(TSiteRootKind category);
  // The category whose caption is `caption` ("All", "Broken Links", ...), or none.
  static std::optional<TSiteRootKind> CategoryByCaption(const std::string& caption);

  // --- Exports and reports -------------------------------------------------------------------
  // The project file.
  void SaveProject(const std::string& path);
  void WriteProject(std::ostream& out) const;
  // The figures of the site, and the report tessaly-crawl prints (with the comparison's
  // section when one is in force).
  TSiteSummary Summary() const;
  // `figures` (a window reads them in slices) with what the crawl wants the user to know.
  TSiteSummary WithNotes(TSiteSummary figures) const;
  void WriteSummary(std::ostream& out) const;
  // The report's section of orphan pages, when the crawl read the site's sitemaps (else nothing).
  void WriteOrphanPages(std::ostream& out) const;
  // The site exports of the branch at `root` (none: the site root). A file is merged with the
  // page already there (the HTML and DHTML exports) and the DHTML tree's images are copied
  // beside it; a stream gets the export's text alone. Each throws EError when the branch is
  // empty.
  void ExportHTMLList(const std::string& path, const TTreeEntry* root = nullptr) const;
  void ExportHTMLList(std::ostream& out, const TTreeEntry* root = nullptr) const;
  void ExportDHTMLTree(const std::string& path, const TTreeEntry* root = nullptr) const;
  void ExportDHTMLTree(std::ostream& out, const TTreeEntry* root = nullptr) const;
  void ExportDHTMLTreeFramed(const std::string& path, const TTreeEntry* root = nullptr) const;
  void ExportXML(const std::string& path, const TTreeEntry* root = nullptr) const;
  void ExportXML(std::ostream& out, const TTreeEntry* root = nullptr) const;
  void ExportTXT(const std::string& path, const TTreeEntry* root = nullptr) const;
  void ExportTXT(std::ostream& out, const TTreeEntry* root = nullptr) const;
  // The list exports: the rows of `list` (all of them: isNone, or the selected ones) as CSV,
  // or as an HTML table.
  void ExportCSV(const std::string& path, TNodeList& list, TItemStates states = isNone) const;
  void ExportCSV(std::ostream& out, TNodeList& list, TItemStates states = isNone) const;
  void ExportHTMLTable(const std::string& path, TNodeList& list, TItemStates states = isNone) const;
  void ExportHTMLTable(std::ostream& out, TNodeList& list, TItemStates states = isNone) const;

  // The reports for other programs, of the whole map. The sitemap to a path is split into
  // numbered files under a sitemap index when it passes the protocol's limits (the files
  // written are returned); to a stream it is one file.
  std::vector<std::string> ExportSitemap(const std::string& path, const TSitemapLimits& limits = {}) const;
  void ExportSitemap(std::ostream& out) const;
  void ExportJSON(const std::string& path) const;
  void ExportJSON(std::ostream& out) const;
  void ExportJUnit(const std::string& path) const;
  void ExportJUnit(std::ostream& out) const;
  // The Export menu's reports: ask for the file (a save dialog proposing "sitemap.xml" or
  // "report.json"), then write it. False when the user cancelled; errors are EError.
  bool SaveSitemapAs() const;
  bool SaveJSONReportAs() const;
  // What the reports say of the crawl: its start, times, settings and figures. A crawl that a
  // limit suspended is marked incomplete.
  TReportCrawl ReportCrawl() const;

  // --- What changed since an earlier crawl ---------------------------------------------------
  // Compares the map with the project file `oldProject` (an earlier crawl of the site): the
  // result shows as four categories in the tree and as a section of the reports until the map
  // is reset or EndComparison. Throws EError when the file is no readable project.
  void Compare(const std::string& oldProject);
  // File > Compare with Project...: asks for the project, then compares. False when cancelled.
  bool CompareWithProjectAs();
  void EndComparison();
  // The comparison in force, or none.
  const TProjectComparison* Comparison() const;
  TActiveComparison& ActiveComparison() const { return *Comparison_; }

 private:
  // The extra categories (the comparison's, the orphan pages') are about to go: the selection
  // and the history steps in them are dropped first.
  void ForgetComparisonEntries();
  // `root`, or the site root; throws when `path`'s export would be empty.
  const TTreeEntry* BranchOf(const TTreeEntry* root, const std::string& target) const;

  TTessalyApp& App_;
  const std::atomic<bool>* Interrupted_ = nullptr;
  std::unique_ptr<TActiveComparison> Comparison_;
};
