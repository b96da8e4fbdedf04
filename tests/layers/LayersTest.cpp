// The layers of the code, checked on its #include lines: every source may include only its own
// layer and the layers below it, the core includes neither Qt nor gui/, and libcurl stays inside
// Kel/. A failure names the file, the line and the rule it breaks.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

// The layer table (cmake/Layers.txt), as the build reads it: what each layer may include
// besides itself, which layers are the core, and which path prefixes belong to which layer.
struct Layers {
  std::map<std::string, std::set<std::string>> Allowed;
  std::set<std::string> Core;
  std::vector<std::string> Order;  // bottom to top
  std::vector<std::pair<std::string, std::string>> Files;  // path prefix, layer

  // The layer of a file, by its path relative to the source root (the longest prefix that
  // names one); empty when it belongs to none.
  std::string LayerOf(const fs::path& relative) const {
    const std::string path = relative.generic_string();
    std::string layer;
    size_t longest = 0;
    for (const auto& [prefix, name] : Files)
      if (path.rfind(prefix, 0) == 0 && prefix.size() > longest) {
        longest = prefix.size();
        layer = name;
      }
    return layer;
  }
};

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

Layers ReadLayers(const fs::path& table) {
  Layers layers;
  std::ifstream in(table);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::istringstream row(line);
    for (std::string field; std::getline(row, field, '|');) fields.push_back(field);
    fields.resize(5);
    const std::vector<std::string> name = Words(fields[0]), kind = Words(fields[1]);
    if (name.size() != 1 || kind.size() != 1) throw std::runtime_error("a malformed line in the layer table: " + line);
    const std::vector<std::string> uses = Words(fields[4]);
    layers.Allowed[name[0]] = {uses.begin(), uses.end()};
    layers.Order.push_back(name[0]);
    if (kind[0] == "core") layers.Core.insert(name[0]);
    for (const std::string& prefix : Words(fields[3])) layers.Files.emplace_back(prefix, name[0]);
  }
  return layers;
}

const Layers& TheLayers() {
  static const Layers layers = ReadLayers(fs::path(TESSALY_SOURCE_DIR) / "cmake" / "Layers.txt");
  return layers;
}

struct Violation {
  std::string File;
  int Line;
  std::string Text;
};

// The includes of one file that break the rules.
void CheckFile(const fs::path& root, const fs::path& file, std::vector<Violation>& out) {
  const Layers& layers = TheLayers();
  const fs::path relative = fs::relative(file, root);
  const std::string layer = layers.LayerOf(relative);
  if (layer.empty()) return;
  std::ifstream in(file);
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    size_t p = line.find_first_not_of(" \t");
    if (p == std::string::npos || line[p] != '#') continue;
    p = line.find_first_not_of(" \t", p + 1);
    if (p == std::string::npos || line.compare(p, 7, "include") != 0) continue;
    p = line.find_first_of("<\"", p + 7);
    if (p == std::string::npos) continue;
    const char close = line[p] == '<' ? '>' : '"';
    const size_t end = line.find(close, p + 1);
    if (end == std::string::npos) continue;
    const std::string target = line.substr(p + 1, end - p - 1);
    auto report = [&](const std::string& why) {
      out.push_back({relative.generic_string(), number, "#include " + line.substr(p, end - p + 1) + ": " + why});
    };
    if (close == '>') {
      const bool qt = target.rfind("Q", 0) == 0 || target.rfind("qt", 0) == 0;
      if (qt && layers.Core.count(layer)) report("the core does not use Qt");
      if (target.rfind("curl/", 0) == 0 && layers.Core.count(layer) && layer != "Kel")
        report("libcurl is used inside Kel/ only");
      continue;
    }
    // A quoted include names a file below the source root, or one beside the including file, or
    // one below the including file's top folder or tests/ (tests/support/...).
    fs::path resolved;
    for (const fs::path& base : {root, file.parent_path(), root / *relative.begin(), root / "tests"}) {
      if (fs::exists(base / target)) {
        resolved = fs::relative(base / target, root);
        break;
      }
    }
    if (resolved.empty()) {
      report("no such file in the sources");
      continue;
    }
    const std::string other = layers.LayerOf(resolved);
    if (other.empty() || other == layer) continue;
    if (!layers.Allowed.at(layer).count(other)) report(layer + " may not include " + other);
  }
}

