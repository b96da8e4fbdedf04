// The splash screen shown at the main window's first paint ("Setup.bmp" beside the program,
// fading in over 80 ms ticks, hidden after ten ticks or by a click from the fifth tick on), and
// the closing notice shown while connections close.
#pragma once

#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <string>

class QLabel;
class QProgressBar;

namespace gui {

class TFormSplash : public QWidget {
  Q_OBJECT
 public:
  explicit TFormSplash(QWidget* parent = nullptr);
  // Shows `picture` (a file path) unless `noSplash` or the picture cannot be read; `title` goes
  // into the message line. Returns whether it shows.
  bool ShowSplash(const std::string& picture, const std::string& title, bool noSplash);
  // One tick of the timer (tests call it directly).
  void Tick();
  int Position() const;
  bool Running() const { return Timer.isActive(); }

  QLabel* LabelMessage;
  QProgressBar* ProgressBar;
  QTimer Timer;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void HideSplash();
  QPixmap Picture_;
};

// Whether the command line asks for no splash: "NoSplash" after "/" or "-", any letter case.
bool HasNoSplashSwitch(const QStringList& arguments);

class TFormShutDown : public QWidget {
  Q_OBJECT
 public:
  explicit TFormShutDown(QWidget* parent = nullptr);
  // Shows the notice and paints it at once.
  void ShowNotice();
  QLabel* LabelMessage;
};

}  // namespace gui
