// The layout an encoder is given for many-channel sound, with the encoders the libraries
// have: those that list their layouts and those that take any.
#include <gtest/gtest.h>

#include "MediaTest.h"
#include "binding/AVCodecHlpr.h"
#include "engine/AudioChannels.h"

namespace {

class AudioChannelsTest : public TMediaTest {
 protected:
  static void SetUpTestSuite() { TMediaTest::SetUpTestSuite(); }

  static AVChannelLayout Usual(int channels) {
    AVChannelLayout layout{};
    lib::av_channel_layout_default(&layout, channels);
    return layout;
  }
  static AVChannelLayout Mask(int channels, std::uint64_t mask) {
    AVChannelLayout layout{};
    layout.order = AV_CHANNEL_ORDER_NATIVE;
    layout.nb_channels = channels;
    layout.u.mask = mask;
    return layout;
  }
  static AVChannelLayout Unplaced(int channels) {
    AVChannelLayout layout{};
    layout.order = AV_CHANNEL_ORDER_UNSPEC;
    layout.nb_channels = channels;
    return layout;
  }
  static bool Same(const TChannelLayout& chosen, const AVChannelLayout& expected) {
    return lib::av_channel_layout_compare(&chosen.Get(), &expected) == 0;
  }
};

TEST_F(AudioChannelsTest, AnEncoderThatListsItsLayoutsGetsTheMostChannelsItTakes) {
  const AVCodec* mp3 = lib::avcodec_find_encoder_by_name("libmp3lame");
  if (!mp3 || !mp3->ch_layouts) GTEST_SKIP() << "no MP3 encoder listing its layouts";
  const AVChannelLayout sixteen = Mask(16, AV_CH_LAYOUT_HEXADECAGONAL);
  EXPECT_TRUE(Same(ChooseEncoderLayout(mp3, sixteen, 16), Usual(2)));
  EXPECT_TRUE(Same(ChooseEncoderLayout(mp3, Unplaced(24), 0), Usual(2)));
  // A count asked for wins when the encoder takes it.
  EXPECT_TRUE(Same(ChooseEncoderLayout(mp3, sixteen, 1), Usual(1)));
  EXPECT_TRUE(Same(ChooseEncoderLayout(mp3, Usual(1), 0), Usual(1)));
}

TEST_F(AudioChannelsTest, AnEncoderOfAnyLayoutKeepsTheInputsOrTheUsualOneOfTheCountAsked) {
  const AVCodec* pcm = lib::avcodec_find_encoder(AV_CODEC_ID_PCM_S16LE);
  ASSERT_NE(pcm, nullptr);
  // Channels without positions get the usual layout of their count where there is one.
  EXPECT_TRUE(Same(ChooseEncoderLayout(pcm, Unplaced(16), 16), Usual(16)));
  EXPECT_TRUE(Same(ChooseEncoderLayout(pcm, Unplaced(24), 0), Usual(24)));
  EXPECT_EQ(ChooseEncoderLayout(pcm, Unplaced(12), 12).Get().nb_channels, 12);
  const AVChannelLayout side = Mask(6, AV_CH_LAYOUT_5POINT1);
  const AVChannelLayout back = Mask(6, AV_CH_LAYOUT_5POINT1_BACK);
  EXPECT_TRUE(Same(ChooseEncoderLayout(pcm, back, 6), back));  // not made the usual 5.1
  EXPECT_TRUE(Same(ChooseEncoderLayout(pcm, side, 2), Usual(2)));
  EXPECT_TRUE(Same(ChooseEncoderLayout(pcm, Usual(2), 32), Usual(32)));
}

TEST_F(AudioChannelsTest, AnEncoderThatRefusesManyChannelsGetsTheNearestUsualLayoutItOpens) {
  const AVCodec* flac = lib::avcodec_find_encoder(AV_CODEC_ID_FLAC);
  ASSERT_NE(flac, nullptr);
  TCodecContextPtr context(lib::avcodec_alloc_context3(flac));
  context->sample_fmt = flac->sample_fmts[0];
  context->sample_rate = 48000;
  context->time_base = {1, 48000};
  const TChannelLayout chosen = ChooseEncoderLayout(flac, Unplaced(16), 16);
  const TChannelLayout opened = LayoutTheEncoderOpens(flac, context.get(), chosen);
  EXPECT_EQ(opened.Get().order, AV_CHANNEL_ORDER_NATIVE);
  EXPECT_GE(opened.Get().nb_channels, 2);
  EXPECT_LT(opened.Get().nb_channels, 16);
  // One it takes as it is stays.
  EXPECT_TRUE(Same(LayoutTheEncoderOpens(flac, context.get(), TChannelLayout(Usual(6))), Usual(6)));
}

}  // namespace
