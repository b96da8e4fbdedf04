// The project loader: any file loads without crashing (stopping with a message where it must);
// the map it leaves is saved, and that file loads again cleanly into the same map; every export
// of the result is made.
#include <algorithm>
#include <string>
#include <vector>

#include "FuzzCommon.h"
#include "Kel/KelComCtrls.h"
#include "Kel/KelError.h"
#include "Kel/KelIni.h"
#include "app/NodeList.h"
#include "app/ProjectFile.h"
#include "app/SpiderExport.h"
#include "app/SpiderNode.h"
#include "app/SpiderTools.h"

namespace {

// The saved text without its time of saving.
std::string Saved(const TSiteMap& map) {
  std::string text = ProjectText(map);
  const size_t now = text.find("\r\nNow=");
  if (now != std::string::npos) text.erase(now, text.find("\r\n", now + 2) - now);
  return text;
}

// The depth of the deepest entry: exports of a deep branch repeat each folder's address on
// its lines, so their size grows with the square of the depth. The unit tests export deep
// trees; here they would only slow the search down.
int Depth(const TSiteTree& tree) {
  int deepest = 0;
  for (const auto& top : tree.TopLevel())
    WalkBranch(
        top.get(), 0, [&](const TTreeEntry*, int level) { deepest = std::max(deepest, level); },
        [](const TTreeEntry*, int) {});
  return deepest;
}

void ExportAll(TSiteTree& tree) {
  if (Depth(tree) > 64) return;
  std::vector<std::string> lines;
  for (const TTreeEntry* root : {tree.SiteRoot(), tree.Root(rkExternal), tree.Root(rkEmail)}) {
    ExportHTMLTable(lines, root, 0);
    ExportDHTMLTree(lines, root, 0);
    ExportXML(lines, root, 0);
    ExportTXT(lines, root, 0);
  }
  TNodeList list;
  tree.AttachList(&list);
  tree.ListMatching(list, tree.Root(rkAll));
  list.FillAllRows();
  for (const auto& row : list.Rows()) {
    row->Selected = true;
    std::vector<std::string> fields{row->Caption};
    fields.insert(fields.end(), row->Cells.begin(), row->Cells.end());
    lines.push_back(CSVLine(fields));
  }
  ExportListHTMLTable(lines, list);
  tree.AttachList(nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TSiteMap map;
  TSiteTree tree(map);
  tree.ResetSiteTree();
  const std::string loadError = LoadProject(tree, TIniText(FuzzText(data, size)), nullptr, nullptr);
  ExportAll(tree);
  std::string first;
  try {
    first = Saved(map);
  } catch (const EError&) {
    // Only a load that stopped early can leave a site root that cannot be written.
    FUZZ_CHECK(!loadError.empty(), "a cleanly loaded map can be saved");
    return 0;
  }

  // The saved file loads cleanly. Saving may normalise what the first file held (an address
  // is written as the program composes it; a value ends at its first line break), so the save
  // after that is the fixed point: loading it and saving again changes nothing.
  TSiteMap again;
  TSiteTree reloaded(again);
  reloaded.ResetSiteTree();
  std::string error = LoadProject(reloaded, TIniText(first), nullptr, nullptr);
  if (!error.empty()) std::fprintf(stderr, "reload: %s\n", error.c_str());
  FUZZ_CHECK(error.empty(), "a saved project loads again");
  const std::string second = Saved(again);

  TSiteMap third;
  TSiteTree thirdTree(third);
  thirdTree.ResetSiteTree();
  error = LoadProject(thirdTree, TIniText(second), nullptr, nullptr);
  if (!error.empty()) std::fprintf(stderr, "second reload: %s\n", error.c_str());
  FUZZ_CHECK(error.empty(), "a project saved twice loads again");
  FUZZ_CHECK(third.Count() == again.Count(), "the same number of nodes");
  const std::string last = Saved(third);
  if (last != second) {
    size_t at = 0;
    while (at < second.size() && at < last.size() && second[at] == last[at]) ++at;
    const size_t cut = second.rfind("\r\n[", at);
    const size_t from = cut == std::string::npos ? 0 : cut;
    std::fprintf(stderr, "saved, from the section that differs:\n%s\nsaved again:\n%s\n",
                 second.substr(from, at - from + 200).c_str(), last.substr(from, at - from + 200).c_str());
  }
  FUZZ_CHECK(last == second, "saving the reloaded map gives the same file");
  ExportAll(reloaded);
  return 0;
}
