#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "TestMedia.h"
#include "TestSupport.h"
#include "binding/MyUtils.h"
#include "engine/FFmpeg.h"

using namespace std::chrono_literals;

namespace {

struct TLogLine {
  int level;
  std::string text;
};

// An engine whose job body is given by the test; it records its events.
class TScriptedEngine : public TCustomFFmpeg {
 public:
  TScriptedEngine() {
    OnLog = [this](TCustomFFmpeg*, int level, const std::string& text) {
      std::lock_guard lock(mutex);
      logs.push_back({level, text});
    };
    OnTerminate = [this](TCustomFFmpeg*) {
      std::lock_guard lock(mutex);
      ++terminations;
      terminateThread = std::this_thread::get_id();
      ended.notify_all();
    };
  }
  ~TScriptedEngine() override { WaitForJobEnd(); }

  // An output context on path, written as the engine writes one: into a temporary beside it.
  void AddOutput(const std::string& path) {
    AVFormatContext* context = nullptr;
    ASSERT_GE(lib::avformat_alloc_output_context2(&context, nullptr, "nut", path.c_str()), 0);
    auto placement = std::make_unique<TOutputPlacement>();
    const int descriptor = placement->Create(path, "");
    ASSERT_GE(descriptor, 0) << SystemReason(-descriptor);
    int error = 0;
    FPlan.OutputByteStreams[FPlan.NbOutputFiles] = TOutputByteStream::Adopt(descriptor, error);
    ASSERT_TRUE(FPlan.OutputByteStreams[FPlan.NbOutputFiles]) << SystemReason(error);
    FPlan.OutputPlacements[FPlan.NbOutputFiles] = std::move(placement);
    context->pb = FPlan.OutputByteStreams[FPlan.NbOutputFiles]->Context();
    FPlan.OutputFiles[FPlan.NbOutputFiles++].reset(context);
  }
  // Where output row is being written until it is moved to its name.
  std::string TemporaryOf(int row) const { return FPlan.OutputPlacements[row]->TemporaryPath(); }
  // Stands for an opened input: the job tables only need a context to be there.
  void AddInput() { FPlan.InputFiles[FPlan.NbInputFiles++].reset(lib::avformat_alloc_context()); }

  bool WaitForEnd(std::chrono::milliseconds timeout = 5s) {
    std::unique_lock lock(mutex);
    return ended.wait_for(lock, timeout, [this] { return terminations > 0; });
  }
  int Terminations() {
    std::lock_guard lock(mutex);
    return terminations;
  }
  bool Logged(int level, const std::string& text) {
    std::lock_guard lock(mutex);
    for (const TLogLine& line : logs)
      if (line.level == level && line.text == text) return true;
    return false;
  }
  void MarkFinished() { FFinished = true; }

  std::function<void(TScriptedEngine&)> body;
  std::mutex mutex;
  std::condition_variable ended;
  std::vector<TLogLine> logs;
  int terminations = 0;
  std::thread::id terminateThread;

 protected:
  void Transcode() override {
    if (body) body(*this);
  }
};

class EngineLifecycle : public ::testing::Test {
 protected:
  void SetUp() override {
    BindMediaLibrariesForTest();
    engine = std::make_unique<TScriptedEngine>();
    engine->Reset();
  }
  void WithFiles() {
    engine->AddOutput(folder.File("out.nut"));
    engine->AddInput();
  }

  TTempFolder folder;
  std::unique_ptr<TScriptedEngine> engine;
};

}  // namespace

