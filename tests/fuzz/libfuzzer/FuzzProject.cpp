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

  TSiteMap again;
  TSiteTree reloaded(again);
  reloaded.ResetSiteTree();
  const std::string error = LoadProject(reloaded, TIniText(first), nullptr, nullptr);
  if (!error.empty()) std::fprintf(stderr, "reload: %s\n", error.c_str());
  FUZZ_CHECK(error.empty(), "a saved project loads again");
  FUZZ_CHECK(again.Count() == map.Count(), "the same number of nodes");
  FUZZ_CHECK(Saved(again) == first, "saving the reloaded map gives the same file");
  ExportAll(reloaded);
  return 0;
}
