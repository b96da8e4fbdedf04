// The recovery file of a running crawl: the project as it stands, rewritten now and then while
// the crawl runs, so that a crash or a closed laptop does not lose the crawl. It lies beside the
// project ("site.tly" -> "site.recovery.tly"), or in the user's data folder for a crawl never
// saved ("untitled.recovery.tly"). A note in the data folder ("Recovery.ini") names the file,
// its project, the crawl's address and the time of the last write, so that the next start can
// offer it. Saving the project or a normal exit removes both.
#pragma once

#include <ctime>
#include <functional>
#include <optional>
#include <string>

class TSiteMap;

class TCrawlRecovery {
 public:
  // At most one write in this many seconds.
  static constexpr int kIntervalSeconds = 5 * 60;
  using TClock = std::function<std::time_t()>;

  // `folder`: the user's data folder for this program (created when needed). `clock`: the time
  // now (none: the system's). `intervalSeconds`: the least time between two writes.
  explicit TCrawlRecovery(std::string folder, TClock clock = nullptr, int intervalSeconds = kIntervalSeconds);

  // The recovery file of the project `projectFile` ("" or "untitled.tly": none saved yet).
  std::string FileFor(const std::string& projectFile) const;
  // The note that names the recovery file.
  std::string NoteFile() const { return Folder_ + "/Recovery.ini"; }

  // The crawl of `address` made progress: the first call starts the interval, and once it has
  // passed (or nine times as long as the last write took, when that is longer: a large map's
  // writes take at most a tenth of the crawl's time) the map is written to the recovery file (a temporary file renamed over it) and the
  // note updated. Returns true when it wrote. A write that fails is tried again at the next call
  // (the crawl goes on).
  bool Progress(const TSiteMap& map, const std::string& projectFile, const std::string& address);
  // Removes the recovery file and its note, and starts a new interval with the next Progress.
  void Remove();

  // A recovery file that a run of the program left behind (it did not end normally).
  struct TLeftover {
    std::string File;         // the recovery file
    std::string ProjectFile;  // its project, "" when it was never saved
    std::string Address;      // the crawl's address
    std::time_t Time = 0;     // when it was written
  };
  // The leftover named by the note, when its file is still there.
  std::optional<TLeftover> Leftover() const;
  // "A crawl of ADDRESS was interrupted at TIME. Reopen it?"
  static std::string Question(const TLeftover& leftover);

 private:
  std::time_t Now() const;
  std::string Folder_;
  TClock Clock_;
  int Interval_;
  bool Started_ = false;
  std::time_t Since_ = 0;
  std::time_t Wait_ = 0;  // the time from one write to the next
  std::string Written_;  // the recovery file written last
};
