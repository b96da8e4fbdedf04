// The page of a preview: it shows exactly the document it was given. A link click, a form, a
// refresh or a redirect never moves it elsewhere: a click on a link is reported (LinkClicked)
// and every other navigation away is refused. Frames may show web pages; a file frame only from
// the folder of a file document; no other scheme ever reaches the desktop's handlers.
#pragma once

#include <QUrl>
#include <QWebEnginePage>

namespace gui {

class TPreviewPage : public QWebEnginePage {
  Q_OBJECT
 public:
  explicit TPreviewPage(QObject* parent = nullptr);
  // The document to show next; its load (and moves inside it) are accepted.
  void Expect(const QUrl& url);
  QUrl Expected() const { return Expected_; }
  // Navigations refused so far (for the tests and for the curious).
  int Refused() const { return Refused_; }
  // Whether the preview may show `url` at all: http, https, file and about:blank.
  static bool IsShowable(const QUrl& url);

 signals:
  void LinkClicked(const QUrl& url);

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;

 private:
  QUrl Expected_;
  int Refused_ = 0;
};

}  // namespace gui
