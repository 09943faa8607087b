// What tovrena-cli leaves on disk when several runs share a folder, when names are odd,
// when the disk fills, when the user insists on quitting, when a run was killed before it,
// and when a link or another file takes an output's name while it is being written.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <mutex>
#include <regex>
#include <set>
#include <thread>

#include "CliMediaTest.h"
#include "CliTestSupport.h"
#include "MediaTest.h"
#include "TestMedia.h"
#include "component/VornConverter.h"
#include "engine/OutputPlacement.h"
#include "frontend/OutputNaming.h"

extern "C" {
#include <libavutil/avutil.h>
}

namespace {

namespace fs = std::filesystem;

constexpr int kClipFrames = 25;
constexpr int kLongClipFrames = 6000;

TClipRecipe ClipRecipe(int frames, int width = 160) {
  TClipRecipe recipe;
  recipe.frames = frames;
  recipe.width = width;
  recipe.audioSeconds = frames / 25.0;
  return recipe;
}

// Every file in the folder with its size.
std::map<std::string, std::uintmax_t> FilesIn(const std::string& folder) {
  std::map<std::string, std::uintmax_t> files;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(folder, ignored))
    files[entry.path().filename().string()] = fs::file_size(entry.path(), ignored);
  return files;
}

bool IsTemporary(const std::string& name) {
  std::string host;
  long pid = 0;
  return ParseTemporaryOutputName(name, host, pid);
}

// A temporary output with something in it: a file is being written.
bool WritingInto(const std::string& folder) {
  for (const auto& [name, size] : FilesIn(folder))
    if (IsTemporary(name) && size > 0) return true;
  return false;
}

// Every file under an output's name opens and decodes pictures; no temporary is left.
void ExpectOnlyPlayableOutputs(const std::string& folder) {
  for (const auto& [name, size] : FilesIn(folder)) {
    EXPECT_FALSE(IsTemporary(name)) << name << " was left";
    const TMediaInfo info = DecodeMediaInfo(folder + name);
    ASSERT_TRUE(info.opened) << name << " does not open";
    const TStreamInfo* video = info.FirstOfType(AVMEDIA_TYPE_VIDEO);
    ASSERT_NE(video, nullptr) << name;
    EXPECT_GT(video->decodedFrames, 0) << name;
  }
}

