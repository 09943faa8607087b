#include "FuzzTargets.h"
#include "engine/EngineTypes.h"
#include "engine/RcOverride.h"

void FuzzRcOverride(std::string_view data) {
  std::vector<RcOverride> entries;
  try {
    entries = ParseRcOverride(std::string(data));
  } catch (const FFMpegException&) {
    return;
  }
  FuzzExpect(!entries.empty(), "an accepted override without entries");
  for (const RcOverride& entry : entries) {
    FuzzExpect(entry.qscale > 0 ? entry.quality_factor == 1.0f
                                : entry.qscale == 0 && entry.quality_factor >= 0,
               "an entry with neither a qscale nor a quality factor");
  }
}
