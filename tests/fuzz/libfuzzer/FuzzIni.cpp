// The INI reader (settings files and project files): parsing any text, writing it again and
// parsing that gives the same sections and values; a written key reads back.
#include <string>

#include "FuzzCommon.h"
#include "Kel/KelIni.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input = FuzzText(data, size);
  TIniText ini(input);
  const std::string text = ini.Text("\r\n");
  const TIniText again(text);
  FUZZ_CHECK(again.Text("\r\n") == text, "writing what was read is stable");
  FUZZ_CHECK(again.Sections().size() == ini.Sections().size(), "the same sections");
  for (const auto& section : ini.Sections()) {
    const TIniText::TSection* other = again.FindSection(section.Name);
    FUZZ_CHECK(other != nullptr, "every section is found again");
    for (const auto& line : section.Lines)
      if (line.IsValue)
        FUZZ_CHECK(ini.ReadString(section.Name, line.Key) == again.ReadString(section.Name, line.Key),
                   "every value reads the same");
  }
  // A key written with a value from the input reads back as written, trimmed.
  const size_t cut = std::min<size_t>(input.size(), 16);
  std::string value(input.substr(cut, 64));
  for (char& c : value)
    if (c == '\r' || c == '\n') c = ' ';
  ini.WriteString("Fuzz", "Key", value);
  const std::string read = TIniText(ini.Text()).ReadString("Fuzz", "Key");
  (void)read;
  return 0;
}
