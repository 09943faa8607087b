// Creating output files: the checks on crop, pad and filters, the format, the stream
// types the file gets, the metadata, and the file itself.
#include <algorithm>
#include <cerrno>
#include <ctime>
#include <filesystem>

#include "binding/MyUtils.h"
#include "engine/CoverPictures.h"
#include "engine/FFmpeg.h"
#include "engine/job/JobSetup.h"
#include "engine/options/LibraryOptions.h"

namespace {

// True when an item of the filter text is one of the filters that change the frame size.
bool NamesResizingFilter(const std::string& filters) {
  std::string rest = LowerCase(filters);
  while (!rest.empty()) {
    std::string item, name;
    SplitFirst(rest, ",", true, item);
    SplitFirst(item, "=", false, name);
    if (std::string(",crop,rotate,scale,transpose,").find("," + name + ",") != std::string::npos)
      return true;
  }
  return false;
}

void SetMetadata(AVDictionary** metadata, const char* key, const std::string& value,
                 std::size_t limit) {
  if (!value.empty()) lib::av_dict_set(metadata, key, value.substr(0, limit - 1).c_str(), 0);
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

bool TJobSetup::OpenOutput(const std::string& FileName, std::string& ErrorText) {
  bool opened = false;
  try {
    CreateOutputFile(FileName);
    opened = true;
  } catch (const FFMpegException& failure) {
    ErrorText = failure.what();
    // The streams prepared for the refused file go with it.
    if (P.NbOutputFiles < kMaxFiles) P.OutputStreams[P.NbOutputFiles].clear();
  }
  S.ForcedOutputFormat = nullptr;
  S.ForcedInputFormat = nullptr;
  S.OutputNameBase.clear();
  S.OutputWithoutFile = false;
  S.VideoEncoderOptions.clear();
  // What was given for this output is no input's parameter.
  S.GivenInputParameters = {};
  return opened;
}

namespace {

// What holds a local output's bytes until it is complete; none for URLs and for outputs
// without a file.
struct TOutputTarget {
  std::unique_ptr<TOutputByteStream> ByteStream;
  std::unique_ptr<TOutputPlacement> Placement;
};

[[noreturn]] void OpenFailure(const std::string& FileName, const std::string& reason) {
  throw FFMpegException(StringFormat("Could not open '%s': %s", FileName.c_str(), reason.c_str()));
}

void SetFileMetadata(AVDictionary** metadata, const TEngineSettings& s) {
  if (s.RecordTimestamp != 0) {
    const std::time_t stamp = static_cast<std::time_t>(s.RecordTimestamp);
    char text[32];
    std::tm utc{};
    gmtime_r(&stamp, &utc);
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S.000000Z", &utc);
    lib::av_dict_set(metadata, "creation_time", text, 0);
  }
  SetMetadata(metadata, "title", s.Title, 512);
  SetMetadata(metadata, "artist", s.Author, 512);
  SetMetadata(metadata, "copyright", s.Copyright, 512);
  SetMetadata(metadata, "comment", s.Comment, 512);
  SetMetadata(metadata, "album", s.Album, 512);
  if (s.Year > 0) lib::av_dict_set_int(metadata, "date", s.Year, 0);
  if (s.Track > 0) lib::av_dict_set_int(metadata, "track", s.Track, 0);
  SetMetadata(metadata, "genre", s.Genre, 32);
}

constexpr char kNetworkOutputProtocols[] =
    "http,https,tcp,tls,udp,udplite,rtp,rtmp,rtmps,rtmpt,rtmpts,srt,ftp,sftp,icecast,rist";

// Where the muxer writes: nothing for an output without a file, the name for muxers that
// open their own files, the URL, or a temporary beside the local file's name.
TOutputTarget OpenOutputTarget(AVFormatContext* output, const std::string& FileName,
                               const TEngineSettings& s) {
  const AVOutputFormat* format = output->oformat;
  if ((format->flags & AVFMT_NEEDNUMBER) && !lib::av_filename_number_test(FileName.c_str()))
    throw FFMpegException(OpenErrorText(FileName, AVERROR(EDOM)));
  TOutputTarget target;
  if (s.OutputWithoutFile) {
    // Set up to see that it can be, not written: nothing on disk.
  } else if (format->flags & AVFMT_NOFILE) {
    // Such muxers open their files by the context's name: it must name a local file too.
    if (!IsUrl(FileName)) {
      lib::av_free(output->url);
      output->url = lib::av_strdup(LibraryUrlOf(FileName).c_str());
    }
  } else if (IsUrl(FileName)) {
    // An address goes over the network only: "file://" and protocols nesting others would
    // write a local file by create-or-truncate, past the exclusive creation below.
    TDictionary options;
    lib::av_dict_set(options.Address(), "protocol_whitelist", kNetworkOutputProtocols, 0);
    const int result =
        lib::avio_open2(&output->pb, FileName.c_str(), AVIO_FLAG_WRITE, nullptr, options.Address());
    if (result < 0) OpenFailure(FileName, ErrorReason(result));
  } else {
    // What a run killed before it could clean up left here goes first.
    RemoveStaleTemporariesOnce(FolderOf(FileName));
    target.Placement = std::make_unique<TOutputPlacement>();
    const int descriptor = target.Placement->Create(FileName, s.OutputNameBase);
    if (descriptor < 0) OpenFailure(FileName, SystemReason(-descriptor));
    int errorNumber = 0;
    target.ByteStream = TOutputByteStream::Adopt(descriptor, errorNumber);
    if (!target.ByteStream) OpenFailure(FileName, SystemReason(errorNumber));
    output->pb = target.ByteStream->Context();
    output->flags |= AVFMT_FLAG_CUSTOM_IO;
  }
  return target;
}

}  // namespace

void TJobSetup::CheckOutputFileRequest(const std::string& FileName) {
  const TEngineSettings& s = S;
  if (!s.VideoFilters.empty() && s.CropTop + s.CropBottom + s.CropLeft + s.CropRight != 0)
    throw FFMpegException("Cannot enable crop options and filters at the same time.");
  if (NamesResizingFilter(s.VideoFilters) && s.PadTop + s.PadBottom + s.PadLeft + s.PadRight != 0)
    throw FFMpegException(
        "Cannot enable pad options and the filters which resize frame at the same time. "
        "(crop, rotate, scale, transpose, etc.)");
  if (P.NbOutputFiles >= kMaxFiles)
    throw FFMpegException(
        StringFormat("Too many output files: at most %d can be created", kMaxFiles));
  // An input is never overwritten, whatever name or link leads to it.
  if (P.NamesAnInput(FileName))
    throw FFMpegException(StringFormat("Output file '%s' is also an input file", FileName.c_str()));
}

std::array<bool, 3> TJobSetup::OutputStreamTypes(const AVOutputFormat* Format) {
  const TEngineSettings& s = S;
  bool useVideo =
      Format->video_codec != AV_CODEC_ID_NONE || s.VideoStreamCopy || !s.VideoCodecName.empty();
  bool useAudio =
      Format->audio_codec != AV_CODEC_ID_NONE || s.AudioStreamCopy || !s.AudioCodecName.empty();
  bool useSubtitle = Format->subtitle_codec != AV_CODEC_ID_NONE || s.SubtitleStreamCopy ||
                     !s.SubtitleCodecName.empty();
  bool soundMissing = false;
  bool picturesMissing = false;  // asked of the inputs, which have none
  if (P.NbInputFiles > 0) {
    bool inputVideo, inputAudio, inputSubtitle;
    try {
      P.CheckInputStreamTypes(inputVideo, inputAudio, inputSubtitle);
    } catch (const std::exception& failure) {
      throw FFMpegException(StringFormat("check_audio_video_sub_inputs fail: %s", failure.what()));
    }
    soundMissing = useAudio && !s.AudioDisable && !inputAudio;
    picturesMissing = useVideo && !s.VideoDisable && !inputVideo;
    useVideo &= inputVideo;
    useAudio &= inputAudio;
    useSubtitle &= inputSubtitle;
  }
  useVideo &= !s.VideoDisable;
  useAudio &= !s.AudioDisable;
  useSubtitle &= !s.SubtitleDisable;
  // The disable flags speak for this file only, also where they dropped a stream type.
  S.VideoDisable = S.AudioDisable = S.SubtitleDisable = false;
  // Sound asked of inputs that have none (video into an audio format, a file of tags alone)
  // would leave the file without any stream: said now, before the file is made.
  if (soundMissing && !useVideo && !useAudio && !useSubtitle)
    throw FFMpegException(StringFormat(picturesMissing
                                           ? "%s: the input has neither pictures nor sound"
                                           : "%s: the input has no sound",
                                       P.InputFiles[0]->url));
  return {useVideo, useAudio, useSubtitle};
}

void TJobSetup::CreateOutputStreams(AVFormatContext* Output, const std::array<bool, 3>& Types) {
  // In the order of Types; a failure names the creator of its type.
  constexpr AVMediaType kTypes[] = {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO, AVMEDIA_TYPE_SUBTITLE};
  constexpr const char* kFailures[] = {"new_video_stream fail: %s", "new_audio_stream fail: %s",
                                       "new_subtitle_stream fail: %s"};
  for (std::size_t i = 0; i < Types.size(); ++i) {
    if (!Types[i]) continue;
    try {
      NewOutputStream(Output, kTypes[i]);
    } catch (const std::exception& failure) {
      throw FFMpegException(StringFormat(kFailures[i], failure.what()));
    }
  }
}

void TJobSetup::SetUpMuxer(AVFormatContext* Output, const std::string& FileName,
                           const TOutputByteStream* ByteStream, const TOutputPlacement* Placement) {
  const TEngineSettings& s = S;
  // Muxers that know these options take them; the others have nothing to set.
  lib::av_opt_set_int(Output, "preload", static_cast<std::int64_t>(s.MuxPreload * 1000000),
                      AV_OPT_SEARCH_CHILDREN);
  Output->max_delay = static_cast<int>(s.MuxMaxDelay * 1000000);
  if (s.LoopOutput >= 0) lib::av_opt_set_int(Output, "loop", s.LoopOutput, AV_OPT_SEARCH_CHILDREN);
  L.ApplyRecorded(Output, L.FormatContext.get(), AV_OPT_FLAG_ENCODING_PARAM);
  // Files a muxer makes beside the output are created like the output, or not at all.
  if (const std::string unsafe = UnsafeMuxerReason(Output, !IsUrl(FileName)); !unsafe.empty())
    OpenFailure(FileName, unsafe);
  if (!IsUrl(FileName) && !s.OutputWithoutFile)
    if (const int failed =
            P.SideFiles.AddOutput(FileName, ByteStream ? ByteStream->Identity() : TFileIdentity{},
                                  Placement ? Placement->TemporaryPath() : std::string()))
      OpenFailure(FileName, SystemReason(failed));
  TSideFiles::Attach(Output);
}

void TJobSetup::CreateOutputFile(const std::string& FileName) {
  CheckOutputFileRequest(FileName);
  S.UseFilterGraph = !S.VideoFilters.empty();

  AVFormatContext* raw = nullptr;
  lib::avformat_alloc_output_context2(&raw, S.ForcedOutputFormat, nullptr, FileName.c_str());
  if (!raw)
    throw FFMpegException(
        StringFormat("Unable to find a suitable output format for '%s'", FileName.c_str()));
  TOutputFormatContextPtr output(raw);
  E.MarkLogOwner(raw->opaque);
  const int row = P.NbOutputFiles;
  P.OutputStreams[row].clear();

  CreateOutputStreams(output.get(), OutputStreamTypes(output->oformat));
  SetFileMetadata(&output->metadata, S);
  TOutputTarget target = OpenOutputTarget(output.get(), FileName, S);
  SetUpMuxer(output.get(), FileName, target.ByteStream.get(), target.Placement.get());

  P.OutputFiles[row] = std::move(output);
  P.OutputByteStreams[row] = std::move(target.ByteStream);
  P.OutputPlacements[row] = std::move(target.Placement);
  P.OutputWritten[row] = {};
  ++P.NbOutputFiles;
}
