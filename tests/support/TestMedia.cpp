#include "TestMedia.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "binding/MediaPointers.h"

namespace {

struct TEncodedStream {
  TCodecContextPtr codec;
  AVStream* stream = nullptr;
  TFramePtr frame;
  std::int64_t nextPts = 0;
};

void Drain(AVFormatContext* output, TEncodedStream& encoded, AVPacket* packet) {
  while (lib::avcodec_receive_packet(encoded.codec.get(), packet) >= 0) {
    lib::av_packet_rescale_ts(packet, encoded.codec->time_base, encoded.stream->time_base);
    packet->stream_index = encoded.stream->index;
    ASSERT_GE(lib::av_interleaved_write_frame(output, packet), 0);
  }
}

void Encode(AVFormatContext* output, TEncodedStream& encoded, AVFrame* frame, AVPacket* packet) {
  ASSERT_GE(lib::avcodec_send_frame(encoded.codec.get(), frame), 0);
  Drain(output, encoded, packet);
}

void OpenStream(AVFormatContext* output, TEncodedStream& encoded) {
  if (output->oformat->flags & AVFMT_GLOBALHEADER)
    encoded.codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  ASSERT_GE(lib::avcodec_open2(encoded.codec.get(), encoded.codec->codec, nullptr), 0);
  encoded.stream = lib::avformat_new_stream(output, nullptr);
  ASSERT_NE(encoded.stream, nullptr);
  lib::avcodec_parameters_from_context(encoded.stream->codecpar, encoded.codec.get());
  encoded.stream->time_base = encoded.codec->time_base;
  encoded.stream->sample_aspect_ratio = encoded.codec->sample_aspect_ratio;
  encoded.frame.reset(lib::av_frame_alloc());
}

void DropDecoderSetup(AVStream* stream) {
  lib::av_freep(&stream->codecpar->extradata);
  stream->codecpar->extradata_size = 0;
}

void MakeVideo(AVFormatContext* output, const TClipRecipe& recipe, TEncodedStream& video) {
  const AVCodec* codec = lib::avcodec_find_encoder(recipe.videoCodec);
  ASSERT_NE(codec, nullptr);
  video.codec.reset(lib::avcodec_alloc_context3(codec));
  video.codec->width = recipe.width;
  video.codec->height = recipe.height;
  video.codec->pix_fmt = recipe.pixelFormat;
  video.codec->time_base = {recipe.frameRate.den, recipe.frameRate.num};
  video.codec->framerate = recipe.frameRate;
  video.codec->sample_aspect_ratio = recipe.sampleAspect;
  video.codec->gop_size = 12;
  video.codec->bit_rate = 400000;
  // Without a global header the decoder set-up travels in the pictures themselves.
  if (recipe.undecodableVideo) video.codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  OpenStream(output, video);
  if (recipe.rotation != 0) {
    auto* matrix = reinterpret_cast<std::int32_t*>(lib::av_stream_new_side_data(
        video.stream, AV_PKT_DATA_DISPLAYMATRIX, 9 * sizeof(std::int32_t)));
    ASSERT_NE(matrix, nullptr);
    lib::av_display_rotation_set(matrix, recipe.rotation);
  }
  if (recipe.videoTimeBase.num) video.stream->time_base = recipe.videoTimeBase;
  if (recipe.undecodableVideo && video.stream) DropDecoderSetup(video.stream);
  AVFrame* frame = video.frame.get();
  frame->format = recipe.pixelFormat;
  frame->width = recipe.width;
  frame->height = recipe.height;
  ASSERT_GE(lib::av_frame_get_buffer(frame, 0), 0);
}

void MakeAudio(AVFormatContext* output, const TClipRecipe& recipe, TEncodedStream& audio) {
  const AVCodec* codec = lib::avcodec_find_encoder(recipe.audioCodec);
  ASSERT_NE(codec, nullptr);
  audio.codec.reset(lib::avcodec_alloc_context3(codec));
  audio.codec->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
  audio.codec->sample_rate = recipe.sampleRate;
  lib::av_channel_layout_default(&audio.codec->ch_layout, recipe.channels);
  audio.codec->time_base = {1, recipe.sampleRate};
  audio.codec->bit_rate = 128000;
  OpenStream(output, audio);
  AVFrame* frame = audio.frame.get();
  frame->format = audio.codec->sample_fmt;
  frame->sample_rate = recipe.sampleRate;
  frame->nb_samples = audio.codec->frame_size > 0 ? audio.codec->frame_size : 1024;
  lib::av_channel_layout_copy(&frame->ch_layout, &audio.codec->ch_layout);
  ASSERT_GE(lib::av_frame_get_buffer(frame, 0), 0);
}

// The same pattern in samples of more than 8 bits.
void PaintDeepPicture(AVFrame* frame, std::int64_t index, int depth) {
  const auto sample = [frame](int plane, int x, int y) -> std::uint16_t& {
    return reinterpret_cast<std::uint16_t*>(frame->data[plane] + y * frame->linesize[plane])[x];
  };
  for (int y = 0; y < frame->height; ++y)
    for (int x = 0; x < frame->width; ++x)
      sample(0, x, y) =
          static_cast<std::uint16_t>(static_cast<std::uint8_t>(x + y + index * 3) << (depth - 8));
  for (int plane = 1; plane < 3 && frame->data[plane]; ++plane)
    for (int y = 0; y < frame->height / 2; ++y)
      for (int x = 0; x < frame->width / 2; ++x)
        sample(plane, x, y) = static_cast<std::uint16_t>((128 + plane * 20) << (depth - 8));
  frame->pts = index;
}

// A moving diagonal gradient, so consecutive pictures differ and scaling can be seen.
void PaintPicture(AVFrame* frame, std::int64_t index) {
  lib::av_frame_make_writable(frame);
  const AVPixFmtDescriptor* format =
      lib::av_pix_fmt_desc_get(static_cast<AVPixelFormat>(frame->format));
  if (format && format->comp[0].depth > 8)
    return PaintDeepPicture(frame, index, format->comp[0].depth);
  for (int y = 0; y < frame->height; ++y)
    for (int x = 0; x < frame->width; ++x)
      frame->data[0][y * frame->linesize[0] + x] = static_cast<std::uint8_t>(x + y + index * 3);
  for (int plane = 1; plane < 3 && frame->data[plane]; ++plane)
    for (int y = 0; y < frame->height / 2; ++y)
      for (int x = 0; x < frame->width / 2; ++x)
        frame->data[plane][y * frame->linesize[plane] + x] =
            static_cast<std::uint8_t>(128 + plane * 20);
  frame->pts = index;
}

double ClipSeconds(const TClipRecipe& recipe) {
  const double videoSeconds =
      recipe.frames > 0 ? recipe.frames * av_q2d(av_inv_q(recipe.frameRate)) : 0;
  return std::max(videoSeconds, recipe.audioSeconds);
}

constexpr int kCueStepMs = 500;
constexpr int kCueShowMs = 250;

// SubRip in Matroska is the cue's bare text; its stamp and duration say when it shows.
// Picture subtitles (DVD) are a small bitmap made by their encoder.
struct TCueWriter {
  std::vector<AVStream*> streams;
  std::vector<std::string> languages;
  std::vector<TCodecContextPtr> pictureEncoders;  // none for a text track
  std::int64_t nextCueMs = 0;
  std::int64_t endMs = 0;

