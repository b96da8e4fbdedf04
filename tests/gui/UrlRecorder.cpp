#include "UrlRecorder.h"

#include <QDesktopServices>

UrlRecorder::UrlRecorder(QStringList schemes) : Schemes_(std::move(schemes)) {
  for (const QString& scheme : Schemes_) QDesktopServices::setUrlHandler(scheme, this, "Open");
}

UrlRecorder::~UrlRecorder() {
  for (const QString& scheme : Schemes_) QDesktopServices::unsetUrlHandler(scheme);
}
