// robots.txt: any text parses; the rules decide every path without failing, robots.txt itself
// is always allowed, and a crawl delay stays within its cap.
#include <string>

#include "FuzzCommon.h"
#include "Kel/KelRobots.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input = FuzzText(data, size);
  const TRobotsRules rules = TRobotsRules::Parse(input, "Tessaly");
  FUZZ_CHECK(rules.CrawlDelay >= 0 && rules.CrawlDelay <= TRobotsRules::kMaxCrawlDelay, "the delay is capped");
  FUZZ_CHECK(rules.Allowed("/robots.txt"), "robots.txt is always allowed");
  // Paths taken from the input itself: they meet its patterns.
  const size_t cut = std::min<size_t>(input.size(), 64);
  (void)rules.Allowed("/" + std::string(input.substr(0, cut)));
  (void)rules.Allowed(std::string(input.substr(input.size() - cut)));
  return 0;
}
