#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <regex>

#include "OptionTestEngine.h"
#include "TestSupport.h"
#include "binding/MyUtils.h"
#include "binding/ValueConversion.h"

using ::testing::StartsWith;

namespace {

constexpr const char* kVerticalCropRange =
    "Vertical crop dimensions are outside the range of the original image.\n"
    "Remember to crop first and scale second.";

std::string Numbers(int count) {
  std::string text;
  for (int i = 1; i <= count; ++i) text += (i > 1 ? "," : "") + std::to_string(i);
  return text;
}

class SettersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    BindMediaLibrariesForTest();
    engine = std::make_unique<TOptionTestEngine>();
  }

  const TEngineSettings& Settings() { return engine->Settings(); }

  std::unique_ptr<TOptionTestEngine> engine;
};

TEST_F(SettersTest, FrameSizeAndCropsWorkOnTheSizeKnownSoFar) {
  EXPECT_RAISES(engine->SetOption("croptop", "8"), FFMpegException, kVerticalCropRange);
  engine->SetOption("croptop", "-2");
  EXPECT_RAISES(engine->SetOption("s", "351x288"), FFMpegException,
                "Frame size must be a multiple of 2");
  EXPECT_RAISES(engine->SetOption("s", "wide"), FFMpegException, "Incorrect frame size");
  // Pictures of this size cannot be held: their byte count overflows.
  EXPECT_RAISES(engine->SetOption("s", "65536x65536"), FFMpegException, "Incorrect frame size");

  engine->SetOption("s", "352x288");
  EXPECT_RAISES(engine->SetOption("croptop", "3"), FFMpegException,
                "Top crop size must be a multiple of 2");
  engine->SetOption("croptop", "8");
  engine->SetOption("cropleft", "16");
  EXPECT_EQ(Settings().FrameHeight, 280);
  EXPECT_EQ(Settings().FrameWidth, 336);
  EXPECT_EQ(Settings().CropTop, 8);
  EXPECT_RAISES(engine->SetCropRight(336), FFMpegException,
                "Horizontal crop dimensions are outside the range of the original image.\n"
                "Remember to crop first and scale second.");

  engine->SetOption("padbottom", "-4");
  engine->SetOption("padbottom", "10");
  EXPECT_EQ(Settings().PadBottom, 10);
  EXPECT_EQ(Settings().FrameHeight, 280);
  EXPECT_RAISES(engine->SetOption("padleft", "5"), FFMpegException,
                "Left pad size must be a multiple of 2");
}

TEST_F(SettersTest, FrameRateUsesTheLibrarysSyntax) {
  engine->SetOption("r", "30000/1001");
  EXPECT_EQ(Settings().FrameRate.num, 30000);
  EXPECT_EQ(Settings().FrameRate.den, 1001);
  engine->SetOption("r", "pal");
  EXPECT_EQ(Settings().FrameRate.num, 25);
  EXPECT_RAISES(engine->SetOption("r", "fast"), FFMpegException, "Incorrect frame rate");
}

TEST_F(SettersTest, AspectRatioAcceptsRatiosAndDecimals) {
  engine->SetOption("aspect", "4:3");
  EXPECT_EQ(Settings().FrameAspectRatio, 1.3333334f);
  engine->SetOption("aspect", "1.7777");
  EXPECT_EQ(Settings().FrameAspectRatio, 1.7777f);
  for (const char* bad : {"4:0", "0", "letters", "4:x", "-16:9"})
    EXPECT_RAISES(engine->SetOption("aspect", bad), FFMpegException,
                  "Incorrect aspect ratio specification.");
  EXPECT_EQ(Settings().FrameAspectRatio, 1.7777f);
}