TEST_F(EngineLifecycle, StartWithoutFilesEndsAtOnceWithTheReason) {
  EXPECT_EQ(engine->Start(true), nullptr);
  EXPECT_TRUE(engine->Logged(-1, "Must supply at least one output file"));
  EXPECT_TRUE(engine->ExceptionRaised());
  EXPECT_EQ(engine->ExceptionMessage(), "Must supply at least one output file");
  EXPECT_EQ(engine->Terminations(), 1);
  EXPECT_EQ(engine->terminateThread, std::this_thread::get_id());
  EXPECT_FALSE(engine->Running());

  // Ended: no new start until Reset.
  EXPECT_EQ(engine->Start(true), nullptr);
  EXPECT_EQ(engine->Terminations(), 1);

  engine->Reset();
  EXPECT_FALSE(engine->ExceptionRaised());
  engine->AddOutput(folder.File("out.nut"));
  EXPECT_EQ(engine->Start(false), nullptr);
  EXPECT_TRUE(engine->Logged(-1, "Must supply at least one input file"));
  EXPECT_EQ(engine->Terminations(), 2);
}

TEST_F(EngineLifecycle, ThreadedJobStartsSuspendedAndReportsItsEndOnce) {
  WithFiles();
  std::atomic<bool> ran{false};
  engine->body = [&](TScriptedEngine& self) {
    ran = true;
    self.MarkFinished();
  };
  TFFmpegThread* thread = engine->Start(true, tpLower);
  ASSERT_NE(thread, nullptr);
  EXPECT_TRUE(thread->Suspended());
  EXPECT_TRUE(engine->Running());
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(ran);
  thread->Resume();
  ASSERT_TRUE(engine->WaitForEnd());
  EXPECT_TRUE(ran);
  EXPECT_TRUE(engine->Finished());
  EXPECT_FALSE(engine->ExceptionRaised());
  EXPECT_NE(engine->terminateThread, std::this_thread::get_id());
  EXPECT_EQ(engine->Thread(), nullptr);
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(engine->Terminations(), 1);
}

TEST_F(EngineLifecycle, StopEndsTheJobUnfinishedWithoutException) {
  WithFiles();
  engine->body = [](TScriptedEngine& self) {
    while (!self.StopRequested()) std::this_thread::sleep_for(1ms);
  };
  engine->Start(true)->Resume();
  std::this_thread::sleep_for(20ms);
  engine->Stop();
  ASSERT_TRUE(engine->WaitForEnd());
  EXPECT_FALSE(engine->Finished());
  EXPECT_FALSE(engine->ExceptionRaised());
}

TEST_F(EngineLifecycle, ExceptionInTheJobIsLoggedAndReported) {
  WithFiles();
  engine->body = [](TScriptedEngine&) { throw FFMpegException("broken input"); };
  EXPECT_EQ(engine->Start(false), nullptr);
  EXPECT_EQ(engine->Terminations(), 1);
  EXPECT_TRUE(engine->ExceptionRaised());
  EXPECT_EQ(engine->ExceptionMessage(), "broken input");
  EXPECT_TRUE(engine->Logged(-1, "broken input"));
  EXPECT_FALSE(engine->Finished());
}

TEST_F(EngineLifecycle, CodecsLeftOpenByAFailedJobAreClosed) {
  WithFiles();
  // In a real job the stream tables own the contexts; here the test does, past the throw.
  std::vector<TCodecContextPtr> contexts;
  engine->body = [&contexts](TScriptedEngine& self) {
    const AVCodec* decoder = lib::avcodec_find_decoder(AV_CODEC_ID_RAWVIDEO);
    TCodecContextPtr decoding(lib::avcodec_alloc_context3(decoder));
    decoding->width = decoding->height = 16;
    decoding->pix_fmt = AV_PIX_FMT_YUV420P;
    ASSERT_GE(self.OpenDecoder(decoding.get(), decoder, nullptr), 0);
    const AVCodec* encoder = lib::avcodec_find_encoder(AV_CODEC_ID_RAWVIDEO);
    TCodecContextPtr encoding(lib::avcodec_alloc_context3(encoder));
    encoding->width = encoding->height = 16;
    encoding->pix_fmt = AV_PIX_FMT_YUV420P;
    encoding->time_base = {1, 25};
    ASSERT_GE(self.OpenEncoder(encoding.get(), encoder, nullptr), 0);
    EXPECT_EQ(self.OpenedDecoderCount(), 1u);
    EXPECT_EQ(self.OpenedEncoderCount(), 1u);
    contexts.push_back(std::move(decoding));
    contexts.push_back(std::move(encoding));
    throw FFMpegException("failed after opening");
  };
  engine->Start(false);
  EXPECT_EQ(engine->OpenedDecoderCount(), 0u);
  EXPECT_EQ(engine->OpenedEncoderCount(), 0u);
}

