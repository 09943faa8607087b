// Every track and copying what already fits, run as users do: tovrena-cli with a profile
// whose keys Tracks and CopyStreamsThatFit ask for them, outputs decoded afterwards.
#include <gtest/gtest.h>

#include <filesystem>

#include "CliMediaTest.h"
#include "CliTestSupport.h"
#include "MediaTest.h"
#include "TestMedia.h"

extern "C" {
#include <libavutil/avutil.h>
}

namespace {

constexpr int kFrames = 50;  // two seconds: cues at 0, 0.5, 1 and 1.5 s
constexpr int kCues = 4;

const char* const kCatalogue =
    "[Video Codec]\nMPEG-4 Part 2=mpeg4\nVP8=libvpx\nH.264=libx264\n"
    "[Audio Codec]\nMP2=mp2\nAAC=aac\nVorbis=libvorbis\n";

std::string Profile(const std::string& name, const std::string& targetType,
                    const std::string& videoCodec, const std::string& audioCodec, int width,
                    int height, const std::string& more = "") {
  return "[" + name + "]\nTargetType=" + targetType +
         "\nVideoDisabled=0\nVideoCodec=" + videoCodec +
         "\nVideoSizeOption=Custom...\nVideoCustomWidth=" + std::to_string(width) +
         "\nVideoCustomHeight=" + std::to_string(height) +
         "\nVideoBitrate=2000\nVideoFrameRateOption=25\nAudioDisabled=0\nAudioCodec=" + audioCodec +
         "\nAudioChannels=2\nAudioSampleRate=44100\nAudioBitRate=128\n" + more + "\n";
}

class CliTracksTest : public TCliMediaTest {
 protected:
  static void SetUpTestSuite() {
    TCliMediaTest::SetUpTestSuite();
    // Two languages of sound, the second marked default; subtitles in two languages;
    // chapters and a title.
    TClipRecipe recipe;
    recipe.frames = kFrames;
    recipe.audioSeconds = kFrames / 25.0;
    recipe.moreAudioTracks = {1};
    recipe.defaultAudioTrack = 1;
    recipe.audioLanguages = {"eng", "spa"};
    recipe.subtitleLanguages = {"eng", "spa"};
    recipe.chapters = 2;
    recipe.title = "Two languages";
    MakeClip(Clip("languages.mkv"), recipe);
    // What a camera or a download gives: H.264 and AAC, here in Matroska.
    TClipRecipe h264;
    h264.frames = kFrames;
    h264.audioSeconds = kFrames / 25.0;
    h264.width = 320;
    h264.height = 240;
    h264.videoCodec = AV_CODEC_ID_H264;
    h264.audioCodec = AV_CODEC_ID_AAC;
    MakeClip(Clip("h264.mkv"), h264);
    MakeClip(Clip("h264.ts"), h264);  // a camcorder's or a broadcast's
    TClipRecipe pictures;             // a DVD's subtitles, kept as pictures
    pictures.frames = kFrames;
    pictures.audioSeconds = kFrames / 25.0;
    pictures.pictureSubtitleLanguages = {"fre"};
    MakeClip(Clip("pictures.mkv"), pictures);
    TClipRecipe deep = h264;  // as phones and cameras film: 10 bits per sample
    deep.pixelFormat = AV_PIX_FMT_YUV420P10LE;
    MakeClip(Clip("h264-10bit.mkv"), deep);
  }

  void SetUp() override {
    TCliMediaTest::SetUp();
    WriteTextFile(home.SettingsFolder() + "codec.ini", kCatalogue);
    WriteTextFile(home.SettingsFolder() + "MP4.ini",
                  Profile("MKV", "MKV", "MPEG-4 Part 2", "MP2", 160, 120) +
                      Profile("WebM", "WEBM", "VP8", "Vorbis", 160, 120) +
                      Profile("MP4", "MP4", "MPEG-4 Part 2", "AAC", 160, 120) +
                      Profile("H.264", "MP4", "H.264", "AAC", 320, 240, "CopyStreamsThatFit=1\n"));
  }

