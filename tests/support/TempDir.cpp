#include "support/TempDir.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

#include <stdlib.h>

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tessaly-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
  Path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(Path_, ec);
}

std::string TempDir::Write(const std::string& relative, const std::string& content) const {
  const auto full = Path_ / relative;
  std::filesystem::create_directories(full.parent_path());
  std::ofstream out(full, std::ios::binary);
  out << content;
  return full.string();
}

std::string ReadFileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}
