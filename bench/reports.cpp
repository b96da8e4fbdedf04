// The reports for other programs on a map of 100,000 addresses (1,000 folders of 100 pages,
// each page linked from the one before): the time of each writer to a file, and the memory it
// adds above the map (the growth of the process's peak resident size while it writes).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

#include "Kel/KelFiles.h"
#include "app/Reports.h"
#include "app/SpiderNode.h"
#include "app/SpiderTools.h"

namespace {

constexpr int kFolders = 1000, kPages = 100;

long PeakKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

struct Site {
  TSiteMap map;
  TSiteTree tree{map, nullptr};
  Site() {
    map.SiteURI.Parse("http://www.example.com/");
    std::string previous;
    for (int f = 0; f < kFolders; ++f)
      for (int p = 0; p < kPages; ++p) {
        const std::string address =
            "http://www.example.com/section" + std::to_string(f) + "/page" + std::to_string(p) + ".html";
        TURI uri(address);
        TSpiderNode* node = nullptr;
        if (previous.empty()) {
          node = NodeOf(tree.InsertURL(uri, nullptr, false));
        } else {
          TURI referer(previous);
          node = NodeOf(tree.InsertURL(uri, &referer, false));
        }
        node->ResponseCode = 200;
        node->ResponseText = "HTTP/1.1 200 OK";
        node->ContentType = "text/html";
        node->ContentLength = 4096;
        node->SetTitle("Page " + std::to_string(p) + " of section " + std::to_string(f));
        node->SetDescription("What page " + std::to_string(p) + " says");
        previous = address;
      }
  }
};

Site& TheSite() {
  static Site site;
  return site;
}

const std::string kOut = "/tmp/tessaly-bench-report";

void Measure(benchmark::State& state, const std::function<void(const TSiteMap&)>& write) {
  const TSiteMap& map = TheSite().map;
  const long before = PeakKiB();
  for (auto _ : state) write(map);
  state.counters["added_peak_MiB"] = static_cast<double>(PeakKiB() - before) / 1024.0;
  state.SetItemsProcessed(state.iterations() * map.Count());
}

TReportCrawl Crawl() {
  TReportCrawl crawl;
  crawl.Start = "http://www.example.com/section0/page0.html";
  crawl.Summary.Site = "http://www.example.com/";
  return crawl;
}

void BM_Sitemap100k(benchmark::State& state) {
  Measure(state, [](const TSiteMap& map) { WriteSitemapFiles(kOut + ".xml", map); });
}
BENCHMARK(BM_Sitemap100k)->Unit(benchmark::kMillisecond);

void BM_JSONReport100k(benchmark::State& state) {
  Measure(state, [](const TSiteMap& map) {
    TReplacementStream out(kOut + ".json");
    WriteJSONReport(out, map, Crawl());
    out.Commit();
  });
}
BENCHMARK(BM_JSONReport100k)->Unit(benchmark::kMillisecond);

void BM_JUnitReport100k(benchmark::State& state) {
  Measure(state, [](const TSiteMap& map) {
    TReplacementStream out(kOut + ".junit.xml");
    WriteJUnitReport(out, map, Crawl());
    out.Commit();
  });
}
BENCHMARK(BM_JUnitReport100k)->Unit(benchmark::kMillisecond);

}  // namespace
