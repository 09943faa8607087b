// A short clip made through the media libraries (moving pictures and a tone), so that a
// fresh machine has something to convert.
#pragma once

#include <string>

// Writes seconds of MPEG-4 video (25 fps, even width and height, 800 kbit/s at 320x240 and
// as much per pixel at other sizes) and MP2 stereo sound into path, in the container its
// name implies. The libraries must be bound. Throws std::runtime_error naming the step that
// failed; a file that was begun is removed then.
void MakeDemoClip(const std::string& path, int seconds, int width = 320, int height = 240);

// The whole job of a clip-writing program: binds the libraries from the program's LibAV
// folder, writes the clip and frees them; failures go to standard error after the program's
// name. Returns the program's exit status.
int WriteClipAsProgram(const char* program, const std::string& path, int seconds, int width = 320,
                       int height = 240);