TEST_F(EngineLifecycle, TerminateOnAnIdleEngineReportsOnceFromAnotherThread) {
  engine->Stop();  // harmless on an idle engine
  EXPECT_EQ(engine->Terminations(), 0);
  engine->Terminate();
  engine->Terminate();
  ASSERT_TRUE(engine->WaitForEnd());
  EXPECT_NE(engine->terminateThread, std::this_thread::get_id());
  EXPECT_FALSE(engine->Finished());
  engine->Terminate();
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(engine->Terminations(), 1);
}

TEST_F(EngineLifecycle, TerminateWhileRunningStopsTheJob) {
  WithFiles();
  engine->body = [](TScriptedEngine& self) {
    while (!self.StopRequested()) std::this_thread::sleep_for(1ms);
  };
  engine->Start(true)->Resume();
  engine->Terminate();
  ASSERT_TRUE(engine->WaitForEnd());
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(engine->Terminations(), 1);
  EXPECT_FALSE(engine->Finished());
}

TEST_F(EngineLifecycle, DestroyingAnEngineDuringItsJobWaitsForTheJob) {
  WithFiles();
  std::atomic<int> terminations{0};
  engine->OnTerminate = [&](TCustomFFmpeg*) { ++terminations; };
  engine->body = [](TScriptedEngine& self) {
    while (!self.StopRequested()) std::this_thread::sleep_for(1ms);
  };
  engine->Start(true)->Resume();
  std::this_thread::sleep_for(20ms);
  engine.reset();
  EXPECT_EQ(terminations, 1);
}

TEST_F(EngineLifecycle, DestroyingASuspendedJobRunsNothingTwice) {
  WithFiles();
  std::atomic<int> runs{0};
  engine->body = [&](TScriptedEngine&) { ++runs; };
  ASSERT_NE(engine->Start(true), nullptr);
  engine.reset();
  EXPECT_LE(runs, 1);
}

TEST_F(EngineLifecycle, EngineMayBeFreedByItsOwnTerminationHandler) {
  WithFiles();
  std::mutex mutex;
  std::condition_variable freed;
  bool done = false;
  TScriptedEngine* raw = engine.release();
  raw->OnTerminate = [&](TCustomFFmpeg* sender) {
    delete sender;
    std::lock_guard lock(mutex);
    done = true;
    freed.notify_all();
  };
  raw->Start(true)->Resume();
  std::unique_lock lock(mutex);
  EXPECT_TRUE(freed.wait_for(lock, 5s, [&] { return done; }));
}

