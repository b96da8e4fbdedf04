#include "Kel/KelFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <unordered_set>

#include "Kel/KelError.h"
#include "Kel/KelStr.h"

namespace {

[[noreturn]] void CannotCreate(const std::string& fileName, int error) {
  throw EError(Format("Cannot create file \"%s\". %s", fileName.c_str(), std::strerror(error)));
}

bool WriteAll(int fd, std::string_view content) {
  const char* p = content.data();
  size_t left = content.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

// Six characters of letters and digits, different for every call in this process and unlikely
// to meet another process's.
std::string TempSuffix() {
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  static std::atomic<uint64_t> counter{0};
  timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  uint64_t x = (static_cast<uint64_t>(::getpid()) << 32) ^ static_cast<uint64_t>(now.tv_nsec) ^
               (static_cast<uint64_t>(now.tv_sec) << 20) ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdull;
  x ^= x >> 33;
  std::string r(6, 'x');
  for (char& c : r) {
    c = kChars[x % 62];
    x /= 62;
  }
  return r;
}

// Stale temporary files are looked for once per folder and run: a folder that receives many
// files (a copied site) is not read again for each of them.
void SweepOnce(const std::string& folder) {
  static std::mutex lock;
  static std::unordered_set<std::string> swept;
  {
    std::lock_guard<std::mutex> hold(lock);
    if (!swept.insert(folder).second) return;
  }
  RemoveStaleTempFiles(folder);
}

}  // namespace

TFileReplacement::TFileReplacement(std::string fileName, bool ownerOnly)
    : FileName_(std::move(fileName)), OwnerOnly_(ownerOnly) {
  namespace fs = std::filesystem;
  fs::path target(FileName_);
  // Writing through a link replaces the file it points to, not the link.
  std::error_code ec;
  if (fs::is_symlink(fs::symlink_status(target, ec))) {
    target = fs::weakly_canonical(target, ec);
    if (ec) CannotCreate(FileName_, ec.value());
  }
  Target_ = target.string();

  struct stat old {};
  Existed_ = ::stat(Target_.c_str(), &old) == 0;
  if (Existed_ && S_ISDIR(old.st_mode)) CannotCreate(FileName_, EISDIR);
  // A FIFO, a device or a socket is never replaced by a file.
  if (Existed_ && !S_ISREG(old.st_mode))
    throw EError(Format("Cannot create file \"%s\". Not a regular file", FileName_.c_str()));
  // Renaming over a file would replace it even when the file itself is read-only.
  if (Existed_ && ::access(Target_.c_str(), W_OK) != 0) CannotCreate(FileName_, errno);
  if (Existed_ && (old.st_mode & 0222) == 0) CannotCreate(FileName_, EACCES);
  Mode_ = old.st_mode & 07777;

  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  SweepOnce(folder.string());
  // A short name of its own, whatever the target's length: the prefix and six characters
  // chosen as mkstemp does, created exclusively with the usual mode (the umask applies).
  for (int attempt = 0; attempt < 100 && Fd_ < 0; ++attempt) {
    Temp_ = (folder / (std::string(kTempFilePrefix) + TempSuffix())).string();
    Fd_ = ::open(Temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, ownerOnly ? 0600 : 0666);
    if (Fd_ < 0 && errno != EEXIST) {
      Temp_.clear();
      CannotCreate(FileName_, errno);
    }
  }
  if (Fd_ < 0) {
    Temp_.clear();
    CannotCreate(FileName_, EEXIST);
  }
}

TFileReplacement::~TFileReplacement() { Abandon(); }

void TFileReplacement::Write(const char* data, size_t size) {
  KelAssert(Fd_ >= 0, "the replacement file is closed");
  if (!WriteAll(Fd_, std::string_view(data, size)))
    throw EError(Format("Cannot write file \"%s\". %s", FileName_.c_str(), std::strerror(errno)));
}

void TFileReplacement::Commit() {
  KelAssert(Fd_ >= 0, "nothing to commit");
  int error = 0;
  // A replaced file keeps its permissions; a file with a secret is readable by its owner only.
  if (OwnerOnly_ && ::fchmod(Fd_, 0600) != 0) error = errno;
  if (!error && !OwnerOnly_ && Existed_ && ::fchmod(Fd_, Mode_) != 0) error = errno;
  if (::close(Fd_) != 0 && !error) error = errno;
  Fd_ = -1;
  if (!error && ::rename(Temp_.c_str(), Target_.c_str()) != 0) error = errno;
  if (error) {
    Abandon();
    CannotCreate(FileName_, error);
  }
  Temp_.clear();
}

void TFileReplacement::Abandon() {
  if (Fd_ >= 0) ::close(Fd_);
  Fd_ = -1;
  if (!Temp_.empty()) ::unlink(Temp_.c_str());
  Temp_.clear();
}

void SaveTextToFile(const std::string& fileName, std::string_view content, bool ownerOnly) {
  TFileReplacement file(fileName, ownerOnly);
  try {
    file.Write(content.data(), content.size());
  } catch (const EError&) {
    CannotCreate(fileName, errno);
  }
  file.Commit();
}

void TFileWriter::Write(std::string_view bytes) {
  constexpr size_t kBufferSize = 1 << 16;
  if (Buffer_.size() + bytes.size() > kBufferSize) Flush();
  if (bytes.size() >= kBufferSize) File_.Write(bytes.data(), bytes.size());
  else Buffer_.append(bytes);
}

void TFileWriter::Flush() {
  if (Buffer_.empty()) return;
  File_.Write(Buffer_.data(), Buffer_.size());
  Buffer_.clear();
}

const char* const kTempFilePrefix = ".tessaly-";

int OpenRegularFile(const std::string& fileName, struct stat& info, int& error) {
  // O_NONBLOCK: opening a FIFO without a writer would otherwise wait for one.
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = errno;
    return -1;
  }
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    error = S_ISREG(info.st_mode) ? errno : 0;
    ::close(fd);
    return -1;
  }
  // Reads of a regular file never wait; the flag goes so that reads behave as usual.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  error = 0;
  return fd;
}

