// The crawl controller: Start and Stop, and the two completions that record every answer,
// fetch the site's pages in full, check redirect targets and parse pages. It keeps the crawl's
// state (the request pool, the redirect checks made, the pages fetched under a moved scheme,
// the number of answers handled); the site itself lives in the main window's tree and map.
// Everything here runs on the user-interface thread; the crawl is driven by link insertion and
// these completions.
#pragma once

#include <atomic>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "Kel/KelHTTPTypes.h"
#include "app/CrawlGate.h"
#include "app/SitemapFeed.h"

class TFormHTTPClient;
class TFormHTTPSettings;
class TFormTessaly;
class THTTPClient;
class TSpellingDictionaries;
class TSpiderNode;
class TURI;
class TWordList;
struct TPageWork;
struct TPageInputs;
struct TRedirectChain;

class TCrawlController {
 public:
  // The most redirects followed from one address, as browsers follow them.
  static constexpr size_t kMaxRedirects = 20;

  explicit TCrawlController(TFormTessaly& main);
  TCrawlController(const TCrawlController&) = delete;
  TCrawlController& operator=(const TCrawlController&) = delete;

  // The request pool of the crawl: the tree's header checks go there, and its status
  // notification reaches the main window.
  void AttachPool(TFormHTTPClient& pool);
  TFormHTTPClient* Pool() const { return Pool_; }
  // The dictionaries of the spelling count (none: pages get no count).
  TSpellingDictionaries* Dictionaries = nullptr;
  // "Check Page Resources": pages are read for stylesheets, srcset candidates, media, object
  // data and CSS url() targets too, and the site's stylesheets are fetched in full and read for
  // theirs. Off: only the eight classic tag/attribute pairs of pages count.
  bool CheckPageResources = true;
  // "Check Anchors": the pages read keep the names they offer as fragment targets, and every link
  // carrying a fragment to a page of the site is judged there (the site map's Anchors). Off: no
  // name is collected and no link judged.
  bool CheckAnchors = true;
  // Set from any thread, or from a signal handler (Ctrl-C), to end the crawl at once: a page
  // being walked or filed stops between two links, and its spelling is not counted. None: pages
  // stop only when their request is terminated.
  const std::atomic<bool>* Interrupted = nullptr;
  // What header checks pass through on their way to the pool: exclude patterns and robots.txt.
  TCrawlGate Gate;
  // "Read the site's sitemap": the site's sitemaps add their addresses at the start of a crawl,
  // and the pages only they name are its orphan pages.
  TSitemapFeed Sitemaps;
  // "Largest depth": pages this many clicks from the start page are checked and read, but their
  // links are not followed. 0: no limit.
  int MaxDepth = 0;
  // The include patterns: addresses outside the site root that are requested and read as the
  // site's own pages. None: only the site's. Throws EError naming the setting on a bad pattern.
  void SetIncludePatterns(const std::vector<std::string>& patterns);
  // The exclude patterns: addresses listed but never requested ("Excluded").
  void SetExcludePatterns(const std::vector<std::string>& patterns);
  // "User agent" (empty: the program's own) and the extra request headers ("Name: value"),
  // sent to the site's own hosts only (the start address's host and the included addresses).
  // Throws EError naming the setting on a header without ":" or with a line break.
  void SetIdentity(const std::string& userAgent, const std::vector<std::string>& headers);
  // HTTP Basic or Digest credentials, sent only to the start address's scheme, host and port.
  // An empty user name: none.
  void SetCredentials(const std::string& username, const std::string& password);
  // The site's login when its server answers 401 and no credentials were given: asked of the
  // user (Prompter::AskLogin) at most kMaxLoginQuestions times a crawl, kept for the run per site
  // (scheme, host and port) and, when the user says so, in the desktop's keyring, from which a
  // later crawl of the site takes it. Credentials given with SetCredentials come first.
  static constexpr int kMaxLoginQuestions = 3;
  // The site key of the keyring entry: "Tessaly login " and the site's scheme, host and port.
  static std::string LoginKey(const std::string& site);
  // What every request carries (none: the program's own identity); any thread.
  std::shared_ptr<const TRequestIdentity> Identity() const;
  // The identity's settings as given (user agent, headers, credentials).
  const TRequestIdentity& IdentitySettings() const { return IdentitySettings_; }

  // Where the crawl's limits come from ("Largest site (addresses)", "Largest queue
  // (requests)"), read at every Start. None: the built-in limits of 4000 and 10000.
  const TFormHTTPSettings* Settings = nullptr;

