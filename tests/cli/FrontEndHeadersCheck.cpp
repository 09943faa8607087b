// Built, never run: the command line's headers, and the component's public header that
// both front ends include, must not bring in the media libraries' headers. Only the
// component and the engine see those.
#include "cli/CliListings.h"
#include "cli/ConvertCommand.h"
#include "component/VornConverter.h"
#include "frontend/OutputNaming.h"
#include "frontend/ProfileOutput.h"
#include "frontend/RunTexts.h"

#if defined(LIBAVCODEC_VERSION_MAJOR) || defined(AVCODEC_AVCODEC_H) ||    \
    defined(LIBAVFORMAT_VERSION_MAJOR) || defined(AVFORMAT_AVFORMAT_H) || \
    defined(LIBAVUTIL_VERSION_MAJOR) || defined(AVUTIL_RATIONAL_H) ||     \
    defined(AVFILTER_AVFILTER_H) || defined(SWSCALE_SWSCALE_H) || defined(SWRESAMPLE_SWRESAMPLE_H)
#error "a front-end header includes a media library header"
#endif
