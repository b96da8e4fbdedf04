// Draws the splash picture "Setup.bmp" that ships beside the program: the program's icon, its
// name and a line on what it does, on a blue gradient. With --icon, the icon at one size.
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char* argv[]) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication app(argc, argv);
  // The program's icon at one size of the icon theme.
  if (argc == 5 && std::strcmp(argv[1], "--icon") == 0) {
    const int size = std::atoi(argv[3]);
    if (size < 1 || size > 1024) return 2;
    QImage icon(size, size, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    QSvgRenderer(QString::fromLocal8Bit(argv[2])).render(&p, QRectF(0, 0, size, size));
    p.end();
    return icon.save(QString::fromLocal8Bit(argv[4]), "PNG") ? 0 : 1;
  }
  if (argc != 3) {
    std::fprintf(stderr, "usage: tessaly-splash-art ICON.svg OUTPUT.bmp\n"
                         "       tessaly-splash-art --icon ICON.svg SIZE OUTPUT.png\n");
    return 2;
  }
  QImage image(520, 260, QImage::Format_RGB32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient g(0, 0, 0, image.height());
  g.setColorAt(0, QColor(0x1d, 0x4f, 0x91));
  g.setColorAt(1, QColor(0x0b, 0x24, 0x47));
  p.fillRect(image.rect(), g);
  QSvgRenderer icon(QString::fromLocal8Bit(argv[1]));
  icon.render(&p, QRectF(30, 48, 96, 96));
  QFont title(QStringLiteral("DejaVu Sans"), 26, QFont::Bold);
  p.setFont(title);
  p.setPen(Qt::white);
  p.drawText(QRect(146, 54, 350, 44), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Quorlix Tessaly"));
  QFont line(QStringLiteral("DejaVu Sans"), 11);
  p.setFont(line);
  p.setPen(QColor(0xcf, 0xe0, 0xff));
  p.drawText(QRect(148, 100, 340, 40), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
             QStringLiteral("Maps a website, checks its links and its spelling."));
  p.setPen(QColor(255, 255, 255, 60));
  p.drawLine(30, 170, image.width() - 30, 170);
  p.end();
  return image.save(QString::fromLocal8Bit(argv[2]), "BMP") ? 0 : 1;
}
