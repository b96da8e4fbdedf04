#include "Dialogs/UnitHTTPClient.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "Kel/KelTranslate.h"
#include "Kel/KelError.h"
#include "Kel/KelStr.h"
#include "Kel/KelURI.h"
#include "platform/Platform.h"

const char* const kQueueLimitMessage =
    "Warning! Spider has reached maximum queue size limit.\r\rSpider task has been suspended";
std::string QueueLimitText(size_t limit) {
  return std::string(kQueueLimitMessage) +
         Format("\r\rThe limit is the setting \"Largest queue (requests)\" on the Limits page of the HTTP "
                "Settings, now %zu (0: no limit), and the option --max-queue N of tessaly-crawl. Resume the "
                "crawl to go on past it.",
                limit);
}

const char* const kTerminateQuestion = "Do you want to terminate all the current tasks?";

// ---------------------------------------------------------------------------------------------
// TPrivateThread

TPrivateThread::TPrivateThread(TFormHTTPClient& pool) : Pool_(pool) {
  Thread_ = std::thread([this] { Loop(); });
}

TPrivateThread::~TPrivateThread() {
  Quit();
  if (Thread_.joinable()) Thread_.join();
}

void TPrivateThread::Assign(TRequestData& request, const std::function<void(THTTPClient&)>& setup) {
  // The thread is idle: nothing of the previous request is in use any more.
  Request = &request;
  Setup_ = setup;
  KeepBody_ = Pool_.BodyFilter_;
  Work_ = request.Work;
  Method_ = request.Method;
  URL_ = request.URL;
  Referer_ = request.Referer;
  Source_ = request.SourceStream.get();
  Content_ = request.ContentStream.get();
  StatusText.clear();
  WorkMax = 0;
  WorkPos = 0;
  Terminated = false;
  {
    std::lock_guard lock(RowMutex_);
    RowShown_ = false;
    RowPosted_ = false;
  }
  {
    std::lock_guard lock(WakeMutex_);
    Assigned_ = true;
  }
  Wake_.notify_one();
}

void TPrivateThread::Quit() {
  {
    std::lock_guard lock(WakeMutex_);
    Quit_ = true;
  }
  Wake_.notify_one();
}

void TPrivateThread::Loop() {
  for (;;) {
    {
      std::unique_lock lock(WakeMutex_);
      Wake_.wait(lock, [&] { return Assigned_ || Quit_; });
      if (!Assigned_) break;
      Assigned_ = false;
    }
    Run();
  }
  Ended_ = true;  // the last thing this thread does; the pool joins it afterwards
}

void TPrivateThread::HandOver(const std::function<void()>& work) {
  Pool_.Ui_.Synchronize([&] {
    InHandOver_ = true;
    struct Reset {
      bool& Flag;
      ~Reset() { Flag = false; }
    } reset{InHandOver_};
    work();
  });
}

void TPrivateThread::CloseClient() {
  std::lock_guard lock(HTTPMutex_);
  if (HTTP_) HTTP_->Close();
}

void TPrivateThread::Run() {
  std::unique_ptr<THTTPClient> http;
  std::string failure;  // a programming error met on the way: raised again on the UI thread
  try {
    http = std::make_unique<THTTPClient>();
    if (!Session_) {
      try {
        Session_ = std::make_unique<THTTPSession>();
      } catch (const EError&) {
        // Without handles of its own the request makes its own.
      }
    }
    http->Session = Session_.get();
    if (Setup_) Setup_(*http);
    http->OnStatus = [this](const std::string& text) {
      StatusText = text;
      UpdateRow();
    };
    http->OnWorkBegin = [this](int32_t total) {
      WorkMax = total;
      UpdateRow();
    };
    http->OnWork = [this](int32_t done) {
      WorkPos = done;
      UpdateRow();
    };
    http->OnAuthorization = [](TAuthentication&, bool& handled) { handled = false; };
    if (KeepBody_)
      http->KeepBody = [this, client = http.get()](const THTTPResponse& r) { return KeepBody_(*client, r); };
    http->Request.BasicAuthentication = true;
    http->Request.Referer = Referer_;
    {
      std::lock_guard lock(HTTPMutex_);
      HTTP_ = http.get();
    }
    if (Terminated) http->Close();  // terminated before its client existed
    if (URL_.empty()) Terminated = true;
    if (!Terminated) {
      try {
        Fetch(*http, Method_, URL_, Source_, Content_);
        RetryLater(*http);
      } catch (const std::logic_error&) {
        throw;
      } catch (const std::exception& e) {
        // A failed request is an answer like any other: its message is the response text.
        http->Response.ResponseText = e.what();
      }
    }
    if (!Terminated && Work_) Work_(*http);
  } catch (const std::logic_error& e) {
    failure = e.what();
  } catch (...) {
    // A failure of the request's preparation ends it silently.
  }
  {
    std::lock_guard lock(HTTPMutex_);
    HTTP_ = nullptr;
  }
  // The completion and the clean-up in one hand-over. Afterwards this thread touches nothing of
  // the request any more, so the pool may hand it the next one at once.
  try {
    HandOver([&] { Finish(http.get(), failure); });
  } catch (...) {
    // Finish reports its own errors.
  }
  http.reset();
}

