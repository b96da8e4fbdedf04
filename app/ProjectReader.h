// Reading a project file as a stream: the file is read in pieces of a fixed size and never held
// whole. One pass over it finds the "[Settings]" values and where each numbered section begins;
// a section is then read again from its place when the load needs it. Lines follow the rules of
// TIniText: split at line feeds, trimmed of characters 0..32, "[name]" opens a section,
// "key=value" is a value; sections and keys compare without regard to ASCII letter case and the
// first occurrence counts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TProjectReader {
 public:
  // Reads the file at `path` (a regular file only). Fails with EError when it cannot be opened.
  static TProjectReader FromFile(const std::string& path);
  // Reads `text`, which must outlive the reader.
  static TProjectReader FromText(std::string_view text);
  TProjectReader(TProjectReader&&) noexcept;
  TProjectReader& operator=(TProjectReader&&) = delete;
  ~TProjectReader();

  // Reads the whole file once: the values of the first "[Settings]" section and the place of
  // the first section of every number. Fails with EError when the file cannot be read.
  void Scan();
  // A value of "[Settings]" ("" when missing).
  std::string Setting(std::string_view key) const;
  // Whether the file holds a section "[n]".
  bool HasSection(int32_t n) const;

  // The "key=value" lines of section "[n]" (which must exist), in file order. With `stopAt`, the
  // reading ends at the first line of that key. Valid until the next call.
  // The lines' strings are kept from section to section, so that reading one allocates nothing
  // once they have grown to the file's longest values.
  struct TValues {
    std::vector<std::pair<std::string, std::string>> Items;
    size_t Count = 0;  // the lines of this section: the first Count items
    void Clear() { Count = 0; }
    void Add(std::string_view key, std::string_view value);
  };
  const TValues& Section(int32_t n, std::string_view stopAt = {});
  // The first value of `key` in `values` ("" when missing).
  static std::string Value(const TValues& values, std::string_view key);

 private:
  explicit TProjectReader(int fd, std::string path, std::string_view text);
  void SeekTo(uint64_t offset);
  bool NextLine(std::string_view& line);
  size_t ReadAt(uint64_t offset, char* into, size_t size);

  int Fd_ = -1;  // the file, or -1 when reading Text_
  std::string Path_;
  std::string_view Text_;
  std::vector<char> Buffer_;
  uint64_t BufferOffset_ = 0;  // file offset of Buffer_[0]
  size_t Begin_ = 0, End_ = 0;  // the unread bytes of Buffer_
  bool AtEnd_ = false;
  uint64_t LineOffset_ = 0;  // file offset of the line NextLine gave last
  TValues Settings_;
  // The first section of each number with its offset, sorted by number.
  std::vector<std::pair<int32_t, uint64_t>> Sections_;
  TValues Values_;
};
