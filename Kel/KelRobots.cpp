#include "Kel/KelRobots.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace {

bool IsTokenChar(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '-'; }

std::string_view TrimView(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool SameFolded(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

std::string RobotsNormalize(std::string_view text) {
  static const char* const kHex = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '%' && i + 2 < text.size() &&
        std::isxdigit(static_cast<unsigned char>(text[i + 1])) && std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
      out += '%';
      out += static_cast<char>(std::toupper(static_cast<unsigned char>(text[i + 1])));
      out += static_cast<char>(std::toupper(static_cast<unsigned char>(text[i + 2])));
      i += 2;
    } else if (c <= 0x20 || c >= 0x7F) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string RobotsProductToken(std::string_view userAgent) {
  userAgent = TrimView(userAgent);
  size_t n = 0;
  while (n < userAgent.size() && IsTokenChar(userAgent[n])) ++n;
  return std::string(userAgent.substr(0, n));
}

bool RobotsPatternMatches(std::string_view pattern, std::string_view path) {
  bool anchored = !pattern.empty() && pattern.back() == '$';
  if (anchored) pattern.remove_suffix(1);
  // The pattern is literal runs between "*"s: the first run starts the path, each later run is
  // found at its leftmost place after the one before (greedy leftmost is exact for "*"), and
  // with "$" the last run ends the path.
  size_t star = pattern.find('*');
  const std::string_view first = pattern.substr(0, star);
  if (path.substr(0, first.size()) != first) return false;
  if (star == std::string_view::npos) return !anchored || path.size() == first.size();
  size_t at = first.size();
  std::string_view rest = pattern.substr(star + 1);
  for (;;) {
    star = rest.find('*');
    const std::string_view run = rest.substr(0, star);
    if (star == std::string_view::npos) {
      if (anchored) return path.size() >= at + run.size() && path.substr(path.size() - run.size()) == run;
      return run.empty() || path.find(run, at) != std::string_view::npos;
    }
    if (!run.empty()) {
      const size_t found = path.find(run, at);
      if (found == std::string_view::npos) return false;
      at = found + run.size();
    }
    rest = rest.substr(star + 1);
  }
}

TRobotsRules TRobotsRules::DisallowAll() {
  TRobotsRules rules;
  rules.DisallowEverything = true;
  return rules;
}

TRobotsRules TRobotsRules::Parse(std::string_view text, std::string_view agent) {
  text = text.substr(0, kMaxSize);
  // A byte-order mark before the first line is no part of it.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  struct TGroup {
    bool Named = false;  // names the agent
    bool Star = false;   // names "*"
    std::vector<TRobotsRule> Rules;
    double Delay = -1;
  };
  std::vector<TGroup> groups;
  bool inAgents = false;  // the last line read was a User-agent line
  TRobotsRules result;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (const size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view key = TrimView(line.substr(0, colon));
    const std::string_view value = TrimView(line.substr(colon + 1));
    if (SameFolded(key, "user-agent")) {
      if (!inAgents || groups.empty()) groups.emplace_back();
      inAgents = true;
      const std::string token = RobotsProductToken(value);
      if (value == "*") groups.back().Star = true;
      else if (!token.empty() && SameFolded(token, agent)) groups.back().Named = true;
      continue;
    }
    if (SameFolded(key, "sitemap")) {
      if (!value.empty()) result.Sitemaps.emplace_back(value);
      continue;
    }
    const bool allow = SameFolded(key, "allow");
    const bool disallow = SameFolded(key, "disallow");
    const bool delay = SameFolded(key, "crawl-delay");
    if (!allow && !disallow && !delay) continue;  // an unknown line neither starts nor ends a group
    inAgents = false;
    if (groups.empty()) continue;  // rules before any User-agent line belong to no group
    if (delay) {
      char* stop = nullptr;
      const std::string number(value);
      const double seconds = std::strtod(number.c_str(), &stop);
      if (stop != number.c_str() && seconds >= 0 && seconds == seconds) groups.back().Delay = seconds;
      continue;
    }
    // An empty pattern matches nothing; a pattern must start with "/" or "*" ("page" means "/page").
    if (value.empty()) continue;
    std::string pattern = RobotsNormalize(value);
    if (pattern.front() != '/' && pattern.front() != '*') pattern.insert(0, "/");
    groups.back().Rules.push_back({allow, std::move(pattern)});
  }
  const bool named = std::any_of(groups.begin(), groups.end(), [](const TGroup& g) { return g.Named; });
  double delay = -1;
  for (TGroup& g : groups) {
    if (named ? !g.Named : !g.Star) continue;
    for (TRobotsRule& rule : g.Rules) result.Rules.push_back(std::move(rule));
    if (g.Delay >= 0) delay = std::max(delay, g.Delay);
  }
  if (delay > kMaxCrawlDelay) {
    result.CrawlDelayCapped = true;
    delay = kMaxCrawlDelay;
  }
  result.CrawlDelay = std::max(delay, 0.0);
  return result;
}

bool TRobotsRules::Allowed(std::string_view path) const {
  const std::string normal = RobotsNormalize(path.empty() ? std::string_view("/") : path);
  if (normal == "/robots.txt") return true;
  if (DisallowEverything) return false;
  size_t best = 0;
  bool allowed = true;
  bool any = false;
  for (const TRobotsRule& rule : Rules) {
    if (!RobotsPatternMatches(rule.Pattern, normal)) continue;
    const size_t length = rule.Pattern.size();
    if (!any || length > best || (length == best && rule.Allow && !allowed)) {
      best = length;
      allowed = rule.Allow;
      any = true;
    }
  }
  return allowed;
}
