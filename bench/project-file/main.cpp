// Project files of any size for bench/project-file.sh: writes the project of the generated
// bench site as a crawl of it would leave it (no server, no requests), and loads and saves a
// project, printing the time of each step and the process's peak resident size.
//
//   bench-project-file make SIZE FILE [SEED]   the project of a generated site of SIZE addresses
//   bench-project-file load FILE [OUT]         opens FILE (and saves it as OUT)
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Kel/KelError.h"
#include "app/ProjectFile.h"
#include "app/SpiderNode.h"
#include "app/SpiderTools.h"
#include "bench/site-server/BenchSite.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// The process's CPU time so far (user and system), which a loaded machine disturbs less than
// the wall time.
double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long PeakMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

const std::string kSite = "http://127.0.0.1:8080";

TSpiderNode* Insert(TSiteTree& tree, const std::string& path, TSpiderNode* from) {
  TURI uri(kSite + path);
  if (!from) return NodeOf(tree.InsertURL(uri, nullptr, false));
  TURI referer = from->URI();
  TSpiderNode* node = NodeOf(tree.InsertURL(uri, &referer, false));
  from->AddToLinks(node);
  return node;
}

// The answer a crawl records for a generated address that is not a page.
void Answer(TSpiderNode& node, const TBenchSite& site) {
  if (node.ResponseCode != 0) return;
  const TBenchAnswer a = site.Answer(std::string(node.Address().Path()).append(node.Address().Document()));
  node.ResponseCode = a.Status;
  node.ResponseText = a.Status == 200 ? "HTTP/1.1 200 OK" : a.Status == 301 ? "HTTP/1.1 301 Moved Permanently"
                                                                             : "HTTP/1.1 404 Not Found";
  node.ContentType = a.Type;
  node.ContentLength = static_cast<int32_t>(a.Body.size());
  node.Location = a.Location.empty() ? std::string() : kSite + a.Location;
  node.Server = "bench-site-server";
  node.RemoteDate = 46000.5;
}

int Make(uint64_t size, const std::string& file, uint64_t seed) {
  const TBenchSite site(seed, size);
  TSiteMap map;
  TSiteTree tree(map, nullptr);
  tree.BeginUpdate();
  map.SiteURI.Parse(kSite + "/");
  const Clock::time_point start = Clock::now();
  for (uint64_t k = 0; k < site.Pages(); ++k) {
    TSpiderNode* page = Insert(tree, TBenchSite::PagePath(k), nullptr);
    page->SetTitle("Page " + std::to_string(k));
    page->SetDescription("About page " + std::to_string(k));
    for (const TBenchLink& link : site.Links(k)) Insert(tree, link.Path, page);
  }
  for (const auto& node : map.Nodes()) Answer(*node, site);
  tree.EndUpdate();
  std::printf("built %d addresses in %.2f s\n", map.Count(), Seconds(start));
  const Clock::time_point save = Clock::now();
  const double cpu = CpuSeconds();
  SaveProjectFile(map, file);
  std::printf("save %.2f s (cpu %.2f s), peak %ld MiB\n", Seconds(save), CpuSeconds() - cpu, PeakMiB());
  return 0;
}

int Load(const std::string& file, const std::string& out) {
  TSiteMap map;
  TSiteTree tree(map, nullptr);
  const Clock::time_point start = Clock::now();
  double cpu = CpuSeconds();
  const std::string error = LoadProjectFile(tree, file, nullptr, nullptr);
  std::printf("load %.2f s (cpu %.2f s), %d addresses, peak %ld MiB%s%s\n", Seconds(start), CpuSeconds() - cpu,
              map.Count(), PeakMiB(), error.empty() ? "" : ", error: ", error.c_str());
  if (!out.empty()) {
    const Clock::time_point save = Clock::now();
    cpu = CpuSeconds();
    SaveProjectFile(map, out);
    std::printf("save %.2f s (cpu %.2f s), peak %ld MiB\n", Seconds(save), CpuSeconds() - cpu, PeakMiB());
    // The same file written as the recovery file is during a crawl: a slice at a time. The
    // longest slice is the longest the user-interface thread is held up by it.
    const Clock::time_point sliced = Clock::now();
    TProjectFileWriter writer(map, out + ".sliced");
    double longest = 0;
    int slices = 0;
    for (bool done = false; !done; ++slices) {
      const Clock::time_point slice = Clock::now();
      done = writer.Step(std::chrono::milliseconds(20));
      longest = std::max(longest, Seconds(slice));
    }
    std::printf("sliced write %.2f s in %d slices of 20 ms, longest %.1f ms\n", Seconds(sliced), slices,
                longest * 1000);
  }
  std::fflush(stdout);
  return error.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "make" && argc >= 4)
      return Make(std::strtoull(argv[2], nullptr, 10), argv[3], argc > 4 ? std::strtoull(argv[4], nullptr, 10) : 1);
    if (mode == "load" && argc >= 3) return Load(argv[2], argc > 3 ? argv[3] : "");
    std::fprintf(stderr, "usage: bench-project-file make SIZE FILE [SEED] | load FILE [OUT]\n");
    return 2;
  } catch (const EError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
