// The pictures of a crawl, as figures: how many addresses got each answer code, how many are of
// each type, and how many pages of the site lie at each depth (clicks from the start page).
// Computed in one pass over the map; each chart has a handful of bars whatever the map's size.
#pragma once

#include <string>
#include <utility>
#include <vector>

class TSiteMap;

// One bar: its label and its count.
using TChartBar = std::pair<std::string, int>;

struct TSiteCharts {
  // By code, ascending: "200", "404", ...; an address without a status line "failed", one never
  // requested "not requested", one not answered yet "not checked"; special addresses (mail,
  // script, ...) are not counted.
  std::vector<TChartBar> ByCode;
  // By type (the media type without parameters, or the scheme of a special address), the most
  // frequent first; past the first nine, the rest as "other"; no type: "unknown".
  std::vector<TChartBar> ByType;
  // The site's pages (HTML of the site answered 200) by depth, ascending.
  std::vector<TChartBar> ByDepth;
};

TSiteCharts ChartSite(const TSiteMap& map);
