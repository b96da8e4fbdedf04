// tessaly-crawl: the crawl of the desktop program from a terminal or a CI job. It runs the same
// core on the headless platform through the crawl engine (app/CrawlEngine.h): questions get
// their safe default answer, notices and errors go to standard error, and every export is an
// engine function given the file named on the command line.
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "Kel/KelError.h"
#include "Kel/KelNetrc.h"
#include "Kel/KelStr.h"
#include "Kel/KelText.h"
#include "Kel/KelURI.h"
#include "app/Application.h"
#include "app/CrawlEngine.h"
#include "app/ProjectCompare.h"
#include "platform/Headless.h"
#include "platform/HeadlessServices.h"
#include "platform/System.h"
#include "tools/CrawlOptions.h"

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
  void Update(const TCrawlProgress& p, bool force = false) {
    if (Quiet_) return;
    const auto now = std::chrono::steady_clock::now();
    const auto every = Terminal_ ? std::chrono::milliseconds(100) : std::chrono::milliseconds(5000);
    if (!force && now - Last_ < every) return;
    Last_ = now;
    const std::string text = TerminalText(Format("%ld done, %d active, %d pending, %d addresses  %s", p.RequestsDone,
                                                 p.Active, p.Pending, p.Addresses, p.CurrentURL.c_str()));
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

// The credentials of --user (the password after ":", else from TESSALY_PASSWORD) or of
// ~/.netrc for the start address's host (--netrc); none without either.
std::optional<TNetrcLogin> LoginOf(const CrawlOptions& o) {
  if (o.User) {
    const size_t colon = o.User->find(':');
    if (colon != std::string::npos) return TNetrcLogin{o.User->substr(0, colon), o.User->substr(colon + 1)};
    const char* password = std::getenv("TESSALY_PASSWORD");
    if (!password) throw EError("--user " + *o.User + ": give the password as NAME:PASSWORD or in TESSALY_PASSWORD");
    return TNetrcLogin{*o.User, password};
  }
  if (!o.Netrc || o.Start.empty()) return std::nullopt;
  const char* home = std::getenv("HOME");
  const std::string file = std::string(home ? home : "") + "/.netrc";
  std::ifstream in(file, std::ios::binary);
  if (!in) throw EError("--netrc: " + file + " cannot be read");
  std::ostringstream text;
  text << in.rdbuf();
  TURI site;
  site.Parse(Trim(o.Start));
  ApplyDefaults(site, "http", "LocalHost");
  return NetrcLogin(text.str(), site.Host);
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
  TCrawlEngine& engine = app.Engine;
  TCrawlSettings settings;
  settings.ValidateExternalURLs = o.External;
  if (o.ClassicLinks) settings.CheckPageResources = false;
  if (o.NoAnchors) settings.CheckAnchors = false;
  settings.Timeout = o.Timeout;
  settings.MaxPageSize = o.MaxPageSize;
  settings.MaxAddresses = o.MaxAddresses;
  settings.MaxQueue = o.MaxQueue;
  settings.ObeyRobots = o.Robots;
  settings.UseSitemap = o.UseSitemap;
  settings.Rate = o.Rate;
  settings.Retry = o.Retry;
  settings.UserAgent = o.UserAgent;
  if (!o.Headers.empty()) settings.Headers = o.Headers;
  if (!o.Include.empty()) settings.Include = o.Include;
  if (!o.Exclude.empty()) settings.Exclude = o.Exclude;
  settings.MaxDepth = o.MaxDepth;
  if (const std::optional<TNetrcLogin> login = LoginOf(o)) {
    settings.Username = login->Login;
    settings.Password = login->Password;
  }
  engine.Apply(settings);

  // A project to compare with that cannot be read fails before the crawl, not after it.
  if (!o.Compare.empty()) {
    try {
      CheckProjectToCompare(o.Compare);
    } catch (const std::exception& e) {
      std::cerr << "tessaly-crawl: --compare: " << e.what() << "\n";
      return kFailed;
    }
  }

  ProgressLine progress(o.Quiet, rawErr);
  bool crawled = false;
  const std::string project = o.Open.empty() ? o.Resume : o.Open;
  // --resume saves back into its project unless --save names another file.
  const std::string save = o.Save.empty() ? o.Resume : o.Save;
  if (!project.empty()) {
    try {
      engine.Open(project);
    } catch (const std::exception& e) {
      std::cerr << "tessaly-crawl: " << e.what() << "\n";
      return kFailed;
    }
  }
  if (o.Open.empty()) {
    // Kept to the end: a Ctrl-C after the crawl still ends with status 130, a second one at once.
    crawled = true;
    std::signal(SIGINT, OnInterrupt);
    engine.SetInterrupt(&gInterrupted);
    // With a file to save into, the project is also written every SaveEvery seconds while the
    // crawl runs, so that a crawl that is killed can go on from its last save (--resume).
    // A save stops the crawl while it writes: the next one waits at least nine times as long as
    // the last one took, so that saving a large map never takes more than a tenth of the crawl.
    auto lastSave = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration saveEvery = std::chrono::seconds(o.SaveEvery);
    engine.OnProgress = [&](const TCrawlProgress& p) {
      progress.Update(p);
      const auto begin = std::chrono::steady_clock::now();
      if (save.empty() || begin - lastSave < saveEvery) return;
      try {
        engine.SaveProject(save);
      } catch (const std::exception& e) {
        progress.Clear();
        std::cerr << "tessaly-crawl: " << e.what() << "\n";
      }
      lastSave = std::chrono::steady_clock::now();
      saveEvery = std::max<std::chrono::steady_clock::duration>(std::chrono::seconds(o.SaveEvery), 9 * (lastSave - begin));
    };
    if (o.Resume.empty()) {
      engine.Start(o.Start);
    } else if (engine.Continue() == 0 && !o.Quiet) {
      std::cerr << "tessaly-crawl: the crawl of " << project << " is complete\n";
    }
    engine.Wait([&](std::chrono::milliseconds t) { headless.Ui.WaitAndProcess(t); });
    progress.Clear();
  }
  // Only a crawl can be suspended, and only a limit that still holds makes it so: one that was
  // resumed past no longer counts.
  const bool suspended = crawled && engine.Suspended() && !gInterrupted;

  try {
    // Before the save, which may replace the very file compared with.
    if (!o.Compare.empty()) engine.Compare(o.Compare);
    if (!save.empty()) engine.SaveProject(save);
    for (const auto& [option, file] : o.Exports) option->Write(engine, o, file);
  } catch (const std::exception& e) {
    std::cerr << "tessaly-crawl: " << e.what() << "\n";
    return kFailed;
  }

  TSiteSummary summary = engine.Summary();
  summary.Incomplete = suspended;
  summary.RequestsLeft = suspended ? engine.RequestsLeft() : 0;
  if (!o.Quiet && !o.ReportToStdout) {
    WriteSiteReport(std::cout, summary);
    if (const TProjectComparison* comparison = engine.Comparison())
      WriteComparisonText(std::cout, engine.Map(), *comparison);
    engine.WriteOrphanPages(std::cout);
  }
  if (gInterrupted) {
    std::cerr << "tessaly-crawl: interrupted; the map holds what was found so far\n";
    return kInterrupted;
  }
  if (suspended) {
    std::cerr << "tessaly-crawl: a limit suspended the crawl; " << engine.RequestsLeft()
              << " requests were left unmade\n";
    return kSuspended;
  }
  // With --fail-on-new-broken only what broke since the earlier project counts.
  const bool broken = o.FailOnNewBroken ? engine.Comparison()->AnyNewlyBroken() : summary.AnyBroken();
  return broken || (o.FailOnAnchors && summary.AnyBrokenAnchors()) ? kBroken : kClean;
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
