// A frame limit for one top-level window: while it is on, the window paints at most once per
// interval. Qt asks a window to paint (an update request) after any change of any of its
// widgets; during a crawl that is after every hand-over of a worker, hundreds of times a second.
// The limit holds such requests back and lets one through when the interval has passed, so every
// change made meanwhile is painted together. Turning the limit off paints what is pending at once.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QWidget;

namespace gui {

class TPaintThrottle : public QObject {
  Q_OBJECT
 public:
  explicit TPaintThrottle(QWidget* window, int intervalMs = 100);

  void SetEnabled(bool on);
  bool Enabled() const { return Enabled_; }
  // Paints held back (for the benchmark's and the tests' counts).
  int HeldBack() const { return HeldBack_; }
  int Painted() const { return Painted_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Release();

  QWidget* Window_;
  int Interval_;
  bool Enabled_ = false;
  bool Pending_ = false;   // a request was held back
  bool Passing_ = false;   // the request being sent is the released one
  QElapsedTimer Last_;     // since the last paint let through
  QTimer Timer_;
  int HeldBack_ = 0;
  int Painted_ = 0;
};

}  // namespace gui
