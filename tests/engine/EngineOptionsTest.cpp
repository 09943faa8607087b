// The option vocabulary on a settings value of its own, with no engine: what the options
// write, what needs the parts given with it, and that an engine's options write the same.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "OptionTestEngine.h"
#include "TestSupport.h"
#include "binding/MyUtils.h"
#include "binding/ValueConversion.h"
#include "engine/job/JobPlan.h"
#include "engine/options/EngineOptions.h"
#include "engine/options/LibraryOptions.h"

namespace {

using TOptionLines = std::vector<std::pair<std::string, std::string>>;

const TOptionLines kPictureAndAudio = {
    {"s", "352x288"},    {"croptop", "8"},  {"padleft", "4"},       {"padcolor", "255"},
    {"vcodec", "mpeg4"}, {"vtag", "XVID"},  {"aspect", "4:3"},      {"r", "30000/1001"},
    {"acodec", "copy"},  {"acodec", "mp2"}, {"ar", "22050"},        {"ac", "1"},
    {"vol", "300"},      {"alang", "eng"},  {"t", "00:00:10"},      {"ss", "2"},
    {"title", "Clip"},   {"vsync", "2"},    {"muxpreload", "0.25"}, {"loop_input", ""},
    {"qscale", "4.5"},   {"f", "pgmyuv"},   {"intra", ""},          {"vn", ""}};

class EngineOptionsTest : public ::testing::Test {
 protected:
  void SetUp() override { BindMediaLibrariesForTest(); }

