// Generic options recorded by name are copied from the option contexts into every real
// context the job creates.
#include "engine/FFmpeg.h"

void TCustomFFmpeg::ApplyRecordedOptions(void* Target, void* Source, int Flags) {
  for (const std::string& name : FGenericOptionNames) {
    const AVOption* option = lib::av_opt_find(Source, name.c_str(), nullptr, 0, 0);
    if (!option || (option->flags & Flags) != Flags) continue;
    uint8_t* value = nullptr;
    if (lib::av_opt_get(Source, name.c_str(), 0, &value) < 0 || !value) continue;
    lib::av_opt_set(Target, name.c_str(), reinterpret_cast<const char*>(value), 0);
    lib::av_free(value);
  }
}
