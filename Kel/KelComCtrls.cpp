#include "Kel/KelComCtrls.h"

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

const char* AlignmentName(TAlignment alignment) {
  switch (alignment) {
    case TAlignment::taRightJustify: return "right";
    case TAlignment::taCenter: return "center";
    case TAlignment::taLeftJustify: break;
  }
  return "left";
}

std::string CSVField(std::string_view field) {
  bool quote = false;
  for (char c : field)
    if (IsBlank(c) || c == '"' || c == ',') {
      quote = true;
      break;
    }
  if (!quote) return std::string(field);
  std::string r = "\"";
  for (char c : field) {
    if (c == '"') r += '"';
    r += c;
  }
  r += '"';
  return r;
}

std::string CSVLine(const std::vector<std::string>& fields) {
  if (fields.size() == 1 && fields[0].empty()) return "\"\"";
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += ',';
    line += CSVField(fields[i]);
  }
  return line;
}

void ExportListViewCSV(const TCustomListItems& items, const std::string& fileName, TItemStates states) {
  std::vector<std::string> lines;
  for (int i = 0; i < items.ItemCount(); ++i) {
    if ((states & isSelected) && !items.ItemSelected(i)) continue;
    std::vector<std::string> fields{items.ItemCaption(i)};
    const auto& sub = items.ItemSubItems(i);
    fields.insert(fields.end(), sub.begin(), sub.end());
    lines.push_back(CSVLine(fields));
  }
  SaveTextToFile(fileName, JoinLines(lines));
}

std::string JoinLines(const std::vector<std::string>& lines) {
  size_t size = 0;
  for (const auto& l : lines) size += l.size() + 2;
  std::string text;
  text.reserve(size);
  for (const auto& l : lines) {
    text += l;
    text += "\r\n";
  }
  return text;
}

namespace {

[[noreturn]] void CannotCreate(const std::string& fileName, int error) {
  throw EError(Format("Cannot create file \"%s\". %s", fileName.c_str(), std::strerror(error)));
}

bool WriteAll(int fd, const std::string& content) {
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

void SaveTextToFile(const std::string& fileName, const std::string& content) {
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
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) CannotCreate(fileName, errno);
  }
  if (fd < 0) CannotCreate(fileName, EEXIST);

  int error = 0;
  if (!WriteAll(fd, content)) error = errno;
  // A replaced file keeps its permissions.
  if (!error && existed && ::fchmod(fd, old.st_mode & 07777) != 0) error = errno;
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
