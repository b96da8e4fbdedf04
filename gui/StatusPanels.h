// The main window's status bar: four panels side by side, drawn here. Panel 0 counts the list,
// panel 1 tells the request being made, panel 2 reads "Idle" or shows the busy indicator (a
// light band sweeping to and fro), panel 3 stays empty.
#pragma once

#include <QStatusBar>
#include <array>

namespace gui {

class TStatusPanels : public QStatusBar {
  Q_OBJECT
 public:
  explicit TStatusPanels(QWidget* parent = nullptr);

  static constexpr int kPanels = 4;
  void SetText(int panel, const QString& text);
  QString Text(int panel) const { return Texts_.at(static_cast<size_t>(panel)); }
  void SetWidth(int panel, int width);
  int Width(int panel) const { return Widths_.at(static_cast<size_t>(panel)); }
  // Panel 1 takes what the others leave of the bar.
  void Fit();
  // Panel 2 owner-drawn (busy, with the band at `position` percent) or plain text.
  void SetBusy(bool busy, int position);
  bool Busy() const { return Busy_; }
  // The rectangle of a panel in the bar.
  QRect PanelRect(int panel) const;

  // Fills `r` with the busy indicator at `position` percent: from the left edge a gradient of
  // `dark` to `light` at the band, then `light` to `dark` at the right edge, each drawn as
  // max(2, min(100, width)) equal bands with any remainder in its end colour.
  static void PaintBusy(QPainter& painter, const QRect& r, int position, const QColor& dark, const QColor& light);

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  std::array<QString, kPanels> Texts_;
  std::array<int, kPanels> Widths_ = {202, 80, 60, 19};
  bool Busy_ = false;
  int Position_ = 0;
};

}  // namespace gui