// Checks that the output decodes whole: every picture of the short clip.
void ExpectWholeClip(const std::string& path) {
  const TMediaInfo info = DecodeMediaInfo(path);
  ASSERT_TRUE(info.opened) << path;
  const TStreamInfo* video = info.FirstOfType(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(video, nullptr) << path;
  EXPECT_EQ(video->decodedFrames, kClipFrames) << path;
}

class CliOutputsTest : public TCliMediaTest {
 protected:
  static void SetUpTestSuite() {
    TCliMediaTest::SetUpTestSuite();
    MakeClip(Clip("clip.avi"), ClipRecipe(kClipFrames));
    MakeClip(Clip("long.avi"), ClipRecipe(kLongClipFrames));
  }
};

TEST_F(CliOutputsTest, FourWorkersSharingOneFolderNeitherLoseNorShareAnOutput) {
  // Every worker converts inputs of the same name at the same moment, as a job array over
  // slices of one list would: each output name can be taken by one of them only.
  constexpr int kWorkers = 4;
  constexpr int kFilesPerWorker = 3;
  std::vector<std::vector<std::string>> slices(kWorkers);
  for (int worker = 0; worker < kWorkers; ++worker)
    for (int file = 0; file < kFilesPerWorker; ++file)
      slices[worker].push_back(
          CopyOfClip("w" + std::to_string(worker) + "/" + std::to_string(file) + "/clip.avi"));
  std::vector<TCliResult> results(kWorkers);
  std::vector<std::thread> workers;
  for (int worker = 0; worker < kWorkers; ++worker) {
    workers.emplace_back([&, worker] {
      std::vector<std::string> arguments = {"convert",     "-g", "AVI", "-p",
                                            "Tiny MPEG-4", "-o", output};
      arguments.insert(arguments.end(), slices[worker].begin(), slices[worker].end());
      results[worker] = home.Run(arguments);
    });
  }
  for (std::thread& worker : workers) worker.join();

  std::set<std::string> reported;
  for (const TCliResult& result : results) {
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    const std::regex completed(R"(completed .* -> (\S+))");
    for (std::sregex_iterator match(result.out.begin(), result.out.end(), completed), end;
         match != end; ++match)
      EXPECT_TRUE(reported.insert((*match)[1]).second) << "reported twice: " << (*match)[1];
  }
  EXPECT_EQ(reported.size(), static_cast<std::size_t>(kWorkers * kFilesPerWorker));
  const auto files = FilesIn(output);
  EXPECT_EQ(files.size(), static_cast<std::size_t>(kWorkers * kFilesPerWorker));
  for (const std::string& path : reported) ExpectWholeClip(path);
}

TEST_F(CliOutputsTest, OddNamesAreLocalFilesConvertedUnderAFreeNameOnOneLogLineEach) {
  // Relative names with ":" are files, not library URLs: "file:x.avi" is not "x.avi".
  MakeClip(folder.File("x.avi"), ClipRecipe(10, 96));
  const std::vector<std::string> names = {"file:x.avi",
                                          "a:b.avi",
                                          "-dash.avi",
                                          "quote\"'.avi",
                                          "new\nline.avi",
                                          "bad\xff.avi",
                                          std::string(250, 'n') + ".avi"};
  for (const std::string& name : names) CopyOfClip(name);
  const fs::path before = fs::current_path();
  fs::current_path(folder.Path());
  std::vector<std::string> arguments = {"convert", "-g", "AVI", "-o", "rel:dir", "--"};
  arguments.insert(arguments.end(), names.begin(), names.end());
  const TCliResult result = home.Run(arguments);
  fs::current_path(before);

  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  const std::string out = folder.File("rel:dir") + "/";
  for (const std::string& name : names) ExpectWholeClip(out + name);
  // The name with a newline is written as an escape: its events stay one line each.
  EXPECT_EQ(CountOf(result.out, "new\\nline.avi -> rel:dir/new\\nline.avi"), 2) << result.out;
  EXPECT_EQ(CountOf(result.out, "\nline.avi"), 0) << result.out;
  EXPECT_NE(result.out.find("bad\\xff.avi"), std::string::npos) << result.out;
}

TEST_F(CliOutputsTest, AFolderThatCannotTakeOutputsIsRefusedWithTheReasonBeforeAnyFile) {
  WriteTextFile(folder.File("plain"), "x");
  const TCliResult result =
      home.Run({"convert", "-g", "AVI", "-o", folder.File("plain") + "/sub", Clip("clip.avi")});
  EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
  EXPECT_NE(result.err.find("cannot write into the output folder '" + folder.File("plain") +
                            "/sub/': Not a directory"),
            std::string::npos)
      << result.err;
  EXPECT_EQ(ReadTextFile(folder.File("plain")), "x");

  TReadOnlyMount readOnly;
  if (!readOnly.Mounted()) GTEST_SKIP() << "a read-only file system needs root to mount";
  const TCliResult refused =
      home.Run({"convert", "-g", "AVI", "-o", readOnly.Path(), Clip("clip.avi")});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find(": Read-only file system"), std::string::npos) << refused.err;
}

TEST_F(CliOutputsTest, AStartPastTheEndFailsWithItsReasonAndLeavesNoOutput) {
  const TCliResult result =
      home.Run({"convert", "-g", "MP4", "-o", output, "--option", "ss=30", Clip("clip.avi")});
  EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
  EXPECT_NE(result.err.find("Start time 30.000 s is past the end of '" + Clip("clip.avi") + "'"),
            std::string::npos)
      << result.err;
  EXPECT_TRUE(FilesIn(output).empty());
}

TEST_F(CliOutputsTest, AFullDiskFailsWithItsReasonAndLeavesNothingThatDoesNotPlay) {
  TTmpfsMount disk("256k");
  if (!disk.Mounted()) GTEST_SKIP() << "a small file system needs root to mount";
  const std::string small = disk.Path() + "/";
  // Fills while converting: the MP4 never gets its index, so it could not be played.
  const TCliResult filled = home.Run({"convert", "-g", "MP4", "-o", small, Clip("long.avi")});
  EXPECT_EQ(filled.exitCode, 1) << filled.out << filled.err;
  EXPECT_NE(filled.err.find("No space left on device"), std::string::npos) << filled.err;
  EXPECT_TRUE(FilesIn(small).empty()) << "the unplayable output keeps the disk full";

  // Full before the run starts.
  {
    std::ofstream filler(small + "filler", std::ios::binary);
    const std::string block(4096, 'x');
    while (filler.write(block.data(), block.size())) {
    }
  }
  const TCliResult full = home.Run({"convert", "-g", "MP4", "-o", small, Clip("clip.avi")});
  EXPECT_EQ(full.exitCode, 1) << full.out << full.err;
  EXPECT_NE(full.err.find("No space left on device"), std::string::npos) << full.err;
  EXPECT_EQ(FilesIn(small).size(), 1u);
}

