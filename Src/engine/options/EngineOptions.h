// TEngineOptions: the option vocabulary working on a settings value. The table of option
// names, the typed setters behind it, the libraries' generic options and the target presets
// write a TEngineSettings; what reaches further goes to the parts given with it: the
// libraries' option contexts, the job plan (maps, time stamp scales, bitstream filters,
// video hooks, the inputs a target's norm is deduced from) and the job (its log, its
// verbosity's threshold, new streams in its last output). Without a plan or a job, an option
// that needs one raises FFMpegException; without a job nothing is logged.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

extern "C" {
#include <libavutil/avutil.h>
}

#include "engine/EngineSettings.h"

struct TDiscTarget;
struct TJobPlan;
struct TLibraryOptions;

// What an option asks of the job it is given for; a part left empty is not there.
struct TOptionJob {
  // Lines for the job's log; empty: nothing is logged (and nothing built to be logged).
  std::function<void(int Level, const std::string& Msg)> Log;
  // The verbosity was changed: the job's threshold for the libraries' lines follows it.
  std::function<void(int Level)> VerbosityChanged;
  // One more stream of the type in the job's last output file; raises when there is none.
  std::function<void(AVMediaType Type)> AddStream;
};

class TEngineOptions {
 public:
  TEngineOptions(TEngineSettings& Settings, TLibraryOptions& Library, TJobPlan* Plan = nullptr,
                 TOptionJob Job = {})
      : S(Settings), L(Library), Plan_(Plan), Job_(std::move(Job)) {}

  // Every failure raises FFMpegException with its message, except the runtime's number
  // conversions (EConvertError) and the tag length check (EAssertionFailed). An empty text
  // means that the value is not given.

  // One named option with its text value (names are case-sensitive, without a dash).
  // Names the vocabulary does not know go to SetLibraryOption.
  void SetOption(const std::string& Name, const std::string& Value);
  // Whether SetOption can place the name: the vocabulary's own, or one that the libraries'
  // codec, muxer or scaler option tables know (as SetCodecOption looks names up).
  bool KnowsOption(const std::string& Name) const;
  // Whether the name is the vocabulary's own.
  static bool InVocabulary(const std::string& Name);
  bool KnowsCodecOption(const std::string& Name) const;
  // A generic option of the libraries' option tables (codec, muxer, scaler); false when
  // no table takes it.
  bool SetCodecOption(const std::string& Name, const std::string& Value);
  // The same; on false, Refusal holds the library's error when a table that knows the name
  // refused the value (0 when none knows it, or the name or the value is blank).
  bool SetCodecOption(const std::string& Name, const std::string& Value, int& Refusal);
  // SetCodecOption for an option line: a name no table knows is skipped, but a value that
  // a table knowing the name refuses, or leaves blank, raises FFMpegException with the
  // library's reason.
  void SetLibraryOption(const std::string& Name, const std::string& Value);
  bool SetCodecOptionInt(const std::string& Name, int Value);
  // "b", "vb", "ab": a bit rate in bits/s, with a warning when it looks like kbit/s.
  bool SetBitrateOption(const std::string& Name, const std::string& Value);

  void SetFormat(const std::string& Name);
  void SetInputFormat(const std::string& Name);
  void SetOutputFormat(const std::string& Name);
  void SetVerbosity(int Level);

  void SetFrameRate(const std::string& Text);
  void SetFrameSize(const std::string& Text);
  void SetAspectRatio(const std::string& Text);
  // "list" logs the known formats and changes nothing.
  void SetPixelFormat(const std::string& Text);
  void SetSampleFormat(const std::string& Text);
  void SetCropTop(int Value);
  void SetCropBottom(int Value);
  void SetCropLeft(int Value);
  void SetCropRight(int Value);
  void SetPadTop(int Value);
  void SetPadBottom(int Value);
  void SetPadLeft(int Value);
  void SetPadRight(int Value);
  // Color is 0x00BBGGRR.
  void SetPadColor(int Color);
  void SetVideoQScale(float Value);
  void SetRcOverride(const std::string& Text);
  void SetTopFieldFirst(int Value);
  void SetMotionThreshold(int Value);
  // 64 comma-separated coefficients.
  void SetIntraMatrix(const std::string& Text);
  void SetInterMatrix(const std::string& Text);

