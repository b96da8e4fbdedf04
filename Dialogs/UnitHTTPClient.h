// The request pool behind the "Connection Status" window: a first-in, first-out queue of HEAD
// and GET requests, each run on a worker thread of its own (at most MaxThreads at a time), each
// handed back to its callback on the user-interface thread. The window's widgets are not here:
// its rows, counters and button states are logic fields that a view presents.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Dialogs/HostGate.h"
#include "Dialogs/RequestQueue.h"
#include "Kel/KelCompactText.h"
#include "Kel/KelIdHTTP.h"

namespace platform {
class UiThread;
class Prompter;
}  // namespace platform

class TFormHTTPClient;
class TPrivateThread;

// "Warning! Spider has reached maximum queue size limit.\r\rSpider task has been suspended"
extern const char* const kQueueLimitMessage;
// The queue limit's message: kQueueLimitMessage and the way past it (the setting, the option).
std::string QueueLimitText(size_t limit);
// "Do you want to terminate all the current tasks?"
extern const char* const kTerminateQuestion;

// Work on an answer that needs no model: runs on the worker thread after the fetch and before
// the callback's hand-over, only when the request was not terminated (walking a fetched page).
// It reads the client and leaves its results where the callback finds them.
using TRequestWork = std::function<void(THTTPClient& sender)>;

// A row of the queue list: what the window shows of one request.
struct TRequestItem {
  // Shared texts: a long queue's rows all say "Pending" with one copy.
  TSharedText Status = "Pending";  // column "Status"
  TSharedText Progress;            // column "%"
  int ImageIndex = 0;              // 0 at first, 1 once the request reports progress
};

// One queued request with its row. Touched on the user-interface thread only.
struct TRequestData {
  THTTPMethod Method = THTTPMethod::Head;
  std::unique_ptr<std::string> SourceStream;   // never used by this program
  std::unique_ptr<std::string> ContentStream;  // receives the body of a GET
  std::string URL;
  std::string Referer;
  TRequestCallback Callback;
  TRequestWork Work;     // run on the worker between the fetch and the callback; may be unset
  bool Started = false;  // a worker has been started for it; never cleared
  TRequestItem Item;
  TPrivateThread* Worker = nullptr;  // the worker serving it, once started

  // Column "Address": the document name, else the whole address. Made when shown, so a long
  // queue keeps one copy of each address.
  std::string Caption() const;
};

// What the window shows besides the rows; refreshed by every ProcessQueue.
struct TPoolDisplay {
  std::string SuspendCaption = "Suspend";  // "Resume" while suspended
  bool SuspendEnabled = false;             // both buttons: enabled while the list has rows
  bool TerminateEnabled = false;
  int32_t Active = 0;
  int32_t Pending = 0;
  std::string StatusText;  // "Active Threads: %d  Total Threads: %d"
};

// Hears what happens to the queue list, so that a view can present it without copying it.
// The "AboutTo" calls come before the change, the others after it. User-interface thread only.
class TRequestListObserver {
 public:
  virtual ~TRequestListObserver() = default;
  virtual void RowAboutToBeAdded(int /*row*/) {}
  virtual void RowAdded(int /*row*/) {}
  virtual void RowChanged(int /*row*/) {}
  virtual void RowAboutToBeRemoved(int /*row*/) {}
  virtual void RowRemoved(int /*row*/) {}
  virtual void ListAboutToReset() {}
  virtual void ListReset() {}
  virtual void CountsChanged() {}  // the display fields (counters, button states, status text)
};

// One worker: a thread of its own that serves one request at a time and then waits for the
// next, so that a crawl creates no thread per request. While it serves a request it is in the
// pool's active list.
class TPrivateThread {
 public:
  explicit TPrivateThread(TFormHTTPClient& pool);
  // Asks the thread to quit and waits for it.
  ~TPrivateThread();
  TPrivateThread(const TPrivateThread&) = delete;
  TPrivateThread& operator=(const TPrivateThread&) = delete;

  TRequestData* Request = nullptr;  // user-interface thread only: the request being served
  // The progress of the current request (worker thread).
  std::string StatusText;
  int32_t WorkMax = 0;
  int32_t WorkPos = 0;
  std::atomic<bool> Terminated{false};  // the current request is to end at once

