// INI text, settings files and storing dialog controls.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "Kel/KelIni.h"
#include "support/TempDir.h"

namespace {

int ModeOf(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return -1;
  return static_cast<int>(st.st_mode & 0777);
}

size_t FilesIn(const std::filesystem::path& folder) {
  size_t n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder)) ++n;
  return n;
}

TEST(IniText, ReaderRules) {
  const TIniText ini(
      "ignored=before any section\r\n"
      "  [ Settings ]  \r\n"
      "; Key=comment\r\n"
      "\r\n"
      "  URI =  http://host/  \r\n"
      "Links=2\r\n"
      "links=3\r\n"
      "no equals sign\r\n"
      "Empty=\r\n"
      "Eq=a=b\r\n"
      "[0]\r\n"
      "RemoteFile=x\r\n"
      "[SETTINGS]\r\n"
      "Late=1");
  EXPECT_EQ(ini.ReadString("settings", "uri"), "http://host/");
  EXPECT_EQ(ini.ReadString("Settings", "LINKS"), "2");                  // the first occurrence counts
  EXPECT_EQ(ini.ReadString("Settings", "Late", "missing"), "missing");  // a second section of the name is unused
  EXPECT_EQ(ini.ReadString("Settings", "Key", "missing"), "missing");   // comment
  EXPECT_EQ(ini.ReadString("Settings", "no equals sign", "missing"), "missing");
  EXPECT_EQ(ini.ReadString("Settings", "Empty", "missing"), "");
  EXPECT_EQ(ini.ReadString("Settings", "Eq"), "a=b");
  EXPECT_EQ(ini.ReadString("Settings", "ignored", "missing"), "missing");
  EXPECT_EQ(ini.ReadString("Nowhere", "URI", "d"), "d");
  EXPECT_EQ(ini.ReadString("0", "RemoteFile"), "x");
  ASSERT_EQ(ini.Sections().size(), 3u);
  EXPECT_EQ(ini.Sections()[0].Name, "Settings");
  EXPECT_EQ(ini.Sections()[1].Value("remotefile"), "x");
}

TEST(IniText, WritesReplaceTheFirstKeyOrAppendToTheSection) {
  TIniText ini("; head\n[A]\nx=1\n; end of A\n\n[B]\ny=2\n");
  ini.WriteString("a", "X", "10");
  ini.WriteString("A", "z", "3");
  ini.WriteString("C", "w", "4");
  EXPECT_EQ(ini.Text(), "; head\n[A]\nX=10\nz=3\n; end of A\n\n[B]\ny=2\n[C]\nw=4\n");
}

class IniFileTest : public ::testing::Test {
 protected:
  TempDir Dir;
};

TEST_F(IniFileTest, BooleansIntegersAndDefaults) {
  const std::string path =
      Dir.Write("Settings.ini", "[Form]\nOn.Checked=7\nOff.Checked=0\nBad.Checked=yes\nN.Text= 42 \nWord=abc\n");
  TIniFile ini(path);
  EXPECT_TRUE(ini.ReadBool("form", "ON.CHECKED", false));
  EXPECT_FALSE(ini.ReadBool("Form", "Off.Checked", true));
  EXPECT_TRUE(ini.ReadBool("Form", "Bad.Checked", true));  // not a number: the default
  EXPECT_FALSE(ini.ReadBool("Form", "Missing.Checked", false));
  EXPECT_EQ(ini.ReadInteger("Form", "N.Text", -1), 42);
  EXPECT_EQ(ini.ReadInteger("Form", "Word", -1), -1);
  EXPECT_EQ(ini.ReadString("Form", "Missing", "dflt"), "dflt");

  ini.WriteBool("Form", "Off.Checked", true);
  ini.WriteBool("Form", "New.Checked", false);
  const std::string text = ReadFileText(path);
  EXPECT_NE(text.find("Off.Checked=1\n"), std::string::npos) << text;
  EXPECT_NE(text.find("New.Checked=0\n"), std::string::npos) << text;
}

