#include "Kel/KelFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "Kel/KelError.h"
#include "Kel/KelStr.h"
#include "Kel/KelTranslate.h"

namespace {

[[noreturn]] void CannotCreate(const std::string& fileName, int error) {
  throw EError(FormatText("Cannot create file \"%s\". %s", fileName.c_str(), std::strerror(error)));
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
    throw EError(FormatText("Cannot create file \"%s\". Not a regular file", FileName_.c_str()));
  // Renaming over a file would replace it even when the file itself is read-only.
  if (Existed_ && ::access(Target_.c_str(), W_OK) != 0) CannotCreate(FileName_, errno);
  if (Existed_ && (old.st_mode & 0222) == 0) CannotCreate(FileName_, EACCES);
  Mode_ = old.st_mode & 07777;

  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100 && Fd_ < 0; ++attempt) {
    Temp_ =
        (folder / ("." + target.filename().string() + Format(".%d-%u.tmp", static_cast<int>(::getpid()), counter++)))
            .string();
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
    throw EError(FormatText("Cannot write file \"%s\". %s", FileName_.c_str(), std::strerror(errno)));
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

std::string LoadTextFromFile(const std::string& fileName) {
  // O_NONBLOCK: opening a FIFO without a writer would otherwise wait for one.
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throw EError(FormatText("Cannot open file \"%s\". %s", fileName.c_str(), std::strerror(errno)));
  struct Closer {
    int Fd;
    ~Closer() { ::close(Fd); }
  } closer{fd};
  struct stat info {};
  if (::fstat(fd, &info) != 0)
    throw EError(FormatText("Cannot open file \"%s\". %s", fileName.c_str(), std::strerror(errno)));
  if (!S_ISREG(info.st_mode)) throw EError(FormatText("Cannot open file \"%s\". Not a regular file", fileName.c_str()));
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  std::string text;
  if (info.st_size > 0) text.reserve(static_cast<size_t>(info.st_size));
  char chunk[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw EError(FormatText("Cannot read file \"%s\". %s", fileName.c_str(), std::strerror(errno)));
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