void TPrivateThread::RetryLater(THTTPClient& http) {
  using Clock = std::chrono::steady_clock;
  THostGate& gate = Pool_.Gate_;
  const Clock::time_point start = Clock::now();
  for (int attempt = 1; !Terminated; ++attempt) {
    const std::chrono::milliseconds delay = gate.RetryDelay(http.Response, attempt);
    if (delay.count() < 0) return;
    // The host is asked less often from now on, once per request it turned away.
    if (attempt == 1) gate.Slower(THostGate::HostKey(URL_));
    // Never past the request's time limit: the answer in hand stays.
    const Clock::time_point due = Clock::now() + delay;
    if (http.Limits.Timeout.count() > 0 && due - start > http.Limits.Timeout) return;
    StatusText = "Waiting to ask again.";
    UpdateRow();
    while (Clock::now() < due) {
      if (Terminated || http.Closed()) return;
      std::this_thread::sleep_for(std::min<Clock::duration>(due - Clock::now(), std::chrono::milliseconds(20)));
    }
    if (Terminated || http.Closed()) return;
    std::string* content = Content_;
    if (content) content->clear();
    http.Response = THTTPResponse();
    Fetch(http, Method_, URL_, Source_, content);
  }
}

void TPrivateThread::Finish(THTTPClient* http, std::string& failure) {
  if (!Terminated && http && Request && Request->Callback) {
    try {
      Request->Callback(*http);
    } catch (const std::logic_error& e) {
      failure = e.what();
    } catch (...) {
      // A failure of the completion ends it silently.
    }
  }
  Terminated = true;
  Work_ = nullptr;  // what the work captured goes with the request
  // The queue step (this worker still counts as active), the request's destruction, and the
  // worker's departure from the active list, which the status notification tells.
  try {
    Pool_.ProcessQueue();
  } catch (const std::logic_error& e) {
    if (failure.empty()) failure = e.what();
  } catch (...) {
  }
  Pool_.DestroyRequest(Request);
  Pool_.Leave(this);
  if (!failure.empty()) Pool_.Surface(failure);
}

void TPrivateThread::UpdateRow() {
  // The row follows the worker's progress without holding the worker up: the newest status and
  // percentage are handed to the user-interface thread, one pending update at a time, and a
  // step that would show the same row as before is not handed over at all.
  const std::string progress = TFormHTTPClient::ProgressText(WorkPos, WorkMax);
  {
    std::lock_guard lock(RowMutex_);
    if (RowShown_ && StatusText == ShownStatus_ && progress == ShownProgress_) return;
    RowShown_ = true;
    ShownStatus_ = StatusText;
    ShownProgress_ = progress;
    if (RowPosted_) return;
    RowPosted_ = true;
  }
  // The update runs before this worker's later hand-overs (they are queued after it), so the
  // worker and its request still exist when it runs.
  Pool_.Ui_.Post([this] {
    std::string status, shownProgress;
    {
      std::lock_guard lock(RowMutex_);
      RowPosted_ = false;
      status = ShownStatus_;
      shownProgress = ShownProgress_;
    }
    if (Terminated || !Request) return;
    TRequestItem& item = Request->Item;
    item.ImageIndex = 1;
    item.Status = status;
    item.Progress = shownProgress;
    Pool_.RowChanged(Request);
  });
}

// ---------------------------------------------------------------------------------------------
// TFormHTTPClient

