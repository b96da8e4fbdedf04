// Project files (".tly"): the whole site map as an INI text ("[Settings]", then one section per
// node), written and read back as a stream into a rebuilt site tree. The main window's
// commands (SaveProject, OpenProjectFile) use these.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TFormProgress;
class TIniText;
class TProjectReader;
class TSiteMap;
class TSiteTree;
class TSpiderNode;

namespace platform {
class UiThread;
}

// The name of a project that has not been saved yet.
extern const char* const kUntitledProject;  // "untitled.tly"

// The node's section of a project file: appends its sixteen "key=value" lines, then, for a page
// with broken anchors only, "BrokenAnchors=" with each missing fragment (form-encoded), "=" and
// the indexes of the pages linking to it, the fragments separated by "&". Readers that do not
// know the key pass it over.
void SaveTo(const TSpiderNode& node, std::vector<std::string>& lines);
// The same section naming only the nodes before `count` in Links, Referers and BrokenAnchors:
// a file of the map's first `count` nodes.
void SaveTo(const TSpiderNode& node, std::vector<std::string>& lines, int32_t count);
// The node of every section of a project file, by section number.
using TSectionNodes = std::vector<TSpiderNode*>;

// Sets the saved fields of `node` from a section; `value(key)` gives a key's value ("" when
// missing). The indexes in Links and Referers name nodes of the map, or with `sections` the
// nodes of those sections. Fails with the message of the first value that is not valid;
// earlier fields stay set.
void LoadFrom(TSpiderNode& node, const std::function<std::string(std::string_view key)>& value,
              const TSectionNodes* sections = nullptr);

// The whole project file of `map`: every line ends with CR LF.
std::string ProjectText(const TSiteMap& map);
// The same text handed out in pieces, node by node, so that a file can be written as a stream
// without the whole text in memory.
void WriteProjectText(const TSiteMap& map, const std::function<void(std::string_view piece)>& write);
// Writes the project file of `map` to `path` as a stream, through a temporary file renamed over
// it at the end (a crash or a failure leaves the old file whole). Fails with EError.
void SaveProjectFile(const TSiteMap& map, const std::string& path);

// A project file written a slice at a time, so that the user-interface thread, which owns the
// map, goes on between slices (a recovery file of a large crawl). The map may grow meanwhile:
// the file holds the nodes the map had when the write began, each as it stood when its section
// was written, and names no node added since. It is written through a temporary file renamed
// over the target when the last slice is done; dropped before that, it leaves the target as it
// was.
class TProjectFileWriter {
 public:
  // Starts the file of `map` at `path` (writes its "[Settings]"). Fails with EError.
  TProjectFileWriter(const TSiteMap& map, std::string path);
  ~TProjectFileWriter();
  TProjectFileWriter(const TProjectFileWriter&) = delete;
  TProjectFileWriter& operator=(const TProjectFileWriter&) = delete;

  // Writes sections for about `budget` (at least a few; zero: all that are left), and renames
  // the file over its target after the last. Returns true once the file is complete. Fails
  // with EError; the target then stays as it was.
  bool Step(std::chrono::steady_clock::duration budget);
  // The map has not been cleared since the write began (else the write must be dropped).
  bool Current() const;
  const std::string& Path() const { return Path_; }
  const TSiteMap& Map() const { return Map_; }

 private:
  const TSiteMap& Map_;
  std::string Path_;
  uint64_t Generation_;
  int32_t Count_;
  int32_t Next_ = 0;
  struct TFile;
  std::unique_ptr<TFile> File_;
};

// Rebuilds the map of `tree` (which must be empty) from a parsed project file: the addresses
// first, then every node's fields, each section read when it is needed (TProjectReader). The tree's observers hear one reset. An error stops the load;
// the nodes loaded so far stay. `progress` (may be null) shows the steps; `ui` (may be null)
// serves pending events now and then. Returns the message of the error that stopped the load,
// empty when it loaded cleanly.
std::string LoadProject(TSiteTree& tree, const TIniText& file, TFormProgress* progress, platform::UiThread* ui);
// The same load read by `file` (TProjectReader::FromFile streams it from its file).
std::string LoadProject(TSiteTree& tree, TProjectReader& file, TFormProgress* progress, platform::UiThread* ui);
// The same load read from the file at `path` as a stream: the file's text is never in memory
// whole. Fails with EError when the file cannot be opened; an error while reading it stops the
// load as a bad value does (returned).
std::string LoadProjectFile(TSiteTree& tree, const std::string& path, TFormProgress* progress, platform::UiThread* ui);
