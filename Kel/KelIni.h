// INI files: a reader of INI text (shared by the settings files and the project file), the
// settings files "Settings.ini" and "Defaults.ini", and storing a dialog's controls in them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// An INI text parsed into sections of ordered lines:
// - every line is trimmed of characters 0..32; empty lines and lines starting with ";" are kept
//   only so that a rewrite preserves them, and never match;
// - "[name]" opens a section (name trimmed); lines before the first section belong to none;
// - "key=value" is stored with key and value trimmed; a line without "=" never matches a key;
// - sections and keys compare without regard to ASCII letter case; the first occurrence counts.
class TIniText {
 public:
  struct TLine {
    std::string Key;    // trimmed; empty for a line that is not "key=value"
    std::string Value;  // trimmed
    std::string Text;   // the trimmed line as read (or as written)
    bool IsValue = false;
  };
  struct TSection {
    std::string Name;
    std::vector<TLine> Lines;
    // The first "key=value" line with that key, or none.
    const TLine* Find(std::string_view key) const;
    TLine* Find(std::string_view key);
    // The value of a key, or `fallback` when the key is missing.
    std::string Value(std::string_view key, std::string_view fallback = std::string_view()) const;
  };

  TIniText() = default;
  explicit TIniText(std::string_view text) { Parse(text); }
  void Parse(std::string_view text);
  // The text again: lines separated by `lineBreak`, the last one ended too.
  std::string Text(std::string_view lineBreak = "\n") const;

  const std::vector<TSection>& Sections() const { return Sections_; }
  // The first section of that name, or none.
  const TSection* FindSection(std::string_view name) const;
  TSection* FindSection(std::string_view name);
  bool HasSection(std::string_view name) const { return FindSection(name) != nullptr; }
  // The value of a key, or `fallback` when the section or the key is missing.
  std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback = {}) const;

  // Sets a key: replaces the value of its first occurrence, else appends it after the section's
  // last key (creating the section at the end when missing).
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void Clear();

 private:
  TSection& AddSection(std::string_view name);
  std::vector<TLine> Preamble_;  // lines before the first section
  std::vector<TSection> Sections_;
  std::unordered_map<std::string, size_t> Index_;  // lower-case name -> first section
};

// A settings file. Reads come from the content last loaded (Reload); every write reaches the
// file at once. Only the keys this object wrote are written back: the file is read again, those
// keys are set in it and the result is written whole to a temporary file beside it and renamed
// over it, under a lock on the folder, so that two programs sharing the file keep each other's
// changes. Failures are not reported: a missing or unreadable file reads as empty, a failed
// write is tried again with the next.
class TIniFile {
 public:
  // `ownerOnly` creates the file readable and writable by its owner only (it holds a password).
  explicit TIniFile(std::string fileName, bool ownerOnly = false);
  const std::string& FileName() const { return FileName_; }

  // Reads the file again.
  void Reload();

  std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback) const;
  // An integer; `fallback` when missing or not a number.
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t fallback) const;
  // Any non-zero number is true; `fallback` when missing or not a number.
  bool ReadBool(std::string_view section, std::string_view key, bool fallback) const;

  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int32_t value);
  void WriteBool(std::string_view section, std::string_view key, bool value);  // "1" or "0"

  // Several writes, one file write: the file is written at the last EndUpdate.
  void BeginUpdate() { ++Updating_; }
  void EndUpdate();
  // Writes the content now; false when that failed.
  bool Flush();

  const TIniText& Content() const;

 private:
  void EnsureLoaded() const;
  void Changed();
  // The writes not yet in the file, in order: section, key, stored value.
  struct TPendingWrite {
    std::string Section, Key, Value;
  };
  std::vector<TPendingWrite> Pending_;
  void ApplyPending(TIniText& content) const;
  std::string FileName_;
  bool OwnerOnly_;
  mutable bool Loaded_ = false;
  mutable TIniText Content_;
  int Updating_ = 0;
  bool Dirty_ = false;
};

// Writes `content` whole: to a temporary file beside `fileName`, then renamed over it.
// `ownerOnly` gives the file the mode 0600, else 0644. Returns false on failure (nothing changed).
bool WriteFileReplacing(const std::string& fileName, std::string_view content, bool ownerOnly);

// The folder of the settings files: the program's folder when files can be created in it,
// else `configFolder` + "/Quorlix" (created when needed).
std::string SettingsFolder(const std::string& appFolder, const std::string& configFolder);

// The program's two settings files, opened on first use and kept for the program's run.
class TSettingsFiles {
 public:
  TSettingsFiles(std::string appFolder, std::string configFolder);
  const std::string& Folder();
  TIniFile& Settings();  // "Settings.ini", owner-only
  TIniFile& Defaults();  // "Defaults.ini"

 private:
  std::string AppFolder_, ConfigFolder_, Folder_;
  std::unique_ptr<TIniFile> Settings_, Defaults_;
};

// One control of a dialog as the settings files see it: its kind, its component name and
// how to read and set its value. Dialogs list their controls in ownership order.
struct TControlBinding {
  enum class TKind { Text, CheckBox, ComboBox };
  TKind Kind = TKind::Text;
  std::string Name;
  std::function<std::string()> GetText;  // Text and ComboBox
  std::function<void(const std::string&)> SetText;
  std::function<bool()> GetChecked;  // CheckBox
  std::function<void(bool)> SetChecked;
  std::function<int32_t()> GetItemIndex;  // ComboBox; -1 for none
  std::function<void(int32_t)> SetItemIndex;

  static TControlBinding Text(std::string name, std::string& text);
  static TControlBinding Text(std::string name, std::function<std::string()> get,
                              std::function<void(const std::string&)> set);
  static TControlBinding CheckBox(std::string name, bool& checked);
  static TControlBinding CheckBox(std::string name, std::function<bool()> get, std::function<void(bool)> set);
  static TControlBinding ComboBox(std::string name, int32_t& itemIndex, std::string& text);
  static TControlBinding ComboBox(std::string name, std::function<int32_t()> getIndex,
                                  std::function<void(int32_t)> setIndex, std::function<std::string()> getText,
                                  std::function<void(const std::string&)> setText);
};

// Writes every control into `section` ("Name.Text", "Name.Checked", "Name.ItemIndex" then
// "Name.Text"), in list order, as one write of the file.
void StoreControls(TIniFile& file, std::string_view section, const std::vector<TControlBinding>& controls);
// Reads the file again and gives every control its stored value, its current value being the
// default ("Name.Text" before "Name.ItemIndex" for a combo box).
void RestoreControls(TIniFile& file, std::string_view section, const std::vector<TControlBinding>& controls);
