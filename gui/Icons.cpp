#include "gui/Icons.h"

#include <QHash>
#include <QPainter>
#include <QPixmap>

namespace gui {

namespace {

QIcon Load(const QString& path) {
  static QHash<QString, QIcon> cache;
  auto it = cache.find(path);
  if (it == cache.end()) it = cache.insert(path, QIcon(path));
  return *it;
}

}  // namespace

QIcon NodeIcon(int index) {
  if (index < 0 || index >= kNodeIconCount) return {};
  return Load(QStringLiteral(":/icons/node-%1.svg").arg(index, 2, 10, QChar('0')));
}

QIcon StatusMark(int mark) {
  if (mark < 0 || mark >= kStatusMarkCount) return {};
  return Load(QStringLiteral(":/icons/mark-%1.svg").arg(mark));
}

QIcon NodeIconWithMark(int index, int mark) {
  if (mark < 0 || mark >= kStatusMarkCount) return NodeIcon(index);
  static QHash<int, QIcon> cache;
  const int key = index * 16 + mark;
  if (auto it = cache.find(key); it != cache.end()) return *it;
  QIcon combined;
  const QIcon base = NodeIcon(index);
  const QIcon overlay = StatusMark(mark);
  // Drawn at the sizes the views ask for, twice over for screens of double density.
  for (int size : {16, 24, 32, 48, 64, 96}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    base.paint(&painter, QRect(0, 0, size, size));
    const int m = size * 9 / 16;
    overlay.paint(&painter, QRect(0, size - m, m, m));
    painter.end();
    combined.addPixmap(pixmap);
  }
  cache.insert(key, combined);
  return combined;
}

QIcon ToolIcon(const QString& name) { return Load(QStringLiteral(":/icons/tb-%1.svg").arg(name)); }

QIcon ApplicationIcon() { return Load(QStringLiteral(":/icons/tessaly.svg")); }

}  // namespace gui
