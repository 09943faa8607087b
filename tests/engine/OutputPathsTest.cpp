#include <gtest/gtest.h>

#include <filesystem>

#include <fstream>
#include <mutex>

#include "JobRunner.h"
#include "MediaTest.h"
#include "TestMedia.h"
#include "TestSupport.h"
#include "binding/MyUtils.h"

namespace {

class OutputPaths : public TMediaTest {
 protected:
  static void SetUpTestSuite() {
    TMediaTest::SetUpTestSuite();
    TClipRecipe clip;
    clip.frames = 50;
    clip.audioSeconds = 2;
    MakeClip(Clip("av.avi"), clip);
  }

  int VideoFrames(const std::vector<std::string>& options, const char* name = "sync.avi") {
    const std::string output = folder.File(name);
    std::filesystem::remove(output);  // the last call's: an output never replaces a file
    const TJobResult job = RunJob({Clip("av.avi")}, {output}, options);
    EXPECT_TRUE(job.finished) << job.error << job.message;
    const TMediaInfo info = ReadMediaInfo(output);
    return info.opened && info.FirstOfType(AVMEDIA_TYPE_VIDEO)
               ? info.FirstOfType(AVMEDIA_TYPE_VIDEO)->packets
               : -1;
  }
};

struct TProgress {
  int frame, fps, duration;
  float quality;
  std::int64_t size;
  int total;
};

}  // namespace

TEST_F(OutputPaths, SyncDuplicatesOrDropsToHoldTheOutputRate) {
  EXPECT_NEAR(VideoFrames({"r=50"}), 100, 2);  // every picture twice
  EXPECT_NEAR(VideoFrames({"r=10"}), 20, 2);   // pictures dropped
  // Without sync the counter follows the input times: nothing is duplicated.
  EXPECT_NEAR(VideoFrames({"r=50", "vsync=0"}), 50, 1);
  EXPECT_EQ(VideoFrames({"vframes=20"}), 20);
}

TEST_F(OutputPaths, AudioIsResampledAndRechannelled) {
  const std::string output = folder.File("mono.mp3");
  const TJobResult job = RunJob({Clip("av.avi")}, {output}, {"vn", "ar=22050", "ac=1"});
  ASSERT_TRUE(job.finished) << job.message;
  const TMediaInfo info = DecodeMediaInfo(output);
  const TStreamInfo* audio = info.FirstOfType(AVMEDIA_TYPE_AUDIO);
  ASSERT_NE(audio, nullptr);
  EXPECT_EQ(audio->sampleRate, 22050);
  EXPECT_EQ(audio->channels, 1);
  EXPECT_NEAR(audio->decodedSamples / 22050.0, 2.0, 0.05);
}

TEST_F(OutputPaths, LateAudioGetsLeadingSilenceWithAudioSync) {
  // The input's audio starts half a second late: with async it is padded to the start.
  const std::string output = folder.File("padded.wav");
  const TJobResult job =
      RunJob({Clip("av.avi")}, {output}, {"vn", "async=1"},
             [](TTestEngine& engine) { engine.FPlan.InputFilesTsOffset[0] += 500000; });
  ASSERT_TRUE(job.finished) << job.message;
  const TMediaInfo info = DecodeMediaInfo(output);
  EXPECT_NEAR(info.FirstOfType(AVMEDIA_TYPE_AUDIO)->decodedSamples / 44100.0, 2.5, 0.05);
}

TEST_F(OutputPaths, TwoPassEncodingReadsItsFirstPassLog) {
  const std::string prefix = folder.File("stats");
  ASSERT_TRUE(RunJob({Clip("av.avi")}, {folder.File("pass1.avi")},
                     {"an", "pass=1", "passlogfile=" + prefix})
                  .finished);
  EXPECT_GT(FileSizeOf(prefix + "-0.log"), 0);
  const TJobResult second = RunJob({Clip("av.avi")}, {folder.File("pass2.avi")},
                                   {"an", "pass=2", "passlogfile=" + prefix});
  EXPECT_TRUE(second.finished) << second.message;
  EXPECT_EQ(ReadMediaInfo(folder.File("pass2.avi")).FirstOfType(AVMEDIA_TYPE_VIDEO)->packets, 50);

  const TJobResult missing = RunJob({Clip("av.avi")}, {folder.File("pass2b.avi")},
                                    {"an", "pass=2", "passlogfile=" + folder.File("none")});
  EXPECT_EQ(missing.message,
            "creat open fail: " + folder.File("none") + "-0.log: No such file or directory");
  // The job failed before its first byte: its output is not left behind.
  EXPECT_FALSE(std::filesystem::exists(folder.File("pass2b.avi")));
}

TEST_F(OutputPaths, ProgressReportsCarryFramesOrMinusOneForAudio) {
  for (const bool audioOnly : {false, true}) {
    TTestEngine engine;
    engine.Reset();
    engine.SetVerbosity(-1);
    engine.FProgressInterval = 0;  // every pass reports
    std::vector<TProgress> reports;
    engine.OnProgress = [&](TCustomFFmpeg*, int frame, int fps, int duration, float quality, float,
                            std::int64_t size, int total) {
      reports.push_back({frame, fps, duration, quality, size, total});
    };
    ASSERT_TRUE(engine.OpenInput(Clip("av.avi")));
    if (audioOnly) engine.SetOption("vn", "");
    ASSERT_TRUE(engine.OpenOutput(folder.File(audioOnly ? "report.mp3" : "report.avi")));
    engine.Start(false);
    ASSERT_TRUE(engine.Finished());
    ASSERT_FALSE(reports.empty());
    const TProgress& last = reports.back();
    EXPECT_NEAR(last.total, 2000, 100);
    EXPECT_GT(last.size, 0);
    if (audioOnly) {
      EXPECT_EQ(last.frame, -1);
      EXPECT_EQ(last.fps, -1);
      EXPECT_FLOAT_EQ(last.quality, -1.0f);
    } else {
      EXPECT_EQ(last.frame, 50);
      for (const TProgress& report : reports) EXPECT_GE(report.frame, 1);  // none before a picture
    }
    EXPECT_NEAR(last.duration, 2000, 150);
  }
}

TEST_F(OutputPaths, VideoStatisticsFileGetsALinePerFrame) {
  const std::string stats = folder.File("vstats.log");
  const TJobResult job =
      RunJob({Clip("av.avi")}, {folder.File("stats.avi")}, {"an", "psnr", "vstats_file=" + stats});
  ASSERT_TRUE(job.finished) << job.message;
  std::ifstream in(stats);
  int lines = 0;
  for (std::string line; std::getline(in, line); ++lines) {
    EXPECT_EQ(line.rfind("frame= ", 0), 0u) << line;
    EXPECT_NE(line.find("PSNR= "), std::string::npos) << line;
    EXPECT_NE(line.find("type= "), std::string::npos) << line;
  }
  EXPECT_EQ(lines, 50);
}
