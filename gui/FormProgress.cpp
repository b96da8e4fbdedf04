#include "gui/FormProgress.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include "gui/Names.h"
#include "gui/Translator.h"

namespace gui {

TFormProgressWindow::TFormProgressWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  Name(this, "FormProgress", "Progress");
  LabelMessage = Name(new QLabel(tr("Please wait..."), this), "LabelMessage", "Please wait...");
  ProgressBar = Name(new QProgressBar(this), "ProgressBar", "Progress");
  ProgressBar->setTextVisible(false);
  LabelPercent = Name(new QLabel(this), "LabelPercent", "Done");
  LabelPercent->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("100% Done.")) + 8);
  auto* row = new QHBoxLayout;
  row->addWidget(ProgressBar, 1);
  row->addWidget(LabelPercent);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 12, 16, 12);
  layout->addWidget(LabelMessage);
  layout->addLayout(row);
  setFixedSize(380, sizeHint().height());
}

void TFormProgressWindow::SetMessage(const std::string& text) {
  LabelMessage->setText(RunTimeString(text));
  LabelMessage->repaint();
}

void TFormProgressWindow::SetRange(int max) { ProgressBar->setRange(0, max < 0 ? 0 : max); }

void TFormProgressWindow::SetPosition(int position, const std::string& percentText) {
  ProgressBar->setValue(std::min(position, ProgressBar->maximum()));
  LabelPercent->setText(QString::fromStdString(percentText));
}

void TFormProgressWindow::RunModal(const std::function<void()>& job) {
  Job_ = job;
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - rect().center());
  }
  exec();
  Job_ = nullptr;
}

void TFormProgressWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!Job_) return;
  // Once on screen the job runs (once); the window closes with OK when it returns.
  QTimer::singleShot(0, this, [this] {
    if (auto job = std::move(Job_)) {
      Job_ = nullptr;
      job();
    }
    if (isVisible()) accept();
  });
}

}  // namespace gui
