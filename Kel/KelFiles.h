// Whole files: every file the program writes is written whole, to a temporary file beside the
// target that is then renamed over it, so a failed write leaves the old file intact. Every
// file the programs read is opened by OpenRegularFile.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

// Opens a file for reading, the one way the programs open the files they read: without
// blocking (a FIFO without a writer cannot hold the caller) and only a regular file, also
// behind a link; a FIFO, a device or a folder is refused at once. Returns the descriptor, which
// the caller closes, and the file's status in `info`; or -1 with `error` set to the reason
// (an errno value, or 0 for a file that is not a regular file).
int OpenRegularFile(const std::string& fileName, struct stat& info, int& error);
// The message for a refusal of OpenRegularFile: "Cannot open file "name". <reason>", the reason
// being "Not a regular file" for error 0.
std::string CannotOpenMessage(const std::string& fileName, int error);

// The temporary files of TFileReplacement are named by this prefix and six characters.
extern const char* const kTempFilePrefix;  // ".tessaly-"
// Removes the temporary files this user's writers left in `folder` (a killed program leaves
// them) that were last changed more than `maxAgeSeconds` ago. Returns how many went.
int RemoveStaleTempFiles(const std::string& folder, int64_t maxAgeSeconds = 24 * 60 * 60);

// A file written in pieces that replaces `fileName` only when committed: the pieces go to a
// temporary file beside it (".tessaly-" and six characters, so that any legal target name
// works), which Commit renames over the target and which is deleted when the object goes
// without a Commit. Stale temporary files of earlier runs in that folder are removed first.
// The checks and permissions are those of SaveTextToFile.
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
// Reads a whole file, or its first `maxBytes`; fails with EError when it cannot be opened or
// read. Only regular files are read (OpenRegularFile): a FIFO, a device or a folder (also
// behind a link) fails at once, without blocking, with "Cannot open file "name". Not a regular
// file".
std::string LoadTextFromFile(const std::string& fileName,
                             size_t maxBytes = std::numeric_limits<size_t>::max());
