#include "Kel/KelIni.h"

#include "Kel/KelFiles.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "Kel/KelError.h"
#include "Kel/KelStr.h"

// ---------------------------------------------------------------------------------------------
// TIniText

const TIniText::TLine* TIniText::TSection::Find(std::string_view key) const {
  for (const TLine& line : Lines)
    if (line.IsValue && SameText(line.Key, key)) return &line;
  return nullptr;
}

TIniText::TLine* TIniText::TSection::Find(std::string_view key) {
  return const_cast<TLine*>(static_cast<const TSection*>(this)->Find(key));
}

std::string TIniText::TSection::Value(std::string_view key, std::string_view fallback) const {
  const TLine* line = Find(key);
  return line ? line->Value : std::string(fallback);
}

void TIniText::Clear() {
  Preamble_.clear();
  Sections_.clear();
  Index_.clear();
}

TIniText::TSection& TIniText::AddSection(std::string_view name) {
  Sections_.push_back(TSection{std::string(name), {}});
  Index_.emplace(LowerCase(name), Sections_.size() - 1);  // keeps the first section of a name
  return Sections_.back();
}

void TIniText::Parse(std::string_view text) {
  Clear();
  std::vector<TLine>* current = &Preamble_;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string line = Trim(text.substr(start, end - start));
    start = end + 1;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      current = &AddSection(Trim(std::string_view(line).substr(1, line.size() - 2))).Lines;
      continue;
    }
    TLine l;
    l.Text = line;
    if (!line.empty() && line.front() != ';') {
      const size_t eq = line.find('=');
      if (eq != std::string::npos) {
        l.Key = Trim(std::string_view(line).substr(0, eq));
        l.Value = Trim(std::string_view(line).substr(eq + 1));
        l.IsValue = true;
      }
    }
    current->push_back(std::move(l));
  }
}

std::string TIniText::Text(std::string_view lineBreak) const {
  std::string r;
  for (const TLine& l : Preamble_) {
    r += l.Text;
    r += lineBreak;
  }
  for (const TSection& s : Sections_) {
    r += "[" + s.Name + "]";
    r += lineBreak;
    for (const TLine& l : s.Lines) {
      r += l.Text;
      r += lineBreak;
    }
  }
  return r;
}

const TIniText::TSection* TIniText::FindSection(std::string_view name) const {
  const auto it = Index_.find(LowerCase(name));
  return it == Index_.end() ? nullptr : &Sections_[it->second];
}

TIniText::TSection* TIniText::FindSection(std::string_view name) {
  return const_cast<TSection*>(static_cast<const TIniText*>(this)->FindSection(name));
}

std::string TIniText::ReadString(std::string_view section, std::string_view key, std::string_view fallback) const {
  const TSection* s = FindSection(section);
  return s ? s->Value(key, fallback) : std::string(fallback);
}

void TIniText::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  TSection* s = FindSection(section);
  if (!s) s = &AddSection(section);
  const std::string k = Trim(key);
  const std::string text = k + "=" + std::string(value);
  if (TLine* line = s->Find(k)) {
    line->Value = Trim(value);
    line->Text = text;
    return;
  }
  // After the last key, so that comments and blank lines closing the section stay there.
  size_t at = s->Lines.size();
  while (at > 0 && !s->Lines[at - 1].IsValue) --at;
  if (at == 0) at = s->Lines.size();
  s->Lines.insert(s->Lines.begin() + static_cast<std::ptrdiff_t>(at), TLine{k, Trim(value), text, true});
}

// ---------------------------------------------------------------------------------------------
// Writing whole files

bool WriteFileReplacing(const std::string& fileName, std::string_view content, bool ownerOnly) {
  return TrySaveTextToFile(fileName, content, ownerOnly);
}

// ---------------------------------------------------------------------------------------------
// TIniFile

namespace {

// Values keep surrounding blanks and quotes by being written in double quotes, which reading
// removes again; a line break cannot stand in a value.
std::string StoredForm(std::string_view value) {
  std::string v;
  for (char c : value)
    if (c != '\r' && c != '\n') v += c;
  const bool blanksAround = !v.empty() && (IsBlank(v.front()) || IsBlank(v.back()));
  const bool quoted = v.size() >= 2 && v.front() == '"' && v.back() == '"';
  return blanksAround || quoted ? "\"" + v + "\"" : v;
}

std::string ReadForm(std::string value) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') return value.substr(1, value.size() - 2);
  return value;
}

}  // namespace

