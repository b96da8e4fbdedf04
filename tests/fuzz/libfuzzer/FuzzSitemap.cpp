// A site's sitemap: any bytes (plain or gzip) are read without failing, within the limits, and
// every address read is a trimmed, non-empty text.
#include <string>

#include "FuzzCommon.h"
#include "app/SiteSitemaps.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input = FuzzText(data, size);
  TSitemapReadLimits limits;
  limits.MaxBytes = 1024 * 1024;
  limits.MaxAddresses = 100;
  const TSitemapDocument doc = ReadSitemap(input, limits);
  FUZZ_CHECK(doc.Locations.size() <= limits.MaxAddresses, "at most MaxAddresses addresses");
  for (const std::string& address : doc.Locations) {
    FUZZ_CHECK(!address.empty(), "no empty address");
    FUZZ_CHECK(static_cast<unsigned char>(address.front()) > ' ' && static_cast<unsigned char>(address.back()) > ' ',
               "addresses are trimmed");
  }
  return 0;
}
