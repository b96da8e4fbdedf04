#include "app/UnitSpelling.h"

#include <filesystem>

#include "Kel/KelTranslate.h"
#include "Kel/KelDialogs.h"
#include "Kel/KelError.h"
#include "Kel/KelFiles.h"
#include "Kel/KelStr.h"
#include "app/SpellCheck.h"
#include "app/UnitDownload.h"

std::string NormalizeLineBreaks(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 32);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      out += "\r\n";
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += c;
    }
  }
  return out;
}

std::vector<uint8_t> LineBreaksOf(std::string_view text) {
  std::vector<uint8_t> breaks;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      const bool pair = i + 1 < text.size() && text[i + 1] == '\n';
      breaks.push_back(pair ? kBreakCRLF : kBreakCR);
      if (pair) ++i;
    } else if (text[i] == '\n') {
      breaks.push_back(kBreakLF);
    }
  }
  return breaks;
}

std::string RestoreLineBreaks(std::string_view normalized, const std::vector<uint8_t>& breaks) {
  static const char* const kBreaks[] = {"\r\n", "\r", "\n"};
  std::string out;
  out.reserve(normalized.size());
  size_t k = 0;
  for (size_t i = 0; i < normalized.size(); ++i) {
    if (normalized[i] == '\r' && i + 1 < normalized.size() && normalized[i + 1] == '\n') {
      out += kBreaks[k < breaks.size() ? breaks[k] : kBreakCRLF];
      ++k;
      ++i;
    } else {
      out += normalized[i];
    }
  }
  return out;
}

TFormSpelling::TFormSpelling(platform::Services& services, TSpellingDictionaries& dictionaries)
    : Services_(services), Dictionaries_(dictionaries) {}

void TFormSpelling::Changed() {
  if (View) View->StateChanged();
}

void TFormSpelling::SetSourceText(const std::string& text) {
  SourceText = text;
  TextChanged = true;
  if (View) View->ShowSource(SourceText);
}

bool TFormSpelling::CheckText(std::string& text, const std::string& name) {
  Caption = WindowCaption(name);
  if (View) View->SetCaption(Caption);
  Errors.clear();
  // The bytes of UTF-8 letters stay: the word rules treat them as separators, and the saved
  // document must differ from the original only where the user changed a word.
  SetSourceText(NormalizeLineBreaks(text));
  // The dialog works on CR LF; what it hands back has the document's own line breaks again.
  const std::vector<uint8_t> breaks = LineBreaksOf(text);
  ErrorIndex = -1;
  DocumentName = name;
  TextChanged = false;
  NotInDictionary.clear();
  ChangeTo.clear();
  Suggestions.clear();
  ChangeEnabled = ChangeAllEnabled = SuggestEnabled = false;
  StatusText.clear();
  Errors = CheckSpelling(SourceText, Dictionaries_);
  if (Errors.empty()) {
    if (Services_.Ask) Services_.Ask->Inform(kNoErrors);
    return false;
  }
  KelAssert(View, "TFormSpelling.CheckText needs its window");
  Closed_ = false;
  Changed();
  const platform::ModalResult result = View->RunModal([this] { FormShow(); });
  if (result != platform::ModalResult::OK) return false;
  text = RestoreLineBreaks(SourceText, breaks);
  return true;
}

void TFormSpelling::Finish(platform::ModalResult result) {
  if (Closed_) return;
  Closed_ = true;
  if (View) View->Close(result);
}

void TFormSpelling::FormShow() { ButtonIgnoreClick(); }

void TFormSpelling::ButtonIgnoreClick() {
  if (Closed_) return;
  // A loop, not a recursion: a document may hold many words added or changed meanwhile.
  for (;;) {
    ++ErrorIndex;
    if (ErrorIndex >= static_cast<int32_t>(Errors.size())) {
      Changed();
      Finish(platform::ModalResult::OK);
      return;
    }
    const TWordPosition& e = Errors[static_cast<size_t>(ErrorIndex)];
    NotInDictionary = SourceText.substr(static_cast<size_t>(e.Index - 1), static_cast<size_t>(e.Length));
    StatusText = RunTimeText(kNotInDictionaryLabel) + " " + NotInDictionary;
    if (!IsKnownInEither(NotInDictionary, Dictionaries_.MainList, Dictionaries_.UserList)) break;
  }
  const TWordPosition& e = Errors[static_cast<size_t>(ErrorIndex)];
  EditChangeToChange(NotInDictionary);
  ChangeEnabled = ChangeAllEnabled = false;
  ButtonSuggestClick();
  if (View) View->SelectSource(e.Index - 1, e.Length);
  TSPreviewShow();
  Changed();
}

