#include "gui/PaintThrottle.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>
#include <algorithm>

namespace gui {

TPaintThrottle::TPaintThrottle(QWidget* window, int intervalMs)
    : QObject(window), Window_(window), Interval_(intervalMs) {
  Timer_.setSingleShot(true);
  connect(&Timer_, &QTimer::timeout, this, &TPaintThrottle::Release);
  Window_->installEventFilter(this);
}

void TPaintThrottle::SetEnabled(bool on) {
  if (Enabled_ == on) return;
  Enabled_ = on;
  if (!on) {
    Timer_.stop();
    Release();
  }
}

bool TPaintThrottle::eventFilter(QObject* watched, QEvent* event) {
  if (watched != Window_ || event->type() != QEvent::UpdateRequest || Passing_) return false;
  if (!Enabled_ || !Last_.isValid() || Last_.elapsed() >= Interval_) {
    Last_.start();
    Pending_ = false;
    ++Painted_;
    return false;
  }
  // Held back. Qt asks again only after a request has been served, so the one let through
  // later paints everything that changed in between.
  Pending_ = true;
  ++HeldBack_;
  if (!Timer_.isActive()) Timer_.start(std::max<qint64>(1, Interval_ - Last_.elapsed()));
  return true;
}

void TPaintThrottle::Release() {
  if (!Pending_) return;
  Pending_ = false;
  Last_.start();
  ++Painted_;
  Passing_ = true;
  QEvent request(QEvent::UpdateRequest);
  QCoreApplication::sendEvent(Window_, &request);
  Passing_ = false;
}

}  // namespace gui
