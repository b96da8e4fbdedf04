#include "app/ProjectReader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "Kel/KelError.h"
#include "Kel/KelFiles.h"
#include "Kel/KelTranslate.h"
#include "Kel/KelStr.h"

namespace {

// The size of one read; a longer line makes the buffer grow to hold it.
constexpr size_t kReadSize = 1 << 20;

std::string_view TrimView(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
  return s.substr(b, e - b);
}

// The name of a section header ("[name]", trimmed), or false for any other line.
bool SectionName(std::string_view line, std::string_view& name) {
  if (line.size() < 2 || line.front() != '[' || line.back() != ']') return false;
  name = TrimView(line.substr(1, line.size() - 2));
  return true;
}

// The number a section name writes as std::to_string does, or -1.
int32_t SectionNumber(std::string_view name) {
  if (name.empty() || name.size() > 10 || (name.size() > 1 && name.front() == '0')) return -1;
  int64_t n = 0;
  for (char c : name) {
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
  }
  return n > INT32_MAX ? -1 : static_cast<int32_t>(n);
}

// A "key=value" line: key and value trimmed. Comments (";") and lines without "=" are none.
bool KeyValue(std::string_view line, std::string_view& key, std::string_view& value) {
  if (line.empty() || line.front() == ';') return false;
  const size_t eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  key = TrimView(line.substr(0, eq));
  value = TrimView(line.substr(eq + 1));
  return true;
}

}  // namespace

TProjectReader::TProjectReader(int fd, std::string path, std::string_view text)
    : Fd_(fd), Path_(std::move(path)), Text_(text), Buffer_(kReadSize) {}

TProjectReader::TProjectReader(TProjectReader&& other) noexcept
    : Fd_(other.Fd_),
      Path_(std::move(other.Path_)),
      Text_(other.Text_),
      Buffer_(std::move(other.Buffer_)),
      BufferOffset_(other.BufferOffset_),
      Begin_(other.Begin_),
      End_(other.End_),
      AtEnd_(other.AtEnd_),
      LineOffset_(other.LineOffset_),
      Settings_(std::move(other.Settings_)),
      Sections_(std::move(other.Sections_)),
      Values_(std::move(other.Values_)) {
  other.Fd_ = -1;
}

TProjectReader::~TProjectReader() {
  if (Fd_ >= 0) ::close(Fd_);
}

TProjectReader TProjectReader::FromFile(const std::string& path) {
  struct stat info {};
  int error = 0;
  const int fd = OpenRegularFile(path, info, error);
  if (fd < 0) throw EError(CannotOpenMessage(path, error));
  return TProjectReader(fd, path, {});
}

TProjectReader TProjectReader::FromText(std::string_view text) { return TProjectReader(-1, std::string(), text); }

size_t TProjectReader::ReadAt(uint64_t offset, char* into, size_t size) {
  if (Fd_ < 0) {
    if (offset >= Text_.size()) return 0;
    const size_t n = std::min(size, static_cast<size_t>(Text_.size() - offset));
    std::memcpy(into, Text_.data() + offset, n);
    return n;
  }
  for (;;) {
    const ssize_t n = ::pread(Fd_, into, size, static_cast<off_t>(offset));
    if (n >= 0) return static_cast<size_t>(n);
    if (errno != EINTR)
      throw EError(FormatText("Cannot read file \"%s\". %s", Path_.c_str(), std::strerror(errno)));
  }
}

void TProjectReader::SeekTo(uint64_t offset) {
  if (offset >= BufferOffset_ && offset <= BufferOffset_ + End_) {
    Begin_ = static_cast<size_t>(offset - BufferOffset_);
    return;
  }
  BufferOffset_ = offset;
  Begin_ = End_ = 0;
  AtEnd_ = false;
}

bool TProjectReader::NextLine(std::string_view& line) {
  for (;;) {
    char* data = Buffer_.data();
    if (const void* feed = std::memchr(data + Begin_, '\n', End_ - Begin_)) {
      const size_t at = static_cast<size_t>(static_cast<const char*>(feed) - data);
      line = std::string_view(data + Begin_, at - Begin_);
      LineOffset_ = BufferOffset_ + Begin_;
      Begin_ = at + 1;
      return true;
    }
    if (AtEnd_) {
      if (Begin_ == End_) return false;
      // The last line, without a line feed.
      line = std::string_view(data + Begin_, End_ - Begin_);
      LineOffset_ = BufferOffset_ + Begin_;
      Begin_ = End_;
      return true;
    }
    // The unread bytes move to the front; a line longer than the buffer makes it grow.
    if (Begin_ > 0) {
      std::memmove(data, data + Begin_, End_ - Begin_);
      BufferOffset_ += Begin_;
      End_ -= Begin_;
      Begin_ = 0;
    }
    if (End_ == Buffer_.size()) Buffer_.resize(Buffer_.size() * 2);
    const size_t n = ReadAt(BufferOffset_ + End_, Buffer_.data() + End_, Buffer_.size() - End_);
    if (n == 0) AtEnd_ = true;
    End_ += n;
  }
}

void TProjectReader::Scan() {
  Settings_.Clear();
  Sections_.clear();
  SeekTo(0);
  bool inSettings = false, settingsSeen = false;
  std::string_view line, name, key, value;
  while (NextLine(line)) {
    line = TrimView(line);
    if (SectionName(line, name)) {
      inSettings = !settingsSeen && SameText(name, "Settings");
      settingsSeen = settingsSeen || inSettings;
      const int32_t n = SectionNumber(name);
      if (n >= 0) Sections_.emplace_back(n, LineOffset_);
    } else if (inSettings && KeyValue(line, key, value)) {
      Settings_.Add(key, value);
    }
  }
  // The first section of each number counts: sorted by number, then by place.
  std::sort(Sections_.begin(), Sections_.end());
  Sections_.erase(std::unique(Sections_.begin(), Sections_.end(),
                              [](const auto& a, const auto& b) { return a.first == b.first; }),
                  Sections_.end());
  Sections_.shrink_to_fit();
}

void TProjectReader::TValues::Add(std::string_view key, std::string_view value) {
  if (Count == Items.size()) Items.emplace_back();
  Items[Count].first.assign(key);
  Items[Count].second.assign(value);
  ++Count;
}

std::string TProjectReader::Value(const TValues& values, std::string_view key) {
  for (size_t i = 0; i < values.Count; ++i) {
    const auto& [k, v] = values.Items[i];
    if (k.size() == key.size() && SameText(k, key)) return v;
  }
  return std::string();
}

std::string TProjectReader::Setting(std::string_view key) const { return Value(Settings_, key); }

bool TProjectReader::HasSection(int32_t n) const {
  return std::binary_search(Sections_.begin(), Sections_.end(), std::make_pair(n, uint64_t{0}),
                            [](const auto& a, const auto& b) { return a.first < b.first; });
}

const TProjectReader::TValues& TProjectReader::Section(int32_t n, std::string_view stopAt) {
  Values_.Clear();
  const auto at = std::lower_bound(Sections_.begin(), Sections_.end(), std::make_pair(n, uint64_t{0}),
                                   [](const auto& a, const auto& b) { return a.first < b.first; });
  if (at == Sections_.end() || at->first != n) return Values_;
  SeekTo(at->second);
  std::string_view line, name, key, value;
  NextLine(line);  // the header
  while (NextLine(line)) {
    line = TrimView(line);
    if (SectionName(line, name)) break;
    if (!KeyValue(line, key, value)) continue;
    Values_.Add(key, value);
    if (!stopAt.empty() && key.size() == stopAt.size() && SameText(key, stopAt)) break;
  }
  return Values_;
}