TFormHTTPClient::TFormHTTPClient(platform::UiThread& ui, platform::Prompter* prompter, int32_t maxThreads)
    : Ui_(ui), Prompter_(prompter), MaxThreads_(maxThreads) {
  RefreshDisplay(0, 0);
}

TFormHTTPClient::~TFormHTTPClient() {
  Destroying_ = true;
  OnStatusChange = nullptr;
  try {
    TerminateAll();
  } catch (...) {
  }
  // Every worker is idle now; each may still hand over its last notification. Serve them until
  // every thread has left its loop, then join them all.
  Gate_.Stop();  // no pace wake-up is handed over from now on
  for (const auto& w : Threads_) w->Quit();
  for (;;) {
    Ui_.ProcessMessages();
    const bool allEnded = std::all_of(Threads_.begin(), Threads_.end(), [](const auto& t) { return t->Ended_.load(); });
    if (allEnded) break;
    std::unique_lock lock(EndMutex_);
    EndSignal_.wait_for(lock, std::chrono::milliseconds(2));
  }
  Ui_.ProcessMessages();  // the last workers' notifications, queued before they ended
  Threads_.clear();       // joins
}

std::string TFormHTTPClient::ProgressText(int32_t pos, int32_t max) {
  if (max == 0) return "0%";
  // Rounded to the nearest integer, halves to even.
  const double percent = std::nearbyint(static_cast<double>(static_cast<int64_t>(pos) * 100) / max);
  const long long value = percent < 0 ? 0 : static_cast<long long>(percent);
  return Format("%lld%%", value);
}

int32_t TFormHTTPClient::ActiveCount() const {
  std::lock_guard lock(Lock_);
  return static_cast<int32_t>(Active_.size());
}

bool TFormHTTPClient::IsBusy() const {
  std::lock_guard lock(Lock_);
  return !Active_.empty();
}

std::string TRequestData::Caption() const {
  std::string document = DocumentOf(URL);
  return document.empty() ? URL : document;
}

void TFormHTTPClient::AddObserver(TRequestListObserver* observer) {
  if (std::find(Observers_.begin(), Observers_.end(), observer) == Observers_.end()) Observers_.push_back(observer);
}

void TFormHTTPClient::RemoveObserver(TRequestListObserver* observer) {
  Observers_.erase(std::remove(Observers_.begin(), Observers_.end(), observer), Observers_.end());
}

int TFormHTTPClient::IndexOf(const TRequestData* request) const {
  for (size_t i = 0; i < Queue_.size(); ++i)
    if (Queue_[i].get() == request) return static_cast<int>(i);
  return -1;
}

void TFormHTTPClient::AddRequest(THTTPMethod method, const std::string& url, const std::string& referer,
                                 std::unique_ptr<std::string> sourceStream, std::unique_ptr<std::string> contentStream,
                                 TRequestCallback callback, TRequestWork work) {
  KelAssert(Ui_.IsUiThread(), "AddRequest runs on the user-interface thread");
  std::lock_guard lock(Lock_);
  if (!Closing_) {
    if (QueueLimit > 0 && Queue_.size() > QueueLimit && !LimitLifted(TCrawlLimit::Queue))
      LimitReached(TCrawlLimit::Queue, QueueLimitText(QueueLimit));
    auto request = std::make_unique<TRequestData>();
    request->Method = method;
    request->SourceStream = std::move(sourceStream);
    request->ContentStream = std::move(contentStream);
    request->URL = url;
    request->Referer = referer;
    request->Callback = std::move(callback);
    request->Work = std::move(work);
    request->Item.Status = RunTimeText(request->Item.Status);
    const int row = static_cast<int>(Queue_.size());
    Notify([&](TRequestListObserver* o) { o->RowAboutToBeAdded(row); });
    Queue_.push_back(std::move(request));
    Notify([&](TRequestListObserver* o) { o->RowAdded(row); });
  }
  ProcessQueue();
}

void TFormHTTPClient::AddHeadRequest(const std::string& url, const std::string& referer, TRequestCallback callback) {
  AddRequest(THTTPMethod::Head, url, referer, nullptr, nullptr, std::move(callback));
}

void TFormHTTPClient::AddGetRequest(const std::string& url, const std::string& referer,
                                    std::unique_ptr<std::string> contentStream, TRequestCallback callback,
                                    TRequestWork work) {
  AddRequest(THTTPMethod::Get, url, referer, nullptr, std::move(contentStream), std::move(callback), std::move(work));
}

