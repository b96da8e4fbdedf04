#include "gui/PreviewPanel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <utility>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include "gui/Icons.h"
#include "gui/Names.h"
#include "gui/PreviewPage.h"
#include "gui/QtServices.h"

namespace gui {

TPreviewPanel::TPreviewPanel(bool withEngine, QWidget* parent) : QWidget(parent), WithEngine_(withEngine) {
  Name(this, "PanelWebBrowser", "Web Browser");
  PanelTitle = Name(new QWidget(this), "PanelTitle", "Preview");
  PanelTitle->setAutoFillBackground(true);
  PanelTitle->setBackgroundRole(QPalette::Mid);
  LabelTitle = Name(new QLabel(PanelTitle), "LabelTitle", "Preview");
  LabelTitle->setTextFormat(Qt::PlainText);
  LabelTitle->setForegroundRole(QPalette::BrightText);
  LabelTitle->setMinimumWidth(10);
  ButtonClose = Name(new QToolButton(PanelTitle), "ButtonCloseWebBrowser", "Close");
  ButtonClose->setIcon(ToolIcon(QStringLiteral("close")));
  ButtonClose->setAutoRaise(true);
  ButtonClose->setIconSize(QSize(12, 12));
  ButtonClose->setToolTip(tr("Close"));
  auto* title = new QHBoxLayout(PanelTitle);
  title->setContentsMargins(6, 1, 2, 1);
  title->addWidget(LabelTitle, 1);
  title->addWidget(ButtonClose);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(PanelTitle);
  // The browser's area: empty (the colour of an empty page) until the browser is made in it.
  Browser_ = Name(new QWidget(this), "WebBrowser", "Web Browser");
  Browser_->setAutoFillBackground(true);
  Browser_->setBackgroundRole(QPalette::Base);
  auto* area = new QVBoxLayout(Browser_);
  area->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(Browser_, 1);
  connect(ButtonClose, &QToolButton::clicked, this, &TPreviewPanel::CloseClicked);
}

QWebEngineView* TPreviewPanel::EnsureBrowser() {
  if (WebBrowser || !WithEngine_ || !isVisible() || ShownPage()) return WebBrowser;
  WebBrowser = Name(new QWebEngineView(Browser_), "WebBrowser", "Web Browser");
  // The page shows exactly the document given to it; a click on a link is told.
  Page = new TPreviewPage(WebBrowser);
  WebBrowser->setPage(Page);
  connect(Page, &TPreviewPage::LinkClicked, this, &TPreviewPanel::LinkClicked);
  QWebEngineSettings* settings = WebBrowser->settings();
  settings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
  settings->setAttribute(QWebEngineSettings::AutoLoadImages, true);
  settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
  settings->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
  settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
  // A local document (a local crawl) shows its pictures; web pages never reach local files.
  settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
  settings->setAttribute(QWebEngineSettings::AllowRunningInsecureContent, false);
  settings->setAttribute(QWebEngineSettings::AllowWindowActivationFromJavaScript, false);
  connect(WebBrowser, &QWebEngineView::loadStarted, this, [this] { Loading_ = true; });
  connect(WebBrowser, &QWebEngineView::loadFinished, this, [this] {
    Loading_ = false;
    StatusTextChanged(QString());
  });
  connect(WebBrowser, &QWebEngineView::titleChanged, this, [this] { StatusTextChanged(QString()); });
  connect(Page, &QWebEnginePage::linkHovered, this, &TPreviewPanel::StatusTextChanged);
  Browser_->layout()->addWidget(WebBrowser);
  return WebBrowser;
}

void TPreviewPanel::ReleaseBrowser() {
  if (!WebBrowser) return;
  QWebEngineView* browser = std::exchange(WebBrowser, nullptr);
  TPreviewPage* page = std::exchange(Page, nullptr);
  disconnect(browser, nullptr, this, nullptr);
  disconnect(page, nullptr, this, nullptr);
  Loading_ = false;
  browser->stop();
  delete browser;  // and its page with it
  emit BrowserReleased();
}

void TPreviewPanel::Load() {
  QWebEngineView* browser = EnsureBrowser();
  if (!browser) return;
  // Only web pages and files are shown: another scheme would go to the desktop's handler.
  QUrl url(Location_.isEmpty() ? QStringLiteral("about:blank") : Location_);
  if (!TPreviewPage::IsShowable(url)) url = QUrl(QStringLiteral("about:blank"));
  Page->Expect(url);
  browser->setUrl(url);
}

void TPreviewPanel::setVisible(bool visible) {
  QWidget::setVisible(visible);
  if (!visible) ReleaseBrowser();
}

void TPreviewPanel::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // Shown again (or for the first time): the page it had comes back.
  if (!WebBrowser && !Location_.isEmpty() && !ShownPage()) Load();
}

QString TPreviewPanel::Title() const {
  // An empty preview has no title.
  if (WebBrowser && Location_.isEmpty() && WebBrowser->url() == QUrl(QStringLiteral("about:blank"))) return {};
  if (WebBrowser && !WebBrowser->title().isEmpty()) return WebBrowser->title();
  return Location_;
}

void TPreviewPanel::StatusTextChanged(const QString& text) {
  if (ShownPage()) return;  // the page's own title stays
  const QString shown = text.size() > 10 ? text : Title();
  LabelTitle->setText(LabelTitle->fontMetrics().elidedText(shown, Qt::ElideRight, std::max(40, LabelTitle->width())));
  LabelTitle->setToolTip(shown);
}

void TPreviewPanel::ShowPage(QWidget* page, const QString& title) {
  if (Page_ != page) {
    if (Page_) Page_->hide();
    Page_ = page;
    page->setParent(this);
    static_cast<QVBoxLayout*>(layout())->addWidget(page, 1);
  }
  Browser_->hide();
  page->show();
  LabelTitle->setText(title);
  LabelTitle->setToolTip(title);
}

void TPreviewPanel::HidePage() {
  if (!Page_ || Page_->isHidden()) return;
  Page_->hide();
  Browser_->show();
}

void TPreviewPanel::Navigate(const std::string& target) {
  HidePage();
  Location_ = UrlTextOf(target);
  Load();
  StatusTextChanged(QString());
}

void TPreviewPanel::Clear() {
  HidePage();
  Location_.clear();
  // An empty preview needs no browser: without one the window paints plainly (a new crawl
  // clears the preview, so the crawl is watched without one), and the next page shown makes it
  // again.
  ReleaseBrowser();
  LabelTitle->clear();
  LabelTitle->setToolTip(QString());
}

void TPreviewPanel::StopAndClear() {
  if (!WebBrowser) return;
  WebBrowser->stop();
  Page->Expect(QUrl(QStringLiteral("about:blank")));
  WebBrowser->setUrl(QUrl(QStringLiteral("about:blank")));
  // The page's own processes finish their work before the window goes (bounded).
  QElapsedTimer waited;
  waited.start();
  while (Loading_ && waited.elapsed() < 3000)
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents, 50);
}

}  // namespace gui
