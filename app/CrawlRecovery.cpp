#include "app/CrawlRecovery.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "Kel/KelDateTime.h"
#include "Kel/KelError.h"
#include "Kel/KelFiles.h"
#include "Kel/KelIni.h"
#include "Kel/KelStr.h"
#include "Kel/KelTranslate.h"
#include "app/ProjectFile.h"

namespace {

constexpr const char* kSection = "Recovery";

}  // namespace

TCrawlRecovery::TCrawlRecovery(std::string folder, TClock clock, int intervalSeconds, TWorkClock workClock)
    : Folder_(std::move(folder)), Clock_(std::move(clock)), Interval_(intervalSeconds), WorkClock_(std::move(workClock)) {}

TCrawlRecovery::~TCrawlRecovery() = default;

std::time_t TCrawlRecovery::Now() const { return Clock_ ? Clock_() : std::time(nullptr); }

std::string TCrawlRecovery::FileFor(const std::string& projectFile) const {
  namespace fs = std::filesystem;
  if (projectFile.empty() || projectFile == kUntitledProject) return Folder_ + "/untitled.recovery.tly";
  fs::path path(projectFile);
  std::error_code ec;
  path = fs::absolute(path, ec);
  return (path.parent_path() / (path.stem().string() + ".recovery.tly")).string();
}

bool TCrawlRecovery::Progress(const TSiteMap& map, const std::string& projectFile, const std::string& address) {
  if (Writer_) {
    // The project got another name, or the map was cleared: this write is of no use.
    if (&Writer_->Map() == &map && Writer_->Current() && Writer_->Path() == FileFor(projectFile))
      return Continue(Slice);
    Writer_.reset();
  }
  const std::time_t now = Now();
  if (!Started_) {
    Started_ = true;
    Since_ = now;
    Wait_ = Interval_;
    return false;
  }
  if (now - Since_ < Wait_) return false;
  Since_ = now;
  const auto began = WorkNow();
  try {
    std::error_code ec;
    std::filesystem::create_directories(Folder_, ec);
    Writer_ = std::make_unique<TProjectFileWriter>(map, FileFor(projectFile));
  } catch (const EError&) {
    return false;  // a full disk or a folder gone: the crawl goes on, the next call tries again
  }
  WritingProject_ = projectFile;
  WritingAddress_ = address;
  WritingSince_ = now;
  WritingWork_ = WorkNow() - began;
  return Continue(Slice);
}

bool TCrawlRecovery::Finish(const TSiteMap& map) {
  if (!Writer_) return false;
  if (&Writer_->Map() != &map || !Writer_->Current()) {
    Writer_.reset();
    return false;
  }
  return Continue(std::chrono::steady_clock::duration::zero());
}

std::chrono::steady_clock::duration TCrawlRecovery::WorkNow() const {
  return WorkClock_ ? WorkClock_() : std::chrono::steady_clock::now().time_since_epoch();
}

bool TCrawlRecovery::Continue(std::chrono::steady_clock::duration budget) {
  const auto began = WorkNow();
  try {
    const bool done = Writer_->Step(budget);
    WritingWork_ += WorkNow() - began;
    if (!done) return false;
    const std::string file = Writer_->Path();
    Writer_.reset();
    std::error_code ec;
    // The project was saved under another name since the last write: its old file goes.
    if (!Written_.empty() && Written_ != file) std::filesystem::remove(Written_, ec);
    Written_ = file;
    std::string note = std::string("[") + kSection + "]\n";
    note += "File=" + file + "\n";
    note += "Project=" + (WritingProject_ == kUntitledProject ? std::string() : WritingProject_) + "\n";
    note += "Address=" + WritingAddress_ + "\n";
    note += "Time=" + std::to_string(static_cast<long long>(WritingSince_)) + "\n";
    const bool noted = WriteFileReplacing(NoteFile(), note, true);
    const auto work = std::chrono::duration_cast<std::chrono::seconds>(WritingWork_).count();
    Wait_ = std::max<std::time_t>(Interval_, 9 * static_cast<std::time_t>(work));
    return noted;
  } catch (const EError&) {
    Writer_.reset();
    return false;  // a full disk or a folder gone: the crawl goes on, the next call tries again
  }
}

void TCrawlRecovery::Remove() {
  Writer_.reset();
  std::error_code ec;
  if (const auto leftover = Leftover()) std::filesystem::remove(leftover->File, ec);
  if (!Written_.empty()) std::filesystem::remove(Written_, ec);
  std::filesystem::remove(NoteFile(), ec);
  Written_.clear();
  Started_ = false;
}

std::optional<TCrawlRecovery::TLeftover> TCrawlRecovery::Leftover() const {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(NoteFile(), ec)) return std::nullopt;
  TIniText note;
  try {
    note.Parse(LoadTextFromFile(NoteFile(), 64 * 1024));
  } catch (const EError&) {
    return std::nullopt;
  }
  TLeftover leftover;
  leftover.File = note.ReadString(kSection, "File");
  leftover.ProjectFile = note.ReadString(kSection, "Project");
  leftover.Address = note.ReadString(kSection, "Address");
  leftover.Time = static_cast<std::time_t>(std::strtoll(note.ReadString(kSection, "Time").c_str(), nullptr, 10));
  if (leftover.File.empty() || !std::filesystem::is_regular_file(leftover.File, ec)) return std::nullopt;
  return leftover;
}

std::string TCrawlRecovery::Question(const TLeftover& leftover) {
  return FormatText("A crawl of %s was interrupted at %s. Reopen it?", leftover.Address.c_str(),
                    DateTimeToStr(UnixToLocalDateTime(leftover.Time)).c_str());
}
