#include "gui/FormSpellingView.h"

#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <algorithm>
#include <utility>

#include "gui/Names.h"
#include "gui/PreviewPage.h"

namespace gui {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

TFormSpellingView::TFormSpellingView(TFormSpelling& form, bool webEngine, QWidget* parent)
    : QDialog(parent), Form(form) {
  Name(this, "FormSpelling", "Spelling");
  setWindowTitle(tr("Spelling"));
  setSizeGripEnabled(true);
  auto* labelNot = new QLabel(tr(TFormSpelling::kNotInDictionaryLabel), this);
  EditNotInDictionary = Name(new QLineEdit(this), "EditNotInDictionary", tr("Not in Dictionary:"));
  EditNotInDictionary->setReadOnly(true);
  auto* labelChange = new QLabel(tr("Change To:"), this);
  EditChangeTo = Name(new QLineEdit(this), "EditChangeTo", tr("Change To:"));
  auto* labelSuggestions = new QLabel(tr("Suggestions:"), this);
  ListView = Name(new QListWidget(this), "ListView", tr("Suggestions:"));
  labelNot->setBuddy(EditNotInDictionary);
  labelChange->setBuddy(EditChangeTo);
  labelSuggestions->setBuddy(ListView);
  auto button = [this](const char* name, const QString& caption) {
    auto* b = Name(new QPushButton(caption, this), name, caption);
    b->setAutoDefault(false);
    return b;
  };
  ButtonIgnore = button("ButtonIgnore", tr("Ignore"));
  ButtonAdd = button("ButtonAdd", tr("Add"));
  ButtonChange = button("ButtonChange", tr("Change"));
  ButtonChangeAll = button("ButtonChangeAll", tr("Change All"));
  ButtonSuggest = button("ButtonSuggest", tr("Suggest"));
  ButtonOK = button("ButtonOK", tr("OK"));
  ButtonCancel = button("ButtonCancel", tr("Cancel"));
  ButtonSuggest->setEnabled(false);

  PageControl = Name(new QTabWidget(this), "PageControl", "Pages");
  TSPreview = Name(new QWidget(PageControl), "TSPreview", tr("Preview"));
  TSSource = Name(new QWidget(PageControl), "TSSource", tr("Source"));
  // The preview is tab 0 (a small screen may wrap each page in a scroll area).
  PageControl->addTab(TSPreview, tr("Preview"));
  PageControl->addTab(TSSource, tr("Source"));
  auto* previewLayout = new QVBoxLayout(TSPreview);
  previewLayout->setContentsMargins(0, 0, 0, 0);
  // The web view is made when the dialog first shows a page and released when the dialog
  // closes: a hidden dialog holds no browser, and the program starts without one.
  if (!webEngine) {
    TextPreview = Name(new QTextBrowser(TSPreview), "WebBrowser", tr("Preview"));
    TextPreview->setOpenLinks(false);
    previewLayout->addWidget(TextPreview);
  }
  RichEdit = Name(new QPlainTextEdit(TSSource), "RichEdit", tr("Source"));
  RichEdit->setReadOnly(true);
  RichEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
  RichEdit->setFont(QFont(QStringLiteral("Monospace")));
  // The selection stays visible while the focus is elsewhere.
  QPalette p = RichEdit->palette();
  p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
  p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Active, QPalette::HighlightedText));
  RichEdit->setPalette(p);
  auto* sourceLayout = new QVBoxLayout(TSSource);
  sourceLayout->setContentsMargins(0, 0, 0, 0);
  sourceLayout->addWidget(RichEdit);
  StatusBar = Name(new QStatusBar(this), "StatusBar", tr("Status Bar"));
  StatusBar->setSizeGripEnabled(false);

  auto* fields = new QGridLayout;
  fields->addWidget(labelNot, 0, 0);
  fields->addWidget(EditNotInDictionary, 0, 1);
  fields->addWidget(ButtonIgnore, 0, 2);
  fields->addWidget(ButtonAdd, 0, 3);
  fields->addWidget(labelChange, 1, 0);
  fields->addWidget(EditChangeTo, 1, 1);
  fields->addWidget(ButtonChange, 1, 2);
  fields->addWidget(ButtonChangeAll, 1, 3);
  fields->addWidget(labelSuggestions, 2, 0, Qt::AlignTop);
  fields->addWidget(ListView, 2, 1, 3, 1);
  fields->addWidget(ButtonSuggest, 2, 2);
  fields->addWidget(ButtonOK, 3, 2);
  fields->addWidget(ButtonCancel, 3, 3);
  fields->setRowStretch(4, 1);
  ListView->setMaximumHeight(110);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addWidget(PageControl, 1);
  layout->addWidget(StatusBar);
  resize(640, 560);

  auto handler = [this](QPushButton* b, void (TFormSpelling::*click)()) {
    connect(b, &QPushButton::clicked, this, [this, click] { (Form.*click)(); });
  };
  handler(ButtonIgnore, &TFormSpelling::ButtonIgnoreClick);
  handler(ButtonAdd, &TFormSpelling::ButtonAddClick);
  handler(ButtonChange, &TFormSpelling::ButtonChangeClick);
  handler(ButtonChangeAll, &TFormSpelling::ButtonChangeAllClick);
  handler(ButtonSuggest, &TFormSpelling::ButtonSuggestClick);
  handler(ButtonOK, &TFormSpelling::ButtonOKClick);
  handler(ButtonCancel, &TFormSpelling::ButtonCancelClick);
  connect(EditChangeTo, &QLineEdit::textEdited, this,
          [this](const QString& text) { Form.EditChangeToChange(text.toStdString()); });
  connect(ListView, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!Redrawing_ && row >= 0) Form.ListViewSelectItem(row);
  });
  connect(PageControl, &QTabWidget::currentChanged, this, [this] {
    if (PageControl->currentIndex() == 0) Form.TSPreviewShow();
  });
  Form.View = this;
}

