#include "gui/FormTransfer.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/Icons.h"
#include "gui/Names.h"
#include "gui/Translator.h"

namespace gui {

TCopyAnimation::TCopyAnimation(QWidget* parent) : QWidget(parent) {
  Timer_.setInterval(60);
  connect(&Timer_, &QTimer::timeout, this, [this] {
    Frame = (Frame + 1) % 20;
    update();
  });
  setFixedSize(sizeHint());
}

void TCopyAnimation::SetPlaying(bool playing) {
  if (playing == Timer_.isActive()) return;
  if (playing) Timer_.start();
  else Timer_.stop();
  Frame = 0;
  update();
}

void TCopyAnimation::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QIcon folder = NodeIcon(1);  // the open folder
  const int size = 40;
  const int y = height() - size - 4;  // room above the folders for the sheet's arc
  folder.paint(&p, QRect(8, y, size, size));
  folder.paint(&p, QRect(width() - size - 8, y, size, size));
  if (!Timer_.isActive()) return;
  // The sheet travels along an arc from the left folder to the right one.
  const double t = Frame / 19.0;
  const int x0 = 8 + size / 2, x1 = width() - size / 2 - 8;
  const int x = static_cast<int>(x0 + (x1 - x0) * t);
  const int lift = static_cast<int>(22 * 4 * t * (1 - t));
  const QRect sheet(x - 8, y + 4 - lift, 16, 20);
  p.setPen(QPen(palette().color(QPalette::WindowText), 1));
  p.setBrush(Qt::white);
  p.drawRect(sheet);
  for (int line = 0; line < 3; ++line)
    p.drawLine(sheet.left() + 3, sheet.top() + 5 + line * 4, sheet.right() - 3, sheet.top() + 5 + line * 4);
}

TFormTransfer::TFormTransfer(QWidget* parent) : QDialog(parent) {
  Name(this, "FormHTTPCopy", "Downloading File");
  setWindowTitle(tr("Downloading File"));
  Animate = Name(new TCopyAnimation(this), "Animate", "Animation");
  LabelStatus = Name(new QLabel(this), "LabelStatus", "Status");
  LabelStatus->setTextFormat(Qt::PlainText);
  LabelStatus->setMinimumWidth(340);
  ProgressBar = Name(new QProgressBar(this), "ProgressBar", "Progress");
  ProgressBar->setTextVisible(false);
  ProgressBar->setRange(0, 100);
  ProgressBar->setValue(0);
  LabelProgress = Name(new QLabel(this), "LabelProgress", "Progress Text");
  LabelProgress->setTextFormat(Qt::PlainText);
  ButtonCancel = Name(new QPushButton(tr("Cancel"), this), "ButtonCancel", "Cancel");
  ButtonCancel->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ButtonCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Animate, 0, Qt::AlignHCenter);
  layout->addWidget(LabelStatus);
  layout->addWidget(ProgressBar);
  layout->addWidget(LabelProgress);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  connect(ButtonCancel, &QPushButton::clicked, this, &TFormTransfer::CancelPressed);
}

void TFormTransfer::SetCaption(const std::string& text) { setWindowTitle(RunTimeString(text)); }
void TFormTransfer::SetStatus(const std::string& text) { LabelStatus->setText(QString::fromStdString(text)); }
void TFormTransfer::SetProgressText(const std::string& text) { LabelProgress->setText(RunTimeString(text)); }
void TFormTransfer::SetRange(int max) { ProgressBar->setRange(0, max > 0 ? max : 0); }
void TFormTransfer::SetPosition(int position) { ProgressBar->setValue(position); }

void TFormTransfer::SetButtonCaption(const std::string& text) {
  ButtonCancel->setText(RunTimeString(text));
  ButtonCancel->setAccessibleName(RunTimeString(text));
}

void TFormTransfer::SetAnimation(bool playing) { Animate->SetPlaying(playing); }

platform::ModalResult TFormTransfer::RunModal(const std::function<void()>& onShown) {
  OnShown_ = onShown;
  Closing_ = false;
  Result_ = platform::ModalResult::Cancel;
  exec();
  OnShown_ = nullptr;
  return Result_;
}

void TFormTransfer::Close(platform::ModalResult result) {
  Result_ = result;
  Closing_ = true;
  if (isVisible()) done(result == platform::ModalResult::OK ? QDialog::Accepted : QDialog::Rejected);
}

void TFormTransfer::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!OnShown_) return;
  // The transfer starts once the window has been painted.
  QTimer::singleShot(0, this, [this] {
    auto start = std::move(OnShown_);
    OnShown_ = nullptr;
    if (start) start();
    if (Closing_ && isVisible()) done(Result_ == platform::ModalResult::OK ? QDialog::Accepted : QDialog::Rejected);
    else if (OnShownForTest) OnShownForTest();
  });
}

void TFormTransfer::reject() { CancelPressed(); }

void TFormTransfer::CancelPressed() {
  if (OnCancel) OnCancel();
  else Close(platform::ModalResult::Cancel);
}

}  // namespace gui
