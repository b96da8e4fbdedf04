#include "tools/CrawlOptions.h"

#include <cmath>
#include <cstdlib>
#include <iostream>

#include "Kel/KelError.h"
#include "Kel/KelHTTPTypes.h"
#include "Kel/KelStr.h"
#include "app/CrawlEngine.h"
#include "app/CrawlGate.h"
#include "app/NodeList.h"

namespace {

void SetThreads(CrawlOptions& o, const std::string& n) {
  const int32_t threads = StrToIntDef(n, 0);
  if (threads < 1 || threads > 64) throw CrawlUsageError{"--threads needs a number from 1 to 64, not '" + n + "'"};
  o.Threads = threads;
}

void SetTimeout(CrawlOptions& o, const std::string& seconds) {
  if (SecondsOf(seconds).count() <= 0)
    throw CrawlUsageError{"--timeout needs a positive number of seconds, not '" + seconds + "'"};
  o.Timeout = seconds;
}

void SetMaxPageSize(CrawlOptions& o, const std::string& bytes) {
  if (BytesOf(bytes) <= 0)
    throw CrawlUsageError{"--max-page-size needs a positive number of bytes, not '" + bytes + "'"};
  o.MaxPageSize = bytes;
}

// A count from 0 up (0: no limit).
std::string CountValue(const char* option, const std::string& n) {
  const std::string t = Trim(n);
  bool digits = !t.empty() && t.size() <= 10;
  for (const char c : t) digits = digits && c >= '0' && c <= '9';
  if (!digits || std::stoll(t) > INT32_MAX)
    throw CrawlUsageError{std::string(option) + " needs a number from 0 up (0: no limit), not '" + n + "'"};
  return t;
}

void SetMaxAddresses(CrawlOptions& o, const std::string& n) { o.MaxAddresses = CountValue("--max-addresses", n); }

void SetMaxQueue(CrawlOptions& o, const std::string& n) { o.MaxQueue = CountValue("--max-queue", n); }

void SetSaveEvery(CrawlOptions& o, const std::string& n) {
  const std::string t = CountValue("--save-every", n);
  o.SaveEvery = static_cast<int>(std::stoll(t));
  if (o.SaveEvery < 1) throw CrawlUsageError{"--save-every needs a positive number of seconds, not '" + n + "'"};
}

void SetRate(CrawlOptions& o, const std::string& text) {
  char* end = nullptr;
  const double rate = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != 0 || !std::isfinite(rate) || rate < 0)
    throw CrawlUsageError{"--rate needs a number of requests per second, 0 or more (\"0.5\"), not '" + text + "'"};
  o.Rate = rate;
}

void SetMaxDepth(CrawlOptions& o, const std::string& n) {
  const int32_t depth = StrToIntDef(n, -1);
  if (depth < 0 || std::to_string(depth) != Trim(n))
    throw CrawlUsageError{"--max-depth needs a number of clicks, 0 or more, not '" + n + "'"};
  o.MaxDepth = depth;
}

// A pattern is compiled once here, so that a bad one is a usage error naming the option.
void AddPattern(std::vector<std::string>& list, const std::string& option, const std::string& pattern) {
  try {
    TAddressPatterns check({pattern}, option);
  } catch (const EError& e) {
    throw CrawlUsageError{e.what()};
  }
  list.push_back(pattern);
}

