// The rate-control override text of the "rc_override" option.
#pragma once

#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

// "start,end,q/start,end,q...": q > 0 is a fixed qscale, q <= 0 a quality factor of -q %.
// Raises FFMpegException "error parsing rc_override" when an entry is incomplete or a
// number does not fit an int.
std::vector<RcOverride> ParseRcOverride(const std::string& text);
