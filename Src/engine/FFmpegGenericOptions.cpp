// Generic options handed to the libraries' own option tables, bit rates, formats and the
// verbosity.
#include <cinttypes>

#include "binding/MediaLibraries.h"
#include "binding/MyUtils.h"
#include "engine/FFmpeg.h"
#include "engine/ProcessState.h"

namespace {

bool IsBlank(const std::string& Text) {
  return Text.find_first_not_of(" \t\r\n") == std::string::npos;
}

// Names the libraries have since renamed: profiles and option records still use them.
std::string LibraryOptionName(const std::string& Name) {
  return Name == "gop" ? "g" : Name;
}

// Sets Name on Context; the library's own record of the option when it took the value.
// When a context that knows the name refuses the value, the first such error goes into
// Refusal.
const AVOption* SetOn(void* Context, const char* Name, const std::string& Value, int& Refusal) {
  if (!Context) return nullptr;
  const int result = lib::av_opt_set(Context, Name, Value.c_str(), 0);
  if (result < 0) {
    if (result != AVERROR_OPTION_NOT_FOUND && Refusal == 0) Refusal = result;
    return nullptr;
  }
  return lib::av_opt_find(Context, Name, nullptr, 0, 0);
}

bool Knows(void* Context, const char* Name) {
  return Context && lib::av_opt_find(Context, Name, nullptr, 0, 0) != nullptr;
}

// Index of the codec option context that a type letter in front of a name stands for.
int TypeIndexOf(const std::string& Name) {
  if (Name.size() < 2) return -1;
  return Name[0] == 'a' ? 1 : Name[0] == 'v' ? 0 : Name[0] == 's' ? 3 : -1;
}

}  // namespace

bool TCustomFFmpeg::SetCodecOption(const std::string& Name, const std::string& Value) {
  int refusal = 0;
  return SetCodecOption(Name, Value, refusal);
}

bool TCustomFFmpeg::SetCodecOption(const std::string& GivenName, const std::string& Value,
                                   int& Refusal) {
  Refusal = 0;
  if (IsBlank(GivenName) || IsBlank(Value)) return false;
  const std::string Name = LibraryOptionName(GivenName);
  // Option flags a codec option must carry to belong to each codec option context.
  static constexpr int kTypeMasks[5] = {AV_OPT_FLAG_VIDEO_PARAM, AV_OPT_FLAG_AUDIO_PARAM, 0,
                                        AV_OPT_FLAG_SUBTITLE_PARAM, 0};
  const AVOption* accepted = nullptr;
  for (std::size_t i = 0; i < FCodecOptionContexts.size(); ++i) {
    // "b" is the video bit rate ("ab" the audio one); the libraries share the name between
    // both types, and a video rate would make audio encoders refuse to open.
    if (i == 1 && Name == "b") continue;
    if (!FCodecOptionContexts[0] ||
        !lib::av_opt_find(FCodecOptionContexts[0].get(), Name.c_str(), nullptr, kTypeMasks[i], 0))
      continue;
    accepted = SetOn(FCodecOptionContexts[i].get(), Name.c_str(), Value, Refusal);
  }
  if (!accepted) accepted = SetOn(FFormatOptionContext.get(), Name.c_str(), Value, Refusal);
  if (!accepted) accepted = SetOn(FScalerOptionContext.get(), Name.c_str(), Value, Refusal);
  // "ab", "vb", "sb"...: the option without its type letter, on that type's context.
  if (const int typeIndex = TypeIndexOf(Name); !accepted && typeIndex >= 0) {
    accepted = SetOn(FCodecOptionContexts[typeIndex].get(), Name.c_str() + 1, Value, Refusal);
  }
  if (!accepted) return false;
  Refusal = 0;

  FGenericOptionNames.push_back(accepted->name);
  const bool debugging = (FCodecOptionContexts[0] && FCodecOptionContexts[0]->debug != 0) ||
                         (FFormatOptionContext && FFormatOptionContext->debug != 0);
  if (debugging) SetVerbosity(2);
  return true;
}

