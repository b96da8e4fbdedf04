// Reading a site's own sitemaps (sitemaps.org 0.9): a <urlset> of page addresses or a
// <sitemapindex> of further sitemaps, plain or gzip-compressed. Whatever the server sends is
// read within fixed bounds: the decoded size, the number of addresses, and a single pass over
// the text, so a hostile file never costs more than its limits.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct TSitemapReadLimits {
  size_t MaxBytes = 50 * 1024 * 1024;  // decoded; the protocol's own limit of one file
  size_t MaxAddresses = 50000;         // the <loc> entries read from one file
};

struct TSitemapDocument {
  bool IsIndex = false;                // a <sitemapindex>: Locations are sitemaps
  std::vector<std::string> Locations;  // the <loc> texts, entities decoded and trimmed, in order
  // Why the file was not read whole ("" when it was): not a sitemap, cut at a limit, a broken
  // gzip stream. What was read before stays in Locations.
  std::string Problem;
};

// Whether `body` is gzip data (it starts with the gzip magic bytes 1f 8b).
bool IsGzip(std::string_view body);

// The sitemap in `body` (gzip decoded first when it is gzip data), within `limits`.
TSitemapDocument ReadSitemap(std::string_view body, const TSitemapReadLimits& limits = {});
