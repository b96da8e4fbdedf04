#include "gui/FormLogin.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/DialogButtons.h"
#include "gui/Names.h"
#include "gui/Translator.h"

namespace gui {

namespace {

// `format` translated in the dialog's section, its "%s" replaced by `value`.
QString Filled(const char* format, const std::string& value) {
  QString text = SectionString(format, "TFormLogin");
  const qsizetype at = text.indexOf(QStringLiteral("%s"));
  if (at >= 0) text.replace(at, 2, QString::fromStdString(value));
  return text;
}

}  // namespace

TFormLogin::TFormLogin(QWidget* parent) : QDialog(parent) {
  Name(this, "FormLogin", "Log In");
  setWindowTitle(tr("Log In"));
  auto* content = new QWidget(this);
  auto* column = new QVBoxLayout(content);
  column->setContentsMargins(0, 0, 0, 0);
  LabelSite = Name(new QLabel(content), "LabelSite", "");
  LabelSite->setWordWrap(true);
  LabelSite->setTextFormat(Qt::PlainText);
  LabelRealm = Name(new QLabel(content), "LabelRealm", "");
  LabelRealm->setWordWrap(true);
  LabelRealm->setTextFormat(Qt::PlainText);
  column->addWidget(LabelSite);
  column->addWidget(LabelRealm);
  auto* form = new QFormLayout;
  EditUsername = Name(new QLineEdit(content), "EditUsername", "User name:");
  EditPassword = Name(new QLineEdit(content), "EditPassword", "Password:");
  EditPassword->setEchoMode(QLineEdit::Password);
  auto* userLabel = new QLabel(tr("User name:"), content);
  auto* passwordLabel = new QLabel(tr("Password:"), content);
  userLabel->setBuddy(EditUsername);
  passwordLabel->setBuddy(EditPassword);
  form->addRow(userLabel, EditUsername);
  form->addRow(passwordLabel, EditPassword);
  column->addLayout(form);
  CheckRemember = Name(new QCheckBox(tr("Remember for this site"), content), "CheckRemember", "Remember for this site");
  column->addWidget(CheckRemember);
  LabelNoKeyring = Name(
      new QLabel(tr("No keyring service was found: a remembered password lasts until the program ends."), content),
      "LabelNoKeyring", "No keyring service was found: a remembered password lasts until the program ends.");
  LabelNoKeyring->setWordWrap(true);
  column->addWidget(LabelNoKeyring);
  AddOKCancel(this, content, ButtonOK, ButtonCancel);
  setMinimumWidth(420);
  connect(EditUsername, &QLineEdit::textChanged, this, &TFormLogin::UpdateOK);
}

void TFormLogin::UpdateOK() { ButtonOK->setEnabled(!EditUsername->text().isEmpty()); }

void TFormLogin::Prepare(const std::string& site, const std::string& realm, bool keyring) {
  LabelSite->setText(Filled("The server at %s asks for a user name and password.", site));
  LabelRealm->setText(Filled("It says: %s", realm));
  LabelRealm->setVisible(!realm.empty());
  LabelNoKeyring->setVisible(!keyring);
  EditPassword->clear();
  UpdateOK();
  if (EditUsername->text().isEmpty()) EditUsername->setFocus();
  else EditPassword->setFocus();
  adjustSize();
}

std::optional<platform::Login> TFormLogin::Ask(const std::string& site, const std::string& realm, bool keyring) {
  Prepare(site, realm, keyring);
  if (exec() != QDialog::Accepted || EditUsername->text().isEmpty()) return std::nullopt;
  return platform::Login{EditUsername->text().toStdString(), EditPassword->text().toStdString(),
                         CheckRemember->isChecked()};
}

}  // namespace gui
