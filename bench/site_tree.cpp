// Builds a site tree of 4000 addresses (40 folders of 100 pages), each page inserted with a
// referer, as a crawl of a mid-sized site does.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "app/SpiderTools.h"

namespace {

class CountingQueue : public IRequestQueue {
 public:
  void AddHeadRequest(const std::string&, const std::string&, TRequestCallback) override { ++heads; }
  void SuspendWithMessage(const std::string&) override { ++suspensions; }
  void TerminateAll() override {}
  long heads = 0, suspensions = 0;
};

struct Link {
  std::string address, referer;
};

std::vector<Link> SiteLinks() {
  std::vector<Link> links;
  for (int f = 0; f < 40; ++f)
    for (int p = 0; p < 100; ++p) {
      const std::string folder = "http://www.example.com/section" + std::to_string(f) + "/";
      std::string referer;
      if (p > 0) referer = folder + "page" + std::to_string(p - 1) + ".html";
      else if (f > 0) referer = "http://www.example.com/section" + std::to_string(f - 1) + "/page0.html";
      links.push_back({folder + "page" + std::to_string(p) + ".html", referer});
    }
  return links;
}

void BM_BuildSiteTree4000(benchmark::State& state) {
  const std::vector<Link> links = SiteLinks();
  for (auto _ : state) {
    CountingQueue queue;
    TSiteMap map;
    TSiteTree tree(map, &queue);
    tree.HeadCallback = [](THTTPClient&) {};
    map.SiteURI.Parse("http://www.example.com/");
    for (const Link& l : links) {
      TURI uri(l.address);
      if (l.referer.empty()) {
        tree.InsertURL(uri, nullptr, true);
      } else {
        TURI referer(l.referer);
        tree.InsertURL(uri, &referer, true);
      }
    }
    if (map.Count() != 4000 || queue.suspensions != 0) state.SkipWithError("unexpected tree");
    benchmark::DoNotOptimize(map.Count());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(links.size()));
}
BENCHMARK(BM_BuildSiteTree4000)->Unit(benchmark::kMillisecond);

// 10,000 pages in folders of `files` each (one flat folder at 10,000): the cost of one insertion
// should not grow with the size of its folder.
void BM_FolderSize(benchmark::State& state) {
  const int files = static_cast<int>(state.range(0));
  std::vector<std::string> addresses;
  for (int i = 0; i < 10000; ++i)
    addresses.push_back("http://www.example.com/f" + std::to_string(i / files) + "/page" + std::to_string(i) + ".html");
  for (auto _ : state) {
    TSiteMap map;
    TSiteTree tree(map, nullptr);
    map.SiteURI.Parse("http://www.example.com/");
    for (const std::string& a : addresses) {
      TURI uri(a);
      tree.InsertURL(uri, nullptr, false);
    }
    benchmark::DoNotOptimize(map.Count());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(addresses.size()));
}
BENCHMARK(BM_FolderSize)->Arg(10)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
