// The transcode set-up: working tables, stream mapping, codec parameters, two-pass logs,
// codec opening, metadata maps and headers.
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "binding/MyUtils.h"
#include "engine/CoverPictures.h"
#include "engine/Transcoder.h"

namespace {

bool Lower(AVRational a, AVRational b) {
  return RationalToDouble(a) < RationalToDouble(b);
}

// Parameter copies only fail for want of memory; the stream is named all the same.
void CheckParameterCopy(int result, const char* what, int file, int stream) {
  if (result < 0)
    throw FFMpegException(StringFormat("Could not copy the %s parameters of stream #%d.%d: %s",
                                       what, file, stream, ErrorReason(result).c_str()));
}

// What the decoder learnt of its pictures while the file was probed: a stream that gave no
// picture then has no size or no pixel format.
bool KnowsItsPictures(const AVCodecContext* decoder) {
  return decoder->width > 0 && decoder->height > 0 && decoder->pix_fmt != AV_PIX_FMT_NONE;
}

// An attached file goes out with the header; every other stream is fed packets.
bool IsWrittenStream(const AVStream* stream) {
  return stream->codecpar->codec_type != AVMEDIA_TYPE_ATTACHMENT;
}

std::string StreamLanguage(const AVStream* stream) {
  const AVDictionaryEntry* entry = lib::av_dict_get(stream->metadata, "language", nullptr, 0);
  return entry ? entry->value : "";
}

// Copied pictures keep the coded orientation: the request to show them turned goes along,
// for the containers that can hold it.
void CopyDisplayMatrix(const AVStream* from, AVStream* to) {
  std::size_t size = 0;
  const std::uint8_t* matrix = lib::av_stream_get_side_data(from, AV_PKT_DATA_DISPLAYMATRIX, &size);
  if (!matrix) return;
  std::uint8_t* copy = lib::av_stream_new_side_data(to, AV_PKT_DATA_DISPLAYMATRIX, size);
  if (!copy) throw FFMpegException("av_mallocz fail: " + ErrorReason(AVERROR(ENOMEM)));
  std::memcpy(copy, matrix, size);
}

}  // namespace

TTranscoder::TTranscoder(TCustomFFmpeg& Engine, const TJobTables& Tables)
    : E(Engine), J(Tables), S(Tables.Settings) {}

void TTranscoder::BuildInputTables() {
  int total = 0;
  for (int i = 0; i < E.InputFileCount(); ++i) {
    AVFormatContext* file = E.InputFile(i);
    InputFiles.push_back({false, total, static_cast<int>(file->nb_streams)});
    for (unsigned j = 0; j < file->nb_streams; ++j) {
      TInputStream input;
      input.FileIndex = i;
      input.StreamIndex = static_cast<int>(j);
      input.Stream = file->streams[j];
      input.Decoder = J.InputStreamCodecs[i][j].get();
      input.RateEmulation = J.InputFilesRateEmulation[i];
      if (input.RateEmulation) input.Start = lib::av_gettime();
      if (input.Stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
        input.Rotation = UprightRotation(input.Stream);
        if (input.Rotation) input.Turner = std::make_unique<TPictureTurner>(input.Rotation, &E);
      }
      InputStreams.push_back(std::move(input));
    }
    total += static_cast<int>(file->nb_streams);
  }
}

