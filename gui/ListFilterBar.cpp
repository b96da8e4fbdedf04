#include "gui/ListFilterBar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

#include "app/ListFilter.h"
#include "gui/Icons.h"
#include "gui/Names.h"

namespace gui {

namespace {
struct TClassButton {
  const char* Name;
  const char* Caption;
  const char* Hint;
  TAnswerClass Class;
};
constexpr TClassButton kClassButtons[] = {
    {"Button2xx", "2xx", "Only addresses answered with success (200 to 299)", ac2xx},
    {"Button3xx", "3xx", "Only addresses answered with a redirect (300 to 399)", ac3xx},
    {"Button4xx", "4xx", "Only addresses answered with a client error (400 to 499), such as 404 Not Found", ac4xx},
    {"Button5xx", "5xx", "Only addresses answered with a server error (500 to 599)", ac5xx},
    {"ButtonFailed", "Failed", "Only addresses that got no answer: no connection, a timeout, a redirect loop", acFailed},
};
}  // namespace

TListFilterBar::TListFilterBar(QWidget* parent) : QWidget(parent) {
  Name(this, "PanelFilter", tr("Filter"));
  EditFilter = Name(new QLineEdit(this), "EditFilter", tr("Filter"));
  EditFilter->setPlaceholderText(tr("Filter (Ctrl+F)"));
  EditFilter->setToolTip(tr("Shows only the rows that hold this text in any column"));
  EditFilter->setClearButtonEnabled(true);
  EditFilter->setMinimumWidth(EditFilter->fontMetrics().horizontalAdvance(QStringLiteral("Filter (Ctrl+F)")) + 60);
  EditFilter->installEventFilter(this);
  connect(EditFilter, &QLineEdit::textChanged, this, &TListFilterBar::Changed);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(EditFilter, 1);
  for (size_t i = 0; i < ButtonClass.size(); ++i) {
    const TClassButton& b = kClassButtons[i];
    QToolButton* button = Name(new QToolButton(this), b.Name, tr(b.Caption));
    button->setText(tr(b.Caption));
    button->setToolTip(tr(b.Hint));
    button->setCheckable(true);
    button->setAutoRaise(false);
    connect(button, &QToolButton::toggled, this, &TListFilterBar::Changed);
    layout->addWidget(button);
    ButtonClass[i] = button;
  }
}

std::string TListFilterBar::Text() const { return EditFilter->text().toStdString(); }

unsigned TListFilterBar::Classes() const {
  unsigned classes = acNone;
  for (size_t i = 0; i < ButtonClass.size(); ++i)
    if (ButtonClass[i]->isChecked()) classes |= kClassButtons[i].Class;
  return classes;
}

void TListFilterBar::Clear() {
  {
    // One change for the whole.
    const QSignalBlocker quiet(this);
    EditFilter->clear();
    for (QToolButton* button : ButtonClass) button->setChecked(false);
  }
  emit Changed();
}

void TListFilterBar::FocusBox() {
  EditFilter->setFocus(Qt::ShortcutFocusReason);
  EditFilter->selectAll();
}

bool TListFilterBar::eventFilter(QObject* watched, QEvent* event) {
  // Escape in the box clears the filter; the box takes it before the window's Escape (Stop)
  // only while there is a filter to clear.
  if (watched == EditFilter && (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)) {
    auto* key = static_cast<QKeyEvent*>(event);
    const bool clearing = key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier &&
                          (!EditFilter->text().isEmpty() || Classes() != acNone);
    if (clearing) {
      event->accept();
      if (event->type() == QEvent::KeyPress) Clear();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace gui
