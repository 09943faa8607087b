#include "engine/options/LibraryOptions.h"

#include "binding/MediaLibraries.h"
#include "binding/MediaPointers.h"

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

bool KnownTo(void* Context, const char* Name) {
  return Context && lib::av_opt_find(Context, Name, nullptr, 0, 0) != nullptr;
}

// Index of the codec option context that a type letter in front of a name stands for.
int TypeIndexOf(const std::string& Name) {
  if (Name.size() < 2) return -1;
  return Name[0] == 'a' ? 1 : Name[0] == 'v' ? 0 : Name[0] == 's' ? 3 : -1;
}

}  // namespace

void TLibraryOptions::Allocate(int ScalerFlags) {
  static constexpr AVMediaType kTypes[] = {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO,
                                           AVMEDIA_TYPE_DATA, AVMEDIA_TYPE_SUBTITLE,
                                           AVMEDIA_TYPE_ATTACHMENT};
  for (std::size_t i = 0; i < CodecContexts.size(); ++i) {
    CodecContexts[i].reset(lib::avcodec_alloc_context3(nullptr));
    if (CodecContexts[i]) CodecContexts[i]->codec_type = kTypes[i];
  }
  FormatContext.reset(lib::avformat_alloc_context());
  ScalerContext.reset(lib::sws_alloc_context());
  if (ScalerContext) lib::av_opt_set_int(ScalerContext.get(), "sws_flags", ScalerFlags, 0);
}

void TLibraryOptions::Release() {
  for (auto& context : CodecContexts) context.reset();
  FormatContext.reset();
  ScalerContext.reset();
  Names.clear();
}

bool TLibraryOptions::Set(const std::string& GivenName, const std::string& Value, int& Refusal) {
  Refusal = 0;
  if (IsBlank(GivenName) || IsBlank(Value)) return false;
  const std::string Name = LibraryOptionName(GivenName);
  // Option flags a codec option must carry to belong to each codec option context.
  static constexpr int kTypeMasks[5] = {AV_OPT_FLAG_VIDEO_PARAM, AV_OPT_FLAG_AUDIO_PARAM, 0,
                                        AV_OPT_FLAG_SUBTITLE_PARAM, 0};
  const AVOption* accepted = nullptr;
  for (std::size_t i = 0; i < CodecContexts.size(); ++i) {
    // "b" is the video bit rate ("ab" the audio one); the libraries share the name between
    // both types, and a video rate would make audio encoders refuse to open.
    if (i == 1 && Name == "b") continue;
    if (!CodecContexts[0] ||
        !lib::av_opt_find(CodecContexts[0].get(), Name.c_str(), nullptr, kTypeMasks[i], 0))
      continue;
    accepted = SetOn(CodecContexts[i].get(), Name.c_str(), Value, Refusal);
  }
  if (!accepted) accepted = SetOn(FormatContext.get(), Name.c_str(), Value, Refusal);
  if (!accepted) accepted = SetOn(ScalerContext.get(), Name.c_str(), Value, Refusal);
  // "ab", "vb", "sb"...: the option without its type letter, on that type's context.
  if (const int typeIndex = TypeIndexOf(Name); !accepted && typeIndex >= 0) {
    accepted = SetOn(CodecContexts[typeIndex].get(), Name.c_str() + 1, Value, Refusal);
  }
  if (!accepted) return false;
  Refusal = 0;
  Names.push_back(accepted->name);
  return true;
}

bool TLibraryOptions::Knows(const std::string& GivenName) const {
  if (IsBlank(GivenName)) return false;
  const std::string Name = LibraryOptionName(GivenName);
  if (KnownTo(CodecContexts[0].get(), Name.c_str()) || KnownTo(FormatContext.get(), Name.c_str()) ||
      KnownTo(ScalerContext.get(), Name.c_str()))
    return true;
  const int typeIndex = TypeIndexOf(Name);
  return typeIndex >= 0 && KnownTo(CodecContexts[typeIndex].get(), Name.c_str() + 1);
}

bool TLibraryOptions::Debugging() const {
  return (CodecContexts[0] && CodecContexts[0]->debug != 0) ||
         (FormatContext && FormatContext->debug != 0);
}

void TLibraryOptions::ApplyRecorded(void* Target, void* Source, int Flags) const {
  for (const std::string& name : Names) {
    const AVOption* option = lib::av_opt_find(Source, name.c_str(), nullptr, 0, 0);
    if (!option || (option->flags & Flags) != Flags) continue;
    uint8_t* value = nullptr;
    if (lib::av_opt_get(Source, name.c_str(), 0, &value) < 0 || !value) continue;
    lib::av_opt_set(Target, name.c_str(), reinterpret_cast<const char*>(value), 0);
    lib::av_free(value);
  }
}
