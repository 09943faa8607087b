#include "engine/RcOverride.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "engine/EngineTypes.h"

std::vector<RcOverride> ParseRcOverride(const std::string& text) {
  std::vector<RcOverride> entries;
  const char* at = text.c_str();
  for (;;) {
    long numbers[3];
    for (int k = 0; k < 3; ++k) {
      char* end = nullptr;
      errno = 0;
      numbers[k] = std::strtol(at, &end, 10);
      if (end == at || errno == ERANGE || numbers[k] < INT_MIN || numbers[k] > INT_MAX ||
          (k < 2 && *end == '\0'))
        throw FFMpegException("error parsing rc_override");
      at = k < 2 ? end + 1 : end;  // the first two numbers are followed by a separator
    }
    RcOverride entry{};
    entry.start_frame = static_cast<int>(numbers[0]);
    entry.end_frame = static_cast<int>(numbers[1]);
    if (numbers[2] > 0) {
      entry.qscale = static_cast<int>(numbers[2]);
      entry.quality_factor = 1.0f;
    } else {
      entry.qscale = 0;
      entry.quality_factor = static_cast<float>(-numbers[2]) / 100.0f;
    }
    entries.push_back(entry);
    at = std::strchr(at, '/');
    if (!at) return entries;
    ++at;
  }
}
