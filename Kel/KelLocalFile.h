// Reading a local file the way the HTTP transfers serve one: opened without blocking (a named
// pipe or a device cannot hold the reader), regular files only, read in blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "Kel/KelDateTime.h"
#include "Kel/KelError.h"

// Why a local file could not be opened; the message names the file.
class ELocalFile : public EError {
 public:
  enum class TFault {
    CannotOpen,  // "Cannot open file \"<path>\". <reason>"
    NotAFile,    // "\"<path>\" is not a file": a folder, a pipe, a device, or its status unreadable
    TooLarge,    // "File too large": larger than the reader accepts
  };
  ELocalFile(TFault fault, const std::string& message) : EError(message), Fault(fault) {}
  TFault Fault;
};

// One regular file opened for reading (sharing allowed), closed with the object.
class TLocalFile {
 public:
  // Raises ELocalFile when the file cannot be opened, is not a regular file, or is larger than
  // `maxSize` bytes (when given).
  explicit TLocalFile(const std::string& path, int64_t maxSize = -1);
  ~TLocalFile();
  TLocalFile(const TLocalFile&) = delete;
  TLocalFile& operator=(const TLocalFile&) = delete;

  const std::string& Path() const { return Path_; }
  // The size in bytes when it was opened.
  int64_t Size() const { return Size_; }
  // The last-write time as a local date-time, through the DOS date-time form: whole seconds,
  // rounded down to an even second. 0 when it cannot be converted.
  TDateTime DOSTime() const;
  // Reads from the current position to the end, handing each block to `block` (which may raise
  // to stop). Raises EError ("Cannot read file \"<path>\". <reason>") when a read fails.
  void ReadBlocks(const std::function<void(const char* data, size_t size)>& block);
  // The same, ending early once `block` returns false.
  void ReadBlocksWhile(const std::function<bool(const char* data, size_t size)>& block);

 private:
  std::string Path_;
  int Fd_ = -1;
  int64_t Size_ = 0;
  int64_t WriteTime_ = 0;  // seconds since 1970
};