  TCliResult Convert(const std::string& profile, const std::string& input,
                     const std::vector<std::string>& more = {}) {
    std::vector<std::string> arguments = {"convert", "-v",    "-g", "MP4",
                                          "-p",      profile, "-o", output};
    arguments.insert(arguments.end(), more.begin(), more.end());
    arguments.push_back(input);
    return home.Run(arguments);
  }

  // Every track of languages.mkv, decoded: languages, the default mark, cue texts and
  // times, chapters and the title.
  static void ExpectEveryTrack(const TMediaInfo& info, AVCodecID subtitleCodec) {
    ASSERT_TRUE(info.opened);
    EXPECT_EQ(info.CountOfType(AVMEDIA_TYPE_VIDEO), 1);
    ASSERT_EQ(info.CountOfType(AVMEDIA_TYPE_AUDIO), 2);
    std::vector<const TStreamInfo*> audio, subtitles;
    for (const TStreamInfo& stream : info.streams) {
      if (stream.type == AVMEDIA_TYPE_AUDIO) audio.push_back(&stream);
      if (stream.type == AVMEDIA_TYPE_SUBTITLE && stream.codec == subtitleCodec)
        subtitles.push_back(&stream);
    }
    EXPECT_EQ(audio[0]->language, "eng");
    EXPECT_EQ(audio[1]->language, "spa");
    EXPECT_TRUE(audio[1]->markedDefault);
    EXPECT_GT(audio[0]->decodedSamples, audio[1]->decodedSamples);  // the second is shorter
    ASSERT_EQ(subtitles.size(), 2u);
    const char* const languages[] = {"eng", "spa"};
    for (int track = 0; track < 2; ++track) {
      const TStreamInfo& cues = *subtitles[static_cast<std::size_t>(track)];
      EXPECT_EQ(cues.language, languages[track]);
      ASSERT_EQ(cues.subtitleTexts.size(), static_cast<std::size_t>(kCues));
      for (int cue = 0; cue < kCues; ++cue) {
        const auto at = static_cast<std::size_t>(cue);
        EXPECT_NE(cues.subtitleTexts[at].find(std::string(languages[track]) + " cue " +
                                              std::to_string(cue)),
                  std::string::npos)
            << cues.subtitleTexts[at];
        EXPECT_NEAR(cues.subtitleStarts[at], cue * 0.5, 0.05);
        EXPECT_NEAR(cues.subtitleDurations[at], 0.25, 0.05);
      }
    }
    ASSERT_EQ(info.chapters.size(), 2u);
    EXPECT_EQ(info.chapters[0].title, "Chapter 1");
    EXPECT_EQ(info.chapters[1].title, "Chapter 2");
    EXPECT_NEAR(info.chapters[1].startSeconds, 1.0, 0.05);
    EXPECT_EQ(info.title, "Two languages");
  }
};

TEST_F(CliTracksTest, EveryTrackReachesMatroskaWebmAndMp4) {
  const struct {
    const char* profile;
    const char* file;
    AVCodecID subtitles;
  } outputs[] = {{"MKV", "languages.mkv", AV_CODEC_ID_SUBRIP},
                 {"WebM", "languages.webm", AV_CODEC_ID_WEBVTT},
                 {"MP4", "languages.mp4", AV_CODEC_ID_MOV_TEXT}};
  for (const auto& each : outputs) {
    SCOPED_TRACE(each.profile);
    const TCliResult result = Convert(each.profile, Clip("languages.mkv"), {"--set", "Tracks=All"});
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    ExpectEveryTrack(DecodeMediaInfo(output + each.file), each.subtitles);
  }
}

TEST_F(CliTracksTest, AnMp4WithChaptersGivesItsTracksOnceMore) {
  // MP4 keeps its chapters with a text track of their own: they stay chapters.
  ASSERT_EQ(Convert("MP4", Clip("languages.mkv"), {"--set", "Tracks=All"}).exitCode, 0);
  const std::string mp4 = folder.File("again/languages.mp4");
  std::filesystem::create_directories(folder.File("again"));
  std::filesystem::rename(output + "languages.mp4", mp4);
  const TCliResult result = Convert("MKV", mp4, {"--set", "Tracks=All"});
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  ExpectEveryTrack(DecodeMediaInfo(output + "languages.mkv"), AV_CODEC_ID_SUBRIP);
  EXPECT_EQ(DecodeMediaInfo(output + "languages.mkv").CountOfType(AVMEDIA_TYPE_SUBTITLE), 2);
}

TEST_F(CliTracksTest, FirstTracksKeepOneVideoAndOneAudioAndSayWhatIsLeftOut) {
  const TCliResult result = Convert("MKV", Clip("languages.mkv"));
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  const TMediaInfo info = DecodeMediaInfo(output + "languages.mkv");
  ASSERT_TRUE(info.opened);
  EXPECT_EQ(info.CountOfType(AVMEDIA_TYPE_VIDEO), 1);
  ASSERT_EQ(info.CountOfType(AVMEDIA_TYPE_AUDIO), 1);
  EXPECT_EQ(info.CountOfType(AVMEDIA_TYPE_SUBTITLE), 0);
  // The track marked default is the one taken.
  EXPECT_EQ(info.FirstOfType(AVMEDIA_TYPE_AUDIO)->language, "spa");
  EXPECT_EQ(CountOf(result.err, "left out"), 2) << result.err;
  EXPECT_NE(result.err.find("#0.3 (subrip, eng), subtitle, left out"), std::string::npos)
      << result.err;
}

TEST_F(CliTracksTest, EveryTrackIntoAviSaysWhatTheContainerCannotHold) {
  WriteTextFile(home.SettingsFolder() + "AVI.ini",
                Profile("AVI", "AVI", "MPEG-4 Part 2", "MP2", 160, 120, "Tracks=All\n"));
  const std::vector<std::string> arguments = {
      "convert", "-v", "-g", "AVI", "-p", "AVI", "-o", output, Clip("languages.mkv")};
  const TCliResult result = home.Run(arguments);
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  const TMediaInfo info = DecodeMediaInfo(output + "languages.avi");
  ASSERT_TRUE(info.opened);
  EXPECT_EQ(info.CountOfType(AVMEDIA_TYPE_AUDIO), 1);
  EXPECT_NE(result.err.find("audio, left out: the avi format takes one audio track"),
            std::string::npos)
      << result.err;
  EXPECT_EQ(CountOf(result.err, "subtitle, left out"), 2) << result.err;
}

TEST_F(CliTracksTest, PictureSubtitlesAreCopiedWhereTheContainerTakesThemAndLeftOutElsewhere) {
  const TCliResult mkv = Convert("MKV", Clip("pictures.mkv"), {"--set", "Tracks=All"});
  ASSERT_EQ(mkv.exitCode, 0) << mkv.out << mkv.err;
  const TMediaInfo copied = ReadMediaInfo(output + "pictures.mkv");
  ASSERT_TRUE(copied.opened);
  const TStreamInfo* subtitles = copied.FirstOfType(AVMEDIA_TYPE_SUBTITLE);
  ASSERT_NE(subtitles, nullptr);
  EXPECT_EQ(subtitles->codec, AV_CODEC_ID_DVD_SUBTITLE);
  EXPECT_EQ(subtitles->language, "fre");
  EXPECT_EQ(StreamPackets(output + "pictures.mkv", AVMEDIA_TYPE_SUBTITLE),
            StreamPackets(Clip("pictures.mkv"), AVMEDIA_TYPE_SUBTITLE));

  const TCliResult webm = Convert("WebM", Clip("pictures.mkv"), {"--set", "Tracks=All"});
  ASSERT_EQ(webm.exitCode, 0) << webm.out << webm.err;
  EXPECT_NE(
      webm.err.find("(dvd_subtitle, fre), subtitle, left out: the webm format cannot hold it"),
      std::string::npos)
      << webm.err;
  const TMediaInfo rest = DecodeMediaInfo(output + "pictures.webm");
  ASSERT_TRUE(rest.opened);
  EXPECT_EQ(rest.CountOfType(AVMEDIA_TYPE_SUBTITLE), 0);
  ASSERT_NE(rest.FirstOfType(AVMEDIA_TYPE_VIDEO), nullptr);
  EXPECT_EQ(rest.FirstOfType(AVMEDIA_TYPE_VIDEO)->decodedFrames, kFrames);
  ASSERT_NE(rest.FirstOfType(AVMEDIA_TYPE_AUDIO), nullptr);
  EXPECT_GT(rest.FirstOfType(AVMEDIA_TYPE_AUDIO)->decodedSamples, 0);
}

TEST_F(CliTracksTest, ThirtyAudioTracksGiveThirty) {
  // A disc's languages and commentaries: more streams than the engine's classic tables hold.
  TClipRecipe recipe;
  recipe.frames = 10;
  recipe.audioSeconds = 0.4;
  recipe.moreAudioTracks.assign(29, 1);
  for (int i = 0; i < 30; ++i) recipe.audioLanguages.push_back(i % 2 ? "spa" : "eng");
  const std::string input = folder.File("thirty.mkv");
  ASSERT_NO_FATAL_FAILURE(MakeClip(input, recipe));
  const TCliResult result = Convert("MKV", input, {"--set", "Tracks=All"});
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  const TMediaInfo info = DecodeMediaInfo(output + "thirty.mkv");
  ASSERT_TRUE(info.opened);
  ASSERT_EQ(info.CountOfType(AVMEDIA_TYPE_AUDIO), 30);
  for (std::size_t i = 1; i < info.streams.size(); ++i) {
    EXPECT_EQ(info.streams[i].language, i % 2 ? "eng" : "spa") << i;
    EXPECT_GT(info.streams[i].decodedSamples, 0) << i;
  }
}

TEST_F(CliTracksTest, FittingStreamsAreCopiedPacketForPacket) {
  const TCliResult result = Convert("H.264", Clip("h264.mkv"));
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  EXPECT_NE(result.err.find("Video stream #0.0 (h264): copied"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("Audio stream #0.1 (aac): copied"), std::string::npos) << result.err;
  const std::string copy = output + "h264.mp4";
  EXPECT_EQ(StreamPackets(copy, AVMEDIA_TYPE_VIDEO),
            StreamPackets(Clip("h264.mkv"), AVMEDIA_TYPE_VIDEO));
  EXPECT_EQ(StreamPackets(copy, AVMEDIA_TYPE_AUDIO),
            StreamPackets(Clip("h264.mkv"), AVMEDIA_TYPE_AUDIO));
  const TMediaInfo info = DecodeMediaInfo(copy);
  ASSERT_TRUE(info.opened);
  const TStreamInfo* video = info.FirstOfType(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(video, nullptr);
  EXPECT_EQ(video->decodedFrames, kFrames);
  EXPECT_NEAR(video->startSeconds, 0, 0.1);
  EXPECT_GT(video->lumaPsnr, 30);
  EXPECT_NEAR(info.durationUs / 1e6, kFrames / 25.0, 0.2);
}

TEST_F(CliTracksTest, ATransportStreamIsRemuxedIntoAPlayableMp4) {
  const TCliResult result = Convert("H.264", Clip("h264.ts"));
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  EXPECT_NE(result.err.find("Video stream #0.0 (h264): copied"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("Audio stream #0.1 (aac): copied"), std::string::npos) << result.err;
  const TMediaInfo info = DecodeMediaInfo(output + "h264.mp4");
  ASSERT_TRUE(info.opened);
  const TStreamInfo* video = info.FirstOfType(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(video, nullptr);
  EXPECT_EQ(video->decodedFrames, kFrames);
  EXPECT_NEAR(video->startSeconds, 0, 0.1);
  EXPECT_TRUE(video->dtsIncreasing);
  const TStreamInfo* audio = info.FirstOfType(AVMEDIA_TYPE_AUDIO);
  ASSERT_NE(audio, nullptr);
  EXPECT_NEAR(static_cast<double>(audio->decodedSamples) / audio->sampleRate, kFrames / 25.0, 0.1);
}

TEST_F(CliTracksTest, AStreamThatDoesNotFitIsReEncodedAndTheLogSaysWhy) {
  const TCliResult result =
      Convert("H.264", Clip("h264.mkv"),
              {"--set", "VideoCustomWidth=160", "--set", "VideoCustomHeight=120"});
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  EXPECT_NE(result.err.find("Video stream #0.0 (h264): re-encoded because its size 320x240 "
                            "differs from 160x120"),
            std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find("Audio stream #0.1 (aac): copied"), std::string::npos) << result.err;
  const TMediaInfo info = DecodeMediaInfo(output + "h264.mp4");
  ASSERT_TRUE(info.opened);
  const TStreamInfo* video = info.FirstOfType(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(video, nullptr);
  EXPECT_EQ(video->width, 160);
  EXPECT_EQ(video->decodedFrames, kFrames);

  // Matroska states no stream's rate: the whole file's bounds the video's.
  const TCliResult smaller = Convert("H.264", Clip("h264.mkv"), {"--set", "VideoBitrate=100"});
  ASSERT_EQ(smaller.exitCode, 0) << smaller.out << smaller.err;
  EXPECT_NE(smaller.err.find("Video stream #0.0 (h264): re-encoded because its bit rate "),
            std::string::npos)
      << smaller.err;
  EXPECT_NE(smaller.err.find("kbit/s exceeds 100 kbit/s"), std::string::npos) << smaller.err;
}

TEST_F(CliTracksTest, TenBitVideoIsReEncodedIntoTheProfilesEightBits) {
  const TCliResult result = Convert("H.264", Clip("h264-10bit.mkv"));
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  EXPECT_NE(result.err.find("Video stream #0.0 (h264): re-encoded because its pixel format "
                            "yuv420p10le differs from yuv420p"),
            std::string::npos)
      << result.err;
  const TMediaInfo info = DecodeMediaInfo(output + "h264-10bit.mp4");
  ASSERT_TRUE(info.opened);
  const TStreamInfo* video = info.FirstOfType(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(video, nullptr);
  EXPECT_EQ(video->pixelFormat, AV_PIX_FMT_YUV420P);
  EXPECT_EQ(video->decodedFrames, kFrames);
}

}  // namespace

TEST_F(CliTracksTest, TracksLeftOutForTheStreamLimitAreNamedInTheSummary) {
  TClipRecipe withVideo;
  withVideo.frames = 5;
  withVideo.audioSeconds = 0.2;
  withVideo.moreAudioTracks.assign(68, 1);  // 70 tracks with the video
  ASSERT_NO_FATAL_FAILURE(MakeClip(folder.File("seventy.mkv"), withVideo));
  TClipRecipe soundOnly = withVideo;  // without pictures every stream is a track's
  soundOnly.frames = 0;
  soundOnly.moreAudioTracks.assign(69, 1);
  ASSERT_NO_FATAL_FAILURE(MakeClip(folder.File("sound.mkv"), soundOnly));
  for (const char* name : {"seventy", "sound"}) {
    const std::string input = folder.File(std::string(name) + ".mkv");
    const TCliResult result = Convert("MKV", input, {"--set", "Tracks=All"});
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    const TMediaInfo info = ReadMediaInfo(output + name + ".mkv");
    ASSERT_EQ(info.streams.size(), 64u) << name;
    EXPECT_NE(result.out.find("Note " + input +
                              ": 64 of 70 tracks kept: an output file takes at most 64 streams"),
              std::string::npos)
        << result.out;
    EXPECT_EQ(CountOf(result.err, "left out: an output file takes at most 64 streams"), 6)
        << result.err;
  }
}
