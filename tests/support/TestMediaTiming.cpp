#include "TestMediaTiming.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "binding/MediaPointers.h"

namespace {

// Every packet of input into output; edit changes each packet (its stream's index given)
// before it is written.
void Remux(const std::string& input, const std::string& output,
           const std::function<void(AVFormatContext*, AVFormatContext*, AVPacket*)>& edit) {
  AVFormatContext* source = nullptr;
  ASSERT_GE(lib::avformat_open_input(&source, input.c_str(), nullptr, nullptr), 0);
  TInputFormatContextPtr in(source);
  ASSERT_GE(lib::avformat_find_stream_info(in.get(), nullptr), 0);
  AVFormatContext* target = nullptr;
  ASSERT_GE(lib::avformat_alloc_output_context2(&target, nullptr, nullptr, output.c_str()), 0);
  TOutputFormatContextPtr out(target);
  for (unsigned i = 0; i < in->nb_streams; ++i) {
    AVStream* stream = lib::avformat_new_stream(out.get(), nullptr);
    ASSERT_NE(stream, nullptr);
    ASSERT_GE(lib::avcodec_parameters_copy(stream->codecpar, in->streams[i]->codecpar), 0);
    stream->codecpar->codec_tag = 0;
    stream->time_base = in->streams[i]->time_base;
  }
  ASSERT_GE(lib::avio_open(&out->pb, output.c_str(), AVIO_FLAG_WRITE), 0);
  ASSERT_GE(lib::avformat_write_header(out.get(), nullptr), 0);
  TPacketPtr packet(lib::av_packet_alloc());
  while (lib::av_read_frame(in.get(), packet.get()) >= 0) {
    const int index = packet->stream_index;
    lib::av_packet_rescale_ts(packet.get(), in->streams[index]->time_base,
                              out->streams[index]->time_base);
    edit(in.get(), out.get(), packet.get());
    ASSERT_GE(lib::av_interleaved_write_frame(out.get(), packet.get()), 0);
  }
  ASSERT_GE(lib::av_write_trailer(out.get()), 0);
  lib::avio_closep(&out->pb);
}

}  // namespace

void CopyWithStreamDelayed(const std::string& input, const std::string& output, int mediaType,
                           double delaySeconds) {
  int delayed = -1;
  Remux(input, output, [&](AVFormatContext* in, AVFormatContext* out, AVPacket* packet) {
    const int index = packet->stream_index;
    if (delayed < 0)
      for (unsigned i = 0; i < in->nb_streams && delayed < 0; ++i)
        if (in->streams[i]->codecpar->codec_type == mediaType) delayed = static_cast<int>(i);
    if (index != delayed) return;
    const std::int64_t delay = lib::av_rescale_q(static_cast<std::int64_t>(delaySeconds * 1000),
                                                 {1, 1000}, out->streams[index]->time_base);
    if (packet->pts != AV_NOPTS_VALUE) packet->pts += delay;
    if (packet->dts != AV_NOPTS_VALUE) packet->dts += delay;
  });
  ASSERT_GE(delayed, 0) << "no stream of that type in " << input;
}

void MakeCutRawVideoAvi(const std::string& path, int frames) {
  AVFormatContext* target = nullptr;
  ASSERT_GE(lib::avformat_alloc_output_context2(&target, nullptr, "avi", path.c_str()), 0);
  TOutputFormatContextPtr out(target);
  AVStream* stream = lib::avformat_new_stream(out.get(), nullptr);
  ASSERT_NE(stream, nullptr);
  stream->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
  stream->codecpar->codec_id = AV_CODEC_ID_RAWVIDEO;
  stream->codecpar->codec_tag = MKTAG('I', '4', '2', '0');
  stream->codecpar->format = AV_PIX_FMT_YUV420P;
  stream->codecpar->width = 160;
  stream->codecpar->height = 120;
  stream->time_base = {1, 25};
  ASSERT_GE(lib::avio_open(&out->pb, path.c_str(), AVIO_FLAG_WRITE), 0);
  ASSERT_GE(lib::avformat_write_header(out.get(), nullptr), 0);
  constexpr int kHalfPicture = 160 * 120 * 3 / 4;
  TPacketPtr packet(lib::av_packet_alloc());
  for (int i = 0; i < frames; ++i) {
    ASSERT_GE(lib::av_new_packet(packet.get(), kHalfPicture), 0);
    std::memset(packet->data, (i * 8) & 255, kHalfPicture);
    packet->pts = packet->dts = i;
    packet->duration = 1;
    packet->flags |= AV_PKT_FLAG_KEY;
    packet->stream_index = stream->index;
    ASSERT_GE(lib::av_interleaved_write_frame(out.get(), packet.get()), 0);
  }
  ASSERT_GE(lib::av_write_trailer(out.get()), 0);
  lib::avio_closep(&out->pb);
}