  void WriteUntil(AVFormatContext* output, std::int64_t untilMs, AVPacket* packet) {
    for (; nextCueMs <= untilMs && nextCueMs + kCueShowMs <= endMs; nextCueMs += kCueStepMs)
      for (std::size_t i = 0; i < streams.size(); ++i) {
        if (pictureEncoders[i]) {
          ASSERT_NO_FATAL_FAILURE(EncodePicture(pictureEncoders[i].get(), packet));
        } else {
          const std::string text = languages[i] + " cue " + std::to_string(nextCueMs / kCueStepMs);
          ASSERT_GE(lib::av_new_packet(packet, static_cast<int>(text.size())), 0);
          std::memcpy(packet->data, text.data(), text.size());
        }
        packet->stream_index = streams[i]->index;
        packet->pts = packet->dts = lib::av_rescale_q(nextCueMs, {1, 1000}, streams[i]->time_base);
        packet->duration = lib::av_rescale_q(kCueShowMs, {1, 1000}, streams[i]->time_base);
        packet->flags |= AV_PKT_FLAG_KEY;
        ASSERT_GE(lib::av_interleaved_write_frame(output, packet), 0);
      }
  }

  // A 16x8 two-colour block shown for the cue's time.
  static void EncodePicture(AVCodecContext* encoder, AVPacket* packet) {
    std::uint8_t bitmap[16 * 8];
    for (int i = 0; i < 16 * 8; ++i) bitmap[i] = static_cast<std::uint8_t>((i / 4) % 2);
    std::uint32_t palette[4] = {0x00000000, 0xFFFFFFFF, 0xFF000000, 0xFF808080};
    AVSubtitleRect rect{};
    rect.x = 8;
    rect.y = 8;
    rect.w = 16;
    rect.h = 8;
    rect.nb_colors = 4;
    rect.type = SUBTITLE_BITMAP;
    rect.data[0] = bitmap;
    rect.linesize[0] = 16;
    rect.data[1] = reinterpret_cast<std::uint8_t*>(palette);
    AVSubtitleRect* rects[] = {&rect};
    AVSubtitle subtitle{};
    subtitle.end_display_time = kCueShowMs;
    subtitle.num_rects = 1;
    subtitle.rects = rects;
    std::uint8_t buffer[4096];
    const int size = lib::avcodec_encode_subtitle(encoder, buffer, sizeof buffer, &subtitle);
    ASSERT_GT(size, 0);
    ASSERT_GE(lib::av_new_packet(packet, size), 0);
    std::memcpy(packet->data, buffer, static_cast<std::size_t>(size));
  }
};

void AddSubtitleTrack(AVFormatContext* output, const TClipRecipe& recipe,
                      const std::string& language, bool picture, TCueWriter& cues) {
  AVStream* stream = lib::avformat_new_stream(output, nullptr);
  ASSERT_NE(stream, nullptr);
  TCodecContextPtr encoder;
  if (picture) {
    const AVCodec* codec = lib::avcodec_find_encoder(AV_CODEC_ID_DVD_SUBTITLE);
    ASSERT_NE(codec, nullptr);
    encoder.reset(lib::avcodec_alloc_context3(codec));
    encoder->width = recipe.width;
    encoder->height = recipe.height;
    encoder->time_base = {1, 1000};
    ASSERT_GE(lib::avcodec_open2(encoder.get(), codec, nullptr), 0);
    lib::avcodec_parameters_from_context(stream->codecpar, encoder.get());
  } else {
    stream->codecpar->codec_type = AVMEDIA_TYPE_SUBTITLE;
    stream->codecpar->codec_id = AV_CODEC_ID_SUBRIP;
  }
  stream->time_base = {1, 1000};
  lib::av_dict_set(&stream->metadata, "language", language.c_str(), 0);
  cues.streams.push_back(stream);
  cues.languages.push_back(language);
  cues.pictureEncoders.push_back(std::move(encoder));
}

void AddSubtitleTracks(AVFormatContext* output, const TClipRecipe& recipe, TCueWriter& cues) {
  for (const std::string& language : recipe.subtitleLanguages)
    ASSERT_NO_FATAL_FAILURE(AddSubtitleTrack(output, recipe, language, false, cues));
  for (const std::string& language : recipe.pictureSubtitleLanguages)
    ASSERT_NO_FATAL_FAILURE(AddSubtitleTrack(output, recipe, language, true, cues));
  cues.endMs = static_cast<std::int64_t>(ClipSeconds(recipe) * 1000);
}

void AddChapters(AVFormatContext* output, const TClipRecipe& recipe) {
  const std::int64_t lengthMs =
      static_cast<std::int64_t>(ClipSeconds(recipe) * 1000) / std::max(recipe.chapters, 1);
  for (int i = 0; i < recipe.chapters; ++i) {
    auto* chapter = static_cast<AVChapter*>(lib::av_mallocz(sizeof(AVChapter)));
    ASSERT_NE(chapter, nullptr);
    auto** grown = static_cast<AVChapter**>(
        lib::av_realloc(output->chapters, (output->nb_chapters + 1) * sizeof(AVChapter*)));
    ASSERT_NE(grown, nullptr);
    output->chapters = grown;
    output->chapters[output->nb_chapters++] = chapter;
    chapter->id = i + 1;
    chapter->time_base = {1, 1000};
    chapter->start = i * lengthMs;
    chapter->end = (i + 1) * lengthMs;
    lib::av_dict_set(&chapter->metadata, "title", ("Chapter " + std::to_string(i + 1)).c_str(), 0);
  }
}

}  // namespace