  TEngineSettings settings;
  TLibraryOptions library;
};

TEST_F(EngineOptionsTest, OptionsParseIntoASettingsValueWithoutAnEngine) {
  TEngineOptions options(settings, library);
  for (const auto& [name, value] : kPictureAndAudio) options.SetOption(name, value);

  EXPECT_EQ(settings.FrameWidth, 352);
  EXPECT_EQ(settings.FrameHeight, 280);  // the crop comes off the size known so far
  EXPECT_EQ(settings.PadLeft, 4);
  EXPECT_EQ(settings.PadColorY, 76);
  EXPECT_EQ(settings.PadColorU, 85);
  EXPECT_EQ(settings.PadColorV, 255);
  EXPECT_EQ(settings.VideoCodecName, "mpeg4");
  EXPECT_EQ(settings.VideoCodecTag, 0x44495658u);
  EXPECT_FLOAT_EQ(settings.FrameAspectRatio, 4.0f / 3);
  EXPECT_EQ(settings.FrameRate.num, 30000);
  EXPECT_EQ(settings.FrameRate.den, 1001);
  EXPECT_TRUE(settings.AudioStreamCopy);  // stream copy wins over the later name
  EXPECT_EQ(settings.AudioCodecName, "mp2");
  EXPECT_EQ(settings.AudioSampleRate, 22050);
  EXPECT_EQ(settings.AudioChannels, 1);
  EXPECT_EQ(settings.AudioVolume, 300);
  EXPECT_EQ(settings.AudioLanguage, "eng");
  EXPECT_EQ(settings.RecordingTime, 10000000);
  EXPECT_EQ(settings.ExpectedTotalDurationMs, 10000);
  EXPECT_EQ(settings.StartTime, 2000000);
  EXPECT_EQ(settings.Title, "Clip");
  EXPECT_EQ(settings.VideoSyncMethod, 2);
  EXPECT_FLOAT_EQ(settings.MuxPreload, 0.25f);
  EXPECT_TRUE(settings.LoopInput);
  EXPECT_FLOAT_EQ(settings.VideoQScale, 4.5f);
  EXPECT_TRUE(settings.PgmyuvCompatibility);
  EXPECT_NE(settings.ForcedInputFormat, nullptr);
  EXPECT_TRUE(settings.IntraOnly);
  EXPECT_TRUE(settings.VideoDisable);

  // Failures raise as on an engine and leave what earlier options wrote.
  EXPECT_RAISES(options.SetOption("threads", "2"), FFMpegException, "TODO: option - threads");
  EXPECT_RAISES(options.SetOption("s", "351x288"), FFMpegException,
                "Frame size must be a multiple of 2");
  EXPECT_THROW(options.SetOption("ar", "many"), EConvertError);
  EXPECT_EQ(settings.AudioSampleRate, 22050);
  // Without option contexts no library table knows a name: it is dropped.
  EXPECT_NO_THROW(options.SetOption("foo", "1"));
  EXPECT_FALSE(options.KnowsOption("foo"));
  EXPECT_TRUE(options.KnowsOption("vcodec"));
}

TEST_F(EngineOptionsTest, GenericOptionsGoToTheLibraryContextsGiven) {
  library.Allocate(settings.ScalerFlags);
  TEngineOptions options(settings, library);
  EXPECT_TRUE(options.KnowsOption("maxrate"));
  options.SetOption("maxrate", "2000000");
  options.SetOption("gop", "12");
  EXPECT_EQ(library.Names, (std::vector<std::string>{"maxrate", "g"}));
  EXPECT_EQ(library.CodecContexts[0]->gop_size, 12);
  EXPECT_RAISES(options.SetOption("maxrate", "lots"), FFMpegException,
                StringFormat("Invalid value 'lots' for option maxrate: %s",
                             ErrorReason(AVERROR(EINVAL)).c_str()));
  // The libraries' debug setting raises the verbosity, here the value's alone.
  options.SetOption("debug", "pict");
  EXPECT_EQ(settings.Verbosity, 2);
  library.Release();
  EXPECT_TRUE(library.Names.empty());
}

TEST_F(EngineOptionsTest, AJobGivenTakesTheLogTheVerbosityAndTheNewStreams) {
  library.Allocate(settings.ScalerFlags);
  std::vector<std::string> logged;
  std::vector<int> levels;
  std::vector<AVMediaType> streams;
  TOptionJob job;
  job.Log = [&](int, const std::string& line) { logged.push_back(line); };
  job.VerbosityChanged = [&](int level) { levels.push_back(level); };
  job.AddStream = [&](AVMediaType type) { streams.push_back(type); };
  TEngineOptions options(settings, library, nullptr, std::move(job));
  options.SetOption("vb", "100");
  options.SetOption("v", "3");
  options.SetOption("newaudio", "");
  options.SetOption("newsubtitle", "");
  options.SetOption("L", "");
  EXPECT_EQ(logged, (std::vector<std::string>{
                        "WARNING: The bitrate parameter is set too low. It takes bits/s as "
                        "argument, not kbits/s",
                        "Do nothing: option - L"}));
  EXPECT_EQ(levels, std::vector<int>{3});
  EXPECT_EQ(settings.Verbosity, 3);
  EXPECT_EQ(streams, (std::vector<AVMediaType>{AVMEDIA_TYPE_AUDIO, AVMEDIA_TYPE_SUBTITLE}));
}

TEST_F(EngineOptionsTest, OptionsOfTheJobNeedItsPartsAndWriteThePlanGiven) {
  TEngineOptions alone(settings, library);
  EXPECT_RAISES(alone.SetOption("map", "0:1"), FFMpegException, "Option map needs a job to set up");

  TJobPlan plan;
  TEngineOptions withPlan(settings, library, &plan);
  withPlan.SetOption("map", "0:1");
  withPlan.SetOption("map", "0:1:1:0");
  withPlan.SetOption("map_meta_data", "0:1");
  withPlan.SetOption("itsscale", "1:0.5");
  withPlan.SetOption("vbsf", "null");
  ASSERT_EQ(plan.NbStreamMaps, 2);
  EXPECT_EQ(plan.StreamMaps[0].SyncFileIndex, 0);
  EXPECT_EQ(plan.StreamMaps[0].SyncStreamIndex, 1);
  EXPECT_EQ(plan.StreamMaps[1].SyncFileIndex, 1);
  EXPECT_EQ(plan.StreamMaps[1].SyncStreamIndex, 0);
  ASSERT_EQ(plan.NbMetaDataMaps, 1);
  EXPECT_EQ(plan.MetaDataMaps[0].InFile, 1);
  ASSERT_EQ(plan.InputFilesTsScale.size(), 1u);
  EXPECT_DOUBLE_EQ(plan.InputFilesTsScale[0][1], 0.5);
  EXPECT_EQ(plan.PendingBitstreamFilters[0].size(), 1u);
  // A new stream goes into the job's last output: a plan alone has none to give.
  EXPECT_RAISES(withPlan.SetOption("newvideo", ""), FFMpegException,
                "Option newvideo needs a job to set up");
  plan.Clear();
  EXPECT_EQ(plan.NbStreamMaps, 0);
  EXPECT_TRUE(plan.PendingBitstreamFilters[0].empty());
}

// The engine's setters hand their values to the same vocabulary: the same lines give the
// same settings.
TEST_F(EngineOptionsTest, AnEnginesOptionsWriteWhatTheValueGets) {
  TOptionTestEngine engine;
  TEngineOptions options(settings, library);
  for (const auto& [name, value] : kPictureAndAudio) {
    engine.SetOption(name, value);
    options.SetOption(name, value);
  }
  engine.SetYear(2001);
  options.SetYear(2001);
  engine.SetTimeRanges({{5, 9}, {1, 3}});
  options.SetTimeRanges({{5, 9}, {1, 3}});
  const TEngineSettings& written = engine.Settings();
  EXPECT_EQ(written.FrameHeight, settings.FrameHeight);
  EXPECT_EQ(written.PadColorV, settings.PadColorV);
  EXPECT_EQ(written.VideoCodecTag, settings.VideoCodecTag);
  EXPECT_EQ(written.AudioCodecName, settings.AudioCodecName);
  EXPECT_EQ(written.AudioStreamCopy, settings.AudioStreamCopy);
  EXPECT_EQ(written.RecordingTime, settings.RecordingTime);
  EXPECT_EQ(written.StartTime, settings.StartTime);
  EXPECT_EQ(written.ForcedInputFormat, settings.ForcedInputFormat);
  EXPECT_EQ(written.Year, settings.Year);
  EXPECT_EQ(written.HookTimeRanges, settings.HookTimeRanges);
  EXPECT_EQ(settings.HookTimeRanges.front().second, 3);
}

}  // namespace
