// Reads one fetched HTML page for the crawl: its links in document order, its title and its
// description. With page resources on (the default), the links include what the page loads
// besides its anchors and frames: stylesheets and icons (link href), srcset candidates, media
// sources and posters, object data, image buttons, url() and @import in style blocks and
// style attributes, and the images and sprite sheets of inline SVG (image and use with href or
// xlink:href); off, only the eight classic tag/attribute pairs count. Links are resolved against
// the page's first base element with an address, from that element on; a base that cannot hold
// pages (javascript:, data:) is ignored. A stylesheet of the
// site is read the same way for its @import and url() targets (ExtractStyleSheetLinks). The walk touches no model, so
// that the worker thread that fetched the page can make it; the user-interface thread then files what it found
// (ApplyPageLinks): every link in the site tree with the page as referer (which may queue a header check), each target
// added once to the page's Links, then the title and the description stored in the page's node.
//
// The crawl's page-parsing step, in this order:
//
//   TPageLinks found = ExtractPageLinks(body, pageURI);   // on the worker, or here
//   ApplyPageLinks(tree, pageNode, pageURI, found);        // links, then title and description
//   pageNode->RefreshIcon();
//   pageNode->SpellingErrors = <spelling errors counted in the same body>;
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "Kel/KelHTMLWalk.h"
#include "Kel/KelURI.h"

class TSiteTree;
class TSpiderNode;

// What a page's walk found.
struct TPageLinks {
  std::vector<TURI> Links;      // resolved against the page, in order of first appearance
  std::string Title;            // the title text as written; empty without a title element
  bool HasDescription = false;  // a description META element was found
  std::string Description;      // the content of the last one
  // With anchors collected: the page was walked to its end, and Anchors holds the hashes
  // (AnchorHash) of the names it offers as fragment targets, sorted, without repeats.
  bool AnchorsRead = false;
  std::vector<uint64_t> Anchors;
};

class THTMLLinkExtractor : public THTMLWalk {
 public:
  // `baseURI` is the address the page was fetched from (copied). `pageResources` off: only the
  // eight classic tag/attribute pairs and the refresh target yield links.
  explicit THTMLLinkExtractor(const TURI& baseURI, bool pageResources = true);
  THTMLLinkExtractor(const THTMLLinkExtractor&) = delete;
  THTMLLinkExtractor& operator=(const THTMLLinkExtractor&) = delete;

  // Takes one link, as written in the page: resolved against the page and kept, once per text.
  // A link that cannot be resolved (a malformed percent escape such as "100%.html") is skipped,
  // and the rest of the page is still read.
  void AddLink(std::string_view link);
  // Takes every @import and url() target of a stylesheet's text (data: addresses skipped).
  void AddCSSLinks(std::string_view css);
  // Takes every candidate address of a srcset list, descriptors dropped.
  void AddSrcsetLinks(std::string_view srcset);
  // The links, title and description found; the title as collected so far. A style block left
  // open by the end of the page is read here, so the walked text must still be alive.
  TPageLinks Result();

  // Asked between links: once it answers true, the walk ends (the request was terminated).
  std::function<bool()> Stopped;

  bool InTitle = false;   // between a TITLE tag and the next /TITLE tag
  bool InScript = false;  // between a SCRIPT tag and the next /SCRIPT tag
  bool InStyle = false;   // between a STYLE tag and the next /STYLE tag (page resources only)
  const bool PageResources;
  // Collect the fragment targets the page offers: every "id" attribute and the "name" of every
  // <a>, character references decoded; names written by scripts, in style blocks and in comments
  // are not offered.
  bool CollectAnchors = false;
  const TURI BaseURI;     // the page's address; the page's base element is resolved against it
  std::string TitleText;  // the title text collected so far
  // Values of the current META tag's attributes; emptied at the beginning of every tag.
  std::string MetaContent;
  std::string MetaName;
  std::string MetaHttpEquiv;

 protected:
  void DoBeginTag() override;
  void DoEndTag() override;
  void DoText() override;
  void DoAttributeValue() override;

 private:
  // The first base element with an address (one that can hold pages) becomes the base of the
  // links after it.
  void TakeBase(std::string_view href);

  TPageLinks Found_;
  TURI LinkBase_;           // what links are resolved against: the page's address or its base
  bool BaseTaken_ = false;  // a base element with an href was met
  int SVGDepth_ = 0;        // open svg elements (page resources only)
  std::unordered_set<std::string> Seen_;  // link texts taken already
  const char* StyleStart_ = nullptr;      // first character of the open style block's content
};

// Walks `body` (the page fetched from `page`) for its links, title and description, and with
// `anchors` for the fragment targets it offers (AnchorsRead when the walk was not stopped).
TPageLinks ExtractPageLinks(std::string_view body, const TURI& page, const std::function<bool()>& stopped = {},
                            bool pageResources = true, bool anchors = false);
// Reads a stylesheet (fetched from `sheet`) for its @import and url() targets, resolved against
// the stylesheet's own address. Title and description stay empty.
TPageLinks ExtractStyleSheetLinks(std::string_view css, const TURI& sheet, const std::function<bool()>& stopped = {});

// Calls `add` with every @import and url() target of CSS text, in order: quoted or not, CSS
// escapes decoded, blanks around the address dropped; empty and data: addresses skipped.
// Comments and other strings are passed over.
void ForEachCSSLink(std::string_view css, const std::function<void(std::string_view)>& add);
// Calls `add` with every candidate address of a srcset attribute, in order, its width or density
// descriptor dropped; an address may hold commas ("a,b.jpg 2x").
void ForEachSrcsetLink(std::string_view srcset, const std::function<void(std::string_view)>& add);

// Files what a page's walk found: every link inserted with the page as referer and asked to be
// checked, its node added once to the page's Links, in document order; then the page's title
// (always) and description (when the page has one) stored. `found.Links` are normalised in place.
// When the walk read the page's anchors, they are kept in the site map's Anchors first, and every
// link carrying a fragment is judged there (a link to the page itself included).
// Once `stopped` returns true (it is asked before each link) the remaining links are left out.
void ApplyPageLinks(TSiteTree& tree, TSpiderNode* page, const TURI& pageURI, TPageLinks& found,
                    const std::function<bool()>& stopped = {});
// Files what a stylesheet's reading found: the links only, as ApplyPageLinks files them, the
// stylesheet as referer and its node's Links holding them.
void ApplyStyleSheetLinks(TSiteTree& tree, TSpiderNode* sheet, const TURI& sheetURI, TPageLinks& found,
                          const std::function<bool()>& stopped = {});
