// TLibraryOptions: the libraries' own option tables reached by name. Option contexts that only
// hold values (a codec context per media type: video, audio, data, subtitle, attachment; a
// muxer and a scaler context), and the names of the options set on them, which every real
// context the job creates is given too.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "binding/MediaPointers.h"

struct TLibraryOptions {
  // Makes the option contexts (the scaler's with these flags); Release frees them and
  // forgets the names.
  void Allocate(int ScalerFlags);
  void Release();

  // Sets a generic option on every context whose table takes it: the accepted option's
  // name is recorded. False when none takes it; Refusal then holds the library's error when
  // a table that knows the name refused the value (0 when none knows it, or the name or
  // the value is blank).
  bool Set(const std::string& Name, const std::string& Value, int& Refusal);
  // Whether a table knows the name (as Set looks names up).
  bool Knows(const std::string& Name) const;
  // Whether the libraries' debug setting is on (video codec or muxer context).
  bool Debugging() const;
  // Copies every recorded option from Source into Target when the option's flags hold all
  // bits of Flags (AV_OPT_FLAG_ENCODING_PARAM, ..._VIDEO_PARAM, ...).
  void ApplyRecorded(void* Target, void* Source, int Flags) const;

  std::array<TCodecContextPtr, 5> CodecContexts;
  TOutputFormatContextPtr FormatContext;
  TSwsContextPtr ScalerContext;
  std::vector<std::string> Names;
};
