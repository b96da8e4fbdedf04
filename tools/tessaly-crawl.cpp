// tessaly-crawl: the crawl of the desktop program from a terminal or a CI job. It runs the same
// core on the headless platform: questions get their safe default answer, notices and errors go
// to standard error, file dialogs are answered with the files given on the command line.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <cstdio>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Kel/KelError.h"
#include "Kel/KelStr.h"
#include "app/Application.h"
#include "app/SiteSummary.h"
#include "app/SpiderExport.h"
#include "platform/Headless.h"
#include "platform/HeadlessServices.h"
#include "platform/System.h"

namespace {

const char* const kVersion = "tessaly-crawl 0.1.0";

const char* const kUsage =
    "Usage: tessaly-crawl [options] START\n"
    "       tessaly-crawl [options] --open PROJECT.tly\n"
    "\n"
    "Crawls a site and reports what it found. START is what you would type into the address box:\n"
    "an address (http, https, a bare host, host/path) or the path of a local HTML file.\n"
    "\n"
    "Options:\n"
    "  --open FILE              load a project file instead of crawling\n"
    "  --save FILE              write the project file after the crawl (or the load)\n"
    "  --external               check addresses outside the site (default: when connected)\n"
    "  --no-external            do not check addresses outside the site\n"
    "  --threads N              run N requests at a time (default 4)\n"
    "  --list CATEGORY          the category the list exports use (default \"All\"): \"All\",\n"
    "                           \"Broken Links\", \"Redirected Links\", \"HTML\", \"Images\", \"Audio\",\n"
    "                           \"Video\", \"Applications\", \"Spelling Errors\", \"Internal Links\"\n"
    "  --csv FILE               write the category's rows as CSV\n"
    "  --html-table FILE        write the category's rows as an HTML table\n"
    "  --export-html FILE       the site as an HTML table of its pages (merged into FILE)\n"
    "  --export-dhtml FILE      the site as a collapsible tree (merged into FILE)\n"
    "  --export-dhtml-framed FILE  the same tree beside the pages, in two frames\n"
    "  --export-xml FILE        the site as XML\n"
    "  --export-txt FILE        the site as indented text\n"
    "  --quiet                  no progress and no report (warnings and errors still show)\n"
    "  --help                   this text\n"
    "  --version                the program's version\n"
    "\n"
    "Exit status: 0 nothing broken, 1 broken addresses found, 2 usage error or failed start,\n"
    "3 a limit (4000 addresses, 10000 queued requests) suspended the crawl.\n";

enum ExitCode { kClean = 0, kBroken = 1, kFailed = 2, kSuspended = 3, kInterrupted = 130 };

struct Options {
  std::string Start;
  std::string Open;
  std::string Save;
  std::optional<bool> External;
  int Threads = TFormHTTPClient::kDefaultMaxThreads;
  std::string List = "All";
  bool Quiet = false;
  // Exports in the order given: (option, file).
  std::vector<std::pair<std::string, std::string>> Exports;
};

struct UsageError {
  std::string Message;
};

bool IsFilterCaption(const std::string& caption) {
  for (int k = rkAll; k <= rkInternal; ++k)
    if (caption == kSiteRootCaptions[k]) return true;
  return false;
}

// Returns none when the program should end at once with `exitCode` (help, version).
std::optional<Options> ParseArguments(int argc, char** argv, int& exitCode) {
  Options o;
  const std::vector<std::string> exportOptions = {"--csv",        "--html-table",          "--export-html",
                                                  "--export-dhtml", "--export-dhtml-framed", "--export-xml",
                                                  "--export-txt"};
  std::vector<std::string> args(argv + 1, argv + argc);
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= args.size()) throw UsageError{a + " needs a value"};
      return args[++i];
    };
    if (a == "--help" || a == "-h") {
      std::cout << kUsage;
      exitCode = kClean;
      return std::nullopt;
    } else if (a == "--version") {
      std::cout << kVersion << "\n";
      exitCode = kClean;
      return std::nullopt;
    } else if (a == "--open") {
      o.Open = value();
    } else if (a == "--save") {
      o.Save = value();
    } else if (a == "--external") {
      o.External = true;
    } else if (a == "--no-external") {
      o.External = false;
    } else if (a == "--threads") {
      const std::string n = value();
      const int32_t threads = StrToIntDef(n, 0);
      if (threads < 1 || threads > 64) throw UsageError{"--threads needs a number from 1 to 64, not '" + n + "'"};
      o.Threads = threads;
    } else if (a == "--list") {
      o.List = value();
      if (!IsFilterCaption(o.List)) throw UsageError{"unknown category '" + o.List + "' for --list"};
    } else if (a == "--quiet" || a == "-q") {
      o.Quiet = true;
    } else if (std::find(exportOptions.begin(), exportOptions.end(), a) != exportOptions.end()) {
      o.Exports.emplace_back(a, value());
    } else if (a.size() > 1 && a[0] == '-') {
      throw UsageError{"unknown option " + a};
    } else if (o.Start.empty()) {
      o.Start = a;
    } else {
      throw UsageError{"more than one start address: '" + o.Start + "' and '" + a + "'"};
    }
  }
  if (o.Start.empty() == o.Open.empty())
    throw UsageError{o.Open.empty() ? "give a start address or --open PROJECT" : "give either a start address or --open"};
  return o;
}

