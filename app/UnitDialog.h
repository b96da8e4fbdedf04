// The settings dialog's logic (TFormDialog): a dialog whose text fields, check boxes and combo
// boxes are kept in "Settings.ini" under the dialog's name, with its design values written to
// "Defaults.ini" at every start.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "Kel/KelIni.h"

class TFormDialog {
 public:
  static constexpr const char* kCaption = "Properties";

  TFormDialog(TSettingsFiles& files, std::string section) : Files(files), Section(std::move(section)) {}
  virtual ~TFormDialog() = default;
  TFormDialog(const TFormDialog&) = delete;
  TFormDialog& operator=(const TFormDialog&) = delete;

  TSettingsFiles& Files;
  const std::string Section;  // the dialog's component name, e.g. "FormExternalTools"

  // The controls in ownership order.
  virtual std::vector<TControlBinding> Controls() = 0;

  void Store(TIniFile& file) { StoreControls(file, Section, Controls()); }
  void Restore(TIniFile& file) { RestoreControls(file, Section, Controls()); }
  // Creation, once the controls hold their design values: the design values go to
  // "Defaults.ini", then "Settings.ini" overrides each control it has a key for.
  void Created();
  // Restores the stored values, shows the dialog (`showModal` returns whether OK was pressed),
  // stores on OK and restores on Cancel. Returns whether OK was pressed.
  bool Run(const std::function<bool()>& showModal);
  // At program exit: the controls are stored once more.
  void Destroying() { Store(Files.Settings()); }
};
