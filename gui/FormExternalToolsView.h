// "External Tools": eight program paths, each with a "..." button, over TFormExternalTools,
// which keeps them in "Settings.ini". The field with the keyboard focus is painted yellow.
#pragma once

#include <QDialog>
#include <array>

class QLineEdit;
class QPushButton;
class QTabWidget;
class TFormExternalTools;

namespace gui {

class TFormExternalToolsView : public QDialog {
  Q_OBJECT
 public:
  TFormExternalToolsView(TFormExternalTools& tools, QWidget* parent = nullptr);
  ~TFormExternalToolsView() override;
  // Shows the logic's values, runs modally, and hands the edited values back; true on OK.
  bool ShowModal();

  TFormExternalTools& Tools;
  QTabWidget* PageControl;
  std::array<QLineEdit*, 9> Edit{};      // Edit[1] .. Edit[8]
  std::array<QPushButton*, 9> Button{};  // Button[1] .. Button[8]
  QPushButton* ButtonOK;
  QPushButton* ButtonCancel;
};

}  // namespace gui
