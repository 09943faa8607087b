// A short clip made through the media libraries (moving pictures and a tone), so that a
// fresh machine has something to convert.
#pragma once

#include <string>

// Writes seconds of MPEG-4 video (320x240, 25 fps) and MP2 stereo sound into path, in the
// container its name implies. The libraries must be bound. Throws std::runtime_error naming
// the step that failed; a file that was begun is removed then.
void MakeDemoClip(const std::string& path, int seconds);
