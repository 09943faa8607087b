// The window and tovrena-cli show one run alike: the real component runs two files at once,
// one failing at its turn, one converted, then a stop, and each front end's formatting of
// the run model is read (the window's row states and bar, the command line's states, live
// block and summary).
#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <thread>

#include "TestMedia.h"
#include "TestSupport.h"
#include "app/FileStates.h"
#include "cli/ProgressDisplay.h"
#include "cli/RunMonitor.h"
#include "cli/RunSummary.h"
#include "component/VornConverter.h"

namespace {

bool WaitUntil(const std::function<bool()>& condition) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// The command line's word for the state the window shows.
std::string CliWordOf(TRowState state) {
  switch (state) {
    case TRowState::rsQueued:
      return "waiting";
    case TRowState::rsRunning:
      return "running";
    case TRowState::rsCompleted:
      return "completed";
    case TRowState::rsStopped:
      return "stopped";
    case TRowState::rsNotStarted:
      return "not started";
    case TRowState::rsFailed:
      return "failed";
    default:
      return "idle";
  }
}

// Seconds of the last "HH:MM:SS" before marker in text; -1 when there is none.
double ClockBefore(const std::string& text, const std::string& marker) {
  const std::regex pattern("(\\d\\d):(\\d\\d):(\\d\\d)" + marker);
  std::smatch match;
  if (!std::regex_search(text, match, pattern)) return -1;
  return std::stoi(match[1]) * 3600.0 + std::stoi(match[2]) * 60.0 + std::stoi(match[3]);
}

double ClockAfter(const std::string& text, const std::string& marker) {
  const std::regex pattern(marker + "(\\d\\d):(\\d\\d):(\\d\\d)");
  std::smatch match;
  if (!std::regex_search(text, match, pattern)) return -1;
  return std::stoi(match[1]) * 3600.0 + std::stoi(match[2]) * 60.0 + std::stoi(match[3]);
}

TEST(RunViewsAgreeTest, TheWindowAndTheCommandLineShowTheSameRun) {
  BindMediaLibrariesForTest();
  TTempFolder folder;
  TClipRecipe recipe;
  recipe.width = 640;
  recipe.height = 480;
  recipe.frames = 4000;
  recipe.audioSeconds = 0;
  const std::string longClip = folder.File("long.avi");
  MakeClip(longClip, recipe);
  TClipRecipe shortRecipe;
  const std::string shortClip = folder.File("short.avi");
  MakeClip(shortClip, shortRecipe);
  // Running beside the first long file: one failing at its turn, then one converted, then
  // another long one; the last never gets its turn.
  const std::vector<std::string> inputs = {longClip, folder.File("missing.avi"), shortClip,
                                           longClip, longClip};

  TVornConverter converter;
  ASSERT_TRUE(converter.LoadLibraries(LibAVFolder(), true)) << converter.LastErrorMessage;
  converter.SetProgressInterval(100);
  TRunMonitor cli(true);
  TRunModel window;
  const auto seconds = [&cli] { return cli.Seconds(TCliClock::now()); };
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    // The probe's durations, as the window has them from adding its files.
    const TMediaInfo probed = ReadMediaInfo(inputs[i]);
    const double duration = probed.opened ? probed.durationUs / 1e6 : -1;
    const int file = cli.AddFile(inputs[i], duration);
    window.AddFile(duration);
    TInputOptions input;
    input.FileName = inputs[i];
    TOutputOptions output;
    output.FileName = folder.File("out" + std::to_string(i) + ".avi");
    output.VideoCodec = "mpeg4";
    const int task = converter.ListFile(input, output);
    ASSERT_EQ(task, static_cast<int>(i)) << converter.LastErrorMessage;
    cli.SetTask(file, task, output.FileName);
    window.SetTask(file, task);
  }
  // As each front end feeds its model: the command line's monitor, the window's handlers.
  converter.OnProgress = [&](int AIndex, int AFrameNumber, int AFPS, int ACurrentDuration, float,
                             float, std::int64_t, int ATotalOutputDuration) {
    cli.Progress(AIndex, AFrameNumber, AFPS, ACurrentDuration, ATotalOutputDuration);
    window.Progress(AIndex, AFrameNumber, AFPS, ACurrentDuration, ATotalOutputDuration, seconds());
  };
  converter.OnTerminate = [&](int AIndex, bool, bool, const std::string& AMessage) {
    if (AIndex < 0) {
      cli.RunEnded();
      return;
    }
    const TTaskEnd end = converter.TaskEnd(AIndex);
    cli.Ended(AIndex, end, AMessage);
    window.Ended(AIndex, end, AMessage, seconds());
  };
  cli.StartRun();
  window.Begin(seconds());
  converter.StartConvert(2);

