// Broken, renamed and unreadable inputs through the converter component: each is either
// refused when it is added, or its run ends in bounded time with a clear message or an
// output that opens. No input is ever changed, and no output that does not open is called
// finished.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>

#include "BadInputCorpus.h"
#include "ComponentTestSupport.h"
#include "component/AVProbe.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Bounds of one bad file: its whole run, and the peak resident memory of the process
// while it runs (sanitizer builds carry their own shadow memory, hence the margin).
constexpr auto kRunBound = 60s;
constexpr long kMemoryBoundMiB = 1536;

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Peak resident memory since the last reset, in MiB (0 where the kernel does not tell).
long PeakResidentMiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6)) / 1024;
  return 0;
}
void ResetPeakResident() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

struct TOutcome {
  bool refused = false;
  std::string message;  // the refusal's, or the run's end message
  bool finished = false;
  bool exception = false;
  bool outputExists = false;
  bool outputOpens = false;
  int videoPackets = 0;
  double seconds = 0;
  long peakMiB = 0;
};

class BadInput : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    BindMediaLibrariesForTest();
    corpus = new TBadInputCorpus(TComponentClips::Get().Clip(0));
  }
  static void TearDownTestSuite() {
    delete corpus;
    corpus = nullptr;
  }

  // Probes the file as the window's list does, then converts it alone to MP4 (whose file
  // opens only once its trailer is written), the way a profile would.
  TOutcome Convert(const std::string& input) {
    std::error_code notAFile;
    const bool regularFile = fs::is_regular_file(input, notAFile);
    const std::string before = regularFile ? Contents(input) : std::string();
    ResetPeakResident();
    const auto start = std::chrono::steady_clock::now();
    TOutcome outcome;
    {
      TAVProbe probe;
      if (probe.Open(input, "")) {
        EXPECT_GE(probe.StreamCount(), 1) << input;
      } else {
        EXPECT_FALSE(probe.LastError().empty()) << input;
      }
    }
    const std::string output = folder.File(fs::path(input).filename().string() + ".mp4");
    TTestConverter converter;
    EXPECT_TRUE(converter.LoadLibraries(LibAVFolder(), true));
    TTerminateRecorder recorder;
    recorder.Attach(converter);
    TInputOptions inputOptions;
    const int index = converter.AddInputFile(input, &inputOptions);
    if (index < 0) {
      outcome.refused = true;
      outcome.message = converter.LastErrorMessage;
    } else {
      TOutputOptions outputOptions;
      outputOptions.VideoCodec = "mpeg4";
      outputOptions.AudioCodec = "aac";
      outputOptions.FrameSize = "320x240";
      EXPECT_TRUE(converter.SetOutputFile(index, output, &outputOptions))
          << converter.LastErrorMessage;
      converter.StartConvert(1);
      if (!recorder.WaitForRunEnd(kRunBound)) {
        ADD_FAILURE() << input << ": no end within the bound";
        converter.StopAll();
      }
      const std::vector<TTerminateRecord> records = recorder.Records();
      if (!records.empty()) {
        outcome.finished = records.front().finished;
        outcome.exception = records.front().exception;
        outcome.message = records.front().message;
      }
    }
    outcome.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    outcome.peakMiB = PeakResidentMiB();
    outcome.outputExists = fs::exists(output);
    if (outcome.outputExists) {
      const TMediaInfo info = ReadMediaInfo(output);
      outcome.outputOpens = info.opened;
      if (const TStreamInfo* video = info.FirstOfType(AVMEDIA_TYPE_VIDEO))
        outcome.videoPackets = video->packets;
    }
    ExpectSound(input, outcome);
    if (regularFile) {
      EXPECT_EQ(Contents(input), before) << input << " was written";
    }
    std::printf("[ bad input ] %-22s %-9s %6.2f s %5ld MiB  %s\n",
                fs::path(input).filename().c_str(),
                outcome.refused    ? "refused"
                : outcome.finished ? "converted"
                                   : "failed",
                outcome.seconds, outcome.peakMiB, outcome.message.c_str());
    return outcome;
  }

  // The rules every bad input keeps, whatever became of it.
  static void ExpectSound(const std::string& input, const TOutcome& outcome) {
    EXPECT_LT(outcome.peakMiB, kMemoryBoundMiB) << input;
    if (outcome.refused) {
      EXPECT_FALSE(outcome.message.empty()) << input;
      return;
    }
    if (outcome.finished) {
      EXPECT_FALSE(outcome.exception) << input;
      EXPECT_TRUE(outcome.outputOpens)
          << input << " called converted, but its output does not open";
      EXPECT_GT(outcome.videoPackets, 0) << input;
    } else {
      EXPECT_FALSE(outcome.message.empty()) << input << " failed without a reason";
      if (outcome.outputExists) {
        EXPECT_TRUE(outcome.outputOpens) << input << ": a broken output was left";
      }
    }
  }

  static inline TBadInputCorpus* corpus = nullptr;
  TTempFolder folder;
};