  // "copy" asks for stream copy of that type.
  void SetVideoCodec(const std::string& Name);
  void SetAudioCodec(const std::string& Name);
  void SetSubtitleCodec(const std::string& Name);
  // Four characters, stored as a little-endian FourCC.
  void SetVideoTag(const std::string& Text);
  // An option of the next video stream's encoder itself (beyond the option vocabulary; the
  // component's encoder settings). An encoder that refuses it fails the output file.
  void SetVideoEncoderOption(const std::string& Name, const std::string& Value);
  void SetAudioTag(const std::string& Text);
  void SetAudioSampleRate(int Value);
  void SetAudioChannels(int Value);
  void SetAudioVolume(int Value);
  void SetAudioSyncMethod(int Value);
  void SetVideoSyncMethod(int Value);
  void SetMuxMaxDelay(float Value);
  void SetMuxPreload(float Value);
  void SetVideoChannel(int Value);
  void SetVideoStandard(const std::string& Text);
  void SetVideoFilters(const std::string& Text);
  // The module file, then its arguments, separated by "|" or else by blanks.
  void AddVideoHook(const std::string& Text);

  // "file:stream[:syncfile:syncstream]" and "outfile:infile"; numbers in C notation.
  void AddStreamMap(const std::string& Text);
  void AddMetaDataMap(const std::string& Text);
  // "outfile:infile" as well: every tag of the input file, and of each input stream that
  // feeds the output file, where the output has none of that name ("map_all_tags"); the
  // input's chapters, moved and cut as the output's time line is ("map_chapters").
  void AddAllTagsMap(const std::string& Text);
  void AddChapterMap(const std::string& Text);
  // "stream:scale" for the input file opened next.
  void SetInputTimeScale(const std::string& Text);
  // "absf", "vbsf", "sbsf": a bitstream filter for the next stream of that type.
  void AddBitstreamFilter(const std::string& Option, const std::string& Value);

  // Durations and dates in the libraries' time syntax; Name is the option, for messages.
  void SetRecordingTime(const std::string& Name, const std::string& Text);
  void SetRecordingTimeMs(int Value);
  void SetStartTime(const std::string& Name, const std::string& Text);
  void SetStartTimeUs(std::int64_t Value);
  void SetRecordTimestamp(const std::string& Name, const std::string& Text);
  void SetInputTimeOffset(const std::string& Name, const std::string& Text);
  void SetProgramId(int Value);
  // The audio stream an audio output takes instead of the first free one (beyond the option
  // vocabulary; the front ends' choice among several audio tracks).
  void SetAudioSourceStream(int FileIndex, int StreamIndex);

  void SetTitle(const std::string& Text);
  void SetAuthor(const std::string& Text);
  void SetCopyright(const std::string& Text);
  void SetComment(const std::string& Text);
  void SetGenre(const std::string& Text);
  void SetAlbum(const std::string& Text);
  void SetYear(int Value);
  void SetTrack(int Value);

  void SetPass(int Value);
  void SetVStats(bool Enable);
  void SetVStatsFile(const std::string& Text);
  // (start, end) pairs in microseconds for the picture hooks; kept sorted by end.
  void SetTimeRanges(const std::vector<std::pair<std::int64_t, std::int64_t>>& Ranges);
  // "newvideo", "newaudio", "newsubtitle": one more stream in the last output file (the
  // job's).
  void AddVideoStream();
  void AddAudioStream();
  void AddSubtitleStream();
  // "target": an optional "pal-", "ntsc-" or "film-" prefix, then the kind ("vcd", "svcd",
  // "dvd", "dv", "dv50"); without a prefix the norm is deduced, with NTSC as the fallback.
  void SetTarget(const std::string& Text);
  // Norm "pal", "ntsc" or "film"; anything else deduces it from the frame rate, then from
  // the inputs' video streams, then takes FallbackNorm ("film", "ntsc", else PAL).
  void ApplyTarget(const std::string& Kind, const std::string& Norm,
                   const std::string& FallbackNorm);

 private:
  bool Logging() const { return static_cast<bool>(Job_.Log); }
  void Log(int Level, const std::string& Msg) {
    if (Job_.Log) Job_.Log(Level, Msg);
  }
  // The plan, raising for an option that needs one when none was given.
  TJobPlan& Plan(const std::string& Option) const;
  // A new stream in the job's last output, raising when no job was given.
  void AddStream(const std::string& Option, AVMediaType Type);

  // Microseconds from a duration or date text, raising "Invalid %s specification for %s: %s".
  std::int64_t ParseTime(const std::string& Name, const std::string& Text, bool IsDuration);
  // The format name to look up: "pgmyuv" becomes "image2" with PGMYUV compatibility.
  std::string FormatNameFor(const std::string& Name);
  // The part of ApplyTarget for the disc standards (VCD, SVCD, DVD).
  void ApplyDiscTarget(const TDiscTarget& Target, bool Pal, const std::string& Rate);

  using THandler = void (*)(TEngineOptions&, const std::string& Name, const std::string& Value);
  // The vocabulary: each name with what it does (none: it does nothing).
  static const std::unordered_map<std::string_view, THandler>& Handlers();

  TEngineSettings& S;
  TLibraryOptions& L;
  TJobPlan* Plan_;
  TOptionJob Job_;
};
