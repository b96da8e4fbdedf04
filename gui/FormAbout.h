// The About box: the program's icon and title with its version, the comments, the legal line and
// the maker's home page (a link to the browser), the legal notice, and two memory figures.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace gui {

// The figures the About box shows, from the system.
struct TMemoryStatus {
  int64_t TotalPhysical = 0;  // bytes
  int MemoryLoad = 0;         // percent in use
};
TMemoryStatus ReadMemoryStatus();

class TFormAboutBox : public QDialog {
  Q_OBJECT
 public:
  // `translate`: the translation of a text of "STRING_TABLE" (none: the text itself).
  TFormAboutBox(std::function<std::string(const std::string&)> translate,
                std::function<void(const std::string&)> openInBrowser, QWidget* parent = nullptr);

  static constexpr const char* kHomePage = "https://www.quorlix.example/tessaly/";

  QLabel* LabelTitle;
  QLabel* LabelComments;
  QLabel* LabelLegal;
  QLabel* LabelHomePage;
  QPlainTextEdit* MemoLegal;
  QLabel* LabelPhysical;
  QLabel* LabelUsage;
  QPushButton* ButtonOK;
};

}  // namespace gui