TInputStream* TTranscoder::FindSource(const TOutputStream& Output, int MapIndex) {
  const AVMediaType type = Output.Encoder()->codec_type;
  const TOutputStreamSetup& setup = *Output.Setup;
  if (setup.CoverFile >= 0 && MapIndex < 0)
    return &InputStreams[InputFiles[setup.CoverFile].FirstStreamIndex + setup.CoverStream];
  if (MapIndex >= 0) {
    const TStreamMap& map = J.StreamMaps[MapIndex];
    TInputStream& source =
        InputStreams[InputFiles[map.FileIndex].FirstStreamIndex + map.StreamIndex];
    if (source.Decoder->codec_type != type) {
      lib::av_dump_format(Output.File, Output.FileIndex, Output.File->url, 1);
      throw FFMpegException(StringFormat("Codec type mismatch for mapping #%d.%d -> #%d.%d",
                                         map.FileIndex, map.StreamIndex, Output.FileIndex,
                                         Output.StreamIndex));
    }
    return &source;
  }
  if (type == AVMEDIA_TYPE_AUDIO && S.AudioSourceFile >= 0 &&
      S.AudioSourceFile < E.InputFileCount() && S.AudioSourceStream >= 0 &&
      S.AudioSourceStream < InputFiles[S.AudioSourceFile].StreamCount) {
    TInputStream& chosen =
        InputStreams[InputFiles[S.AudioSourceFile].FirstStreamIndex + S.AudioSourceStream];
    if (chosen.Discard && chosen.Decoder->codec_type == type && !IsCoverPicture(chosen.Stream))
      return &chosen;
  }
  if (S.ProgramId != 0) {
    for (int i = 0; i < E.InputFileCount(); ++i) {
      const AVFormatContext* file = E.InputFile(i);
      for (unsigned p = 0; p < file->nb_programs; ++p) {
        const AVProgram* program = file->programs[p];
        if (program->id != S.ProgramId) continue;
        for (unsigned k = 0; k < program->nb_stream_indexes; ++k) {
          TInputStream& candidate =
              InputStreams[InputFiles[i].FirstStreamIndex + program->stream_index[k]];
          if (candidate.Discard && candidate.Decoder->codec_type == type &&
              !IsCoverPicture(candidate.Stream))
            return &candidate;
        }
      }
    }
    return nullptr;
  }
  // A cover picture only serves as a cover.
  const auto serves = [type](const TInputStream& candidate) {
    return candidate.Decoder->codec_type == type && !IsCoverPicture(candidate.Stream);
  };
  for (TInputStream& candidate : InputStreams)
    if (candidate.Discard && serves(candidate)) return &candidate;
  // Streams may feed several outputs: the last one of the type serves again.
  for (auto candidate = InputStreams.rbegin(); candidate != InputStreams.rend(); ++candidate)
    if (serves(*candidate)) return &*candidate;
  return nullptr;
}

void TTranscoder::BuildOutputTables() {
  int count = 0;
  for (int i = 0; i < E.OutputFileCount(); ++i) {
    if (E.OutputFile(i)->nb_streams == 0)
      throw FFMpegException("Output file does not contain any stream");
    const AVFormatContext* file = E.OutputFile(i);
    count += static_cast<int>(
        std::count_if(file->streams, file->streams + file->nb_streams, IsWrittenStream));
  }
  if (J.NbStreamMaps > 0 && J.NbStreamMaps != count)
    throw FFMpegException("Number of stream maps must match number of output streams");
  for (int m = 0; m < J.NbStreamMaps; ++m) {
    const TStreamMap& map = J.StreamMaps[m];
    const auto exists = [this](int file, int stream) {
      return file >= 0 && file < E.InputFileCount() && stream >= 0 &&
             stream < static_cast<int>(E.InputFile(file)->nb_streams);
    };
    if (!exists(map.FileIndex, map.StreamIndex))
      throw FFMpegException(
          StringFormat("Could not find input stream #%d.%d", map.FileIndex, map.StreamIndex));
    if (!exists(map.SyncFileIndex, map.SyncStreamIndex))
      throw FFMpegException(StringFormat("Could not find sync stream #%d.%d", map.SyncFileIndex,
                                         map.SyncStreamIndex));
  }

  for (int i = 0; i < E.OutputFileCount(); ++i) {
    AVFormatContext* file = E.OutputFile(i);
    for (unsigned j = 0; j < file->nb_streams; ++j) {
      if (!IsWrittenStream(file->streams[j])) continue;
      auto output = std::make_unique<TOutputStream>();
      output->FileIndex = i;
      output->StreamIndex = static_cast<int>(j);
      output->File = file;
      output->Stream = file->streams[j];
      output->Setup = &J.OutputStreams[i][j];
      const int mapIndex = J.NbStreamMaps > 0 ? static_cast<int>(OutputStreams.size()) : -1;
      TInputStream* source = FindSource(*output, mapIndex);
      if (!source) {
        lib::av_dump_format(file, i, file->url, 1);
        throw FFMpegException(StringFormat(
            "Could not find input stream matching output stream #%d.%d", i, static_cast<int>(j)));
      }
      source->Discard = false;
      output->SourceIndex = static_cast<int>(source - InputStreams.data());
      output->SyncInput = source;
      if (mapIndex >= 0) {
        const TStreamMap& map = J.StreamMaps[mapIndex];
        output->SyncInput =
            &InputStreams[InputFiles[map.SyncFileIndex].FirstStreamIndex + map.SyncStreamIndex];
      }
      OutputStreams.push_back(std::move(output));
    }
  }
}