TFormSpellingView::~TFormSpellingView() {
  if (Form.View == this) Form.View = nullptr;
}

void TFormSpellingView::SetCaption(const std::string& text) { setWindowTitle(Q(text)); }

void TFormSpellingView::StateChanged() {
  ++Redrawing_;
  if (EditNotInDictionary->text() != Q(Form.NotInDictionary)) EditNotInDictionary->setText(Q(Form.NotInDictionary));
  if (EditChangeTo->text() != Q(Form.ChangeTo)) EditChangeTo->setText(Q(Form.ChangeTo));
  QStringList items;
  for (const std::string& s : Form.Suggestions) items << Q(s);
  QStringList shown;
  for (int i = 0; i < ListView->count(); ++i) shown << ListView->item(i)->text();
  if (items != shown) {
    ListView->clear();
    ListView->addItems(items);
  }
  ButtonChange->setEnabled(Form.ChangeEnabled);
  ButtonChangeAll->setEnabled(Form.ChangeAllEnabled);
  ButtonSuggest->setEnabled(Form.SuggestEnabled);
  StatusBar->showMessage(Q(Form.StatusText));
  --Redrawing_;
}

void TFormSpellingView::ShowSource(const std::string& text) { RichEdit->setPlainText(Q(text)); }

int TFormSpellingView::TextPosition(const std::string& text, int32_t byteOffset) {
  if (byteOffset <= 0) return 0;
  QString prefix = QString::fromUtf8(text.data(), std::min<qsizetype>(byteOffset, static_cast<qsizetype>(text.size())));
  // The text view holds one character per line break.
  prefix.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return static_cast<int>(prefix.size());
}

void TFormSpellingView::SelectSource(int32_t start, int32_t length) {
  const std::string& text = Form.SourceText;
  const int from = TextPosition(text, start);
  const int to = TextPosition(text, start + length);
  QTextCursor cursor = RichEdit->textCursor();
  cursor.setPosition(from);
  cursor.setPosition(to, QTextCursor::KeepAnchor);
  RichEdit->setTextCursor(cursor);
  RichEdit->ensureCursorVisible();
}