void TFormSpelling::ButtonAddClick() {
  if (Closed_ || NotInDictionary.empty()) return;
  Dictionaries_.UserList.Add(NotInDictionary);
  ButtonIgnoreClick();
}

void TFormSpelling::ButtonSuggestClick() {
  SuggestEnabled = false;
  TWordList found;
  GetSuggestions(found, ChangeTo, &Dictionaries_.MainList, &Dictionaries_.UserList);
  Suggestions.assign(found.begin(), found.end());
  Changed();
}

void TFormSpelling::EditChangeToChange(const std::string& text) {
  ChangeTo = text;
  SuggestEnabled = true;
  ChangeEnabled = ChangeAllEnabled = ChangeTo != NotInDictionary;
  Changed();
}

void TFormSpelling::ListViewSelectItem(int index) {
  if (index < 0 || static_cast<size_t>(index) >= Suggestions.size()) return;
  EditChangeToChange(Suggestions[static_cast<size_t>(index)]);
}

void TFormSpelling::Replace(size_t error, const std::string& with) {
  TWordPosition& e = Errors[error];
  std::string text = SourceText;
  text.replace(static_cast<size_t>(e.Index - 1), static_cast<size_t>(e.Length), with);
  const int32_t delta = static_cast<int32_t>(with.size()) - e.Length;
  e.Length = static_cast<int32_t>(with.size());
  for (size_t i = error + 1; i < Errors.size(); ++i) Errors[i].Index += delta;
  SetSourceText(text);
}

void TFormSpelling::ButtonChangeClick() {
  if (Closed_ || ErrorIndex < 0 || ErrorIndex >= static_cast<int32_t>(Errors.size())) return;
  Replace(static_cast<size_t>(ErrorIndex), ChangeTo);
  ButtonIgnoreClick();
}

void TFormSpelling::ButtonChangeAllClick() {
  if (Closed_ || ErrorIndex < 0 || ErrorIndex >= static_cast<int32_t>(Errors.size())) return;
  for (size_t i = static_cast<size_t>(ErrorIndex); i < Errors.size(); ++i) {
    const TWordPosition& e = Errors[i];
    const std::string_view word(SourceText.data() + e.Index - 1, static_cast<size_t>(e.Length));
    if (SameText(word, NotInDictionary)) Replace(i, ChangeTo);
  }
  ButtonIgnoreClick();
}

void TFormSpelling::ButtonOKClick() { Finish(platform::ModalResult::OK); }

void TFormSpelling::ButtonCancelClick() { Finish(platform::ModalResult::Cancel); }

std::string TFormSpelling::PreviewHTML() const {
  if (ErrorIndex < 0 || ErrorIndex >= static_cast<int32_t>(Errors.size())) return SourceText;
  const TWordPosition& e = Errors[static_cast<size_t>(ErrorIndex)];
  std::string html = SourceText;
  html.replace(static_cast<size_t>(e.Index - 1), static_cast<size_t>(e.Length),
               "<FONT id=idFocus style=\"BACKGROUND-COLOR:#0000FF\" color=\"#ffffff\">" + NotInDictionary + "</FONT>");
  return html;
}

void TFormSpelling::TSPreviewShow() {
  if (View && View->PreviewVisible()) View->ShowPreview(PreviewHTML());
}

bool TFormSpelling::CheckFile(const std::string& name) {
  KelAssert(Download, "TFormSpelling.CheckFile needs the download dialog");
  const std::string local = GetLocalFile(*Download, name);
  std::string text = LoadTextFromFile(local);
  if (!CheckText(text, name)) return false;
  if (TextChanged) {
    std::error_code ec;
    if (SameText(local, name) && std::filesystem::exists(local, ec)) {
      SaveTextToFile(local, text);
      if (Services_.Ask) Services_.Ask->Inform(kComplete);
      return true;
    }
    const std::optional<std::string> target =
        Services_.Ask ? Services_.Ask->PromptSaveFile("", kSaveFilter, "htm") : std::nullopt;
    if (target) SaveTextToFile(*target, text);
  }
  if (Services_.Ask) Services_.Ask->Inform(kComplete);
  return true;
}
