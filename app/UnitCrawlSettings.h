// The "Crawl Settings" dialog's logic: which addresses are crawled and how the servers are
// treated (robots.txt, pace, retries, identity, credentials, include and exclude patterns, the
// largest depth, the site's sitemap), kept in "Settings.ini" and handed to the crawl engine.
// Every value defaults to the crawl as it always was. The password is never stored: it lasts for the run.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "Kel/KelIni.h"

struct TCrawlSettings;

struct TCrawlSettingsValues {
  bool ObeyRobots = false;    // "Obey robots.txt"
  bool UseSitemap = false;    // "Read the site's sitemap"
  std::string Rate = "0";     // "Requests per second per host"; 0: no limit
  bool Retry = true;          // ask 429 and 503 answers again
  std::string UserAgent;      // "User agent"; empty: the program's own
  std::string Headers;        // extra request headers, one "Name: value" a line
  std::string Include;        // include patterns, one a line
  std::string Exclude;        // exclude patterns, one a line
  std::string MaxDepth = "0"; // "Largest depth"; 0: no limit
  std::string Username;       // credentials for the start address's host
  bool operator==(const TCrawlSettingsValues&) const = default;
};

// The lines of a list field, blank ones left out.
std::vector<std::string> SettingLines(const std::string& text);

class TFormCrawlSettings {
 public:
  static constexpr const char* kSection = "FormCrawlSettings";
  static constexpr const char* kCaption = "Crawl Settings";

  // Restores the values from `settings` ("Settings.ini").
  explicit TFormCrawlSettings(TIniFile& settings);
  TFormCrawlSettings(const TFormCrawlSettings&) = delete;
  TFormCrawlSettings& operator=(const TFormCrawlSettings&) = delete;

  TCrawlSettingsValues Values;
  std::string Password;  // for this run only

  std::vector<TControlBinding> Controls();
  void Restore();
  void Store();
  // What the crawl engine takes; throws EError naming the setting when a value is refused
  // (a rate below 0 or not a number, a depth below 0, a pattern that does not compile, a header
  // without ":" or with a line break).
  TCrawlSettings Settings() const;
  // Showing the dialog: restores the stored values; `showModal` lets the user edit them and says
  // whether OK was pressed. On OK the values are checked and given to `apply`, then stored; a
  // refused value goes to `showError` and the dialog shows again with the values as edited.
  // Cancel restores the stored values. Returns whether OK was pressed.
  bool Run(const std::function<bool(TFormCrawlSettings&)>& showModal,
           const std::function<void(const TCrawlSettings&)>& apply,
           const std::function<void(const std::string&)>& showError);

 private:
  TIniFile& Settings_;
};