void TTranscoder::PrepareStreamCopy(TOutputStream& Output, TInputStream& Input) {
  AVCodecParameters* parameters = Output.Stream->codecpar;
  const AVCodecParameters* source = Input.Stream->codecpar;
  const std::uint32_t forcedTag = Output.Encoder()->codec_tag;
  const AVRational aspect = Output.Stream->sample_aspect_ratio;
  CheckParameterCopy(lib::avcodec_parameters_copy(parameters, source), "copied", Output.FileIndex,
                     Output.StreamIndex);
  // Keep the source's tag only where the output format agrees with it.
  const AVCodecTag* const* tags = Output.File->oformat->codec_tag;
  if (forcedTag) {
    parameters->codec_tag = forcedTag;
  } else if (!tags || lib::av_codec_get_id(tags, source->codec_tag) == source->codec_id ||
             lib::av_codec_get_tag(tags, source->codec_id) <= 0) {
    parameters->codec_tag = source->codec_tag;
  } else {
    parameters->codec_tag = 0;
  }
  const AVRational decoderBase = Input.Decoder->time_base;
  Output.Stream->time_base = decoderBase.num && Lower(Input.Stream->time_base, decoderBase) &&
                                     RationalToDouble(Input.Stream->time_base) < 1.0 / 1000
                                 ? decoderBase
                                 : Input.Stream->time_base;
  switch (source->codec_type) {
    case AVMEDIA_TYPE_AUDIO:
      if (S.AudioVolume != 256)
        throw FFMpegException("-acodec copy and -vol are incompatible (frames are not decoded)");
      if ((parameters->block_align == 1 && parameters->codec_id == AV_CODEC_ID_MP3) ||
          parameters->codec_id == AV_CODEC_ID_AC3)
        parameters->block_align = 0;
      break;
    case AVMEDIA_TYPE_VIDEO:
      // A cover is one picture, shown as it is: no hook sees it.
      if (Output.Setup->CoverFile >= 0) break;
      if (E.OnCustomHook)
        throw FFMpegException(
            "-vcodec copy and CustomHook are incompatible (frames are not decoded)");
      if (S.UsingFrameHooks)
        throw FFMpegException("-vcodec copy and -vhook are incompatible (frames are not decoded)");
      if (aspect.num) parameters->sample_aspect_ratio = aspect;
      CopyDisplayMatrix(Input.Stream, Output.Stream);
      break;
    case AVMEDIA_TYPE_SUBTITLE:
      break;
    default:
      throw FFMpegException("invalid codec_type of output stream");
  }
}

void TTranscoder::PrepareVideoEncoding(TOutputStream& Output, TInputStream& Input) {
  const AVCodecContext* decoder = Input.Decoder;
  AVCodecContext* encoder = Output.Encoder();
  // A size or format of none would reach the encoder or the filters; the scaler instead is
  // made for the first picture that decodes.
  const bool knowsPictures = KnowsItsPictures(decoder);
  if (encoder->width <= 0 || encoder->height <= 0 || encoder->pix_fmt == AV_PIX_FMT_NONE ||
      (!knowsPictures && S.UseFilterGraph))
    throw FFMpegException(StringFormat("no picture could be decoded from stream #%d:%d",
                                       Input.FileIndex, Input.StreamIndex));
  Output.VideoCrop = S.CropTop || S.CropBottom || S.CropLeft || S.CropRight;
  Output.VideoPad = S.PadTop || S.PadBottom || S.PadLeft || S.PadRight;
  Output.CropTop = S.CropTop;
  Output.CropLeft = S.CropLeft;
  Output.PadTop = S.PadTop;
  Output.PadBottom = S.PadBottom;
  Output.PadLeft = S.PadLeft;
  Output.PadRight = S.PadRight;
  // Pictures reach the output upright.
  const int sourceWidth = Input.UprightWidth();
  const int sourceHeight = Input.UprightHeight();
  Output.SourceWidth = sourceWidth;
  Output.SourceHeight = sourceHeight;
  Output.SourceFormat = decoder->pix_fmt;
  Output.VideoResample =
      !(sourceWidth - S.CropLeft - S.CropRight + S.PadLeft + S.PadRight == encoder->width &&
        sourceHeight - S.CropTop - S.CropBottom + S.PadTop + S.PadBottom == encoder->height &&
        decoder->pix_fmt == encoder->pix_fmt);
  if (Output.VideoPad || Output.VideoResample) {
    Output.TempPicture.reset(lib::av_frame_alloc());
    AVFrame* picture = Output.TempPicture.get();
    if (picture) {
      picture->format = encoder->pix_fmt;
      picture->width = encoder->width;
      picture->height = encoder->height;
    }
    if (!picture || lib::av_frame_get_buffer(picture, 0) < 0)
      throw FFMpegException(Output.VideoResample ? "Cannot allocate temp picture, check pix fmt"
                                                 : "avpicture_alloc fail");
  }
  if (Output.VideoResample && knowsPictures) {
    std::int64_t flags = S.ScalerFlags;
    if (J.ScalerOptionContext)
      lib::av_opt_get_int(J.ScalerOptionContext.get(), "sws_flags", 0, &flags);
    S.ScalerFlags = static_cast<int>(flags);
    Output.Scaler.reset(lib::sws_getContext(
        sourceWidth - S.CropLeft - S.CropRight, sourceHeight - S.CropTop - S.CropBottom,
        decoder->pix_fmt, encoder->width - S.PadLeft - S.PadRight,
        encoder->height - S.PadTop - S.PadBottom, encoder->pix_fmt, S.ScalerFlags, nullptr, nullptr,
        nullptr));
    if (!Output.Scaler) throw FFMpegException("Cannot get resampling context");
    Output.OriginalHeight =
        S.UseFilterGraph ? sourceHeight : sourceHeight - S.CropTop - S.CropBottom;
  }
  if (S.UseFilterGraph) ConfigureFilters(Input, Output);
}