TEST_F(CliOutputsTest, InsistingOnAStopQuitsAtOnceAndLeavesNoHalfWrittenFile) {
  // Two signals of one kind sent at once may arrive as one; a SIGTERM with the Ctrl+C takes
  // the same way as a second Ctrl+C and cannot merge with it. Two threads may take the two
  // in either order: the one taken second quits, with its own exit status.
  bool interrupted = false;
  const TCliResult result =
      home.Run({"convert", "-g", "AVI", "-o", output, "--set", "VideoCustomWidth=720", "--set",
                "VideoCustomHeight=576", Clip("long.avi"), Clip("long.avi"), Clip("long.avi")},
               [&interrupted](const std::string& out, int pid) {
                 static const std::regex kConverting(R"(\[1/3\] progress .* frame=[1-9])");
                 if (!interrupted && std::regex_search(out, kConverting)) {
                   interrupted = true;
                   ::kill(pid, SIGINT);
                   ::kill(pid, SIGTERM);
                 }
               });
  ASSERT_TRUE(interrupted) << result.out << result.err;
  EXPECT_TRUE(result.exitCode == 128 + SIGTERM || result.exitCode == 128 + SIGINT)
      << result.exitCode << result.out << result.err;
  EXPECT_EQ(result.out.find("3 files:"), std::string::npos) << "it did not quit at once";
  // The file being written was still under its temporary name, which went with the quit;
  // the files that had not started left nothing.
  ExpectOnlyPlayableOutputs(output);
  EXPECT_LT(FilesIn(output).size(), 3u) << result.out;
}

TEST_F(CliOutputsTest, ASecondCtrlCWhileTwoMp4FilesAreWrittenLeavesNoUnplayableFileUnderAName) {
  // MP4 writes its index last: cut off before it, a file does not open at all.
  int signals = 0;
  const std::string out = output;
  const TCliResult result = home.Run(
      {"convert", "-g", "MP4", "--jobs", "2", "-o", output, "--set", "VideoCustomWidth=720",
       "--set", "VideoCustomHeight=576", Clip("long.avi"), Clip("long.avi"), Clip("long.avi")},
      [&signals, &out](const std::string& text, int pid) {
        if (signals == 0 && WritingInto(out)) {
          ++signals;
          ::kill(pid, SIGINT);
        } else if (signals == 1 && text.find("Stopping:") != std::string::npos) {
          ++signals;
          ::kill(pid, SIGINT);
        }
      });
  ASSERT_EQ(signals, 2) << result.out << result.err;
  EXPECT_EQ(result.exitCode, 128 + SIGINT) << result.out << result.err;
  ExpectOnlyPlayableOutputs(output);
}

TEST_F(CliOutputsTest, ARunCleansUpTheTemporariesOfADeadRunOfItsOwnAndNothingElse) {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  // Named as the dead run would have named them on this machine.
  const auto temporaryOf = [child](const std::string& name) {
    std::string temporary = TemporaryOutputName(name, 3);
    const std::string own = "-" + std::to_string(::getpid()) + "-";
    return temporary.replace(temporary.rfind(own), own.size(), "-" + std::to_string(child) + "-");
  };
  fs::create_directories(output);
  const std::string stale = temporaryOf("clip.mp4");
  const std::string live = TemporaryOutputName("clip.mp4", 4);  // this test's, alive
  WriteTextFile(output + stale, "half a file");
  WriteTextFile(output + live, "being written");
  WriteTextFile(output + ".clip.mp4.part", "someone's");
  const TCliResult result = home.Run({"convert", "-g", "MP4", "-o", output, Clip("clip.avi")});
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  const auto files = FilesIn(output);
  EXPECT_EQ(files.count(stale), 0u);
  EXPECT_EQ(files.count(live), 1u);
  EXPECT_EQ(files.count(".clip.mp4.part"), 1u);
  EXPECT_EQ(files.count("clip.mp4"), 1u);
  EXPECT_EQ(files.size(), 3u);
}

