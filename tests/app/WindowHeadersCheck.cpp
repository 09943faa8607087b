// Built, never run: the window's headers must not bring in the media libraries' headers.
#include "app/UnitFrmMain.h"

#if defined(LIBAVCODEC_VERSION_MAJOR) || defined(AVCODEC_AVCODEC_H) ||    \
    defined(LIBAVFORMAT_VERSION_MAJOR) || defined(AVFORMAT_AVFORMAT_H) || \
    defined(LIBAVUTIL_VERSION_MAJOR) || defined(AVUTIL_RATIONAL_H) ||     \
    defined(AVFILTER_AVFILTER_H) || defined(SWSCALE_SWSCALE_H) || defined(SWRESAMPLE_SWRESAMPLE_H)
#error "a window header includes a media library header"
#endif
