// Stands in for the desktop's URL handlers in tests: records every address it is given.
#pragma once

#include <QObject>
#include <QStringList>
#include <QUrl>

class UrlRecorder : public QObject {
  Q_OBJECT
 public:
  // Takes the desktop's handlers of `schemes` until destroyed.
  explicit UrlRecorder(QStringList schemes);
  ~UrlRecorder() override;
  QStringList Opened;

 public slots:
  void Open(const QUrl& url) { Opened << url.toString(); }

 private:
  QStringList Schemes_;
};
