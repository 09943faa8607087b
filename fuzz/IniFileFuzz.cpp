#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "FuzzTargets.h"
#include "frontend/IniFile.h"

namespace {

std::string TemporaryPath(const char* name) {
  return (std::filesystem::temp_directory_path() /
          ("tovrena-fuzz-" + std::to_string(getpid()) + "-" + name + ".ini"))
      .string();
}

// Every listed section exists and every listed key reads back; a value never holds a line
// break, so "\n" as the default tells a found value from a missing one.
void ExpectReadable(const TIniFile& ini) {
  for (const std::string& section : ini.ReadSections()) {
    FuzzExpect(ini.SectionExists(section), "a listed section does not exist");
    for (const std::string& key : ini.ReadSection(section)) {
      FuzzExpect(ini.ReadString(section, key, "\n") != "\n", "a listed key does not read");
      ini.ReadBool(section, key, ini.ReadInteger(section, key, 0) != 0);
    }
  }
}

}  // namespace

void FuzzIniFile(std::string_view data) {
  static const std::string source = TemporaryPath("source");
  static const std::string copy = TemporaryPath("copy");
  std::ofstream(source, std::ios::binary | std::ios::trunc) << data;
  TIniFile ini(source);
  // A regular file is always read; what it holds is understood or named by its line.
  FuzzExpect(ini.ReadProblem().empty() || ini.ReadProblem().starts_with("not a settings file ("),
             "a regular file was not read");
  ExpectReadable(ini);

  // The last line's text goes in as a value of the first key of the first section.
  const std::vector<std::string> sections = ini.ReadSections();
  const std::string section = sections.empty() ? "Fuzz" : sections.front();
  const std::vector<std::string> keys = ini.ReadSection(section);
  const std::string key = keys.empty() ? "Key" : keys.front();
  const std::size_t lastBreak = data.rfind('\n');
  const std::string value(lastBreak == std::string_view::npos ? data : data.substr(lastBreak + 1));
  try {
    ini.WriteString(section, key, value);
  } catch (const EIniFileError&) {
    return;
  }
  FuzzExpect(ini.ReadString(section, key, "\n") == value, "a written value reads differently");
  ini.SaveAs(copy);
  const TIniFile reread(copy);
  FuzzExpect(reread.ReadString(section, key, "\n") == value, "a saved value reads differently");
  FuzzExpect(reread.ReadSections() == ini.ReadSections(), "saving changed the sections");
  ExpectReadable(reread);
}