TEST_F(IniFileTest, ValuesRoundTripIncludingBlanksAndQuotes) {
  TIniFile ini(Dir.File("Settings.ini"));
  const std::vector<std::string> values = {" padded ", "\"quoted\"", "plain", "", "a=b;c", "tab\t"};
  for (size_t i = 0; i < values.size(); ++i) ini.WriteString("S", "K" + std::to_string(i), values[i]);
  TIniFile again(Dir.File("Settings.ini"));
  for (size_t i = 0; i < values.size(); ++i) EXPECT_EQ(again.ReadString("S", "K" + std::to_string(i), "?"), values[i]);
  ini.WriteString("S", "Lines", "one\r\ntwo");  // a line break cannot start a line of its own
  again.Reload();
  EXPECT_EQ(again.ReadString("S", "Lines", "?"), "onetwo");
  EXPECT_EQ(again.Content().Sections().size(), 1u);
}

TEST_F(IniFileTest, WritesWholeFilesWithTheirModes) {
  TIniFile settings(Dir.File("Settings.ini"), true);
  TIniFile defaults(Dir.File("Defaults.ini"), false);
  settings.WriteString("FormHTTPSettings", "EditPassword.Text", "secret");
  defaults.WriteString("FormExternalTools", "Edit1.Text", "");
  EXPECT_EQ(ModeOf(Dir.File("Settings.ini")), 0600);
  EXPECT_EQ(ModeOf(Dir.File("Defaults.ini")), 0644);
  // A file that was readable by others becomes private at its next write.
  chmod(Dir.File("Settings.ini").c_str(), 0644);
  settings.WriteString("FormHTTPSettings", "EditPassword.Text", "other");
  EXPECT_EQ(ModeOf(Dir.File("Settings.ini")), 0600);
  EXPECT_EQ(FilesIn(Dir.Path()), 2u);  // no temporary file left behind
}

TEST_F(IniFileTest, AFailedWriteChangesNothingAndIsNotReported) {
  TIniFile ini(Dir.File("missing-folder/Settings.ini"));
  EXPECT_NO_THROW(ini.WriteString("S", "K", "v"));
  EXPECT_FALSE(ini.Flush());
  EXPECT_FALSE(std::filesystem::exists(Dir.File("missing-folder")));
}

TEST_F(IniFileTest, SettingsFolderFallsBackToTheConfigurationFolder) {
  std::filesystem::create_directories(Dir.File("app"));
  EXPECT_EQ(SettingsFolder(Dir.File("app"), Dir.File("config")), Dir.File("app"));
  EXPECT_FALSE(std::filesystem::exists(Dir.File("config")));
  // A program folder where no file can be created (here: it does not exist).
  EXPECT_EQ(SettingsFolder(Dir.File("gone"), Dir.File("config")), Dir.File("config") + "/Quorlix");
  EXPECT_TRUE(std::filesystem::is_directory(Dir.File("config/Quorlix")));

  TSettingsFiles files(Dir.File("gone"), Dir.File("config"));
  files.Settings().WriteString("FormHTTPSettings", "EditServer.Text", "proxy");
  files.Defaults().WriteString("FormExternalTools", "Edit1.Text", "x");
  EXPECT_TRUE(std::filesystem::exists(Dir.File("config/Quorlix/Settings.ini")));
  EXPECT_TRUE(std::filesystem::exists(Dir.File("config/Quorlix/Defaults.ini")));
  EXPECT_EQ(ModeOf(Dir.File("config/Quorlix/Settings.ini")), 0600);
  EXPECT_EQ(&files.Settings(), &files.Settings());  // opened once
}

// A dialog with one control of each kind.
struct Dialog {
  std::string Edit1 = "typed";
  bool Check1 = true;
  int32_t ComboIndex = 2;
  std::string ComboText = "third";
  std::vector<std::string> Order;  // what Restore set, in order
  std::vector<TControlBinding> Controls() {
    return {TControlBinding::Text("Edit1", Edit1), TControlBinding::CheckBox("Check1", Check1),
            TControlBinding::ComboBox(
                "Combo1", [this] { return ComboIndex; },
                [this](int32_t v) {
                  Order.push_back("index");
                  ComboIndex = v;
                },
                [this] { return ComboText; },
                [this](const std::string& v) {
                  Order.push_back("text");
                  ComboText = v;
                })};
  }
};

