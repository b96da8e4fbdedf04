#include "Kel/KelLocalFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "Kel/KelFiles.h"
#include "Kel/KelStr.h"

TLocalFile::TLocalFile(const std::string& path, int64_t maxSize) : Path_(path) {
  // The one opener: a named pipe cannot hold the caller; only regular files are read.
  struct stat st {};
  int error = 0;
  Fd_ = OpenRegularFile(path, st, error);
  if (Fd_ < 0 && error != 0)
    throw ELocalFile(ELocalFile::TFault::CannotOpen,
                     Format("Cannot open file \"%s\". %s", path.c_str(), std::strerror(error)));
  if (Fd_ < 0) throw ELocalFile(ELocalFile::TFault::NotAFile, Format("\"%s\" is not a file", path.c_str()));
  Size_ = st.st_size;
  WriteTime_ = st.st_mtim.tv_sec;
  if (maxSize >= 0 && Size_ > maxSize) {
    ::close(Fd_);
    Fd_ = -1;
    throw ELocalFile(ELocalFile::TFault::TooLarge, "File too large");
  }
}

TLocalFile::~TLocalFile() {
  if (Fd_ >= 0) ::close(Fd_);
}

TDateTime TLocalFile::DOSTime() const {
  const time_t t = static_cast<time_t>(WriteTime_);
  std::tm local{};
  if (!localtime_r(&t, &local)) return 0;
  return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
         EncodeTime(local.tm_hour, local.tm_min, local.tm_sec & ~1);
}

void TLocalFile::ReadBlocks(const std::function<void(const char* data, size_t size)>& block) {
  ReadBlocksWhile([&](const char* data, size_t size) {
    block(data, size);
    return true;
  });
}

void TLocalFile::ReadBlocksWhile(const std::function<bool(const char* data, size_t size)>& block) {
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(Fd_, buffer, sizeof buffer);
    if (n == 0) return;
    if (n < 0) {
      if (errno == EINTR) continue;
      throw EError(Format("Cannot read file \"%s\". %s", Path_.c_str(), std::strerror(errno)));
    }
    if (!block(buffer, static_cast<size_t>(n))) return;
  }
}