void TFormHTTPClient::ResumeRequests() {
  // Resuming past a limit lifts it for the rest of this crawl: the next address or request
  // beyond it does not suspend the crawl again.
  for (size_t k = 0; k < 2; ++k) {
    if (Holding_[k]) Lifted_[k] = true;
    Holding_[k] = false;
  }
  MessageShown_ = false;
  Suspended_ = false;
  ProcessQueue();
}

void TFormHTTPClient::SuspendRequests() { Suspended_ = true; }

void TFormHTTPClient::SuspendWithMessage(const std::string& text) {
  if (MessageShown_) return;
  MessageShown_ = true;
  SuspendRequests();
  if (Prompter_) Prompter_->Notice(text);
}

void TFormHTTPClient::LimitReached(TCrawlLimit limit, const std::string& text) {
  if (LimitLifted(limit)) return;
  Holding_[Slot(limit)] = true;
  SuspendWithMessage(text);
}

void TFormHTTPClient::LiftLimit(TCrawlLimit limit) {
  Lifted_[Slot(limit)] = true;
  Holding_[Slot(limit)] = false;
}

void TFormHTTPClient::RefreshDisplay(int32_t total, int32_t active) {
  Display_.SuspendCaption = RunTimeText(Suspended_ ? "Resume" : "Suspend");
  Display_.SuspendEnabled = total > 0;
  Display_.TerminateEnabled = total > 0;
  Display_.Active = active;
  Display_.Pending = total - active;
  Display_.StatusText = FormatText("Active Threads: %d  Total Threads: %d", active, total);
  Notify([](TRequestListObserver* o) { o->CountsChanged(); });
}

void TFormHTTPClient::ProcessQueue() {
  std::lock_guard lock(Lock_);
  if (Ui_.Terminating()) return;
  const int32_t total = TotalCount();
  const int32_t active = static_cast<int32_t>(Active_.size());
  RefreshDisplay(total, active);
  if (total == 0 && active == 0) Closing_ = false;
  if (OnStatusChange) OnStatusChange(*this);
  if (!Suspended_ && active < MaxThreads_ && StartNext() && Gate_.Active()) {
    // Paced: the requests of other hosts start at once beside one that waits for its slot.
    while (!Suspended_ && static_cast<int32_t>(Active_.size()) < MaxThreads_ && StartNext()) {
    }
  }
}

bool TFormHTTPClient::StartNext() {
  const bool paced = Gate_.Active();
  const THostGate::Clock::time_point now = THostGate::Clock::now();
  bool waiting = false;
  THostGate::Clock::time_point earliest{};
  for (const auto& request : Queue_) {
    if (request->Started) continue;
    if (paced) {
      THostGate::Clock::time_point freeAt;
      if (!Gate_.TryTake(THostGate::HostKey(request->URL), now, freeAt)) {
        if (!waiting || freeAt < earliest) earliest = freeAt;
        waiting = true;
        continue;
      }
    }
    StartRequest(*request);
    CurrentURL = request->URL;
    return request->Started;
  }
  if (waiting) Gate_.WakeAt(earliest, [this] { Ui_.Post([this] { PaceWake(); }); });
  return false;
}

void TFormHTTPClient::PaceWake() {
  std::lock_guard lock(Lock_);
  if (Destroying_ || Closing_ || Ui_.Terminating()) return;
  while (!Suspended_ && static_cast<int32_t>(Active_.size()) < MaxThreads_ && StartNext()) {
  }
  RefreshDisplay(TotalCount(), static_cast<int32_t>(Active_.size()));
  if (OnStatusChange) OnStatusChange(*this);
}

TPrivateThread* TFormHTTPClient::IdleWorker() {
  for (const auto& w : Threads_)
    if (std::find(Active_.begin(), Active_.end(), w.get()) == Active_.end()) return w.get();
  if (static_cast<int32_t>(Threads_.size()) >= MaxThreads_) return nullptr;
  try {
    Threads_.push_back(std::make_unique<TPrivateThread>(*this));
  } catch (...) {
    return nullptr;  // no thread could be started: the request waits for a later attempt
  }
  return Threads_.back().get();
}

void TFormHTTPClient::StartRequest(TRequestData& request) {
  // Called with the pool lock held.
  TPrivateThread* w = IdleWorker();
  if (!w) return;
  request.Started = true;
  request.Worker = w;
  Active_.push_back(w);
  w->Assign(request, ClientSetup_);
}

