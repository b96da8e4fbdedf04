#include "gui/FormHTTPSettingsView.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "Kel/KelStr.h"
#include "app/UnitHTTPSettings.h"
#include "gui/Names.h"

namespace gui {

TFormHTTPSettingsView::TFormHTTPSettingsView(TFormHTTPSettings& settings, QWidget* parent)
    : QDialog(parent), Settings(settings) {
  Name(this, "FormHTTPSettings", TFormHTTPSettings::kCaption);
  setWindowTitle(tr(TFormHTTPSettings::kCaption));
  PageControl = Name(new QTabWidget(this), "PageControl", "Pages");
  auto* page = Name(new QWidget(PageControl), "TSProxy", "Proxy");
  PageControl->addTab(page, tr("Proxy"));
  EditServer = Name(new QLineEdit(page), "EditServer", "Server:");
  EditPort = Name(new QSpinBox(page), "EditPort", "Port:");
  EditPort->setRange(0, 65535);
  EditPort->setMaximumWidth(110);
  EditUsername = Name(new QLineEdit(page), "EditUsername", "Username:");
  EditPassword = Name(new QLineEdit(page), "EditPassword", "Password:");
  EditPassword->setEchoMode(QLineEdit::Password);
  EditBasicAuth = Name(new QCheckBox(tr("Basic Authentication"), page), "EditBasicAuth", "Basic Authentication");
  auto* form = new QFormLayout(page);
  form->addRow(tr("Server:"), EditServer);
  form->addRow(tr("Port:"), EditPort);
  form->addRow(tr("Username:"), EditUsername);
  form->addRow(tr("Password:"), EditPassword);
  form->addRow(QString(), EditBasicAuth);
  ButtonOK = Name(new QPushButton(tr("OK"), this), "ButtonOK", "OK");
  ButtonCancel = Name(new QPushButton(tr("Cancel"), this), "ButtonCancel", "Cancel");
  ButtonOK->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ButtonOK);
  buttons->addWidget(ButtonCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(PageControl);
  layout->addLayout(buttons);
  resize(380, sizeHint().height());
  connect(ButtonOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
  // Every edit reaches the clients at once, as the values the workers read.
  for (QLineEdit* e : {EditServer, EditUsername, EditPassword})
    connect(e, &QLineEdit::textEdited, this, &TFormHTTPSettingsView::TakeValues);
  connect(EditPort, &QSpinBox::valueChanged, this, &TFormHTTPSettingsView::TakeValues);
  connect(EditBasicAuth, &QCheckBox::toggled, this, &TFormHTTPSettingsView::TakeValues);
}

void TFormHTTPSettingsView::ShowValues() {
  const QSignalBlocker a(EditPort), b(EditBasicAuth);
  EditServer->setText(QString::fromStdString(Settings.EditServer.Text));
  EditPort->setValue(StrToIntDef(Settings.EditPort.Text, 0));
  EditUsername->setText(QString::fromStdString(Settings.EditUsername.Text));
  EditPassword->setText(QString::fromStdString(Settings.EditPassword.Text));
  EditBasicAuth->setChecked(Settings.EditBasicAuth.Checked);
}

void TFormHTTPSettingsView::TakeValues() {
  Settings.EditServer.Text = EditServer->text().toStdString();
  Settings.EditPort.Text = std::to_string(EditPort->value());
  Settings.EditUsername.Text = EditUsername->text().toStdString();
  Settings.EditPassword.Text = EditPassword->text().toStdString();
  Settings.EditBasicAuth.Checked = EditBasicAuth->isChecked();
  Settings.Changed();
}

bool TFormHTTPSettingsView::Execute() {
  return Settings.Run([this](TFormHTTPSettings&) {
    ShowValues();
    PageControl->setCurrentIndex(0);
    EditServer->setFocus();
    const bool ok = exec() == QDialog::Accepted;
    TakeValues();
    return ok;
  });
}

}  // namespace gui