namespace {

// Where sample i of channel lies in the frame's data: its plane and its place in it.
std::pair<std::uint8_t*, int> SamplePlace(const AVFrame* frame, int channel, int i) {
  const bool planar = lib::av_sample_fmt_is_planar(static_cast<AVSampleFormat>(frame->format));
  return {frame->extended_data[planar ? channel : 0],
          planar ? i : i * frame->ch_layout.nb_channels + channel};
}

}  // namespace

double SampleAt(const AVFrame* frame, int channel, int i) {
  const auto [data, at] = SamplePlace(frame, channel, i);
  switch (lib::av_get_packed_sample_fmt(static_cast<AVSampleFormat>(frame->format))) {
    case AV_SAMPLE_FMT_U8:
      return (data[at] - 128) / 128.0;
    case AV_SAMPLE_FMT_S16:
      return reinterpret_cast<const std::int16_t*>(data)[at] / 32768.0;
    case AV_SAMPLE_FMT_S32:
      return reinterpret_cast<const std::int32_t*>(data)[at] / 2147483648.0;
    case AV_SAMPLE_FMT_S64:
      return static_cast<double>(reinterpret_cast<const std::int64_t*>(data)[at]) /
             9.2233720368547758e18;
    case AV_SAMPLE_FMT_FLT:
      return reinterpret_cast<const float*>(data)[at];
    default:
      return reinterpret_cast<const double*>(data)[at];
  }
}

