// The spelling dialog's logic, without widgets: steps through the unknown words of one HTML
// document with Ignore, Add, Suggest, Change and Change All, and saves the corrected document.
// A window (the desktop program's, or a test's) shows the state and forwards the user's
// gestures to the handlers.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Kel/KelSpelling.h"
#include "platform/Platform.h"
#include "platform/TransferWindow.h"

class TFormDownload;

// What the spelling dialog's window does for the logic. Every call is made on the
// user-interface thread.
class TSpellingView {
 public:
  virtual ~TSpellingView() = default;
  virtual void SetCaption(const std::string& text) = 0;
  // The fields, the suggestions, the buttons' enabling or the status text changed: redraw them
  // from the form's state.
  virtual void StateChanged() = 0;
  // The "Source" page shows `text`; then the characters from `start` (0-based) on, `length` of
  // them, are selected and scrolled into view.
  virtual void ShowSource(const std::string& text) = 0;
  virtual void SelectSource(int32_t start, int32_t length) = 0;
  // Whether the "Preview" page is on screen (its browser can take the focus).
  virtual bool PreviewVisible() = 0;
  // Loads `html` into the preview, which runs no scripts, and once loaded scrolls the element
  // with the id "idFocus" into view.
  virtual void ShowPreview(const std::string& html) = 0;
  // Shows the dialog modally and calls `onShown` once, when it is first on screen; returns the
  // result given to Close().
  virtual platform::ModalResult RunModal(const std::function<void()>& onShown) = 0;
  virtual void Close(platform::ModalResult result) = 0;
};

class TFormSpelling {
 public:
  static constexpr const char* kNoErrors = "The HTML source contains no spelling errors.";
  static constexpr const char* kComplete = "Spell checking is complete.";
  static constexpr const char* kNotInDictionaryLabel = "Not in Dictionary:";
  static constexpr const char* kSaveFilter = "HTML Files (*.htm)|*.htm;*.html;*.shtml;*.asp|All Files (*.*)|*.*|";

  // The lists are the program's dictionaries: the words that Add puts into the user list stay
  // there and are written when the program ends.
  TFormSpelling(platform::Services& services, TSpellingDictionaries& dictionaries);

  // The window; none: CheckText reports the errors it would show and returns false.
  TSpellingView* View = nullptr;
  // Obtains local copies of documents that are only addresses.
  TFormDownload* Download = nullptr;

  // Runs the dialog on `text`, named `name` in the caption. True when it was closed with OK;
  // `text` then holds the corrected document (line breaks as CR LF).
  bool CheckText(std::string& text, const std::string& name);
  // Checks the document of a file or an address and saves the result: over the file when it
  // is the named file itself, otherwise where the user chooses.
  bool CheckFile(const std::string& name);
  // Sets SourceText, marks it changed and shows it.
  void SetSourceText(const std::string& text);

  // The handlers of the window.
  void FormShow();
  void ButtonIgnoreClick();
  void ButtonAddClick();
  void ButtonSuggestClick();
  void ButtonChangeClick();
  void ButtonChangeAllClick();
  void ButtonOKClick();
  void ButtonCancelClick();
  void EditChangeToChange(const std::string& text);
  void ListViewSelectItem(int index);
  void TSPreviewShow();

  // The state the window shows.
  std::string SourceText;
  bool TextChanged = false;
  std::string DocumentName;
  TWordPositions Errors;
  int32_t ErrorIndex = -1;
  std::string NotInDictionary;  // EditNotInDictionary
  std::string ChangeTo;         // EditChangeTo
  std::vector<std::string> Suggestions;
  bool ChangeEnabled = false;
  bool ChangeAllEnabled = false;
  bool SuggestEnabled = false;
  std::string StatusText;
  std::string Caption;

  // The preview's document for the current error: SourceText with the word marked.
  std::string PreviewHTML() const;

 private:
  void Replace(size_t error, const std::string& with);
  void Changed();
  void Finish(platform::ModalResult result);

  platform::Services& Services_;
  TSpellingDictionaries& Dictionaries_;
  bool Closed_ = false;
};

// The text the spelling dialog works on: every CR LF, lone CR and lone LF made one CR LF. Bytes
// of 128 and more (the letters of UTF-8 text) stay as they are.
std::string NormalizeLineBreaks(std::string_view text);
// The line breaks of a text in order, each one of these kinds.
inline constexpr uint8_t kBreakCRLF = 0, kBreakCR = 1, kBreakLF = 2;
std::vector<uint8_t> LineBreaksOf(std::string_view text);
// `normalized` (breaks made CR LF) with its k-th CR LF made the k-th of `breaks` again: the
// document's own line breaks, byte for byte. Breaks past the list stay CR LF.
std::string RestoreLineBreaks(std::string_view normalized, const std::vector<uint8_t>& breaks);
