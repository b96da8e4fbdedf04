#include "app/LinkExtractor.h"

#include "Kel/KelError.h"
#include "Kel/KelStr.h"
#include "app/SpiderNode.h"
#include "app/SpiderTools.h"

namespace {

// The link named by the content of a refresh META element: the text after "=" of the first
// ";"-separated part whose text before its first "=" is "URL" (any case, no blanks trimmed);
// empty when no part has that form ("30", "5; URL=x"). CR and LF separate parts as well.
std::string RefreshTarget(std::string_view content) {
  size_t start = 0;
  for (;;) {
    const size_t stop = content.find_first_of(";\r\n", start);
    const std::string_view line = content.substr(start, stop == std::string_view::npos ? stop : stop - start);
    const size_t eq = line.find('=');
    if (eq != std::string_view::npos && SameText(line.substr(0, eq), "URL")) return std::string(line.substr(eq + 1));
    if (stop == std::string_view::npos) return std::string();
    start = stop + 1;
  }
}

}  // namespace

THTMLLinkExtractor::THTMLLinkExtractor(const TURI& baseURI) : BaseURI(baseURI) {}

void THTMLLinkExtractor::AddLink(std::string_view link) {
  if (Stopped && Stopped()) {
    StopWalk();
    return;
  }
  // A text seen before names the same target: the page links to it once.
  if (!Seen_.emplace(link).second) return;
  TURI target;
  try {
    ResolveLink(target, link, &BaseURI);
  } catch (const EError&) {
    // A malformed percent escape spoils this link only; the page's other links still count.
    return;
  }
  Found_.Links.push_back(std::move(target));
}

TPageLinks THTMLLinkExtractor::Result() {
  Found_.Title = TitleText;
  return std::move(Found_);
}

void THTMLLinkExtractor::DoBeginTag() {
  MetaContent.clear();
  MetaName.clear();
  MetaHttpEquiv.clear();
}

void THTMLLinkExtractor::DoText() {
  if (InTitle) TitleText += Text;
}

void THTMLLinkExtractor::DoAttributeValue() {
  if (IsTag("META")) {
    // Recorded inside script blocks too.
    if (SameText(AttrName, "name")) MetaName = AttrValue;
    else if (SameText(AttrName, "content")) MetaContent = AttrValue;
    else if (SameText(AttrName, "http-equiv")) MetaHttpEquiv = AttrValue;
  }
  if (InScript) return;
  // The eight link-bearing pairs: a/area href; img/frame/embed/object/script/iframe src.
  bool link = false;
  if (SameText(AttrName, "href")) {
    link = IsTag("a") || IsTag("area");
  } else if (SameText(AttrName, "src")) {
    link = IsTag("img") || IsTag("frame") || IsTag("embed") || IsTag("object") || IsTag("script") || IsTag("iframe");
  }
  if (link) AddLink(AttrValue);
}

void THTMLLinkExtractor::DoEndTag() {
  if (IsTag("TITLE")) InTitle = true;
  else if (IsTag("/TITLE")) InTitle = false;
  // Set only once the script tag has ended, so its own "src" still counts; markup that script
  // code writes yields no link.
  if (IsTag("SCRIPT")) InScript = true;
  else if (IsTag("/SCRIPT")) InScript = false;
  if (IsTag("META")) {
    if (SameText(MetaName, "description")) {
      Found_.HasDescription = true;
      Found_.Description = MetaContent;
    }
    if (SameText(MetaHttpEquiv, "refresh")) AddLink(RefreshTarget(MetaContent));
  }
}

TPageLinks ExtractPageLinks(std::string_view body, const TURI& page, const std::function<bool()>& stopped) {
  THTMLLinkExtractor extractor(page);
  extractor.Stopped = stopped;
  extractor.Walk(body);
  return extractor.Result();
}

void ApplyPageLinks(TSiteTree& tree, TSpiderNode* page, const TURI& pageURI, TPageLinks& found,
                    const std::function<bool()>& stopped) {
  KelAssert(page, "a page's links need the page's spider node");
  TURI referer(pageURI);  // link insertion normalises it once; the same referer for every link
  for (TURI& target : found.Links) {
    if (stopped && stopped()) break;
    TTreeEntry* entry = tree.InsertURL(target, &referer, true);
    page->AddToLinks(NodeOf(entry));
  }
  page->Title = found.Title;
  if (found.HasDescription) page->Description = found.Description;
}
