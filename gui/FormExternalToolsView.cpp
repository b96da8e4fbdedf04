#include "gui/FormExternalToolsView.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/UnitExternalTools.h"
#include "gui/DialogButtons.h"
#include "gui/Names.h"

namespace gui {

TFormExternalToolsView::TFormExternalToolsView(TFormExternalTools& tools, QWidget* parent)
    : QDialog(parent), Tools(tools) {
  Name(this, "FormExternalTools", TFormExternalTools::kCaption);
  setWindowTitle(tr(TFormExternalTools::kCaption));
  PageControl = Name(new QTabWidget(this), "PageControl", "Pages");
  auto* page = Name(new QWidget(PageControl), "TSSettings", "Settings");
  PageControl->addTab(page, tr("Settings"));
  auto* grid = new QGridLayout(page);
  for (int i = 1; i <= TFormExternalTools::kFields; ++i) {
    const QString caption = tr(TFormExternalTools::kLabels[static_cast<size_t>(i - 1)]);
    auto* label = new QLabel(caption, page);
    const std::string editName = "Edit" + std::to_string(i), buttonName = "Button" + std::to_string(i);
    Edit[static_cast<size_t>(i)] = Name(new QLineEdit(page), editName.c_str(), caption);
    Button[static_cast<size_t>(i)] = Name(new QPushButton(QStringLiteral("..."), page), buttonName.c_str(), "...");
    QLineEdit* edit = Edit[static_cast<size_t>(i)];
    QPushButton* button = Button[static_cast<size_t>(i)];
    label->setBuddy(edit);
    button->setAutoDefault(false);
    button->setFixedWidth(button->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 20);
    // The focused field is painted yellow, and returns to the normal colour when it loses it.
    edit->setStyleSheet(QStringLiteral("QLineEdit:focus { background: #ffff80; }"));
    edit->setMinimumWidth(280);
    grid->addWidget(label, i - 1, 0);
    grid->addWidget(edit, i - 1, 1);
    grid->addWidget(button, i - 1, 2);
    connect(button, &QPushButton::clicked, this, [this, i, button] {
      Tools.Edit[static_cast<size_t>(i)] = Edit[static_cast<size_t>(i)]->text().toStdString();
      if (Tools.ButtonClick(button->objectName().toStdString()))
        Edit[static_cast<size_t>(i)]->setText(QString::fromStdString(Tools.Edit[static_cast<size_t>(i)]));
    });
  }
  AddOKCancel(this, PageControl, ButtonOK, ButtonCancel);
  Tools.ShowModal = [this](TFormExternalTools&) { return ShowModal(); };
}

TFormExternalToolsView::~TFormExternalToolsView() { Tools.ShowModal = nullptr; }

bool TFormExternalToolsView::ShowModal() {
  for (int i = 1; i <= TFormExternalTools::kFields; ++i)
    Edit[static_cast<size_t>(i)]->setText(QString::fromStdString(Tools.Edit[static_cast<size_t>(i)]));
  const int focused = Tools.FocusedField >= 1 ? Tools.FocusedField : 1;
  Tools.FocusedField = 0;
  PageControl->setCurrentIndex(0);
  Edit[static_cast<size_t>(focused)]->setFocus();
  const bool ok = exec() == QDialog::Accepted;
  for (int i = 1; i <= TFormExternalTools::kFields; ++i)
    Tools.Edit[static_cast<size_t>(i)] = Edit[static_cast<size_t>(i)]->text().toStdString();
  return ok;
}

}  // namespace gui
