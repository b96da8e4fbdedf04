// Reads one fetched HTML page for the crawl: its links in document order, its title and its
// description. The walk touches no model, so that the worker thread that fetched the page can
// make it; the user-interface thread then files what it found (ApplyPageLinks): every link in
// the site tree with the page as referer (which may queue a header check), each target added
// once to the page's Links, then the title and the description stored in the page's node.
//
// The crawl's page-parsing step, in this order:
//
//   TPageLinks found = ExtractPageLinks(body, pageURI);   // on the worker, or here
//   ApplyPageLinks(tree, pageNode, pageURI, found);        // links, then title and description
//   pageNode->RefreshIcon();
//   pageNode->SpellingErrors = <spelling errors counted in the same body>;
#pragma once

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
};

class THTMLLinkExtractor : public THTMLWalk {
 public:
  // `baseURI` is the address the page was fetched from (copied).
  explicit THTMLLinkExtractor(const TURI& baseURI);
  THTMLLinkExtractor(const THTMLLinkExtractor&) = delete;
  THTMLLinkExtractor& operator=(const THTMLLinkExtractor&) = delete;

  // Takes one link, as written in the page: resolved against the page and kept, once per text.
  // A link that cannot be resolved (a malformed percent escape such as "100%.html") is skipped,
  // and the rest of the page is still read.
  void AddLink(std::string_view link);
  // The links, title and description found; the title as collected so far.
  TPageLinks Result();

  // Asked between links: once it answers true, the walk ends (the request was terminated).
  std::function<bool()> Stopped;

  bool InTitle = false;   // between a TITLE tag and the next /TITLE tag
  bool InScript = false;  // between a SCRIPT tag and the next /SCRIPT tag
  const TURI BaseURI;     // the page's address; relative links are resolved against it
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
  TPageLinks Found_;
  std::unordered_set<std::string> Seen_;  // link texts taken already
};

// Walks `body` (the page fetched from `page`) for its links, title and description.
TPageLinks ExtractPageLinks(std::string_view body, const TURI& page, const std::function<bool()>& stopped = {});

// Files what a page's walk found: every link inserted with the page as referer and asked to be
// checked, its node added once to the page's Links, in document order; then the page's title
// (always) and description (when the page has one) stored. `found.Links` are normalised in place.
// Once `stopped` returns true (it is asked before each link) the remaining links are left out.
void ApplyPageLinks(TSiteTree& tree, TSpiderNode* page, const TURI& pageURI, TPageLinks& found,
                    const std::function<bool()>& stopped = {});