std::vector<Violation> CheckTree(const fs::path& root) {
  std::vector<Violation> out;
  std::vector<std::string> tops;  // the top folders the table names, bottom to top
  for (const auto& file : TheLayers().Files) {
    const std::string top = fs::path(file.first).begin()->string();
    if (std::find(tops.begin(), tops.end(), top) == tops.end()) tops.push_back(top);
  }
  for (const std::string& top : tops) {
    if (!fs::is_directory(root / top)) continue;
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(root / top)) {
      const std::string ext = entry.path().extension().string();
      if (entry.is_regular_file() && (ext == ".h" || ext == ".cpp")) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& f : files) CheckFile(root, f, out);
  }
  return out;
}

std::string Describe(const std::vector<Violation>& violations) {
  std::string text;
  for (const Violation& v : violations) text += v.File + ":" + std::to_string(v.Line) + ": " + v.Text + "\n";
  return text;
}

TEST(LayersTest, TheSourcesKeepTheirLayers) {
  const std::vector<Violation> violations = CheckTree(TESSALY_SOURCE_DIR);
  EXPECT_TRUE(violations.empty()) << Describe(violations);
}

TEST(LayersTest, TheTableRunsBottomToTop) {
  const Layers& layers = TheLayers();
  ASSERT_FALSE(layers.Order.empty());
  std::set<std::string> below;
  for (const std::string& layer : layers.Order) {
    for (const std::string& used : layers.Allowed.at(layer))
      EXPECT_TRUE(below.count(used)) << layer << " uses " << used << ", which is not a layer below it";
    EXPECT_TRUE(below.insert(layer).second) << layer << " is listed twice";
  }
  for (const char* core : {"platform", "Kel", "Dialogs", "app", "headless"}) EXPECT_TRUE(layers.Core.count(core)) << core;
  EXPECT_EQ(layers.LayerOf("platform/HeadlessServices.cpp"), "headless");
  EXPECT_EQ(layers.LayerOf("platform/Platform.h"), "platform");
  EXPECT_EQ(layers.LayerOf("README.md"), "");
}

TEST(LayersTest, EveryKindOfCrossingIsNamedWithItsFileAndLine) {
  TempDir dir;
  dir.Write("platform/Platform.h", "#pragma once\n");
  dir.Write("platform/Headless.h", "#pragma once\n#include \"platform/Platform.h\"\n");
  dir.Write("Kel/KelA.h", "#pragma once\n#include \"platform/Platform.h\"\n");
  dir.Write("Kel/KelB.cpp", "#include \"Kel/KelA.h\"\n\n#include \"app/X.h\"\n#include <curl/curl.h>\n");
  dir.Write("Dialogs/D.h", "#pragma once\n#include \"platform/Headless.h\"\n");
  dir.Write("app/X.h", "#pragma once\n  #  include <QString>\n#include \"gui/W.h\"\n#include <curl/curl.h>\n");
  dir.Write("app/Y.cpp", "#include \"app/X.h\"\n#include \"Nowhere.h\"\n#include \"Dialogs/D.h\"\n");
  dir.Write("gui/W.h", "#pragma once\n#include <QWidget>\n#include \"platform/Headless.h\"\n#include \"tools/T.h\"\n");
  dir.Write("tools/T.h", "#pragma once\n");
  dir.Write("tests/support/S.h", "#pragma once\n#include \"gui/W.h\"\n");
  dir.Write("tests/app/ATest.cpp", "#include \"support/S.h\"\n#include \"app/X.h\"\n");

  const std::string found = Describe(CheckTree(dir.Str()));
  EXPECT_EQ(found,
            "Kel/KelB.cpp:3: #include \"app/X.h\": Kel may not include app\n"
            "Dialogs/D.h:2: #include \"platform/Headless.h\": Dialogs may not include headless\n"
            "app/X.h:2: #include <QString>: the core does not use Qt\n"
            "app/X.h:3: #include \"gui/W.h\": app may not include gui\n"
            "app/X.h:4: #include <curl/curl.h>: libcurl is used inside Kel/ only\n"
            "app/Y.cpp:2: #include \"Nowhere.h\": no such file in the sources\n"
            "gui/W.h:4: #include \"tools/T.h\": gui may not include tools\n");
}

}  // namespace
