// The shipped German translation reaches every text a person reads: each window's widgets,
// menus, actions, tooltips, column headers, the tree's categories, the status bars, the texts
// set while a crawl runs, the message boxes and the dialogs made later. A word left English is
// found by the English word list: a word of it that no German translation uses.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <fstream>
#include <set>
#include <sstream>

#include "DialogFixture.h"
#include "Kel/KelTranslate.h"
#include "app/SpiderTools.h"
#include "gui/FormAbout.h"
#include "gui/FormHTTPClientView.h"
#include "gui/FormProperties.h"
#include "gui/NodeListModel.h"
#include "gui/NodeListView.h"
#include "gui/QtPrompter.h"
#include "gui/SiteTreeModel.h"
#include "gui/StatusPanels.h"
#include "gui/Translator.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The words of a text: runs of letters (any script), lower-cased.
QStringList Words(const QString& text) {
  static const QRegularExpression word(QStringLiteral("\\p{L}+"));
  QStringList out;
  for (auto it = word.globalMatch(text); it.hasNext();) out << it.next().captured().toLower();
  return out;
}

// Names and abbreviations that are the same in every language.
const std::set<QString> kNames = {"quorlix", "tessaly", "http", "https", "url", "urls", "csv", "xml", "html",
                                  "dhtml",   "txt",     "kb",   "mib",   "excel", "windows", "localhost", "id",
                                  "s",       "tly",     "htm",  "exe",   "asp",   "shtml",   "no", "proxy"};

class GermanText {
 public:
  GermanText() {
    std::istringstream lines(ReadFile(std::string(TESSALY_SOURCE_DIR) + "/gui/share/lang.de.txt"));
    for (std::string line; std::getline(lines, line);)
      if (line.rfind("T=", 0) == 0)
        for (const QString& w : Words(QString::fromStdString(line.substr(2)))) German_.insert(w);
    std::istringstream words(ReadFile(TESSALY_DICTIONARY));
    for (std::string w; std::getline(words, w);) English_.insert(QString::fromStdString(w).toLower());
  }
  bool HasEnglish() const { return !English_.empty(); }

  // The English words of `text` that no German translation uses ("" when none). Addresses,
  // paths, file names and patterns are names and left out, and so is the markup of rich text.
  QString EnglishIn(QString text) const {
    static const QRegularExpression markup(QStringLiteral("<[^>]*>"));
    static const QRegularExpression fileName(QStringLiteral("\\w\\.\\w"));
    text.remove(markup);
    QStringList found;
    for (const QString& part : text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)) {
      if (part.contains(QStringLiteral("://")) || part.startsWith('/') || part.contains(QStringLiteral("*.")) ||
          part.contains(fileName))
        continue;
      for (const QString& w : Words(part))
        if (English_.count(w) && !German_.count(w) && !kNames.count(w)) found << w;
    }
    return found.join(' ');
  }

 private:
  std::set<QString> German_;
  std::set<QString> English_;
};

// Every text a person reads in `root` and below it, each with where it was found.
void Collect(QObject* o, std::vector<std::pair<QString, QString>>& out) {
  auto add = [&](const QString& where, const QString& text) {
    if (!text.isEmpty()) out.emplace_back(where, text);
  };
  const QString name = QString::fromStdString("[" + gui::SectionOf(o) + "] ") +
                       (o->objectName().isEmpty() ? QString::fromLatin1(o->metaObject()->className()) : o->objectName());
  if (auto* a = qobject_cast<QAction*>(o)) {
    if (!a->isSeparator()) {
      add(name + " text", a->text());
      add(name + " tooltip", a->toolTip());
    }
  } else if (auto* w = qobject_cast<QWidget*>(o)) {
    if (w->isWindow()) add(name + " title", w->windowTitle());
    add(name + " tooltip", w->toolTip());
    add(name + " accessible name", w->accessibleName());
    for (QAction* a : w->actions()) Collect(a, out);
    if (auto* m = qobject_cast<QMenu*>(w)) add(name + " title", m->title());
    if (auto* l = qobject_cast<QLabel*>(w)) add(name + " text", l->text());
    if (auto* b = qobject_cast<QAbstractButton*>(w)) add(name + " text", b->text());
    if (auto* e = qobject_cast<QLineEdit*>(w)) add(name + " placeholder", e->placeholderText());
    if (auto* g = qobject_cast<QGroupBox*>(w)) add(name + " title", g->title());
    if (auto* p = qobject_cast<QPlainTextEdit*>(w); p && p->isReadOnly()) add(name + " text", p->toPlainText());
    if (auto* s = qobject_cast<QAbstractSpinBox*>(w)) add(name + " text", s->text());
    if (auto* c = qobject_cast<QComboBox*>(w); c && !c->isEditable())
      for (int i = 0; i < c->count(); ++i) add(name + " entry", c->itemText(i));
    if (auto* t = qobject_cast<QTabWidget*>(w))
      for (int i = 0; i < t->count(); ++i) add(name + " tab", t->tabText(i));
    if (auto* v = qobject_cast<QAbstractItemView*>(w); v && v->model()) {
      auto* header = qobject_cast<QHeaderView*>(v) ? nullptr : v->findChild<QHeaderView*>();
      for (int i = 0; header && !header->isHidden() && i < v->model()->columnCount(); ++i)
        add(name + " header", v->model()->headerData(i, Qt::Horizontal).toString());
      // The tree's categories (the site's own entry is an address).
      if (auto* tree = qobject_cast<gui::SiteTreeModel*>(v->model()))
        for (int r = 0; r < tree->rowCount(); ++r) add(name + " category", tree->index(r, 0).data().toString());
    }
    if (auto* panels = qobject_cast<gui::TStatusPanels*>(w))
      for (int i = 0; i < gui::TStatusPanels::kPanels; ++i) add(name + " panel", panels->Text(i));
  }
  for (QObject* child : o->children()) Collect(child, out);
}