TEST_F(IniFileTest, StoreWritesEveryControlInOwnershipOrder) {
  TIniFile ini(Dir.File("Settings.ini"), true);
  ini.WriteString("Other", "Kept", "yes");
  Dialog d;
  StoreControls(ini, "FormDialog", d.Controls());
  EXPECT_EQ(
      ReadFileText(Dir.File("Settings.ini")),
      "[Other]\nKept=yes\n[FormDialog]\nEdit1.Text=typed\nCheck1.Checked=1\nCombo1.ItemIndex=2\nCombo1.Text=third\n");
}

TEST_F(IniFileTest, RestoreKeepsCurrentValuesForMissingKeys) {
  const std::string path =
      Dir.Write("Settings.ini", "[formdialog]\ncheck1.checked=0\ncombo1.text=first\ncombo1.itemindex=0\n");
  TIniFile ini(path);
  Dialog d;
  RestoreControls(ini, "FormDialog", d.Controls());
  EXPECT_EQ(d.Edit1, "typed");
  EXPECT_FALSE(d.Check1);
  EXPECT_EQ(d.ComboText, "first");
  EXPECT_EQ(d.ComboIndex, 0);
  EXPECT_EQ(d.Order, (std::vector<std::string>{"text", "index"}));

  // A change made to the file by someone else is seen at the next restore.
  Dir.Write("Settings.ini", "[FormDialog]\nEdit1.Text=edited outside\nCheck1.Checked=7\n");
  RestoreControls(ini, "FormDialog", d.Controls());
  EXPECT_EQ(d.Edit1, "edited outside");
  EXPECT_TRUE(d.Check1);
}

// Two programs with the same settings file: each writes back only the keys it changed, so
// neither undoes the other's changes with the values it read at its start.
TEST_F(IniFileTest, TwoCopiesOnOneFileKeepEachOthersChanges) {
  const std::string path = Dir.Write("Settings.ini", "; kept\n[Form]\nA=0\nB=0\n[Other]\nC=0\n");
  TIniFile first(path, true), second(path, true);
  EXPECT_EQ(first.ReadString("Form", "A", "?"), "0");
  EXPECT_EQ(second.ReadString("Form", "B", "?"), "0");  // both have read the file
  const struct {
    TIniFile* Copy;
    const char* Section;
    const char* Key;
    const char* Value;
  } writes[] = {
      {&first, "Form", "A", "1"},     // a key both copies read
      {&second, "Form", "B", "2"},    // another key of the same section
      {&second, "New", "D", "4"},     // a new section
      {&first, "Other", "C", "3"},    // a key of another section
      {&first, "New", "E", "5"},      // the other copy's new section
      {&second, "form", "a", "one"},  // the same key again: the last write counts
  };
  for (const auto& w : writes) w.Copy->WriteString(w.Section, w.Key, w.Value);
  // A batch writes its keys at the end, merged the same way.
  first.BeginUpdate();
  first.WriteString("Batch", "X", "x1");
  first.WriteString("Batch", "X", "x2");
  second.WriteString("Batch", "Y", "y");
  first.EndUpdate();
  TIniFile reader(path);
  const struct {
    const char* Section;
    const char* Key;
    const char* Value;
  } expected[] = {{"Form", "A", "one"}, {"Form", "B", "2"}, {"Other", "C", "3"}, {"New", "D", "4"},
                  {"New", "E", "5"},    {"Batch", "X", "x2"}, {"Batch", "Y", "y"}};
  for (const auto& e : expected) {
    EXPECT_EQ(reader.ReadString(e.Section, e.Key, "?"), e.Value) << e.Section << "." << e.Key;
    EXPECT_EQ(first.ReadString(e.Section, e.Key, "?"), e.Value) << e.Section << "." << e.Key;
  }
  EXPECT_EQ(ReadFileText(path).rfind("; kept\n", 0), 0u) << ReadFileText(path);
  EXPECT_EQ(ModeOf(path), 0600);
  EXPECT_EQ(FilesIn(Dir.Path()), 1u);
}

}  // namespace
