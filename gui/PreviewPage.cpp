#include "gui/PreviewPage.h"

#include <QFileInfo>

namespace gui {

namespace {

QUrl Document(const QUrl& url) { return url.adjusted(QUrl::RemoveFragment | QUrl::NormalizePathSegments); }

bool IsWeb(const QUrl& url) {
  const QString scheme = url.scheme().toLower();
  return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

}  // namespace

TPreviewPage::TPreviewPage(QObject* parent) : QWebEnginePage(parent) {}

bool TPreviewPage::IsShowable(const QUrl& url) {
  return IsWeb(url) || url.isLocalFile() || url == QUrl(QStringLiteral("about:blank"));
}

void TPreviewPage::Expect(const QUrl& url) { Expected_ = url; }

bool TPreviewPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
  bool accept = false;
  if (isMainFrame) {
    // The document itself, and moves inside it (its own #anchors); never a form's answer.
    accept = type != NavigationTypeFormSubmitted && IsShowable(url) && Document(url) == Document(Expected_);
    if (!accept && type == NavigationTypeLinkClicked) emit LinkClicked(url);
  } else if (IsWeb(url) || url.scheme() == QLatin1String("about") || url.scheme() == QLatin1String("data")) {
    accept = type != NavigationTypeFormSubmitted;
  } else if (url.isLocalFile() && Expected_.isLocalFile()) {
    // A frame of a local document: a file beside it or below its folder.
    const QString folder = QFileInfo(Expected_.toLocalFile()).absolutePath() + QLatin1Char('/');
    accept = QFileInfo(url.toLocalFile()).absoluteFilePath().startsWith(folder);
  }
  if (!accept) ++Refused_;
  return accept;
}

}  // namespace gui