void SetSampleAt(AVFrame* frame, int channel, int i, double value) {
  const auto [data, at] = SamplePlace(frame, channel, i);
  switch (lib::av_get_packed_sample_fmt(static_cast<AVSampleFormat>(frame->format))) {
    case AV_SAMPLE_FMT_U8:
      data[at] = static_cast<std::uint8_t>(std::lround(128 + value * 127));
      break;
    case AV_SAMPLE_FMT_S16:
      reinterpret_cast<std::int16_t*>(data)[at] = static_cast<std::int16_t>(value * 32767);
      break;
    case AV_SAMPLE_FMT_S32:
      reinterpret_cast<std::int32_t*>(data)[at] = static_cast<std::int32_t>(value * 2147483647.0);
      break;
    case AV_SAMPLE_FMT_FLT:
      reinterpret_cast<float*>(data)[at] = static_cast<float>(value);
      break;
    default:
      reinterpret_cast<double*>(data)[at] = value;
      break;
  }
}

void PaintSound(AVFrame* frame, std::int64_t firstSample, bool clicks) {
  lib::av_frame_make_writable(frame);
  for (int i = 0; i < frame->nb_samples; ++i) {
    const std::int64_t sample = firstSample + i;
    const double value = clicks ? (sample % 512 < 8 ? 0.9 : 0.0)
                                : 0.3 * std::sin(2 * M_PI * 440 * sample / frame->sample_rate);
    for (int c = 0; c < frame->ch_layout.nb_channels; ++c) SetSampleAt(frame, c, i, value);
  }
  frame->pts = firstSample;
}