void TFormHTTPClient::Leave(TPrivateThread* worker) {
  {
    std::lock_guard lock(Lock_);
    Active_.erase(std::remove(Active_.begin(), Active_.end(), worker), Active_.end());
  }
  {
    std::lock_guard lock(EndMutex_);
    ++Ends_;
  }
  EndSignal_.notify_all();
  WorkerGone();
}

void TFormHTTPClient::WorkerGone() {
  std::lock_guard lock(Lock_);
  if (Destroying_ || Ui_.Terminating()) return;
  const int32_t total = TotalCount();
  const int32_t active = static_cast<int32_t>(Active_.size());
  RefreshDisplay(total, active);
  if (total == 0 && active == 0) Closing_ = false;
  if (OnStatusChange) OnStatusChange(*this);
  // Clean-ups that ran while every worker still counted itself may all have started nothing:
  // when the last worker has gone and requests wait, the next one starts here.
  if (active == 0 && !Suspended_ && !Closing_ && MaxThreads_ > 0) StartNext();
}

void TFormHTTPClient::RowChanged(const TRequestData* request) {
  const int row = IndexOf(request);
  if (row >= 0) Notify([&](TRequestListObserver* o) { o->RowChanged(row); });
}

void TFormHTTPClient::DestroyRequest(TRequestData* request) {
  const int row = IndexOf(request);
  if (row < 0) return;
  if (request->Worker) request->Worker->Request = nullptr;
  Notify([&](TRequestListObserver* o) { o->RowAboutToBeRemoved(row); });
  Queue_.erase(Queue_.begin() + row);
  Notify([&](TRequestListObserver* o) { o->RowRemoved(row); });
}

void TFormHTTPClient::TerminateAll() {
  KelAssert(Ui_.IsUiThread(), "TerminateAll runs on the user-interface thread");
  Closing_ = true;
  // The crawl ends here: the next one starts with every limit in force.
  for (size_t k = 0; k < 2; ++k) Holding_[k] = Lifted_[k] = false;
  SuspendRequests();
  {
    std::lock_guard lock(Lock_);
    for (TPrivateThread* w : Active_) {
      // Terminated first: a worker that has not yet published its client sees the flag.
      w->Terminated = true;
      w->CloseClient();
    }
  }
  // Keep serving the workers' hand-overs until they have all left the active list. A worker
  // whose hand-over is running below this call (TerminateAll called from a callback) cannot
  // finish before it returns; it is left to finish afterwards.
  for (;;) {
    Ui_.ProcessMessages();
    uint64_t seen;
    {
      std::lock_guard lock(EndMutex_);
      seen = Ends_;
    }
    {
      // Done when every worker has gone, but for those whose hand-over runs below this call.
      std::lock_guard lock(Lock_);
      const bool allBelow =
          std::all_of(Active_.begin(), Active_.end(), [](const TPrivateThread* w) { return w->InHandOver_; });
      if (allBelow) break;
    }
    std::unique_lock lock(EndMutex_);
    EndSignal_.wait_for(lock, std::chrono::milliseconds(2), [&] { return Ends_ != seen; });
  }
  // Destroy every remaining request, except those of workers still running below this call.
  Notify([](TRequestListObserver* o) { o->ListAboutToReset(); });
  {
    std::lock_guard lock(Lock_);
    std::deque<std::unique_ptr<TRequestData>> kept;
    for (auto& request : Queue_) {
      const bool running =
          request->Worker && std::find(Active_.begin(), Active_.end(), request->Worker) != Active_.end();
      if (running) kept.push_back(std::move(request));
    }
    Queue_ = std::move(kept);
  }
  Notify([](TRequestListObserver* o) { o->ListReset(); });
  ProcessQueue();
}

void TFormHTTPClient::Surface(const std::string& message) {
  // A new error of its own: the worker's exception object stays on the worker.
  Ui_.Post([message] { throw EAssertionFailed(message); });
}

void TFormHTTPClient::ButtonSuspendClick() {
  if (Suspended_) ResumeRequests();
  else SuspendRequests();
}

void TFormHTTPClient::ButtonTerminateClick() {
  if (Prompter_ && Prompter_->AskYesNo(kTerminateQuestion)) TerminateAll();
}
