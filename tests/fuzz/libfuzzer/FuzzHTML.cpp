// A fetched page as the crawl reads it: the walker with the link extractor, the links filed
// in a site tree with the page as referer, the tag blocks the exports look for, and the spell
// check against a small dictionary.
#include <algorithm>
#include <string>

#include "FuzzCommon.h"
#include "Kel/KelSpelling.h"
#include "app/LinkExtractor.h"
#include "app/SpellCheck.h"
#include "app/SpiderTools.h"
#include "app/TagBlock.h"

namespace {

const TWordList& MainWords() {
  static const TWordList words = [] {
    TWordList list;
    for (const char* w : {"the", "a", "page", "home", "about", "link", "text", "and", "of", "to", "it's"}) list.Add(w);
    return list;
  }();
  return words;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // libFuzzer's buffer has exactly the input's size: a read past the page's end is caught.
  const std::string_view page = FuzzText(data, size);

  TSiteMap map;
  TSiteTree tree(map);
  tree.ResetSiteTree();
  map.SiteURI.Parse("http://host/dir/");
  const TURI base("http://host/dir/page.html");
  TURI uri(base);
  TSpiderNode* node = NodeOf(tree.InsertURL(uri, nullptr, false));
  TPageLinks found = ExtractPageLinks(page, base);
  ApplyPageLinks(tree, node, base, found);
  std::vector<TSpiderNode*> links = node->Links;
  std::sort(links.begin(), links.end());
  FUZZ_CHECK(std::adjacent_find(links.begin(), links.end()) == links.end(), "a target listed once");
  for (TSpiderNode* target : node->Links)
    if (target != node)
      FUZZ_CHECK(std::find(target->Referers.begin(), target->Referers.end(), node) != target->Referers.end(),
                 "every link target knows its referer");

  const auto [start, end] = GetInsertRange(std::string(page));
  FUZZ_CHECK(start >= 0 && start <= end && end <= static_cast<int32_t>(size) + 1, "insert range inside the page");

  const TWordList user;
  const TWordPositions errors = CheckSpelling(page, MainWords(), user);
  for (const auto& e : errors)
    FUZZ_CHECK(e.Index >= 1 && e.Length >= 0 && static_cast<size_t>(e.Index - 1 + e.Length) <= size,
               "spelling errors lie inside the page");
  (void)CountSpellingErrors(page, MainWords(), user);
  return 0;
}
