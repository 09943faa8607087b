// The option vocabulary: each option name and what it does.
#include "binding/ValueConversion.h"
#include "engine/EngineTypes.h"
#include "engine/options/EngineOptions.h"

// A member's static table, so that its handlers reach the settings.
const std::unordered_map<std::string_view, TEngineOptions::THandler>& TEngineOptions::Handlers() {
  // No handler: the option is accepted and does nothing. Options that switch a setting on
  // ignore their value.
  static const std::unordered_map<std::string_view, THandler> handlers = {
      {"L", nullptr},
      {"h", nullptr},
      {"version", nullptr},
      {"formats", nullptr},
      {"i", nullptr},
      {"y", nullptr},
      {"benchmark", nullptr},
      {"apre", nullptr},
      {"vpre", nullptr},
      {"spre", nullptr},

      // Files, formats and diagnostics.
      {"f", [](TEngineOptions& E, auto&, auto& V) { E.SetFormat(V); }},
      {"v", [](TEngineOptions& E, auto&, auto& V) { E.SetVerbosity(StrToInt(V)); }},
      {"target", [](TEngineOptions& E, auto&, auto& V) { E.SetTarget(V); }},
      {"map", [](TEngineOptions& E, auto&, auto& V) { E.AddStreamMap(V); }},
      {"map_meta_data", [](TEngineOptions& E, auto&, auto& V) { E.AddMetaDataMap(V); }},
      {"map_all_tags", [](TEngineOptions& E, auto&, auto& V) { E.AddAllTagsMap(V); }},
      {"map_chapters", [](TEngineOptions& E, auto&, auto& V) { E.AddChapterMap(V); }},
      {"programid", [](TEngineOptions& E, auto&, auto& V) { E.S.ProgramId = StrToInt(V); }},
      {"loop_input", [](TEngineOptions& E, auto&, auto&) { E.S.LoopInput = true; }},
      {"loop_output", [](TEngineOptions& E, auto&, auto& V) { E.S.LoopOutput = StrToInt(V); }},
      {"re", [](TEngineOptions& E, auto&, auto&) { E.S.RateEmulation = true; }},
      {"dump", [](TEngineOptions& E, auto&, auto&) { E.S.PacketDump = true; }},
      {"hex", [](TEngineOptions& E, auto&, auto&) { E.S.HexDump = true; }},
      {"xerror", [](TEngineOptions& E, auto&, auto&) { E.S.ExitOnError = true; }},
      {"pass", [](TEngineOptions& E, auto&, auto& V) { E.SetPass(StrToInt(V)); }},
      {"passlogfile", [](TEngineOptions& E, auto&, auto& V) { E.S.PassLogFilePrefix = V; }},
      {"psnr", [](TEngineOptions& E, auto&, auto&) { E.S.DoPsnr = true; }},
      {"qphist", [](TEngineOptions& E, auto&, auto&) { E.S.QpHistogram = true; }},
      {"vstats", [](TEngineOptions& E, auto&, auto&) { E.SetVStats(true); }},
      {"vstats_file", [](TEngineOptions& E, auto&, auto& V) { E.SetVStatsFile(V); }},

      // Timing, limits and synchronisation.
      {"t", [](TEngineOptions& E, auto& N, auto& V) { E.SetRecordingTime(N, V); }},
      {"ss", [](TEngineOptions& E, auto& N, auto& V) { E.SetStartTime(N, V); }},
      {"itsoffset", [](TEngineOptions& E, auto& N, auto& V) { E.SetInputTimeOffset(N, V); }},
      {"itsscale", [](TEngineOptions& E, auto&, auto& V) { E.SetInputTimeScale(V); }},
      {"timestamp", [](TEngineOptions& E, auto& N, auto& V) { E.SetRecordTimestamp(N, V); }},
      {"fs", [](TEngineOptions& E, auto&,
                auto& V) { E.S.FileSizeLimit = static_cast<std::uint64_t>(StrToInt64(V)); }},
      {"vframes", [](TEngineOptions& E, auto&, auto& V) { E.S.MaxFrames[0] = StrToInt(V); }},
      {"aframes", [](TEngineOptions& E, auto&, auto& V) { E.S.MaxFrames[1] = StrToInt(V); }},
      {"dframes", [](TEngineOptions& E, auto&, auto& V) { E.S.MaxFrames[2] = StrToInt(V); }},
      {"vsync", [](TEngineOptions& E, auto&, auto& V) { E.S.VideoSyncMethod = StrToInt(V); }},
      {"async", [](TEngineOptions& E, auto&, auto& V) { E.S.AudioSyncMethod = StrToInt(V); }},
      {"adrift_threshold",
       [](TEngineOptions& E, auto&, auto& V) { E.S.AudioDriftThreshold = StrToSingle(V); }},
      {"dts_delta_threshold",
       [](TEngineOptions& E, auto&, auto& V) { E.S.DtsDeltaThreshold = StrToSingle(V); }},
      {"copyts", [](TEngineOptions& E, auto&, auto&) { E.S.CopyTimestamps = true; }},
      {"shortest", [](TEngineOptions& E, auto&, auto&) { E.S.Shortest = true; }},
      {"isync", [](TEngineOptions& E, auto&, auto&) { E.S.InputSync = true; }},
      {"muxdelay", [](TEngineOptions& E, auto&, auto& V) { E.S.MuxMaxDelay = StrToSingle(V); }},
      {"muxpreload", [](TEngineOptions& E, auto&, auto& V) { E.S.MuxPreload = StrToSingle(V); }},

      // Metadata.
      {"title", [](TEngineOptions& E, auto&, auto& V) { E.SetTitle(V); }},
      {"author", [](TEngineOptions& E, auto&, auto& V) { E.SetAuthor(V); }},
      {"copyright", [](TEngineOptions& E, auto&, auto& V) { E.SetCopyright(V); }},
      {"comment", [](TEngineOptions& E, auto&, auto& V) { E.SetComment(V); }},
      {"genre", [](TEngineOptions& E, auto&, auto& V) { E.SetGenre(V); }},
      {"album", [](TEngineOptions& E, auto&, auto& V) { E.SetAlbum(V); }},

      // Video.
      {"b", [](TEngineOptions& E, auto& N, auto& V) { E.SetBitrateOption(N, V); }},
      {"vb", [](TEngineOptions& E, auto& N, auto& V) { E.SetBitrateOption(N, V); }},
      {"r", [](TEngineOptions& E, auto&, auto& V) { E.SetFrameRate(V); }},
      {"s", [](TEngineOptions& E, auto&, auto& V) { E.SetFrameSize(V); }},
      {"aspect", [](TEngineOptions& E, auto&, auto& V) { E.SetAspectRatio(V); }},
      {"pix_fmt", [](TEngineOptions& E, auto&, auto& V) { E.SetPixelFormat(V); }},
      {"croptop", [](TEngineOptions& E, auto&, auto& V) { E.SetCropTop(StrToInt(V)); }},
      {"cropbottom", [](TEngineOptions& E, auto&, auto& V) { E.SetCropBottom(StrToInt(V)); }},
      {"cropleft", [](TEngineOptions& E, auto&, auto& V) { E.SetCropLeft(StrToInt(V)); }},
      {"cropright", [](TEngineOptions& E, auto&, auto& V) { E.SetCropRight(StrToInt(V)); }},
      {"padtop", [](TEngineOptions& E, auto&, auto& V) { E.SetPadTop(StrToInt(V)); }},
      {"padbottom", [](TEngineOptions& E, auto&, auto& V) { E.SetPadBottom(StrToInt(V)); }},
      {"padleft", [](TEngineOptions& E, auto&, auto& V) { E.SetPadLeft(StrToInt(V)); }},
      {"padright", [](TEngineOptions& E, auto&, auto& V) { E.SetPadRight(StrToInt(V)); }},
      {"padcolor", [](TEngineOptions& E, auto&, auto& V) { E.SetPadColor(StrToInt(V)); }},
      {"vcodec", [](TEngineOptions& E, auto&, auto& V) { E.SetVideoCodec(V); }},
      {"vtag", [](TEngineOptions& E, auto&, auto& V) { E.SetVideoTag(V); }},
      {"vn", [](TEngineOptions& E, auto&, auto&) { E.S.VideoDisable = true; }},
      {"vdt", [](TEngineOptions& E, auto&, auto& V) { E.S.VideoDiscard = StrToInt(V); }},
      {"qscale", [](TEngineOptions& E, auto&, auto& V) { E.SetVideoQScale(StrToSingle(V)); }},
      {"sameq", [](TEngineOptions& E, auto&, auto&) { E.S.SameQuality = true; }},
      {"intra", [](TEngineOptions& E, auto&, auto&) { E.S.IntraOnly = true; }},
      {"rc_override", [](TEngineOptions& E, auto&, auto& V) { E.SetRcOverride(V); }},
      {"me_threshold",
       [](TEngineOptions& E, auto&, auto& V) { E.SetMotionThreshold(StrToInt(V)); }},
      {"dc", [](TEngineOptions& E, auto&, auto& V) { E.S.IntraDcPrecision = StrToInt(V); }},
      {"top", [](TEngineOptions& E, auto&, auto& V) { E.SetTopFieldFirst(StrToInt(V)); }},
      {"deinterlace", [](TEngineOptions& E, auto&, auto&) { E.S.Deinterlace = true; }},
      {"intra_matrix", [](TEngineOptions& E, auto&, auto& V) { E.SetIntraMatrix(V); }},
      {"inter_matrix", [](TEngineOptions& E, auto&, auto& V) { E.SetInterMatrix(V); }},
      {"vglobal", [](TEngineOptions& E, auto&, auto& V) { E.S.VideoGlobalHeader = StrToInt(V); }},
      {"vc", [](TEngineOptions& E, auto&, auto& V) { E.SetVideoChannel(StrToInt(V)); }},
      {"tvstd", [](TEngineOptions& E, auto&, auto& V) { E.SetVideoStandard(V); }},
      {"vhook", [](TEngineOptions& E, auto&, auto& V) { E.AddVideoHook(V); }},
      {"vfilters", [](TEngineOptions& E, auto&, auto& V) { E.SetVideoFilters(V); }},
      {"newvideo", [](TEngineOptions& E, auto&, auto&) { E.AddVideoStream(); }},

      // Audio.
      {"ab", [](TEngineOptions& E, auto& N, auto& V) { E.SetBitrateOption(N, V); }},
      {"ar", [](TEngineOptions& E, auto&, auto& V) { E.SetAudioSampleRate(StrToInt(V)); }},
      {"ac", [](TEngineOptions& E, auto&, auto& V) { E.SetAudioChannels(StrToInt(V)); }},
      {"acodec", [](TEngineOptions& E, auto&, auto& V) { E.SetAudioCodec(V); }},
      {"atag", [](TEngineOptions& E, auto&, auto& V) { E.SetAudioTag(V); }},
      {"an", [](TEngineOptions& E, auto&, auto&) { E.S.AudioDisable = true; }},
      {"aq", [](TEngineOptions& E, auto&, auto& V) { E.S.AudioQScale = StrToSingle(V); }},
      {"vol", [](TEngineOptions& E, auto&, auto& V) { E.S.AudioVolume = StrToInt(V); }},
      {"alang", [](TEngineOptions& E, auto&, auto& V) { E.S.AudioLanguage = V; }},
      {"sample_fmt", [](TEngineOptions& E, auto&, auto& V) { E.SetSampleFormat(V); }},
      {"newaudio", [](TEngineOptions& E, auto&, auto&) { E.AddAudioStream(); }},

      // Subtitles and bitstream filters.
      {"scodec", [](TEngineOptions& E, auto&, auto& V) { E.SetSubtitleCodec(V); }},
      {"sn", [](TEngineOptions& E, auto&, auto&) { E.S.SubtitleDisable = true; }},
      {"slang", [](TEngineOptions& E, auto&, auto& V) { E.S.SubtitleLanguage = V; }},
      {"newsubtitle", [](TEngineOptions& E, auto&, auto&) { E.AddSubtitleStream(); }},
      {"absf", [](TEngineOptions& E, auto& N, auto& V) { E.AddBitstreamFilter(N, V); }},
      {"vbsf", [](TEngineOptions& E, auto& N, auto& V) { E.AddBitstreamFilter(N, V); }},
      {"sbsf", [](TEngineOptions& E, auto& N, auto& V) { E.AddBitstreamFilter(N, V); }},
  };
  return handlers;
}

bool TEngineOptions::InVocabulary(const std::string& Name) {
  return Handlers().contains(Name);
}

bool TEngineOptions::KnowsOption(const std::string& Name) const {
  return InVocabulary(Name) || KnowsCodecOption(Name);
}

void TEngineOptions::SetOption(const std::string& Name, const std::string& Value) {
  if (Name == "threads") throw FFMpegException("TODO: option - " + Name);
  const auto& handlers = Handlers();
  const auto handler = handlers.find(Name);
  if (handler == handlers.end()) {
    SetLibraryOption(Name, Value);
  } else if (handler->second) {
    handler->second(*this, Name, Value);
  } else if (Logging()) {
    Log(1, "Do nothing: option - " + Name);
  }
}
