// Types shared by the engine, its component and the application.
#pragma once

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>

// Fixed limits of one engine's job tables.
inline constexpr int kMaxFiles = 20;
inline constexpr int kMaxStreams = 20;
// Streams an output file may get: files with dozens of audio and subtitle tracks keep them.
inline constexpr int kMaxOutputStreams = 64;
inline constexpr int kMaxStreamMaps = 400;
inline constexpr int kMaxMetaDataMaps = 20;

// The time stamp value that stands for "none" (microseconds elsewhere).
inline constexpr std::int64_t kNoTimestamp = std::numeric_limits<std::int64_t>::min();

enum THookAction { haContinue, haIgnore, haStop };

enum TConvertPriority { tpIdle, tpLowest, tpLower, tpNormal };

struct TStreamMap {
  int FileIndex = 0;
  int StreamIndex = 0;
  int SyncFileIndex = 0;
  int SyncStreamIndex = 0;
};

// What a metadata map copies: the nine classic texts, every tag of the file and of the
// streams it feeds, or the chapters.
enum TMetaDataMapKind { mmTexts, mmAllTags, mmChapters };

struct TMetaDataMap {
  int OutFile = 0;
  int InFile = 0;
  TMetaDataMapKind Kind = mmTexts;
};

// The message for a time or date the libraries' parser refuses: kind ("duration" or
// "date"), option name, the text given.
inline constexpr char kInvalidTimeTextFormat[] = "Invalid %s specification for %s: %s";

// Every fatal condition inside a job or a setter.
class FFMpegException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
