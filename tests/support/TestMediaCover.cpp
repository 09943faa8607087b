#include "TestMediaCover.h"

#include <gtest/gtest.h>

#include "TestMedia.h"
#include "binding/MediaPointers.h"

namespace {

constexpr double kToneLevel = 0.3;  // PaintSound's

// The first channel's samples of a decoded frame, in any sample format.

void WritePackets(AVCodecContext* encoder, const AVFrame* frame, AVFormatContext* output,
                  AVStream* stream, AVPacket* packet) {
  ASSERT_GE(lib::avcodec_send_frame(encoder, frame), 0);
  while (lib::avcodec_receive_packet(encoder, packet) >= 0) {
    lib::av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
    packet->stream_index = stream->index;
    ASSERT_GE(lib::av_interleaved_write_frame(output, packet), 0);
  }
}

// Encodes seconds of the tone through encoder into the stream.
void WriteTone(AVCodecContext* encoder, double seconds, AVFormatContext* output, AVStream* stream) {
  TFramePtr frame(lib::av_frame_alloc());
  TPacketPtr packet(lib::av_packet_alloc());
  frame->format = encoder->sample_fmt;
  frame->sample_rate = encoder->sample_rate;
  frame->nb_samples = encoder->frame_size > 0 ? encoder->frame_size : 1024;
  lib::av_channel_layout_copy(&frame->ch_layout, &encoder->ch_layout);
  ASSERT_GE(lib::av_frame_get_buffer(frame.get(), 0), 0);
  const auto total = static_cast<std::int64_t>(seconds * encoder->sample_rate);
  for (std::int64_t first = 0; first < total; first += frame->nb_samples) {
    PaintSound(frame.get(), first, false);
    ASSERT_NO_FATAL_FAILURE(WritePackets(encoder, frame.get(), output, stream, packet.get()));
  }
  ASSERT_NO_FATAL_FAILURE(WritePackets(encoder, nullptr, output, stream, packet.get()));
}

TCodecContextPtr OpenToneEncoder(const AVCodec* codec, int sampleRate, int channels,
                                 AVFormatContext* output) {
  TCodecContextPtr encoder(lib::avcodec_alloc_context3(codec));
  encoder->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
  encoder->sample_rate = sampleRate;
  lib::av_channel_layout_default(&encoder->ch_layout, channels);
  encoder->time_base = {1, sampleRate};
  encoder->bit_rate = codec->id == AV_CODEC_ID_GSM ? 13000 : 128000;  // GSM has one rate
  if (output->oformat->flags & AVFMT_GLOBALHEADER) encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (lib::avcodec_open2(encoder.get(), codec, nullptr) < 0) encoder.reset();
  return encoder;
}

AVStream* NewStreamFrom(AVFormatContext* output, const AVCodecContext* encoder) {
  AVStream* stream = lib::avformat_new_stream(output, nullptr);
  if (!stream) return nullptr;
  lib::avcodec_parameters_from_context(stream->codecpar, encoder);
  stream->time_base = encoder->time_base;
  return stream;
}

// One JPEG picture: a gradient, so that it is no blank.
void EncodeCover(int width, int height, AVPacket* packet) {
  const AVCodec* codec = lib::avcodec_find_encoder(AV_CODEC_ID_MJPEG);
  ASSERT_NE(codec, nullptr);
  TCodecContextPtr encoder(lib::avcodec_alloc_context3(codec));
  encoder->width = width;
  encoder->height = height;
  encoder->pix_fmt = AV_PIX_FMT_YUVJ420P;
  encoder->time_base = {1, 1};
  ASSERT_GE(lib::avcodec_open2(encoder.get(), codec, nullptr), 0);
  TFramePtr picture(lib::av_frame_alloc());
  picture->format = encoder->pix_fmt;
  picture->width = width;
  picture->height = height;
  ASSERT_GE(lib::av_frame_get_buffer(picture.get(), 0), 0);
  for (int plane = 0; plane < 3; ++plane) {
    const int w = plane ? width / 2 : width, h = plane ? height / 2 : height;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        picture->data[plane][y * picture->linesize[plane] + x] =
            static_cast<std::uint8_t>(plane ? 128 : (x + y) / 4);
  }
  picture->pts = 0;
  ASSERT_GE(lib::avcodec_send_frame(encoder.get(), picture.get()), 0);
  ASSERT_GE(lib::avcodec_receive_packet(encoder.get(), packet), 0);
}

}  // namespace

void MakeSongWithCover(const std::string& path, const TCoverSongRecipe& recipe) {
  AVFormatContext* raw = nullptr;
  ASSERT_GE(lib::avformat_alloc_output_context2(&raw, nullptr, nullptr, path.c_str()), 0);
  TOutputFormatContextPtr output(raw);
  const AVCodec* codec = lib::avcodec_find_encoder(recipe.audioCodec);
  ASSERT_NE(codec, nullptr);
  TCodecContextPtr encoder = OpenToneEncoder(codec, recipe.sampleRate, 2, output.get());
  ASSERT_TRUE(encoder);
  AVStream* sound = NewStreamFrom(output.get(), encoder.get());
  ASSERT_NE(sound, nullptr);
  AVStream* cover = lib::avformat_new_stream(output.get(), nullptr);
  ASSERT_NE(cover, nullptr);
  cover->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
  cover->codecpar->codec_id = AV_CODEC_ID_MJPEG;
  cover->codecpar->width = recipe.coverWidth;
  cover->codecpar->height = recipe.coverHeight;
  cover->disposition = AV_DISPOSITION_ATTACHED_PIC;
  cover->time_base = {1, 90000};
  ASSERT_GE(lib::avio_open(&output->pb, path.c_str(), AVIO_FLAG_WRITE), 0);
  ASSERT_GE(lib::avformat_write_header(output.get(), nullptr), 0);
  // The MP3 writer holds the sound back until it has the picture for its tag.
  TPacketPtr picture(lib::av_packet_alloc());
  ASSERT_NO_FATAL_FAILURE(EncodeCover(recipe.coverWidth, recipe.coverHeight, picture.get()));
  picture->stream_index = cover->index;
  picture->pts = picture->dts = 0;
  picture->flags |= AV_PKT_FLAG_KEY;
  ASSERT_GE(lib::av_interleaved_write_frame(output.get(), picture.get()), 0);
  ASSERT_NO_FATAL_FAILURE(WriteTone(encoder.get(), recipe.seconds, output.get(), sound));
  ASSERT_GE(lib::av_write_trailer(output.get()), 0);
  lib::avio_closep(&output->pb);
}

