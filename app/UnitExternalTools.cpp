#include "app/UnitExternalTools.h"

#include <cctype>
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

TFormExternalTools::TFormExternalTools(TSettingsFiles& files, platform::Services& services)
    : TFormDialog(files, kSection), Services(services) {
  Edit[2] = "iexplorer.exe";  // the design value of "HTML Browser:"
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
