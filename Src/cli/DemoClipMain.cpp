// tovrena-demo-clip: writes a short clip to convert, for a first run on a fresh machine.
#include <cstdio>
#include <stdexcept>

#include "DemoClip.h"
#include "MediaLibraries.h"
#include "MyUtils.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Usage: tovrena-demo-clip FILE\nWrites a 3-second clip (MPEG-4 video, MP2 sound) "
                         "in the container FILE's extension names.\n");
    return 2;
  }
  if (!LoadMediaLibraries(ExecutableFolder() + "LibAV", true)) {
    std::fprintf(stderr, "tovrena-demo-clip: %s\n", MediaLibrariesError().c_str());
    return 1;
  }
  int result = 0;
  try {
    MakeDemoClip(argv[1], 3);
  } catch (const std::runtime_error& error) {
    std::fprintf(stderr, "tovrena-demo-clip: %s: %s\n", argv[1], error.what());
    result = 1;
  }
  FreeMediaLibraries();
  return result;
}