namespace {

void WriteRawSound(const std::string& path, const AVCodec* codec, const char* muxer, int sampleRate,
                   double seconds) {
  AVFormatContext* raw = nullptr;
  ASSERT_GE(lib::avformat_alloc_output_context2(&raw, nullptr, muxer, path.c_str()), 0);
  TOutputFormatContextPtr output(raw);
  TCodecContextPtr encoder = OpenToneEncoder(codec, sampleRate, 1, output.get());
  ASSERT_TRUE(encoder);
  AVStream* stream = NewStreamFrom(output.get(), encoder.get());
  ASSERT_NE(stream, nullptr);
  ASSERT_GE(lib::avio_open(&output->pb, path.c_str(), AVIO_FLAG_WRITE), 0);
  ASSERT_GE(lib::avformat_write_header(output.get(), nullptr), 0);
  ASSERT_NO_FATAL_FAILURE(WriteTone(encoder.get(), seconds, output.get(), stream));
  ASSERT_GE(lib::av_write_trailer(output.get()), 0);
  lib::avio_closep(&output->pb);
}

}  // namespace

bool MakeRawSound(const std::string& path, const char* encoder, const char* muxer, int sampleRate,
                  double seconds) {
  const AVCodec* codec = lib::avcodec_find_encoder_by_name(encoder);
  if (!codec) return false;
  WriteRawSound(path, codec, muxer, sampleRate, seconds);
  return true;
}

TSoundTone DecodeSoundTone(const std::string& path) {
  TSoundTone tone;
  const TInputFormatContextPtr input = OpenMediaFile(path);
  if (!input) return tone;
  const int index = FirstStreamIndex(input.get(), AVMEDIA_TYPE_AUDIO);
  if (index < 0) return tone;
  const AVCodecParameters* parameters = input->streams[index]->codecpar;
  const AVCodec* codec = lib::avcodec_find_decoder(parameters->codec_id);
  if (!codec) return tone;
  TCodecContextPtr decoder(lib::avcodec_alloc_context3(codec));
  lib::avcodec_parameters_to_context(decoder.get(), parameters);
  if (lib::avcodec_open2(decoder.get(), codec, nullptr) < 0) return tone;
  TPacketPtr packet(lib::av_packet_alloc());
  TFramePtr frame(lib::av_frame_alloc());
  std::int64_t samples = 0, risings = 0;
  int sampleRate = 0;
  bool below = false;
  const auto take = [&] {
    while (lib::avcodec_receive_frame(decoder.get(), frame.get()) >= 0) {
      sampleRate = frame->sample_rate;
      for (int i = 0; i < frame->nb_samples; ++i) {
        // A margin keeps coding noise around zero from counting as crossings.
        const double value = SampleAt(frame.get(), 0, i);
        if (value < -kToneLevel / 4) below = true;
        if (below && value > kToneLevel / 4) {
          below = false;
          ++risings;
        }
      }
      samples += frame->nb_samples;
    }
  };
  while (lib::av_read_frame(input.get(), packet.get()) >= 0) {
    if (packet->stream_index == index && lib::avcodec_send_packet(decoder.get(), packet.get()) >= 0)
      take();
    lib::av_packet_unref(packet.get());
  }
  lib::avcodec_send_packet(decoder.get(), nullptr);
  take();
  if (sampleRate <= 0) return tone;
  tone.seconds = static_cast<double>(samples) / sampleRate;
  tone.frequency = tone.seconds > 0 ? risings / tone.seconds : 0;
  return tone;
}

TPictureStreams PictureStreamsOf(const std::string& path) {
  TPictureStreams pictures;
  const TInputFormatContextPtr input = OpenMediaFile(path);
  if (!input) return pictures;
  for (unsigned i = 0; i < input->nb_streams; ++i) {
    const AVStream* stream = input->streams[i];
    if (stream->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) continue;
    if (!(stream->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
      ++pictures.videos;
      continue;
    }
    if (pictures.covers++ > 0) continue;
    const AVCodec* codec = lib::avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec) continue;
    TCodecContextPtr decoder(lib::avcodec_alloc_context3(codec));
    lib::avcodec_parameters_to_context(decoder.get(), stream->codecpar);
    TFramePtr frame(lib::av_frame_alloc());
    if (lib::avcodec_open2(decoder.get(), codec, nullptr) >= 0 &&
        lib::avcodec_send_packet(decoder.get(), &stream->attached_pic) >= 0 &&
        lib::avcodec_send_packet(decoder.get(), nullptr) >= 0 &&
        lib::avcodec_receive_frame(decoder.get(), frame.get()) >= 0) {
      pictures.coverWidth = frame->width;
      pictures.coverHeight = frame->height;
    }
  }
  return pictures;
}