TEST_F(EngineLifecycle, OutputsAreWrittenUnseenAndOnlyThoseAJobKeepsGetTheirNames) {
  const std::string empty = folder.File("empty.nut");
  const std::string written = folder.File("written.nut");
  engine->AddOutput(empty);
  engine->AddOutput(written);
  EXPECT_EQ(FileSizeOf(empty), -1);
  std::ofstream(engine->TemporaryOf(1), std::ios::app) << "data";
  // Set up and never run: nothing is left, under any name.
  engine->Cleanup();
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));

  // A job that ends: what holds data gets its name, an empty file goes.
  engine->Reset();
  engine->AddOutput(empty);
  engine->AddOutput(written);
  engine->AddInput();
  engine->body = [](TScriptedEngine& job) {
    std::ofstream(job.TemporaryOf(1), std::ios::app) << "data";
    job.MarkFinished();
  };
  engine->Start(false);
  EXPECT_EQ(FileSizeOf(empty), -1);
  EXPECT_EQ(FileSizeOf(written), 4);
  EXPECT_EQ(engine->PublishedOutputPath(), "");  // the first output was not kept
  std::filesystem::remove(written);

  // After a failed job, an output that does not open as media only holds its space; one
  // that opens is kept.
  engine->Reset();
  const std::string playable = folder.File("playable.nut");
  engine->AddOutput(written);
  engine->AddOutput(playable);
  engine->AddInput();
  engine->body = [](TScriptedEngine& job) {
    std::ofstream(job.TemporaryOf(0), std::ios::app) << "data";
    TClipRecipe clip;
    clip.frames = 5;
    clip.audioSeconds = 0;
    clip.formatName = "nut";
    MakeClip(job.TemporaryOf(1), clip);
    throw FFMpegException("failed");
  };
  engine->Start(false);
  EXPECT_EQ(FileSizeOf(written), -1);
  EXPECT_GT(FileSizeOf(playable), 0);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()),
                          std::filesystem::directory_iterator()),
            1);

  // Only the file the engine wrote goes: not one put at its temporary's name since.
  engine->Reset();
  engine->AddOutput(empty);
  const std::string temporary = engine->TemporaryOf(0);
  std::filesystem::remove(temporary);
  WriteTextFile(temporary, "");
  engine->Cleanup();
  EXPECT_EQ(FileSizeOf(temporary), 0);
  EXPECT_EQ(FileSizeOf(empty), -1);
}

TEST(OpenErrorText, FormatsByErrorCode) {
  BindMediaLibrariesForTest();  // the reasons are the libraries' texts
  EXPECT_EQ(OpenErrorText("a.avi", AVERROR(ENOENT)), "a.avi: no such file or directory");
  EXPECT_EQ(OpenErrorText("a.avi", AVERROR(ENOMEM)), "a.avi: memory allocation error occurred");
  EXPECT_EQ(OpenErrorText("a.avi", AVERROR_INVALIDDATA), "a.avi: Error while parsing header");
  EXPECT_EQ(OpenErrorText("a.avi", AVERROR(EIO)),
            "a.avi: I/O error occurred\r\nUsually that means that input file is truncated "
            "and/or corrupted.");
  EXPECT_EQ(OpenErrorText("a.avi", AVERROR(EILSEQ)), "a.avi: Unknown format");
  // Any other code: the general text, then the libraries' reason.
  EXPECT_EQ(OpenErrorText("a.avi", AVERROR(EACCES)),
            "a.avi: Error while opening file: Permission denied");
  EXPECT_EQ(OpenErrorText("a.avi", -1234),
            "a.avi: Error while opening file: Error number -1234 occurred");
  // The libraries' own explanation stands for a code without a text of its own, not for one
  // with its fixed text.
  EXPECT_EQ(OpenErrorText("a.y4m", AVERROR(EBUSY), "Picture size 65535x65535 is invalid"),
            "a.y4m: Error while opening file: Picture size 65535x65535 is invalid");
  EXPECT_EQ(OpenErrorText("a.avi", AVERROR(ENOENT), "anything"),
            "a.avi: no such file or directory");
  EXPECT_EQ(OpenErrorText("img.jpg", AVERROR(EDOM)),
            "img.jpg: Incorrect image filename syntax.\r\nUse '%d' to specify the image "
            "number:\r\n  for img1.jpg, img2.jpg, ..., use 'img%d.jpg';\r\n  for img001.jpg, "
            "img002.jpg, ..., use 'img%03d.jpg'.");
  // A name with a percent sign stays as it is.
  EXPECT_EQ(OpenErrorText("100%.avi", AVERROR(ENOENT)), "100%.avi: no such file or directory");
}
