// The program's objects, created at start-up and kept until exit: settings, the site map, the
// request pool, the dictionaries, the progress runner and the main window's logic. The desktop
// program and tessaly-crawl each build one over their own platform services.
#pragma once

#include "Dialogs/UnitHTTPClient.h"
#include "Dialogs/UnitProgress.h"
#include "Kel/KelIni.h"
#include "Kel/KelSpelling.h"
#include "Kel/KelTranslate.h"
#include "app/CrawlEngine.h"
#include "app/CrawlRecovery.h"
#include "app/SpiderNode.h"
#include "app/UnitDownload.h"
#include "app/UnitExternalTools.h"
#include "app/UnitHTTPCopy.h"
#include "app/UnitCrawlSettings.h"
#include "app/UnitHTTPSettings.h"
#include "app/UnitMain.h"
#include "app/UnitProperties.h"
#include "app/UnitSpelling.h"
#include "platform/Platform.h"

class TTessalyApp {
 public:
  // `services` needs Ui and Dirs; the others may be null where unused.
  explicit TTessalyApp(platform::Services& services, int32_t maxThreads = TFormHTTPClient::kDefaultMaxThreads);
  ~TTessalyApp();
  TTessalyApp(const TTessalyApp&) = delete;
  TTessalyApp& operator=(const TTessalyApp&) = delete;

  // Loads the dictionaries (false: the main dictionary is missing and the program must end),
  // the recent addresses, checks "Validate External URL's" when the machine is connected, and
  // resets the main window (its first idle notification included).
  bool Start();
  // Closing: stops every request, clears the map, writes the recent addresses and the user
  // dictionary (unless WritesUserFiles is off). Runs once; the destructor runs it when nobody did.
  void Close();
  // A one-shot command (tessaly-crawl) keeps no recent addresses and adds no words.
  bool WritesUserFiles = true;

  // The File menu's "Check Page Resources" (checked by default): restored from "Settings.ini" by
  // Start, stored there whenever it is set. The crawl reads it as Main.Crawl.CheckPageResources.
  static constexpr const char* kCheckPageResourcesSection = "FormTessaly";
  static constexpr const char* kCheckPageResourcesKey = "MICheckPageResources.Checked";
  bool CheckPageResources() const { return Main.Crawl.CheckPageResources; }
  // The File menu's "Validate External URL's": stored in "Settings.ini" when the user sets it;
  // until then Start turns it on when the computer is connected.
  static constexpr const char* kValidateExternalURLsKey = "MIValidateExternalURLs.Checked";
  void SetValidateExternalURLs(bool on);
  void SetCheckPageResources(bool on);
  // The File menu's "Check Anchors" (checked by default), kept the same way. The crawl reads it
  // as Main.Crawl.CheckAnchors.
  static constexpr const char* kCheckAnchorsKey = "MICheckAnchors.Checked";
  bool CheckAnchors() const { return Main.Crawl.CheckAnchors; }
  void SetCheckAnchors(bool on);

  platform::Services& Services;
  // The translations of "lang.txt" beside the program, read before any window exists (none:
  // every text stays as it is).
  TTranslationStore Translations;
  TSettingsFiles SettingsFiles;
  TFormHTTPSettings HTTPSettings;
  // "Crawl Settings": restored from "Settings.ini" and given to the crawl engine by Start.
  TFormCrawlSettings CrawlSettings;
  TSiteMap Map;
  TFormHTTPClient Pool;
  TSpellingDictionaries Dictionaries;
  TFormProgress Progress;
  TFormHTTPCopy HTTPCopy;  // the download of a document into its local file
  TFormDownload Download;  // the download of a document into the cache folder
  TFormTessaly Main;
  TFormSpelling Spelling;            // the spelling dialog, over the program's dictionaries
  TFormExternalTools ExternalTools;  // the external tools, restored from "Settings.ini"
  TFormSpiderNodeProperties Properties;
  // The recovery file of the running crawl, in the user's data folder ("Quorlix/Tessaly") or
  // beside the project: made by Start when the program writes user files (not tessaly-crawl),
  // removed by Close.
  std::unique_ptr<TCrawlRecovery> Recovery;
  // The crawl engine over these objects: what tessaly-crawl drives and the exports write through.
  TCrawlEngine Engine;

  // Edits a node with its external tool, or checks its spelling (raises the tools' errors).
  void EditNode(TSpiderNode* node, bool spelling);

 private:
  bool Closed_ = false;
};