void MakeMpeg4AviOnPalTicks(const std::string& path, int frames) {
  AVFormatContext* target = nullptr;
  ASSERT_GE(lib::avformat_alloc_output_context2(&target, nullptr, "avi", path.c_str()), 0);
  TOutputFormatContextPtr out(target);
  const AVCodec* codec = lib::avcodec_find_encoder(AV_CODEC_ID_MPEG4);
  ASSERT_NE(codec, nullptr);
  TCodecContextPtr encoder(lib::avcodec_alloc_context3(codec));
  encoder->width = 160;
  encoder->height = 120;
  encoder->pix_fmt = AV_PIX_FMT_YUV420P;
  encoder->time_base = {1, 25};  // written into the stream as its clock
  encoder->framerate = {15, 1};
  encoder->gop_size = 12;
  ASSERT_GE(lib::avcodec_open2(encoder.get(), codec, nullptr), 0);
  AVStream* stream = lib::avformat_new_stream(out.get(), nullptr);
  ASSERT_NE(stream, nullptr);
  lib::avcodec_parameters_from_context(stream->codecpar, encoder.get());
  stream->time_base = {1, 15};
  ASSERT_GE(lib::avio_open(&out->pb, path.c_str(), AVIO_FLAG_WRITE), 0);
  ASSERT_GE(lib::avformat_write_header(out.get(), nullptr), 0);
  ASSERT_EQ(stream->time_base.den, 15) << "the AVI writer chose its own time base";

  TFramePtr frame(lib::av_frame_alloc());
  frame->format = encoder->pix_fmt;
  frame->width = encoder->width;
  frame->height = encoder->height;
  ASSERT_GE(lib::av_frame_get_buffer(frame.get(), 0), 0);
  TPacketPtr packet(lib::av_packet_alloc());
  const auto drain = [&] {
    while (lib::avcodec_receive_packet(encoder.get(), packet.get()) >= 0) {
      lib::av_packet_rescale_ts(packet.get(), encoder->time_base, stream->time_base);
      packet->stream_index = stream->index;
      ASSERT_GE(lib::av_interleaved_write_frame(out.get(), packet.get()), 0);
    }
  };
  for (int i = 0; i < frames; ++i) {
    ASSERT_GE(lib::av_frame_make_writable(frame.get()), 0);
    for (int plane = 0; plane < 3; ++plane)
      for (int y = 0; y < (plane ? 60 : 120); ++y)
        std::memset(frame->data[plane] + y * frame->linesize[plane], plane ? 128 : (i * 8) & 255,
                    plane ? 80 : 160);
    frame->pts = lib::av_rescale_q(i, {1, 15}, encoder->time_base);
    ASSERT_GE(lib::avcodec_send_frame(encoder.get(), frame.get()), 0);
    ASSERT_NO_FATAL_FAILURE(drain());
  }
  ASSERT_GE(lib::avcodec_send_frame(encoder.get(), nullptr), 0);
  ASSERT_NO_FATAL_FAILURE(drain());
  ASSERT_GE(lib::av_write_trailer(out.get()), 0);
  lib::avio_closep(&out->pb);
}
