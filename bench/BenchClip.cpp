// tovrena-bench-clip: writes a benchmark input of the given length and picture size through
// the libraries (MPEG-4 video at 25 fps, MP2 stereo sound).
#include <cstdio>
#include <string>

#include "tools/DemoClip.h"

namespace {

// "WIDTHxHEIGHT" with even sides, as 4:2:0 pictures need.
bool ParseSize(const std::string& text, int& width, int& height) {
  char tail = 0;
  return std::sscanf(text.c_str(), "%dx%d%c", &width, &height, &tail) == 2 && width > 0 &&
         height > 0 && width % 2 == 0 && height % 2 == 0 && width <= 7680 && height <= 4320;
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = 0;
  int width = 0;
  int height = 0;
  char tail = 0;
  if (argc != 4 || std::sscanf(argv[2], "%d%c", &seconds, &tail) != 1 || seconds <= 0 ||
      seconds > 3600 || !ParseSize(argv[3], width, height)) {
    std::fprintf(stderr,
                 "Usage: tovrena-bench-clip FILE SECONDS WIDTHxHEIGHT\n"
                 "Writes a clip (MPEG-4 video at 25 fps, MP2 stereo sound) in the "
                 "container FILE's extension names.\n");
    return 2;
  }
  return WriteClipAsProgram("tovrena-bench-clip", argv[1], seconds, width, height);
}