void MakeClip(const std::string& path, const TClipRecipe& recipe) {
  AVFormatContext* raw = nullptr;
  ASSERT_GE(lib::avformat_alloc_output_context2(
                &raw, nullptr, recipe.formatName.empty() ? nullptr : recipe.formatName.c_str(),
                path.c_str()),
            0);
  TOutputFormatContextPtr output(raw);
  TEncodedStream video, audio;
  if (recipe.frames > 0) MakeVideo(output.get(), recipe, video);
  if (recipe.audioSeconds > 0) MakeAudio(output.get(), recipe, audio);
  std::vector<TEncodedStream> moreAudio(recipe.moreAudioTracks.size());
  for (std::size_t i = 0; i < moreAudio.size(); ++i) {
    TClipRecipe trackRecipe = recipe;
    trackRecipe.channels = recipe.moreAudioTracks[i];
    MakeAudio(output.get(), trackRecipe, moreAudio[i]);
  }
  TCueWriter cues;
  AddSubtitleTracks(output.get(), recipe, cues);
  AddChapters(output.get(), recipe);
  if (::testing::Test::HasFatalFailure()) return;
  for (unsigned i = 0, track = 0; i < output->nb_streams; ++i) {
    if (output->streams[i]->codecpar->codec_type != AVMEDIA_TYPE_AUDIO) continue;
    output->streams[i]->disposition =
        static_cast<int>(track) == recipe.defaultAudioTrack ? AV_DISPOSITION_DEFAULT : 0;
    if (track < recipe.audioLanguages.size() && !recipe.audioLanguages[track].empty())
      lib::av_dict_set(&output->streams[i]->metadata, "language",
                       recipe.audioLanguages[track].c_str(), 0);
    ++track;
  }
  if (!recipe.title.empty()) lib::av_dict_set(&output->metadata, "title", recipe.title.c_str(), 0);
  ASSERT_GE(lib::avio_open(&output->pb, path.c_str(), AVIO_FLAG_WRITE), 0);
  output->output_ts_offset = static_cast<std::int64_t>(recipe.startSeconds * AV_TIME_BASE);
  ASSERT_GE(lib::avformat_write_header(output.get(), nullptr), 0);

  TPacketPtr packet(lib::av_packet_alloc());
  const std::int64_t audioSamples =
      static_cast<std::int64_t>(recipe.audioSeconds * recipe.sampleRate);
  bool videoLeft = recipe.frames > 0, audioLeft = recipe.audioSeconds > 0;
  while (videoLeft || audioLeft) {
    const bool videoNext =
        videoLeft && (!audioLeft || lib::av_compare_ts(video.nextPts, video.codec->time_base,
                                                       audio.nextPts, audio.codec->time_base) <= 0);
    const std::int64_t nowMs =
        videoNext ? lib::av_rescale_q(video.nextPts, video.codec->time_base, {1, 1000})
                  : lib::av_rescale_q(audio.nextPts, audio.codec->time_base, {1, 1000});
    cues.WriteUntil(output.get(), nowMs, packet.get());
    if (videoNext) {
      PaintPicture(video.frame.get(), video.nextPts);
      Encode(output.get(), video, video.frame.get(), packet.get());
      videoLeft = ++video.nextPts < recipe.frames;
    } else {
      PaintSound(audio.frame.get(), audio.nextPts, recipe.clickTrack);
      if (recipe.audioShiftSeconds != 0 && audio.nextPts >= recipe.audioShiftAt * recipe.sampleRate)
        audio.frame->pts += std::llround(recipe.audioShiftSeconds * recipe.sampleRate);
      if (audio.nextPts / audio.frame->nb_samples % 2)
        audio.frame->pts += std::llround(recipe.audioStampJitterSeconds * recipe.sampleRate);
      Encode(output.get(), audio, audio.frame.get(), packet.get());
      audio.nextPts += audio.frame->nb_samples;
      audioLeft = audio.nextPts < audioSamples;
    }
    if (::testing::Test::HasFatalFailure()) return;
  }
  cues.WriteUntil(output.get(), cues.endMs, packet.get());
  if (recipe.frames > 0) Encode(output.get(), video, nullptr, packet.get());
  if (recipe.audioSeconds > 0) Encode(output.get(), audio, nullptr, packet.get());
  // The interleaver holds the packets written so far until the later tracks catch up.
  for (TEncodedStream& track : moreAudio) {
    for (std::int64_t sample = 0; sample < audioSamples / 2; sample += track.frame->nb_samples) {
      PaintSound(track.frame.get(), sample, false);
      ASSERT_NO_FATAL_FAILURE(Encode(output.get(), track, track.frame.get(), packet.get()));
    }
    ASSERT_NO_FATAL_FAILURE(Encode(output.get(), track, nullptr, packet.get()));
  }
  ASSERT_GE(lib::av_write_trailer(output.get()), 0);
  lib::avio_closep(&output->pb);
}