TEST_F(BadInput, FilesWithNothingToConvertAreRefusedWhenAdded) {
  for (const std::string& input : {corpus->ZeroBytes(), corpus->RandomBytes(), corpus->Folder(),
                                   corpus->SymlinkLoop(), corpus->Missing(), corpus->NamedPipe()}) {
    const TOutcome outcome = Convert(input);
    EXPECT_TRUE(outcome.refused) << input;
  }
}

TEST_F(BadInput, UnreadableFileIsRefusedUnlessThisUserMayReadIt) {
  const std::string input = corpus->Unreadable();
  const bool readable = ::access(input.c_str(), R_OK) == 0;  // root reads it anyway
  const TOutcome outcome = Convert(input);
  EXPECT_EQ(outcome.refused, !readable) << outcome.message;
}

TEST_F(BadInput, TruncatedClipsKeepWhatWasThere) {
  int lastPackets = -1;
  for (double kept : {0.1, 0.5, 0.9}) {
    const TOutcome outcome = Convert(corpus->Truncated(kept));
    if (kept < 0.5 && outcome.refused) continue;
    ASSERT_FALSE(outcome.refused) << kept << ": " << outcome.message;
    EXPECT_TRUE(outcome.outputOpens) << kept;
    EXPECT_GE(outcome.videoPackets, lastPackets) << kept;
    lastPackets = outcome.videoPackets;
  }
  EXPECT_GT(lastPackets, TComponentClips::kFrames / 2);
}

TEST_F(BadInput, GarbageInTheMiddleStillConvertsTheRest) {
  const TOutcome outcome = Convert(corpus->GarbageMiddle());
  ASSERT_FALSE(outcome.refused) << outcome.message;
  EXPECT_TRUE(outcome.outputOpens);
  EXPECT_GT(outcome.videoPackets, TComponentClips::kFrames / 2);
}

TEST_F(BadInput, HugeFrameSizeHeadersStayWithinBounds) {
  Convert(corpus->HugeFrameAvi());
  // Not one of its pictures decodes: a failure, and no file that holds nothing.
  const TOutcome rawPictures = Convert(corpus->HugeFrameY4m());
  EXPECT_FALSE(rawPictures.finished);
  EXPECT_FALSE(rawPictures.outputExists);
}

TEST_F(BadInput, TimestampsJumpingBackConvertEverything) {
  const TOutcome outcome = Convert(corpus->TimestampsJumpingBack());
  ASSERT_FALSE(outcome.refused) << outcome.message;
  EXPECT_TRUE(outcome.finished) << outcome.message;
  EXPECT_GE(outcome.videoPackets, 2 * TBadInputCorpus::kPartFrames - 2);
}

TEST_F(BadInput, PictureRenamedToAviIsOnePicture) {
  const TOutcome outcome = Convert(corpus->PictureAsAvi());
  if (!outcome.refused) {
    EXPECT_LE(outcome.videoPackets, 2);
  }
}

}  // namespace
