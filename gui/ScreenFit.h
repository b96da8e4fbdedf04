// Every window opens inside the available area of its screen (the screen less panels and docks),
// whatever the scale factor: one rule, applied to each top-level window as it is shown.
#pragma once

#include <QObject>
#include <QRect>
#include <QSize>

class QWidget;

namespace gui {

// `frame` (a window with its title bar and borders) shrunk to at most `area`'s size and moved
// to lie within `area`.
QRect FitRect(const QRect& frame, const QRect& area);

// Shrinks and moves the top-level window `window` so that its frame lies within its screen's
// available area. A maximized or full-screen window is left to the window manager.
void FitToScreen(QWidget* window);

// Applies FitToScreen to every top-level window of the program when it is shown; the main
// window installs one on the application.
class TScreenFitter : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace gui
