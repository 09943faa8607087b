#include "cli/ConvertCommand.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

#include "cli/CliSettings.h"
#include "cli/ProgressDisplay.h"
#include "cli/RunMonitor.h"
#include "cli/RunSummary.h"
#include "cli/StopSignals.h"
#include "frontend/IniFile.h"
#include "frontend/OutputNaming.h"
#include "frontend/ProfileOutput.h"

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(200);

// What every file of the run shares.
struct TRunSetup {
  TChosenProfile Profile;
  std::string OutputFolder;
  bool AllowPlaylists = false;
  // The output record every file starts from (its names are set per file).
  TOutputOptions Record;
  // Why no file can be converted with the profile (its codec is not in the catalogue).
  std::string ProfileFailure;
  // Output names planned for earlier files of the run.
  TTakenOutputs Taken;
};

std::string JoinedLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// The profile turned into an output record, as the window does, with the option lines; a
// profile value that does not convert is a usage error, found before any file is touched.
TOutputOptions ProfileRecord(const TChosenProfile& profile, const std::string& engineOptions) {
  TOutputOptions output;
  TVornConverter::InitOutputOptions(output);
  try {
    FillOutputOptions(profile.Settings, TIniFile(CodecCatalogueFilePath()), output, profile.Name);
  } catch (const ECodecCatalogueError&) {
    throw;
  } catch (const EConvertError& error) {
    throw EUsageError("profile '" + profile.Name + "' of " + profile.Group + ": " + error.what());
  }
  output.ExtOptions += engineOptions;  // after the profile's lines, so that they win
  return output;
}

// The window's PrepareFile without the probe: the output record from the profile and the
// first free output name, listed as a task that is set up (input opened, output created)
// only when its turn comes, so that a long list holds no open file and creates nothing.
void PrepareFile(TVornConverter& converter, TRunSetup& setup, TRunMonitor& monitor, int file,
                 const std::string& path) {
  if (!setup.ProfileFailure.empty()) {
    monitor.Reject(file, "cannot convert: " + setup.ProfileFailure);
    return;
  }
  TInputOptions input;
  TVornConverter::InitInputOptions(input);
  input.FileName = path;
  input.AllowPlaylists = setup.AllowPlaylists;
  TOutputOptions output = setup.Record;
  const TPlannedOutput plan =
      PlanOutputName(setup.OutputFolder, FileBaseName(path), output.FileExt, setup.Taken);
  if (!plan.Planned()) {
    monitor.Reject(file, "cannot convert: " + plan.Error);
    return;
  }
  output.FileName = plan.Path;
  output.NameBase = plan.Base;
  const int task = converter.ListFile(input, output);
  if (task < 0) {
    monitor.Reject(file, "not supported: " + converter.LastErrorMessage);
    return;
  }
  setup.Taken.insert(plan.Path);
  monitor.SetTask(file, task, plan.Path);
}

// The name as a message shows it: a long one cut short.
std::string ShownName(const std::string& name) {
  constexpr std::size_t kLongest = 60;
  return name.size() <= kLongest ? name : name.substr(0, kLongest) + "...";
}

// Every option line's name must be one the engine places: it would skip any other without
// a word.
void CheckEngineOptions(const TVornConverter& converter, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    const std::string name = line.substr(0, line.find('='));
    if (!converter.KnowsOption(name)) {
      throw EUsageError("--option: unknown option '" + ShownName(name) +
                        "' (neither the engine nor the media libraries know it)");
    }
  }
}

int JobCount(int requested) {
  if (requested > 0) return requested;
  const unsigned cores = std::thread::hardware_concurrency();
  return cores > 0 ? static_cast<int>(cores) : 1;
}

