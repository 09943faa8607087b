/* A video hook module with "Process" and "Release" only: it blanks the luma plane. */
#include "FrameHookModule.h"

#define EXPORT __attribute__((visibility("default")))

static int processCalls, releaseCalls;

EXPORT void Process(void* context, TFrameHookPicture* picture, int pixelFormat, int width,
                    int height, int64_t pts) {
  (void)context;
  (void)pixelFormat;
  (void)pts;
  ++processCalls;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) picture->data[0][y * picture->linesize[0] + x] = 0;
}

EXPORT void Release(void* context) {
  (void)context;
  ++releaseCalls;
}

EXPORT int NoConfigureProcessCalls(void) {
  return processCalls;
}
EXPORT int NoConfigureReleaseCalls(void) {
  return releaseCalls;
}
