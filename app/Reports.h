// The reports written for other programs: the site's sitemap.xml for search engines, a JSON
// report for scripts and a JUnit XML report for CI servers. Each is written as a stream, one
// address at a time, so a map of any size costs no more memory than its longest entry.
#pragma once

#include <cstddef>
#include <ctime>
#include <ostream>
#include <string>
#include <vector>

#include "app/SiteSummary.h"

class TSiteMap;
class TSpiderNode;
struct TProjectComparison;
class TSitemapFeed;

// --- sitemap.xml ---------------------------------------------------------------------------

// The largest sitemap file the protocol allows: 50,000 addresses and 50 MB, uncompressed.
struct TSitemapLimits {
  size_t MaxURLs = 50000;
  size_t MaxBytes = 50 * 1024 * 1024;
};

// Whether the sitemap lists the node: a page of the site that answered 200 with an HTML type.
// Redirects, broken pages, other types and addresses outside the site are left out.
bool IsSitemapPage(const TSpiderNode& node);

// The node's address as a sitemap <loc> holds it: absolute, each byte outside the characters
// an address may carry percent-encoded (an existing escape kept as it is).
std::string SitemapAddress(const TSpiderNode& node);

// The sitemap of the map's pages, in the map's order, as one file whatever its size.
void WriteSitemap(std::ostream& out, const TSiteMap& map);

// Writes the sitemap to `fileName`. When the pages do not fit in one file within `limits`,
// they go to numbered files beside it ("sitemap-1.xml", "sitemap-2.xml", ... for
// "sitemap.xml") and `fileName` becomes their sitemap index, each part named there by its
// address in the site's root folder, where the files are meant to be published. Returns the
// files written, the index (or the one file) first. Fails with EError, leaving no part of a
// failed write behind.
std::vector<std::string> WriteSitemapFiles(const std::string& fileName, const TSiteMap& map,
                                           const TSitemapLimits& limits = {});

// --- What the reports say of the crawl -----------------------------------------------------

struct TReportCrawl {
  std::string Start;         // the start address (the map's first node)
  std::time_t Started = 0;   // the crawl's start, 0 when unknown (a loaded project)
  std::time_t Finished = 0;  // the last answer handled, 0 when unknown
  // The settings that shape the map.
  bool CheckExternal = false;
  bool CheckPageResources = true;
  bool CheckAnchors = true;
  std::string Timeout;      // seconds, as the HTTP settings hold it
  std::string MaxPageSize;  // bytes, as the HTTP settings hold it
  int RequestsAtATime = 4;
  bool ObeyRobots = false;
  double Rate = 0;           // requests per second per host, 0: no limit
  int MaxDepth = 0;          // 0: no limit
  std::string MaxAddresses;  // the limits, as the HTTP settings hold them ("0": none)
  std::string MaxQueue;
  TSiteSummary Summary;  // counts, broken addresses and anchors; Incomplete and RequestsLeft
  // The comparison with an earlier project, when one is in force: the reports' section of it.
  const TProjectComparison* Comparison = nullptr;
  // The site's sitemaps, when they were read in this crawl ("Read the site's sitemap"): the
  // reports' section of orphan pages.
  const TSitemapFeed* Sitemaps = nullptr;
};

// The text report's section of orphan pages, when the sitemaps were read: "Orphan pages: N" with
// the number of sitemap files read, then each orphan page's address on a line of its own.
void WriteOrphanText(std::ostream& out, const TSiteMap& map, const TSitemapFeed& sitemaps);

// "2026-12-11T00:34:10Z": a time in the W3C date-time format, in UTC.
std::string W3CDateTime(std::time_t time);

// The JSON report: {"report": ..., "crawl": {...}, "addresses": [ {...}, ... ]}, one object per
// address in the map's order. The structure is described by docs/report.schema.json.
void WriteJSONReport(std::ostream& out, const TSiteMap& map, const TReportCrawl& crawl);

// The JUnit XML report: one test suite named after the site, one test case per address that
// was checked (a failure for each broken one, its message the answer and where it is linked
// from), and, when anchors were checked, one per missing fragment (page#fragment), failed.
void WriteJUnitReport(std::ostream& out, const TSiteMap& map, const TReportCrawl& crawl);
