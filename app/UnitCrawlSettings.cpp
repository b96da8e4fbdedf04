#include "app/UnitCrawlSettings.h"

#include <cmath>
#include <cstdlib>

#include "Kel/KelError.h"
#include "Kel/KelHTTPTypes.h"
#include "Kel/KelStr.h"
#include "app/CrawlEngine.h"
#include "app/CrawlGate.h"

namespace {
// Lists are kept in one value each: their lines joined with tabs.
std::string Joined(const std::string& lines) {
  std::string out;
  for (const std::string& line : SettingLines(lines)) out += (out.empty() ? "" : "\t") + line;
  return out;
}
std::string Split(const std::string& joined) {
  std::string out = joined;
  for (char& c : out)
    if (c == '\t') c = '\n';
  return out;
}
}  // namespace

std::vector<std::string> SettingLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at <= text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!Trim(line).empty()) lines.push_back(line);
    at = end + 1;
  }
  return lines;
}

TFormCrawlSettings::TFormCrawlSettings(TIniFile& settings) : Settings_(settings) { Restore(); }

std::vector<TControlBinding> TFormCrawlSettings::Controls() {
  auto list = [](const char* name, std::string& text) {
    return TControlBinding::Text(
        name, [&text] { return Joined(text); }, [&text](const std::string& v) { text = Split(v); });
  };
  return {
      TControlBinding::CheckBox("EditObeyRobots", Values.ObeyRobots),
      TControlBinding::CheckBox("EditUseSitemap", Values.UseSitemap),
      TControlBinding::Text("EditRate", Values.Rate),
      TControlBinding::CheckBox("EditRetry", Values.Retry),
      TControlBinding::Text("EditUserAgent", Values.UserAgent),
      list("EditHeaders", Values.Headers),
      list("EditInclude", Values.Include),
      list("EditExclude", Values.Exclude),
      TControlBinding::Text("EditMaxDepth", Values.MaxDepth),
      TControlBinding::Text("EditUsername", Values.Username),
  };
}

void TFormCrawlSettings::Restore() {
  // A value the file does not hold is the default, whatever was edited before.
  Values = TCrawlSettingsValues();
  RestoreControls(Settings_, kSection, Controls());
}

void TFormCrawlSettings::Store() { StoreControls(Settings_, kSection, Controls()); }

TCrawlSettings TFormCrawlSettings::Settings() const {
  const TCrawlSettingsValues& v = Values;
  TCrawlSettings s;
  s.ObeyRobots = v.ObeyRobots;
  s.UseSitemap = v.UseSitemap;
  const std::string rate = Trim(v.Rate);
  char* end = nullptr;
  const double perSecond = rate.empty() ? 0 : std::strtod(rate.c_str(), &end);
  if ((!rate.empty() && *end != 0) || !std::isfinite(perSecond) || perSecond < 0)
    throw EError("Requests per second per host: '" + v.Rate + "' is not a number of 0 or more");
  s.Rate = perSecond;
  s.Retry = v.Retry;
  if (v.UserAgent.find_first_of("\r\n") != std::string::npos) throw EError("User agent: the text holds a line break");
  s.UserAgent = v.UserAgent;
  s.Headers = SettingLines(v.Headers);
  for (const std::string& line : *s.Headers) CheckHeaderLine(line, "Extra headers");
  s.Include = SettingLines(v.Include);
  s.Exclude = SettingLines(v.Exclude);
  TAddressPatterns(*s.Include, "Include patterns");
  TAddressPatterns(*s.Exclude, "Exclude patterns");
  const std::string depth = Trim(v.MaxDepth);
  const int32_t clicks = depth.empty() ? 0 : StrToIntDef(depth, -1);
  if (clicks < 0 || (!depth.empty() && std::to_string(clicks) != depth))
    throw EError("Largest depth: '" + v.MaxDepth + "' is not a number of 0 or more");
  s.MaxDepth = clicks;
  s.Username = Trim(v.Username);
  s.Password = Password;
  return s;
}

bool TFormCrawlSettings::Run(const std::function<bool(TFormCrawlSettings&)>& showModal,
                             const std::function<void(const TCrawlSettings&)>& apply,
                             const std::function<void(const std::string&)>& showError) {
  Restore();
  while (showModal(*this)) {
    try {
      const TCrawlSettings s = Settings();
      if (apply) apply(s);
      Store();
      return true;
    } catch (const EError& e) {
      // The dialog opens again with the values as edited, and says what is wrong.
      if (showError) showError(e.what());
    }
  }
  Restore();
  return false;
}
