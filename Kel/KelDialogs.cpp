#include "Kel/KelDialogs.h"

#include <algorithm>
#include <filesystem>

#include "Kel/KelError.h"
#include "Kel/KelStr.h"
#include "Kel/KelTranslate.h"
#include "Kel/KelURI.h"

const char* const kApplicationTitle = "Quorlix Tessaly";
const char* const kNoBrowserMessage =
    "No web browser was found to open \"%s\".\r\rChoose a default web browser for this desktop, or name one in "
    "the BROWSER environment variable.";

std::string AppFolderFile(platform::Services& services, const std::string& name) {
  KelAssert(services.Dirs, "the program's folder is unknown");
  std::string relative = name;
  std::replace(relative.begin(), relative.end(), '\\', '/');
  return services.Dirs->AppFolder() + "/" + relative;
}

bool IsBrowsableTarget(const std::string& target) {
  if (!target.empty() && target[0] == '/') return true;  // a file path
  const TURI uri(target);
  return SameText(uri.Protocol, "http") || SameText(uri.Protocol, "https") || SameText(uri.Protocol, "file");
}

bool OpenInBrowser(platform::Services& services, const std::string& target) {
  if (!services.Web || !IsBrowsableTarget(target)) return false;
  const TURI uri(target);
  bool needsNetwork = false;
  if (SameText(uri.Protocol, "http") || SameText(uri.Protocol, "https")) {
    std::error_code ec;
    needsNetwork = !std::filesystem::is_regular_file(uri.Path + uri.Document, ec);
  }
  if (needsNetwork && services.Net && !services.Net->IsConnected()) {
    KelAssert(services.Ask, "the browser question needs a prompter");
    if (!services.Ask->AskYesNo("You don't seem to be connected to the internet. Do you wish to connect now?"))
      return false;
  }
  if (services.Web->Show(target)) return true;
  if (services.Ask)
    services.Ask->Notice(FormatText(kNoBrowserMessage, target.c_str()));
  return false;
}

std::string WindowCaption(const std::string& fileName) {
  const TTranslationStore* store = RunTimeTexts();
  const std::string title = store ? store->Translate(kApplicationTitle, "Application") : std::string(kApplicationTitle);
  return fileName.empty() ? title : title + " - [" + fileName + "]";
}