TEST_F(CliOutputsTest, ANameTakenWhileItsFileIsWrittenGivesTheNextNameAndTheLinesSaySo) {
  bool taken = false;
  const std::string out = output;
  const TCliResult result =
      home.Run({"convert", "-g", "AVI", "-o", output, "--set", "VideoCustomWidth=720", "--set",
                "VideoCustomHeight=576", Clip("long.avi")},
               [&taken, &out](const std::string& text, int) {
                 static const std::regex kConverting(R"(\[1/1\] progress .* frame=[1-9])");
                 if (!taken && std::regex_search(text, kConverting)) {
                   taken = true;
                   WriteTextFile(out + "long.avi", "another run's");
                 }
               });
  ASSERT_TRUE(taken) << result.out;
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  EXPECT_NE(result.out.find("[1/1] started   " + Clip("long.avi") + " -> " + output + "long.avi"),
            std::string::npos)
      << result.out;
  EXPECT_NE(
      result.out.find("[1/1] completed " + Clip("long.avi") + " -> " + output + "long(1).avi"),
      std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find(output + "long(1).avi  completed"), std::string::npos) << result.out;
  EXPECT_EQ(ReadTextFile(output + "long.avi"), "another run's");
  const TMediaInfo info = DecodeMediaInfo(output + "long(1).avi");
  ASSERT_TRUE(info.opened);
  EXPECT_EQ(info.FirstOfType(AVMEDIA_TYPE_VIDEO)->decodedFrames, kLongClipFrames);
}

// The component's path, as both front ends take it: with a reservation whose name is
// replaced before the engine opens it, and with what only option records reach.
class ComponentOutputTest : public TMediaTest {
 protected:
  static void SetUpTestSuite() {
    TCliMediaTest::SetUpTestSuite();
    MakeClip(Clip("clip.avi"), ClipRecipe(kClipFrames));
  }
  // Sets up a task; false with the reason when the output is refused.
  bool SetUpTask(const std::string& input, const std::string& output, TOutputOptions options,
                 std::string& reason) {
    const int task = converter.AddInputFile(input, nullptr);
    EXPECT_GE(task, 0) << converter.LastErrorMessage;
    if (converter.SetOutputFile(task, output, &options)) return true;
    reason = converter.LastErrorMessage;
    return false;
  }
  bool SetUpTask(const std::string& output, std::string& reason) {
    TOutputOptions options;
    TVornConverter::InitOutputOptions(options);
    options.NameBase = "clip";
    return SetUpTask(Clip("clip.avi"), output, options, reason);
  }
  // Runs the tasks set up to their end; the engine's log is gathered.
  void Run() {
    std::promise<void> runEnded;
    named.clear();
    converter.OnTerminate = [this, &runEnded](int AIndex, bool, bool, const std::string&) {
      if (AIndex < 0)
        runEnded.set_value();
      else
        named.push_back(converter.TaskOutputFile(AIndex));
    };
    converter.OnLog = [this](int, TLogLevel, const std::string& AMsg) {
      std::lock_guard lock(logMutex);
      log += AMsg + "\n";
    };
    converter.StartConvert(1);
    ASSERT_EQ(runEnded.get_future().wait_for(std::chrono::seconds(60)), std::future_status::ready);
    converter.ClearTasks();
    converter.OnTerminate = nullptr;
    converter.OnLog = nullptr;
  }
  TVornConverter converter;
  std::mutex logMutex;
  std::string log;
  std::vector<std::string> named;  // the name each task's output got, in order of their ends
};

