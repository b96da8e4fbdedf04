#include "gui/QtPrompter.h"
#include "gui/Translator.h"

#include <QAbstractButton>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QSortFilterProxyModel>
#include <QMessageBox>
#include <QRegularExpression>

#include "Kel/KelDialogs.h"
#include "Kel/KelTranslate.h"
#include "gui/FormLogin.h"
#include "gui/FormSelectFileName.h"

namespace gui {

QString QtFilterOf(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split('|');
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString description = RunTimeString(parts[i].trimmed().toStdString());
    QStringList list = parts[i + 1].split(';', Qt::SkipEmptyParts);
    // "*.*" means every file, also those without a dot in their names.
    for (QString& pattern : list)
      if (pattern.trimmed() == QStringLiteral("*.*")) pattern = QStringLiteral("*");
    const QString patterns = list.join(' ');
    if (description.isEmpty() && patterns.isEmpty()) continue;
    // Qt reads the patterns from the last parentheses of the text: the pattern list replaces
    // any parenthesised part that ends the description.
    static const QRegularExpression trailing(QStringLiteral("\\s*\\([^()]*\\)$"));
    description.remove(trailing);
    out << QStringLiteral("%1 (%2)").arg(description, patterns);
  }
  return out.join(QStringLiteral(";;"));
}

// The programs filter ("*.exe" names programs on the system the filter texts come from): here a
// program is any file with the execute bit, which no name pattern can say. The dialog lists only
// folders and executable files while that filter is chosen.
QString ProgramsFilter() { return RunTimeString("Programs") + QStringLiteral(" (*)"); }

class ExecutableFilter : public QSortFilterProxyModel {
 public:
  bool Active = true;

 protected:
  bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
    if (!Active) return true;
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (!files) return true;
    const QFileInfo info = files->fileInfo(files->index(row, 0, parent));
    return info.isDir() || (info.isFile() && info.isExecutable());
  }
};

// The Qt filter text of `filter`, with the programs filter of this system in place of "*.exe".
QString OpenFilterOf(const std::string& filter, bool& programs) {
  QString text = QtFilterOf(filter);
  const QStringList list = text.split(QStringLiteral(";;"));
  programs = !list.isEmpty() && list.first().endsWith(QStringLiteral("(*.exe)"), Qt::CaseInsensitive);
  if (!programs) return text;
  QStringList out = list;
  out.first() = ProgramsFilter();
  return out.join(QStringLiteral(";;"));
}

QString MessageText(const std::string& text) {
  QString s = QString::fromStdString(text);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  s.replace('\r', '\n');
  return s;
}

StartName StartNameOf(const std::string& fileName) {
  QString text = QString::fromStdString(fileName);
  for (QChar c : {QChar('|'), QChar('<'), QChar('>')}) text.remove(c);
  const QFileInfo info(text);
  StartName out;
  if (text.contains('/')) out.Folder = info.path();
  out.Name = info.fileName();
  if (out.Name == "." || out.Name == "..") out.Name.clear();
  return out;
}

QtPrompter::QtPrompter() = default;

std::string QtPrompter::Tr(const std::string& text) const {
  if (!Translate) return text;
  try {
    return Translate(text);
  } catch (const std::exception&) {
    return text;  // a translation that cannot be read leaves the message as it is
  }
}
QtPrompter::~QtPrompter() = default;

void QtPrompter::SetParent(QWidget* parent) {
  if (parent == Parent_) return;
  FileNameDialog_.reset();
  LoginDialog_.reset();
  Parent_ = parent;
}

