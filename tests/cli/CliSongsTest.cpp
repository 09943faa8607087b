// Songs with their cover pictures and headerless telephone prompts, converted through
// tovrena-cli with the installed profiles as users run it; outputs checked by decoding.
#include <gtest/gtest.h>

#include <filesystem>

#include "CliMediaTest.h"
#include "TestMediaCover.h"
#include "frontend/IniFile.h"
#include "frontend/UnitGeneral.h"

namespace {

constexpr double kSongSeconds = 3;
constexpr double kPromptSeconds = 3;
// An encoder's delay and padding: a few audio packets at most.
constexpr double kLengthTolerance = 0.1;
constexpr double kToneTolerance = kToneHz * 0.03;

// The containers that keep a cover, by the extension the profiles give them.
bool KeepsCover(const std::string& extension) {
  for (const char* keeping : {"mp4", "m4a", "mp3", "flac", "mkv"})
    if (extension == keeping) return true;
  return false;
}

class CliSongs : public TCliInstalledProfilesTest {
 protected:
  static void SetUpTestSuite() {
    TMediaTest::SetUpTestSuite();
    MakeSongWithCover(Clip("song.mp3"), {kSongSeconds, AV_CODEC_ID_MP3, 44100, 700, 700});
    MakeSongWithCover(Clip("song.flac"), {kSongSeconds, AV_CODEC_ID_FLAC, 44100, 320, 240});
    MakeSongWithCover(Clip("song.m4a"), {kSongSeconds, AV_CODEC_ID_AAC, 44100, 500, 500});
  }

  struct TConverted {
    std::string path;
    std::string extension;
  };

  // Converts input with the group's profile; the output's path.
  TConverted Convert(const std::string& group, const std::string& profile,
                     const std::string& input) {
    const std::string extension = ExtensionOf(group, profile);
    const TCliResult result =
        home.Run({"convert", "-g", group, "-p", profile, "-o", output, input});
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    return {output + std::filesystem::path(input).stem().string() + "." + extension, extension};
  }

  // Each group's first profile and every Audio profile.
  std::vector<std::pair<std::string, std::string>> GroupProfiles() const {
    std::vector<std::pair<std::string, std::string>> chosen;
    for (const char* group : kOutputGroups) {
      const TIniFile groupFile(home.SettingsFolder() + group + ".ini");
      const std::vector<std::string> profiles = groupFile.ReadSections();
      for (const std::string& profile : profiles) {
        chosen.emplace_back(group, profile);
        if (std::string(group) != "Audio") break;
      }
    }
    return chosen;
  }

  static void ExpectTone(const std::string& path, double seconds) {
    const TSoundTone tone = DecodeSoundTone(path);
    EXPECT_NEAR(tone.seconds, seconds, kLengthTolerance) << path;
    EXPECT_NEAR(tone.frequency, kToneHz, kToneTolerance) << path;
  }
};

}  // namespace

TEST_F(CliSongs, ASongWithItsCoverConvertsIntoEveryGroupKeepingTheCoverWhereTheFileTakesIt) {
  int keptCovers = 0;
  for (const auto& [group, profile] : GroupProfiles()) {
    SCOPED_TRACE(group + " / " + profile);
    const TConverted converted = Convert(group, profile, Clip("song.mp3"));
    ExpectTone(converted.path, kSongSeconds);
    // The cover is never made into a video, whatever the group.
    const TPictureStreams pictures = PictureStreamsOf(converted.path);
    EXPECT_EQ(pictures.videos, 0);
    if (KeepsCover(converted.extension)) {
      EXPECT_EQ(pictures.covers, 1);
      EXPECT_EQ(pictures.coverWidth, 700);
      EXPECT_EQ(pictures.coverHeight, 700);
      keptCovers += pictures.covers;
    } else {
      EXPECT_EQ(pictures.covers, 0);
    }
    std::filesystem::remove(converted.path);
  }
  EXPECT_GE(keptCovers, 5);  // MP4, MKV and the MP3, M4A and FLAC profiles
}