void TTranscoder::PrepareEncoding(TOutputStream& Output, TInputStream& Input) {
  AVCodecContext* encoder = Output.Encoder();
  switch (encoder->codec_type) {
    case AVMEDIA_TYPE_AUDIO: {
      // The channel count set so far is the one asked for; the layout is the encoder's to
      // take.
      const AVCodec* codec =
          encoder->codec ? encoder->codec : lib::avcodec_find_encoder(encoder->codec_id);
      const TChannelLayout chosen = LayoutTheEncoderOpens(
          codec, encoder,
          ChooseEncoderLayout(codec, Input.Decoder->ch_layout, encoder->ch_layout.nb_channels));
      if (chosen.Get().nb_channels != encoder->ch_layout.nb_channels)
        E.Log(0, StringFormat("Output stream #%d.%d: %d channels asked, %s takes %d",
                              Output.FileIndex, Output.StreamIndex, encoder->ch_layout.nb_channels,
                              codec ? codec->name : "the encoder", chosen.Get().nb_channels));
      lib::av_channel_layout_uninit(&encoder->ch_layout);
      lib::av_channel_layout_copy(&encoder->ch_layout, &chosen.Get());
      Output.AudioResample =
          encoder->sample_rate != Input.Decoder->sample_rate || S.AudioSyncMethod > 1;
      break;
    }
    case AVMEDIA_TYPE_VIDEO:
      PrepareVideoEncoding(Output, Input);
      break;
    case AVMEDIA_TYPE_SUBTITLE:
      // Subtitles keep the stamps of their source's tick.
      if (encoder->time_base.num <= 0 || encoder->time_base.den <= 0)
        encoder->time_base = Input.Stream->time_base;
      break;
    default:
      throw FFMpegException("invalid codec_type of output stream");
  }
  Input.DecodingNeeded = true;
  Output.EncodingNeeded = true;
}

void TTranscoder::OpenTwoPassLog(TOutputStream& Output, int Index) {
  AVCodecContext* encoder = Output.Encoder();
  if (!(encoder->flags & (AV_CODEC_FLAG_PASS1 | AV_CODEC_FLAG_PASS2))) return;
  const std::string prefix = S.PassLogFilePrefix.empty() ? "ffmpeg2pass" : S.PassLogFilePrefix;
  const std::string name = (prefix + "-" + std::to_string(Index) + ".log").substr(0, 1023);
  std::string path, reason;
  if (encoder->flags & AV_CODEC_FLAG_PASS1) {
    Output.LogFile.reset(J.SideFiles.CreateTwoPassLog(name, path, reason));
    if (!Output.LogFile) throw FFMpegException("creat file fail: " + path + ": " + reason);
    return;
  }
  std::string log;
  if (!J.SideFiles.ReadTwoPassLog(name, path, log, reason))
    throw FFMpegException("creat open fail: " + path + ": " + reason);
  char* text = static_cast<char*>(lib::av_malloc(log.size() + 1));
  if (!text) throw FFMpegException("Could not allocate log buffer");
  std::memcpy(text, log.c_str(), log.size() + 1);
  lib::av_freep(&encoder->stats_in);
  encoder->stats_in = text;  // freed when the encoder closes
}

