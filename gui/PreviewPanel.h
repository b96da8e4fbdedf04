// The preview panel: its title bar PanelTitle with a close button, and the embedded browser
// WebBrowser, which loads images and media but never runs scripts. Without the web engine
// (tests that need no page) the panel keeps the title bar and an empty area.
#pragma once

#include <QWidget>
#include <string>

class QLabel;
class QToolButton;
class QWebEngineView;
class QUrl;

namespace gui {

class TPreviewPage;

class TPreviewPanel : public QWidget {
  Q_OBJECT
 public:
  TPreviewPanel(bool withEngine, QWidget* parent = nullptr);

  // Navigates to a file path or an address.
  void Navigate(const std::string& target);
  // Stops loading and shows an empty page with no title (a new project, a new crawl).
  void Clear();
  // Stops loading, shows an empty page, and waits (serving events) until the browser is idle.
  void StopAndClear();
  bool Loading() const { return Loading_; }
  // The last target navigated to, as a URL.
  QString Location() const { return Location_; }
  QString Title() const;
  // Shows `page` (the Summary) in place of the browser, with `title` in the title bar, until the
  // next Navigate or Clear. The panel takes `page` as its child.
  void ShowPage(QWidget* page, const QString& title);
  // The page shown in place of the browser, or none.
  QWidget* ShownPage() const { return Page_ && !Page_->isHidden() ? Page_ : nullptr; }

  QWidget* PanelTitle;
  QLabel* LabelTitle;
  QToolButton* ButtonClose;
  QWebEngineView* WebBrowser = nullptr;  // none without the engine
  TPreviewPage* Page = nullptr;          // its page; none without the engine

 signals:
  void CloseClicked();
  // A link in the shown page was clicked; the page stays where it is.
  void LinkClicked(const QUrl& url);

 private:
  // Status text longer than 10 characters is shown as is, otherwise the page's title.
  void StatusTextChanged(const QString& text);
  void HidePage();
  QString Location_;
  bool Loading_ = false;
  QWidget* Browser_ = nullptr;  // the browser, or the empty area without the engine
  QWidget* Page_ = nullptr;     // the page shown in its place
};

}  // namespace gui
