// tessaly-crawl: the crawl of the desktop program from a terminal or a CI job. It runs the same
// core on the headless platform: questions get their safe default answer, notices and errors go
// to standard error, file dialogs are answered with the files given on the command line.
#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "Kel/KelError.h"
#include "Kel/KelStr.h"
#include "app/Application.h"
#include "app/ProjectFile.h"
#include "app/SiteSummary.h"
#include "app/SpiderExport.h"
#include "platform/Headless.h"
#include "platform/HeadlessServices.h"
#include "platform/System.h"
#include "tools/CrawlOptions.h"
#include "tools/TerminalText.h"

namespace {

const char* const kVersion = "tessaly-crawl 0.1.0";

// The first Ctrl-C ends the crawl at once and reports what was found; a second one ends the
// program there and then.
std::atomic<bool> gInterrupted{false};
extern "C" void OnInterrupt(int) {
  if (gInterrupted.exchange(true)) _exit(kInterrupted);
}

// The live progress line: rewritten in place on a terminal, a plain line now and then otherwise.
// Its text is shown escaped; its own cursor controls go to `raw`, the terminal's stream below
// the filter.
class ProgressLine {
 public:
  ProgressLine(bool quiet, std::streambuf* raw) : Quiet_(quiet), Terminal_(isatty(STDERR_FILENO) != 0), Raw_(raw) {}
  void Update(const TTessalyApp& app, bool force = false) {
    if (Quiet_) return;
    const auto now = std::chrono::steady_clock::now();
    const auto every = Terminal_ ? std::chrono::milliseconds(100) : std::chrono::milliseconds(5000);
    if (!force && now - Last_ < every) return;
    Last_ = now;
    const int active = app.Pool.ActiveCount();
    const std::string text =
        TerminalText(Format("%ld done, %d active, %d pending, %d addresses  %s", app.Main.Crawl.RequestsDone(), active,
                            app.Pool.TotalCount() - active, app.Map.Count(), app.Pool.CurrentURL.c_str()));
    if (Terminal_) {
      // Cut, then escaped again: a cut through a character leaves no stray byte.
      const std::string shown = text.size() > 150 ? TerminalText(text.substr(0, 147)) + "..." : text;
      std::cerr << std::flush;
      Raw_ << "\r\033[K" << shown << std::flush;
      Shown_ = true;
    } else {
      std::cerr << text << "\n";
    }
  }
  void Clear() {
    if (Shown_) Raw_ << "\r\033[K" << std::flush;
    Shown_ = false;
  }

 private:
  bool Quiet_, Terminal_;
  std::ostream Raw_;
  bool Shown_ = false;
  std::chrono::steady_clock::time_point Last_{};
};

// Everything printed on standard output and standard error passes through TerminalText while
// this lives; the streams get their own buffers back, flushed, when it goes.
class TerminalGuard {
 public:
  TerminalGuard() : OutRaw_(std::cout.rdbuf()), ErrRaw_(std::cerr.rdbuf()), Out_(OutRaw_), Err_(ErrRaw_) {
    std::cout.rdbuf(&Out_);
    std::cerr.rdbuf(&Err_);
  }
  ~TerminalGuard() {
    std::cout.flush();
    std::cerr.flush();
    std::cout.rdbuf(OutRaw_);
    std::cerr.rdbuf(ErrRaw_);
  }
  std::streambuf* RawErr() const { return ErrRaw_; }