void TTranscoder::OpenVStatsFile() {
  // Opened before any header is written, so that a name that cannot be used costs nothing.
  if (S.VStatsFileName.empty() || J.VStatsFile) return;
  bool encodesVideo = false;
  for (const auto& output : OutputStreams)
    encodesVideo |= output->EncodingNeeded && output->Encoder()->codec_type == AVMEDIA_TYPE_VIDEO;
  if (!encodesVideo) return;
  std::string path, reason;
  J.VStatsFile.reset(J.SideFiles.CreateStatistics(S.VStatsFileName, path, reason));
  if (!J.VStatsFile) throw FFMpegException("fopen fail: " + path + ": " + reason);
}

void TTranscoder::LogStreamMapping() {
  if (S.Verbosity < 0 || !E.Logging()) return;
  E.Log(1, "Stream mapping:");
  for (const auto& output : OutputStreams) {
    const TInputStream& source = InputStreams[output->SourceIndex];
    E.Log(1, StringFormat("  Stream #%d.%d -> #%d.%d", source.FileIndex, source.StreamIndex,
                          output->FileIndex, output->StreamIndex));
    if (output->SyncInput != &source)
      E.Log(1, StringFormat(" [sync #%d.%d]", output->SyncInput->FileIndex,
                            output->SyncInput->StreamIndex));
  }
}

void TTranscoder::OpenEncoders() {
  for (const auto& output : OutputStreams) {
    if (!output->EncodingNeeded) continue;
    AVCodecContext* encoder = output->Encoder();
    // The encoder the stream was made for, not merely the first of its codec.
    const AVCodec* codec =
        encoder->codec ? encoder->codec : lib::avcodec_find_encoder(encoder->codec_id);
    if (!codec)
      throw FFMpegException(StringFormat("Unsupported codec for output stream #%d.%d",
                                         output->FileIndex, output->StreamIndex));
    if (const int result = E.OpenEncoder(encoder, codec, nullptr); result < 0)
      throw FFMpegException(StringFormat("Error while opening codec for output stream #%d.%d - "
                                         "maybe incorrect parameters such as bit_rate, rate, "
                                         "width or height: ",
                                         output->FileIndex, output->StreamIndex) +
                            ErrorReason(result));
    J.ExtraSize += encoder->extradata_size;
    CheckParameterCopy(lib::avcodec_parameters_from_context(output->Stream->codecpar, encoder),
                       "encoder", output->FileIndex, output->StreamIndex);
    output->Stream->time_base = encoder->time_base;
    if (encoder->codec_type == AVMEDIA_TYPE_AUDIO) {
      output->Fifo.reset(
          lib::av_audio_fifo_alloc(encoder->sample_fmt, encoder->ch_layout.nb_channels, 1024));
      if (!output->Fifo) throw FFMpegException("av_fifo_init fail");
    }
  }
}

void TTranscoder::OpenDecoders() {
  for (TInputStream& input : InputStreams)
    if (input.DecodingNeeded) OpenDecoder(input);
}

void TTranscoder::OpenDecoder(TInputStream& Input) {
  if (Input.DecoderOpen) return;
  const AVCodec* codec = lib::avcodec_find_decoder(Input.Decoder->codec_id);
  if (!codec)
    throw FFMpegException(StringFormat("Unsupported codec (id=%d) for input stream #%d.%d",
                                       static_cast<int>(Input.Decoder->codec_id), Input.FileIndex,
                                       Input.StreamIndex));
  if (const int result = E.OpenDecoder(Input.Decoder, codec, nullptr); result < 0)
    throw FFMpegException(StringFormat("Error while opening codec for input stream #%d.%d: %s",
                                       Input.FileIndex, Input.StreamIndex,
                                       ErrorReason(result).c_str()));
  Input.DecoderOpen = true;
}

// Each filter of the chain reads what the one before it (or the stream) gives.
void TTranscoder::InitBitstreamFilters(TOutputStream& Output) {
  const AVCodecParameters* parameters = Output.Stream->codecpar;
  AVRational timeBase = Output.EncodingNeeded ? Output.Encoder()->time_base
                                              : InputStreams[Output.SourceIndex].Stream->time_base;
  for (TBsfContextPtr& filter : Output.Setup->Filters) {
    CheckParameterCopy(lib::avcodec_parameters_copy(filter->par_in, parameters), "filter",
                       Output.FileIndex, Output.StreamIndex);
    filter->time_base_in = timeBase;
    if (lib::av_bsf_init(filter.get()) < 0)
      throw FFMpegException(OpenErrorText(filter->filter->name, AVERROR(EINVAL)));
    parameters = filter->par_out;
    timeBase = filter->time_base_out;
  }
  if (parameters != Output.Stream->codecpar)
    CheckParameterCopy(lib::avcodec_parameters_copy(Output.Stream->codecpar, parameters),
                       "filtered", Output.FileIndex, Output.StreamIndex);
}

