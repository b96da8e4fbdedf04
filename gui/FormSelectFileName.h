// The file-name dialog: a caption set by each caller, the text field EditFileName with a "..."
// button that picks a file, OK (enabled while the trimmed name is not empty) and Cancel.
#pragma once

#include <QDialog>
#include <optional>
#include <string>

class QLineEdit;
class QPushButton;

namespace platform {
class Prompter;
}

namespace gui {

class TFormSelectFileName : public QDialog {
  Q_OBJECT
 public:
  TFormSelectFileName(platform::Prompter& prompter, QWidget* parent = nullptr);
  // Shows the dialog with `title` and `name`; the edited name (untrimmed) on OK.
  std::optional<std::string> Ask(const std::string& title, const std::string& name);

  QLineEdit* EditFileName;
  QPushButton* ButtonBrowse;
  QPushButton* ButtonOK;
  QPushButton* ButtonCancel;

 private:
  void UpdateOK();
  platform::Prompter& Prompter_;
};

}  // namespace gui
