#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "OptionTestEngine.h"
#include "TestSupport.h"
#include "binding/MediaLibraries.h"
#include "binding/ValueConversion.h"
#include "engine/ProcessState.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class OptionParserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    BindMediaLibrariesForTest();
    savedLogLevel = lib::av_log_get_level();
    engine = std::make_unique<TOptionTestEngine>();
  }
  // The verbosity is process-wide: give the next test what this one found.
  void TearDown() override {
    lib::av_log_set_level(savedLogLevel);
    SetCurrentLogLevel(savedLogLevel);
  }

  std::int64_t IntOption(void* context, const char* name) {
    std::int64_t value = 0;
    EXPECT_GE(lib::av_opt_get_int(context, name, 0, &value), 0) << name;
    return value;
  }

  int savedLogLevel = 0;
  std::unique_ptr<TOptionTestEngine> engine;
};

TEST_F(OptionParserTest, UnknownNameIsDroppedSilentlyAndThreadsFails) {
  engine->SetOption("foo", "1");
  engine->SetOption("Vcodec", "mpeg4");  // names are case-sensitive
  EXPECT_THAT(engine->Logged, IsEmpty());
  EXPECT_THAT(engine->FLibraryOptions.Names, IsEmpty());
  EXPECT_TRUE(engine->Settings().VideoCodecName.empty());
  EXPECT_RAISES(engine->SetOption("threads", "2"), FFMpegException, "TODO: option - threads");
  EXPECT_EQ(engine->Settings().ThreadCount, 1);
}

TEST_F(OptionParserTest, ALibraryOptionsRefusedOrMissingValueFailsWithTheLibrarysReason) {
  EXPECT_RAISES(engine->SetOption("g", "abc"), FFMpegException,
                "Invalid value 'abc' for option g: Invalid argument");
  EXPECT_RAISES(engine->SetOption("packetsize", "-7"), FFMpegException,
                "Invalid value '-7' for option packetsize: Numerical result out of range");
  EXPECT_RAISES(engine->SetOption("g", ""), FFMpegException, "Option g needs a value");
  EXPECT_THAT(engine->FLibraryOptions.Names, IsEmpty());
  // Set-up of presets and records still only asks.
  EXPECT_FALSE(engine->SetCodecOption("g", "abc"));
}

TEST_F(OptionParserTest, KnownNamesAreTheVocabularysAndTheLibrariesTables) {
  for (const char* name :
       {"vcodec", "vn", "threads", "g", "gop", "packetsize", "sws_flags", "ab", "vb", "maxrate"}) {
    EXPECT_TRUE(engine->KnowsOption(name)) << name;
  }
  for (const std::string& name : {std::string("foo"), std::string("Vcodec"), std::string(),
                                  std::string(" "), std::string(100000, 'g')}) {
    EXPECT_FALSE(engine->KnowsOption(name)) << name.substr(0, 20);
  }
}

TEST_F(OptionParserTest, DoNothingOptionsOnlyLog) {
  for (const char* name :
       {"L", "h", "version", "formats", "i", "y", "benchmark", "apre", "vpre", "spre"})
    engine->SetOption(name, "x");
  ASSERT_EQ(engine->Logged.size(), 10u);
  EXPECT_EQ(engine->Logged[4].Level, 1);
  EXPECT_EQ(engine->Logged[4].Text, "Do nothing: option - i");
  EXPECT_FALSE(engine->Settings().Benchmark);
}

TEST_F(OptionParserTest, SwitchesIgnoreTheirValueAndNumbersAreConverted) {
  engine->SetOption("copyts", "0");
  engine->SetOption("vn", "");
  engine->SetOption("vframes", "250");
  engine->SetOption("fs", "5000000000");
  engine->SetOption("adrift_threshold", "0.25");
  engine->SetOption("alang", "eng");
  const TEngineSettings& settings = engine->Settings();
  EXPECT_TRUE(settings.CopyTimestamps);
  EXPECT_TRUE(settings.VideoDisable);
  EXPECT_EQ(settings.MaxFrames[0], 250);
  EXPECT_EQ(settings.FileSizeLimit, 5000000000u);
  EXPECT_FLOAT_EQ(settings.AudioDriftThreshold, 0.25f);
  EXPECT_EQ(settings.AudioLanguage, "eng");

  EXPECT_RAISES(engine->SetOption("vframes", "12x"), EConvertError,
                "'12x' is not a valid integer value");
  EXPECT_RAISES(engine->SetOption("aq", "high"), EConvertError,
                "'high' is not a valid floating point value");
  EXPECT_EQ(settings.MaxFrames[0], 250);
}

TEST_F(OptionParserTest, BitrateBelow1000WarnsThatItIsBitsPerSecond) {
  engine->SetOption("vb", "100");
  ASSERT_EQ(engine->Logged.size(), 1u);
  EXPECT_EQ(engine->Logged[0].Text,
            "WARNING: The bitrate parameter is set too low. It takes bits/s as argument, not "
            "kbits/s");
  // "vb" is the video context's "b", recorded under the library's own name.
  EXPECT_EQ(IntOption(engine->FLibraryOptions.CodecContexts[0].get(), "b"), 100);
  EXPECT_THAT(engine->FLibraryOptions.Names, ElementsAre("b"));

  engine->Logged.clear();
  engine->SetOption("vb", "1000");
  engine->SetOption("ab", "64000");
  EXPECT_THAT(engine->Logged, IsEmpty());
  EXPECT_EQ(IntOption(engine->FLibraryOptions.CodecContexts[1].get(), "b"), 64000);
  EXPECT_EQ(IntOption(engine->FLibraryOptions.CodecContexts[0].get(), "b"), 1000);
  EXPECT_FALSE(engine->SetBitrateOption("b", ""));
}

