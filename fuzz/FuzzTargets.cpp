#include "FuzzTargets.h"

#include "binding/AVUtilHlpr.h"
#include "binding/MediaLibraries.h"

void FuzzExpect(bool condition, const std::string& what) {
  if (!condition) throw TFuzzFinding(what);
}

bool PrepareFuzzing(const std::string& libAVFolder) {
  if (!MediaLibrariesLoaded() && !LoadMediaLibraries(libAVFolder, true)) return false;
  QuietMediaLibraries();
  return true;
}

void QuietMediaLibraries() {
  lib::av_log_set_level(AV_LOG_QUIET);
  SetCurrentLogLevel(AV_LOG_QUIET);
}

const std::vector<TFuzzTarget>& FuzzTargets() {
  static const std::vector<TFuzzTarget> targets = {
      {"option_lines", FuzzOptionLines},   {"ini_file", FuzzIniFile},
      {"time_ranges", FuzzTimeRanges},     {"matrices", FuzzMatrices},
      {"rc_override", FuzzRcOverride},     {"picture_setters", FuzzPictureSetters},
      {"input_opening", FuzzInputOpening},
  };
  return targets;
}
