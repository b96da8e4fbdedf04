// What changed since an earlier crawl: the map compared with a saved project of the same site.
// The project is read as a stream, one section at a time, and each of its addresses is looked
// up in a hash of the map's addresses, so a comparison costs time in proportion to the two maps
// and memory of a few bytes per address besides the lists it finds.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/SpiderTools.h"

class TSiteMap;
class TSpiderNode;

struct TProjectComparison {
  std::string OldProject;  // the file compared with
  std::string OldSite;     // its site root
  int32_t OldCount = 0;    // its addresses
  // Node indexes of the map, in the map's order.
  std::vector<int32_t> New;          // addresses the old project does not hold
  std::vector<int32_t> NewlyBroken;  // broken now, and not broken (or not there) before
  // Addresses of the old project that the map does not hold, in the project's order.
  std::vector<std::string> Gone;
  // Broken before and answered without an error now, in the old project's order.
  struct TFixed {
    int32_t Node;
    int32_t OldCode;
    std::string OldAnswer;
  };
  std::vector<TFixed> Fixed;
  // Pages of the site read in both crawls whose title differs, in the old project's order.
  struct TTitleChange {
    int32_t Node;
    std::string OldTitle;
  };
  std::vector<TTitleChange> TitleChanged;

  bool AnyNewlyBroken() const { return !NewlyBroken.empty(); }
};

// Compares `map` with the project file at `oldProject`. Throws EError with a message naming the
// file when it cannot be read or is no project.
TProjectComparison CompareWithProject(const TSiteMap& map, const std::string& oldProject);

// Reads the settings of the project file at `path` as CompareWithProject does, so that a file
// that is missing or no project fails early. Throws EError.
void CheckProjectToCompare(const std::string& path);

// The comparison as the text report's section: "Compared with FILE (N addresses, site S)", then
// each list with its count and one line per address.
void WriteComparisonText(std::ostream& out, const TSiteMap& map, const TProjectComparison& comparison);
// The JSON report's "comparison" object (see docs/report.schema.json).
void WriteComparisonJSON(std::ostream& out, const TSiteMap& map, const TProjectComparison& comparison);

// The captions of the comparison's categories in the tree, in their order.
extern const char* const kComparisonCaptions[4];  // "New Addresses", "Gone Addresses", ...

// A comparison shown in the site tree while it is active: four categories after the fixed ones
// ("New Addresses", "Gone Addresses", "Newly Broken", "Fixed"). Three list the map's nodes; the
// gone addresses have no node, so "Gone Addresses" holds one entry per address, without an
// answer. The comparison ends with the tree's reset (a new crawl, a loaded project) or End.
class TActiveComparison : private TSiteTreeObserver {
 public:
  explicit TActiveComparison(TSiteTree& tree);
  ~TActiveComparison() override;
  TActiveComparison(const TActiveComparison&) = delete;
  TActiveComparison& operator=(const TActiveComparison&) = delete;

  // Shows `result` (a comparison of the tree's map) in place of an earlier one.
  void Show(TProjectComparison result);
  // Removes the categories and forgets the comparison.
  void End();
  // The comparison in force, or none.
  const TProjectComparison* Result() const { return Result_.get(); }
  // The category entry of `kComparisonCaptions[i]`, or none while no comparison is shown.
  TTreeEntry* Category(int i) const;

 private:
  void TreeAboutToReset() override;

  TSiteTree& Tree_;
  std::unique_ptr<TProjectComparison> Result_;
  // Per node index, which of the node lists hold it; shared with the categories' filters, which
  // the tree keeps as long as it keeps the categories.
  std::shared_ptr<std::vector<uint8_t>> Flags_;
  bool Changing_ = false;       // the tree's reset is this comparison's own
};
