#include "tools/DemoClip.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "binding/MediaLibraries.h"
#include "binding/MediaPointers.h"
#include "binding/MyUtils.h"

namespace {

constexpr int kFrameRate = 25;
constexpr int kSampleRate = 44100;

void Check(int result, const char* step) {
  if (result < 0) throw std::runtime_error(std::string("demo clip: ") + step + " failed");
}

struct TClipStream {
  TCodecContextPtr Codec;
  AVStream* Stream = nullptr;
  TFramePtr Frame{lib::av_frame_alloc()};
  std::int64_t NextPts = 0;
};

void OpenStream(AVFormatContext* output, TClipStream& clip, const char* step) {
  if (output->oformat->flags & AVFMT_GLOBALHEADER) clip.Codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  Check(lib::avcodec_open2(clip.Codec.get(), clip.Codec->codec, nullptr), step);
  clip.Stream = lib::avformat_new_stream(output, nullptr);
  if (!clip.Stream || !clip.Frame) Check(-1, step);
  Check(lib::avcodec_parameters_from_context(clip.Stream->codecpar, clip.Codec.get()), step);
  clip.Stream->time_base = clip.Codec->time_base;
}

TCodecContextPtr EncoderContext(AVCodecID id, const char* step) {
  const AVCodec* codec = lib::avcodec_find_encoder(id);
  TCodecContextPtr context(codec ? lib::avcodec_alloc_context3(codec) : nullptr);
  if (!context) Check(-1, step);
  return context;
}

void OpenVideo(AVFormatContext* output, TClipStream& video, int width, int height) {
  video.Codec = EncoderContext(AV_CODEC_ID_MPEG4, "the MPEG-4 encoder");
  video.Codec->width = width;
  video.Codec->height = height;
  video.Codec->pix_fmt = AV_PIX_FMT_YUV420P;
  video.Codec->time_base = {1, kFrameRate};
  video.Codec->framerate = {kFrameRate, 1};
  video.Codec->gop_size = 12;
  video.Codec->bit_rate = std::int64_t{800000} * width * height / (320 * 240);
  OpenStream(output, video, "the MPEG-4 encoder");
  video.Frame->format = AV_PIX_FMT_YUV420P;
  video.Frame->width = width;
  video.Frame->height = height;
  Check(lib::av_frame_get_buffer(video.Frame.get(), 0), "a picture buffer");
}

void OpenAudio(AVFormatContext* output, TClipStream& audio) {
  audio.Codec = EncoderContext(AV_CODEC_ID_MP2, "the MP2 encoder");
  audio.Codec->sample_fmt = AV_SAMPLE_FMT_S16;
  audio.Codec->sample_rate = kSampleRate;
  lib::av_channel_layout_default(&audio.Codec->ch_layout, 2);
  audio.Codec->time_base = {1, kSampleRate};
  audio.Codec->bit_rate = 128000;
  OpenStream(output, audio, "the MP2 encoder");
  AVFrame* frame = audio.Frame.get();
  frame->format = AV_SAMPLE_FMT_S16;
  frame->sample_rate = kSampleRate;
  frame->nb_samples = audio.Codec->frame_size;
  Check(lib::av_channel_layout_copy(&frame->ch_layout, &audio.Codec->ch_layout), "a sound buffer");
  Check(lib::av_frame_get_buffer(frame, 0), "a sound buffer");
}

// Colour bars drifting sideways over a luma ramp.
void PaintPicture(AVFrame* frame, std::int64_t index) {
  Check(lib::av_frame_make_writable(frame), "a picture buffer");
  const int width = frame->width;
  const int height = frame->height;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      frame->data[0][y * frame->linesize[0] + x] =
          static_cast<std::uint8_t>(16 + (x + y) * 200 / (width + height));
    }
  }
  for (int y = 0; y < height / 2; ++y) {
    for (int x = 0; x < width / 2; ++x) {
      const int bar = ((x + static_cast<int>(index) * 2) / 20) % 8;
      frame->data[1][y * frame->linesize[1] + x] = static_cast<std::uint8_t>(64 + bar * 16);
      frame->data[2][y * frame->linesize[2] + x] = static_cast<std::uint8_t>(192 - bar * 16);
    }
  }
  frame->pts = index;
}