 private:
  friend class TFormHTTPClient;
  // User-interface thread, pool lock held: hands the worker its next request and wakes it.
  void Assign(TRequestData& request, const std::function<void(THTTPClient&)>& setup);
  // Asks the thread to end once it is idle.
  void Quit();
  void Loop();
  // Serves the assigned request: the fetch and the work on this thread, then Finish.
  void Run();
  // User-interface thread: the callback, then the clean-up (queue step, the request's
  // destruction, leaving the active list); a programming error is raised again there.
  void Finish(THTTPClient* http, std::string& failure);
  void UpdateRow();
  // Runs `work` on the user-interface thread and waits for it.
  void HandOver(const std::function<void()>& work);
  // Closes the running client's connection, if there is one (any thread).
  void CloseClient();
  // Fetches again while the answer asks to come back later (the host gate's retries); false
  // when the wait was ended by termination.
  void RetryLater(THTTPClient& http);

  TFormHTTPClient& Pool_;
  // The assignment, guarded by WakeMutex_: set by Assign, taken by the thread.
  std::mutex WakeMutex_;
  std::condition_variable Wake_;
  bool Assigned_ = false;
  bool Quit_ = false;
  // What the row is to show, and whether an update of it is on its way (guarded by RowMutex_).
  std::mutex RowMutex_;
  bool RowShown_ = false;
  bool RowPosted_ = false;
  std::string ShownStatus_, ShownProgress_;
  // Copies of the current request, for the worker's own thread.
  std::function<void(THTTPClient&)> Setup_;
  std::function<bool(const THTTPClient&, const THTTPResponse&)> KeepBody_;
  TRequestWork Work_;
  THTTPMethod Method_ = THTTPMethod::Head;
  std::string URL_;
  std::string Referer_;
  const std::string* Source_ = nullptr;
  std::string* Content_ = nullptr;

  std::unique_ptr<THTTPSession> Session_;  // the thread's libcurl handles, kept across requests
  std::mutex HTTPMutex_;
  THTTPClient* HTTP_ = nullptr;     // the running client, guarded by HTTPMutex_
  bool InHandOver_ = false;         // user-interface thread only: its hand-over is running
  std::atomic<bool> Ended_{false};  // the thread has left its loop
  std::thread Thread_;
};

class TFormHTTPClient : public IRequestQueue {
 public:
  static constexpr int32_t kDefaultMaxThreads = 4;
  static constexpr size_t kQueueLimit = 10000;
  // The queue limit of this pool ("Largest queue (requests)"): adding a request to a queue of
  // more rows suspends the crawl. 0: no limit.
  size_t QueueLimit = kQueueLimit;

  // Created on the user-interface thread, which `ui` serves. `prompter` shows the warning of
  // SuspendWithMessage and asks the Terminate question (may be null: nothing shown, No).
  explicit TFormHTTPClient(platform::UiThread& ui, platform::Prompter* prompter = nullptr,
                           int32_t maxThreads = kDefaultMaxThreads);
  // Terminates everything and waits for every worker thread.
  ~TFormHTTPClient() override;
  TFormHTTPClient(const TFormHTTPClient&) = delete;
  TFormHTTPClient& operator=(const TFormHTTPClient&) = delete;

  // Every worker calls this with its new client before the request (the HTTP settings' ApplyTo).
  // Set it before requests are added; it is copied into each worker when the worker starts.
  void SetClientSetup(std::function<void(THTTPClient&)> setup) { ClientSetup_ = std::move(setup); }
  // Which GET answers' bodies the callbacks read (THTTPClient::KeepBody): other bodies are not
  // kept, and their transfer ends with the headers. Set it before requests are added.
  // The filter is asked with the request's client (its address) and the answer's headers.
  using TBodyFilter = std::function<bool(const THTTPClient&, const THTTPResponse&)>;
  void SetBodyFilter(TBodyFilter keep) { BodyFilter_ = std::move(keep); }

  // All operations below run on the user-interface thread.
  void AddRequest(THTTPMethod method, const std::string& url, const std::string& referer,
                  std::unique_ptr<std::string> sourceStream, std::unique_ptr<std::string> contentStream,
                  TRequestCallback callback, TRequestWork work = nullptr);
  void AddHeadRequest(const std::string& url, const std::string& referer, TRequestCallback callback) override;
  // The pool owns `contentStream` from now on; the callback reads the body from its client.
  // `work`, when given, runs on the worker before the callback (TRequestWork).
  void AddGetRequest(const std::string& url, const std::string& referer, std::unique_ptr<std::string> contentStream,
                     TRequestCallback callback, TRequestWork work = nullptr);
  void ResumeRequests();
  void SuspendRequests();
  void SuspendWithMessage(const std::string& text) override;
  // A limit suspends the crawl with its message, unless the user resumed past it in this crawl.
  // ResumeRequests lifts every limit that holds the crawl; TerminateAll (the end of a crawl)
  // restores them all.
  void LimitReached(TCrawlLimit limit, const std::string& text) override;
  bool LimitLifted(TCrawlLimit limit) const override { return Lifted_[Slot(limit)]; }
  // A limit suspended the crawl and nobody has resumed it since.
  bool LimitHolds() const { return Holding_[0] || Holding_[1]; }
  bool LimitHolds(TCrawlLimit limit) const { return Holding_[Slot(limit)]; }
  // Lifts `limit` for the rest of this crawl, as resuming past it does.
  void LiftLimit(TCrawlLimit limit);
  void ProcessQueue();
  void TerminateAll() override;
  bool IsBusy() const;  // a worker is active
  bool IsEmpty() const { return Queue_.empty(); }
  // Nothing runs and nothing more will start by itself: the queue is empty or suspended.
  bool IsIdle() const { return !IsBusy() && (IsEmpty() || Suspended()); }

