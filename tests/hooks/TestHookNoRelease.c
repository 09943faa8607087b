/* A video hook module with "Configure" and "Process" only: it keeps no state of its own
   to free and marks the first luma byte with 200. */
#include "FrameHookModule.h"

#define EXPORT __attribute__((visibility("default")))

static int configureCalls, processCalls;
static int sharedState;

EXPORT int Configure(void** context, int argc, char* argv[]) {
  (void)argc;
  (void)argv;
  ++configureCalls;
  *context = &sharedState;
  return 0;
}

EXPORT void Process(void* context, TFrameHookPicture* picture, int pixelFormat, int width,
                    int height, int64_t pts) {
  (void)context;
  (void)pixelFormat;
  (void)width;
  (void)height;
  (void)pts;
  ++processCalls;
  picture->data[0][0] = 200;
}

EXPORT int NoReleaseConfigureCalls(void) {
  return configureCalls;
}
EXPORT int NoReleaseProcessCalls(void) {
  return processCalls;
}
