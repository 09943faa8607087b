// Whether an input stream already satisfies the output's settings, so that it can be
// copied instead of re-encoded: it fits the settings and its first frames decode.
#pragma once

#include <string>

struct AVOutputFormat;
struct TOutputOptions;
class TFFmpeg;

// Why the video stream (StreamIndex of the task's last input) must be re-encoded into an
// output of Format under the task's settings; empty when it can be copied as it is.
std::string VideoCopyObstacle(const TFFmpeg& Task, const TOutputOptions& Options,
                              const AVOutputFormat* Format, int StreamIndex);
// The same for an audio stream.
std::string AudioCopyObstacle(const TFFmpeg& Task, const TOutputOptions& Options,
                              const AVOutputFormat* Format, int StreamIndex);