bool TCustomFFmpeg::KnowsCodecOption(const std::string& GivenName) const {
  if (IsBlank(GivenName)) return false;
  const std::string Name = LibraryOptionName(GivenName);
  if (Knows(FCodecOptionContexts[0].get(), Name.c_str()) ||
      Knows(FFormatOptionContext.get(), Name.c_str()) ||
      Knows(FScalerOptionContext.get(), Name.c_str()))
    return true;
  const int typeIndex = TypeIndexOf(Name);
  return typeIndex >= 0 && Knows(FCodecOptionContexts[typeIndex].get(), Name.c_str() + 1);
}

void TCustomFFmpeg::SetLibraryOption(const std::string& Name, const std::string& Value) {
  int refusal = 0;
  if (SetCodecOption(Name, Value, refusal) || !KnowsCodecOption(Name)) return;
  if (refusal == 0) throw FFMpegException("Option " + Name + " needs a value");
  char reason[AV_ERROR_MAX_STRING_SIZE] = {};
  lib::av_strerror(refusal, reason, sizeof reason);
  throw FFMpegException("Invalid value '" + Value + "' for option " + Name + ": " + reason);
}

bool TCustomFFmpeg::SetCodecOptionInt(const std::string& Name, int Value) {
  return SetCodecOption(Name, std::to_string(Value));
}

bool TCustomFFmpeg::SetBitrateOption(const std::string& Name, const std::string& Value) {
  if (Name.empty() || Value.empty()) return false;
  if (!SetCodecOption(Name, Value)) return false;
  if (Logging()) {
    AVCodecContext* context = FCodecOptionContexts[Name[0] == 'a' ? 1 : 0].get();
    std::int64_t bitRate = 0;
    if (context && lib::av_opt_get_int(context, "b", 0, &bitRate) >= 0 && bitRate < 1000)
      Log(1,
          "WARNING: The bitrate parameter is set too low. It takes bits/s as argument, not "
          "kbits/s");
  }
  return true;
}

std::string TCustomFFmpeg::FormatNameFor(const std::string& Name) {
  if (Name != "pgmyuv") return Name;
  FSettings.PgmyuvCompatibility = true;
  if (Logging()) Log(1, "pgmyuv format is deprecated, use image2");
  return "image2";
}

void TCustomFFmpeg::SetInputFormat(const std::string& Name) {
  if (Name.empty()) return;
  const std::string name = FormatNameFor(Name);
  FSettings.ForcedInputFormat = lib::av_find_input_format(name.c_str());
  if (!FSettings.ForcedInputFormat)
    throw FFMpegException(StringFormat("Unknown input format: %s", name.c_str()));
}

void TCustomFFmpeg::SetOutputFormat(const std::string& Name) {
  if (Name.empty()) return;
  const std::string name = FormatNameFor(Name);
  FSettings.ForcedOutputFormat = lib::av_guess_format(name.c_str(), nullptr, nullptr);
  if (!FSettings.ForcedOutputFormat)
    throw FFMpegException(StringFormat("Unknown output format: %s", name.c_str()));
}

void TCustomFFmpeg::SetFormat(const std::string& Name) {
  if (Name.empty()) return;
  const std::string name = FormatNameFor(Name);
  FSettings.ForcedInputFormat = lib::av_find_input_format(name.c_str());
  FSettings.ForcedOutputFormat = lib::av_guess_format(name.c_str(), nullptr, nullptr);
  if (!FSettings.ForcedInputFormat && !FSettings.ForcedOutputFormat)
    throw FFMpegException(StringFormat("Unknown input or output format: %s", name.c_str()));
}

void TCustomFFmpeg::SetVerbosity(int Level) {
  FSettings.Verbosity = Level;
  // The engine's own: the libraries' level is the whole process's, and other jobs run.
  RegisterLogEngine(this, Level);
}