namespace {

QMessageBox::StandardButton Box(QWidget* parent, QMessageBox::Icon icon, const std::string& text,
                                QMessageBox::StandardButtons buttons, QMessageBox::StandardButton standard) {
  QMessageBox box(icon, ApplicationTitle(), MessageText(text), buttons, parent);
  box.setObjectName(QStringLiteral("MessageBox"));
  box.setDefaultButton(standard);
  // Qt names the standard buttons in English: their captions come from the translations too.
  const std::pair<QMessageBox::StandardButton, const char*> captions[] = {
      {QMessageBox::Yes, "&Yes"}, {QMessageBox::No, "&No"}, {QMessageBox::Ok, "OK"}, {QMessageBox::Cancel, "Cancel"}};
  for (const auto& [button, caption] : captions)
    if (QAbstractButton* b = box.button(button)) b->setText(RunTimeString(caption));
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace

bool QtPrompter::AskYesNo(const std::string& text) {
  return Box(Parent_, QMessageBox::Question, Tr(text), QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) ==
         QMessageBox::Yes;
}

platform::Answer QtPrompter::AskYesNoCancel(const std::string& text) {
  switch (Box(Parent_, QMessageBox::Warning, Tr(text), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
              QMessageBox::Yes)) {
    case QMessageBox::Yes:
      return platform::Answer::Yes;
    case QMessageBox::No:
      return platform::Answer::No;
    default:
      return platform::Answer::Cancel;
  }
}

void QtPrompter::Notice(const std::string& text) {
  Box(Parent_, QMessageBox::Warning, Tr(text), QMessageBox::Ok, QMessageBox::Ok);
}

void QtPrompter::Inform(const std::string& text) {
  Box(Parent_, QMessageBox::Information, Tr(text), QMessageBox::Ok, QMessageBox::Ok);
}

void QtPrompter::ShowError(const std::string& text) {
  Box(Parent_, QMessageBox::Critical, Tr(text), QMessageBox::Ok, QMessageBox::Ok);
}

std::optional<std::string> QtPrompter::PromptOpenFile(const std::string& name, const std::string& filter,
                                                      const std::string& defaultExt) {
  const StartName start = StartNameOf(name);
  if (!start.Folder.isEmpty()) OpenFolder_ = start.Folder;
  bool programs = false;
  const QString filters = OpenFilterOf(filter.empty() ? "All Files (*.*)|*.*|" : filter, programs);
  QFileDialog dialog(Parent_, QString(), OpenFolder_.isEmpty() ? QDir::currentPath() : OpenFolder_, filters);
  dialog.setObjectName(QStringLiteral("OpenDialog"));
  if (programs) {
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    auto* executables = new ExecutableFilter;
    executables->setObjectName(QStringLiteral("ExecutableFilter"));
    dialog.setProxyModel(executables);
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [executables](const QString& chosen) {
      executables->Active = chosen == ProgramsFilter();
      executables->invalidate();
    });
  }
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(QString::fromStdString(defaultExt));
  dialog.setSizeGripEnabled(false);
  if (!start.Name.isEmpty()) dialog.selectFile(start.Name);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const QString chosen = dialog.selectedFiles().first();
  OpenFolder_ = QFileInfo(chosen).path();
  return chosen.toStdString();
}

std::optional<std::string> QtPrompter::PromptSaveFile(const std::string& name, const std::string& filter,
                                                      const std::string& defaultExt) {
  const StartName start = StartNameOf(name);
  if (!start.Folder.isEmpty()) SaveFolder_ = start.Folder;
  QFileDialog dialog(Parent_, QString(), SaveFolder_.isEmpty() ? QDir::currentPath() : SaveFolder_,
                     QtFilterOf(filter.empty() ? "All Files (*.*)|*.*|" : filter));
  dialog.setObjectName(QStringLiteral("SaveDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(QString::fromStdString(defaultExt));
  dialog.setSizeGripEnabled(false);
  if (!start.Name.isEmpty()) dialog.selectFile(start.Name);
  for (;;) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    const QString chosen = dialog.selectedFiles().first();
    const QFileInfo info(chosen);
    // The path must exist, and a read-only file is refused (the dialog has asked before
    // overwriting a writable one).
    if (!info.dir().exists()) {
      Notice(FormatText("The folder %s does not exist.", info.path().toStdString().c_str()));
      continue;
    }
    if (info.exists() && !info.isWritable()) {
      Notice(FormatText("%s\rThis file is set to read-only.\rTry again with a different file name.",
                        chosen.toStdString().c_str()));
      continue;
    }
    SaveFolder_ = info.path();
    return chosen.toStdString();
  }
}

std::optional<std::string> QtPrompter::PromptFolder(const std::string& start) {
  const QString from = start.empty() ? QDir::currentPath() : QString::fromStdString(start);
  const QString chosen = QFileDialog::getExistingDirectory(Parent_, QString(), from, QFileDialog::ShowDirsOnly);
  if (chosen.isEmpty()) return std::nullopt;
  QDir::setCurrent(chosen);
  QString folder = QDir::cleanPath(chosen);
  if (!folder.endsWith('/')) folder += '/';
  return folder.toStdString();
}

std::optional<platform::Login> QtPrompter::AskLogin(const std::string& site, const std::string& realm, bool keyring) {
  if (!LoginDialog_) {
    LoginDialog_ = std::make_unique<TFormLogin>(Parent_);
    if (const TTranslationStore* store = RunTimeTexts()) TranslateComponent(LoginDialog_.get(), *store);
  }
  return LoginDialog_->Ask(site, realm, keyring);
}

std::optional<std::string> QtPrompter::AskFileName(const std::string& title, const std::string& name) {
  if (!FileNameDialog_) {
    // Made on first use, after the windows were translated: it is translated as it is made.
    FileNameDialog_ = std::make_unique<TFormSelectFileName>(*this, Parent_);
    if (const TTranslationStore* store = RunTimeTexts()) TranslateComponent(FileNameDialog_.get(), *store);
  }
  return FileNameDialog_->Ask(RunTimeText(title), name);
}

}  // namespace gui
