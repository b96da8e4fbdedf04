#include "app/LinkExtractor.h"

#include "Kel/KelError.h"
#include "Kel/KelStr.h"
#include "app/SpiderNode.h"
#include "app/SpiderTools.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\f'; }

// The address named by the content of a refresh META element: the first ";"-separated part
// that reads "URL", "=", address, with blanks around "URL" and "=" and quotes around the address
// ignored ("0; url=next.html", "0;URL='next.html'"). CR and LF separate parts as well. False
// when no part names an address ("30"): the element then has no link.
bool RefreshTarget(std::string_view content, std::string& target) {
  size_t start = 0;
  for (;;) {
    const size_t stop = content.find_first_of(";\r\n", start);
    std::string_view part = content.substr(start, stop == std::string_view::npos ? stop : stop - start);
    while (!part.empty() && IsBlank(part.front())) part.remove_prefix(1);
    if (part.size() >= 3 && SameText(part.substr(0, 3), "URL")) {
      part.remove_prefix(3);
      while (!part.empty() && IsBlank(part.front())) part.remove_prefix(1);
      if (!part.empty() && part.front() == '=') {
        part.remove_prefix(1);
        while (!part.empty() && IsBlank(part.front())) part.remove_prefix(1);
        while (!part.empty() && IsBlank(part.back())) part.remove_suffix(1);
        if (!part.empty() && (part.front() == '\'' || part.front() == '"')) {
          const char quote = part.front();
          part.remove_prefix(1);
          const size_t close = part.find(quote);
          if (close != std::string_view::npos) part = part.substr(0, close);
        }
        if (part.empty()) return false;
        target = std::string(part);
        return true;
      }
    }
    if (stop == std::string_view::npos) return false;
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
    if (std::string target; SameText(MetaHttpEquiv, "refresh") && RefreshTarget(MetaContent, target)) AddLink(target);
  }
}

TPageLinks ExtractPageLinks(std::string_view body, const TURI& page, const std::function<bool()>& stopped) {
  THTMLLinkExtractor extractor(page);
  extractor.Stopped = stopped;
  extractor.Walk(body);
  return extractor.Result();
}

void ApplyPageLinks(TSiteTree& tree, TSpiderNode* page, const TURI& pageURI, TPageLinks& found) {
  KelAssert(page, "a page's links need the page's spider node");
  TURI referer(pageURI);  // link insertion normalises it once; the same referer for every link
  for (TURI& target : found.Links) {
    TTreeEntry* entry = tree.InsertURL(target, &referer, true);
    page->AddToLinks(NodeOf(entry));
  }
  page->Title = found.Title;
  if (found.HasDescription) page->Description = found.Description;
}
