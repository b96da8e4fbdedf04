#include "app/Reports.h"

#include <cstdint>
#include <filesystem>
#include <memory>

#include "Kel/KelDateTime.h"
#include "Kel/KelError.h"
#include "Kel/KelFiles.h"
#include "Kel/KelStr.h"
#include "Kel/KelText.h"
#include "app/ProjectCompare.h"
#include "app/SitemapFeed.h"
#include "app/SpiderExport.h"
#include "app/SpiderNode.h"
#include "app/SpiderTools.h"

namespace {

// Whether the reports have a section of orphan pages: the site's sitemaps were read.
bool Reads(const TSitemapFeed* sitemaps) { return sitemaps && sitemaps->Active(); }

// --- Text ----------------------------------------------------------------------------------

// A JSON string literal of `text`; bytes that are not UTF-8 become U+FFFD.
void PutJSONString(std::ostream& out, std::string_view text) { out << JSONString(text); }

// Text for XML content or a double-quoted attribute: markup characters escaped, characters XML
// 1.0 forbids dropped (they have no escape), bytes that are not UTF-8 become U+FFFD.
std::string XMLText(std::string_view text) {
  const std::string valid = ValidUTF8(text);
  std::string r;
  r.reserve(valid.size());
  for (size_t i = 0; i < valid.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(valid[i]);
    // U+FFFE and U+FFFF are no XML characters either.
    if (c == 0xEF && valid.compare(i, 2, "\xEF\xBF") == 0 && i + 2 < valid.size() &&
        (valid[i + 2] == '\xBE' || valid[i + 2] == '\xBF')) {
      i += 2;
      continue;
    }
    switch (c) {
      case '&': r += "&amp;"; break;
      case '<': r += "&lt;"; break;
      case '>': r += "&gt;"; break;
      case '"': r += "&quot;"; break;
      case '\'': r += "&apos;"; break;
      default:
        if (c >= 0x20 || c == '\t' || c == '\n' || c == '\r') r += static_cast<char>(c);
    }
  }
  return r;
}

// --- sitemap.xml ---------------------------------------------------------------------------

constexpr std::string_view kXMLDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
constexpr std::string_view kSitemapNamespace = "http://www.sitemaps.org/schemas/sitemap/0.9";

std::string UrlsetOpening() {
  return std::string(kXMLDeclaration) + "<urlset xmlns=\"" + std::string(kSitemapNamespace) + "\">\n";
}
constexpr std::string_view kUrlsetClosing = "</urlset>\n";

// The last change of the page as the sitemap gives it: its Last-Modified answer, when it came.
std::string LastModText(const TSpiderNode& node) {
  if (node.LastModified <= 0) return {};
  return W3CDateTime(LocalDateTimeToUnix(node.LastModified));
}

std::string UrlEntry(const TSpiderNode& node) {
  std::string entry = "  <url>\n    <loc>" + XMLText(SitemapAddress(node)) + "</loc>\n";
  const std::string lastmod = LastModText(node);
  if (!lastmod.empty()) entry += "    <lastmod>" + lastmod + "</lastmod>\n";
  entry += "  </url>\n";
  return entry;
}

template <typename Visit>
void ForEachSitemapPage(const TSiteMap& map, Visit&& visit) {
  for (const auto& node : map.Nodes())
    if (IsSitemapPage(*node)) visit(*node);
}

std::string FolderAddress(const TSiteMap& map) {
  std::string root = CanonicalizeURL(map.SiteURI.Compose());
  if (root.empty() || root.back() != '/') root += '/';
  return root;
}

// "sitemap.xml" and 2 give "sitemap-2.xml"; a name without extension gets "-2".
std::string PartName(const std::string& fileName, size_t part) {
  const std::filesystem::path path(fileName);
  std::filesystem::path name = path.stem();
  name += "-" + std::to_string(part);
  name += path.extension();
  return (path.parent_path() / name).string();
}

// --- JSON and JUnit ------------------------------------------------------------------------

void PutJSONTime(std::ostream& out, std::time_t time) {
  if (time <= 0) out << "null";
  else PutJSONString(out, W3CDateTime(time));
}

void PutJSONDate(std::ostream& out, TDateTime date) {
  PutJSONTime(out, date > 0 ? LocalDateTimeToUnix(date) : 0);
}

void PutJSONAddresses(std::ostream& out, const TSpiderNodeDynArray& nodes) {
  out << '[';
  bool first = true;
  for (const TSpiderNode* node : nodes) {
    if (!first) out << ',';
    first = false;
    PutJSONString(out, node->URLText());
  }
  out << ']';
}

// An address a request was made for (special schemes are filed without one).
bool WasChecked(const TSpiderNode& node) {
  return node.ResponseCode != 0 && !IsSpecialScheme(node.Address().Protocol());
}

// Where a redirect leads, as an absolute address (the Location as sent when it cannot be read).
std::string RedirectTarget(const TSpiderNode& node) {
  try {
    TURI target;
    const TURI base = node.URI();
    ResolveLink(target, node.Location, &base);
    return URLText(target);
  } catch (const std::exception&) {
    return node.Location;
  }
}

// The answer as recorded (a status line or a failure message), else its code.
std::string AnswerText(const TSpiderNode& node) {
  return node.ResponseText.empty() ? std::to_string(node.ResponseCode) : node.ResponseText.str();
}

std::string SuiteName(const TReportCrawl& crawl) {
  return crawl.Summary.Site.empty() ? crawl.Start : crawl.Summary.Site;
}

}  // namespace