  // Start: a fresh crawl from the address box, or the resumption of the current one. With an
  // empty queue, a map whose crawl is unfinished (HasUnfinishedWork) and the address box naming
  // its site, it asks to resume as for a stopped crawl, and Yes continues it (Continue).
  void Start();
  // Goes on with the crawl of the map as it is (a project opened, a crawl ended early): queues
  // the header check of every address never checked and the full request of every page never
  // read, lifts a limit that the map is already past, and resumes the pool. Returns the number
  // of requests queued.
  size_t Continue();
  // Stop: no new requests start; running ones finish.
  void Stop();
  // Files the answered address (with its referer) and records the answer in its node.
  TSpiderNode* AcceptResponse(THTTPClient& client);
  // Completion of a header request: a page of the site, or an unclear answer, is fetched in full.
  void HeaderCompletion(THTTPClient& sender);
  // Completion of a full request or of a redirect check: redirects are checked, pages parsed.
  // `work`: what the worker found in the page already (none: the page is read here). `chain`:
  // for a redirect check, the addresses of its chain of redirects so far.
  void FullCompletion(THTTPClient& sender, TPageWork* work = nullptr,
                      const std::shared_ptr<const TRedirectChain>& chain = nullptr);
  // Title, description and links of a fetched page, then its spelling count.
  void ParsePage(TSpiderNode* node, const std::string& body, const TURI& page);
  // The @import and url() targets of a fetched stylesheet, held in its node's Links.
  void ParseStyleSheet(TSpiderNode* node, const std::string& body, const TURI& sheet);

  // Forgets the crawl's state: called when the map is cleared.
  void Reset();
  // Requests whose completion has run since the last reset.
  long RequestsDone() const { return RequestsDone_; }
  // When the current crawl started, and when its last answer was handled (0: none since the
  // last reset, as after loading a project).
  std::time_t Started() const { return Started_; }
  std::time_t LastAnswer() const { return LastAnswer_; }
  // What the user should know about how the crawl went, beyond the map: one line each (a
  // robots.txt asking for a longer Crawl-delay than is honoured, ...). Cleared by Reset.
  const std::vector<std::string>& Notes() const { return Notes_; }

 private:
  // Queues the full request of a page: its walk and spelling count run on the worker that
  // fetches it, against the site root and the word lists as they are now.
  void AddPageRequest(const std::string& url, const std::string& referer);
  // Checks the Location target of a 301 or 302 answer with a header request whose answer goes to
  // the full completion; a target that is not requested is filed without a request. A target
  // already in the chain, or a chain of more than kMaxRedirects hops, ends the chain: its first
  // address is marked broken ("Redirect loop", "Too many redirects").
  // `from`: the node that answered with the redirect (links to its fragments are judged where the
  // redirect leads).
  void CheckRedirect(THTTPClient& sender, const std::shared_ptr<const TRedirectChain>& chain, TSpiderNode* from);
  // Interrupted is set.
  bool Stopping() const;
  // The limits of Settings into the tree and the pool.
  void ApplyLimits();
  // The user word list as it is now, copied when it has changed: what workers read.
  std::shared_ptr<const TWordList> UserWords();
  // What the workers that read pages need, the same object while nothing changed.
  std::shared_ptr<const TPageInputs> PageInputs();

  TFormTessaly& Main_;
  std::shared_ptr<const TWordList> UserWords_;
  std::shared_ptr<const TPageInputs> PageInputs_;  // shared by the queued pages
  int UserWordCount_ = -1;
  TFormHTTPClient* Pool_ = nullptr;
  long RequestsDone_ = 0;
  std::vector<std::string> Notes_;
  std::time_t Started_ = 0;
  std::time_t LastAnswer_ = 0;
  // Pages fetched in full under another scheme than their node's (http moved to https).
  std::set<std::string> FoldedFetches_;
  std::shared_ptr<const TAddressPatterns> Include_;
  // The identity's settings, and what requests read of them (rebuilt when either the settings
  // or the site root change).
  TRequestIdentity IdentitySettings_;
  mutable std::mutex IdentityMutex_;
  std::shared_ptr<const TRequestIdentity> Identity_;
  void RebuildIdentity();
  // The start address's scheme, host and port ("https://host:8443"; the default port left out).
  std::string LoginSite() const;
  // The login of the current site: given, else asked or remembered for it. Empty user: none.
  const std::pair<std::string, std::string>* SiteLogin() const;
  // A 401 answer at the login site that a login may mend: requested again (sent before the
  // login it has now, or after asking the user for one). True: it is requested again and its
  // answer is not filed.
  bool LoginAgain(THTTPClient& sender);
  // Logins of this run by site (asked or read from the keyring).
  std::map<std::string, std::pair<std::string, std::string>> Logins_;
  int LoginQuestions_ = 0;     // this crawl's questions
  bool LoginRefused_ = false;  // the user cancelled this crawl's question
  bool AskingLogin_ = false;
  std::vector<std::pair<std::string, std::string>> LoginWaiting_;  // 401 answers while asking
  // Files a refused address's status text (excluded, blocked by robots.txt).
  void Refused(const std::string& url, const std::string& text);
  // Whether the links of `node`'s page are followed (the largest depth).
  bool FollowsLinks(const TSpiderNode& node) const;
};