TEST_F(SettersTest, FormatListsLogAndKeepTheFormat) {
  engine->SetOption("pix_fmt", "yuv422p");
  engine->SetOption("pix_fmt", "list");
  EXPECT_EQ(Settings().FramePixelFormat, AV_PIX_FMT_YUV422P);
  ASSERT_EQ(engine->Logged.size(), 40u);
  EXPECT_THAT(engine->Logged[1].Text, StartsWith("yuv420p"));
  EXPECT_NE(engine->Logged[1].Text.back(), ' ');

  engine->Logged.clear();
  engine->SetOption("sample_fmt", "list");
  EXPECT_EQ(engine->Logged.size(), 5u);
  engine->SetOption("sample_fmt", "nosuch");
  EXPECT_EQ(Settings().AudioSampleFormat, -1);
}

TEST_F(SettersTest, PadColourIsConvertedToYuv) {
  EXPECT_EQ(Settings().PadColorY, 16);
  engine->SetOption("padcolor", "255");
  EXPECT_EQ(Settings().PadColorY, 76);
  EXPECT_EQ(Settings().PadColorU, 85);
  EXPECT_EQ(Settings().PadColorV, 255);
  engine->SetOption("padcolor", "16777215");
  EXPECT_EQ(Settings().PadColorY, 255);
  EXPECT_EQ(Settings().PadColorU, 128);
  EXPECT_EQ(Settings().PadColorV, 128);
  engine->SetPadColor(0x00FF00);  // green: every constant's rounding shows here
  EXPECT_EQ(Settings().PadColorY, 150);
  EXPECT_EQ(Settings().PadColorU, 43);
  EXPECT_EQ(Settings().PadColorV, 21);
  engine->SetPadColor(0);
  EXPECT_EQ(Settings().PadColorY, 0);
  EXPECT_EQ(Settings().PadColorU, 128);
}

TEST_F(SettersTest, CodecsTagsAndQuality) {
  engine->SetOption("acodec", "copy");
  engine->SetOption("acodec", "mp2");
  EXPECT_TRUE(Settings().AudioStreamCopy);
  EXPECT_EQ(Settings().AudioCodecName, "mp2");
  engine->SetOption("vcodec", "mpeg4");
  engine->SetOption("vcodec", "copy");
  EXPECT_TRUE(Settings().VideoCodecName.empty());

  engine->SetOption("vtag", "XVID");
  EXPECT_EQ(Settings().VideoCodecTag, 1145656920u);
  EXPECT_RAISES(engine->SetOption("vtag", "XVI"), EAssertionFailed,
                "video tag parameter must be 4 chars");
  EXPECT_RAISES(engine->SetOption("atag", "12345"), EAssertionFailed,
                "audio tag parameter must be 4 chars");

  EXPECT_RAISES(engine->SetOption("qscale", "0"), FFMpegException,
                "qscale must be > 0.0 and <= 255");
  EXPECT_RAISES(engine->SetVideoQScale(255.5f), FFMpegException, "qscale must be > 0.0 and <= 255");
  engine->SetOption("qscale", "255");
  EXPECT_EQ(Settings().VideoQScale, 255.0f);
}

TEST_F(SettersTest, TimesGoThroughTheLibrarysParser) {
  engine->SetOption("t", "0");
  EXPECT_EQ(Settings().RecordingTime, INT64_MAX);
  engine->SetOption("t", "00:00:10");
  EXPECT_EQ(Settings().RecordingTime, 10000000);
  EXPECT_EQ(Settings().ExpectedTotalDurationMs, 10000);
  EXPECT_RAISES(engine->SetOption("t", "1:xx"), FFMpegException,
                StringFormat(kInvalidTimeTextFormat, "duration", "t", "1:xx"));
  // A limit too long for the millisecond count must not wrap around to a short one.
  engine->SetOption("t", "3000000000");
  EXPECT_EQ(Settings().ExpectedTotalDurationMs, INT_MAX);

  engine->SetOption("ss", "1.5");
  EXPECT_EQ(Settings().StartTime, 1500000);
  engine->SetStartTimeUs(-5);
  EXPECT_EQ(Settings().StartTime, 1500000);
  engine->SetOption("itsoffset", "-2");
  EXPECT_EQ(Settings().InputTimeOffset, -2000000);
  engine->SetOption("timestamp", "2000-01-01 00:00:00Z");
  EXPECT_EQ(Settings().RecordTimestamp, 946684800);
  EXPECT_RAISES(engine->SetOption("timestamp", "someday"), FFMpegException,
                StringFormat(kInvalidTimeTextFormat, "date", "timestamp", "someday"));
}