TEST_F(ComponentOutputTest, ALinkOrAFileThatTakesTheNameMeanwhileIsNeverWrittenTheNextNameIs) {
  const std::string out = folder.Path().string() + "/";
  WriteTextFile(out + "victim", "the user's own file");
  std::string reason;
  // Set up under a free name; by the time it is complete a link and a file hold the name
  // and the next one.
  ASSERT_TRUE(SetUpTask(out + "clip.avi", reason)) << reason;
  fs::create_symlink(out + "victim", out + "clip.avi");
  WriteTextFile(out + "clip(1).avi", "another run's file");
  Run();
  ASSERT_EQ(named.size(), 1u);
  EXPECT_EQ(named[0], out + "clip(2).avi");
  ExpectWholeClip(out + "clip(2).avi");
  EXPECT_TRUE(fs::is_symlink(out + "clip.avi"));
  EXPECT_EQ(ReadTextFile(out + "victim"), "the user's own file");
  EXPECT_EQ(ReadTextFile(out + "clip(1).avi"), "another run's file");
  // Nothing else is left: the temporary went with the move.
  EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 4);
}

TEST_F(ComponentOutputTest, ListingTwoThousandFilesOrCheckingOneCreatesNothingInTheOutputFolder) {
  const std::string out = folder.Path().string() + "/out/";
  fs::create_directories(out);
  TTakenOutputs taken;
  for (int i = 0; i < 2000; ++i) {
    TInputOptions input;
    TVornConverter::InitInputOptions(input);
    input.FileName = Clip("clip.avi");
    TOutputOptions options;
    TVornConverter::InitOutputOptions(options);
    options.FileExt = ".avi";
    const TPlannedOutput plan = PlanOutputName(out, "clip", ".avi", taken);
    ASSERT_TRUE(plan.Planned()) << plan.Error;
    taken.insert(plan.Path);
    options.FileName = plan.Path;
    options.NameBase = plan.Base;
    ASSERT_GE(converter.ListFile(input, options), 0) << converter.LastErrorMessage;
  }
  EXPECT_TRUE(fs::is_empty(out));
  EXPECT_EQ(taken.count(out + "clip(1999).avi"), 1u);
  converter.ClearTasks();
  // The window's check when a file is added sets the output up without creating it.
  TInputOptions input;
  TVornConverter::InitInputOptions(input);
  input.FileName = Clip("clip.avi");
  TOutputOptions options;
  TVornConverter::InitOutputOptions(options);
  options.FileName = out + "clip.avi";
  const TFileCheck check = converter.CheckFile(input, options);
  EXPECT_TRUE(check.Passed()) << check.Reason;
  EXPECT_TRUE(fs::is_empty(out));
}

TEST_F(ComponentOutputTest, WithCopiedTimeStampsAJumpBetweenJoinedRecordingsIsNeitherFilledNorCut) {
  // Two recordings of 25 pictures, 100 s apart, joined byte for byte as a capture tool or
  // "cat" joins transport streams; forwards and backwards.
  TClipRecipe early = ClipRecipe(kClipFrames);
  TClipRecipe late = early;
  late.startSeconds = 100;
  MakeClip(folder.File("early.ts"), early);
  MakeClip(folder.File("late.ts"), late);
  const std::string forwards = folder.File("forwards.ts");
  const std::string backwards = folder.File("backwards.ts");
  WriteTextFile(forwards,
                ReadTextFile(folder.File("early.ts")) + ReadTextFile(folder.File("late.ts")));
  WriteTextFile(backwards,
                ReadTextFile(folder.File("late.ts")) + ReadTextFile(folder.File("early.ts")));

  converter.SetLogLevel(llInfo);
  TOutputOptions options;
  TVornConverter::InitOutputOptions(options);
  options.CopyTimestamp = true;
  options.FrameSize = "96x72";
  std::string reason;
  ASSERT_TRUE(SetUpTask(forwards, folder.File("forwards.avi"), options, reason)) << reason;
  ASSERT_TRUE(SetUpTask(backwards, folder.File("backwards.avi"), options, reason)) << reason;
  Run();
  EXPECT_EQ(CountOf(log, "Time stamp jump of"), 2) << log;
  for (const std::string name : {"forwards.avi", "backwards.avi"}) {
    const TMediaInfo info = DecodeMediaInfo(folder.File(name));
    ASSERT_TRUE(info.opened) << name;
    const TStreamInfo* video = info.FirstOfType(AVMEDIA_TYPE_VIDEO);
    ASSERT_NE(video, nullptr) << name;
    // Both recordings whole, and not more than a second of copies between them.
    EXPECT_GE(video->decodedFrames, 2 * kClipFrames - 2) << name;
    EXPECT_LE(video->decodedFrames, 2 * kClipFrames + 25) << name;
  }
}

}  // namespace
