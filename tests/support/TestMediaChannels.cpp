#include "TestMediaChannels.h"

#include <gtest/gtest.h>

#include <cmath>

#include "TestMedia.h"
#include "binding/MediaPointers.h"

namespace {

void Write(AVFormatContext* output, AVCodecContext* codec, AVStream* stream, AVFrame* frame,
           AVPacket* packet) {
  ASSERT_GE(lib::avcodec_send_frame(codec, frame), 0);
  while (lib::avcodec_receive_packet(codec, packet) >= 0) {
    lib::av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
    packet->stream_index = stream->index;
    ASSERT_GE(lib::av_interleaved_write_frame(output, packet), 0);
  }
}

void PaintTones(AVFrame* frame, std::int64_t first) {
  for (int c = 0; c < frame->ch_layout.nb_channels; ++c) {
    for (int i = 0; i < frame->nb_samples; ++i) {
      const double value = 0.25 * std::sin(2 * M_PI * ChannelToneHz(c) *
                                           static_cast<double>(first + i) / frame->sample_rate);
      SetSampleAt(frame, c, i, value);
    }
  }
  frame->pts = first;
}

}  // namespace

double ChannelToneHz(int channel) {
  return 300.0 + 170.0 * channel;
}

void MakeChannelTones(const std::string& path, const TChannelTonesRecipe& recipe) {
  AVFormatContext* raw = nullptr;
  ASSERT_GE(lib::avformat_alloc_output_context2(&raw, nullptr, nullptr, path.c_str()), 0);
  TOutputFormatContextPtr output(raw);
  const AVCodec* encoder = lib::avcodec_find_encoder(recipe.codec);
  ASSERT_NE(encoder, nullptr);
  TCodecContextPtr codec(lib::avcodec_alloc_context3(encoder));
  codec->sample_fmt = encoder->sample_fmts ? encoder->sample_fmts[0] : AV_SAMPLE_FMT_S16;
  codec->sample_rate = recipe.sampleRate;
  codec->time_base = {1, recipe.sampleRate};
  lib::av_channel_layout_uninit(&codec->ch_layout);
  if (recipe.unplaced) {
    codec->ch_layout.order = AV_CHANNEL_ORDER_UNSPEC;
    codec->ch_layout.nb_channels = recipe.channels;
  } else {
    lib::av_channel_layout_default(&codec->ch_layout, recipe.channels);
  }
  // Quality, not a bitrate: Vorbis shares a bitrate out too thinly over many channels.
  if (recipe.codec == AV_CODEC_ID_VORBIS) {
    codec->flags |= AV_CODEC_FLAG_QSCALE;
    codec->global_quality = 5 * FF_QP2LAMBDA;
  }
  if (output->oformat->flags & AVFMT_GLOBALHEADER) codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  ASSERT_GE(lib::avcodec_open2(codec.get(), encoder, nullptr), 0);
  AVStream* stream = lib::avformat_new_stream(output.get(), nullptr);
  ASSERT_NE(stream, nullptr);
  ASSERT_GE(lib::avcodec_parameters_from_context(stream->codecpar, codec.get()), 0);
  stream->time_base = codec->time_base;
  ASSERT_GE(lib::avio_open(&output->pb, path.c_str(), AVIO_FLAG_WRITE), 0);
  ASSERT_GE(lib::avformat_write_header(output.get(), nullptr), 0);

  TFramePtr frame(lib::av_frame_alloc());
  TPacketPtr packet(lib::av_packet_alloc());
  frame->format = codec->sample_fmt;
  frame->sample_rate = codec->sample_rate;
  frame->nb_samples = codec->frame_size > 0 ? codec->frame_size : 1024;
  lib::av_channel_layout_copy(&frame->ch_layout, &codec->ch_layout);
  ASSERT_GE(lib::av_frame_get_buffer(frame.get(), 0), 0);
  const auto total = static_cast<std::int64_t>(recipe.seconds * recipe.sampleRate);
  for (std::int64_t first = 0; first < total; first += frame->nb_samples) {
    ASSERT_GE(lib::av_frame_make_writable(frame.get()), 0);
    PaintTones(frame.get(), first);
    Write(output.get(), codec.get(), stream, frame.get(), packet.get());
  }
  Write(output.get(), codec.get(), stream, nullptr, packet.get());
  ASSERT_GE(lib::av_write_trailer(output.get()), 0);
  lib::avio_closep(&output->pb);
}

TDecodedSound DecodeSound(const std::string& path) {
  TDecodedSound sound;
  AVFormatContext* raw = nullptr;
  if (lib::avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) return sound;
  TInputFormatContextPtr input(raw);
  if (lib::avformat_find_stream_info(input.get(), nullptr) < 0) return sound;
  int index = -1;
  for (unsigned i = 0; i < input->nb_streams && index < 0; ++i)
    if (input->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) index = static_cast<int>(i);
  if (index < 0) return sound;
  const AVCodec* decoder = lib::avcodec_find_decoder(input->streams[index]->codecpar->codec_id);
  if (!decoder) return sound;
  TCodecContextPtr codec(lib::avcodec_alloc_context3(decoder));
  lib::avcodec_parameters_to_context(codec.get(), input->streams[index]->codecpar);
  if (lib::avcodec_open2(codec.get(), decoder, nullptr) < 0) return sound;
  TPacketPtr packet(lib::av_packet_alloc());
  TFramePtr frame(lib::av_frame_alloc());
  const auto take = [&] {
    while (lib::avcodec_receive_frame(codec.get(), frame.get()) >= 0) {
      sound.sampleRate = frame->sample_rate;
      const int channels = frame->ch_layout.nb_channels;
      if (sound.channels.size() < static_cast<std::size_t>(channels))
        sound.channels.resize(static_cast<std::size_t>(channels));
      for (int c = 0; c < channels; ++c)
        for (int i = 0; i < frame->nb_samples; ++i)
          sound.channels[static_cast<std::size_t>(c)].push_back(SampleAt(frame.get(), c, i));
      lib::av_frame_unref(frame.get());
    }
  };
  while (lib::av_read_frame(input.get(), packet.get()) >= 0) {
    if (packet->stream_index == index && lib::avcodec_send_packet(codec.get(), packet.get()) >= 0)
      take();
    lib::av_packet_unref(packet.get());
  }
  lib::avcodec_send_packet(codec.get(), nullptr);
  take();
  return sound;
}

double TDecodedSound::Seconds() const {
  return channels.empty() || sampleRate <= 0 ? 0
                                             : static_cast<double>(channels[0].size()) / sampleRate;
}

double TDecodedSound::TonePower(int channel, double hz) const {
  const std::vector<double>& samples = channels.at(static_cast<std::size_t>(channel));
  const double coefficient = 2 * std::cos(2 * M_PI * hz / sampleRate);
  double previous = 0, beforePrevious = 0;
  for (const double sample : samples) {
    const double current = sample + coefficient * previous - beforePrevious;
    beforePrevious = previous;
    previous = current;
  }
  const double power = previous * previous + beforePrevious * beforePrevious -
                       coefficient * previous * beforePrevious;
  const double n = std::max<std::size_t>(samples.size(), 1);
  return power / (n * n);
}

int TDecodedSound::LoudestTone(int channel, int candidates) const {
  int loudest = -1;
  double most = 0;
  for (int c = 0; c < candidates; ++c)
    if (const double power = TonePower(channel, ChannelToneHz(c)); power > most) {
      most = power;
      loudest = c;
    }
  return loudest;
}
