// The recovery file of a running crawl: the project as it stands, rewritten now and then while
// the crawl runs, so that a crash or a closed laptop does not lose the crawl. It lies beside the
// project ("site.tly" -> "site.recovery.tly"), or in the user's data folder for a crawl never
// saved ("untitled.recovery.tly"). A note in the data folder ("Recovery.ini") names the file,
// its project, the crawl's address and the time of the last write, so that the next start can
// offer it. Saving the project or a normal exit removes both.
#pragma once

#include <chrono>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class TSiteMap;

class TProjectFileWriter;

class TCrawlRecovery {
 public:
  // At most one write in this many seconds.
  static constexpr int kIntervalSeconds = 5 * 60;
  // The work of one Progress call while a write is under way: the user-interface thread that
  // runs it is never held up for long, however large the map.
  static constexpr std::chrono::milliseconds kSlice{20};
  using TClock = std::function<std::time_t()>;
  // The time spent writing, for the rule below (none: the steady clock's).
  using TWorkClock = std::function<std::chrono::steady_clock::duration()>;

  // `folder`: the user's data folder for this program (created when needed). `clock`: the time
  // now (none: the system's). `intervalSeconds`: the least time between two writes.
  explicit TCrawlRecovery(std::string folder, TClock clock = nullptr, int intervalSeconds = kIntervalSeconds,
                          TWorkClock workClock = nullptr);
  ~TCrawlRecovery();

  // The recovery file of the project `projectFile` ("" or "untitled.tly": none saved yet).
  std::string FileFor(const std::string& projectFile) const;
  // The note that names the recovery file.
  std::string NoteFile() const { return Folder_ + "/Recovery.ini"; }

  // The crawl of `address` made progress: the first call starts the interval; once it has
  // passed (or nine times as long as the last write's work, when that is longer: a large map's
  // writes take at most a tenth of the crawl's time) a write of the map to the recovery file
  // begins. A write goes a slice (kSlice) per call, through a temporary file renamed over the
  // recovery file with the last slice, when the note is updated. Returns true when a write
  // completed. A write that fails, or whose map was cleared, is dropped and tried again at the
  // next call (the crawl goes on).
  bool Progress(const TSiteMap& map, const std::string& projectFile, const std::string& address);
  // The crawl ended: a write under way is completed now, so that the file has the crawl as it
  // was when the write began. Returns true when it completed one.
  bool Finish(const TSiteMap& map);
  // A write is under way.
  bool Writing() const { return Writer_ != nullptr; }
  // The work of one Progress call while a write is under way.
  std::chrono::steady_clock::duration Slice = kSlice;
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
  std::chrono::steady_clock::duration WorkNow() const;
  std::string Folder_;
  TClock Clock_;
  int Interval_;
  bool Started_ = false;
  std::time_t Since_ = 0;
  std::time_t Wait_ = 0;  // the time from one write to the next
  std::string Written_;  // the recovery file written last
  TWorkClock WorkClock_;
  // The write under way, with what its note will say once the file is complete.
  std::unique_ptr<TProjectFileWriter> Writer_;
  std::string WritingProject_, WritingAddress_;
  std::time_t WritingSince_ = 0;
  std::chrono::steady_clock::duration WritingWork_{};
  // Runs the next slice of the write under way; on its completion, updates the note.
  bool Continue(std::chrono::steady_clock::duration budget);
};