class GermanTest : public DialogFixture {
 protected:
  // The English texts left in every window, shown or hidden (or only in `extra`), one a line.
  std::string EnglishLeft(const GermanText& german, QWidget* extra = nullptr) {
    std::vector<std::pair<QString, QString>> texts;
    if (extra) {
      Collect(extra, texts);
    } else {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (!w->parentWidget()) Collect(w, texts);
    }
    QStringList left;
    for (const auto& [where, text] : texts)
      if (const QString english = german.EnglishIn(text); !english.isEmpty())
        left << where + ": \"" + text + "\" (" + english + ")";
    left.removeDuplicates();
    return left.join('\n').toStdString();
  }
};

TEST_F(GermanTest, NoEnglishTextIsLeftInAnyWindowWithTheGermanFile) {
  const GermanText german;
  ASSERT_TRUE(german.HasEnglish());
  OpenWindow(ReadFile(std::string(TESSALY_SOURCE_DIR) + "/gui/share/lang.de.txt"));
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  ASSERT_TRUE(ServeUntil([&] { return window->Translated(); }, 5000));

  // A crawl fills the tree, the list and the status bars; its page has a broken link.
  const std::string page = dir.Write("site/index.html", "<title>Home</title><a href='gone.html'>gone</a>");
  Crawl(page);
  window->FormHTTPClient->ShowWindow();
  Select(app->Main.Tree.Root(rkBroken));
  EXPECT_EQ(EnglishLeft(german), "");

  // Texts set while the crawl runs and by the pool's window.
  EXPECT_EQ(window->ButtonSpider->text().toStdString(), "Starten");
  EXPECT_EQ(window->StatusBar->Text(2).toStdString(), "Bereit");
  EXPECT_EQ(window->ListModel->headerData(0, Qt::Horizontal).toString().toStdString(), "Name");
  // Every translated column caption fits its column.
  const QHeaderView* header = window->ListView->Details->header();
  for (int i = 0; i < header->count(); ++i)
    EXPECT_GE(header->sectionSize(i), header->sectionSizeHint(i)) << header->model()->headerData(i, Qt::Horizontal).toString().toStdString();
  EXPECT_EQ(window->FormHTTPClient->ButtonSuspend->text().toStdString(), "Anhalten");
  EXPECT_EQ(window->TreeModel->index(rkBroken, 0).data().toString().toStdString(), "Defekte Links");
  EXPECT_EQ(window->windowTitle().toStdString().rfind("Quorlix Tessaly", 0), 0u);

  // The About box, made when it is asked for.
  std::string about;
  WhenModal([&](QWidget* w) {
    about = EnglishLeft(german, w);
    static_cast<QDialog*>(w)->accept();
    return true;
  });
  window->ShowAbout();
  EXPECT_EQ(about, "");

  // URL Properties of the page: the texts the program fills in are German too.
  std::string properties;
  QString title;
  WhenModal([&](QWidget* w) {
    properties = EnglishLeft(german, w);
    title = window->FormProperties->EditDesc->text();
    static_cast<QDialog*>(w)->accept();
    return true;
  });
  TSpiderNode* home = Node("file://LocalHost" + page);
  ASSERT_TRUE(home);
  window->ShowProperties(home);
  EXPECT_EQ(properties, "");
  EXPECT_EQ(title.toStdString(), "Unbekannt");
}

