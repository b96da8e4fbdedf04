#include "Dialogs/HostGate.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "Kel/KelCurl.h"
#include "Kel/KelDateTime.h"
#include "Kel/KelError.h"
#include "Kel/KelHTTPTypes.h"
#include "Kel/KelStr.h"
#include "Kel/KelURI.h"

THostGate::THostGate() = default;

THostGate::~THostGate() { Stop(); }

std::string THostGate::HostKey(const TURI& uri) {
  std::string port = uri.Port;
  if (port.empty()) port = SameText(uri.Protocol, "https") ? "443" : "80";
  return LowerCase(uri.Protocol) + "://" + LowerCase(uri.Host) + ":" + port;
}

std::string THostGate::HostKey(const std::string& url) {
  // Read straight from the text: the pool asks this for every waiting request it passes over.
  const size_t colon = url.find("://");
  if (colon == std::string::npos) return LowerCase(url);
  const std::string scheme = LowerCase(url.substr(0, colon));
  size_t end = url.find_first_of("/?#", colon + 3);
  if (end == std::string::npos) end = url.size();
  std::string authority = LowerCase(url.substr(colon + 3, end - colon - 3));
  if (const size_t at = authority.rfind('@'); at != std::string::npos) authority.erase(0, at + 1);
  const size_t bracket = authority.rfind(']');
  const size_t port = authority.rfind(':');
  if (port == std::string::npos || (bracket != std::string::npos && port < bracket))
    authority += scheme == "https" ? ":443" : ":80";
  return scheme + "://" + authority;
}

void THostGate::SetRate(double perSecond) {
  if (!(perSecond >= 0)) throw EError("Requests per second per host: the rate must be 0 or more");
  std::lock_guard lock(Mutex_);
  Rate_ = perSecond;
}

double THostGate::Rate() const {
  std::lock_guard lock(Mutex_);
  return Rate_;
}

void THostGate::SetHostDelay(const std::string& hostKey, double seconds) {
  std::lock_guard lock(Mutex_);
  THost& host = Hosts_[hostKey];
  host.Own = std::max(host.Own, std::max(seconds, 0.0));
  AnyHost_ = true;
}

void THostGate::Slower(const std::string& hostKey) {
  std::lock_guard lock(Mutex_);
  THost& host = Hosts_[hostKey];
  host.Slower = std::min(host.Slower + 1, 16);
  AnyHost_ = true;
}

double THostGate::IntervalLocked(const THost& host) const {
  const double base = std::max(Rate_ > 0 ? 1 / Rate_ : 0.0, host.Own);
  if (host.Slower == 0) return base;
  const double first = base > 0 ? base * 2 : kFirstBackoffInterval;
  return first * std::ldexp(1.0, host.Slower - 1);
}

double THostGate::Interval(const std::string& hostKey) const {
  std::lock_guard lock(Mutex_);
  auto it = Hosts_.find(hostKey);
  return it == Hosts_.end() ? (Rate_ > 0 ? 1 / Rate_ : 0) : IntervalLocked(it->second);
}

void THostGate::Reset() {
  std::lock_guard lock(Mutex_);
  Hosts_.clear();
  AnyHost_ = false;
}

bool THostGate::Active() const {
  std::lock_guard lock(Mutex_);
  return Rate_ > 0 || AnyHost_;
}

bool THostGate::TryTake(const std::string& hostKey, Clock::time_point now, Clock::time_point& freeAt) {
  std::lock_guard lock(Mutex_);
  THost& host = Hosts_[hostKey];
  if (host.Next > now) {
    freeAt = host.Next;
    return false;
  }
  const double interval = IntervalLocked(host);
  host.Next = now + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(interval));
  return true;
}

void THostGate::SetRetry(bool on) {
  std::lock_guard lock(Mutex_);
  Retry_ = on;
}

bool THostGate::Retry() const {
  std::lock_guard lock(Mutex_);
  return Retry_;
}

void THostGate::SetDelayScale(double scale) {
  std::lock_guard lock(Mutex_);
  Scale_ = std::max(scale, 0.0);
}

std::chrono::milliseconds THostGate::RetryDelay(const THTTPResponse& response, int attempt) const {
  const int32_t code = response.ResponseCode();
  double scale;
  {
    std::lock_guard lock(Mutex_);
    if (!Retry_) return std::chrono::milliseconds(-1);
    scale = Scale_;
  }
  if ((code != 429 && code != 503) || attempt < 1 || attempt > kMaxRetries) return std::chrono::milliseconds(-1);
  double seconds = std::ldexp(1.0, attempt - 1);  // 1, 2, 4
  const std::string value = Trim(response.RetryAfter);
  if (!value.empty()) {
    char* end = nullptr;
    const double number = std::strtod(value.c_str(), &end);
    if (end && *end == 0 && number >= 0 && std::isfinite(number)) {
      seconds = number;
    } else if (const TDateTime when = HTTPDateOf(value); when != 0) {
      const TDateTime from = response.Date != 0 ? response.Date : NowDateTime();
      seconds = std::max(0.0, (when - from) * 86400);
    }
  }
  return std::chrono::milliseconds(std::llround(std::min(seconds * scale, 86400.0) * 1000));
}

void THostGate::WakeAt(Clock::time_point when, std::function<void()> wake) {
  std::lock_guard lock(WakeMutex_);
  if (Stopping_) return;
  if (!WakeSet_ || when < WakeTime_) WakeTime_ = when;
  WakeSet_ = true;
  Wake_ = std::move(wake);
  if (!WakeThread_.joinable()) WakeThread_ = std::thread([this] { WakeLoop(); });
  WakeSignal_.notify_all();
}

void THostGate::WakeLoop() {
  std::unique_lock lock(WakeMutex_);
  for (;;) {
    if (Stopping_) return;
    if (!WakeSet_) {
      WakeSignal_.wait(lock);
      continue;
    }
    if (Clock::now() < WakeTime_) {
      WakeSignal_.wait_until(lock, WakeTime_);
      continue;
    }
    WakeSet_ = false;
    std::function<void()> wake = Wake_;
    lock.unlock();
    if (wake) wake();
    lock.lock();
  }
}

void THostGate::Stop() {
  {
    std::lock_guard lock(WakeMutex_);
    Stopping_ = true;
    Wake_ = nullptr;
  }
  WakeSignal_.notify_all();
  if (WakeThread_.joinable()) WakeThread_.join();
}