void SetUserAgent(CrawlOptions& o, const std::string& text) {
  if (text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
    throw CrawlUsageError{"--user-agent: the text holds a line break"};
  o.UserAgent = text;
}

void AddHeader(CrawlOptions& o, const std::string& line) {
  try {
    CheckHeaderLine(line, "--header");
  } catch (const EError& e) {
    throw CrawlUsageError{e.what()};
  }
  o.Headers.push_back(line);
}

void SetList(CrawlOptions& o, const std::string& category) {
  o.List = category;
  if (!TCrawlEngine::CategoryByCaption(o.List)) throw CrawlUsageError{"unknown category '" + o.List + "' for --list"};
}

// The rows of the category chosen with --list.
TNodeList& ListOf(TCrawlEngine& engine, const CrawlOptions& o) {
  return engine.ListCategory(*TCrawlEngine::CategoryByCaption(o.List));
}

void WriteCSV(TCrawlEngine& engine, const CrawlOptions& o, const std::string& file) {
  engine.ExportCSV(file, ListOf(engine, o));
}

void WriteHTMLTable(TCrawlEngine& engine, const CrawlOptions& o, const std::string& file) {
  engine.ExportHTMLTable(file, ListOf(engine, o));
}

// A report to `file`, or to standard output for "-".
template <typename ToFile, typename ToStream>
void WriteReport(const std::string& file, ToFile toFile, ToStream toStream) {
  if (file != "-") return toFile(file);
  toStream(std::cout);
  std::cout.flush();
}

using Scope = CrawlExportScope;

const CrawlOption kOptions[] = {
    {"--open", "", "FILE", "load a project file instead of crawling",
     [](CrawlOptions& o, const std::string& v) { o.Open = v; }},
    {"--save", "", "FILE",
     "write the project file after the crawl (or the load), also when it is\n"
     "interrupted or a limit stops it, and every 5 minutes while it runs",
     [](CrawlOptions& o, const std::string& v) { o.Save = v; }},
    {"--resume", "", "FILE",
     "go on with the unfinished crawl of a project file: check the addresses\n"
     "never checked, read the pages never read, and save it back into FILE",
     [](CrawlOptions& o, const std::string& v) { o.Resume = v; }},
    {"--save-every", "", "SECONDS",
     "save the project that often while the crawl runs (default 300; at\n"
     "least nine times as long as the last save took)",
     SetSaveEvery},
    {"--external", "", "", "check addresses outside the site (default: when connected)",
     [](CrawlOptions& o, const std::string&) { o.External = true; }},
    {"--no-external", "", "", "do not check addresses outside the site",
     [](CrawlOptions& o, const std::string&) { o.External = false; }},
    {"--classic-links", "", "",
     "read pages for the eight classic link kinds only (a/area href; img, frame,\n"
     "embed, object, script, iframe src): no stylesheets, srcset, media or CSS",
     [](CrawlOptions& o, const std::string&) { o.ClassicLinks = true; }},
    {"--no-anchors", "", "", "do not check that the #fragments of links name a place on their page",
     [](CrawlOptions& o, const std::string&) { o.NoAnchors = true; }},
    {"--fail-on-anchors", "", "", "exit with status 1 when an anchor is broken, even if no address is",
     [](CrawlOptions& o, const std::string&) { o.FailOnAnchors = true; }},
    {"--compare", "", "OLD.tly",
     "compare the map with an earlier project of the site: the new, gone,\n"
     "newly broken and fixed addresses and the changed titles, in the\n"
     "report and the JSON report",
     [](CrawlOptions& o, const std::string& v) { o.Compare = v; }},
    {"--fail-on-new-broken", "", "",
     "with --compare: exit with status 1 only when an address broke\n"
     "since OLD.tly (addresses broken then too do not count)",
     [](CrawlOptions& o, const std::string&) { o.FailOnNewBroken = true; }},
    {"--threads", "", "N", "run N requests at a time (default 4)", SetThreads},
    {"--timeout", "", "SECONDS",
     "give up a request whose answer takes longer (default 60);\n"
     "it counts as broken: \"Timed out after 60 s\"",
     SetTimeout},
    {"--max-page-size", "", "BYTES",
     "read at most BYTES of a page, decoded (default 33554432,\n"
     "32 MiB); a longer page is read that far",
     SetMaxPageSize},
    {"--max-addresses", "", "N",
     "suspend the crawl when the site has more than N addresses (default\n"
     "4000, the setting \"Largest site (addresses)\"); 0: no limit",
     SetMaxAddresses},
    {"--max-queue", "", "N",
     "suspend the crawl when more than N requests wait (default 10000,\n"
     "the setting \"Largest queue (requests)\"); 0: no limit",
     SetMaxQueue},
    {"--robots", "", "", "read each host's robots.txt first and request nothing it disallows\n"
     "(shown as \"Blocked by robots.txt\")",
     [](CrawlOptions& o, const std::string&) { o.Robots = true; }},
    {"--use-sitemap", "", "", "read the site's sitemaps (robots.txt's \"Sitemap\" lines, else\n"
     "/sitemap.xml), crawl the site's addresses they list, and report\n"
     "the pages no page links to as \"Orphan Pages\"",
     [](CrawlOptions& o, const std::string&) { o.UseSitemap = true; }},
    {"--rate", "", "N", "at most N requests per second to each host (decimals allowed;\ndefault 0: no limit)",
     SetRate},
    {"--no-retry", "", "", "record 429 and 503 answers at once instead of asking again\n"
     "(after Retry-After, else 1, 2 and 4 s, at most 3 times)",
     [](CrawlOptions& o, const std::string&) { o.Retry = false; }},
    {"--user-agent", "", "TEXT", "the User-Agent sent to the site's own hosts", SetUserAgent},
    {"--header", "", "\"NAME: VALUE\"", "an extra request header for the site's own hosts (repeatable)",
     AddHeader},
    {"--user", "", "NAME[:PASSWORD]",
     "log in with HTTP Basic or Digest at the start address's host and\n"
     "port; without :PASSWORD it is read from TESSALY_PASSWORD",
     [](CrawlOptions& o, const std::string& v) { o.User = v; }},
    {"--netrc", "", "", "take the login for the start address's host from ~/.netrc",
     [](CrawlOptions& o, const std::string&) { o.Netrc = true; }},
    {"--include", "", "RE", "crawl addresses matching RE as part of the site (repeatable)",
     [](CrawlOptions& o, const std::string& v) { AddPattern(o.Include, "--include", v); }},
    {"--exclude", "", "RE", "list addresses matching RE without requesting them (repeatable;\n"
     "shown as \"Excluded\")",
     [](CrawlOptions& o, const std::string& v) { AddPattern(o.Exclude, "--exclude", v); }},
    {"--max-depth", "", "N", "follow links of pages at most N clicks from the start (default\n0: no limit)",
     SetMaxDepth},
    {"--list", "", "CATEGORY",
     "the category the list exports use (default \"All\"): \"All\",\n"
     "\"Broken Links\", \"Broken Anchors\", \"Redirected Links\", \"HTML\", \"Images\",\n"
     "\"Audio\", \"Video\", \"Applications\", \"Spelling Errors\", \"Internal Links\"",
     SetList},
    {"--csv", "", "FILE", "write the category's rows as CSV", nullptr, Scope::List, WriteCSV},
    {"--html-table", "", "FILE", "write the category's rows as an HTML table", nullptr, Scope::List, WriteHTMLTable},
    {"--export-html", "", "FILE", "the site as an HTML table of its pages (merged into FILE)", nullptr, Scope::Site,
     [](TCrawlEngine& e, const CrawlOptions&, const std::string& f) { e.ExportHTMLList(f); }},
    {"--export-dhtml", "", "FILE", "the site as a collapsible tree (merged into FILE)", nullptr, Scope::Site,
     [](TCrawlEngine& e, const CrawlOptions&, const std::string& f) { e.ExportDHTMLTree(f); }},
    {"--export-dhtml-framed", "", "FILE", "the same tree beside the pages, in two frames", nullptr, Scope::Site,
     [](TCrawlEngine& e, const CrawlOptions&, const std::string& f) { e.ExportDHTMLTreeFramed(f); }},
    {"--export-xml", "", "FILE", "the site as XML", nullptr, Scope::Site,
     [](TCrawlEngine& e, const CrawlOptions&, const std::string& f) { e.ExportXML(f); }},
    {"--export-txt", "", "FILE", "the site as indented text", nullptr, Scope::Site,
     [](TCrawlEngine& e, const CrawlOptions&, const std::string& f) { e.ExportTXT(f); }},
    {"--sitemap", "", "FILE",
     "write the site's sitemap.xml for search engines (past 50,000\n"
     "pages or 50 MB: numbered files under a sitemap index in FILE)",
     nullptr, Scope::Report, [](TCrawlEngine& e, const CrawlOptions&, const std::string& f) {
       WriteReport(f, [&](const std::string& path) { e.ExportSitemap(path); }, [&](std::ostream& out) { e.ExportSitemap(out); });
     }},
    {"--json", "", "FILE",
     "write the JSON report: the crawl and every address (\"-\":\n"
     "standard output, which then holds nothing else)",
     nullptr, Scope::Report, [](TCrawlEngine& e, const CrawlOptions&, const std::string& f) {
       WriteReport(f, [&](const std::string& path) { e.ExportJSON(path); }, [&](std::ostream& out) { e.ExportJSON(out); });
     }},
    {"--junit", "", "FILE", "write the crawl as JUnit XML test results for CI servers (\"-\" as\n--json)",
     nullptr, Scope::Report, [](TCrawlEngine& e, const CrawlOptions&, const std::string& f) {
       WriteReport(f, [&](const std::string& path) { e.ExportJUnit(path); }, [&](std::ostream& out) { e.ExportJUnit(out); });
     }},
    {"--quiet", "-q", "", "no progress and no report (warnings and errors still show)",
     [](CrawlOptions& o, const std::string&) { o.Quiet = true; }},
    {"--help", "-h", "", "this text", [](CrawlOptions& o, const std::string&) { o.Help = true; }},
    {"--version", "", "", "the program's version", [](CrawlOptions& o, const std::string&) { o.Version = true; }},
};

const char* const kUsageHead =
    "Usage: tessaly-crawl [options] START\n"
    "       tessaly-crawl [options] --open PROJECT.tly\n"
    "       tessaly-crawl [options] --resume PROJECT.tly\n"
    "\n"
    "Crawls a site and reports what it found. START is what you would type into the address box:\n"
    "an address (http, https, a bare host, host/path) or the path of a local HTML file.\n"
    "\n"
    "Options:\n";

const char* const kUsageTail =
    "\n"
    "Exit status: 0 nothing broken, 1 broken addresses found (or, with --fail-on-anchors,\n"
    "broken anchors; with --fail-on-new-broken, only addresses broken since OLD.tly),\n"
    "2 usage error or failed start,\n"
    "3 a limit (--max-addresses, --max-queue) suspended the crawl,\n"
    "130 interrupted (Ctrl-C; the report shows what was found so far).\n";

// The help text of an option starts in this column; a longer option pushes it two blanks on.
constexpr size_t kHelpColumn = 27;

}  // namespace

