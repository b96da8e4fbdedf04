// What the logic needs of the window system and the operating system. The desktop program
// implements these with Qt; platform/Headless.h implements them for tests and tessaly-crawl.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace platform {

class TransferWindow;  // platform/TransferWindow.h

// The thread that owns the model. Workers hand work to it and wait.
class UiThread {
 public:
  virtual ~UiThread() = default;
  // Called on a worker: runs `work` on the user-interface thread and returns when it is done.
  // Called on the user-interface thread itself, it runs `work` at once.
  virtual void Synchronize(std::function<void()> work) = 0;
  // Called on any thread: queues `work` for the user-interface thread without waiting for it.
  // Queued work runs in the order it was queued, hand-overs of Synchronize included.
  virtual void Post(std::function<void()> work) = 0;
  // Called on the user-interface thread: serves pending hand-overs (and window events).
  virtual void ProcessMessages() = 0;
  // The application is shutting down.
  virtual bool Terminating() const = 0;
  // Is the calling thread the user-interface thread?
  virtual bool IsUiThread() const = 0;
};

enum class Answer { Yes, No, Cancel };

// What a person answered when a site asked for a login.
struct Login {
  std::string Username, Password;
  bool Remember = false;  // keep it for the site: in the keyring, else until the program ends
};

// Every question and message the logic puts to a person. Texts may hold "\r" as line breaks.
class Prompter {
 public:
  virtual ~Prompter() = default;
  virtual bool AskYesNo(const std::string& text) = 0;          // question, Yes and No
  virtual Answer AskYesNoCancel(const std::string& text) = 0;  // question, Yes, No and Cancel
  virtual void Notice(const std::string& text) = 0;            // warning with OK
  virtual void Inform(const std::string& text) = 0;            // information with OK
  virtual void ShowError(const std::string& text) = 0;         // an error raised by a command
  // File dialogs; a filter is "Description|pattern|" pairs. None when the user cancels.
  virtual std::optional<std::string> PromptOpenFile(const std::string& name, const std::string& filter,
                                                    const std::string& defaultExt) = 0;
  virtual std::optional<std::string> PromptSaveFile(const std::string& name, const std::string& filter,
                                                    const std::string& defaultExt) = 0;
  // A folder, returned with a trailing "/".
  virtual std::optional<std::string> PromptFolder(const std::string& start) = 0;
  // The file-name dialog: `title` as caption, `name` to edit.
  virtual std::optional<std::string> AskFileName(const std::string& title, const std::string& name) = 0;
  // A user name and password for `site` (scheme, host and port), whose server names `realm`.
  // `keyring`: a remembered password goes to the desktop's keyring; without one it lasts until
  // the program ends, and the question says so. None: not answered (nobody to ask, by default).
  virtual std::optional<Login> AskLogin(const std::string& /*site*/, const std::string& /*realm*/, bool /*keyring*/) {
    return std::nullopt;
  }
};

// The desktop's keyring: secrets kept by the desktop, never in the program's own files.
class Keyring {
 public:
  virtual ~Keyring() = default;
  virtual bool Available() = 0;  // a keyring service answers
  virtual std::optional<std::string> Read(const std::string& key) = 0;
  virtual bool Write(const std::string& key, const std::string& secret) = 0;
};

// The program's one external web-browser window.
class Browser {
 public:
  virtual ~Browser() = default;
  // Shows a file path or an address; false when no browser could be started.
  virtual bool Show(const std::string& target) = 0;
};

// The embedded preview browser of the main window.
class Preview {
 public:
  virtual ~Preview() = default;
  virtual void Navigate(const std::string& target) = 0;  // a file path or an address
  virtual void ShowPanel() = 0;                          // make the preview panel visible
  virtual void Clear() = 0;                              // show an empty page
};

// Starting other programs.
class Launcher {
 public:
  virtual ~Launcher() = default;
  virtual bool OpenWith(const std::string& program, const std::string& file) = 0;  // an external tool
  virtual bool EditDocument(const std::string& file) = 0;                          // the desktop's "edit" action
};

// The network as the operating system reports it.
class Network {
 public:
  virtual ~Network() = default;
  // A working connection: some network interface other than loopback is up.
  virtual bool IsConnected() = 0;
  // The system proxy as a proxy-list text ("proxy:8080" or "http=p1:80 ftp=p2:21"), and its credentials.
  virtual std::string ProxyList() = 0;
  virtual std::string ProxyUsername() = 0;
  virtual std::string ProxyPassword() = 0;
  // The hosts the system reaches without its proxy, as a no_proxy list ("localhost,.intra"); none
  // by default.
  virtual std::string NoProxyList() { return std::string(); }
};

// Folders, each without a trailing "/".
class Paths {
 public:
  virtual ~Paths() = default;
  virtual std::string AppFolder() = 0;       // the folder that holds the program and its shipped files
  virtual std::string UserDataFolder() = 0;  // $XDG_DATA_HOME, else ~/.local/share
  virtual std::string ConfigFolder() = 0;    // $XDG_CONFIG_HOME, else ~/.config
  virtual std::string CacheFolder() = 0;     // $XDG_CACHE_HOME, else ~/.cache
  // Whether the settings and recent addresses may be kept beside the shipped files (when that
  // folder is writable): true for a copy of the program kept together with its files, false for
  // an installed program, whose data folder is the system's.
  virtual bool UserFilesBesideProgram() { return true; }
};

// The progress runner's window as the job sees it.
class ProgressWindow {
 public:
  virtual ~ProgressWindow() = default;
  virtual void SetMessage(const std::string& text) = 0;
  virtual void SetRange(int max) = 0;
  virtual void SetPosition(int position, const std::string& percentText) = 0;
  // Shows the window modally and calls `job` once it is on screen; returns when the job has returned.
  virtual void RunModal(const std::function<void()>& job) = 0;
};

// Everything above, as one bundle handed to the logic. Members may be null where unused.
struct Services {
  UiThread* Ui = nullptr;
  Prompter* Ask = nullptr;
  Browser* Web = nullptr;
  Preview* View = nullptr;
  Launcher* Programs = nullptr;
  Network* Net = nullptr;
  Paths* Dirs = nullptr;
  ProgressWindow* Progress = nullptr;
  TransferWindow* Transfer = nullptr;  // the modal window of downloads
  Keyring* Keys = nullptr;             // remembered site passwords
};

}  // namespace platform
