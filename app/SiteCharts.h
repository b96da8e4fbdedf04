// The pictures of a crawl, as figures: how many addresses got each answer code, how many are of
// each type, and how many pages of the site lie at each depth (clicks from the start page).
// Computed in one pass over the map; each chart has a handful of bars whatever the map's size.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <unordered_map>
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

// ChartSite a slice of nodes at a time (see TSiteSummaryBuilder): it reads the nodes the map
// held when it was made; the map may gain nodes meanwhile, but must not be cleared.
class TSiteChartsBuilder {
 public:
  explicit TSiteChartsBuilder(const TSiteMap& map);
  // Reads up to `count` more nodes; true once every node has been read.
  bool Step(size_t count);
  // The charts, once Step has returned true.
  TSiteCharts Finish();

 private:
  // What a content type gives: its media type's counter and whether it is HTML. Equal content
  // types share one text (KelCompactText's pool), so each distinct text is read once.
  struct TTypeOf {
    int* Count;
    bool HTML;
  };
  const TSiteMap& Map_;
  std::map<int, int> Codes_, Depths_;
  int Failed_ = 0, NotRequested_ = 0, NotChecked_ = 0;
  std::unordered_map<std::string, int> Types_;
  std::unordered_map<const std::string*, TTypeOf> ByText_;
  size_t Next_ = 0, End_ = 0;
};
