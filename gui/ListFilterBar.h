// The filter box above the node list: a text looked for in every column, and buttons for the
// classes of answers (2xx, 3xx, 4xx, 5xx, failed), none pressed meaning any. Ctrl+F (the
// window's key) puts the focus into the box; Escape there clears the filter (and only when the
// filter is empty goes on to the window, where it stops a crawl).
#pragma once

#include <QWidget>
#include <array>
#include <string>

class QLineEdit;
class QToolButton;

namespace gui {

class TListFilterBar : public QWidget {
  Q_OBJECT
 public:
  explicit TListFilterBar(QWidget* parent = nullptr);

  std::string Text() const;
  unsigned Classes() const;  // TAnswerClass bits of the pressed buttons
  // Empties the box and raises every button.
  void Clear();
  // The focus into the box, its text selected.
  void FocusBox();

  QLineEdit* EditFilter;
  // 2xx, 3xx, 4xx, 5xx, Failed.
  std::array<QToolButton*, 5> ButtonClass;

 signals:
  void Changed();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace gui