void TTranscoder::RefuseStartPastEnd() const {
  for (int i = 0; i < E.InputFileCount(); ++i) {
    const AVFormatContext* input = E.InputFile(i);
    // The input's own seek, then what the output side cuts off the beginning.
    const std::int64_t start = J.InputFilesStartTime[i] + std::max<std::int64_t>(S.StartTime, 0);
    if (start <= 0 || input->duration == AV_NOPTS_VALUE || start < input->duration) continue;
    // Nothing of the input would reach the output but the encoders' flush.
    throw FFMpegException(
        StringFormat("Start time %.3f s is past the end of '%s' (%.3f s): nothing to convert",
                     static_cast<double>(start) / AV_TIME_BASE, input->url,
                     static_cast<double>(input->duration) / AV_TIME_BASE));
  }
}

void TTranscoder::WriteHeaders() {
  bool allRtp = true;
  TrailerPending.assign(static_cast<std::size_t>(E.OutputFileCount()), false);
  for (int i = 0; i < E.OutputFileCount(); ++i) {
    AVFormatContext* file = E.OutputFile(i);
    if (const int result = lib::avformat_write_header(file, nullptr); result < 0)
      throw FFMpegException(StringFormat(
          "Could not write header for output file #%d (incorrect codec parameters ?): %s", i,
          ErrorReason(result).c_str()));
    TrailerPending[static_cast<std::size_t>(i)] = true;
    allRtp &= std::strcmp(file->oformat->name, "rtp") == 0;
  }
  if (allRtp && E.Logging()) {
    std::vector<AVFormatContext*> files;
    for (int i = 0; i < E.OutputFileCount(); ++i) files.push_back(E.OutputFile(i));
    char sdp[2048] = {};
    lib::av_sdp_create(files.data(), static_cast<int>(files.size()), sdp, sizeof sdp);
    E.Log(1, "SDP: " + TrimRight(sdp, kWhiteSpace));
  }
}

void TTranscoder::Run() {
  BuildInputTables();
  BuildOutputTables();
  for (std::size_t i = 0; i < OutputStreams.size(); ++i) {
    TOutputStream& output = *OutputStreams[i];
    TInputStream& input = InputStreams[output.SourceIndex];
    if (StreamLanguage(output.Stream).empty() && !StreamLanguage(input.Stream).empty())
      lib::av_dict_set(&output.Stream->metadata, "language",
                       StreamLanguage(input.Stream).substr(0, 3).c_str(), 0);
    output.Stream->disposition = input.Stream->disposition;
    if (output.Setup->StreamCopy)
      PrepareStreamCopy(output, input);
    else
      PrepareEncoding(output, input);
    if (output.EncodingNeeded) OpenTwoPassLog(output, static_cast<int>(i));
  }
  OpenVStatsFile();
  LogStreamMapping();
  HandOverSubtitleHeaders();
  OpenEncoders();
  OpenDecoders();
  for (const auto& output : OutputStreams) InitBitstreamFilters(*output);
  for (int i = 0; i < E.OutputFileCount(); ++i)
    lib::av_dump_format(E.OutputFile(i), i, E.OutputFile(i)->url, 1);
  for (TInputStream& input : InputStreams) {
    input.Pts = 0;
    input.NextPts = kNoTimestamp;
    input.IsStart = true;
  }
  CopyMetaDataMaps();
  RefuseStartPastEnd();
  try {
    WriteHeaders();
    DecodedFrame.reset(lib::av_frame_alloc());
    WorkFrame.reset(lib::av_frame_alloc());
    WorkPacket.reset(lib::av_packet_alloc());
    if (!DecodedFrame || !WorkFrame || !WorkPacket)
      throw FFMpegException("av_mallocz fail: " + ErrorReason(AVERROR(ENOMEM)));
    J.TimerStart = lib::av_gettime();
    LastReportTime = J.TimerStart;
    Loop();
    Finish();
  } catch (...) {
    // A failed job still closes what it began: the part converted so far stays playable.
    // Its own failure is the one reported.
    WriteTrailers();
    throw;
  }
}
