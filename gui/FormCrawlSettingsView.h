// "Crawl Settings": which addresses are crawled and how the servers are treated, over
// TFormCrawlSettings, which keeps the values in "Settings.ini" and hands them to the crawl.
// Pages: "Servers" (robots.txt, pace, retries), "Identity" (user agent, headers, login) and
// "Addresses" (include and exclude patterns, largest depth).
#pragma once

#include <QDialog>

class QCheckBox;
class QDoubleSpinBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class TFormCrawlSettings;
class TCrawlEngine;

namespace gui {

class TFormCrawlSettingsView : public QDialog {
  Q_OBJECT
 public:
  TFormCrawlSettingsView(TFormCrawlSettings& settings, TCrawlEngine& engine, QWidget* parent = nullptr);
  // Restores the stored values, shows the dialog, and on OK checks them (a refused value is
  // named in a message and the dialog shows again), gives them to the crawl and stores them.
  bool Execute();
  void ShowValues();
  void TakeValues();

  TFormCrawlSettings& Settings;
  TCrawlEngine& Engine;
  QTabWidget* PageControl;
  QCheckBox* EditObeyRobots;
  QCheckBox* EditUseSitemap;
  QDoubleSpinBox* EditRate;
  QCheckBox* EditRetry;
  QLineEdit* EditUserAgent;
  QPlainTextEdit* EditHeaders;
  QLineEdit* EditUsername;
  QLineEdit* EditPassword;
  QPlainTextEdit* EditInclude;
  QPlainTextEdit* EditExclude;
  QSpinBox* EditMaxDepth;
  QPushButton* ButtonOK;
  QPushButton* ButtonCancel;
  // The last refusal shown (tests read it).
  QString LastError;
};

}  // namespace gui
