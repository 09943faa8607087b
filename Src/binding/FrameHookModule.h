/* The interface of a video hook module: a shared library exporting "Configure", "Process"
   and "Release" with C linkage. Modules include this header; it needs nothing else. */
#ifndef TOVRENA_FRAMEHOOKMODULE_H
#define TOVRENA_FRAMEHOOKMODULE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* A picture handed to Process: up to four planes and the byte length of their rows. */
typedef struct TFrameHookPicture {
  uint8_t* data[4];
  int linesize[4];
} TFrameHookPicture;

/* Fills *context with the module's own state; argv[0] is the module's file name. The
   arguments stay valid until the hook is released. Answers 0 on success. */
typedef int (*TFrameHookConfigure)(void** context, int argc, char* argv[]);
/* Changes the picture in place; pixelFormat is the media libraries' pixel format code. */
typedef void (*TFrameHookProcess)(void* context, TFrameHookPicture* picture, int pixelFormat,
                                  int width, int height, int64_t pts);
/* Frees what Configure made. */
typedef void (*TFrameHookRelease)(void* context);

#ifdef __cplusplus
}
#endif

#endif
