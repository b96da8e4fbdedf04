#include "gui/StatusPanels.h"

#include <QPainter>
#include <QStyleOption>
#include <algorithm>

namespace gui {

TStatusPanels::TStatusPanels(QWidget* parent) : QStatusBar(parent) {
  setSizeGripEnabled(false);
  for (int i = 0; i < kPanels; ++i) Texts_[static_cast<size_t>(i)].clear();
}

QSize TStatusPanels::sizeHint() const {
  return {Widths_[0] + Widths_[1] + Widths_[2] + Widths_[3], fontMetrics().height() + 10};
}

void TStatusPanels::SetText(int panel, const QString& text) {
  QString& current = Texts_.at(static_cast<size_t>(panel));
  if (current == text) return;
  current = text;
  setAccessibleDescription(Texts_[0] + QStringLiteral(" | ") + Texts_[1] + QStringLiteral(" | ") + Texts_[2]);
  update(PanelRect(panel));
}

void TStatusPanels::SetWidth(int panel, int width) {
  Widths_.at(static_cast<size_t>(panel)) = std::max(0, width);
  Fit();
}

void TStatusPanels::Fit() {
  Widths_[1] = std::max(0, width() - Widths_[0] - Widths_[2] - Widths_[3]);
  update();
}

void TStatusPanels::resizeEvent(QResizeEvent* event) {
  QStatusBar::resizeEvent(event);
  Fit();
}

void TStatusPanels::SetBusy(bool busy, int position) {
  if (busy == Busy_ && position == Position_) return;
  Busy_ = busy;
  Position_ = position;
  update(PanelRect(2));
}

QRect TStatusPanels::PanelRect(int panel) const {
  int x = 0;
  for (int i = 0; i < panel; ++i) x += Widths_[static_cast<size_t>(i)];
  return {x, 0, Widths_.at(static_cast<size_t>(panel)), height()};
}

void TStatusPanels::PaintBusy(QPainter& painter, const QRect& r, int position, const QColor& dark,
                              const QColor& light) {
  if (r.width() <= 0 || r.height() <= 0) return;
  const int x = r.left() + r.width() * position / 100;
  auto gradient = [&](int left, int right, const QColor& from, const QColor& to) {
    const int width = right - left;
    if (width <= 0) return;
    const int bands = std::max(2, std::min(100, width));
    const int bandWidth = width / bands;
    for (int b = 0; b < bands; ++b) {
      const double t = bands > 1 ? static_cast<double>(b) / (bands - 1) : 0.0;
      const QColor c = QColor::fromRgbF(from.redF() + (to.redF() - from.redF()) * t,
                                        from.greenF() + (to.greenF() - from.greenF()) * t,
                                        from.blueF() + (to.blueF() - from.blueF()) * t);
      painter.fillRect(QRect(left + b * bandWidth, r.top(), bandWidth, r.height()), c);
    }
    const int done = bands * bandWidth;
    if (done < width) painter.fillRect(QRect(left + done, r.top(), width - done, r.height()), to);
  };
  gradient(r.left(), x, dark, light);
  gradient(x, r.left() + r.width(), light, dark);
}

void TStatusPanels::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  const QColor line = palette().color(QPalette::Mid);
  for (int i = 0; i < kPanels; ++i) {
    const QRect r = PanelRect(i);
    if (r.width() <= 0) continue;
    // A sunken panel: a frame of one pixel, one pixel apart from its neighbours.
    const QRect frame = r.adjusted(1, 1, -2, -2);
    painter.setPen(line);
    painter.drawLine(frame.topLeft(), frame.topRight());
    painter.drawLine(frame.topLeft(), frame.bottomLeft());
    painter.setPen(palette().color(QPalette::Light));
    painter.drawLine(frame.bottomLeft(), frame.bottomRight());
    painter.drawLine(frame.topRight(), frame.bottomRight());
    if (i == 2 && Busy_) {
      PaintBusy(painter, r.adjusted(2, 2, -2, -2), Position_, palette().color(QPalette::Dark),
                palette().color(QPalette::Button));
      continue;
    }
    painter.setPen(palette().color(QPalette::WindowText));
    const QRect textRect = r.adjusted(5, 0, -4, 0);
    painter.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft,
                     fontMetrics().elidedText(Texts_[static_cast<size_t>(i)], Qt::ElideRight, textRect.width()));
  }
}

}  // namespace gui
