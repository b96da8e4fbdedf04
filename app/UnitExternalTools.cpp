#include "app/UnitExternalTools.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>

#include "Kel/KelError.h"
#include "Kel/KelFiles.h"
#include "Kel/KelSpelling.h"
#include "app/SpellCheck.h"
#include "app/SpiderNode.h"
#include "app/UnitHTTPCopy.h"
#include "app/UnitSpelling.h"

const std::array<const char*, TFormExternalTools::kFields> TFormExternalTools::kLabels = {
    "HTML Editor:",   "HTML Browser:", "FTP Client:",   "Submission Tool:",
    "eComm Solution", "Image Editor:", "Video Editor:", "Audio Editor:"};

namespace {

bool IsProgram(const std::filesystem::path& file) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::file_status status = fs::status(file, ec);
  if (ec || !fs::is_regular_file(status)) return false;
  return (status.permissions() & (fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec)) !=
         fs::perms::none;
}

std::string FindProgram(const std::string& program, const std::string& path) {
  if (program.empty()) return std::string();
  if (program.find('/') != std::string::npos) return IsProgram(program) ? program : std::string();
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    // An empty entry is the current folder, which is never searched for a browser.
    if (end > start) {
      const std::filesystem::path candidate = std::filesystem::path(path.substr(start, end - start)) / program;
      if (IsProgram(candidate)) return candidate.string();
    }
    start = end + 1;
  }
  return std::string();
}

}  // namespace

std::string DesktopBrowser(const std::string& browser, const std::string& path) {
  size_t start = 0;
  while (start < browser.size()) {
    size_t end = browser.find(':', start);
    if (end == std::string::npos) end = browser.size();
    const std::string command = browser.substr(start, end - start);
    const size_t first = command.find_first_not_of(" \t");
    if (first != std::string::npos) {
      const size_t last = command.find_first_of(" \t", first);
      const std::string found = FindProgram(command.substr(first, last - first), path);
      if (!found.empty()) return found;
    }
    start = end + 1;
  }
  for (const char* program : {"xdg-open", "x-www-browser"}) {
    const std::string found = FindProgram(program, path);
    if (!found.empty()) return found;
  }
  return std::string();
}

TFormExternalTools::TFormExternalTools(TSettingsFiles& files, platform::Services& services)
    : TFormDialog(files, kSection), Services(services) {
  // The design value of "HTML Browser:": this desktop's browser.
  const char* browser = std::getenv("BROWSER");
  const char* path = std::getenv("PATH");
  Edit[2] = DesktopBrowser(browser ? browser : "", path ? path : "");
  Created();
}

std::vector<TControlBinding> TFormExternalTools::Controls() {
  std::vector<TControlBinding> controls;
  for (int i = 1; i <= kFields; ++i) controls.push_back(TControlBinding::Text("Edit" + std::to_string(i), Edit[i]));
  return controls;
}

bool TFormExternalTools::Setup() {
  return Run([this] { return ShowModal && ShowModal(*this); });
}

int TFormExternalTools::FieldOfButton(const std::string& buttonName) {
  size_t i = 0;
  while (i < buttonName.size() && !std::isdigit(static_cast<unsigned char>(buttonName[i]))) ++i;
  int field = 0;
  for (; i < buttonName.size() && std::isdigit(static_cast<unsigned char>(buttonName[i])); ++i)
    field = field * 10 + (buttonName[i] - '0');
  return field >= 1 && field <= kFields ? field : 0;
}

bool TFormExternalTools::ButtonClick(const std::string& buttonName) {
  const int field = FieldOfButton(buttonName);
  if (!field || !Services.Ask) return false;
  const auto chosen = Services.Ask->PromptOpenFile(Edit[field], kProgramFilter, "");
  if (!chosen) return false;
  Edit[field] = *chosen;
  return true;
}

void TFormExternalTools::Open(int field, const std::string& file) {
  // The tool gets the file as one argument, without a shell: no quoting is needed.
  if (!Services.Programs || !Services.Programs->OpenWith(Edit[field], file))
    throw EError("Could not open external tool.");
}

void TFormExternalTools::Launch(int field, const std::string& file) {
  KelAssert(field >= 1 && field <= kFields, "no such external tool");
  std::error_code ec;
  if (!Edit[field].empty() && std::filesystem::is_regular_file(Edit[field], ec)) {
    Open(field, file);
    return;
  }
  FocusedField = field;
  if (!Services.Ask ||
      !Services.Ask->AskYesNo("The external tool has not been setup correctly. Would you like to setup now?"))
    throw EError("Operation Aborted.");
  if (!Setup()) throw EError("Operation Aborted.");
  Open(field, file);
}

void EditNode(TEditNodeServices& with, TSpiderNode* node, bool spelling) {
  KelAssert(node, "EditNode needs a node");
  if (!node->EnsureLocalCopy(with.HTTPCopy, true)) return;
  const std::string file = node->LocalFileName();
  if (spelling) {
    with.Spelling.CheckFile(file);
    node->SpellingErrors = CountSpellingErrors(LoadTextFromFile(file), with.Dictionaries);
    node->Map().Modified = true;
    node->RefreshIcon();
    return;
  }
  if (node->IsHTML()) with.Tools.Launch(TFormExternalTools::kHTMLEditor, file);
  else if (node->IsImage()) with.Tools.Launch(TFormExternalTools::kImageEditor, file);
  else if (node->IsVideo()) with.Tools.Launch(TFormExternalTools::kVideoEditor, file);
  else if (node->IsAudio()) with.Tools.Launch(TFormExternalTools::kAudioEditor, file);
  else if (with.Services.Programs) with.Services.Programs->EditDocument(file);  // failure not reported
}