TEST_F(SettersTest, MapsReadNumbersInCNotation) {
  engine->SetOption("map", "0:1");
  engine->SetOption("map", "0:1:1:0");
  engine->SetOption("map", "0x1,010");
  ASSERT_EQ(engine->FPlan.NbStreamMaps, 3);
  const auto& maps = engine->FPlan.StreamMaps;
  EXPECT_EQ((std::array{maps[0].FileIndex, maps[0].StreamIndex, maps[0].SyncFileIndex,
                        maps[0].SyncStreamIndex}),
            (std::array{0, 1, 0, 1}));
  EXPECT_EQ((std::array{maps[1].FileIndex, maps[1].StreamIndex, maps[1].SyncFileIndex,
                        maps[1].SyncStreamIndex}),
            (std::array{0, 1, 1, 0}));
  EXPECT_EQ(maps[2].FileIndex, 1);
  EXPECT_EQ(maps[2].StreamIndex, 8);

  engine->SetOption("map_meta_data", "1:0");
  EXPECT_EQ(engine->FPlan.MetaDataMaps[0].OutFile, 1);
  EXPECT_EQ(engine->FPlan.MetaDataMaps[0].InFile, 0);
  // Every tag and the chapters share the table, each entry with its kind.
  engine->SetOption("map_all_tags", "0:1");
  engine->SetOption("map_chapters", "2:3");
  ASSERT_EQ(engine->FPlan.NbMetaDataMaps, 3);
  EXPECT_EQ(engine->FPlan.MetaDataMaps[0].Kind, mmTexts);
  EXPECT_EQ(
      (std::array{engine->FPlan.MetaDataMaps[1].OutFile, engine->FPlan.MetaDataMaps[1].InFile}),
      (std::array{0, 1}));
  EXPECT_EQ(engine->FPlan.MetaDataMaps[1].Kind, mmAllTags);
  EXPECT_EQ(
      (std::array{engine->FPlan.MetaDataMaps[2].OutFile, engine->FPlan.MetaDataMaps[2].InFile}),
      (std::array{2, 3}));
  EXPECT_EQ(engine->FPlan.MetaDataMaps[2].Kind, mmChapters);
}

TEST_F(SettersTest, MapTablesRefuseEntriesBeyondTheirSize) {
  for (int i = engine->FPlan.NbStreamMaps; i < kMaxStreamMaps; ++i) engine->AddStreamMap("0:0");
  EXPECT_RAISES(engine->AddStreamMap("0:0"), FFMpegException,
                "Too many stream maps: at most 400 can be given");
  EXPECT_EQ(engine->FPlan.NbStreamMaps, kMaxStreamMaps);
  for (int i = 0; i < kMaxMetaDataMaps; ++i) engine->AddMetaDataMap("0:0");
  EXPECT_RAISES(engine->AddMetaDataMap("0:0"), FFMpegException,
                "Too many metadata maps: at most 20 can be given");
}

TEST_F(SettersTest, InputTimeScaleNamesAStreamOfTheNextInput) {
  EXPECT_RAISES(engine->SetOption("itsscale", "20:2"), FFMpegException,
                "stream index over MAX_STREAMS(20)");
  EXPECT_RAISES(engine->SetOption("itsscale", "-1:2"), FFMpegException,
                "stream index over MAX_STREAMS(20)");
  for (const char* scale : {"0:-1", "0:1e300", "0:nan"})
    EXPECT_RAISES(engine->SetOption("itsscale", scale), FFMpegException,
                  "itsscale must be >= 0.0 and <= 1000");
  engine->SetOption("itsscale", "1:0.5");
  EXPECT_EQ(engine->FPlan.InputFilesTsScale[0][1], 0.5);
  // Text that ends after the index is read up to its end and no further.
  engine->SetOption("itsscale", "2");
  EXPECT_EQ(engine->FPlan.InputFilesTsScale[0][2], 0.0);
}