// The component's events into the monitor for the life of the object.
class TEventConnection {
 public:
  TEventConnection(TVornConverter& converter, TRunMonitor& monitor, bool verbose)
      : converter_(converter) {
    converter.OnProgress = [&monitor](int AIndex, int AFrameNumber, int AFPS, int ACurrentDuration,
                                      float, float, std::int64_t, int ATotalOutputDuration) {
      monitor.Progress(AIndex, AFrameNumber, AFPS, ACurrentDuration, ATotalOutputDuration);
    };
    converter.OnTerminate = [&converter, &monitor](int AIndex, bool, bool,
                                                   const std::string& AMessage) {
      if (AIndex < 0) {
        monitor.RunEnded();
        return;
      }
      monitor.Note(AIndex, converter.TaskOutputNote(AIndex));
      monitor.OutputNamed(AIndex, converter.TaskOutputFile(AIndex));
      monitor.Ended(AIndex, converter.TaskEnd(AIndex), AMessage);
    };
    if (verbose) {
      converter.OnLog = [&monitor](int AIndex, TLogLevel, const std::string& AMsg) {
        if (!AMsg.empty()) monitor.Log(AIndex, AMsg);
      };
    }
  }
  // The tasks go first: no event may come while the handlers are taken away.
  ~TEventConnection() {
    converter_.ClearTasks();
    converter_.OnProgress = nullptr;
    converter_.OnTerminate = nullptr;
    converter_.OnLog = nullptr;
  }
  TEventConnection(const TEventConnection&) = delete;
  TEventConnection& operator=(const TEventConnection&) = delete;

 private:
  TVornConverter& converter_;
};

}  // namespace

int RunConvert(const TCliArguments& arguments, TVornConverter& converter) {
  TRunSetup setup;
  setup.Profile = ChooseProfile(arguments.Group, arguments.Profile, arguments.ProfileOverrides);
  CheckEngineOptions(converter, arguments.EngineOptions);
  try {
    setup.Record = ProfileRecord(setup.Profile, JoinedLines(arguments.EngineOptions));
  } catch (const ECodecCatalogueError& error) {
    setup.ProfileFailure = error.what();
  }
  setup.OutputFolder = ChooseOutputFolder(arguments.OutputFolder);
  setup.AllowPlaylists = arguments.AllowPlaylists;
  if (const std::string reason = PrepareOutputFolder(setup.OutputFolder); !reason.empty()) {
    std::fputs(("tovrena-cli: cannot write into the output folder '" + setup.OutputFolder +
                "': " + reason + "\n")
                   .c_str(),
               stderr);
    return 1;
  }

  const char* terminal = std::getenv("TERM");
  const bool live =
      ::isatty(STDOUT_FILENO) == 1 && !(terminal != nullptr && std::string(terminal) == "dumb");
  TRunMonitor monitor(!live);
  TProgressDisplay display(live, stdout, stderr);
  if (setup.Profile.GroupHasNoProfiles) {
    monitor.Print("tovrena-cli: group " + setup.Profile.Group + " has no profiles in " +
                      SettingsFolderPath() +
                      "; its defaults apply (install the profiles with "
                      "scripts/install-settings.sh)",
                  true);
  }
  monitor.Print("Converting with " + setup.Profile.Group + " / " + setup.Profile.Name + " into " +
                setup.OutputFolder);

  converter.ThreadCount = arguments.Threads;
  converter.SetLogLevel(arguments.Verbose ? llInfo : llQuiet);
  converter.SetProgressInterval(live ? 500 : 1000);
  TEventConnection connection(converter, monitor, arguments.Verbose);

  InstallStopSignals();
  int tasks = 0;
  for (const std::string& path : arguments.Operands) {
    const int file = monitor.AddFile(path);
    if (StopSignal() != 0) continue;
    PrepareFile(converter, setup, monitor, file, path);
    tasks = converter.TaskCount();
    display.Close(monitor.TakeLines());
  }

  if (tasks > 0 && StopSignal() == 0) {
    monitor.StartRun();
    converter.StartConvert(JobCount(arguments.Jobs));
    bool stopping = false;
    while (!monitor.WaitForRunEnd(kRedrawInterval)) {
      if (StopSignal() != 0 && !stopping) {
        stopping = true;
        monitor.Print("Stopping: every file ends cleanly; press Ctrl+C again to quit at once.");
        converter.StopAll();
      }
      const std::vector<TPrintLine> lines = monitor.TakeLines();
      display.Show(lines, monitor.Files(), monitor.Run(), monitor.Seconds(TCliClock::now()));
    }
  }
  // Waits for every task's end; none is running afterwards.
  converter.ClearTasks();
  monitor.Close();
  const std::vector<TFileRecord> files = monitor.Files();
  display.Close(monitor.TakeLines());

  std::fputs(("\n" + SummaryTable(files)).c_str(), stdout);
  std::fflush(stdout);
  if (StopSignal() != 0) return 128 + StopSignal();
  for (const TFileRecord& file : files) {
    if (file.Run.State != TRunFileState::Completed) return 1;
  }
  return 0;
}
