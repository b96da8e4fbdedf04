#include "gui/QtKeyring.h"

#include <QEventLoop>
#include <QTimer>
#include <memory>
#include <qt6keychain/keychain.h>

namespace gui {

namespace {

// How long a keyring may take to answer before it counts as absent.
constexpr int kAnswerMs = 5000;

struct TJobResult {
  bool Finished = false;
  QKeychain::Error Error = QKeychain::OtherError;
  QByteArray Data;
};

// Runs `job` (which deletes itself when done) and waits for its answer. A job that does not
// answer in time is left to finish on its own; its late answer goes nowhere.
std::shared_ptr<TJobResult> RunJob(QKeychain::Job* job) {
  auto result = std::make_shared<TJobResult>();
  QEventLoop loop;
  job->setAutoDelete(true);
  QObject::connect(job, &QKeychain::Job::finished, &loop, [result, &loop](QKeychain::Job* done) {
    result->Finished = true;
    result->Error = done->error();
    if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(done)) result->Data = read->binaryData();
    loop.quit();
  });
  QTimer::singleShot(kAnswerMs, &loop, &QEventLoop::quit);
  job->start();
  if (!result->Finished) loop.exec(QEventLoop::ExcludeUserInputEvents);
  return result;
}

}  // namespace

QtKeyring::QtKeyring(QString service) : Service_(std::move(service)) {}

bool QtKeyring::Available() {
  if (!Available_) {
    auto* job = new QKeychain::ReadPasswordJob(Service_);
    job->setInsecureFallback(false);
    job->setKey(QStringLiteral("Tessaly keyring probe"));
    const auto result = RunJob(job);
    Available_ = result->Finished && (result->Error == QKeychain::NoError || result->Error == QKeychain::EntryNotFound);
  }
  return *Available_;
}

std::optional<std::string> QtKeyring::Read(const std::string& key) {
  if (!Available()) return std::nullopt;
  auto* job = new QKeychain::ReadPasswordJob(Service_);
  job->setInsecureFallback(false);
  job->setKey(QString::fromStdString(key));
  const auto result = RunJob(job);
  if (!result->Finished || result->Error != QKeychain::NoError) return std::nullopt;
  return result->Data.toStdString();
}

bool QtKeyring::Write(const std::string& key, const std::string& secret) {
  if (!Available()) return false;
  auto* job = new QKeychain::WritePasswordJob(Service_);
  job->setInsecureFallback(false);
  job->setKey(QString::fromStdString(key));
  job->setBinaryData(QByteArray::fromStdString(secret));
  const auto result = RunJob(job);
  return result->Finished && result->Error == QKeychain::NoError;
}

}  // namespace gui