TEST_F(SettersTest, MatricesNeedAll64Coefficients) {
  engine->SetOption("intra_matrix", Numbers(64) + ",99,garbage");
  ASSERT_EQ(Settings().IntraMatrix.size(), 64u);
  EXPECT_EQ(Settings().IntraMatrix[0], 1);
  EXPECT_EQ(Settings().IntraMatrix[63], 64);

  const std::string short_ = Numbers(63);
  EXPECT_RAISES(engine->SetOption("intra_matrix", short_), FFMpegException,
                "Syntax error in matrix \"" + short_ + "\" at coeff 62");
  EXPECT_EQ(Settings().IntraMatrix[63], 64);  // the earlier matrix stays
  EXPECT_RAISES(engine->SetOption("inter_matrix", ""), FFMpegException,
                "Syntax error in matrix \"\" at coeff 0");
  EXPECT_TRUE(Settings().InterMatrix.empty());
}

TEST_F(SettersTest, BitstreamFiltersWaitForTheNextStreamOfTheirType) {
  engine->SetOption("vbsf", "h264_mp4toannexb");
  engine->SetOption("absf", "aac_adtstoasc=ignored");
  engine->SetOption("sbsf", "null");
  engine->SetOption("vbsf", "=nothing");
  ASSERT_EQ(engine->FPlan.PendingBitstreamFilters[0].size(), 1u);
  EXPECT_STREQ(engine->FPlan.PendingBitstreamFilters[0][0]->filter->name, "h264_mp4toannexb");
  ASSERT_EQ(engine->FPlan.PendingBitstreamFilters[1].size(), 1u);
  EXPECT_STREQ(engine->FPlan.PendingBitstreamFilters[1][0]->filter->name, "aac_adtstoasc");
  EXPECT_EQ(engine->FPlan.PendingBitstreamFilters[2].size(), 1u);
  EXPECT_RAISES(engine->SetOption("vbsf", " nosuch "), FFMpegException,
                "Unknown bitstream filter nosuch");
}

TEST_F(SettersTest, PassAndStatisticsFile) {
  EXPECT_RAISES(engine->SetOption("pass", "3"), FFMpegException, "pass number can be only 1 or 2");
  engine->SetOption("pass", "2");
  EXPECT_EQ(Settings().Pass, 2);

  engine->SetOption("vstats", "");
  // A name only: the job places it beside its output.
  const std::string name = Settings().VStatsFileName;
  EXPECT_TRUE(std::regex_match(name, std::regex("vstats_[0-2][0-9][0-5][0-9][0-6][0-9]\\.log")))
      << name;
  engine->SetOption("vstats_file", "stats.log");
  EXPECT_EQ(Settings().VStatsFileName, "stats.log");
  engine->SetVStats(false);
  EXPECT_TRUE(Settings().VStatsFileName.empty());
}

TEST_F(SettersTest, TimeRangesAreSortedByTheirEnd) {
  engine->SetTimeRanges({{5, 30}, {0, 10}, {12, 20}});
  EXPECT_EQ(Settings().HookTimeRanges,
            (std::vector<std::pair<std::int64_t, std::int64_t>>{{0, 10}, {12, 20}, {5, 30}}));
  EXPECT_EQ(Settings().CurrentHookTimeRange, 0);
}

TEST_F(SettersTest, NewStreamsNeedAnOutputFile) {
  for (const char* option : {"newvideo", "newaudio", "newsubtitle"})
    EXPECT_RAISES(engine->SetOption(option, ""), FFMpegException,
                  "At least one output file must be specified");
}

}  // namespace
