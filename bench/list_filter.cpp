// The list's filter over the rows of "All" on maps of 100,000 and 1,000,000 addresses (folders
// of 100 pages with their servers' dates; every 50th page answers 404, every 200th fails): one
// full pass of the filter over rows never drawn (their cells computed and dropped, as in the window before they are shown),
// by text (a text found in no row, so every column of every row is read), by answer class, and
// both. The window reads a pass in slices of 12 ms, so a pass of T ms costs the window T/12
// turns of its event loop, the rows that pass appearing as they are found.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "app/ListFilter.h"
#include "app/NodeList.h"
#include "app/SpiderNode.h"
#include "app/SpiderTools.h"

namespace {

struct Site {
  TSiteMap map;
  TSiteTree tree{map, nullptr};
  TNodeList list;
  explicit Site(int size) {
    map.SiteURI.Parse("http://www.example.com/");
    tree.ResetSiteTree();
    for (int i = 0; i < size; ++i) {
      const std::string address =
          "http://www.example.com/section" + std::to_string(i / 100) + "/page" + std::to_string(i % 100) + ".html";
      TURI uri(address);
      TSpiderNode* node = NodeOf(tree.InsertURL(uri, nullptr, false));
      const bool missing = i % 50 == 49, failed = i % 200 == 199;
      node->ResponseCode = failed ? -1 : (missing ? 404 : 200);
      node->ResponseText = failed ? "Couldn't connect to server" : (missing ? "HTTP/1.1 404 Not Found" : "HTTP/1.1 200 OK");
      node->ContentType = "text/html";
      node->ContentLength = 4096;
      node->RemoteDate = 45000.5 + i * 1e-5;  // a date to show, as servers send
    }
    tree.AttachList(&list);
    tree.ListMatching(list, tree.Root(rkAll));
  }
  ~Site() { tree.AttachList(nullptr); }
};

Site& SiteOf(int size) {
  static std::unique_ptr<Site> site;
  static int built = 0;
  if (built != size) {
    site.reset();
    site = std::make_unique<Site>(size);
    built = size;
  }
  return *site;
}

void Filter(benchmark::State& state, const char* text, unsigned classes) {
  Site& site = SiteOf(static_cast<int>(state.range(0)));
  TListFilter filter;
  filter.SetText(text);
  filter.SetClasses(classes);
  int passed = 0;
  for (auto _ : state) {
    passed = 0;
    for (const auto& row : site.list.Rows()) passed += filter.Matches(*row) ? 1 : 0;
    benchmark::DoNotOptimize(passed);
  }
  state.counters["rows"] = static_cast<double>(site.list.Count());
  state.counters["passed"] = passed;
  state.counters["ns/row"] = benchmark::Counter(static_cast<double>(site.list.Count()),
                                                benchmark::Counter::kIsIterationInvariantRate |
                                                    benchmark::Counter::kInvert);
}

void TextNowhere(benchmark::State& state) { Filter(state, "no such text", acNone); }
void TextInAddress(benchmark::State& state) { Filter(state, "section7/", acNone); }
void Broken(benchmark::State& state) { Filter(state, "", ac4xx | ac5xx | acFailed); }
void BrokenWithText(benchmark::State& state) { Filter(state, "page49", ac4xx); }

}  // namespace

BENCHMARK(TextNowhere)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(TextInAddress)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(Broken)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BrokenWithText)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