int TMediaInfo::CountOfType(int type) const {
  return static_cast<int>(std::count_if(streams.begin(), streams.end(),
                                        [type](const TStreamInfo& s) { return s.type == type; }));
}

const TStreamInfo* TMediaInfo::FirstOfType(int type) const {
  for (const TStreamInfo& stream : streams)
    if (stream.type == type) return &stream;
  return nullptr;
}

TInputFormatContextPtr OpenMediaFile(const std::string& path) {
  AVFormatContext* raw = nullptr;
  if (lib::avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) return nullptr;
  TInputFormatContextPtr input(raw);
  if (lib::avformat_find_stream_info(input.get(), nullptr) < 0) return nullptr;
  return input;
}

int FirstStreamIndex(const AVFormatContext* input, int type) {
  for (unsigned i = 0; i < input->nb_streams; ++i)
    if (input->streams[i]->codecpar->codec_type == type) return static_cast<int>(i);
  return -1;
}

namespace {

double PatternPsnr(const AVFrame* frame, int index) {
  double squared = 0;
  for (int y = 0; y < frame->height; ++y)
    for (int x = 0; x < frame->width; ++x) {
      const int expected = static_cast<std::uint8_t>(x + y + index * 3);
      const int difference = frame->data[0][y * frame->linesize[0] + x] - expected;
      squared += difference * difference;
    }
  const double mse = squared / (frame->width * frame->height);
  return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

void CornerLuma(const AVFrame* frame, int (&corners)[4]) {
  constexpr int kBlock = 4;
  if (frame->width < kBlock || frame->height < kBlock) return;
  const int lefts[4] = {0, frame->width - kBlock, 0, frame->width - kBlock};
  const int tops[4] = {0, 0, frame->height - kBlock, frame->height - kBlock};
  for (int corner = 0; corner < 4; ++corner) {
    int sum = 0;
    for (int y = tops[corner]; y < tops[corner] + kBlock; ++y)
      for (int x = lefts[corner]; x < lefts[corner] + kBlock; ++x)
        sum += frame->data[0][y * frame->linesize[0] + x];
    corners[corner] = sum / (kBlock * kBlock);
  }
}

// Level of sample i of the first channel, full scale 1.
double SampleLevel(const AVFrame* frame, int i) {
  const auto format = static_cast<AVSampleFormat>(frame->format);
  const int step = lib::av_sample_fmt_is_planar(format) ? 1 : frame->ch_layout.nb_channels;
  const std::uint8_t* data = frame->extended_data[0];
  switch (lib::av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_S16:
      return reinterpret_cast<const std::int16_t*>(data)[i * step] / 32768.0;
    case AV_SAMPLE_FMT_S32:
      return reinterpret_cast<const std::int32_t*>(data)[i * step] / 2147483648.0;
    case AV_SAMPLE_FMT_FLT:
      return reinterpret_cast<const float*>(data)[i * step];
    case AV_SAMPLE_FMT_DBL:
      return reinterpret_cast<const double*>(data)[i * step];
    default:
      return (data[i * step] - 128) / 128.0;
  }
}

// The cue's text without the ASS event's leading fields (ReadOrder, Layer, Style, Name,
// MarginL, MarginR, MarginV, Effect).
std::string CueText(const AVSubtitleRect* rect) {
  if (rect->text) return rect->text;
  if (!rect->ass) return "";
  std::string text = rect->ass;
  for (int field = 0; field < 8; ++field) {
    const std::size_t comma = text.find(',');
    if (comma == std::string::npos) return text;
    text.erase(0, comma + 1);
  }
  return text;
}

void DecodeCue(AVCodecContext* decoder, AVPacket* packet, AVRational timeBase, TStreamInfo& entry) {
  AVSubtitle subtitle{};
  int got = 0;
  if (lib::avcodec_decode_subtitle2(decoder, &subtitle, &got, packet) < 0 || !got) return;
  std::string text;
  for (unsigned r = 0; r < subtitle.num_rects; ++r) text += CueText(subtitle.rects[r]);
  entry.subtitleTexts.push_back(text);
  entry.subtitleStarts.push_back(packet->pts * av_q2d(timeBase) +
                                 subtitle.start_display_time / 1000.0);
  entry.subtitleDurations.push_back(packet->duration * av_q2d(timeBase));
  lib::avsubtitle_free(&subtitle);
}

TMediaInfo ReadMediaInfoWith(const std::string& path, bool decode, int patternFrame) {
  TMediaInfo info;
  const TInputFormatContextPtr input = OpenMediaFile(path);
  if (!input) return info;
  info.opened = true;
  info.formatName = input->iformat->name;
  info.durationUs = input->duration;
  for (unsigned i = 0; i < input->nb_streams; ++i) {
    const AVStream* stream = input->streams[i];
    const AVCodecParameters* parameters = stream->codecpar;
    TStreamInfo entry;
    entry.type = parameters->codec_type;
    entry.codec = parameters->codec_id;
    entry.codecTag = parameters->codec_tag;
    entry.width = parameters->width;
    entry.height = parameters->height;
    entry.sampleRate = parameters->sample_rate;
    entry.channels = parameters->ch_layout.nb_channels;
    entry.sampleAspect = stream->sample_aspect_ratio.num ? stream->sample_aspect_ratio
                                                         : parameters->sample_aspect_ratio;
    entry.frameRate = stream->avg_frame_rate;
    if (stream->start_time != AV_NOPTS_VALUE)
      entry.startSeconds = stream->start_time * av_q2d(stream->time_base);
    std::size_t matrixSize = 0;
    if (const auto* matrix = reinterpret_cast<const std::int32_t*>(
            lib::av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &matrixSize)))
      entry.rotation =
          (static_cast<int>(std::lround(-lib::av_display_rotation_get(matrix))) + 360) % 360;
    entry.markedDefault = stream->disposition & AV_DISPOSITION_DEFAULT;
    if (const AVDictionaryEntry* tag = lib::av_dict_get(stream->metadata, "language", nullptr, 0))
      entry.language = tag->value;
    info.streams.push_back(entry);
  }
  for (unsigned i = 0; i < input->nb_chapters; ++i) {
    const AVChapter* chapter = input->chapters[i];
    const AVDictionaryEntry* tag = lib::av_dict_get(chapter->metadata, "title", nullptr, 0);
    info.chapters.push_back({chapter->start * av_q2d(chapter->time_base),
                             chapter->end * av_q2d(chapter->time_base), tag ? tag->value : ""});
  }
  if (const AVDictionaryEntry* tag = lib::av_dict_get(input->metadata, "title", nullptr, 0))
    info.title = tag->value;
  std::vector<TCodecContextPtr> decoders(input->nb_streams);
  if (decode)
    for (unsigned i = 0; i < input->nb_streams; ++i) {
      const AVCodec* codec = lib::avcodec_find_decoder(input->streams[i]->codecpar->codec_id);
      if (!codec) continue;
      decoders[i].reset(lib::avcodec_alloc_context3(codec));
      lib::avcodec_parameters_to_context(decoders[i].get(), input->streams[i]->codecpar);
      decoders[i]->pkt_timebase = input->streams[i]->time_base;
      if (lib::avcodec_open2(decoders[i].get(), codec, nullptr) < 0) decoders[i].reset();
    }
  TPacketPtr packet(lib::av_packet_alloc());
  TFramePtr frame(lib::av_frame_alloc());
  std::vector<std::int64_t> silentRun(input->nb_streams, 0);
  std::vector<std::int64_t> lastDts(input->nb_streams, AV_NOPTS_VALUE);
  const auto drain = [&](unsigned index) {
    TStreamInfo& entry = info.streams[index];
    while (lib::avcodec_receive_frame(decoders[index].get(), frame.get()) >= 0) {
      if (entry.type == AVMEDIA_TYPE_VIDEO) {
        if (entry.decodedFrames == 0) {
          entry.pixelFormat = frame->format;
          CornerLuma(frame.get(), entry.cornerLuma);
        }
        if (entry.decodedFrames == patternFrame)
          entry.lumaPsnr = PatternPsnr(frame.get(), patternFrame);
        ++entry.decodedFrames;
      } else {
        entry.decodedSamples += frame->nb_samples;
        for (int i = 0; i < frame->nb_samples; ++i) {
          silentRun[index] =
              std::fabs(SampleLevel(frame.get(), i)) < 1e-3 ? silentRun[index] + 1 : 0;
          entry.longestSilence = std::max(entry.longestSilence, silentRun[index]);
        }
      }
      lib::av_frame_unref(frame.get());
    }
  };
  while (lib::av_read_frame(input.get(), packet.get()) >= 0) {
    const unsigned index = static_cast<unsigned>(packet->stream_index);
    if (index < info.streams.size()) {
      if (info.streams[index].packets++ == 0)
        info.streams[index].firstPacketKey = packet->flags & AV_PKT_FLAG_KEY;
      if (packet->dts != AV_NOPTS_VALUE) {
        if (lastDts[index] != AV_NOPTS_VALUE && packet->dts <= lastDts[index])
          info.streams[index].dtsIncreasing = false;
        lastDts[index] = packet->dts;
      }
      if (decoders[index] && info.streams[index].type == AVMEDIA_TYPE_SUBTITLE)
        DecodeCue(decoders[index].get(), packet.get(), input->streams[index]->time_base,
                  info.streams[index]);
      else if (decoders[index] &&
               lib::avcodec_send_packet(decoders[index].get(), packet.get()) >= 0)
        drain(index);
    }
    lib::av_packet_unref(packet.get());
  }
  for (unsigned i = 0; i < decoders.size(); ++i)
    if (decoders[i] && info.streams[i].type != AVMEDIA_TYPE_SUBTITLE &&
        lib::avcodec_send_packet(decoders[i].get(), nullptr) >= 0)
      drain(i);
  return info;
}

}  // namespace

TMediaInfo ReadMediaInfo(const std::string& path) {
  return ReadMediaInfoWith(path, false, 0);
}

TMediaInfo DecodeMediaInfo(const std::string& path, int patternFrame) {
  return ReadMediaInfoWith(path, true, patternFrame);
}

std::vector<std::string> StreamPackets(const std::string& path, int type) {
  std::vector<std::string> packets;
  const TInputFormatContextPtr input = OpenMediaFile(path);
  if (!input) return packets;
  const int index = FirstStreamIndex(input.get(), type);
  TPacketPtr packet(lib::av_packet_alloc());
  while (index >= 0 && lib::av_read_frame(input.get(), packet.get()) >= 0) {
    if (packet->stream_index == index)
      packets.emplace_back(reinterpret_cast<const char*>(packet->data),
                           static_cast<std::size_t>(packet->size));
    lib::av_packet_unref(packet.get());
  }
  return packets;
}
