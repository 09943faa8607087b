// Every setting that the command-style options write, with its default. Reset restores
// them by assigning a fresh TEngineSettings.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

extern "C" {
#include <libavutil/rational.h>
}

#include "binding/LocalFiles.h"
#include "engine/EngineTypes.h"

struct AVInputFormat;
struct AVOutputFormat;

// Options of an encoder itself by name, set on it in order.
using TEncoderOptions = std::vector<std::pair<std::string, std::string>>;

// 64 coefficients of an intra or inter quantiser matrix.
using TQuantMatrix = std::array<std::uint16_t, 64>;

struct TEngineSettings {
  // Used up by every input file opened, however the opening ends: the settings that apply
  // to the next file only.
  void ClearPendingFileSettings() {
    ForcedInputFormat = nullptr;
    ForcedOutputFormat = nullptr;
    VideoChannel = 0;
    RateEmulation = false;
    VideoCodecName.clear();
    AudioCodecName.clear();
    SubtitleCodecName.clear();
    GivenInputParameters = {};
  }

  // Formats (pending: cleared by every input and output file opened).
  const AVInputFormat* ForcedInputFormat = nullptr;
  const AVOutputFormat* ForcedOutputFormat = nullptr;
  bool PgmyuvCompatibility = false;
  // An input that refers to other files (a playlist) may read those inside its own folder.
  bool AllowPlaylists = false;
  // The next output's name without counter and extension, from which a name taken by the
  // time it is complete counts on ("clip" for "clip(2).mp4"); empty: its own name's.
  // Pending: consumed by OpenOutput, as is OutputWithoutFile (the output is only set up,
  // nothing is created on disk).
  std::string OutputNameBase;
  bool OutputWithoutFile = false;
  // The demuxer parameters that options gave since the last file was opened (pending).
  // Raw readers take what they are handed as the truth, so the defaults and the values
  // taken over from an earlier input never reach them.
  struct TGivenInputParameters {
    bool SampleRate = false;
    bool Channels = false;
    bool FrameSize = false;
    bool FrameRate = false;
    bool PixelFormat = false;
  } GivenInputParameters;

  // Picture.
  int FrameWidth = 0;
  int FrameHeight = 0;
  // Set when the frame size was given after the input's own size was taken over.
  bool FrameSizeGiven = false;
  // Degrees clockwise that the input's pictures are turned to stand upright; the size and
  // aspect ratio taken over are the upright picture's.
  int FrameRotation = 0;
  float FrameAspectRatio = 0;
  int FramePixelFormat = -1;
  int PadTop = 0, PadBottom = 0, PadLeft = 0, PadRight = 0;
  int PadColorY = 16, PadColorU = 128, PadColorV = 128;
  int CropTop = 0, CropBottom = 0, CropLeft = 0, CropRight = 0;
  AVRational FrameRate{0, 0};

  // Frame limits per media type: video, audio, data, subtitle.
  std::array<int, 4> MaxFrames{std::numeric_limits<int>::max(), std::numeric_limits<int>::max(),
                               std::numeric_limits<int>::max(), std::numeric_limits<int>::max()};

  // Video coding.
  float VideoQScale = 0;
  std::vector<std::uint16_t> IntraMatrix;  // empty, or 64 coefficients
  std::vector<std::uint16_t> InterMatrix;
  std::string RcOverride;
  bool VideoDisable = false;  // pending
  int VideoDiscard = 0;
  bool SameQuality = false;
  bool Deinterlace = false;
  std::string VideoCodecName;  // pending; empty means none
  // Options of the next video stream's own encoder ("crf", "preset"), set on it in order;
  // pending: consumed by that stream or by the output file.
  TEncoderOptions VideoEncoderOptions;
  std::uint32_t VideoCodecTag = 0;
  int TopFieldFirst = -1;
  int MotionThreshold = 0;
  int IntraDcPrecision = 8;
  bool IntraOnly = false;
  int VideoGlobalHeader = 0;
  bool VideoStreamCopy = false;  // pending
  std::string VideoFilters;
  bool UseFilterGraph = false;
  int VideoChannel = 0;  // pending: cleared by each input
  std::string VideoStandard;

  // Audio.
  int AudioSampleFormat = -1;
  int AudioSampleRate = 44100;
  float AudioQScale = -99999;
  bool AudioDisable = false;  // pending
  int AudioChannels = 2;
  std::string AudioCodecName;  // pending
  std::uint32_t AudioCodecTag = 0;
  std::string AudioLanguage;     // pending
  bool AudioStreamCopy = false;  // pending
  int AudioVolume = 256;

  // Subtitles.
  bool SubtitleDisable = false;     // pending
  std::string SubtitleCodecName;    // pending
  std::string SubtitleLanguage;     // pending
  bool SubtitleStreamCopy = false;  // pending

  // Looping.
  bool LoopInput = false;
  int LoopOutput = -1;

  // Muxing, seconds.
  float MuxPreload = 0.5f;
  float MuxMaxDelay = 0.7f;

  // Times: microseconds, except the record timestamp (seconds since 1970).
  std::int64_t RecordingTime = std::numeric_limits<std::int64_t>::max();
  int ExpectedTotalDurationMs = -1;
  std::int64_t StartTime = 0;
  std::int64_t RecordTimestamp = 0;
  std::int64_t InputTimeOffset = 0;

  // Metadata.
  std::string Title, Author, Copyright, Comment, Genre, Album;
  int Year = 0;
  int Track = 0;

  // Diagnostics and two-pass.
  bool Benchmark = false;
  bool HexDump = false;
  bool PacketDump = false;
  bool DoPsnr = false;
  bool QpHistogram = false;
  int Pass = 0;
  std::string PassLogFilePrefix;  // empty means "ffmpeg2pass"
  std::string VStatsFileName;
  bool RateEmulation = false;  // pending: cleared by each input

  // Synchronisation.
  int VideoSyncMethod = -1;
  int AudioSyncMethod = 0;
  float AudioDriftThreshold = 0.1f;
  bool CopyTimestamps = false;
  bool Shortest = false;
  bool InputSync = false;
  float DtsDeltaThreshold = 10;

  // Job.
  int ProgramId = 0;
  // The input stream (file, stream) an audio output takes first when it is still free;
  // -1: the first free audio stream, as always.
  int AudioSourceFile = -1;
  int AudioSourceStream = -1;
  bool ExitOnError = false;
  bool UsingStdin = false;
  bool UsingFrameHooks = false;
  int Verbosity = 1;
  int ThreadCount = 1;
  std::uint64_t FileSizeLimit = 0;
  bool ForceFps = false;
  int ScalerFlags = 4;  // bicubic

  // Hook time ranges (start, end) in microseconds, sorted by end, and the current one.
  std::vector<std::pair<std::int64_t, std::int64_t>> HookTimeRanges;
  int CurrentHookTimeRange = 0;
};
