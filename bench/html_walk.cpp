// Walks a large, realistic HTML page (about 4 MB: head with meta, style and script, nested
// sections of text paragraphs, tables, lists, comments, links and images with quoted and
// unquoted attribute values): once with a walker that overrides nothing, once with the link
// extractor filing every link in a fresh site tree.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Kel/KelHTMLWalk.h"
#include "app/LinkExtractor.h"
#include "app/SpiderTools.h"
#include "support/Random.h"

namespace {

using Rng = TestRandom;

const char* const kWords[] = {
    "the",    "site",      "map",     "crawler", "checks", "every",    "link",      "and",         "page",    "of",
    "a",      "folder",    "below",   "its",     "start",  "address",  "broken",    "images",      "are",     "listed",
    "with",   "status",    "codes",   "while",   "titles", "describe", "documents", "for",         "readers", "who",
    "browse", "sections",  "quickly", "in",      "order",  "to",       "find",      "what",        "changed", "since",
    "last",   "published", "version", "&amp;",   "&nbsp;", "caf\xE9",  "na\xEFve",  "r\xE9sum\xE9"};

std::string Words(Rng& rng, size_t count) {
  std::string s;
  for (size_t i = 0; i < count; ++i) {
    if (i) s += ' ';
    s += kWords[rng.Below(std::size(kWords))];
  }
  return s;
}

// A link target out of a fixed set of about 300 addresses, as a real page repeats its
// navigation and cross references.
std::string Target(Rng& rng) {
  switch (rng.Below(8)) {
    case 0:
      return "../section" + std::to_string(rng.Below(10)) + "/index.html";
    case 1:
      return "http://www.example.org/ref/" + std::to_string(rng.Below(40)) + ".html";
    case 2:
      return "/docs/chapter" + std::to_string(rng.Below(20)) + ".html#part" + std::to_string(rng.Below(5));
    case 3:
      return "mailto:editor" + std::to_string(rng.Below(3)) + "@example.com";
    default:
      return "page" + std::to_string(rng.Below(200)) + ".html?lang=en&amp;v=2";
  }
}

std::string Anchor(Rng& rng) {
  switch (rng.Below(3)) {
    case 0:
      return "<a href=\"" + Target(rng) + "\" class=\"ref\">" + Words(rng, 3) + "</a>";
    case 1:
      return "<a href='" + Target(rng) + "' title='" + Words(rng, 4) + "'>" + Words(rng, 2) + "</a>";
    default:
      return "<A HREF=" + Target(rng) + " target=_blank>" + Words(rng, 2) + "</A>";
  }
}

std::string Paragraph(Rng& rng) {
  std::string p = "<p class=\"body-text\" id=p" + std::to_string(rng.Next() % 100000) + ">";
  const size_t parts = 3 + rng.Below(5);
  for (size_t i = 0; i < parts; ++i) {
    p += Words(rng, 8 + rng.Below(25));
    switch (rng.Below(6)) {
      case 0:
        p += ' ' + Anchor(rng) + ' ';
        break;
      case 1:
        p += " <b>" + Words(rng, 2) + "</b> ";
        break;
      case 2:
        p += " <em class=note>" + Words(rng, 3) + "</em>, ";
        break;
      case 3:
        p += " <span style=\"color: #336; font-weight: bold\">" + Words(rng, 2) + "</span> ";
        break;
      default:
        p += ". ";
        break;
    }
  }
  return p + "</p>\n";
}

std::string Section(Rng& rng, int n) {
  std::string s = "<div class=\"section\" id=\"s" + std::to_string(n) + "\">\n  <h2>" + Words(rng, 4) + "</h2>\n";
  s += "  <!-- section " + std::to_string(n) + ": " + Words(rng, 6) + " -->\n";
  for (size_t i = 0, k = 2 + rng.Below(4); i < k; ++i) s += "  " + Paragraph(rng);
  if (rng.Below(3) == 0) {
    s += "  <table border=0 cellpadding=\"2\" width='100%'>\n";
    for (int r = 0; r < 4; ++r) {
      s += "    <tr>";
      for (int c = 0; c < 3; ++c) s += "<td align=left>" + Words(rng, 2 + rng.Below(3)) + "</td>";
      s += "</tr>\n";
    }
    s += "  </table>\n";
  }
  if (rng.Below(2) == 0) {
    s += "  <ul>\n";
    for (int i = 0; i < 5; ++i) s += "    <li>" + Anchor(rng) + "</li>\n";
    s += "  </ul>\n";
  }
  if (rng.Below(4) == 0)
    s += "  <img src=\"images/photo" + std::to_string(rng.Below(30)) + ".jpg\" width=320 height=240 alt=\"" +
         Words(rng, 3) + "\"><br/>\n";
  if (rng.Below(10) == 0)
    s += "  <script type=\"text/javascript\">\n  for (var i = 0; i < n; i++) { if (a<b && c > d) "
         "document.write('<a href=\"gen' + i + '.html\">x</a>'); }\n  </script>\n";
  return s + "</div>\n";
}

std::string MakeDocument(size_t minSize) {
  Rng rng(20240611);
  std::string d =
      "<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n<html lang=\"en\">\n<head>\n"
      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">\n"
      "<meta name=\"description\" content=\"A large page for measuring the HTML walker\">\n"
      "<meta name=\"keywords\" content=\"site, map, links\">\n<title>Benchmark page</title>\n"
      "<link rel=\"stylesheet\" href=\"style.css\" type=\"text/css\">\n"
      "<style type=\"text/css\">\n  body { margin: 0; font: 12px Verdana, sans-serif }\n"
      "  div.section > p { line-height: 1.4 }\n  a:hover { color: #c00 }\n</style>\n"
      "<script type=\"text/javascript\" src=\"scripts/menu.js\"></script>\n"
      "<script language=\"JavaScript\">\n<!--\nfunction swap(img, src) { if (document.images && 1 < 2) "
      "img.src = src; }\n// -->\n</script>\n</head>\n<body bgcolor=\"#ffffff\" onload=\"init()\">\n";
  for (int n = 0; d.size() < minSize; ++n) d += Section(rng, n);
  return d + "</body>\n</html>\n";
}

const std::string& Document() {
  static const std::string doc = MakeDocument(4 << 20);
  return doc;
}

class BareWalk : public THTMLWalk {};

void BM_WalkBare(benchmark::State& state) {
  const std::string& doc = Document();
  for (auto _ : state) {
    BareWalk walk;
    walk.Walk(doc);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(doc.size()));
}
BENCHMARK(BM_WalkBare)->Unit(benchmark::kMillisecond);

class CountingQueue : public IRequestQueue {
 public:
  void AddHeadRequest(const std::string&, const std::string&, TRequestCallback) override { ++heads; }
  void SuspendWithMessage(const std::string&) override { ++suspensions; }
  void TerminateAll() override {}
  long heads = 0, suspensions = 0;
};

void BM_ExtractLinks(benchmark::State& state) {
  const std::string& doc = Document();
  const TURI page("http://www.example.com/site/section3/page0.html");
  size_t links = 0;
  for (auto _ : state) {
    CountingQueue queue;
    TSiteMap map;
    TSiteTree tree(map, &queue);
    tree.HeadCallback = [](THTTPClient&) {};
    map.SiteURI.Parse("http://www.example.com/site/");
    TURI uri(page);
    TSpiderNode* node = NodeOf(tree.InsertURL(uri, nullptr, true));
    TPageLinks found = ExtractPageLinks(doc, page);
    ApplyPageLinks(tree, node, page, found);
    if (node->Title() != "Benchmark page" || queue.heads < 100) state.SkipWithError("unexpected extraction");
    links = node->Links.size();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(doc.size()));
  state.counters["distinct_links"] = static_cast<double>(links);
}
BENCHMARK(BM_ExtractLinks)->Unit(benchmark::kMillisecond);

}  // namespace