TEST_F(CliSongs, FlacAndM4aSongsKeepTheirCovers) {
  const struct {
    const char* input;
    const char* group;
    const char* profile;
    int width, height;
  } cases[] = {
      {"song.flac", "Audio", "MP3 192 kbps", 320, 240},
      {"song.flac", "MKV", "H.264 1080p (CRF)", 320, 240},
      {"song.m4a", "Audio", "FLAC (lossless)", 500, 500},
      {"song.m4a", "MP4", "H.264 Web 640x360", 500, 500},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.input) + " into " + c.group + " / " + c.profile);
    const TConverted converted = Convert(c.group, c.profile, Clip(c.input));
    ExpectTone(converted.path, kSongSeconds);
    const TPictureStreams pictures = PictureStreamsOf(converted.path);
    EXPECT_EQ(pictures.videos, 0);
    EXPECT_EQ(pictures.covers, 1);
    EXPECT_EQ(pictures.coverWidth, c.width);
    EXPECT_EQ(pictures.coverHeight, c.height);
  }
}

TEST_F(CliSongs, ASongCutShortKeepsItsCoverAndEndsWhereAsked) {
  const TCliResult result = home.Run({"convert", "-g", "MP4", "-p", "H.264 Web 640x360", "-o",
                                      output, "--option", "t=1", Clip("song.mp3")});
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  // The cut falls on the packet that crosses it.
  EXPECT_NEAR(DecodeSoundTone(output + "song.mp4").seconds, 1, 2 * kLengthTolerance);
  EXPECT_EQ(PictureStreamsOf(output + "song.mp4").covers, 1);
}

TEST_F(CliSongs, TheProbeCallsACoverACoverPicture) {
  const TCliResult result = home.Run({"probe", Clip("song.mp3")});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("Stream 1:   cover picture (JPEG, 700x700)\n"), std::string::npos)
      << result.out;
  EXPECT_EQ(result.out.find("fps"), std::string::npos) << result.out;
}

TEST_F(CliSongs, HeaderlessTelephoneSoundKeepsItsRateAndLength) {
  const struct {
    const char* name;
    const char* encoder;
    const char* muxer;
    int sampleRate;  // what such files are made at: telephones' rate, and 16-bit PCM's usual
  } prompts[] = {
      {"prompt.gsm", "libgsm", "gsm", 8000},
      {"prompt.al", "pcm_alaw", "alaw", 8000},
      {"prompt.ul", "pcm_mulaw", "mulaw", 8000},
      {"prompt.sw", "pcm_s16le", "s16le", 44100},
  };
  int made = 0;
  for (const auto& prompt : prompts) {
    const std::string input = folder.File(prompt.name);
    if (!MakeRawSound(input, prompt.encoder, prompt.muxer, prompt.sampleRate, kPromptSeconds))
      continue;
    ++made;
    for (const auto& [group, profile] :
         {std::pair<std::string, std::string>{"Audio", "MP3 192 kbps"},
          {"Audio", "WAV (PCM 16-bit)"},
          {"Audio", "Ogg Vorbis 160 kbps"},
          {"MP4", "H.264 Web 640x360"}}) {
      SCOPED_TRACE(std::string(prompt.name) + " into " + group + " / " + profile);
      const TConverted converted = Convert(group, profile, input);
      ExpectTone(converted.path, kPromptSeconds);
      std::filesystem::remove(converted.path);
    }
  }
  EXPECT_GE(made, 3);  // the libraries always write A-law, u-law and PCM
}

TEST_F(CliSongs, AFileOfTagsAloneSaysWhatItLacks) {
  const std::string tags = folder.File("tags.txt");
  WriteTextFile(tags, ";FFMETADATA1\ntitle=Only tags\nartist=Nobody\n");
  const TCliResult video =
      home.Run({"convert", "-g", "MP4", "-p", "H.264 Web 640x360", "-o", output, tags});
  EXPECT_EQ(video.exitCode, 1);
  EXPECT_NE(video.err.find(tags + ": the input has neither pictures nor sound"), std::string::npos)
      << video.err;
  const TCliResult audio =
      home.Run({"convert", "-g", "Audio", "-p", "MP3 192 kbps", "-o", output, tags});
  EXPECT_EQ(audio.exitCode, 1);
  EXPECT_NE(audio.err.find(tags + ": the input has no sound"), std::string::npos) << audio.err;
  EXPECT_FALSE(std::filesystem::exists(output + "tags.mp4"));
  EXPECT_FALSE(std::filesystem::exists(output + "tags.mp3"));
}