bool IsSitemapPage(const TSpiderNode& node) {
  return node.ResponseCode == 200 && node.IsHTML() && node.IsInternal();
}

std::string SitemapAddress(const TSpiderNode& node) { return CanonicalizeURL(node.URLText()); }

std::string W3CDateTime(std::time_t time) {
  std::tm parts{};
  gmtime_r(&time, &parts);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return buf;
}

void WriteSitemap(std::ostream& out, const TSiteMap& map) {
  out << UrlsetOpening();
  ForEachSitemapPage(map, [&](const TSpiderNode& node) { out << UrlEntry(node); });
  out << kUrlsetClosing;
}

std::vector<std::string> WriteSitemapFiles(const std::string& fileName, const TSiteMap& map,
                                           const TSitemapLimits& limits) {
  KelAssert(limits.MaxURLs > 0, "a sitemap holds at least one address");
  const size_t frame = UrlsetOpening().size() + kUrlsetClosing.size();
  // First the split: how many pages go into each file, measured without writing.
  std::vector<size_t> parts{0};
  size_t bytes = frame;
  ForEachSitemapPage(map, [&](const TSpiderNode& node) {
    const size_t size = UrlEntry(node).size();
    if (parts.back() > 0 && (parts.back() == limits.MaxURLs || bytes + size > limits.MaxBytes)) {
      parts.push_back(0);
      bytes = frame;
    }
    ++parts.back();
    bytes += size;
  });

  if (parts.size() == 1) {
    TReplacementStream out(fileName);
    WriteSitemap(out, map);
    out.Commit();
    return {fileName};
  }

  // Every part is written before any is committed, so a failure leaves none behind.
  std::vector<std::unique_ptr<TReplacementStream>> files;
  std::vector<std::string> names{fileName};
  size_t part = 0, inPart = 0;
  ForEachSitemapPage(map, [&](const TSpiderNode& node) {
    if (files.empty() || inPart == parts[part]) {
      if (!files.empty()) {
        *files.back() << kUrlsetClosing;
        ++part;
      }
      names.push_back(PartName(fileName, part + 1));
      files.push_back(std::make_unique<TReplacementStream>(names.back()));
      *files.back() << UrlsetOpening();
      inPart = 0;
    }
    *files.back() << UrlEntry(node);
    ++inPart;
  });
  *files.back() << kUrlsetClosing;

  TReplacementStream index(fileName);
  index << kXMLDeclaration << "<sitemapindex xmlns=\"" << kSitemapNamespace << "\">\n";
  const std::string folder = FolderAddress(map);
  for (size_t i = 1; i < names.size(); ++i) {
    const std::string leaf = std::filesystem::path(names[i]).filename().string();
    index << "  <sitemap>\n    <loc>" << XMLText(CanonicalizeURL(folder + leaf)) << "</loc>\n  </sitemap>\n";
  }
  index << "</sitemapindex>\n";
  for (auto& file : files) file->Commit();
  index.Commit();
  return names;
}