 private:
  std::streambuf* OutRaw_;
  std::streambuf* ErrRaw_;
  TTerminalFilter Out_, Err_;
};

// Serves the pool until it has nothing left to do (or a limit stopped it). Ctrl-C ends every
// running request at once and drops the queue; what was found stays. With `saveFile`, the
// project is written there every `saveEvery` seconds while the crawl runs, so that a crawl that
// is killed can go on from its last save (--resume).
void RunCrawl(TTessalyApp& app, platform::HeadlessUiThread& ui, ProgressLine& progress, const std::string& saveFile,
              int saveEvery) {
  auto lastSave = std::chrono::steady_clock::now();
  for (;;) {
    ui.WaitAndProcess(std::chrono::milliseconds(50));
    if (gInterrupted) {
      app.Pool.TerminateAll();
      break;
    }
    progress.Update(app);
    if (app.Pool.IsIdle()) break;
    if (!saveFile.empty() && std::chrono::steady_clock::now() - lastSave >= std::chrono::seconds(saveEvery)) {
      try {
        SaveProjectFile(app.Map, saveFile);
      } catch (const std::exception& e) {
        progress.Clear();
        std::cerr << "tessaly-crawl: " << e.what() << "\n";
      }
      lastSave = std::chrono::steady_clock::now();
    }
  }
  ui.ProcessMessages();
  progress.Clear();
}

// Runs the desktop program's export command of `option` into `file`: the site root selected
// in the tree for the site exports, the chosen category's rows for the list exports.
void Export(TTessalyApp& app, platform::HeadlessPrompter& ask, const CrawlOptions& o, const CrawlOption& option,
            const std::string& file) {
  TFormTessaly& main = app.Main;
  if (option.Scope == CrawlExportScope::List) {
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
  const bool written = option.Write(app.Services, main);
  ask.Script.clear();
  if (!written) throw EError("nothing was written to " + file);
}

int Run(const CrawlOptions& o, std::streambuf* rawErr) {
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
  if (o.ClassicLinks) app.Main.Crawl.CheckPageResources = false;
  if (o.Timeout) app.HTTPSettings.EditTimeout.Text = *o.Timeout;
  if (o.MaxPageSize) app.HTTPSettings.EditMaxPageSize.Text = *o.MaxPageSize;
  if (o.MaxAddresses) app.HTTPSettings.EditMaxAddresses.Text = *o.MaxAddresses;
  if (o.MaxQueue) app.HTTPSettings.EditMaxQueue.Text = *o.MaxQueue;
  app.HTTPSettings.Changed();

  ProgressLine progress(o.Quiet, rawErr);
  bool crawled = false;
  const std::string project = o.Open.empty() ? o.Resume : o.Open;
  // --resume saves back into its project unless --save names another file.
  const std::string save = o.Save.empty() ? o.Resume : o.Save;
  if (!project.empty()) {
    try {
      if (!SameText(std::filesystem::path(project).extension().string(), ".tly"))
        throw EError("'" + project + "' is not a project file (.tly)");
      app.Main.OpenProjectFile(project);
    } catch (const std::exception& e) {
      std::cerr << "tessaly-crawl: " << e.what() << "\n";
      return kFailed;
    }
    if (!app.Main.LastLoadError.empty()) {
      std::cerr << "tessaly-crawl: " << project << " could not be loaded completely\n";
      return kFailed;
    }
  }
  if (o.Open.empty()) {
    // Kept to the end: a Ctrl-C after the crawl still ends with status 130, a second one at once.
    crawled = true;
    std::signal(SIGINT, OnInterrupt);
    app.Main.Crawl.Interrupted = &gInterrupted;
    if (o.Resume.empty()) {
      app.Main.EditURL = o.Start;
      app.Main.ButtonSpiderClick();
    } else {
      const size_t queued = app.Main.Crawl.Continue();
      if (!o.Quiet && queued == 0) std::cerr << "tessaly-crawl: the crawl of " << project << " is complete\n";
    }
    RunCrawl(app, headless.Ui, progress, save, o.SaveEvery);
  }
  // Only a crawl can be suspended, and only a limit that still holds makes it so: one that was
  // resumed past no longer counts.
  const bool suspended = crawled && app.Pool.LimitHolds() && !gInterrupted;

  try {
    if (!save.empty()) app.Main.SaveProject(save);
    for (const auto& [option, file] : o.Exports) Export(app, headless.Ask, o, *option, file);
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

// Every failure ends with a one-line message and status 2: a usage error, an EError of a
// command, a failed assertion or any other exception.
int main(int argc, char** argv) {
  // Page bodies of a megabyte and more get memory of their own from the system and give it back
  // when the page is done; otherwise the allocator would keep them in its heaps after raising
  // its threshold, and a few large pages would hold their memory for the rest of the run.
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
  TerminalGuard terminal;
  try {
    const CrawlOptions options = ParseCrawlArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (options.Help) {
      std::cout << CrawlUsage();
      return kClean;
    }
    if (options.Version) {
      std::cout << kVersion << "\n";
      return kClean;
    }
    return Run(options, terminal.RawErr());
  } catch (const CrawlUsageError& e) {
    std::cerr << "tessaly-crawl: " << e.Message << "\n"
              << "Try 'tessaly-crawl --help'.\n";
    return kFailed;
  } catch (const std::exception& e) {
    std::cerr << "tessaly-crawl: " << e.what() << "\n";
    return kFailed;
  }
}
