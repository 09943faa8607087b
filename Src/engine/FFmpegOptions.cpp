// The option vocabulary: each option name and what it does.
#include <string_view>
#include <unordered_map>

#include "binding/ValueConversion.h"
#include "engine/FFmpeg.h"

// The vocabulary: a member's static table, so that its handlers reach the settings.
const std::unordered_map<std::string_view, TCustomFFmpeg::TOptionHandler>&
TCustomFFmpeg::OptionHandlers() {
  using THandler = TOptionHandler;
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
      {"f", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetFormat(V); }},
      {"v", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetVerbosity(StrToInt(V)); }},
      {"target", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetTarget(V); }},
      {"map", [](TCustomFFmpeg& E, auto&, auto& V) { E.AddStreamMap(V); }},
      {"map_meta_data", [](TCustomFFmpeg& E, auto&, auto& V) { E.AddMetaDataMap(V); }},
      {"map_all_tags", [](TCustomFFmpeg& E, auto&, auto& V) { E.AddAllTagsMap(V); }},
      {"map_chapters", [](TCustomFFmpeg& E, auto&, auto& V) { E.AddChapterMap(V); }},
      {"programid", [](TCustomFFmpeg& E, auto&, auto& V) { E.FSettings.ProgramId = StrToInt(V); }},
      {"loop_input", [](TCustomFFmpeg& E, auto&, auto&) { E.FSettings.LoopInput = true; }},
      {"loop_output",
       [](TCustomFFmpeg& E, auto&, auto& V) { E.FSettings.LoopOutput = StrToInt(V); }},
      {"re", [](TCustomFFmpeg& E, auto&, auto&) { E.FSettings.RateEmulation = true; }},
      {"dump", [](TCustomFFmpeg& E, auto&, auto&) { E.FSettings.PacketDump = true; }},
      {"hex", [](TCustomFFmpeg& E, auto&, auto&) { E.FSettings.HexDump = true; }},
      {"xerror", [](TCustomFFmpeg& E, auto&, auto&) { E.FSettings.ExitOnError = true; }},
      {"pass", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetPass(StrToInt(V)); }},
      {"passlogfile", [](TCustomFFmpeg& E, auto&, auto& V) { E.FSettings.PassLogFilePrefix = V; }},
      {"psnr", [](TCustomFFmpeg& E, auto&, auto&) { E.FSettings.DoPsnr = true; }},
      {"qphist", [](TCustomFFmpeg& E, auto&, auto&) { E.FSettings.QpHistogram = true; }},
      {"vstats", [](TCustomFFmpeg& E, auto&, auto&) { E.SetVStats(true); }},
      {"vstats_file", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetVStatsFile(V); }},

      // Timing, limits and synchronisation.
      {"t", [](TCustomFFmpeg& E, auto& N, auto& V) { E.SetRecordingTime(N, V); }},
      {"ss", [](TCustomFFmpeg& E, auto& N, auto& V) { E.SetStartTime(N, V); }},
      {"itsoffset", [](TCustomFFmpeg& E, auto& N, auto& V) { E.SetInputTimeOffset(N, V); }},
      {"itsscale", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetInputTimeScale(V); }},
      {"timestamp", [](TCustomFFmpeg& E, auto& N, auto& V) { E.SetRecordTimestamp(N, V); }},
      {"fs",
       [](TCustomFFmpeg& E, auto&, auto& V) {
         E.FSettings.FileSizeLimit = static_cast<std::uint64_t>(StrToInt64(V));
       }},
      {"vframes", [](TCustomFFmpeg& E, auto&, auto& V) { E.FSettings.MaxFrames[0] = StrToInt(V); }},
      {"aframes", [](TCustomFFmpeg& E, auto&, auto& V) { E.FSettings.MaxFrames[1] = StrToInt(V); }},
      {"dframes", [](TCustomFFmpeg& E, auto&, auto& V) { E.FSettings.MaxFrames[2] = StrToInt(V); }},
      {"vsync",
       [](TCustomFFmpeg& E, auto&, auto& V) { E.FSettings.VideoSyncMethod = StrToInt(V); }},
      {"async",
       [](TCustomFFmpeg& E, auto&, auto& V) { E.FSettings.AudioSyncMethod = StrToInt(V); }},
      {"adrift_threshold",
       [](TCustomFFmpeg& E, auto&, auto& V) { E.FSettings.AudioDriftThreshold = StrToSingle(V); }},
      {"dts_delta_threshold",
       [](TCustomFFmpeg& E, auto&, auto& V) { E.FSettings.DtsDeltaThreshold = StrToSingle(V); }},
      {"copyts", [](TCustomFFmpeg& E, auto&, auto&) { E.FSettings.CopyTimestamps = true; }},
      {"shortest", [](TCustomFFmpeg& E, auto&, auto&) { E.FSettings.Shortest = true; }},
      {"isync", [](TCustomFFmpeg& E, auto&, auto&) { E.FSettings.InputSync = true; }},
      {"muxdelay",
       [](TCustomFFmpeg& E, auto&, auto& V) { E.FSettings.MuxMaxDelay = StrToSingle(V); }},
      {"muxpreload",
       [](TCustomFFmpeg& E, auto&, auto& V) { E.FSettings.MuxPreload = StrToSingle(V); }},

      // Metadata.
      {"title", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetTitle(V); }},
      {"author", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetAuthor(V); }},
      {"copyright", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetCopyright(V); }},
      {"comment", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetComment(V); }},
      {"genre", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetGenre(V); }},
      {"album", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetAlbum(V); }},

      // Video.
      {"b", [](TCustomFFmpeg& E, auto& N, auto& V) { E.SetBitrateOption(N, V); }},
      {"vb", [](TCustomFFmpeg& E, auto& N, auto& V) { E.SetBitrateOption(N, V); }},
      {"r", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetFrameRate(V); }},
      {"s", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetFrameSize(V); }},
      {"aspect", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetAspectRatio(V); }},
      {"pix_fmt", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetPixelFormat(V); }},
      {"croptop", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetCropTop(StrToInt(V)); }},
      {"cropbottom", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetCropBottom(StrToInt(V)); }},
      {"cropleft", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetCropLeft(StrToInt(V)); }},
      {"cropright", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetCropRight(StrToInt(V)); }},
      {"padtop", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetPadTop(StrToInt(V)); }},
      {"padbottom", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetPadBottom(StrToInt(V)); }},
      {"padleft", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetPadLeft(StrToInt(V)); }},
      {"padright", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetPadRight(StrToInt(V)); }},
      {"padcolor", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetPadColor(StrToInt(V)); }},
      {"vcodec", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetVideoCodec(V); }},
      {"vtag", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetVideoTag(V); }},
      {"vn", [](TCustomFFmpeg& E, auto&, auto&) { E.FSettings.VideoDisable = true; }},
      {"vdt", [](TCustomFFmpeg& E, auto&, auto& V) { E.FSettings.VideoDiscard = StrToInt(V); }},
      {"qscale", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetVideoQScale(StrToSingle(V)); }},
      {"sameq", [](TCustomFFmpeg& E, auto&, auto&) { E.FSettings.SameQuality = true; }},
      {"intra", [](TCustomFFmpeg& E, auto&, auto&) { E.FSettings.IntraOnly = true; }},
      {"rc_override", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetRcOverride(V); }},
      {"me_threshold", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetMotionThreshold(StrToInt(V)); }},
      {"dc", [](TCustomFFmpeg& E, auto&, auto& V) { E.FSettings.IntraDcPrecision = StrToInt(V); }},
      {"top", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetTopFieldFirst(StrToInt(V)); }},
      {"deinterlace", [](TCustomFFmpeg& E, auto&, auto&) { E.FSettings.Deinterlace = true; }},
      {"intra_matrix", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetIntraMatrix(V); }},
      {"inter_matrix", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetInterMatrix(V); }},
      {"vglobal",
       [](TCustomFFmpeg& E, auto&, auto& V) { E.FSettings.VideoGlobalHeader = StrToInt(V); }},
      {"vc", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetVideoChannel(StrToInt(V)); }},
      {"tvstd", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetVideoStandard(V); }},
      {"vhook", [](TCustomFFmpeg& E, auto&, auto& V) { E.AddVideoHook(V); }},
      {"vfilters", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetVideoFilters(V); }},
      {"newvideo", [](TCustomFFmpeg& E, auto&, auto&) { E.AddVideoStream(); }},

      // Audio.
      {"ab", [](TCustomFFmpeg& E, auto& N, auto& V) { E.SetBitrateOption(N, V); }},
      {"ar", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetAudioSampleRate(StrToInt(V)); }},
      {"ac", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetAudioChannels(StrToInt(V)); }},
      {"acodec", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetAudioCodec(V); }},
      {"atag", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetAudioTag(V); }},
      {"an", [](TCustomFFmpeg& E, auto&, auto&) { E.FSettings.AudioDisable = true; }},
      {"aq", [](TCustomFFmpeg& E, auto&, auto& V) { E.FSettings.AudioQScale = StrToSingle(V); }},
      {"vol", [](TCustomFFmpeg& E, auto&, auto& V) { E.FSettings.AudioVolume = StrToInt(V); }},
      {"alang", [](TCustomFFmpeg& E, auto&, auto& V) { E.FSettings.AudioLanguage = V; }},
      {"sample_fmt", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetSampleFormat(V); }},
      {"newaudio", [](TCustomFFmpeg& E, auto&, auto&) { E.AddAudioStream(); }},

      // Subtitles and bitstream filters.
      {"scodec", [](TCustomFFmpeg& E, auto&, auto& V) { E.SetSubtitleCodec(V); }},
      {"sn", [](TCustomFFmpeg& E, auto&, auto&) { E.FSettings.SubtitleDisable = true; }},
      {"slang", [](TCustomFFmpeg& E, auto&, auto& V) { E.FSettings.SubtitleLanguage = V; }},
      {"newsubtitle", [](TCustomFFmpeg& E, auto&, auto&) { E.AddSubtitleStream(); }},
      {"absf", [](TCustomFFmpeg& E, auto& N, auto& V) { E.AddBitstreamFilter(N, V); }},
      {"vbsf", [](TCustomFFmpeg& E, auto& N, auto& V) { E.AddBitstreamFilter(N, V); }},
      {"sbsf", [](TCustomFFmpeg& E, auto& N, auto& V) { E.AddBitstreamFilter(N, V); }},
  };
  return handlers;
}

bool TCustomFFmpeg::KnowsOption(const std::string& Name) const {
  return OptionHandlers().contains(Name) || KnowsCodecOption(Name);
}

void TCustomFFmpeg::SetOption(const std::string& Name, const std::string& Value) {
  if (Name == "threads") throw FFMpegException("TODO: option - " + Name);
  const auto& handlers = OptionHandlers();
  const auto handler = handlers.find(Name);
  if (handler == handlers.end()) {
    SetLibraryOption(Name, Value);
  } else if (handler->second) {
    handler->second(*this, Name, Value);
  } else if (Logging()) {
    Log(1, "Do nothing: option - " + Name);
  }
}
