#include "app/LinkExtractor.h"

#include <cstdint>

#include "Kel/KelError.h"
#include "Kel/KelStr.h"
#include "Kel/KelText.h"
#include "app/Anchors.h"
#include "app/SpiderNode.h"
#include "app/SpiderTools.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\f'; }

// The address named by the content of a refresh META element (its character references
// decoded): the first ";"-separated part that begins "URL", "=", whose address runs to the end
// of its line, ";" included ("0; url=a.php?x=1;y=2"); blanks around "URL" and "=" and quotes
// around the address are ignored ("0; url=next.html", "0;URL='next.html'"). CR and LF separate
// parts as well. False when no part names an address ("30"): the element then has no link.
bool RefreshTarget(std::string_view content, std::string& target) {
  size_t start = 0;
  for (;;) {
    const size_t stop = content.find_first_of(";\r\n", start);
    std::string_view part = content.substr(start, stop == std::string_view::npos ? stop : stop - start);
    while (!part.empty() && IsBlank(part.front())) part.remove_prefix(1);
    if (part.size() >= 3 && SameText(part.substr(0, 3), "URL")) {
      const size_t from = static_cast<size_t>(part.data() - content.data());
      part = content.substr(from, content.find_first_of("\r\n", from) - from);
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

// CSS reading. Offsets run over `css`; every scan stops at its end.
bool CSSBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool IsHexDigit(char c) { return HexDigitValue(c) >= 0; }
// A name character: what may stand right before "url(" in a longer name ("myurl(").
bool CSSNameChar(char c) {
  return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '-' || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}

// Whether `css` holds `word` at `i`, ignoring ASCII case (`word` in lower case).
bool HasWordAt(std::string_view css, size_t i, std::string_view word) {
  if (css.size() - i < word.size()) return false;
  for (size_t k = 0; k < word.size(); ++k)
    if (AsciiLower(css[i + k]) != word[k]) return false;
  return true;
}

// An escape whose backslash is at `i` (not the last character): appends what it stands for and
// returns the offset after it. Up to six hex digits name a code point (one blank after them
// belongs to the escape); any other character stands for itself.
size_t ReadEscape(std::string_view css, size_t i, std::string& out) {
  size_t j = i + 1;
  if (!IsHexDigit(css[j])) {
    out += css[j];
    return j + 1;
  }
  uint32_t cp = 0;
  for (int k = 0; k < 6 && j < css.size() && IsHexDigit(css[j]); ++k, ++j) cp = cp * 16 + HexDigitValue(css[j]);
  if (j < css.size() && CSSBlank(css[j])) {
    j += (css[j] == '\r' && j + 1 < css.size() && css[j + 1] == '\n') ? 2 : 1;
  }
  AppendUTF8(out, cp);
  return j;
}

// A string whose opening quote is at `i`: its value into `out` (when given); returns the offset
// after the closing quote, or the end (an unclosed string, or one cut by a line break).
size_t ReadCSSString(std::string_view css, size_t i, std::string* out) {
  const char quote = css[i++];
  while (i < css.size()) {
    const char c = css[i];
    if (c == quote) return i + 1;
    if (c == '\n') return i;
    if (c == '\\') {
      if (i + 1 >= css.size()) return css.size();
      if (css[i + 1] == '\n' || css[i + 1] == '\r' || css[i + 1] == '\f') {  // a line continued
        i += (css[i + 1] == '\r' && i + 2 < css.size() && css[i + 2] == '\n') ? 3 : 2;
        continue;
      }
      std::string decoded;
      i = ReadEscape(css, i, out ? *out : decoded);
      continue;
    }
    if (out) *out += c;
    ++i;
  }
  return i;
}

size_t SkipCSSBlanks(std::string_view css, size_t i) {
  while (i < css.size() && CSSBlank(css[i])) ++i;
  return i;
}

// The address of "url(" whose content starts at `i` into `out`; returns the offset after ")".
size_t ReadCSSURL(std::string_view css, size_t i, std::string& out) {
  i = SkipCSSBlanks(css, i);
  if (i < css.size() && (css[i] == '"' || css[i] == '\'')) {
    i = ReadCSSString(css, i, &out);
  } else {
    while (i < css.size() && css[i] != ')' && !CSSBlank(css[i])) {
      if (css[i] == '\\') {
        // A backslash ending the text escapes nothing and is dropped.
        i = i + 1 < css.size() ? ReadEscape(css, i, out) : i + 1;
      } else {
        out += css[i++];
      }
    }
  }
  const size_t close = css.find(')', i);
  return close == std::string_view::npos ? css.size() : close + 1;
}

void AddCSSTarget(std::string_view target, const std::function<void(std::string_view)>& add) {
  while (!target.empty() && CSSBlank(target.front())) target.remove_prefix(1);
  while (!target.empty() && CSSBlank(target.back())) target.remove_suffix(1);
  if (target.empty() || HasWordAt(target, 0, "data:")) return;
  add(target);
}

bool SrcsetBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

// A lower-case copy of a short name into `buffer`; empty when the name is longer than `N`.
template <size_t N>
std::string_view LowerName(const std::string& name, char (&buffer)[N]) {
  if (name.size() > N) return std::string_view();
  for (size_t k = 0; k < name.size(); ++k) buffer[k] = AsciiLower(name[k]);
  return std::string_view(buffer, name.size());
}

}  // namespace

void ForEachCSSLink(std::string_view css, const std::function<void(std::string_view)>& add) {
  std::string target;
  size_t i = 0;
  while (i < css.size()) {
    const char c = css[i];
    if (c == '/' && i + 1 < css.size() && css[i + 1] == '*') {
      const size_t end = css.find("*/", i + 2);
      i = end == std::string_view::npos ? css.size() : end + 2;
    } else if (c == '"' || c == '\'') {
      i = ReadCSSString(css, i, nullptr);
    } else if (c == '\\') {
      i += 2;  // an escaped character outside a string starts nothing
    } else if ((c == 'u' || c == 'U') && HasWordAt(css, i, "url(") && (i == 0 || !CSSNameChar(css[i - 1]))) {
      target.clear();
      i = ReadCSSURL(css, i + 4, target);
      AddCSSTarget(target, add);
    } else if (c == '@' && HasWordAt(css, i, "@import") && (i + 7 >= css.size() || !CSSNameChar(css[i + 7]))) {
      // "@import url(x)" is read as a url() by the next passes; a string is read here.
      i = SkipCSSBlanks(css, i + 7);
      if (i < css.size() && (css[i] == '"' || css[i] == '\'')) {
        target.clear();
        i = ReadCSSString(css, i, &target);
        AddCSSTarget(target, add);
      }
    } else {
      ++i;
    }
  }
}

void ForEachSrcsetLink(std::string_view srcset, const std::function<void(std::string_view)>& add) {
  size_t i = 0;
  const size_t n = srcset.size();
  for (;;) {
    while (i < n && (SrcsetBlank(srcset[i]) || srcset[i] == ',')) ++i;
    if (i >= n) return;
    const size_t start = i;
    while (i < n && !SrcsetBlank(srcset[i])) ++i;
    std::string_view address = srcset.substr(start, i - start);
    if (!address.empty() && address.back() == ',') {
      // Commas ending the address end the candidate: it has no descriptors.
      while (!address.empty() && address.back() == ',') address.remove_suffix(1);
      if (!address.empty()) add(address);
      continue;
    }
    add(address);
    // The descriptors run to the next comma outside parentheses.
    bool inParens = false;
    for (; i < n; ++i) {
      const char c = srcset[i];
      if (c == '(') inParens = true;
      else if (c == ')') inParens = false;
      else if (c == ',' && !inParens) {
        ++i;
        break;
      }
    }
  }
}

THTMLLinkExtractor::THTMLLinkExtractor(const TURI& baseURI, bool pageResources)
    : PageResources(pageResources), BaseURI(baseURI), LinkBase_(baseURI) {}

void THTMLLinkExtractor::TakeBase(std::string_view href) {
  // Only the first base element with an address counts, whatever it names.
  if (BaseTaken_) return;
  BaseTaken_ = true;
  TURI base;
  try {
    ResolveLink(base, href, &BaseURI);
  } catch (const EError&) {
    return;  // a malformed escape: the page's own address stays the base
  }
  // A base of another kind (javascript:, data:, mailto:) cannot hold pages: it is ignored.
  if (IsSpecialScheme(base.Protocol) || base.Protocol.empty() || base.Host.empty()) return;
  base.Bookmark.clear();
  LinkBase_ = std::move(base);
  // The same text may now name another address.
  Seen_.clear();
}

void THTMLLinkExtractor::AddCSSLinks(std::string_view css) {
  ForEachCSSLink(css, [this](std::string_view link) { AddLink(link); });
}

void THTMLLinkExtractor::AddSrcsetLinks(std::string_view srcset) {
  ForEachSrcsetLink(srcset, [this](std::string_view link) { AddLink(link); });
}

void THTMLLinkExtractor::AddLink(std::string_view link) {
  if (Stopped && Stopped()) {
    StopWalk();
    return;
  }
  // A text seen before names the same target: the page links to it once.
  if (!Seen_.emplace(link).second) return;
  TURI target;
  try {
    ResolveLink(target, link, &LinkBase_);
  } catch (const EError&) {
    // A malformed percent escape spoils this link only; the page's other links still count.
    return;
  }
  Found_.Links.push_back(std::move(target));
}

TPageLinks THTMLLinkExtractor::Result() {
  if (InStyle) {
    // A style block that the page never closes runs to its end.
    InStyle = false;
    AddCSSLinks(std::string_view(StyleStart_, static_cast<size_t>(Cursor - StyleStart_)));
  }
  Found_.Title = TitleText;
  CompactAnchorHashes(Found_.Anchors);
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
  if (InScript || InStyle) return;
  if (CollectAnchors && !InTitle) {
    // "id" on any element, "name" on <a>: the places a fragment can name.
    if ((AttrName.size() == 2 && SameText(AttrName, "id")) ||
        (AttrName.size() == 4 && SameText(AttrName, "name") && IsTag("a")))
      Found_.Anchors.push_back(AnchorHash(AttrValue.find('&') == std::string::npos
                                              ? std::string_view(AttrValue)
                                              : std::string_view(DecodeCharacterReferences(AttrValue))));
  }
  // Names are compared in lower case; the longest link-bearing tag has six letters, the longest
  // attribute ten ("xlink:href").
  char attrBuffer[10], tagBuffer[6];
  const std::string_view attr = LowerName(AttrName, attrBuffer);
  if (attr.empty()) return;
  if (attr == "href" || attr == "xlink:href") {
    if (attr == "href" && IsTag("base")) {
      TakeBase(AttrValue);
      return;
    }
    // SVG drawn inline in the page: its images and the sprite sheets its "use" elements draw
    // from. A reference to the page's own element ("#icon") loads nothing.
    if (PageResources && SVGDepth_ > 0 && (IsTag("image") || IsTag("use"))) {
      if (!AttrValue.empty() && AttrValue.front() != '#') AddLink(AttrValue);
      return;
    }
    if (attr != "href") return;
  }
  if (PageResources && attr == "style") {
    AddCSSLinks(AttrValue);
    return;
  }
  const std::string_view tag = LowerName(TagName, tagBuffer);
  if (tag.empty()) return;
  // The eight classic pairs: a/area href; img/frame/embed/object/script/iframe src.
  // Page resources add link href, img/source srcset, source/video/audio/track/input src,
  // video poster and object data.
  if (attr == "href") {
    if (tag == "a" || tag == "area" || (PageResources && tag == "link")) AddLink(AttrValue);
  } else if (attr == "src") {
    if (tag == "img" || tag == "frame" || tag == "embed" || tag == "object" || tag == "script" || tag == "iframe" ||
        (PageResources && (tag == "source" || tag == "video" || tag == "audio" || tag == "track" || tag == "input")))
      AddLink(AttrValue);
  } else if (PageResources) {
    if (attr == "srcset") {
      if (tag == "img" || tag == "source") AddSrcsetLinks(AttrValue);
    } else if ((attr == "poster" && tag == "video") || (attr == "data" && tag == "object")) {
      AddLink(AttrValue);
    }
  }
}

void THTMLLinkExtractor::DoEndTag() {
  // Tag names compared by length first: most tags are none of these.
  switch (TagName.size()) {
    case 4:
      if (SVGDepth_ > 0 && IsTag("/SVG")) {
        --SVGDepth_;
      } else if (IsTag("META")) {
        if (SameText(MetaName, "description")) {
          Found_.HasDescription = true;
          Found_.Description = MetaContent;
        }
        // Character references are decoded first ("url=a.php?x=1&amp;y=2" keeps "y=2"); the
        // address's own "&" then stays itself when the link is decoded again.
        if (std::string target;
            SameText(MetaHttpEquiv, "refresh") && RefreshTarget(DecodeCharacterReferences(MetaContent), target))
          AddLink(ReplaceAll(target, "&", "&amp;"));
      }
      break;
    case 5:
      if (IsTag("TITLE")) {
        InTitle = true;
      } else if (PageResources && !InScript && !InStyle && IsTag("STYLE")) {
        // The block's text is read as CSS when it closes; markup inside it is not HTML.
        InStyle = true;
        StyleStart_ = Cursor;
      }
      break;
    case 3:
      if (PageResources && IsTag("SVG")) ++SVGDepth_;
      break;
    case 6:
      if (IsTag("/TITLE")) {
        InTitle = false;
      } else if (!InStyle && IsTag("SCRIPT")) {
        // Set only once the script tag has ended, so its own "src" still counts; markup that
        // script code writes yields no link.
        InScript = true;
      } else if (InStyle && IsTag("/STYLE")) {
        InStyle = false;
        AddCSSLinks(std::string_view(StyleStart_, static_cast<size_t>(DocStart + TagPos - 1 - StyleStart_)));
      }
      break;
    case 7:
      if (IsTag("/SCRIPT")) InScript = false;
      break;
    default:
      break;
  }
}

TPageLinks ExtractPageLinks(std::string_view body, const TURI& page, const std::function<bool()>& stopped,
                            bool pageResources, bool anchors) {
  THTMLLinkExtractor extractor(page, pageResources);
  extractor.Stopped = stopped;
  extractor.CollectAnchors = anchors;
  extractor.Walk(body);
  TPageLinks found = extractor.Result();
  // A walk cut short has not seen every name: its links are filed, its anchors not judged.
  found.AnchorsRead = anchors && !(stopped && stopped());
  if (!found.AnchorsRead) found.Anchors = {};
  return found;
}

TPageLinks ExtractStyleSheetLinks(std::string_view css, const TURI& sheet, const std::function<bool()>& stopped) {
  THTMLLinkExtractor extractor(sheet);
  extractor.Stopped = stopped;
  extractor.AddCSSLinks(css);
  return extractor.Result();
}

namespace {

// Every link inserted with `source` as referer and asked to be checked, its node added once to
// the source's Links, in order, until `stopped` (asked before each link) returns true.
// With `anchors`, every link carrying a fragment is judged there.
void InsertLinks(TSiteTree& tree, TSpiderNode* source, const TURI& sourceURI, TPageLinks& found,
                 const std::function<bool()>& stopped, TAnchorMap* anchors = nullptr) {
  TURI referer(sourceURI);  // link insertion normalises it once; the same referer for every link
  std::string fragment;
  for (TURI& target : found.Links) {
    if (stopped && stopped()) break;
    // Link insertion empties the fragment: it is taken out first.
    if (anchors) fragment.swap(target.Bookmark);
    TTreeEntry* entry = tree.InsertURL(target, &referer, true);
    TSpiderNode* node = NodeOf(entry);
    source->AddToLinks(node);
    if (anchors && !fragment.empty()) {
      anchors->LinkFound(source, node, fragment);
      fragment.clear();
    }
  }
}

}  // namespace

void ApplyStyleSheetLinks(TSiteTree& tree, TSpiderNode* sheet, const TURI& sheetURI, TPageLinks& found,
                          const std::function<bool()>& stopped) {
  KelAssert(sheet, "a stylesheet's links need its spider node");
  InsertLinks(tree, sheet, sheetURI, found, stopped);
}

void ApplyPageLinks(TSiteTree& tree, TSpiderNode* page, const TURI& pageURI, TPageLinks& found,
                    const std::function<bool()>& stopped) {
  KelAssert(page, "a page's links need the page's spider node");
  TAnchorMap* anchors = nullptr;
  if (found.AnchorsRead) {
    // Kept before the links are judged: a link to a place on the page itself is judged at once.
    anchors = &tree.Map.Anchors;
    anchors->PageRead(page, std::move(found.Anchors));
    found.Anchors = {};
  }
  InsertLinks(tree, page, pageURI, found, stopped, anchors);
  page->Links.shrink_to_fit();  // a read page's links are complete: no room kept for more
  // A page without a description keeps the one it had.
  page->SetTexts(found.Title, found.HasDescription ? std::string_view(found.Description) : page->Description());
}