void WriteJSONReport(std::ostream& out, const TSiteMap& map, const TReportCrawl& crawl) {
  const TSiteSummary& s = crawl.Summary;
  out << "{\n\"report\":\"tessaly\",\"version\":1,\n\"crawl\":{";
  out << "\"start\":";
  PutJSONString(out, crawl.Start);
  out << ",\"site\":";
  PutJSONString(out, s.Site);
  out << ",\"started\":";
  PutJSONTime(out, crawl.Started);
  out << ",\"finished\":";
  PutJSONTime(out, crawl.Finished);
  out << ",\"complete\":" << (s.Incomplete ? "false" : "true") << ",\"requestsLeft\":" << s.RequestsLeft;
  out << ",\n\"settings\":{\"checkExternal\":" << (crawl.CheckExternal ? "true" : "false")
      << ",\"checkPageResources\":" << (crawl.CheckPageResources ? "true" : "false")
      << ",\"checkAnchors\":" << (crawl.CheckAnchors ? "true" : "false") << ",\"timeout\":";
  PutJSONString(out, crawl.Timeout);
  out << ",\"maxPageSize\":";
  PutJSONString(out, crawl.MaxPageSize);
  out << ",\"requestsAtATime\":" << crawl.RequestsAtATime
      << ",\"obeyRobots\":" << (crawl.ObeyRobots ? "true" : "false") << ",\"rate\":" << crawl.Rate
      << ",\"maxDepth\":" << crawl.MaxDepth;
  if (Reads(crawl.Sitemaps)) out << ",\"useSitemap\":true";
  out << ",\"maxAddresses\":";
  PutJSONString(out, crawl.MaxAddresses);
  out << ",\"maxQueue\":";
  PutJSONString(out, crawl.MaxQueue);
  out << "},\n\"counts\":{";
  for (int k = rkAll; k < rkSiteRoot; ++k) {
    if (k != rkAll) out << ',';
    PutJSONString(out, kSiteRootCaptions[k]);
    out << ':' << s.Count(static_cast<TSiteRootKind>(k));
  }
  out << "},\"brokenAddresses\":" << s.Broken.size() << ",\"brokenAnchors\":" << s.BrokenAnchors.size() << "},";
  if (crawl.Comparison) {
    out << "\n\"comparison\":";
    WriteComparisonJSON(out, map, *crawl.Comparison);
    out << ',';
  }
  if (Reads(crawl.Sitemaps)) {
    out << "\n\"orphanPages\":{\"sitemaps\":[";
    const char* sep = "";
    for (const std::string& file : crawl.Sitemaps->FilesRead()) {
      out << sep;
      PutJSONString(out, file);
      sep = ",";
    }
    out << "],\"listed\":" << crawl.Sitemaps->Listed() << ",\"addresses\":[";
    sep = "";
    for (const auto& node : map.Nodes()) {
      if (!crawl.Sitemaps->IsOrphan(*node)) continue;
      out << sep;
      PutJSONString(out, node->URLText());
      sep = ",";
    }
    out << "]},";
  }
  out << "\n\"addresses\":[";

  bool first = true;
  for (const auto& owned : map.Nodes()) {
    const TSpiderNode& node = *owned;
    out << (first ? "\n" : ",\n");
    first = false;
    out << "{\"address\":";
    PutJSONString(out, node.URLText());
    out << ",\"code\":" << node.ResponseCode << ",\"answer\":";
    PutJSONString(out, node.ResponseText);
    out << ",\"type\":";
    PutJSONString(out, node.ContentType);
    out << ",\"size\":";
    if (node.ContentLength >= 0) out << node.ContentLength;
    else out << "null";
    out << ",\"date\":";
    PutJSONDate(out, node.RemoteDate);
    out << ",\"lastModified\":";
    PutJSONDate(out, node.LastModified);
    out << ",\"internal\":" << (node.IsInternal() ? "true" : "false")
        << ",\"broken\":" << (node.IsBroken() ? "true" : "false") << ",\"title\":";
    PutJSONString(out, node.Title());
    out << ",\"description\":";
    PutJSONString(out, node.Description());
    out << ",\"spellingErrors\":" << node.SpellingErrors << ",\"redirect\":";
    if ((node.IsRedirected() || node.IsRedirectFailure()) && !node.Location.empty())
      PutJSONString(out, RedirectTarget(node));
    else out << "null";
    out << ",\"referers\":";
    PutJSONAddresses(out, node.Referers);
    out << ",\"links\":";
    PutJSONAddresses(out, node.Links);
    if (crawl.CheckAnchors) {
      out << ",\"brokenAnchors\":[";
      bool firstAnchor = true;
      for (const TMissingAnchor& missing : map.Anchors.MissingOf(node)) {
        if (!firstAnchor) out << ',';
        firstAnchor = false;
        out << "{\"fragment\":";
        PutJSONString(out, missing.Fragment);
        out << ",\"referers\":";
        PutJSONAddresses(out, missing.Referers);
        out << '}';
      }
      out << ']';
    }
    out << '}';
  }
  out << "\n]\n}\n";
}

