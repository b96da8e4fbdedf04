#include "Kel/KelFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

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

}  // namespace

void SaveTextToFile(const std::string& fileName, std::string_view content, bool ownerOnly) {
  namespace fs = std::filesystem;
  fs::path target(fileName);
  // Writing through a link replaces the file it points to, not the link.
  std::error_code ec;
  if (fs::is_symlink(fs::symlink_status(target, ec))) {
    target = fs::weakly_canonical(target, ec);
    if (ec) CannotCreate(fileName, ec.value());
  }

  struct stat old{};
  const bool existed = ::stat(target.c_str(), &old) == 0;
  if (existed && S_ISDIR(old.st_mode)) CannotCreate(fileName, EISDIR);
  // Renaming over a file would replace it even when the file itself is read-only.
  if (existed && ::access(target.c_str(), W_OK) != 0) CannotCreate(fileName, errno);
  if (existed && (old.st_mode & 0222) == 0) CannotCreate(fileName, EACCES);

  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  static std::atomic<unsigned> counter{0};
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = (folder / ("." + target.filename().string() + Format(".%d-%u.tmp", static_cast<int>(::getpid()), counter++)))
               .string();
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, ownerOnly ? 0600 : 0666);
    if (fd < 0 && errno != EEXIST) CannotCreate(fileName, errno);
  }
  if (fd < 0) CannotCreate(fileName, EEXIST);

  int error = 0;
  if (!WriteAll(fd, content)) error = errno;
  // A replaced file keeps its permissions; a file with a secret is readable by its owner only.
  if (!error && ownerOnly && ::fchmod(fd, 0600) != 0) error = errno;
  if (!error && !ownerOnly && existed && ::fchmod(fd, old.st_mode & 07777) != 0) error = errno;
  if (::close(fd) != 0 && !error) error = errno;
  if (!error && ::rename(temp.c_str(), target.c_str()) != 0) error = errno;
  if (error) {
    ::unlink(temp.c_str());
    CannotCreate(fileName, error);
  }
}

std::string LoadTextFromFile(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) throw EError(Format("Cannot open file \"%s\". %s", fileName.c_str(), std::strerror(errno)));
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) throw EError(Format("Cannot read file \"%s\".", fileName.c_str()));
  return text.str();
}

bool TrySaveTextToFile(const std::string& fileName, std::string_view content, bool ownerOnly) {
  try {
    SaveTextToFile(fileName, content, ownerOnly);
    return true;
  } catch (const EError&) {
    return false;
  }
}
