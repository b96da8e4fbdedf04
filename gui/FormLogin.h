// The login question: a site's server answered 401 during a crawl. The user name and password
// are used for the site's requests; "Remember for this site" keeps them in the desktop's keyring,
// or, without a keyring service, until the program ends, as the dialog then says.
#pragma once

#include <QDialog>
#include <optional>
#include <string>

#include "platform/Platform.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace gui {

class TFormLogin : public QDialog {
  Q_OBJECT

 public:
  explicit TFormLogin(QWidget* parent = nullptr);
  // Shows the question for `site` (its server naming `realm`); none when cancelled.
  std::optional<platform::Login> Ask(const std::string& site, const std::string& realm, bool keyring);
  // Fills the labels for `site`, `realm` and `keyring` (Ask does it before it shows the dialog).
  void Prepare(const std::string& site, const std::string& realm, bool keyring);

  QLabel* LabelSite = nullptr;
  QLabel* LabelRealm = nullptr;
  QLineEdit* EditUsername = nullptr;
  QLineEdit* EditPassword = nullptr;
  QCheckBox* CheckRemember = nullptr;
  QLabel* LabelNoKeyring = nullptr;
  QPushButton* ButtonOK = nullptr;
  QPushButton* ButtonCancel = nullptr;

 private:
  void UpdateOK();
};

}  // namespace gui
