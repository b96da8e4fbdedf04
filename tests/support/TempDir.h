// A temporary folder that is removed with everything in it when the test ends.
#pragma once

#include <filesystem>
#include <string>

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return Path_; }
  std::string Str() const { return Path_.string(); }
  // `relative` below the folder, as text.
  std::string File(const std::string& relative) const { return (Path_ / relative).string(); }
  // Writes `content` to `relative` (creating folders); returns the full path.
  std::string Write(const std::string& relative, const std::string& content) const;

 private:
  std::filesystem::path Path_;
};

std::string ReadFileText(const std::string& path);
