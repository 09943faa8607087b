#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <thread>

#include <sys/resource.h>

#include "JobRunner.h"
#include "MediaTest.h"
#include "TestMedia.h"
#include "TestSupport.h"
#include "binding/MyUtils.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class TranscodeLoop : public TMediaTest {
 protected:
  static void SetUpTestSuite() {
    TMediaTest::SetUpTestSuite();
    TClipRecipe ts;
    ts.formatName = "mpegts";
    ts.frames = 50;
    ts.audioSeconds = 2;
    MakeClip(Clip("part.ts"), ts);
    TClipRecipe longer;
    longer.width = 640;
    longer.height = 480;
    longer.frames = 750;
    longer.audioSeconds = 30;
    MakeClip(Clip("long.avi"), longer);
  }

  // A copy of a clip with some of its bytes replaced or cut.
  std::string Damaged(const std::string& source, const std::string& name, double from, double to,
                      bool cutInstead) {
    std::ifstream in(source, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    const std::size_t begin = static_cast<std::size_t>(bytes.size() * from) / 188 * 188;
    const std::size_t end = static_cast<std::size_t>(bytes.size() * to) / 188 * 188;
    if (cutInstead) {
      bytes.erase(begin, end - begin);
    } else {
      std::mt19937 random(7);
      for (std::size_t i = begin; i < end; ++i) bytes[i] = static_cast<char>(random());
    }
    const std::string path = folder.File(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
};

}  // namespace

TEST_F(TranscodeLoop, StreamCopyStartsAtAKeyFrame) {
  // The head of a transport stream cut away: the first pictures left depend on lost ones.
  const std::string cut = Damaged(Clip("part.ts"), "cut.ts", 0, 0.3, true);
  const std::string output = folder.File("fromkey.avi");
  const TJobResult job = RunJob({cut}, {output}, {"vcodec=copy", "an"});
  ASSERT_TRUE(job.opened) << job.error;
  EXPECT_TRUE(job.finished) << job.message;
  const TMediaInfo info = ReadMediaInfo(output);
  ASSERT_TRUE(info.opened);
  const TStreamInfo* video = info.FirstOfType(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(video, nullptr);
  EXPECT_TRUE(video->firstPacketKey);
  EXPECT_LT(video->packets, 50);
  EXPECT_GT(video->packets, 0);
}

TEST_F(TranscodeLoop, TimestampsJumpingBackKeepTheOutputTimeLineGoing) {
  // Two transport streams one after the other: the second starts its clock again.
  const std::string joined = folder.File("joined.ts");
  {
    std::ofstream out(joined, std::ios::binary);
    for (int i = 0; i < 2; ++i) out << std::ifstream(Clip("part.ts"), std::ios::binary).rdbuf();
  }
  const std::string output = folder.File("joined.avi");
  const TJobResult job = RunJob({joined}, {output});
  ASSERT_TRUE(job.opened) << job.error;
  EXPECT_TRUE(job.finished) << job.message;
  const TMediaInfo info = ReadMediaInfo(output);
  ASSERT_TRUE(info.opened);
  // Every picture of both parts arrives, in one forward time line. Packets of one stream
  // that were interleaved before the jump was seen may leave a gap that sync fills.
  EXPECT_GE(info.FirstOfType(AVMEDIA_TYPE_VIDEO)->packets, 98);
  EXPECT_GE(info.durationUs / 1e6, 3.9);
  EXPECT_LE(info.durationUs / 1e6, 6.5);
}

TEST_F(TranscodeLoop, DamagedInputsEndCleanly) {
  const std::string garbled = Damaged(Clip("part.ts"), "garbled.ts", 0.4, 0.6, false);
  const std::string truncated = Damaged(Clip("part.ts"), "truncated.ts", 0.5, 1.0, true);
  for (const std::string& input : {garbled, truncated}) {
    const std::string output = folder.File(fs::path(input).stem().string() + ".avi");
    const TJobResult job = RunJob({input}, {output});
    ASSERT_TRUE(job.opened) << job.error;
    EXPECT_FALSE(job.exception) << input << ": " << job.message;
    const TMediaInfo info = ReadMediaInfo(output);
    ASSERT_TRUE(info.opened) << input;
    EXPECT_GT(info.FirstOfType(AVMEDIA_TYPE_VIDEO)->packets, 10) << input;
  }
}

TEST_F(TranscodeLoop, AJobFailingMidWayStillClosesItsOutput) {
  // The pictures shrink half-way below the crop, which ends the job with an error.
  TClipRecipe tiny;
  tiny.formatName = "mpegts";
  tiny.width = 32;
  tiny.height = 24;
  tiny.frames = 25;
  tiny.audioSeconds = 1;
  MakeClip(folder.File("tiny.ts"), tiny);
  const std::string joined = folder.File("shrinking.ts");
  {
    std::ofstream out(joined, std::ios::binary);
    for (const std::string& part : {Clip("part.ts"), folder.File("tiny.ts")})
      out << std::ifstream(part, std::ios::binary).rdbuf();
  }
  const std::string output = folder.File("failed.mp4");
  const TJobResult job = RunJob({joined}, {output}, {"croptop=40"});
  ASSERT_TRUE(job.opened) << job.error;
  EXPECT_TRUE(job.exception);
  EXPECT_EQ(job.message, "error cropping picture");
  EXPECT_FALSE(job.finished);
  const TMediaInfo info = ReadMediaInfo(output);  // an mp4 opens only with its trailer
  ASSERT_TRUE(info.opened);
  EXPECT_GT(info.FirstOfType(AVMEDIA_TYPE_VIDEO)->packets, 20);
}

namespace {

// Files of this process may grow to limit bytes while it lives; a write beyond fails with
// EFBIG instead of a signal, as a full disk fails one.
class TFileSizeLimit {
 public:
  explicit TFileSizeLimit(rlim_t limit) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lowered = saved_;
    lowered.rlim_cur = limit;
    setrlimit(RLIMIT_FSIZE, &lowered);
  }
  ~TFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previousHandler_);
  }
  TFileSizeLimit(const TFileSizeLimit&) = delete;
  TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  void (*previousHandler_)(int) = SIG_DFL;
};

}  // namespace

