// The two plain records through which a front end describes a conversion: one for the
// input file, one for the output file. The component copies them into the task and turns
// every field into an engine setting.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "binding/LocalFiles.h"

enum TTargetType : std::int32_t { ttNone, ttVCD, ttSVCD, ttDVD };
enum TNormType : std::int32_t { ntAuto, ntPAL, ntNTSC };

struct TInputOptions {
  std::string FileName;         // empty: the file name given to AddInputFile
  std::string FileFormat;       // forced input format
  std::int32_t StartTime = -1;  // milliseconds
  std::int32_t ProgramID = -1;
  std::string ExtOptions;  // "name=value" lines
  // A playlist (HLS, DASH, an image pattern) may read the files it names inside its own
  // folder; otherwise an input that refers to other files is refused.
  bool AllowPlaylists = false;
};

struct TOutputOptions {
  std::string FileName;  // empty: the file name given to SetOutputFile
  std::string FileExt;   // the front end's extension; the component does not read it
  std::string FileFormat;
  std::int32_t PacketSize = -1;
  std::int32_t MuxRate = -1;
  float MuxDelay = -1.0f;    // seconds
  float MuxPreload = -1.0f;  // seconds
  std::string AudioCodec;
  bool DisableAudio = false;
  std::int32_t AudioVolume = -1;
  std::int32_t AudioChannels = -1;
  std::int32_t AudioSampleRate = -1;
  std::int32_t AudioBitrate = -1;  // bits/s
  std::int32_t AudioBitrateTolerance = -1;
  std::string AudioLanguage;
  std::int32_t AudioSync = 0;
  std::string AudioTag;
  std::string VideoCodec;
  bool DisableVideo = false;
  std::string FrameRate;
  std::string FrameSize;  // "WxH"
  std::string FrameAspect;
  std::int32_t CropTop = -1, CropBottom = -1, CropLeft = -1, CropRight = -1;
  std::int32_t PadTop = -1, PadBottom = -1, PadLeft = -1, PadRight = -1;
  // 0x00BBGGRR; the top byte is ignored.
  std::uint32_t PadColor = 0;
  std::int32_t GOPSize = -1;
  std::int32_t VideoBitrate = -1;  // bits/s
  std::int32_t VideoMaxRate = -1;
  std::int32_t VideoMinRate = -1;
  std::int32_t VideoBitrateTolerance = -1;
  std::int32_t VideoBufSize = -1;
  std::int32_t VideoSync = -1;
  std::string VideoTag;
  std::string VideoFilters;
  bool DisableSubtitle = false;
  std::string SubtitleLanguage;
  bool CopyTimestamp = false;
  std::int32_t Duration = -1;  // milliseconds
  // Local date and time in days since 30 December 1899: 0 is "now", < 0 leaves it unset.
  double Timestamp = -1.0;
  std::int32_t Year = -1;
  std::int32_t Track = -1;
  char Title[512] = {};
  char Author[512] = {};
  char Copyright[512] = {};
  char Comment[512] = {};
  char Album[512] = {};
  char Genre[32] = {};
  TTargetType TargetType = ttNone;
  TNormType TargetNorm = ntAuto;
  TNormType DefaultNorm = ntPAL;  // what an automatic norm falls back to
  bool CustomHook = false;
  bool BeforeHook = false;
  std::string HookTimeRanges;  // "start-end, ..." in milliseconds
  std::string ExtOptions;
  // With several audio tracks in the input, the one marked default, else the one with most
  // channels, instead of the engine's first free one; the choice is logged.
  bool PickAudioTrack = false;
  // Constant-quality rate control (the encoder's CRF or CQ value) instead of VideoBitrate;
  // < 0 keeps the bitrate.
  std::int32_t VideoQuality = -1;
  // Every audio and subtitle track of the input, its chapters and metadata, where the
  // output container holds them; otherwise one video and one audio track.
  bool KeepAllTracks = false;
  // A stream whose codec, size, rate and bitrate already satisfy the output is copied, not
  // re-encoded.
  bool CopyFittingStreams = false;
  // FileName's name without counter and extension ("clip" for "clip(1).mp4"): when that
  // name is taken by the time the file is complete, it gets the next free "(n)" of this
  // base. Empty: FileName's own name counts as the base.
  std::string NameBase;
};

// Copies text into a fixed-size field, cut so that the terminator always fits.
template <std::size_t N>
void AssignText(char (&field)[N], const std::string& text) {
  const std::size_t length = text.size() < N - 1 ? text.size() : N - 1;
  text.copy(field, length);
  for (std::size_t i = length; i < N; ++i) field[i] = '\0';
}

// The text of a fixed-size field, which need not be terminated.
template <std::size_t N>
std::string FieldText(const char (&field)[N]) {
  std::size_t length = 0;
  while (length < N && field[length] != '\0') ++length;
  return std::string(field, length);
}
