#include "app/UnitDialog.h"

void TFormDialog::Created() {
  Store(Files.Defaults());
  Restore(Files.Settings());
}

bool TFormDialog::Run(const std::function<bool()>& showModal) {
  Restore(Files.Settings());
  const bool ok = showModal && showModal();
  if (ok) Store(Files.Settings());
  else Restore(Files.Settings());
  return ok;
}
