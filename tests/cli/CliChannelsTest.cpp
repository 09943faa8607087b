// Sound of many channels (recorders of many inputs, 22.2 broadcasts) converted through
// tovrena-cli with the installed profiles: every channel count and sample format decodes
// to the channels the output takes, each carrying the signals it should.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "CliMediaTest.h"
#include "TestMedia.h"
#include "TestMediaChannels.h"
#include "TestMediaCover.h"
#include "frontend/IniFile.h"

namespace {

constexpr double kSeconds = 1.0;
// An encoder's delay and padding, and a resampler's filter: a few packets at most.
constexpr double kLengthTolerance = 0.1;
// A side's own tone against the other side's leaking into it, in power.
constexpr double kSeparation = 10;

struct TSource {
  const char* name;
  TChannelTonesRecipe recipe;
};

// Packed 8, 16, 24 and 32-bit and float samples, planar float (Vorbis decodes to it), and
// channels without positions.
const TSource kSources[] = {
    {"s16x16.wav", {16, AV_CODEC_ID_PCM_S16LE, false, 48000, kSeconds}},
    {"u8x16.wav", {16, AV_CODEC_ID_PCM_U8, false, 44100, kSeconds}},
    {"s24x24.wav", {24, AV_CODEC_ID_PCM_S24LE, false, 48000, kSeconds}},
    {"s32x16.wav", {16, AV_CODEC_ID_PCM_S32LE, false, 48000, kSeconds}},
    {"f32x24.wav", {24, AV_CODEC_ID_PCM_F32LE, false, 48000, kSeconds}},
    {"planar16.ogg", {16, AV_CODEC_ID_VORBIS, false, 48000, kSeconds}},
    {"planar24.ogg", {24, AV_CODEC_ID_VORBIS, false, 44100, kSeconds}},
    {"unplaced12.ogg", {12, AV_CODEC_ID_VORBIS, true, 48000, kSeconds}},
};

std::string OutputName(const std::string& source, const std::string& extension) {
  std::string name = std::filesystem::path(source).stem().string() + "." + extension;
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

class CliChannels : public TCliInstalledProfilesTest {
 protected:
  static void SetUpTestSuite() {
    TMediaTest::SetUpTestSuite();
    for (const TSource& source : kSources) MakeChannelTones(Clip(source.name), source.recipe);
    TClipRecipe video;  // moving pictures with 16 channels of one tone
    video.formatName = "matroska";
    video.frames = 25;
    video.channels = 16;
    video.audioCodec = AV_CODEC_ID_PCM_S16LE;
    MakeClip(Clip("video16.mkv"), video);
    // A broadcast that goes from mono to stereo midway: AAC frames say their channels.
    MakeChannelTones(Clip("mono.aac"), {1, AV_CODEC_ID_AAC, false, 48000, kSeconds});
    MakeChannelTones(Clip("stereo.aac"), {2, AV_CODEC_ID_AAC, false, 48000, kSeconds});
    std::ofstream joined(Clip("monothenstereo.aac"), std::ios::binary);
    for (const char* part : {"mono.aac", "stereo.aac"})
      joined << std::ifstream(Clip(part), std::ios::binary).rdbuf();
  }

  // Converts source and decodes the output; fails the test when either goes wrong.
  TDecodedSound Convert(const std::string& group, const std::string& profile,
                        const std::string& source, const std::string& name,
                        const std::vector<std::string>& more = {}) {
    std::vector<std::string> arguments = {"convert", "-g", group, "-p", profile, "-o", output};
    arguments.insert(arguments.end(), more.begin(), more.end());
    arguments.push_back(Clip(source));
    const TCliResult result = home.Run(arguments);
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    TDecodedSound sound = DecodeSound(output + name);
    EXPECT_FALSE(sound.channels.empty()) << output + name << " does not decode";
    std::filesystem::remove(output + name);
    return sound;
  }
};

// The front left tone (channel 0) in the left channel, the front right (channel 1) in the
// right, each well above what leaks from the other side.
void ExpectSidesKept(const TDecodedSound& sound) {
  ASSERT_GE(sound.channels.size(), 2u);
  const double leftOwn = sound.TonePower(0, ChannelToneHz(0));
  const double leftOther = sound.TonePower(0, ChannelToneHz(1));
  const double rightOwn = sound.TonePower(1, ChannelToneHz(1));
  const double rightOther = sound.TonePower(1, ChannelToneHz(0));
  EXPECT_GT(leftOwn, 1e-5) << "left is silent";
  EXPECT_GT(rightOwn, 1e-5) << "right is silent";
  EXPECT_GT(leftOwn, kSeparation * leftOther);
  EXPECT_GT(rightOwn, kSeparation * rightOther);
}

}  // namespace

TEST_F(CliChannels, EveryAudioProfileDownmixesManyChannelsToStereoWithTheSidesKept) {
  const auto profiles = ProfilesOf("Audio");
  ASSERT_GE(profiles.size(), 5u);
  for (const auto& [profile, extension] : profiles) {
    for (const TSource& source : kSources) {
      SCOPED_TRACE(profile + " / " + source.name);
      const TDecodedSound sound =
          Convert("Audio", profile, source.name, OutputName(source.name, extension));
      if (sound.channels.empty()) continue;
      EXPECT_EQ(sound.channels.size(), 2u);  // what the profiles ask for
      EXPECT_NEAR(sound.Seconds(), kSeconds, kLengthTolerance);
      ExpectSidesKept(sound);
    }
  }
}

TEST_F(CliChannels, AllChannelsAreKeptWhereTheEncoderTakesThemEachWithItsOwnTone) {
  for (const TSource& source : kSources) {
    SCOPED_TRACE(source.name);
    const int channels = source.recipe.channels;
    const TDecodedSound sound =
        Convert("Audio", "WAV (PCM 16-bit)", source.name, OutputName(source.name, "wav"),
                {"-s", "AudioChannels=" + std::to_string(channels)});
    if (sound.channels.empty()) continue;
    ASSERT_EQ(static_cast<int>(sound.channels.size()), channels);
    EXPECT_NEAR(sound.Seconds(), kSeconds, kLengthTolerance);
    for (int c = 0; c < channels; ++c) EXPECT_EQ(sound.LoudestTone(c, channels), c) << c;
  }
}

TEST_F(CliChannels, EncodersThatStopShortOfTheChannelsAskedForGetTheMostTheyTake) {
  // MP3 takes two channels, FLAC eight; the others at least two and no more than asked.
  for (const auto& [profile, extension] : ProfilesOf("Audio")) {
    for (const char* name : {"planar24.ogg", "s16x16.wav"}) {
      SCOPED_TRACE(profile + " / " + name);
      const TDecodedSound sound =
          Convert("Audio", profile, name, OutputName(name, extension), {"-s", "AudioChannels=24"});
      if (sound.channels.empty()) continue;
      const int channels = static_cast<int>(sound.channels.size());
      const int expected = extension == "mp3"    ? 2
                           : extension == "flac" ? 8
                           : extension == "wav"  ? 24
                                                 : 0;
      if (expected > 0) {
        EXPECT_EQ(channels, expected);
      }
      EXPECT_GE(channels, 2);
      EXPECT_LE(channels, 24);
      EXPECT_NEAR(sound.Seconds(), kSeconds, kLengthTolerance);
      // Front left and right lead the usual layouts of every count from two up.
      EXPECT_EQ(sound.LoudestTone(0, 24), 0);
      EXPECT_EQ(sound.LoudestTone(1, 24), 1);
    }
  }
}

TEST_F(CliChannels, VideoGroupsTakeTheSoundOfManyChannelsToo) {
  for (const auto& [group, profile, extension] :
       {std::tuple{"AVI", "MPEG-4 Phone 320x240", "avi"},
        std::tuple{"MP4", "H.264 Phone 320x240", "mp4"}}) {
    SCOPED_TRACE(group);
    const std::string name = OutputName("video16.mkv", extension);
    const TCliResult result =
        home.Run({"convert", "-g", group, "-p", profile, "-o", output, Clip("video16.mkv")});
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    const TMediaInfo info = DecodeMediaInfo(output + name);
    ASSERT_TRUE(info.opened);
    const TStreamInfo* video = info.FirstOfType(AVMEDIA_TYPE_VIDEO);
    ASSERT_NE(video, nullptr);
    EXPECT_GT(video->decodedFrames, 0);
    const TDecodedSound sound = DecodeSound(output + name);
    ASSERT_EQ(sound.channels.size(), 2u);
    EXPECT_NEAR(sound.Seconds(), 1.0, kLengthTolerance);
    for (int c = 0; c < 2; ++c) EXPECT_GT(sound.TonePower(c, kToneHz), 1e-4) << c;
  }
}

TEST_F(CliChannels, SoundThatChangesItsChannelsMidwayKeepsEachPartsSignals) {
  const TDecodedSound sound =
      Convert("Audio", "WAV (PCM 16-bit)", "monothenstereo.aac", "monothenstereo.wav");
  ASSERT_EQ(sound.channels.size(), 2u);
  EXPECT_NEAR(sound.Seconds(), 2 * kSeconds, 2 * kLengthTolerance);
  // Each half away from the join: the mono tone on both sides, then each side its own.
  const auto part = [&sound](double from, double to) {
    TDecodedSound window = sound;
    for (auto& samples : window.channels)
      samples = std::vector<double>(samples.begin() + static_cast<long>(from * sound.sampleRate),
                                    samples.begin() + static_cast<long>(to * sound.sampleRate));
    return window;
  };
  const TDecodedSound mono = part(0.2, 0.8);
  EXPECT_EQ(mono.LoudestTone(0, 2), 0);
  EXPECT_EQ(mono.LoudestTone(1, 2), 0);
  ExpectSidesKept(part(1.3, 1.9));
}
