#include "app/SiteCharts.h"

#include <algorithm>
#include <cstdint>
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
  TSiteChartsBuilder builder(map);
  builder.Step(SIZE_MAX);
  return builder.Finish();
}

TSiteChartsBuilder::TSiteChartsBuilder(const TSiteMap& map) : Map_(map), End_(map.Nodes().size()) {}

bool TSiteChartsBuilder::Step(size_t count) {
  const auto& nodes = Map_.Nodes();
  const size_t end = Next_ + std::min(count, End_ - Next_);
  for (; Next_ < end; ++Next_) {
    const TSpiderNode& node = *nodes[Next_];
    const std::string& contentType = node.ContentType;
    auto [type, added] = ByText_.try_emplace(&contentType, TTypeOf{nullptr, false});
    if (added) type->second = {&Types_[MediaType(contentType)], node.IsHTML()};
    ++*type->second.Count;
    if (IsSpecialScheme(node.Address().Protocol())) continue;
    if (node.IsNotRequested()) ++NotRequested_;
    else if (node.ResponseCode == 0) ++NotChecked_;
    else if (node.ResponseCode < 0) ++Failed_;
    else ++Codes_[node.ResponseCode];
    if (node.ResponseCode == 200 && type->second.HTML && node.IsInternal()) ++Depths_[node.Depth];
  }
  return Next_ == End_;
}

TSiteCharts TSiteChartsBuilder::Finish() {
  TSiteCharts charts;
  for (const auto& [code, n] : Codes_) charts.ByCode.emplace_back(std::to_string(code), n);
  if (Failed_) charts.ByCode.emplace_back("failed", Failed_);
  if (NotRequested_) charts.ByCode.emplace_back("not requested", NotRequested_);
  if (NotChecked_) charts.ByCode.emplace_back("not checked", NotChecked_);
  std::vector<TChartBar> byType(Types_.begin(), Types_.end());
  std::sort(byType.begin(), byType.end(),
            [](const TChartBar& a, const TChartBar& b) { return a.second != b.second ? a.second > b.second : a.first < b.first; });
  if (byType.size() > kTypeBars + 1) {
    int rest = 0;
    for (size_t i = kTypeBars; i < byType.size(); ++i) rest += byType[i].second;
    byType.resize(kTypeBars);
    byType.emplace_back("other", rest);
  }
  charts.ByType = std::move(byType);
  for (const auto& [depth, n] : Depths_) charts.ByDepth.emplace_back(std::to_string(depth), n);
  return charts;
}
