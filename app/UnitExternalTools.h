// "External Tools": the paths of the programs that edit documents (HTML, image, video and audio
// editors, and three more no command uses), kept in "Settings.ini"; launching a tool with a
// local file; and EditNode, which edits or spell-checks a node's local copy.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "app/UnitDialog.h"
#include "platform/Platform.h"

class TFormHTTPCopy;
class TFormSpelling;
class TSpellingDictionaries;
class TSpiderNode;

class TFormExternalTools : public TFormDialog {
 public:
  static constexpr const char* kSection = "FormExternalTools";
  static constexpr const char* kCaption = "External Tools";
  static constexpr const char* kProgramFilter = "Application Files (*.exe)|*.exe|All Files (*.*)|*.*|";
  static constexpr int kFields = 8;
  // The fields that EditNode launches.
  static constexpr int kHTMLEditor = 1, kImageEditor = 6, kVideoEditor = 7, kAudioEditor = 8;
  static const std::array<const char*, kFields> kLabels;

  TFormExternalTools(TSettingsFiles& files, platform::Services& services);

  platform::Services& Services;
  // Edit1 to Edit8, by number (Edit[1] is "Edit1"; Edit[0] is unused).
  std::array<std::string, kFields + 1> Edit;
  // The field the window gives the focus when it shows (0: the first).
  int FocusedField = 0;
  // The window: shows the dialog modally, returns whether OK was pressed. None: Cancel.
  std::function<bool(TFormExternalTools&)> ShowModal;

  std::vector<TControlBinding> Controls() override;
  // "Setup External Tools...": Run with the window.
  bool Setup();
  // Starts the tool of field `field` (1..8) with `file` as its one argument. When the field
  // names no existing file, asks to set it up first. Raises EError "Operation Aborted." when the
  // user declines or cancels, "Could not open external tool." when the tool does not start.
  void Launch(int field, const std::string& file);
  // The field of a "..." button: "Button3" gives 3 (0 when the name has no number).
  static int FieldOfButton(const std::string& buttonName);
  // A "..." button: asks for a program for the button's field; true when one was chosen.
  bool ButtonClick(const std::string& buttonName);

 private:
  void Open(int field, const std::string& file);
};

// The desktop's web browser as a program for "HTML Browser:": the first program of `browser`
// (the $BROWSER list: commands separated by ":", each its program and arguments) that is found,
// else the first of "xdg-open" (the desktop's default handler) and "x-www-browser" (Debian's
// alternative) that is. A program without "/" is looked up along `path` (a $PATH list).
// Empty when none is found.
std::string DesktopBrowser(const std::string& browser, const std::string& path);

// What EditNode needs of the program.
struct TEditNodeServices {
  platform::Services& Services;
  TFormHTTPCopy& HTTPCopy;
  TFormExternalTools& Tools;
  TFormSpelling& Spelling;
  const TSpellingDictionaries& Dictionaries;
};

// Edits `node` (obtaining its local copy first): with `spelling`, runs the spelling dialog on the
// copy and counts its errors again; otherwise hands the copy to the tool for its type, or to
// the desktop's "edit" action.
void EditNode(TEditNodeServices& with, TSpiderNode* node, bool spelling);
