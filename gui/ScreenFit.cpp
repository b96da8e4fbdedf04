#include "gui/ScreenFit.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QScrollArea>
#include <QTabWidget>
#include <QStyle>
#include <QWidget>
#include <algorithm>

namespace gui {

QRect FitRect(const QRect& frame, const QRect& area) {
  QRect fitted = frame;
  fitted.setWidth(std::min(frame.width(), area.width()));
  fitted.setHeight(std::min(frame.height(), area.height()));
  if (fitted.right() > area.right()) fitted.moveRight(area.right());
  if (fitted.bottom() > area.bottom()) fitted.moveBottom(area.bottom());
  if (fitted.left() < area.left()) fitted.moveLeft(area.left());
  if (fitted.top() < area.top()) fitted.moveTop(area.top());
  return fitted;
}

namespace {

// The borders the window manager puts around the window: known once the window has a frame,
// otherwise a title bar and thin edges as the style draws them.
QMargins FrameMargins(const QWidget* window) {
  const QRect frame = window->frameGeometry();
  const QRect client = window->geometry();
  if (frame != client)
    return {client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
            frame.bottom() - client.bottom()};
  const int title = window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window);
  return {4, std::max(title, 24) + 4, 4, 4};
}

QScreen* ScreenOf(const QWidget* window) {
  if (QScreen* at = QGuiApplication::screenAt(window->frameGeometry().center())) return at;
  if (QScreen* own = window->screen()) return own;
  return QGuiApplication::primaryScreen();
}

// Each page of each tab control of `window` goes into a scroll area of its own, so that the
// window may be smaller than its pages: a page too tall for the screen scrolls.
void ScrollTabPages(QWidget* window) {
  for (QTabWidget* tabs : window->findChildren<QTabWidget*>()) {
    const int current = tabs->currentIndex();
    for (int i = 0; i < tabs->count(); ++i) {
      QWidget* page = tabs->widget(i);
      if (qobject_cast<QScrollArea*>(page)) continue;
      const QString text = tabs->tabText(i);
      const QIcon icon = tabs->tabIcon(i);
      auto* scroll = new QScrollArea;
      scroll->setObjectName(page->objectName() + QStringLiteral("Scroll"));
      scroll->setWidgetResizable(true);
      scroll->setFrameShape(QFrame::NoFrame);
      tabs->removeTab(i);
      scroll->setWidget(page);
      page->show();
      tabs->insertTab(i, scroll, icon, text);
    }
    tabs->setCurrentIndex(current);
  }
  if (QLayout* layout = window->layout()) layout->activate();
}

}  // namespace

void FitToScreen(QWidget* window) {
  if (!window || !window->isWindow()) return;
  if (window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) return;
  const QScreen* screen = ScreenOf(window);
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  const QMargins margins = FrameMargins(window);
  // A window whose layout asks for more room than the screen has gets no more than the screen:
  // its layout squeezes, rather than Close or Start lying off-screen.
  const QSize room = area.size().shrunkBy(margins);
  if (window->minimumWidth() > room.width() || window->minimumHeight() > room.height()) {
    ScrollTabPages(window);
    if (window->minimumWidth() > room.width() || window->minimumHeight() > room.height()) {
      if (QLayout* layout = window->layout()) layout->setSizeConstraint(QLayout::SetNoConstraint);
      window->setMinimumSize(window->minimumSize().boundedTo(room));
    }
  }
  const QRect client(window->pos() + QPoint(margins.left(), margins.top()), window->size());
  const QRect frame = client.marginsAdded(margins);
  const QRect fitted = FitRect(frame, area).marginsRemoved(margins);
  if (fitted.size() != window->size()) window->resize(fitted.size());
  if (fitted.topLeft() != client.topLeft()) window->move(fitted.topLeft() - QPoint(margins.left(), margins.top()));
}

bool TScreenFitter::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show && watched->isWidgetType()) {
    auto* widget = static_cast<QWidget*>(watched);
    const Qt::WindowType type = widget->windowType();
    if (widget->isWindow() && type != Qt::Popup && type != Qt::ToolTip && type != Qt::SplashScreen)
      FitToScreen(widget);
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace gui
