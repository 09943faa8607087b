#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "OptionTestEngine.h"
#include "TestSupport.h"
#include "engine/FFmpeg.h"

namespace {

class TWriterEngine : public TCustomFFmpeg {
 protected:
  void Transcode() override {}
};

TBsfContextPtr MakeFilter(const char* name, const AVStream* stream) {
  AVBSFContext* context = nullptr;
  if (lib::av_bsf_alloc(lib::av_bsf_get_by_name(name), &context) < 0) return nullptr;
  TBsfContextPtr filter(context);
  lib::avcodec_parameters_copy(filter->par_in, stream->codecpar);
  filter->time_base_in = stream->time_base;
  if (lib::av_bsf_init(filter.get()) < 0) return nullptr;
  return filter;
}

}  // namespace

TEST(WriteFrame, PacketsPassTheFilterChainIntoTheMuxer) {
  BindMediaLibrariesForTest();
  TTempFolder folder;
  const std::string path = folder.File("packets.crc");
  AVFormatContext* raw = nullptr;
  ASSERT_GE(lib::avformat_alloc_output_context2(&raw, nullptr, "framecrc", path.c_str()), 0);
  TOutputFormatContextPtr output(raw);
  AVStream* stream = lib::avformat_new_stream(output.get(), nullptr);
  stream->codecpar->codec_type = AVMEDIA_TYPE_DATA;
  stream->codecpar->codec_id = AV_CODEC_ID_BIN_DATA;
  stream->time_base = {1, 25};
  ASSERT_GE(lib::avio_open(&output->pb, path.c_str(), AVIO_FLAG_WRITE), 0);
  ASSERT_GE(lib::avformat_write_header(output.get(), nullptr), 0);

  TBitstreamFilterChain chain;
  chain.push_back(MakeFilter("null", stream));
  chain.push_back(MakeFilter("null", stream));
  ASSERT_TRUE(chain[0] && chain[1]);

  TWriterEngine engine;
  for (int i = 0; i < 3; ++i) {
    TPacketPtr packet(lib::av_packet_alloc());
    uint8_t payload[8] = {1, 2, 3, 4, 5, 6, 7, static_cast<uint8_t>(i)};
    lib::av_new_packet(packet.get(), sizeof payload);
    std::copy(payload, payload + sizeof payload, packet->data);
    packet->pts = packet->dts = i;
    packet->stream_index = 0;
    engine.WriteFrame(output.get(), packet.get(), chain, nullptr);
  }
  ASSERT_GE(lib::av_write_trailer(output.get()), 0);
  lib::avio_closep(&output->pb);

  std::ifstream crc(path);
  std::stringstream lines;
  lines << crc.rdbuf();
  int packetLines = 0;
  for (std::string line; std::getline(lines, line);)
    if (!line.empty() && line[0] != '#') ++packetLines;
  EXPECT_EQ(packetLines, 3);
}

TEST(WriteFrame, MuxerRefusalBecomesAnException) {
  BindMediaLibrariesForTest();
  TTempFolder folder;
  AVFormatContext* raw = nullptr;
  const std::string path = folder.File("refuse.crc");
  ASSERT_GE(lib::avformat_alloc_output_context2(&raw, nullptr, "framecrc", path.c_str()), 0);
  TOutputFormatContextPtr output(raw);
  AVStream* stream = lib::avformat_new_stream(output.get(), nullptr);
  stream->codecpar->codec_type = AVMEDIA_TYPE_DATA;
  stream->codecpar->codec_id = AV_CODEC_ID_BIN_DATA;
  ASSERT_GE(lib::avio_open(&output->pb, path.c_str(), AVIO_FLAG_WRITE), 0);
  ASSERT_GE(lib::avformat_write_header(output.get(), nullptr), 0);

  TWriterEngine engine;
  TBitstreamFilterChain none;
  TPacketPtr packet(lib::av_packet_alloc());
  lib::av_new_packet(packet.get(), 4);
  packet->stream_index = 7;  // no such stream
  // A refusal is a write failure of that file, with the library's reason.
  EXPECT_RAISES(
      engine.WriteFrame(output.get(), packet.get(), none, nullptr), FFMpegException,
      "av_interleaved_write_frame(): Error while writing '" + path + "': Invalid argument");
  lib::avio_closep(&output->pb);
}
