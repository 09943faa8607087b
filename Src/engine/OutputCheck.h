// Checking a written output before it counts as completed: opened again by the libraries
// as a player would open it, it must hold the streams written and last as long as what
// was written. Only the header and index are read; nothing is decoded.
#pragma once

#include <cstdint>

struct AVStream;
#include <string>
#include <vector>

extern "C" {
#include <libavutil/avutil.h>
}

// What the engine handed the muxer of one output; times in AV_TIME_BASE units.
struct TWrittenOutput {
  std::vector<AVMediaType> Types;  // by stream index, as CheckedKindOf gives them
  std::int64_t Start = AV_NOPTS_VALUE;
  std::int64_t End = AV_NOPTS_VALUE;
  std::int64_t LongestPacket = 0;
  std::int64_t Bytes = -1;  // the file's size when the engine closed it; < 0: unknown
  // Notes one packet of the stream in TimeBase units.
  void Note(std::int64_t Pts, std::int64_t Duration, AVRational TimeBase);
};

// The kind a stream is compared as: a cover picture counts as an attachment, however stored.
AVMediaType CheckedKindOf(const AVStream* Stream);

// Empty when the file at Path holds what Written says (its size too, where known), else the
// reason, naming the file as Shown ("'clip.mp4' does not open: ...", "'clip.mp4' lasts
// 4.20 s of the 10.00 s written"). A length is compared where the file states one (a header
// or an index), and only for falling short: one not known without reading the whole file is
// not compared.
std::string CheckWrittenOutput(const std::string& Path, const std::string& Shown,
                               const TWrittenOutput& Written);
