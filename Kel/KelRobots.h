// robots.txt: the rules a site gives crawlers, read as RFC 9309 gives them. Groups of rules
// start with one or more "User-agent" lines; the groups naming the crawler's product token
// (letter case ignored) apply, else those of "*", else nothing is disallowed. Among the
// "Allow" and "Disallow" rules matching a path the longest pattern wins, "Allow" on a tie;
// "*" matches any run of characters and a final "$" ends the path. "Crawl-delay" of the
// chosen groups and every "Sitemap" line are kept too. Only the first kMaxSize bytes count.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct TRobotsRule {
  bool Allow = false;
  std::string Pattern;  // starts with "/" or "*"; escapes in upper case
};

class TRobotsRules {
 public:
  // The most of a robots.txt read (500 KiB).
  static constexpr size_t kMaxSize = 500 * 1024;
  // The longest "Crawl-delay" honoured, in seconds.
  static constexpr double kMaxCrawlDelay = 30;

  // Nothing disallowed (no robots.txt, or one answered 4xx).
  static TRobotsRules AllowAll() { return TRobotsRules(); }
  // Everything disallowed (a robots.txt answered 5xx, or unreachable).
  static TRobotsRules DisallowAll();
  // The rules of `text` for the crawler whose product token is `agent` ("Tessaly").
  static TRobotsRules Parse(std::string_view text, std::string_view agent);

  // Whether the path of an address (with its query: "/a/b?c=d") may be requested.
  // "/robots.txt" itself always may.
  bool Allowed(std::string_view path) const;

  std::vector<TRobotsRule> Rules;
  bool DisallowEverything = false;
  double CrawlDelay = 0;           // seconds, at most kMaxCrawlDelay; 0: none given
  bool CrawlDelayCapped = false;   // the file asked for more than kMaxCrawlDelay
  std::vector<std::string> Sitemaps;  // the "Sitemap" addresses, in file order
};

// Whether a robots.txt pattern matches `path` from its start: "*" any run, a final "$" the end.
// Both are compared as given (normalize them with RobotsNormalize first).
bool RobotsPatternMatches(std::string_view pattern, std::string_view path);
// A path or pattern in the form both are compared in: bytes outside printable ASCII escaped,
// every "%xx" escape in upper case.
std::string RobotsNormalize(std::string_view text);
// The product token of a user-agent text: its leading letters, "_" and "-" ("Tessaly/1.0" gives
// "Tessaly").
std::string RobotsProductToken(std::string_view userAgent);
