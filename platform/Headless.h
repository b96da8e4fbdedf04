// The platform without a window system: for tests and tessaly-crawl.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <iosfwd>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/Platform.h"

namespace platform {

// The thread that creates it is the user-interface thread. Workers queue their hand-overs
// and wait; the user-interface thread serves them in ProcessMessages / WaitAndProcess.
class HeadlessUiThread : public UiThread {
 public:
  HeadlessUiThread();
  void Synchronize(std::function<void()> work) override;
  // Serves the queue in order. An error of a hand-over goes back to the worker that waits for
  // it; an error of posted work is raised out of ProcessMessages (the rest stays queued).
  void ProcessMessages() override;
  bool Terminating() const override;
  bool IsUiThread() const override;

  // Waits until a hand-over arrives (or `timeout` passes), then serves what is queued.
  void WaitAndProcess(std::chrono::milliseconds timeout = std::chrono::milliseconds(20));
  void Post(std::function<void()> work) override;
  // Serves hand-overs until `done()` holds or `timeout` passes; returns whether `done()` held.
  bool ProcessUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(30));
  void SetTerminating(bool value);
  // Work queued and not yet served.
  size_t Pending() const;

 private:
  struct Item {
    std::function<void()> Work;
    bool Waited = false;
    // Each waiting worker sleeps on its own item only, without spinning.
    std::mutex DoneMutex;
    std::condition_variable DoneSignal;
    bool Done = false;
    std::exception_ptr Error;
  };
  std::thread::id Owner_;
  mutable std::mutex Mutex_;
  std::condition_variable Arrived_;
  std::deque<std::shared_ptr<Item>> Queue_;
  bool Terminating_ = false;
};

// Answers questions from a script. Tests queue the answers they expect to be asked; an
// unscripted question gets the safe default (No, Cancel, no file) and, when Strict is set,
// is recorded in Unexpected. Notices and errors are printed to Echo when it is set.
class HeadlessPrompter : public Prompter {
 public:
  struct Asked {
    std::string Kind;    // "YesNo", "YesNoCancel", "Notice", "Inform", "Error", "Open", "Save", "Folder", "FileName"
    std::string Text;    // the question, message, file name or title
    std::string Detail;  // the filter of a file dialog, the proposed name of the file-name dialog
  };
  // One scripted reply: an answer to a question, or the result of a file or name dialog.
  struct Reply {
    bool IsFile = false;
    Answer Choice = Answer::No;
    std::optional<std::string> File;
  };

  void QueueAnswer(Answer answer) { Script.push_back(Reply{false, answer, std::nullopt}); }
  void QueueFile(std::optional<std::string> path) { Script.push_back(Reply{true, Answer::No, std::move(path)}); }

  bool AskYesNo(const std::string& text) override;
  Answer AskYesNoCancel(const std::string& text) override;
  void Notice(const std::string& text) override;
  void Inform(const std::string& text) override;
  void ShowError(const std::string& text) override;
  std::optional<std::string> PromptOpenFile(const std::string& name, const std::string& filter,
                                            const std::string& defaultExt) override;
  std::optional<std::string> PromptSaveFile(const std::string& name, const std::string& filter,
                                            const std::string& defaultExt) override;
  std::optional<std::string> PromptFolder(const std::string& start) override;
  std::optional<std::string> AskFileName(const std::string& title, const std::string& name) override;
  // Logged as "Login" (the site as text, the realm as detail) and answered from Logins; an
  // unscripted question is no fault: it goes unanswered, as on a terminal.
  std::optional<Login> AskLogin(const std::string& site, const std::string& realm, bool keyring) override;
  std::deque<std::optional<Login>> Logins;
  std::vector<bool> LoginKeyrings;  // each question's `keyring`

  // The kinds asked so far, of a kind ("Notice"), in order.
  std::vector<std::string> TextsOf(const std::string& kind) const;

  std::deque<Reply> Script;
  std::vector<Asked> Log;
  std::vector<std::string> Unexpected;
  bool Strict = true;
  std::ostream* Echo = nullptr;

 private:
  Answer NextAnswer(const std::string& kind, const std::string& text, Answer fallback);
  std::optional<std::string> NextFile(const std::string& kind, const std::string& text, const std::string& detail);
  void Message(const std::string& kind, const std::string& text);
  mutable std::mutex Mutex_;
};

// Remembers what it was asked to show.
class HeadlessBrowser : public Browser {
 public:
  bool Show(const std::string& target) override {
    Shown.push_back(target);
    return Available;
  }
  std::vector<std::string> Shown;
  bool Available = true;  // false: as on a desktop without a browser
};

// Remembers where it was asked to navigate.
class HeadlessPreview : public Preview {
 public:
  void Navigate(const std::string& target) override { Targets.push_back(target); }
  void ShowPanel() override { PanelShown = true; }
  void Clear() override { ++Cleared; }
  std::vector<std::string> Targets;
  int Cleared = 0;
  bool PanelShown = false;
};

// Remembers what it was asked to start; starts nothing.
class HeadlessLauncher : public Launcher {
 public:
  bool OpenWith(const std::string& program, const std::string& file) override;
  bool EditDocument(const std::string& file) override;
  std::vector<std::pair<std::string, std::string>> Started;  // (program or "edit", file)
  bool Succeed = true;
};

// A network whose state the caller sets.
class FixedNetwork : public Network {
 public:
  bool IsConnected() override { return Connected; }
  std::string ProxyList() override { return List; }
  std::string ProxyUsername() override { return Username; }
  std::string ProxyPassword() override { return Password; }
  std::string NoProxyList() override { return NoProxy; }
  bool Connected = false;
  std::string List, Username, Password, NoProxy;
};

// Fixed folders, for tests.
class FixedPaths : public Paths {
 public:
  explicit FixedPaths(std::string root);
  std::string AppFolder() override { return App; }
  std::string UserDataFolder() override { return Data; }
  std::string ConfigFolder() override { return Config; }
  std::string CacheFolder() override { return Cache; }
  bool UserFilesBesideProgram() override { return BesideProgram; }
  std::string App, Data, Config, Cache;
  bool BesideProgram = true;  // false: an installed program
};

// Runs the job at once; remembers the messages and positions it was shown.
// A keyring held in memory, present or not.
class HeadlessKeyring : public Keyring {
 public:
  bool Available() override { return Present; }
  std::optional<std::string> Read(const std::string& key) override;
  bool Write(const std::string& key, const std::string& secret) override;
  bool Present = true;
  std::map<std::string, std::string> Secrets;
};

class HeadlessProgressWindow : public ProgressWindow {
 public:
  void SetMessage(const std::string& text) override { Messages.push_back(text); }
  void SetRange(int max) override { Max = max; }
  void SetPosition(int position, const std::string& percentText) override {
    Position = position;
    PercentText = percentText;
  }
  void RunModal(const std::function<void()>& job) override { job(); }
  std::vector<std::string> Messages;
  int Max = 100, Position = 0;
  std::string PercentText;
};

}  // namespace platform
