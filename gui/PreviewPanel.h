// The preview panel: its title bar PanelTitle with a close button, and the embedded browser
// WebBrowser, which loads images and media but never runs scripts. Without the web engine
// (tests that need no page) the panel keeps the title bar and an empty area.
//
// The browser exists only while the panel is shown with a page to show: a web view in a window
// makes the whole window compose through the graphics stack (software GL without a graphics
// card), so every repaint of the tree and the list would go that way. It is made when a page is
// shown in the visible panel, and released when the panel is hidden; showing the panel again
// loads the page it had.
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
  QWebEngineView* WebBrowser = nullptr;  // the browser while it exists; never without the engine
  TPreviewPage* Page = nullptr;          // its page while it exists

  // Hides or shows the panel; hidden, it releases its browser.
  void setVisible(bool visible) override;

 signals:
  void CloseClicked();
  // The browser left the window: the window may paint without the graphics stack again.
  void BrowserReleased();
  // A link in the shown page was clicked; the page stays where it is.
  void LinkClicked(const QUrl& url);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // Status text longer than 10 characters is shown as is, otherwise the page's title.
  void StatusTextChanged(const QString& text);
  void HidePage();
  // Makes the browser in the area if the engine is there and the panel shows it; returns it.
  QWebEngineView* EnsureBrowser();
  void ReleaseBrowser();
  // Shows Location_ (or an empty page) in the browser, making it when the panel shows it.
  void Load();
  bool WithEngine_;
  QString Location_;
  bool Loading_ = false;
  QWidget* Browser_ = nullptr;  // the area of the browser (empty without it)
  QWidget* Page_ = nullptr;     // the page shown in its place
};

}  // namespace gui
