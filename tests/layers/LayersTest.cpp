// The layers of the code, checked on its #include lines: every source may include only its own
// layer and the layers below it, the core includes neither Qt nor gui/, and libcurl stays inside
// Kel/. A failure names the file, the line and the rule it breaks.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

// The layers, bottom to top, and what each may include besides itself.
const std::map<std::string, std::set<std::string>> kAllowed = {
    {"platform", {}},
    {"Kel", {"platform"}},
    {"Dialogs", {"platform", "Kel"}},
    {"app", {"platform", "Kel", "Dialogs"}},
    {"headless", {"platform", "Kel", "Dialogs", "app"}},
    {"gui", {"platform", "Kel", "Dialogs", "app", "headless"}},
    {"tools", {"platform", "Kel", "Dialogs", "app", "headless"}},
    {"bench", {"platform", "Kel", "Dialogs", "app", "headless", "tests"}},
    {"tests", {"platform", "Kel", "Dialogs", "app", "headless", "gui", "tools"}},
};
const std::set<std::string> kCore = {"platform", "Kel", "Dialogs", "app", "headless"};

// The layer of a file, by its path relative to the source root; empty when it belongs to none.
std::string LayerOf(const fs::path& relative) {
  const std::string top = relative.begin() == relative.end() ? std::string() : relative.begin()->string();
  if (top == "platform") {
    const std::string name = relative.filename().string();
    return name.rfind("Headless", 0) == 0 || name.rfind("System", 0) == 0 ? "headless" : "platform";
  }
  return kAllowed.count(top) ? top : std::string();
}

struct Violation {
  std::string File;
  int Line;
  std::string Text;
};

// The includes of one file that break the rules.
void CheckFile(const fs::path& root, const fs::path& file, std::vector<Violation>& out) {
  const fs::path relative = fs::relative(file, root);
  const std::string layer = LayerOf(relative);
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
      if (qt && kCore.count(layer)) report("the core does not use Qt");
      if (target.rfind("curl/", 0) == 0 && kCore.count(layer) && layer != "Kel")
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
    const std::string other = LayerOf(resolved);
    if (other.empty() || other == layer) continue;
    if (!kAllowed.at(layer).count(other)) report(layer + " may not include " + other);
  }
}

std::vector<Violation> CheckTree(const fs::path& root) {
  std::vector<Violation> out;
  for (const auto& top : {"platform", "Kel", "Dialogs", "app", "gui", "tools", "tests", "bench"}) {
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