std::atomic<bool> gInterrupted{false};
extern "C" void OnInterrupt(int) { gInterrupted = true; }

// The live progress line: rewritten in place on a terminal, a plain line now and then otherwise.
class ProgressLine {
 public:
  explicit ProgressLine(bool quiet) : Quiet_(quiet), Terminal_(isatty(STDERR_FILENO) != 0) {}
  void Update(const TTessalyApp& app, bool force = false) {
    if (Quiet_) return;
    const auto now = std::chrono::steady_clock::now();
    const auto every = Terminal_ ? std::chrono::milliseconds(100) : std::chrono::milliseconds(5000);
    if (!force && now - Last_ < every) return;
    Last_ = now;
    const int active = app.Pool.ActiveCount();
    const std::string text = Format("%ld done, %d active, %d pending, %d addresses  %s", app.Main.RequestsDone, active,
                                    app.Pool.TotalCount() - active, app.Map.Count(), app.Pool.CurrentURL.c_str());
    if (Terminal_) {
      std::string shown = text.size() > 150 ? text.substr(0, 147) + "..." : text;
      std::cerr << "\r\033[K" << shown << std::flush;
      Shown_ = true;
    } else {
      std::cerr << text << "\n";
    }
  }
  void Clear() {
    if (Shown_) std::cerr << "\r\033[K" << std::flush;
    Shown_ = false;
  }

 private:
  bool Quiet_, Terminal_;
  bool Shown_ = false;
  std::chrono::steady_clock::time_point Last_{};
};

// Serves the pool until it has nothing left to do (or a limit or Ctrl-C stopped it).
void RunCrawl(TTessalyApp& app, platform::HeadlessUiThread& ui, ProgressLine& progress) {
  bool stopped = false;
  for (;;) {
    ui.WaitAndProcess(std::chrono::milliseconds(50));
    progress.Update(app);
    if (gInterrupted && !stopped) {
      app.Main.ButtonStopClick();
      stopped = true;
    }
    if (app.Pool.IsIdle()) break;
  }
  ui.ProcessMessages();
  progress.Clear();
}