TEST_F(GermanTest, MessageBoxesAndTheFileNameDialogMadeLaterAreGerman) {
  const GermanText german;
  OpenWindow(ReadFile(std::string(TESSALY_SOURCE_DIR) + "/gui/share/lang.de.txt"));
  window->TranslateWindows();
  gui::QtPrompter prompter;
  prompter.SetParent(window.get());
  prompter.Translate = [this](const std::string& text) { return app->Translations.Translate(text, "STRING_TABLE"); };

  // A message whose format is looked up first, then filled in.
  std::string box;
  QString boxText;
  QString boxTitle;
  WhenModal([&](QWidget* w) {
    box = EnglishLeft(german, w);
    boxText = static_cast<QMessageBox*>(w)->text();
    boxTitle = w->windowTitle();
    static_cast<QMessageBox*>(w)->button(QMessageBox::No)->click();
    return true;
  });
  EXPECT_FALSE(prompter.AskYesNo(FormatText("Are you sure you want to overwrite \"%s\"?", "/tmp/a.html")));
  EXPECT_EQ(box, "");
  EXPECT_EQ(boxText.toStdString(), "Soll \"/tmp/a.html\" wirklich überschrieben werden?");
  EXPECT_EQ(boxTitle.toStdString(), "Quorlix Tessaly");

  // The file-name dialog is made on its first use, after the translation pass.
  std::string dialog;
  WhenModal([&](QWidget* w) {
    dialog = EnglishLeft(german, w);
    static_cast<QDialog*>(w)->reject();
    return true;
  });
  EXPECT_FALSE(prompter.AskFileName("Select Local File Name", "a.html"));
  EXPECT_EQ(dialog, "");

  // So is the login question, with the note shown when no keyring answers.
  std::string login;
  QString site;
  WhenModal([&](QWidget* w) {
    login = EnglishLeft(german, w);
    if (auto* label = w->findChild<QLabel*>(QStringLiteral("LabelSite"))) site = label->text();
    static_cast<QDialog*>(w)->reject();
    return true;
  });
  EXPECT_FALSE(prompter.AskLogin("https://staging.example.org", "Bereich 7", false));
  EXPECT_EQ(login, "");
  EXPECT_EQ(site.toStdString(), "Der Server https://staging.example.org verlangt einen Benutzernamen und ein Kennwort.");
  prompter.SetParent(nullptr);
}

// A translated format is used only when it takes the same arguments as the English one.
TEST(RunTimeFormatTest, ATranslatedFormatIsUsedOnlyWithTheSameConversions) {
  struct Case {
    const char* English;
    const char* Translation;
    bool Used;
  };
  const Case cases[] = {
      {"%d objects", "%d Objekte", true},
      {"Requesting: %s", "Anfrage: %s", true},
      {"%lld of %lld bytes completed.", "%lld von %lld Bytes übertragen.", true},
      {"%lld%%", "%lld %%", true},
      {"Active Threads: %d  Total Threads: %d", "Aktiv: %s  Gesamt: %d", false},  // %s would read an int
      {"%d objects", "%d Objekte %d", false},                                     // one argument too many
      {"%s from (%s)", "%2$s: %1$s", false},                                      // positional
      {"%d objects", "%n Objekte", false},
      {"%s", "%", false},
  };
  for (const Case& c : cases) {
    TTranslationStore store;
    store.LoadFromText(std::string("<//STRING_TABLE- texts>\nE=") + EscapeText(c.English) + "\nT=" +
                       EscapeText(c.Translation) + "\n");
    SetRunTimeTexts(&store);
    EXPECT_EQ(RunTimeFormat(c.English), c.Used ? c.Translation : c.English) << c.English << " / " << c.Translation;
    SetRunTimeTexts(nullptr);
  }
  TTranslationStore store;
  store.LoadFromText("<//STRING_TABLE- texts>\nE=Requesting: %s\nT=Anfrage: %s\n");
  SetRunTimeTexts(&store);
  EXPECT_EQ(FormatText("Requesting: %s", "http://a/"), "Anfrage: http://a/");
  SetRunTimeTexts(nullptr);
  EXPECT_EQ(FormatText("Requesting: %s", "http://a/"), "Requesting: http://a/");
}

}  // namespace