TEST_F(TranscodeLoop, AFailedWriteOrTrailerFailsTheJobWithTheReason) {
  // The same job without a limit tells how long the file is: a limit a few bytes short of
  // it lets every picture through and stops only the trailer's index.
  const std::string whole = folder.File("whole.avi");
  TJobResult job = RunJob({Clip("part.ts")}, {whole}, {"vframes=2", "an"});
  ASSERT_TRUE(job.finished) << job.message;
  const std::string small = folder.File("small.avi");
  {
    const TFileSizeLimit limit(static_cast<rlim_t>(std::filesystem::file_size(whole)) - 8);
    job = RunJob({Clip("part.ts")}, {small}, {"vframes=2", "an"});
  }
  ASSERT_TRUE(job.opened) << job.error;
  EXPECT_FALSE(job.finished);
  EXPECT_TRUE(job.exception);
  EXPECT_EQ(job.message,
            "Could not write the trailer of output file #0 '" + small + "': File too large");

  const std::string large = folder.File("large.avi");
  {
    const TFileSizeLimit limit(40000);
    job = RunJob({Clip("long.avi")}, {large}, {});
  }
  ASSERT_TRUE(job.opened) << job.error;
  EXPECT_FALSE(job.finished);
  EXPECT_EQ(job.message,
            "av_interleaved_write_frame(): Error while writing '" + large + "': File too large");
}

TEST_F(TranscodeLoop, StopDuringAJobStillWritesTheTrailer) {
  TTestEngine engine;
  engine.Reset();
  engine.SetVerbosity(-1);
  std::mutex mutex;
  std::condition_variable ended;
  bool done = false;
  engine.OnTerminate = [&](TCustomFFmpeg*) {
    std::lock_guard lock(mutex);
    done = true;
    ended.notify_all();
  };
  const std::string output = folder.File("stopped.mp4");
  ASSERT_TRUE(engine.OpenInput(Clip("long.avi")));
  ASSERT_TRUE(engine.OpenOutput(output)) << engine.ErrorText();
  engine.Start(true)->Resume();
  std::this_thread::sleep_for(400ms);
  engine.Stop();
  {
    std::unique_lock lock(mutex);
    ASSERT_TRUE(ended.wait_for(lock, 20s, [&] { return done; }));
  }
  EXPECT_FALSE(engine.Finished());
  EXPECT_FALSE(engine.ExceptionRaised()) << engine.ExceptionMessage();
  const TMediaInfo info = ReadMediaInfo(output);  // an mp4 opens only with its trailer
  ASSERT_TRUE(info.opened);
  const int frames = info.FirstOfType(AVMEDIA_TYPE_VIDEO)->packets;
  EXPECT_GT(frames, 0);
  EXPECT_LT(frames, 750);
}

TEST_F(TranscodeLoop, TimeScaleOfZeroChangesNothing) {
  const std::string plain = folder.File("plain.avi");
  const std::string scaled = folder.File("scaled.avi");
  ASSERT_TRUE(RunJob({Clip("part.ts")}, {plain}).finished);
  const TJobResult job = RunJob({Clip("part.ts")}, {scaled}, {}, [](TTestEngine& engine) {
    engine.FPlan.InputFilesTsScale[0][0] = 0;
  });
  ASSERT_TRUE(job.finished);
  EXPECT_EQ(ReadMediaInfo(plain).FirstOfType(AVMEDIA_TYPE_VIDEO)->packets,
            ReadMediaInfo(scaled).FirstOfType(AVMEDIA_TYPE_VIDEO)->packets);
}
