// Questions, messages and the file dialogs of the program on Qt: message boxes titled with the
// application title, one open and one save dialog that remember their folders, the folder
// picker and the file-name dialog.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

#include "platform/Platform.h"

namespace gui {

class TFormLogin;
class TFormSelectFileName;

// "desc|pattern;pattern|desc|pattern|" as Qt's filter list "desc (pattern pattern);;...".
QString QtFilterOf(const std::string& filter);
// "\r" (alone or before "\n") as a line break.
QString MessageText(const std::string& text);
// The folder and the name a file dialog starts with, from a proposed file name: "|", "<" and
// ">" removed, a name of "." or ".." dropped.
struct StartName {
  QString Folder;
  QString Name;
};
StartName StartNameOf(const std::string& fileName);

class QtPrompter : public platform::Prompter {
 public:
  QtPrompter();
  ~QtPrompter() override;
  // The window the boxes and dialogs belong to (the main window once it exists). The dialogs
  // made for the old one go with it: a window deletes its child dialogs when it goes.
  void SetParent(QWidget* parent);
  // The translation of a message (from the "STRING_TABLE" section), when set.
  std::function<std::string(const std::string&)> Translate;

  bool AskYesNo(const std::string& text) override;
  platform::Answer AskYesNoCancel(const std::string& text) override;
  void Notice(const std::string& text) override;
  void Inform(const std::string& text) override;
  void ShowError(const std::string& text) override;
  std::optional<std::string> PromptOpenFile(const std::string& name, const std::string& filter,
                                            const std::string& defaultExt) override;
  std::optional<std::string> PromptSaveFile(const std::string& name, const std::string& filter,
                                            const std::string& defaultExt) override;
  std::optional<std::string> PromptFolder(const std::string& start) override;
  std::optional<std::string> AskFileName(const std::string& title, const std::string& name) override;
  std::optional<platform::Login> AskLogin(const std::string& site, const std::string& realm, bool keyring) override;

 private:
  std::string Tr(const std::string& text) const;
  QWidget* Parent_ = nullptr;
  QString OpenFolder_, SaveFolder_;  // remembered between uses
  std::unique_ptr<TFormSelectFileName> FileNameDialog_;
  std::unique_ptr<TFormLogin> LoginDialog_;
};

}  // namespace gui