  // Both long files running, the two before the second ended, and a time left known.
  ASSERT_TRUE(WaitUntil([&] {
    const TRunSnapshot run = window.Snapshot(seconds());
    return run.Files[2].State == TRunFileState::Completed &&
           run.Files[0].State == TRunFileState::Running && run.Files[0].SecondsLeft >= 0 &&
           run.Files[3].State == TRunFileState::Running && run.Files[3].SecondsLeft >= 0 &&
           run.SecondsLeft >= 0;
  })) << "the run never had both long files running with a time left";
  const TRunSnapshot during = window.Snapshot(seconds());
  const std::vector<TFileRecord> cliFiles = cli.Files();
  const TRunSnapshot cliRun = cli.Run();
  ASSERT_EQ(during.Running, 2);
  ASSERT_EQ(during.Queued, 1);
  for (int file : {0, 3}) {
    EXPECT_GE(during.SecondsLeft + 1, during.Files[file].SecondsLeft) << file;
  }
  const std::string bar = RunBarText(during).toStdString();
  const std::vector<std::string> block = LiveBlock(cliFiles, cliRun, cli.Seconds(TCliClock::now()));
  ASSERT_EQ(block.size(), 3u);
  // The same time left, within the time between the two readings.
  const double windowLeft = ClockBefore(bar, " left");
  const double cliLeft = ClockAfter(block.back(), "ETA ");
  ASSERT_GE(windowLeft, 0) << bar;
  ASSERT_GE(cliLeft, 0) << block.back();
  EXPECT_NEAR(windowLeft, cliLeft, 2) << bar << " | " << block.back();
  EXPECT_EQ(block.back().find("Total: 2 of 5 ended, 2 running, 1 failed"), 0u) << block.back();
  for (std::size_t file = 0; file < inputs.size(); ++file) {
    EXPECT_EQ(CliWordOf(RowStatusOf(during.Files[file], QString()).State),
              StateText(cliFiles[file].Run.State))
        << file;
  }

  converter.StopAll();
  ASSERT_TRUE(cli.WaitForRunEnd(std::chrono::minutes(1)));
  converter.ClearTasks();
  cli.Close();
  window.Close();

  const TRunSnapshot after = window.Snapshot(seconds());
  const std::vector<TFileRecord> ended = cli.Files();
  const std::vector<TRowState> expected = {TRowState::rsStopped, TRowState::rsFailed,
                                           TRowState::rsCompleted, TRowState::rsStopped,
                                           TRowState::rsNotStarted};
  for (std::size_t file = 0; file < inputs.size(); ++file) {
    const TRowStatus row = RowStatusOf(after.Files[file], QString::fromStdString(inputs[file]));
    EXPECT_EQ(row.State, expected[file]) << file;
    EXPECT_EQ(CliWordOf(row.State), StateText(ended[file].Run.State)) << file;
  }
  // The failure: the window's cell and the command line's line give the same reason.
  const std::string reason = after.Files[1].Reason;
  EXPECT_NE(reason.find("missing.avi"), std::string::npos) << reason;
  EXPECT_EQ(FailureText(ended[1].Run), "not supported: " + reason);
  EXPECT_NE(RowStatusOf(after.Files[1], QString::fromStdString(inputs[1]))
                .ToolTip.toStdString()
                .find(reason),
            std::string::npos);
  EXPECT_EQ(RunCountsText(after.Counts), "1 converted, 1 failed, 2 stopped, 1 not started");
  const std::string summary = SummaryTable(ended);
  EXPECT_NE(summary.find("5 files: 1 completed, 2 stopped, 1 failed, 1 not started\n"),
            std::string::npos)
      << summary;
  EXPECT_EQ(after.Percent, 100);
  EXPECT_EQ(after.SecondsLeft, 0);
}

}  // namespace