TIniFile::TIniFile(std::string fileName, bool ownerOnly) : FileName_(std::move(fileName)), OwnerOnly_(ownerOnly) {}

namespace {

std::string ReadSettingsText(const std::string& fileName) {
  try {
    return LoadTextFromFile(fileName);
  } catch (const EError&) {
    return std::string();  // missing or unreadable (also not a regular file): reads as empty
  }
}

// Holds an exclusive lock on a folder while a settings file in it is read, merged and replaced.
class TFolderLock {
 public:
  explicit TFolderLock(const std::string& fileName) {
    const std::filesystem::path folder = std::filesystem::path(fileName).parent_path();
    Fd_ = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (Fd_ >= 0)
      while (::flock(Fd_, LOCK_EX) != 0 && errno == EINTR) {
      }
  }
  ~TFolderLock() {
    if (Fd_ >= 0) ::close(Fd_);  // closing releases the lock
  }
  TFolderLock(const TFolderLock&) = delete;
  TFolderLock& operator=(const TFolderLock&) = delete;

 private:
  int Fd_ = -1;
};

}  // namespace

void TIniFile::Reload() {
  Content_.Parse(ReadSettingsText(FileName_));
  // Writes not yet in the file still count.
  ApplyPending(Content_);
  Loaded_ = true;
}

void TIniFile::ApplyPending(TIniText& content) const {
  for (const TPendingWrite& w : Pending_) content.WriteString(w.Section, w.Key, w.Value);
}

void TIniFile::EnsureLoaded() const {
  if (!Loaded_) const_cast<TIniFile*>(this)->Reload();
}