TEST_F(OptionParserTest, GenericOptionsReachTheirOptionContext) {
  EXPECT_TRUE(engine->SetCodecOption("g", "12"));
  EXPECT_EQ(IntOption(engine->FLibraryOptions.CodecContexts[0].get(), "g"), 12);
  EXPECT_TRUE(engine->SetCodecOptionInt("packetsize", 2324));
  EXPECT_EQ(IntOption(engine->FLibraryOptions.FormatContext.get(), "packetsize"), 2324);
  EXPECT_TRUE(engine->SetCodecOption("sws_flags", "bilinear"));
  EXPECT_EQ(IntOption(engine->FLibraryOptions.ScalerContext.get(), "sws_flags"), SWS_BILINEAR);
  // An audio-only option is kept out of the video context.
  EXPECT_TRUE(engine->SetCodecOption("ar", "22050"));
  EXPECT_EQ(IntOption(engine->FLibraryOptions.CodecContexts[1].get(), "ar"), 22050);
  EXPECT_EQ(IntOption(engine->FLibraryOptions.CodecContexts[0].get(), "ar"), 0);

  EXPECT_FALSE(engine->SetCodecOption("g", " "));
  EXPECT_FALSE(engine->SetCodecOption(" ", "1"));
  EXPECT_THAT(engine->FLibraryOptions.Names, ElementsAre("g", "packetsize", "sws_flags", "ar"));
}

// The verbosity is the engine's own: the libraries' level belongs to the whole process.
TEST_F(OptionParserTest, DebugOptionRaisesTheEnginesOwnVerbosity) {
  const int processLevel = lib::av_log_get_level();
  engine->SetOption("v", "0");
  EXPECT_EQ(engine->Settings().Verbosity, 0);
  int level = -9;
  EXPECT_TRUE(LogVerbosityOf(static_cast<TCustomFFmpeg*>(engine.get()), level));
  EXPECT_EQ(level, 0);
  EXPECT_TRUE(engine->SetCodecOption("debug", "pict"));
  EXPECT_EQ(engine->Settings().Verbosity, 2);
  EXPECT_TRUE(LogVerbosityOf(static_cast<TCustomFFmpeg*>(engine.get()), level));
  EXPECT_EQ(level, 2);
  EXPECT_EQ(lib::av_log_get_level(), processLevel);
}

TEST_F(OptionParserTest, FormatsAreLookedUpByName) {
  engine->SetOption("f", "avi");
  EXPECT_NE(engine->Settings().ForcedInputFormat, nullptr);
  EXPECT_STREQ(engine->Settings().ForcedOutputFormat->name, "avi");
  EXPECT_RAISES(engine->SetOption("f", "nosuchformat"), FFMpegException,
                "Unknown input or output format: nosuchformat");
  EXPECT_RAISES(engine->SetInputFormat("nosuchformat"), FFMpegException,
                "Unknown input format: nosuchformat");
  EXPECT_RAISES(engine->SetOutputFormat("nosuchformat"), FFMpegException,
                "Unknown output format: nosuchformat");

  engine->SetInputFormat("pgmyuv");
  EXPECT_STREQ(engine->Settings().ForcedInputFormat->name, "image2");
  EXPECT_TRUE(engine->Settings().PgmyuvCompatibility);
  ASSERT_FALSE(engine->Logged.empty());
  EXPECT_EQ(engine->Logged.back().Text, "pgmyuv format is deprecated, use image2");
}

TEST(ValueConversionTest, IntegersFollowTheRuntimesRules) {
  EXPECT_EQ(StrToInt("  42"), 42);
  EXPECT_EQ(StrToInt("-2147483648"), -2147483648LL);
  EXPECT_EQ(StrToInt("$1F"), 31);
  EXPECT_EQ(StrToInt("0x10"), 16);
  EXPECT_EQ(StrToInt64("-9223372036854775808"), INT64_MIN);
  EXPECT_EQ(StrToIntDef("4x", -7), -7);
  for (const char* bad : {"", "2147483648", "42 ", "1.5", "--1", "0x"})
    EXPECT_RAISES(StrToInt(bad), EConvertError,
                  std::string("'") + bad + "' is not a valid integer value");
}

TEST(ValueConversionTest, FloatsAreDecimalWithADot) {
  EXPECT_DOUBLE_EQ(StrToFloat(" 2.5 "), 2.5);
  EXPECT_DOUBLE_EQ(StrToFloat("+1e3"), 1000);
  EXPECT_DOUBLE_EQ(StrToFloatDef("2,5", -1), -1);
  for (const char* bad : {"", "inf", "nan", "1e999", "2,5"})
    EXPECT_RAISES(StrToFloat(bad), EConvertError,
                  std::string("'") + bad + "' is not a valid floating point value");
  EXPECT_RAISES(StrToSingle("1e39"), EConvertError, "'1e39' is not a valid floating point value");
}

}  // namespace