  // The window's buttons.
  void ButtonSuspendClick();
  void ButtonTerminateClick();  // asks kTerminateQuestion first

  // Status notification: whenever the pool's state may have changed.
  std::function<void(TFormHTTPClient& sender)> OnStatusChange;
  // The address of the request started last.
  std::string CurrentURL;

  // The gate per host: pace and retries. Set its rate before the crawl.
  THostGate& HostGate() { return Gate_; }
  const THostGate& HostGate() const { return Gate_; }

  bool Suspended() const { return Suspended_; }
  bool Closing() const { return Closing_; }
  bool MessageShown() const { return MessageShown_; }
  int32_t MaxThreads() const { return MaxThreads_; }
  int32_t ActiveCount() const;
  int32_t TotalCount() const { return static_cast<int32_t>(Queue_.size()); }
  const TPoolDisplay& Display() const { return Display_; }

  // The queue list, in the order requests were added.
  int RowCount() const { return static_cast<int>(Queue_.size()); }
  const TRequestData& Row(int row) const { return *Queue_.at(static_cast<size_t>(row)); }
  void AddObserver(TRequestListObserver* observer);
  void RemoveObserver(TRequestListObserver* observer);

  // "%d%%" of pos * 100 / max rounded to the nearest integer (64-bit), "0%" when max is 0 or
  // the result is negative.
  static std::string ProgressText(int32_t pos, int32_t max);

 private:
  friend class TPrivateThread;
  void StartRequest(TRequestData& request);
  // Starts the first request not yet started whose host has a free slot, if any; true when one
  // started. Requests of hosts that must wait are passed over, and a wake-up is set for them.
  bool StartNext();
  // A paced host's slot has come: starts what may start now (user-interface thread).
  void PaceWake();
  void RefreshDisplay(int32_t total, int32_t active);
  void DestroyRequest(TRequestData* request);
  void RowChanged(const TRequestData* request);
  // A finished worker leaves the active list; the status notification tells (UI thread).
  void Leave(TPrivateThread* worker);
  void WorkerGone();  // a worker has left the active list
  // An idle worker for the next request, made when fewer than MaxThreads exist; none when no
  // thread can be started. Pool lock held.
  TPrivateThread* IdleWorker();
  // A programming error on a worker (an assertion failure in a completion): raised again on the
  // user-interface thread, out of its message processing, where it cannot go unnoticed.
  void Surface(const std::string& message);
  int IndexOf(const TRequestData* request) const;
  template <typename F>
  void Notify(F&& f) {
    for (TRequestListObserver* o : std::vector<TRequestListObserver*>(Observers_)) f(o);
  }

  static size_t Slot(TCrawlLimit limit) { return limit == TCrawlLimit::Addresses ? 0 : 1; }

  platform::UiThread& Ui_;
  platform::Prompter* Prompter_;
  THostGate Gate_;
  const int32_t MaxThreads_;
  std::function<void(THTTPClient&)> ClientSetup_;
  TBodyFilter BodyFilter_;

  // The queue list (rows). Requests start in order and finish near the front, so a deque takes
  // them out there in constant time however long the queue is.
  std::deque<std::unique_ptr<TRequestData>> Queue_;
  bool MessageShown_ = false;
  bool Holding_[2] = {false, false};  // by Slot: the limit suspended the crawl, not resumed since
  bool Lifted_[2] = {false, false};   // by Slot: resumed past in this crawl
  bool Suspended_ = false;
  bool Closing_ = false;
  bool Destroying_ = false;
  TPoolDisplay Display_;
  std::vector<TRequestListObserver*> Observers_;

  mutable std::recursive_mutex Lock_;                     // the pool lock: guards Active_
  std::vector<TPrivateThread*> Active_;                   // workers from their assignment until they remove themselves
  std::vector<std::unique_ptr<TPrivateThread>> Threads_;  // every worker, idle or not (UI thread)

  std::mutex EndMutex_;  // wakes TerminateAll when a worker leaves the active list
  std::condition_variable EndSignal_;
  uint64_t Ends_ = 0;
};