std::string CannotOpenMessage(const std::string& fileName, int error) {
  return Format("Cannot open file \"%s\". %s", fileName.c_str(), error ? std::strerror(error) : "Not a regular file");
}

int RemoveStaleTempFiles(const std::string& folder, int64_t maxAgeSeconds) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return 0;
  const size_t prefixLength = std::strlen(kTempFilePrefix);
  const time_t now = ::time(nullptr);
  int removed = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name(entry->d_name);
    // Exactly the names mkstemp gives: the prefix and six characters.
    if (name.size() != prefixLength + 6 || name.substr(0, prefixLength) != kTempFilePrefix) continue;
    struct stat info {};
    if (::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    // Only this user's own regular files, untouched for the whole age: a running writer keeps
    // its file younger than that.
    if (!S_ISREG(info.st_mode) || info.st_uid != ::getuid()) continue;
    if (now - info.st_mtim.tv_sec <= maxAgeSeconds) continue;
    if (::unlinkat(::dirfd(dir), entry->d_name, 0) == 0) ++removed;
  }
  ::closedir(dir);
  return removed;
}

std::string LoadTextFromFile(const std::string& fileName, size_t maxBytes) {
  struct stat info {};
  int error = 0;
  const int fd = OpenRegularFile(fileName, info, error);
  if (fd < 0) throw EError(CannotOpenMessage(fileName, error));
  struct Closer {
    int Fd;
    ~Closer() { ::close(Fd); }
  } closer{fd};
  std::string text;
  if (info.st_size > 0) text.reserve(std::min(static_cast<size_t>(info.st_size), maxBytes));
  char chunk[1 << 16];
  while (text.size() < maxBytes) {
    const ssize_t n = ::read(fd, chunk, std::min(sizeof chunk, maxBytes - text.size()));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw EError(Format("Cannot read file \"%s\". %s", fileName.c_str(), std::strerror(errno)));
    }
    if (n == 0) break;
    text.append(chunk, static_cast<size_t>(n));
  }
  return text;
}

bool TrySaveTextToFile(const std::string& fileName, std::string_view content, bool ownerOnly) {
  try {
    SaveTextToFile(fileName, content, ownerOnly);
    return true;
  } catch (const EError&) {
    return false;
  }
}
