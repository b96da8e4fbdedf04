// The desktop's keyring through QtKeychain (the Secret Service or KWallet): site logins kept
// by the desktop, never in the program's files. Each call waits for the keyring's answer (at most
// a few seconds); without a keyring service nothing is kept.
#pragma once

#include <QString>
#include <optional>
#include <string>

#include "platform/Platform.h"

namespace gui {

class QtKeyring : public platform::Keyring {
 public:
  explicit QtKeyring(QString service = QStringLiteral("Tessaly"));
  // Asked of the keyring once, on first use.
  bool Available() override;
  std::optional<std::string> Read(const std::string& key) override;
  bool Write(const std::string& key, const std::string& secret) override;

 private:
  QString Service_;
  std::optional<bool> Available_;
};

}  // namespace gui