std::span<const CrawlOption> CrawlOptionTable() { return kOptions; }

const CrawlOption* FindCrawlOption(std::string_view argument) {
  for (const CrawlOption& option : kOptions)
    if (argument == option.Name || (!option.Alias.empty() && argument == option.Alias)) return &option;
  return nullptr;
}

CrawlOptions ParseCrawlArguments(const std::vector<std::string>& args) {
  CrawlOptions o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const CrawlOption* option = FindCrawlOption(a);
    if (!option) {
      if (a.size() > 1 && a[0] == '-') throw CrawlUsageError{"unknown option " + a};
      if (!o.Start.empty()) throw CrawlUsageError{"more than one start address: '" + o.Start + "' and '" + a + "'"};
      o.Start = a;
      continue;
    }
    std::string value;
    if (!option->Argument.empty()) {
      if (i + 1 >= args.size()) throw CrawlUsageError{a + " needs a value"};
      value = args[++i];
    }
    if (option->Scope == CrawlExportScope::Report && value == "-") {
      if (o.ReportToStdout) throw CrawlUsageError{"only one report can go to standard output"};
      o.ReportToStdout = true;
    }
    if (option->IsExport()) o.Exports.emplace_back(option, value);
    else option->Apply(o, value);
    if (o.Help || o.Version) return o;
  }
  const int sources = !o.Start.empty() + !o.Open.empty() + !o.Resume.empty();
  if (sources == 0 || (sources > 1 && o.Resume.empty()))
    throw CrawlUsageError{sources == 0 ? "give a start address or --open PROJECT"
                                       : "give either a start address or --open"};
  if (sources > 1) throw CrawlUsageError{"give either a start address, --open or --resume"};
  if (o.FailOnNewBroken && o.Compare.empty()) throw CrawlUsageError{"--fail-on-new-broken needs --compare OLD.tly"};
  return o;
}

std::string CrawlUsage() {
  std::string text = kUsageHead;
  for (const CrawlOption& option : kOptions) {
    std::string line = "  " + std::string(option.Name);
    if (!option.Argument.empty()) line += " " + std::string(option.Argument);
    line += line.size() < kHelpColumn ? std::string(kHelpColumn - line.size(), ' ') : std::string(2, ' ');
    for (const char c : option.Help) line += c == '\n' ? "\n" + std::string(kHelpColumn, ' ') : std::string(1, c);
    text += line + "\n";
  }
  return text + kUsageTail;
}