// Runs the desktop program's export command `option` into `file`: the site root selected in
// the tree for the site exports, the chosen category's rows for the list exports.
void Export(TTessalyApp& app, platform::HeadlessPrompter& ask, const Options& o, const std::string& option,
            const std::string& file) {
  TFormTessaly& main = app.Main;
  platform::Services& services = app.Services;
  const bool listExport = option == "--csv" || option == "--html-table";
  if (listExport) {
    TTreeEntry* category = nullptr;
    for (int k = rkAll; k <= rkInternal; ++k)
      if (o.List == kSiteRootCaptions[k]) category = main.Tree.Root(static_cast<TSiteRootKind>(k));
    main.SelectEntry(category);
  } else {
    main.SelectEntry(main.Tree.SiteRoot());
    if (!ExportMenuState(main.Tree, main.Selected(), main.List).TreeExports)
      throw EError("the site map is empty: nothing to export to " + file);
  }
  ask.QueueFile(file);
  bool written = false;
  if (option == "--csv") {
    written = ExportListAsCSVFile(services, main.List, isNone);
  } else if (option == "--html-table") {
    for (const auto& row : main.List.Rows()) row->Selected = true;
    written = ExportListAsHTMLTable(services, main.List);
  } else if (option == "--export-html") {
    written = ExportAsHTMLList(services, main.Selected());
  } else if (option == "--export-dhtml") {
    written = ExportAsDHTMLTree(services, main.Selected());
  } else if (option == "--export-dhtml-framed") {
    written = ExportAsDHTMLTreeFramed(services, main.Selected());
  } else if (option == "--export-xml") {
    written = ExportAsXMLFile(services, main.Selected());
  } else if (option == "--export-txt") {
    written = ExportFolderAsTXTFile(services, main.Selected());
  }
  ask.Script.clear();
  if (!written) throw EError("nothing was written to " + file);
}

int Run(const Options& o) {
  platform::SystemNetwork network;
  platform::SystemPaths paths;
  platform::HeadlessServices headless(network, paths);
  headless.Ask.Strict = false;
  headless.Ask.Echo = &std::cerr;

  TTessalyApp app(headless.Services, o.Threads);
  app.WritesUserFiles = false;
  if (!app.Start()) {
    std::cerr << "tessaly-crawl: the dictionary " << app.Dictionaries.MainFile << " is missing\n";
    return kFailed;
  }
  if (o.External) app.Main.Tree.ValidateExternalURLs = *o.External;

  ProgressLine progress(o.Quiet);
  if (!o.Open.empty()) {
    try {
      if (!SameText(std::filesystem::path(o.Open).extension().string(), ".tly"))
        throw EError("'" + o.Open + "' is not a project file (.tly)");
      app.Main.OpenProjectFile(o.Open);
    } catch (const std::exception& e) {
      std::cerr << "tessaly-crawl: " << e.what() << "\n";
      return kFailed;
    }
    if (!app.Main.LastLoadError.empty()) {
      std::cerr << "tessaly-crawl: " << o.Open << " could not be loaded completely\n";
      return kFailed;
    }
  } else {
    std::signal(SIGINT, OnInterrupt);
    app.Main.EditURL = o.Start;
    app.Main.ButtonSpiderClick();
    RunCrawl(app, headless.Ui, progress);
    std::signal(SIGINT, SIG_DFL);
  }
  const bool suspended = (app.Pool.MessageShown() || !app.Pool.IsEmpty()) && !gInterrupted;

  try {
    if (!o.Save.empty()) app.Main.SaveProject(o.Save);
    for (const auto& [option, file] : o.Exports) Export(app, headless.Ask, o, option, file);
  } catch (const std::exception& e) {
    std::cerr << "tessaly-crawl: " << e.what() << "\n";
    return kFailed;
  }

  const TSiteSummary summary = SummarizeSite(app.Main.Tree);
  if (!o.Quiet) std::cout << SiteReportText(summary);
  if (gInterrupted) {
    std::cerr << "tessaly-crawl: interrupted; the map holds what was found so far\n";
    return kInterrupted;
  }
  if (suspended) {
    std::cerr << "tessaly-crawl: a limit suspended the crawl; " << app.Pool.TotalCount()
              << " requests were left unmade\n";
    return kSuspended;
  }
  return summary.AnyBroken() ? kBroken : kClean;
}

}  // namespace

int main(int argc, char** argv) {
  int exitCode = kClean;
  std::optional<Options> options;
  try {
    options = ParseArguments(argc, argv, exitCode);
  } catch (const UsageError& e) {
    std::cerr << "tessaly-crawl: " << e.Message << "\n" << "Try 'tessaly-crawl --help'.\n";
    return kFailed;
  }
  if (!options) return exitCode;
  try {
    return Run(*options);
  } catch (const std::exception& e) {
    std::cerr << "tessaly-crawl: " << e.what() << "\n";
    return kFailed;
  }
}
