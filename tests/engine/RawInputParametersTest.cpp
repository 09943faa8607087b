// What a raw input's reader is told: only the rate, channels, size, frame rate and pixel
// format that option lines gave for that input, never the defaults, an earlier input's
// values or an output's.
#include <gtest/gtest.h>

#include "JobRunner.h"
#include "MediaTest.h"
#include "TestMediaCover.h"
#include "engine/FFmpeg.h"

namespace {

class RawInputParameters : public TMediaTest {
 protected:
  static void SetUpTestSuite() {
    TMediaTest::SetUpTestSuite();
    // 16-bit PCM recorded at 8000 Hz, which nothing in the file says.
    ASSERT_TRUE(MakeRawSound(Clip("prompt.sw"), "pcm_s16le", "s16le", 8000, 1));
    ASSERT_TRUE(MakeRawSound(Clip("prompt.al"), "pcm_alaw", "alaw", 8000, 1));
  }
  void SetUp() override {
    TMediaTest::SetUp();
    engine.FSettings.Verbosity = -1;
    engine.Reset();
    engine.FSettings.Verbosity = -1;
  }
  const AVCodecParameters& SoundOf(int input) {
    return *engine.InputFile(input)->streams[0]->codecpar;
  }

  TTestEngine engine;
};

}  // namespace

TEST_F(RawInputParameters, TheReaderIsToldOnlyWhatTheInputsOptionLinesSay) {
  // Nothing given: the reader's own assumption, one channel at 44100 Hz.
  ASSERT_TRUE(engine.OpenInput(Clip("prompt.sw"))) << engine.ErrorText();
  EXPECT_EQ(SoundOf(0).sample_rate, 44100);
  EXPECT_EQ(SoundOf(0).ch_layout.nb_channels, 1);

  // Given for the second input: as said.
  engine.SetOption("ar", "8000");
  engine.SetOption("ac", "2");
  ASSERT_TRUE(engine.OpenInput(Clip("prompt.sw"))) << engine.ErrorText();
  EXPECT_EQ(SoundOf(1).sample_rate, 8000);
  EXPECT_EQ(SoundOf(1).ch_layout.nb_channels, 2);

  // Used up by that input: the third, like the first, gets the reader's own values and not
  // the second's, which the settings now hold.
  ASSERT_TRUE(engine.OpenInput(Clip("prompt.sw"))) << engine.ErrorText();
  EXPECT_EQ(SoundOf(2).sample_rate, 44100);
  EXPECT_EQ(SoundOf(2).ch_layout.nb_channels, 1);
}

TEST_F(RawInputParameters, AnOutputsRateNeverReachesALaterInput) {
  ASSERT_TRUE(engine.OpenInput(Clip("prompt.sw"))) << engine.ErrorText();
  engine.SetOption("ar", "22050");
  engine.SetOption("ac", "2");
  ASSERT_TRUE(engine.OpenOutput(folder.File("out.wav"))) << engine.ErrorText();
  ASSERT_TRUE(engine.OpenInput(Clip("prompt.sw"))) << engine.ErrorText();
  EXPECT_EQ(SoundOf(1).sample_rate, 44100);
  EXPECT_EQ(SoundOf(1).ch_layout.nb_channels, 1);
}

TEST_F(RawInputParameters, TelephoneSoundIsReadAtTheTelephoneRateUnlessTold) {
  ASSERT_TRUE(engine.OpenInput(Clip("prompt.al"))) << engine.ErrorText();
  EXPECT_EQ(SoundOf(0).sample_rate, 8000);
  engine.SetOption("ar", "16000");
  ASSERT_TRUE(engine.OpenInput(Clip("prompt.al"))) << engine.ErrorText();
  EXPECT_EQ(SoundOf(1).sample_rate, 16000);
}
