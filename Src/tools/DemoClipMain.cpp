// tovrena-demo-clip: writes a short clip to convert, for a first run on a fresh machine.
#include <cstdio>

#include "tools/DemoClip.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr,
                 "Usage: tovrena-demo-clip FILE\nWrites a 3-second clip (MPEG-4 video, MP2 sound) "
                 "in the container FILE's extension names.\n");
    return 2;
  }
  return WriteClipAsProgram("tovrena-demo-clip", argv[1], 3);
}
