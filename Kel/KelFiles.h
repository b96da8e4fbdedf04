// Whole files: every file the program writes is written whole, to a temporary file beside the
// target that is then renamed over it, so a failed write leaves the old file intact.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// A file written in pieces that replaces `fileName` only when committed: the pieces go to a
// temporary file beside it, which Commit renames over the target and which is deleted when the
// object goes without a Commit. The checks and permissions are those of SaveTextToFile.
class TFileReplacement {
 public:
  // Fails with EError ("Cannot create file ...") when the target cannot be replaced.
  explicit TFileReplacement(std::string fileName, bool ownerOnly = false);
  ~TFileReplacement();
  TFileReplacement(const TFileReplacement&) = delete;
  TFileReplacement& operator=(const TFileReplacement&) = delete;

  // Fails with EError ("Cannot write file ...").
  void Write(const char* data, size_t size);
  // Fails with EError ("Cannot create file ..."), leaving the target as it was.
  void Commit();
  // Deletes what was written; the target stays as it was.
  void Abandon();

 private:
  std::string FileName_, Target_, Temp_;
  bool OwnerOnly_;
  bool Existed_ = false;
  unsigned Mode_ = 0;
  int Fd_ = -1;
};

// Bytes for a TFileReplacement, gathered in a buffer so that a file written in small pieces
// costs few system calls. Flush before the file is committed.
class TFileWriter {
 public:
  explicit TFileWriter(TFileReplacement& file) : File_(file) {}
  void Write(std::string_view bytes);
  void Flush();

 private:
  TFileReplacement& File_;
  std::string Buffer_;
};

// Creates or replaces `fileName` with `content`, byte for byte. A replaced file keeps its
// permissions; with `ownerOnly` the file is readable and writable by its owner only. Writing
// through a link replaces the file it points to. Read-only files are refused. Fails with EError
// ("Cannot create file ...") when the file cannot be created or written.
void SaveTextToFile(const std::string& fileName, std::string_view content, bool ownerOnly = false);
// The same, reporting failure as false instead of an error.
bool TrySaveTextToFile(const std::string& fileName, std::string_view content, bool ownerOnly = false);
// Reads a whole file; fails with EError when it cannot be opened or read. Only regular files
// are read: a FIFO, a device or a folder (also behind a link) fails at once, without blocking,
// with "Cannot open file "name". Not a regular file".
std::string LoadTextFromFile(const std::string& fileName);
