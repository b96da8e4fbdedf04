// The OK and Cancel buttons of a dialog, at the right under its content: OK is the default
// button and accepts the dialog, Cancel rejects it.
#pragma once

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/Names.h"

namespace gui {

// Lays out `content` above the two buttons as the dialog's layout and returns the buttons
// through `ok` and `cancel`.
inline void AddOKCancel(QDialog* dialog, QWidget* content, QPushButton*& ok, QPushButton*& cancel) {
  ok = Name(new QPushButton(QDialog::tr("OK"), dialog), "ButtonOK", "OK");
  cancel = Name(new QPushButton(QDialog::tr("Cancel"), dialog), "ButtonCancel", "Cancel");
  ok->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(dialog);
  layout->addWidget(content);
  layout->addLayout(buttons);
  QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
  QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
}

}  // namespace gui
