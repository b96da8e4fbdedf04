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

TCrawlRecovery::TCrawlRecovery(std::string folder, TClock clock, int intervalSeconds)
    : Folder_(std::move(folder)), Clock_(std::move(clock)), Interval_(intervalSeconds) {}

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
  const std::time_t now = Now();
  if (!Started_) {
    Started_ = true;
    Since_ = now;
    Wait_ = Interval_;
    return false;
  }
  if (now - Since_ < Wait_) return false;
  Since_ = now;
  try {
    std::error_code ec;
    std::filesystem::create_directories(Folder_, ec);
    const std::string file = FileFor(projectFile);
    SaveProjectFile(map, file);
    // The project was saved under another name since the last write: its old file goes.
    if (!Written_.empty() && Written_ != file) std::filesystem::remove(Written_, ec);
    Written_ = file;
    std::string note = std::string("[") + kSection + "]\n";
    note += "File=" + file + "\n";
    note += "Project=" + (projectFile == kUntitledProject ? std::string() : projectFile) + "\n";
    note += "Address=" + address + "\n";
    note += "Time=" + std::to_string(static_cast<long long>(now)) + "\n";
    const bool noted = WriteFileReplacing(NoteFile(), note, true);
    Wait_ = std::max<std::time_t>(Interval_, 9 * (Now() - now));
    return noted;
  } catch (const EError&) {
    return false;  // a full disk or a folder gone: the crawl goes on, the next call tries again
  }
}

void TCrawlRecovery::Remove() {
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
