// tessaly-crawl's options as one table: the parser, the --help text and the exports all read
// it, and a test holds the README's option table to it.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Dialogs/UnitHTTPClient.h"

class TCrawlEngine;

enum CrawlExit : int { kClean = 0, kBroken = 1, kFailed = 2, kSuspended = 3, kInterrupted = 130 };
inline constexpr CrawlExit kCrawlExits[] = {kClean, kBroken, kFailed, kSuspended, kInterrupted};

struct CrawlOption;

// What the command line asks for.
struct CrawlOptions {
  std::string Start;
  std::string Open;
  std::string Save;
  std::string Resume;  // a project whose unfinished crawl goes on and is saved back into it
  // Seconds between the saves of the project while the crawl runs (with --save or --resume).
  int SaveEvery = 300;
  std::optional<bool> External;
  bool ClassicLinks = false;  // "Check Page Resources" off for this crawl
  bool NoAnchors = false;      // "Check Anchors" off for this crawl
  bool FailOnAnchors = false;  // broken anchors alone give exit status 1
  std::string Compare;         // an earlier project the map is compared with
  bool FailOnNewBroken = false;  // only addresses broken since that project give exit status 1
  int Threads = TFormHTTPClient::kDefaultMaxThreads;
  // The limits of every request, as the HTTP settings take them; none: the settings' own.
  std::optional<std::string> Timeout;      // seconds, "60" or "0.5"
  std::optional<std::string> MaxPageSize;  // bytes
  // The crawl's limits, as the HTTP settings take them ("0": none); none: the settings' own.
  std::optional<std::string> MaxAddresses;
  std::optional<std::string> MaxQueue;
  // Which addresses are crawled, and how the servers are treated; none: the stored settings.
  std::optional<bool> Robots;
  std::optional<bool> UseSitemap;  // read the site's sitemaps (orphan pages)
  std::optional<double> Rate;
  std::optional<bool> Retry;
  std::optional<std::string> UserAgent;
  std::vector<std::string> Headers;
  std::vector<std::string> Include;
  std::vector<std::string> Exclude;
  std::optional<int> MaxDepth;
  // --user NAME or NAME:PASSWORD (the password then from TESSALY_PASSWORD), --netrc.
  std::optional<std::string> User;
  bool Netrc = false;
  std::string List = "All";
  bool Quiet = false;
  bool ReportToStdout = false;  // a report goes to standard output ("-"), the text report not
  bool Help = false;     // print the usage and end
  bool Version = false;  // print the version and end
  // The export options with their files, in the order given.
  std::vector<std::pair<const CrawlOption*, std::string>> Exports;
};

// What an export option writes: the rows of the category chosen with --list, or the branch of
// the site root.
// the site root, or the whole map (the reports for other programs, which may also go to
// standard output as "-").
enum class CrawlExportScope { None, List, Site, Report };

struct CrawlOption {
  std::string_view Name;      // "--open"
  std::string_view Alias;     // a short spelling ("-h"), or empty
  std::string_view Argument;  // the name of its value in the help ("FILE"), empty for a switch
  std::string_view Help;      // the help text; each "\n" starts an indented line
  // Takes the option (and its value, empty for a switch) into `options`; throws
  // CrawlUsageError on a bad value. Null for the exports, which the parser collects.
  void (*Apply)(CrawlOptions& options, const std::string& value) = nullptr;
  CrawlExportScope Scope = CrawlExportScope::None;
  // An export: writes `file` through the crawl engine, from the branch of the site root or the
  // rows of the category chosen with --list. Throws EError when it cannot.
  void (*Write)(TCrawlEngine& engine, const CrawlOptions& options, const std::string& file) = nullptr;

  bool IsExport() const { return Scope != CrawlExportScope::None; }
};

struct CrawlUsageError {
  std::string Message;
};

// Every option, in the order --help lists them.
std::span<const CrawlOption> CrawlOptionTable();
// The option named or abbreviated `argument`, or none.
const CrawlOption* FindCrawlOption(std::string_view argument);
// Reads the arguments that follow the program's name. --help and --version end the reading at
// once (Help or Version set, nothing checked further); otherwise exactly one of a start
// address, --open and --resume is required. Throws CrawlUsageError.
CrawlOptions ParseCrawlArguments(const std::vector<std::string>& args);
// The --help text.
std::string CrawlUsage();
