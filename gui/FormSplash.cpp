#include "gui/FormSplash.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>

#include "Kel/KelStr.h"
#include "Kel/KelTranslate.h"
#include "gui/Names.h"

namespace gui {

bool HasNoSplashSwitch(const QStringList& arguments) {
  for (const QString& a : arguments) {
    if (a.size() < 2 || (a[0] != '/' && a[0] != '-')) continue;
    QString rest = a.mid(1);
    if (rest.startsWith('-')) rest = rest.mid(1);  // "--NoSplash" as well
    if (rest.compare(QStringLiteral("NoSplash"), Qt::CaseInsensitive) == 0) return true;
  }
  return false;
}

TFormSplash::TFormSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  Name(this, "FormSplash", "Splash");
  setCursor(Qt::WaitCursor);
  LabelMessage = Name(new QLabel(this), "LabelMessage", "Message");
  LabelMessage->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
  ProgressBar = Name(new QProgressBar(this), "ProgressBar", "Progress");
  ProgressBar->setRange(0, 10);
  ProgressBar->setValue(0);
  ProgressBar->setTextVisible(false);
  ProgressBar->setFixedHeight(6);
  Timer.setInterval(80);
  connect(&Timer, &QTimer::timeout, this, &TFormSplash::Tick);
}

int TFormSplash::Position() const { return ProgressBar->value(); }

bool TFormSplash::ShowSplash(const std::string& picture, const std::string& title, bool noSplash) {
  if (noSplash || QCoreApplication::closingDown()) return false;
  QPixmap pixmap;
  if (!pixmap.load(QString::fromStdString(picture)) || pixmap.isNull()) return false;
  Picture_ = pixmap;
  setFixedSize(pixmap.size() / pixmap.devicePixelRatio());
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->geometry();
    move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
  }
  LabelMessage->setText(QString::fromStdString(FormatText("Loading %s - Please wait.", title.c_str())));
  LabelMessage->adjustSize();
  LabelMessage->move(10, height() - LabelMessage->height() - 16);
  ProgressBar->setGeometry(10, height() - 12, width() - 20, 6);
  ProgressBar->setValue(0);
  setWindowOpacity(0.0);
  Timer.start();
  show();
  repaint();
  QCoreApplication::processEvents();
  return true;
}

void TFormSplash::Tick() {
  const int position = ProgressBar->value() + 1;
  ProgressBar->setValue(position);
  setWindowOpacity(std::min(position * 600 / 10, 255) / 255.0);
  if (position >= 10) HideSplash();
}

void TFormSplash::HideSplash() {
  Timer.stop();
  hide();
  Picture_ = QPixmap();
}

void TFormSplash::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (!Picture_.isNull()) p.drawPixmap(rect(), Picture_);
}

void TFormSplash::mousePressEvent(QMouseEvent*) {
  if (ProgressBar->value() >= 5) HideSplash();
}

void TFormSplash::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  // Another window coming to the front hides the splash.
  if (event->type() == QEvent::ActivationChange && isVisible() && !isActiveWindow() && QApplication::activeWindow())
    HideSplash();
}

TFormShutDown::TFormShutDown(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  Name(this, "FormShutDown", "Please Wait");
  setWindowTitle(tr("Please Wait"));
  LabelMessage = Name(new QLabel(tr("Please wait while closing down connections..."), this), "LabelMessage",
                      "Please wait while closing down connections...");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 18, 24, 18);
  layout->addWidget(LabelMessage);
  setAutoFillBackground(true);
  setStyleSheet(QStringLiteral("TFormShutDown, QWidget#FormShutDown { border: 1px solid palette(dark); }"));
}

void TFormShutDown::ShowNotice() {
  adjustSize();
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->geometry();
    move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
  }
  show();
  repaint();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace gui
