// Clips with unusual clocks: streams that start at different times, as recordings joined
// from separate sources are, and pictures whose codec counts time in other ticks than the
// container.
#pragma once

#include <string>

// Copies every packet of input into output (the container chosen by its name), the first
// stream of mediaType stamped delaySeconds later; fails the calling test on any error.
void CopyWithStreamDelayed(const std::string& input, const std::string& output, int mediaType,
                           double delaySeconds);

// An AVI of MPEG-4 pictures (160x120) at 15 a second, whose stream counts its time in 1/25 s
// ticks (the decoder's clock) while the container's time base is 1/15 s; no sound.
void MakeMpeg4AviOnPalTicks(const std::string& path, int frames);

// An AVI of raw 4:2:0 pictures (160x120, 25 a second, no sound) whose every picture is cut
// to half its size: the file states the format and size, but no picture decodes.
void MakeCutRawVideoAvi(const std::string& path, int frames);
