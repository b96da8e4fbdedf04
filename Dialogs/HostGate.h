// The request pool's gate per host: the pace of each host (the least time between the starts of
// two requests to it, from "Requests per second per host", a robots.txt "Crawl-delay", or a
// host that answered "come back later") and the retries of such answers. The pool asks it
// before starting a request; a request whose host has no free slot yet waits in the queue
// without a worker while requests to other hosts start, and a wake-up is set for its slot.
// Thread-safe.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

struct THTTPResponse;
class TURI;

class THostGate {
 public:
  using Clock = std::chrono::steady_clock;
  // The slot a host gets after "come back later" when it had no pace: four requests a second.
  static constexpr double kFirstBackoffInterval = 0.25;
  // Retries of one request answered 429 or 503.
  static constexpr int kMaxRetries = 3;

  THostGate();
  ~THostGate();
  THostGate(const THostGate&) = delete;
  THostGate& operator=(const THostGate&) = delete;

  // "scheme://host:port" of an address, letters folded, the scheme's default port filled in.
  static std::string HostKey(const TURI& uri);
  static std::string HostKey(const std::string& url);

  // Requests per second to each host (0: no limit). A negative rate is refused (EError).
  void SetRate(double perSecond);
  double Rate() const;
  // A host's own least interval in seconds (robots.txt's Crawl-delay): the larger one counts.
  void SetHostDelay(const std::string& hostKey, double seconds);
  // The host answered "come back later": its pace halves for the rest of the crawl.
  void Slower(const std::string& hostKey);
  // The host's least interval between two starts, in seconds (0: none).
  double Interval(const std::string& hostKey) const;
  // Forgets every host's own pace (a new crawl); the rate stays.
  void Reset();
  // Whether any host is paced: without, the pool asks nothing.
  bool Active() const;

  // Takes the host's slot when it is free at `now` (true), else tells when it will be.
  bool TryTake(const std::string& hostKey, Clock::time_point now, Clock::time_point& freeAt);

  // Retries of 429 and 503 answers (on by default; tessaly-crawl's --no-retry turns them off).
  void SetRetry(bool on);
  bool Retry() const;
  // Every retry delay is multiplied by this (tests make them short).
  void SetDelayScale(double scale);
  // The wait before retry number `attempt` (1..kMaxRetries) of `response`, or a negative
  // duration when it is not retried: not a 429 or 503 answer, retries off or used up.
  // "Retry-After" gives the delay (seconds or an HTTP date); without it 1, 2 and 4 s.
  std::chrono::milliseconds RetryDelay(const THTTPResponse& response, int attempt) const;

  // Calls `wake` (on the gate's own thread) once `when` has come; an earlier call's wake-up
  // that is later than `when` is brought forward. Cleared by Stop.
  void WakeAt(Clock::time_point when, std::function<void()> wake);
  // Ends the wake-up thread; no wake-up runs after it returns.
  void Stop();

 private:
  struct THost {
    double Own = 0;       // Crawl-delay
    int Slower = 0;       // times halved
    Clock::time_point Next{};
  };
  double IntervalLocked(const THost& host) const;
  void WakeLoop();

  mutable std::mutex Mutex_;
  double Rate_ = 0;
  bool Retry_ = true;
  double Scale_ = 1;
  std::map<std::string, THost> Hosts_;
  bool AnyHost_ = false;  // a host has a pace of its own

  std::mutex WakeMutex_;
  std::condition_variable WakeSignal_;
  bool Stopping_ = false;
  bool WakeSet_ = false;
  Clock::time_point WakeTime_{};
  std::function<void()> Wake_;
  std::thread WakeThread_;
};
