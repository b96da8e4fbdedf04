#include "platform/Headless.h"

#include <ostream>

namespace platform {

HeadlessUiThread::HeadlessUiThread() : Owner_(std::this_thread::get_id()) {}

bool HeadlessUiThread::IsUiThread() const { return std::this_thread::get_id() == Owner_; }

void HeadlessUiThread::Synchronize(std::function<void()> work) {
  if (IsUiThread()) {
    work();
    return;
  }
  auto item = std::make_shared<Item>();
  item->Work = std::move(work);
  item->Waited = true;
  {
    std::lock_guard lock(Mutex_);
    Queue_.push_back(item);
  }
  Arrived_.notify_one();
  std::exception_ptr error;
  {
    std::unique_lock lock(item->DoneMutex);
    item->DoneSignal.wait(lock, [&] { return item->Done; });
    // The error changes hands here, so the worker alone releases it: the user-interface
    // thread's last reference to the item then holds none.
    error = std::move(item->Error);
  }
  if (error) std::rethrow_exception(error);
}

void HeadlessUiThread::Post(std::function<void()> work) {
  auto item = std::make_shared<Item>();
  item->Work = std::move(work);
  {
    std::lock_guard lock(Mutex_);
    Queue_.push_back(item);
  }
  Arrived_.notify_one();
}

void HeadlessUiThread::ProcessMessages() {
  for (;;) {
    std::shared_ptr<Item> item;
    {
      std::lock_guard lock(Mutex_);
      if (Queue_.empty()) return;
      item = Queue_.front();
      Queue_.pop_front();
    }
    try {
      item->Work();
    } catch (...) {
      if (!item->Waited) throw;  // nobody waits for posted work: its error is the caller's
      item->Error = std::current_exception();
    }
    if (item->Waited) {
      {
        std::lock_guard lock(item->DoneMutex);
        item->Done = true;
      }
      item->DoneSignal.notify_one();
    }
  }
}

void HeadlessUiThread::WaitAndProcess(std::chrono::milliseconds timeout) {
  {
    std::unique_lock lock(Mutex_);
    Arrived_.wait_for(lock, timeout, [&] { return !Queue_.empty(); });
  }
  ProcessMessages();
}

bool HeadlessUiThread::ProcessUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    ProcessMessages();
    if (done()) return true;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    WaitAndProcess(std::min<std::chrono::milliseconds>(
        std::chrono::milliseconds(10), std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now)));
  }
}

size_t HeadlessUiThread::Pending() const {
  std::lock_guard lock(Mutex_);
  return Queue_.size();
}

bool HeadlessUiThread::Terminating() const {
  std::lock_guard lock(Mutex_);
  return Terminating_;
}

void HeadlessUiThread::SetTerminating(bool value) {
  std::lock_guard lock(Mutex_);
  Terminating_ = value;
}

Answer HeadlessPrompter::NextAnswer(const std::string& kind, const std::string& text, Answer fallback) {
  std::lock_guard lock(Mutex_);
  Log.push_back({kind, text, std::string()});
  if (!Script.empty() && !Script.front().IsFile) {
    const Answer a = Script.front().Choice;
    Script.pop_front();
    return a;
  }
  if (Strict) Unexpected.push_back(kind + ": " + text);
  if (Echo) *Echo << text << " (answered " << (fallback == Answer::Cancel ? "Cancel" : "No") << ")\n";
  return fallback;
}

std::optional<std::string> HeadlessPrompter::NextFile(const std::string& kind, const std::string& text,
                                                      const std::string& detail) {
  std::lock_guard lock(Mutex_);
  Log.push_back({kind, text, detail});
  if (!Script.empty() && Script.front().IsFile) {
    auto f = Script.front().File;
    Script.pop_front();
    return f;
  }
  if (Strict) Unexpected.push_back(kind + ": " + text);
  return std::nullopt;
}

void HeadlessPrompter::Message(const std::string& kind, const std::string& text) {
  std::lock_guard lock(Mutex_);
  Log.push_back({kind, text, std::string()});
  if (Echo) {
    std::string shown = text;
    for (char& c : shown)
      if (c == '\r') c = '\n';
    *Echo << shown << "\n";
  }
}

bool HeadlessPrompter::AskYesNo(const std::string& text) {
  return NextAnswer("YesNo", text, Answer::No) == Answer::Yes;
}
Answer HeadlessPrompter::AskYesNoCancel(const std::string& text) {
  return NextAnswer("YesNoCancel", text, Answer::Cancel);
}
void HeadlessPrompter::Notice(const std::string& text) { Message("Notice", text); }
void HeadlessPrompter::Inform(const std::string& text) { Message("Inform", text); }
void HeadlessPrompter::ShowError(const std::string& text) { Message("Error", text); }

std::optional<std::string> HeadlessPrompter::PromptOpenFile(const std::string& name, const std::string& filter,
                                                            const std::string&) {
  return NextFile("Open", name, filter);
}
std::optional<std::string> HeadlessPrompter::PromptSaveFile(const std::string& name, const std::string& filter,
                                                            const std::string&) {
  return NextFile("Save", name, filter);
}
std::optional<std::string> HeadlessPrompter::PromptFolder(const std::string& start) {
  return NextFile("Folder", start, std::string());
}
std::optional<std::string> HeadlessPrompter::AskFileName(const std::string& title, const std::string& name) {
  return NextFile("FileName", title, name);
}

std::optional<Login> HeadlessPrompter::AskLogin(const std::string& site, const std::string& realm, bool keyring) {
  std::lock_guard lock(Mutex_);
  Log.push_back({"Login", site, realm});
  LoginKeyrings.push_back(keyring);
  if (Logins.empty()) return std::nullopt;
  std::optional<Login> login = std::move(Logins.front());
  Logins.pop_front();
  return login;
}

std::optional<std::string> HeadlessKeyring::Read(const std::string& key) {
  if (!Present) return std::nullopt;
  const auto found = Secrets.find(key);
  return found == Secrets.end() ? std::nullopt : std::optional<std::string>(found->second);
}

bool HeadlessKeyring::Write(const std::string& key, const std::string& secret) {
  if (!Present) return false;
  Secrets[key] = secret;
  return true;
}

std::vector<std::string> HeadlessPrompter::TextsOf(const std::string& kind) const {
  std::lock_guard lock(Mutex_);
  std::vector<std::string> texts;
  for (const auto& a : Log)
    if (a.Kind == kind) texts.push_back(a.Text);
  return texts;
}

bool HeadlessLauncher::OpenWith(const std::string& program, const std::string& file) {
  Started.emplace_back(program, file);
  return Succeed;
}

bool HeadlessLauncher::EditDocument(const std::string& file) {
  Started.emplace_back("edit", file);
  return Succeed;
}

FixedPaths::FixedPaths(std::string root)
    : App(root + "/app"), Data(root + "/data"), Config(root + "/config"), Cache(root + "/cache") {}

}  // namespace platform