void WriteOrphanText(std::ostream& out, const TSiteMap& map, const TSitemapFeed& sitemaps) {
  if (!sitemaps.Active()) return;
  size_t count = 0;
  for (const auto& node : map.Nodes())
    if (sitemaps.IsOrphan(*node)) ++count;
  const size_t files = sitemaps.FilesRead().size();
  out << "Orphan pages: " << count << " (pages only the site's sitemaps name; " << files << " sitemap "
      << (files == 1 ? "file" : "files") << " read)\n";
  for (const auto& node : map.Nodes())
    if (sitemaps.IsOrphan(*node)) out << "  " << node->URLText() << "\n";
}

void WriteJUnitReport(std::ostream& out, const TSiteMap& map, const TReportCrawl& crawl) {
  int tests = 0, failures = 0;
  for (const auto& node : map.Nodes()) {
    if (!WasChecked(*node)) continue;
    ++tests;
    if (node->IsBroken()) ++failures;
  }
  if (crawl.CheckAnchors) {
    tests += map.Anchors.Count();
    failures += map.Anchors.Count();
  }
  const std::string suite = XMLText(SuiteName(crawl));
  std::string timing;
  if (crawl.Started > 0) {
    timing = " timestamp=\"" + W3CDateTime(crawl.Started).substr(0, 19) + "\"";
    if (crawl.Finished >= crawl.Started)
      timing += " time=\"" + std::to_string(crawl.Finished - crawl.Started) + "\"";
  }
  out << kXMLDeclaration;
  out << "<testsuites name=\"Tessaly\" tests=\"" << tests << "\" failures=\"" << failures << "\" errors=\"0\">\n";
  out << "  <testsuite name=\"" << suite << "\" tests=\"" << tests << "\" failures=\"" << failures
      << "\" errors=\"0\" skipped=\"0\"" << timing << ">\n";
  for (const auto& owned : map.Nodes()) {
    const TSpiderNode& node = *owned;
    if (!WasChecked(node)) continue;
    const char* kind = node.IsInternal() ? "links.internal" : "links.external";
    out << "    <testcase classname=\"" << kind << "\" name=\"" << XMLText(node.URLText()) << "\"";
    if (!node.IsBroken()) {
      out << "/>\n";
      continue;
    }
    const std::string answer = AnswerText(node);
    std::string detail = answer + "\nLinked from:";
    if (node.Referers.empty()) detail += " no page (the start address)";
    for (const TSpiderNode* referer : node.Referers) detail += "\n  " + referer->URLText();
    out << ">\n      <failure type=\"broken\" message=\"" << XMLText(answer) << "\">" << XMLText(detail)
        << "</failure>\n    </testcase>\n";
  }
  if (crawl.CheckAnchors) {
    map.Anchors.ForEachMissing([&](const TSpiderNode& page, const TMissingAnchor& missing) {
      const std::string name = page.URLText() + "#" + missing.Fragment;
      std::string detail = "No place named \"" + missing.Fragment + "\" on the page\nLinked from:";
      for (const TSpiderNode* referer : missing.Referers) detail += "\n  " + referer->URLText();
      out << "    <testcase classname=\"anchors\" name=\"" << XMLText(name) << "\">\n"
          << "      <failure type=\"broken anchor\" message=\"" << XMLText("Broken anchor #" + missing.Fragment)
          << "\">" << XMLText(detail) << "</failure>\n    </testcase>\n";
    });
  }
  out << "  </testsuite>\n</testsuites>\n";
}