QWebEngineView* TFormSpellingView::EnsureBrowser() {
  if (WebBrowser) return WebBrowser;
  WebBrowser = Name(new QWebEngineView(TSPreview), "WebBrowser", tr("Preview"));
  // The page shows the document and nothing else: no link, form or refresh moves it, and it
  // reaches no other local file (the document is written to a file of its own to be shown).
  PreviewPage_ = new TPreviewPage(WebBrowser);
  WebBrowser->setPage(PreviewPage_);
  QWebEngineSettings* s = WebBrowser->settings();
  s->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
  s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
  s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
  s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
  TSPreview->layout()->addWidget(WebBrowser);
  return WebBrowser;
}

void TFormSpellingView::ReleaseBrowser() {
  PreviewPage_ = nullptr;  // owned by the view
  delete std::exchange(WebBrowser, nullptr);
}

bool TFormSpellingView::PreviewVisible() { return isVisible() && PageControl->currentIndex() == 0; }

void TFormSpellingView::ShowPreview(const std::string& html) {
  if (TextPreview) {
    TextPreview->setHtml(Q(html));
    TextPreview->scrollToAnchor(QStringLiteral("idFocus"));
    LastPreviewUrl = QStringLiteral("#idFocus");
    return;
  }
  // The document goes into a file of its own and is opened at its "idFocus" element: the
  // browser scrolls the word into view without any script.
  if (!PreviewFolder_.isValid()) return;
  const QString file = PreviewFolder_.filePath(QStringLiteral("preview%1.html").arg(++PreviewCount_ % 2));
  QFile out(file);
  if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
  // Relative addresses (style sheets, pictures) resolve against the document's own place.
  const QString name = QString::fromStdString(Form.DocumentName);
  QUrl base = QFileInfo::exists(name) ? QUrl::fromLocalFile(QFileInfo(name).absoluteFilePath()) : QUrl(name);
  if (base.isValid() && !base.scheme().isEmpty())
    out.write(QStringLiteral("<base href=\"%1\">").arg(base.toString(QUrl::FullyEncoded).toHtmlEscaped()).toUtf8());
  out.write(html.data(), static_cast<qint64>(html.size()));
  out.close();
  QUrl url = QUrl::fromLocalFile(file);
  url.setFragment(QStringLiteral("idFocus"));
  LastPreviewUrl = url.toString();
  // A local document may show the files beside it; a web page's copy reaches no local file.
  EnsureBrowser()->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, base.isLocalFile());
  PreviewPage_->Expect(url);
  WebBrowser->load(url);
}

platform::ModalResult TFormSpellingView::RunModal(const std::function<void()>& onShown) {
  OnShown_ = onShown;
  Closing_ = false;
  Result_ = platform::ModalResult::Cancel;
  PageControl->setCurrentIndex(0);  // the preview
  // Centred over the main window, and wholly on its screen.
  if (QWidget* owner = parentWidget()) {
    QRect frame = rect();
    frame.moveCenter(owner->frameGeometry().center());
    if (QScreen* screen = owner->screen()) {
      const QRect area = screen->availableGeometry();
      frame.moveLeft(std::clamp(frame.left(), area.left(), std::max(area.left(), area.right() - frame.width())));
      frame.moveTop(std::clamp(frame.top(), area.top(), std::max(area.top(), area.bottom() - frame.height())));
    }
    move(frame.topLeft());
  }
  exec();
  OnShown_ = nullptr;
  ReleaseBrowser();
  return Result_;
}

void TFormSpellingView::Close(platform::ModalResult result) {
  Result_ = result;
  Closing_ = true;
  if (isVisible()) done(result == platform::ModalResult::OK ? QDialog::Accepted : QDialog::Rejected);
}

void TFormSpellingView::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!OnShown_) return;
  QTimer::singleShot(0, this, [this] {
    auto shown = std::move(OnShown_);
    OnShown_ = nullptr;
    if (shown) shown();
    if (Closing_ && isVisible()) done(Result_ == platform::ModalResult::OK ? QDialog::Accepted : QDialog::Rejected);
  });
}

void TFormSpellingView::reject() { Form.ButtonCancelClick(); }

}  // namespace gui
