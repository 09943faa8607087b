/* A video hook module for the tests. Its argument names what it does to the luma plane:
   "set:N" fills it with N, "add:N" adds N (capped at 255), "fail" makes Configure refuse,
   no argument inverts it. It counts its calls for the tests to read back. */
#include <stdatomic.h>
#include <stdlib.h>
#include <string.h>

#include "FrameHookModule.h"

#define EXPORT __attribute__((visibility("default")))

typedef struct {
  char operation; /* 's' set, 'a' add, 'i' invert */
  int value;
} TTestHook;

/* Atomic: jobs on several threads call the module at once. */
static _Atomic int configureCalls, processCalls, releaseCalls;

EXPORT int Configure(void** context, int argc, char* argv[]) {
  ++configureCalls;
  if (argc > 1 && strcmp(argv[1], "fail") == 0) return 1;
  TTestHook* hook = calloc(1, sizeof *hook);
  if (!hook) return 1;
  hook->operation = 'i';
  if (argc > 1 && (strncmp(argv[1], "set:", 4) == 0 || strncmp(argv[1], "add:", 4) == 0)) {
    hook->operation = argv[1][0];
    hook->value = atoi(argv[1] + 4);
  }
  *context = hook;
  return 0;
}

EXPORT void Process(void* context, TFrameHookPicture* picture, int pixelFormat, int width,
                    int height, int64_t pts) {
  (void)pixelFormat;
  (void)pts;
  const TTestHook* hook = context;
  ++processCalls;
  for (int y = 0; y < height; ++y) {
    uint8_t* row = picture->data[0] + y * picture->linesize[0];
    for (int x = 0; x < width; ++x) {
      if (hook->operation == 's') {
        row[x] = (uint8_t)hook->value;
      } else if (hook->operation == 'a') {
        const int sum = row[x] + hook->value;
        row[x] = (uint8_t)(sum > 255 ? 255 : sum);
      } else {
        row[x] = (uint8_t)(255 - row[x]);
      }
    }
  }
}

EXPORT void Release(void* context) {
  ++releaseCalls;
  free(context);
}

EXPORT int TestHookConfigureCalls(void) {
  return configureCalls;
}
EXPORT int TestHookProcessCalls(void) {
  return processCalls;
}
EXPORT int TestHookReleaseCalls(void) {
  return releaseCalls;
}
