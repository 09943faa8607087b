// Generic options handed to the libraries' own option tables, bit rates, formats and the
// verbosity.
#include <cinttypes>

#include "binding/MediaLibraries.h"
#include "binding/MediaPointers.h"
#include "binding/MyUtils.h"
#include "engine/EngineTypes.h"
#include "engine/job/JobPlan.h"
#include "engine/options/EngineOptions.h"
#include "engine/options/LibraryOptions.h"

TJobPlan& TEngineOptions::Plan(const std::string& Option) const {
  if (!Plan_) throw FFMpegException("Option " + Option + " needs a job to set up");
  return *Plan_;
}

void TEngineOptions::AddStream(const std::string& Option, AVMediaType Type) {
  if (!Job_.AddStream) throw FFMpegException("Option " + Option + " needs a job to set up");
  Job_.AddStream(Type);
}

bool TEngineOptions::SetCodecOption(const std::string& Name, const std::string& Value) {
  int refusal = 0;
  return SetCodecOption(Name, Value, refusal);
}

bool TEngineOptions::SetCodecOption(const std::string& Name, const std::string& Value,
                                    int& Refusal) {
  if (!L.Set(Name, Value, Refusal)) return false;
  if (L.Debugging()) SetVerbosity(2);
  return true;
}

bool TEngineOptions::KnowsCodecOption(const std::string& Name) const {
  return L.Knows(Name);
}

void TEngineOptions::SetLibraryOption(const std::string& Name, const std::string& Value) {
  int refusal = 0;
  if (SetCodecOption(Name, Value, refusal) || !KnowsCodecOption(Name)) return;
  if (refusal == 0) throw FFMpegException("Option " + Name + " needs a value");
  char reason[AV_ERROR_MAX_STRING_SIZE] = {};
  lib::av_strerror(refusal, reason, sizeof reason);
  throw FFMpegException("Invalid value '" + Value + "' for option " + Name + ": " + reason);
}

bool TEngineOptions::SetCodecOptionInt(const std::string& Name, int Value) {
  return SetCodecOption(Name, std::to_string(Value));
}

bool TEngineOptions::SetBitrateOption(const std::string& Name, const std::string& Value) {
  if (Name.empty() || Value.empty()) return false;
  if (!SetCodecOption(Name, Value)) return false;
  if (Logging()) {
    AVCodecContext* context = L.CodecContexts[Name[0] == 'a' ? 1 : 0].get();
    std::int64_t bitRate = 0;
    if (context && lib::av_opt_get_int(context, "b", 0, &bitRate) >= 0 && bitRate < 1000)
      Log(1,
          "WARNING: The bitrate parameter is set too low. It takes bits/s as argument, not "
          "kbits/s");
  }
  return true;
}

std::string TEngineOptions::FormatNameFor(const std::string& Name) {
  if (Name != "pgmyuv") return Name;
  S.PgmyuvCompatibility = true;
  if (Logging()) Log(1, "pgmyuv format is deprecated, use image2");
  return "image2";
}

void TEngineOptions::SetInputFormat(const std::string& Name) {
  if (Name.empty()) return;
  const std::string name = FormatNameFor(Name);
  S.ForcedInputFormat = lib::av_find_input_format(name.c_str());
  if (!S.ForcedInputFormat)
    throw FFMpegException(StringFormat("Unknown input format: %s", name.c_str()));
}

void TEngineOptions::SetOutputFormat(const std::string& Name) {
  if (Name.empty()) return;
  const std::string name = FormatNameFor(Name);
  S.ForcedOutputFormat = lib::av_guess_format(name.c_str(), nullptr, nullptr);
  if (!S.ForcedOutputFormat)
    throw FFMpegException(StringFormat("Unknown output format: %s", name.c_str()));
}

void TEngineOptions::SetFormat(const std::string& Name) {
  if (Name.empty()) return;
  const std::string name = FormatNameFor(Name);
  S.ForcedInputFormat = lib::av_find_input_format(name.c_str());
  S.ForcedOutputFormat = lib::av_guess_format(name.c_str(), nullptr, nullptr);
  if (!S.ForcedInputFormat && !S.ForcedOutputFormat)
    throw FFMpegException(StringFormat("Unknown input or output format: %s", name.c_str()));
}

void TEngineOptions::SetVerbosity(int Level) {
  S.Verbosity = Level;
  // The job's own: the libraries' level is the whole process's, and other jobs run.
  if (Job_.VerbosityChanged) Job_.VerbosityChanged(Level);
}
