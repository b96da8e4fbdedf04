// Whole files: every file the program writes is written whole, to a temporary file beside the
// target that is then renamed over it, so a failed write leaves the old file intact.
#pragma once

#include <string>
#include <string_view>

// Creates or replaces `fileName` with `content`, byte for byte. A replaced file keeps its
// permissions; with `ownerOnly` the file is readable and writable by its owner only. Writing
// through a link replaces the file it points to. Read-only files are refused. Fails with EError
// ("Cannot create file ...") when the file cannot be created or written.
void SaveTextToFile(const std::string& fileName, std::string_view content, bool ownerOnly = false);
// The same, reporting failure as false instead of an error.
bool TrySaveTextToFile(const std::string& fileName, std::string_view content, bool ownerOnly = false);
// Reads a whole file; fails with EError when it cannot be opened or read.
std::string LoadTextFromFile(const std::string& fileName);
