#include "gui/Translator.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTabWidget>
#include <QTreeWidget>
#include <QWidget>

#include "Kel/KelDialogs.h"
#include "Kel/KelTranslate.h"

namespace gui {

std::string SectionOf(const QObject* object) {
  for (const QObject* o = object; o; o = o->parent()) {
    const QString name = o->objectName();
    if (o->isWidgetType() && name.startsWith(QStringLiteral("Form"))) return "T" + name.toStdString();
  }
  return "Application";
}

namespace {

class TTranslation {
 public:
  TTranslation(const TTranslationStore& store, std::string section) : Store_(store), Section_(std::move(section)) {}
  QString operator()(const QString& text) const {
    if (text.isEmpty()) return text;
    // "lang.txt" holds its texts trimmed: a caption padded with blanks (a group box's title) is
    // looked up without them and keeps them.
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == QLatin1Char(' ')) ++first;
    while (last > first && text[last - 1] == QLatin1Char(' ')) --last;
    const QString core = text.mid(first, last - first);
    if (core.isEmpty()) return text;
    return text.left(first) + QString::fromStdString(Store_.Translate(core.toStdString(), Section_)) +
           text.mid(last);
  }

 private:
  const TTranslationStore& Store_;
  std::string Section_;
};

void TranslateOne(QObject* o, const TTranslation& t) {
  if (auto* a = qobject_cast<QAction*>(o)) {
    if (a->isSeparator()) return;
    a->setText(t(a->text()));
    if (a->toolTip() != a->text()) a->setToolTip(t(a->toolTip()));
    return;
  }
  auto* w = qobject_cast<QWidget*>(o);
  if (!w) return;
  if (w->isWindow()) w->setWindowTitle(t(w->windowTitle()));
  w->setToolTip(t(w->toolTip()));
  if (auto* m = qobject_cast<QMenu*>(w)) {
    m->setTitle(t(m->title()));
  } else if (auto* c = qobject_cast<QComboBox*>(w)) {
    const int index = c->currentIndex();
    const QString edit = c->isEditable() ? c->currentText() : QString();
    for (int i = 0; i < c->count(); ++i) c->setItemText(i, t(c->itemText(i)));
    c->setCurrentIndex(index);
    if (c->isEditable()) c->setEditText(t(edit));
  } else if (auto* tabs = qobject_cast<QTabWidget*>(w)) {
    for (int i = 0; i < tabs->count(); ++i) {
      tabs->setTabText(i, t(tabs->tabText(i)));
      tabs->setTabToolTip(i, t(tabs->tabToolTip(i)));
    }
  } else if (auto* tree = qobject_cast<QTreeWidget*>(w)) {
    QTreeWidgetItem* header = tree->headerItem();
    for (int i = 0; header && i < header->columnCount(); ++i) header->setText(i, t(header->text(i)));
  } else if (auto* label = qobject_cast<QLabel*>(w)) {
    label->setText(t(label->text()));
  } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
    button->setText(t(button->text()));
  } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    if (!qobject_cast<QComboBox*>(edit->parentWidget())) edit->setText(t(edit->text()));
    edit->setPlaceholderText(t(edit->placeholderText()));
  } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
    group->setTitle(t(group->title()));
  }
  if (!w->accessibleName().isEmpty()) w->setAccessibleName(t(w->accessibleName()));
}

void TranslateTree(QObject* o, const TTranslationStore& store) {
  TranslateOne(o, TTranslation(store, SectionOf(o)));
  for (QObject* child : o->children()) TranslateTree(child, store);
}

}  // namespace

void TranslateComponent(QObject* root, const TTranslationStore& store) {
  if (!root || store.Empty()) return;
  TranslateTree(root, store);
}

namespace {
QString& TranslatedTitle() {
  static QString title;
  return title;
}
}  // namespace

QString RunTimeString(const std::string& text) { return QString::fromStdString(RunTimeText(text)); }

QString SectionString(const std::string& text, const std::string& section) {
  const TTranslationStore* store = RunTimeTexts();
  if (!store) return QString::fromStdString(text);
  try {
    return QString::fromStdString(store->Translate(text, section));
  } catch (const std::exception&) {
    return QString::fromStdString(text);
  }
}

QString ApplicationTitle() {
  return TranslatedTitle().isEmpty() ? QString::fromUtf8(kApplicationTitle) : TranslatedTitle();
}

void TranslateApplication(const TTranslationStore& store) {
  if (store.Empty()) return;
  TranslatedTitle() = QString::fromStdString(store.Translate(kApplicationTitle, "Application"));
  for (QWidget* w : QApplication::topLevelWidgets())
    if (!w->parentWidget()) TranslateComponent(w, store);
}

}  // namespace gui
