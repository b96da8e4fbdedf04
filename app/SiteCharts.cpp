#include "app/SiteCharts.h"

#include <algorithm>
#include <map>
#include <unordered_map>

#include "Kel/KelStr.h"
#include "Kel/KelURI.h"
#include "app/SpiderNode.h"

namespace {
constexpr size_t kTypeBars = 9;

std::string MediaType(const std::string& contentType) {
  std::string type = Trim(contentType.substr(0, contentType.find(';')));
  std::transform(type.begin(), type.end(), type.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return type.empty() ? std::string("unknown") : type;
}
}  // namespace

TSiteCharts ChartSite(const TSiteMap& map) {
  std::map<int, int> codes, depths;
  int failed = 0, notRequested = 0, notChecked = 0;
  std::unordered_map<std::string, int> types;
  // Equal content types share one text (KelCompactText's pool), so each distinct text is read
  // once: its media type's counter and whether it is HTML.
  struct TTypeOf {
    int* Count;
    bool HTML;
  };
  std::unordered_map<const std::string*, TTypeOf> byText;
  for (const auto& node : map.Nodes()) {
    const std::string& contentType = node->ContentType;
    auto [type, added] = byText.try_emplace(&contentType, TTypeOf{nullptr, false});
    if (added) type->second = {&types[MediaType(contentType)], node->IsHTML()};
    ++*type->second.Count;
    if (IsSpecialScheme(node->Address().Protocol())) continue;
    if (node->IsNotRequested()) ++notRequested;
    else if (node->ResponseCode == 0) ++notChecked;
    else if (node->ResponseCode < 0) ++failed;
    else ++codes[node->ResponseCode];
    if (node->ResponseCode == 200 && type->second.HTML && node->IsInternal()) ++depths[node->Depth];
  }
  TSiteCharts charts;
  for (const auto& [code, n] : codes) charts.ByCode.emplace_back(std::to_string(code), n);
  if (failed) charts.ByCode.emplace_back("failed", failed);
  if (notRequested) charts.ByCode.emplace_back("not requested", notRequested);
  if (notChecked) charts.ByCode.emplace_back("not checked", notChecked);
  std::vector<TChartBar> byType(types.begin(), types.end());
  std::sort(byType.begin(), byType.end(),
            [](const TChartBar& a, const TChartBar& b) { return a.second != b.second ? a.second > b.second : a.first < b.first; });
  if (byType.size() > kTypeBars + 1) {
    int rest = 0;
    for (size_t i = kTypeBars; i < byType.size(); ++i) rest += byType[i].second;
    byType.resize(kTypeBars);
    byType.emplace_back("other", rest);
  }
  charts.ByType = std::move(byType);
  for (const auto& [depth, n] : depths) charts.ByDepth.emplace_back(std::to_string(depth), n);
  return charts;
}
