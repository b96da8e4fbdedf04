#include "gui/FormSelectFileName.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/DialogButtons.h"
#include "gui/Names.h"
#include "platform/Platform.h"

namespace gui {

TFormSelectFileName::TFormSelectFileName(platform::Prompter& prompter, QWidget* parent)
    : QDialog(parent), Prompter_(prompter) {
  Name(this, "FormSelectFileName", "Select File Name");
  auto* group = new QGroupBox(this);
  auto* label = new QLabel(tr("File Name:"), group);
  EditFileName = Name(new QLineEdit(group), "EditFileName", "File Name:");
  label->setBuddy(EditFileName);
  ButtonBrowse = Name(new QPushButton(QStringLiteral("..."), group), "ButtonBrowse", "Browse");
  ButtonBrowse->setAutoDefault(false);
  auto* row = new QHBoxLayout(group);
  row->addWidget(label);
  row->addWidget(EditFileName, 1);
  row->addWidget(ButtonBrowse);
  AddOKCancel(this, group, ButtonOK, ButtonCancel);
  resize(460, sizeHint().height());

  connect(EditFileName, &QLineEdit::textChanged, this, &TFormSelectFileName::UpdateOK);
  connect(ButtonBrowse, &QPushButton::clicked, this, [this] {
    if (auto chosen = Prompter_.PromptSaveFile(EditFileName->text().toStdString(), "All Files (*.*)|*.*|", ""))
      EditFileName->setText(QString::fromStdString(*chosen));
  });
}

void TFormSelectFileName::UpdateOK() { ButtonOK->setEnabled(!EditFileName->text().trimmed().isEmpty()); }

std::optional<std::string> TFormSelectFileName::Ask(const std::string& title, const std::string& name) {
  setWindowTitle(QString::fromStdString(title));
  EditFileName->setText(QString::fromStdString(name));
  UpdateOK();
  EditFileName->setFocus();
  if (exec() != QDialog::Accepted) return std::nullopt;
  return EditFileName->text().toStdString();
}

}  // namespace gui
