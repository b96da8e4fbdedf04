// Reads one fetched HTML page for the crawl: its title, its description and every link, each
// link filed in the site tree with the page as referer (which may queue a header check) and
// added once to the page's Links.
//
// One extractor serves one page. The crawl's page-parsing step runs, in this order:
//
//   {
//     THTMLLinkExtractor extractor(tree, pageURI, pageNode);
//     extractor.Walk(body);
//   }                                  // destruction stores the title, after all links
//   pageNode->RefreshIcon();
//   pageNode->SpellingErrors = <spelling errors counted in the same body>;
#pragma once

#include <string>
#include <string_view>

#include "Kel/KelHTMLWalk.h"
#include "Kel/KelURI.h"
#include "app/SpiderNode.h"
#include "app/SpiderTools.h"

class THTMLLinkExtractor : public THTMLWalk {
 public:
  // `baseURI` is the address the page was fetched from (copied) and `node` its spider node
  // (required, not owned). Links are filed in `tree`.
  THTMLLinkExtractor(TSiteTree& tree, const TURI& baseURI, TSpiderNode* node);
  THTMLLinkExtractor(const THTMLLinkExtractor&) = delete;
  THTMLLinkExtractor& operator=(const THTMLLinkExtractor&) = delete;
  // Stores the collected title into the node, unconditionally: a page without a title
  // element gets an empty title.
  ~THTMLLinkExtractor() override;

  // Files one link, as written in the page: resolved against the page, inserted with the page
  // as referer and asked to be checked, its node added to the page's Links. A link that cannot
  // be resolved (a malformed percent escape such as "100%.html") is skipped: it gets no node
  // and no entry in Links, and the rest of the page is still read.
  void AddLink(std::string_view link);

  bool InTitle = false;     // between a TITLE tag and the next /TITLE tag
  bool InScript = false;    // between a SCRIPT tag and the next /SCRIPT tag
  const TURI BaseURI;       // the page's address; relative links are resolved against it
  TSpiderNode* const Node;  // receives title, description and links; not owned
  std::string TitleText;    // the title text collected so far
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
  TSiteTree& Tree_;
  TURI Referer_;  // the page's address as link insertion's referer (which normalises it)
};
