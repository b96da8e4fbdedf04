#include "gui/FormTransfer.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/Icons.h"
#include "gui/Names.h"

namespace gui {

TFormTransfer::TFormTransfer(QWidget* parent) : QDialog(parent) {
  Name(this, "FormHTTPCopy", "Downloading File");
  setModal(true);
  Animation = Name(new QLabel(this), "Animation", "Copying");
  Animation->setFixedSize(48, 32);
  LabelStatus = Name(new QLabel(this), "LabelStatus", "Status");
  LabelStatus->setTextFormat(Qt::PlainText);
  LabelStatus->setMinimumWidth(360);
  ProgressBar = Name(new QProgressBar(this), "ProgressBar", "Progress");
  ProgressBar->setTextVisible(false);
  LabelProgress = Name(new QLabel(this), "LabelProgress", "Progress");
  Button = Name(new QPushButton(tr("Cancel"), this), "ButtonCancel", "Cancel");
  auto* top = new QHBoxLayout;
  top->addWidget(Animation);
  top->addWidget(LabelStatus, 1);
  auto* bottom = new QHBoxLayout;
  bottom->addStretch(1);
  bottom->addWidget(Button);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(ProgressBar);
  layout->addWidget(LabelProgress);
  layout->addLayout(bottom);
  connect(Button, &QPushButton::clicked, this, [this] {
    if (OnCancel) OnCancel();
  });
  // The animation: a page moving from one folder to the other.
  Frames_.setInterval(120);
  connect(&Frames_, &QTimer::timeout, this, [this] {
    Frame_ = (Frame_ + 1) % 4;
    QPixmap picture(48, 32);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    NodeIcon(0).paint(&painter, QRect(0, 8, 16, 16));
    NodeIcon(1).paint(&painter, QRect(32, 8, 16, 16));
    NodeIcon(4).paint(&painter, QRect(6 + Frame_ * 7, 2 + (Frame_ == 1 || Frame_ == 2 ? 0 : 4), 12, 12));
    painter.end();
    Animation->setPixmap(picture);
  });
}

void TFormTransfer::SetCaption(const std::string& text) { setWindowTitle(QString::fromStdString(text)); }
void TFormTransfer::SetStatus(const std::string& text) { LabelStatus->setText(QString::fromStdString(text)); }
void TFormTransfer::SetProgressText(const std::string& text) { LabelProgress->setText(QString::fromStdString(text)); }
void TFormTransfer::SetRange(int max) { ProgressBar->setRange(0, std::max(0, max)); }
void TFormTransfer::SetPosition(int position) { ProgressBar->setValue(std::min(position, ProgressBar->maximum())); }

void TFormTransfer::SetButtonCaption(const std::string& text) {
  Button->setText(QString::fromStdString(text));
  Button->setAccessibleName(QString::fromStdString(text));
}

void TFormTransfer::SetAnimation(bool playing) {
  if (playing) Frames_.start();
  else Frames_.stop();
  Animation->setVisible(playing);
}

platform::ModalResult TFormTransfer::RunModal(const std::function<void()>& onShown) {
  Result_ = platform::ModalResult::Cancel;
  Closing_ = false;
  QMetaObject::invokeMethod(
      this,
      [onShown] {
        if (onShown) onShown();
      },
      Qt::QueuedConnection);
  exec();
  Frames_.stop();
  return Result_;
}

void TFormTransfer::Close(platform::ModalResult result) {
  Result_ = result;
  Closing_ = true;
  done(result == platform::ModalResult::OK ? QDialog::Accepted : QDialog::Rejected);
}

void TFormTransfer::reject() {
  if (Closing_) {
    QDialog::reject();
    return;
  }
  if (OnCancel) OnCancel();
}

}  // namespace gui