const TIniText& TIniFile::Content() const {
  EnsureLoaded();
  return Content_;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key, std::string_view fallback) const {
  EnsureLoaded();
  const TIniText::TSection* s = Content_.FindSection(section);
  const TIniText::TLine* line = s ? s->Find(key) : nullptr;
  return line ? ReadForm(line->Value) : std::string(fallback);
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key, int32_t fallback) const {
  const std::string v = ReadString(section, key, std::string_view());
  return v.empty() ? fallback : StrToIntDef(v, fallback);
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool fallback) const {
  return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  EnsureLoaded();
  std::string stored = StoredForm(value);
  Content_.WriteString(section, key, stored);
  // One pending write per key: a later write of the same key replaces the earlier.
  auto same = std::find_if(Pending_.begin(), Pending_.end(), [&](const TPendingWrite& w) {
    return SameText(w.Section, section) && SameText(w.Key, key);
  });
  if (same != Pending_.end()) same->Value = std::move(stored);
  else Pending_.push_back({std::string(section), std::string(key), std::move(stored)});
  Changed();
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
  WriteString(section, key, IntToStr(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void TIniFile::Changed() {
  Dirty_ = true;
  if (Updating_ == 0) Flush();
}

void TIniFile::EndUpdate() {
  if (Updating_ > 0 && --Updating_ == 0 && Dirty_) Flush();
}

bool TIniFile::Flush() {
  EnsureLoaded();
  Dirty_ = false;
  // What other programs wrote meanwhile stays; only this object's keys change.
  TFolderLock lock(FileName_);
  TIniText merged(ReadSettingsText(FileName_));
  ApplyPending(merged);
  if (!WriteFileReplacing(FileName_, merged.Text(), OwnerOnly_)) return false;
  Content_ = std::move(merged);
  Pending_.clear();
  return true;
}

// ---------------------------------------------------------------------------------------------
// Where the settings files live

namespace {

bool CanCreateFilesIn(const std::string& folder) {
  std::error_code ec;
  if (folder.empty() || !std::filesystem::is_directory(folder, ec)) return false;
  std::string probe = folder + "/.tessaly-probe-XXXXXX";
  const int fd = mkstemp(probe.data());
  if (fd < 0) return false;
  close(fd);
  unlink(probe.c_str());
  return true;
}

}  // namespace

std::string SettingsFolder(const std::string& appFolder, const std::string& configFolder) {
  if (CanCreateFilesIn(appFolder)) return appFolder;
  const std::string folder = configFolder + "/Quorlix";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return folder;
}

TSettingsFiles::TSettingsFiles(std::string appFolder, std::string configFolder)
    : AppFolder_(std::move(appFolder)), ConfigFolder_(std::move(configFolder)) {}

const std::string& TSettingsFiles::Folder() {
  if (Folder_.empty()) Folder_ = SettingsFolder(AppFolder_, ConfigFolder_);
  return Folder_;
}

TIniFile& TSettingsFiles::Settings() {
  if (!Settings_) Settings_ = std::make_unique<TIniFile>(Folder() + "/Settings.ini", true);
  return *Settings_;
}

TIniFile& TSettingsFiles::Defaults() {
  if (!Defaults_) Defaults_ = std::make_unique<TIniFile>(Folder() + "/Defaults.ini", false);
  return *Defaults_;
}

// ---------------------------------------------------------------------------------------------
// Controls

TControlBinding TControlBinding::Text(std::string name, std::string& text) {
  return Text(
      std::move(name), [&text] { return text; }, [&text](const std::string& v) { text = v; });
}

TControlBinding TControlBinding::Text(std::string name, std::function<std::string()> get,
                                      std::function<void(const std::string&)> set) {
  TControlBinding b;
  b.Kind = TKind::Text;
  b.Name = std::move(name);
  b.GetText = std::move(get);
  b.SetText = std::move(set);
  return b;
}

TControlBinding TControlBinding::CheckBox(std::string name, bool& checked) {
  return CheckBox(
      std::move(name), [&checked] { return checked; }, [&checked](bool v) { checked = v; });
}

TControlBinding TControlBinding::CheckBox(std::string name, std::function<bool()> get, std::function<void(bool)> set) {
  TControlBinding b;
  b.Kind = TKind::CheckBox;
  b.Name = std::move(name);
  b.GetChecked = std::move(get);
  b.SetChecked = std::move(set);
  return b;
}

TControlBinding TControlBinding::ComboBox(std::string name, int32_t& itemIndex, std::string& text) {
  return ComboBox(
      std::move(name), [&itemIndex] { return itemIndex; }, [&itemIndex](int32_t v) { itemIndex = v; },
      [&text] { return text; }, [&text](const std::string& v) { text = v; });
}

TControlBinding TControlBinding::ComboBox(std::string name, std::function<int32_t()> getIndex,
                                          std::function<void(int32_t)> setIndex, std::function<std::string()> getText,
                                          std::function<void(const std::string&)> setText) {
  TControlBinding b;
  b.Kind = TKind::ComboBox;
  b.Name = std::move(name);
  b.GetItemIndex = std::move(getIndex);
  b.SetItemIndex = std::move(setIndex);
  b.GetText = std::move(getText);
  b.SetText = std::move(setText);
  return b;
}

void StoreControls(TIniFile& file, std::string_view section, const std::vector<TControlBinding>& controls) {
  file.Reload();  // keep what others wrote to the file meanwhile
  file.BeginUpdate();
  for (const TControlBinding& c : controls) {
    switch (c.Kind) {
      case TControlBinding::TKind::Text:
        file.WriteString(section, c.Name + ".Text", c.GetText());
        break;
      case TControlBinding::TKind::CheckBox:
        file.WriteBool(section, c.Name + ".Checked", c.GetChecked());
        break;
      case TControlBinding::TKind::ComboBox:
        file.WriteInteger(section, c.Name + ".ItemIndex", c.GetItemIndex());
        file.WriteString(section, c.Name + ".Text", c.GetText());
        break;
    }
  }
  file.EndUpdate();
}

void RestoreControls(TIniFile& file, std::string_view section, const std::vector<TControlBinding>& controls) {
  file.Reload();
  for (const TControlBinding& c : controls) {
    switch (c.Kind) {
      case TControlBinding::TKind::Text:
        c.SetText(file.ReadString(section, c.Name + ".Text", c.GetText()));
        break;
      case TControlBinding::TKind::CheckBox:
        c.SetChecked(file.ReadBool(section, c.Name + ".Checked", c.GetChecked()));
        break;
      case TControlBinding::TKind::ComboBox:
        c.SetText(file.ReadString(section, c.Name + ".Text", c.GetText()));
        c.SetItemIndex(file.ReadInteger(section, c.Name + ".ItemIndex", c.GetItemIndex()));
        break;
    }
  }
}
