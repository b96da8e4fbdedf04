// "HTTP Settings": the proxy page (server, port, user name, password, Basic authentication) and
// the limits page (the time a request may take, the most of a page read, the largest site and
// queue a crawl goes on with) over TFormHTTPSettings, which keeps the values
// in "Settings.ini" and hands them to every client.
#pragma once

#include <QDialog>

class QCheckBox;
class QDoubleSpinBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class TFormHTTPSettings;

namespace gui {

class TFormHTTPSettingsView : public QDialog {
  Q_OBJECT
 public:
  TFormHTTPSettingsView(TFormHTTPSettings& settings, QWidget* parent = nullptr);
  // Restores the stored values, shows the dialog and stores on OK. Cancel stores nothing, but
  // the edits stay in force until the next showing restores the stored values.
  bool Execute();
  // The controls from the logic's values, and back.
  void ShowValues();
  void TakeValues();

  TFormHTTPSettings& Settings;
  QTabWidget* PageControl;
  QLineEdit* EditServer;
  QSpinBox* EditPort;
  QLineEdit* EditUsername;
  QLineEdit* EditPassword;
  QCheckBox* EditBasicAuth;
  QLineEdit* EditNoProxy;  // hosts reached without the proxy
  QDoubleSpinBox* EditTimeout;      // seconds
  QDoubleSpinBox* EditMaxPageSize;  // MiB
  QSpinBox* EditMaxAddresses;       // "Largest site (addresses)", 0: no limit
  QSpinBox* EditMaxQueue;           // "Largest queue (requests)", 0: no limit
  QPushButton* ButtonOK;
  QPushButton* ButtonCancel;
};

}  // namespace gui
