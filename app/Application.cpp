#include "app/Application.h"

#include "Kel/KelDialogs.h"
#include "Kel/KelError.h"

namespace {
platform::Services& Checked(platform::Services& services) {
  KelAssert(services.Ui && services.Dirs, "the program needs its user-interface thread and folders");
  return services;
}
}  // namespace

TTessalyApp::TTessalyApp(platform::Services& services, int32_t maxThreads)
    : Services(Checked(services)),
      SettingsFiles(services.Dirs->UserFilesBesideProgram() ? services.Dirs->AppFolder() : std::string(),
                    services.Dirs->ConfigFolder()),
      HTTPSettings(SettingsFiles.Settings(), services.Net),
      CrawlSettings(SettingsFiles.Settings()),
      Pool(*services.Ui, services.Ask, maxThreads),
      Progress(services),
      HTTPCopy(services, &HTTPSettings),
      Download(services, &HTTPSettings),
      Main(Map, services),
      Spelling(services, Dictionaries),
      ExternalTools(SettingsFiles, services),
      Engine(*this) {
  Spelling.Download = &Download;
  Main.RecentAddressesFolder = [this] { return SettingsFiles.Folder(); };
  Translations.LoadFromFile(AppFolderFile(services, "lang.txt"));
  Pool.SetClientSetup([this](THTTPClient& client) {
    HTTPSettings.ApplyTo(client);
    client.Request.Identity = Main.Crawl.Identity();
  });
  Main.Crawl.AttachPool(Pool);
  Main.Crawl.Dictionaries = &Dictionaries;
  Main.Crawl.Settings = &HTTPSettings;
  Main.Progress = &Progress;
}

TTessalyApp::~TTessalyApp() {
  Close();
  // No completion may reach the main window once it is gone.
  Pool.OnStatusChange = nullptr;
}

bool TTessalyApp::Start() {
  if (!Dictionaries.Load(Services)) return false;
  Main.LoadRecentAddresses();
  // The user's choice once made; until then on when the computer is connected.
  const bool connected = Services.Net && Services.Net->IsConnected();
  Main.Tree.ValidateExternalURLs =
      SettingsFiles.Settings().ReadBool(kCheckPageResourcesSection, kValidateExternalURLsKey, connected);
  Main.Crawl.CheckPageResources =
      SettingsFiles.Settings().ReadBool(kCheckPageResourcesSection, kCheckPageResourcesKey, true);
  Main.Crawl.CheckAnchors = SettingsFiles.Settings().ReadBool(kCheckPageResourcesSection, kCheckAnchorsKey, true);
  // A stored value that is refused (a file edited by hand) is named, and the crawl keeps its
  // defaults for it.
  try {
    Engine.Apply(CrawlSettings.Settings());
  } catch (const EError& e) {
    if (Services.Ask) Services.Ask->Notice(std::string(TFormCrawlSettings::kCaption) + ": " + e.what());
  }
  Main.Reset();
  if (WritesUserFiles && Services.Dirs) {
    Recovery = std::make_unique<TCrawlRecovery>(Services.Dirs->UserDataFolder() + "/Quorlix/Tessaly");
    Main.Recovery = Recovery.get();
  }
  return true;
}

void TTessalyApp::SetCheckPageResources(bool on) {
  Main.Crawl.CheckPageResources = on;
  SettingsFiles.Settings().WriteBool(kCheckPageResourcesSection, kCheckPageResourcesKey, on);
}

void TTessalyApp::SetValidateExternalURLs(bool on) {
  Main.Tree.ValidateExternalURLs = on;
  SettingsFiles.Settings().WriteBool(kCheckPageResourcesSection, kValidateExternalURLsKey, on);
}

void TTessalyApp::SetCheckAnchors(bool on) {
  Main.Crawl.CheckAnchors = on;
  SettingsFiles.Settings().WriteBool(kCheckPageResourcesSection, kCheckAnchorsKey, on);
}

void TTessalyApp::Close() {
  if (Closed_) return;
  Closed_ = true;
  Pool.TerminateAll();
  Main.Reset();
  // A normal end: the crawl needs no recovery.
  if (Recovery) Recovery->Remove();
  if (!WritesUserFiles) return;
  Main.SaveRecentAddresses();
  Dictionaries.SaveUserList();
  ExternalTools.Destroying();
}

void TTessalyApp::EditNode(TSpiderNode* node, bool spelling) {
  TEditNodeServices with{Services, HTTPCopy, ExternalTools, Spelling, Dictionaries};
  ::EditNode(with, node, spelling);
}