// A 440 Hz tone.
void PaintSound(AVFrame* frame, std::int64_t firstSample) {
  Check(lib::av_frame_make_writable(frame), "a sound buffer");
  auto* samples = reinterpret_cast<std::int16_t*>(frame->data[0]);
  for (int i = 0; i < frame->nb_samples; ++i) {
    const double value = 0.3 * std::sin(2 * M_PI * 440 * double(firstSample + i) / kSampleRate);
    samples[2 * i] = samples[2 * i + 1] = static_cast<std::int16_t>(value * 32767);
  }
  frame->pts = firstSample;
}

void Encode(AVFormatContext* output, TClipStream& clip, const AVFrame* frame, AVPacket* packet) {
  Check(lib::avcodec_send_frame(clip.Codec.get(), frame), "encoding");
  while (lib::avcodec_receive_packet(clip.Codec.get(), packet) >= 0) {
    lib::av_packet_rescale_ts(packet, clip.Codec->time_base, clip.Stream->time_base);
    packet->stream_index = clip.Stream->index;
    Check(lib::av_interleaved_write_frame(output, packet), "writing");
  }
}

void WriteClip(AVFormatContext* output, const std::string& path, int seconds, int width,
               int height) {
  TClipStream video, audio;
  OpenVideo(output, video, width, height);
  OpenAudio(output, audio);
  Check(lib::avio_open(&output->pb, path.c_str(), AVIO_FLAG_WRITE), "opening the file");
  Check(lib::avformat_write_header(output, nullptr), "writing the header");
  TPacketPtr packet(lib::av_packet_alloc());
  if (!packet) Check(-1, "a packet");
  const std::int64_t frames = std::int64_t{seconds} * kFrameRate;
  const std::int64_t samples = std::int64_t{seconds} * kSampleRate;
  while (video.NextPts < frames || audio.NextPts < samples) {
    const bool videoNext =
        video.NextPts < frames && (audio.NextPts >= samples ||
                                   lib::av_compare_ts(video.NextPts, video.Codec->time_base,
                                                      audio.NextPts, audio.Codec->time_base) <= 0);
    if (videoNext) {
      PaintPicture(video.Frame.get(), video.NextPts++);
      Encode(output, video, video.Frame.get(), packet.get());
    } else {
      PaintSound(audio.Frame.get(), audio.NextPts);
      audio.NextPts += audio.Frame->nb_samples;
      Encode(output, audio, audio.Frame.get(), packet.get());
    }
  }
  Encode(output, video, nullptr, packet.get());
  Encode(output, audio, nullptr, packet.get());
  Check(lib::av_write_trailer(output), "writing the trailer");
}

}  // namespace

void MakeDemoClip(const std::string& path, int seconds, int width, int height) {
  AVFormatContext* raw = nullptr;
  Check(lib::avformat_alloc_output_context2(&raw, nullptr, nullptr, path.c_str()),
        "choosing a container");
  TOutputFormatContextPtr output(raw);
  try {
    WriteClip(output.get(), path, seconds, width, height);
    Check(lib::avio_closep(&output->pb), "closing the file");
  } catch (const std::runtime_error&) {
    if (output->pb) {
      lib::avio_closep(&output->pb);
      std::remove(path.c_str());
    }
    throw;
  }
}

int WriteClipAsProgram(const char* program, const std::string& path, int seconds, int width,
                       int height) {
  if (!LoadMediaLibraries(ExecutableFolder() + "LibAV", true)) {
    std::fprintf(stderr, "%s: %s\n", program, MediaLibrariesError().c_str());
    return 1;
  }
  int result = 0;
  try {
    MakeDemoClip(path, seconds, width, height);
  } catch (const std::runtime_error& error) {
    std::fprintf(stderr, "%s: %s: %s\n", program, path.c_str(), error.what());
    result = 1;
  }
  FreeMediaLibraries();
  return result;
}
