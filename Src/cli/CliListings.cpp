#include "cli/CliListings.h"

#include "binding/MyUtils.h"
#include "cli/CliSettings.h"
#include "frontend/RunTexts.h"
#include "frontend/UnitGeneral.h"

namespace {

void PrintFile(const std::string& file, const TAVProbe& probe, std::ostream& out) {
  TAVFileInfo info;
  probe.GetInfo(info);
  out << file << "\n";
  out << "  Duration:   " << DurationWithMilliseconds(info.Duration) << "\n";
  out << "  Container:  " << probe.ContainerText() << "\n";
  if (info.BitRate > 0) out << "  Bit rate:   " << TAVProbe::BitRateText(info.BitRate) << "\n";
  for (int i = 0; i < probe.StreamCount(); ++i)
    out << "  Stream " << i << ":   " << probe.StreamText(i) << "\n";
}

}  // namespace

std::string DurationWithMilliseconds(std::int64_t microseconds) {
  if (microseconds < 0) return "unknown";
  return FormatDuration(microseconds) +
         StringFormat(".%03d", static_cast<int>(microseconds / 1000 % 1000));
}

void ListGroups(std::ostream& out) {
  for (const char* group : kOutputGroups) out << group << "\n";
}

void ListGroupProfiles(const std::string& group, std::ostream& out) {
  for (const std::string& profile : ListProfiles(CanonicalGroupName(group))) out << profile << "\n";
}

int ProbeFiles(TAVProbe& probe, const std::vector<std::string>& files, bool allowPlaylists,
               std::ostream& out, std::ostream& err) {
  int result = 0;
  bool first = true;
  for (const std::string& file : files) {
    if (!probe.Open(file, std::string(), allowPlaylists)) {
      err << "tovrena-cli: " << probe.LastError() << "\n";
      result = 1;
      continue;
    }
    if (!first) out << "\n";
    first = false;
    PrintFile(file, probe, out);
    probe.Close();
  }
  return result;
}
