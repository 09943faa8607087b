// The converter component: what every front end drives. It loads the media libraries,
// keeps a list of conversion tasks (one engine per input file), sets each one up from the
// option records, runs them on worker threads (or one after another on the main thread)
// and relays the engines' log, progress, hook and termination events with the task's
// index. After the last task of a run it raises OnTerminate once more with index -1.
//
// Threads: the operations are called from one thread, the main thread. The events are
// raised on the thread that runs the task, or on a short-lived helper thread for a task
// stopped before it started; OnLog, OnProgress and OnTerminate of one component never
// overlap. Assign the events before a run, not during it.
//
// Task lifetime: a task is never freed while its job or the delivery of its end is under
// way. Called from outside the events, RemoveTask and ClearTasks stop the tasks of the
// open run and wait until their ends have been raised; called from inside an event they
// take the tasks out of the list at once and the component frees them later (at its next
// operation or its destruction). Every task of a run gets exactly one OnTerminate, then
// the run exactly one with index -1. Destroying the component stops its tasks and waits
// for their ends; it must not be destroyed from inside its own events.
//
// How that is kept, and why each piece stays:
// - ComponentLock (re-entrant) is held around OnLog, OnProgress and the whole of
//   DoTerminate, so that one component's events never overlap and a handler may call StopAll
//   or ClearTasks on the same thread. The run's counts, the list and every task's run state
//   are only touched under it.
// - Each task's run state holds five facts: InRun (the open run waits for its end),
//   EndDelivered (its OnTerminate of this run has been raised, so never a second),
//   EndOutstanding (a DoTerminate for it is still to come), TerminateRequested (that one
//   comes from a helper thread, so a start posted to the main thread must not run it) and
//   InlineStarting (a main-thread start is running its job, which outlives the job's own
//   DoTerminate). EndOutstanding or InlineStarting make the task busy: it is freed only when
//   neither holds. A task waits for its turn when it is in the run, not ended and not busy.
// - Freeing a task joins its threads, which no thread of its own can do: inside an event
//   (a thread-local depth says so) a removed task goes to the retired list and is freed at
//   the next operation outside the events; outside them the caller waits until it is idle.
// - The task whose end was raised last keeps its ended threads until the next end, since
//   the thread that raised it is still running then.
// - A start posted to the main thread holds the component weakly and does nothing once it
//   is gone.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "component/AVProbe.h"
#include "component/OptionRecords.h"
#include "component/TaskHandles.h"
#include "engine/Bitmap.h"
#include "engine/EngineTypes.h"

// Behind this header, so that callers are built without the media libraries' headers.
class TCustomFFmpeg;
class TDelayedCalls;

enum TLogLevel : std::int32_t { llQuiet, llError, llInfo, llDebug, llAll };

// Whether error is a failure of a conversion (raised by the engine) rather than of the
// program around it.
bool IsEngineFailure(const std::exception& error);

// Removes the temporaries that this process's tasks are writing their outputs into. Only
// async-signal-safe calls: meant for the handler of a signal that ends the program.
void RemoveTasksTemporaryOutputs();

// What CheckFile found: the input's duration, or the step that failed and why.
struct TFileCheck {
  TTaskSetupStep FailedStep = tsNone;
  std::string Reason;
  std::int64_t Duration = -1;  // microseconds, or the libraries' no-value marker
  std::string Cover;           // "cover picture (JPEG, 700x700)"; empty without a cover
  bool Passed() const { return FailedStep == tsNone; }
};

class TCustomVornConverter {
 public:
  using TBeforeHookEvent =
      std::function<void(int AIndex, std::int64_t APTS, THookAction& AHookAction)>;
  using TCustomHookEvent = std::function<void(int AIndex, TBitmap& ABitmap, int AFrameNumber,
                                              std::int64_t APTS, bool& AUpdate, bool& AStopHook)>;
  using TLogEvent = std::function<void(int AIndex, TLogLevel ALogLevel, const std::string& AMsg)>;
  using TProgressEvent = std::function<void(int AIndex, int AFrameNumber, int AFPS,
                                            int ACurrentDuration, float AQuality, float ABitRate,
                                            std::int64_t ACurrentSize, int ATotalOutputDuration)>;
  using TTerminateEvent =
      std::function<void(int AIndex, bool AFinished, bool AException, const std::string& AMessage)>;
  // A listed task whose set-up failed when its turn came: the step and the reason that
  // AddInputFile or SetOutputFile would have left in LastErrorMessage. Raised just before
  // that task's OnTerminate (AFinished false, AException true, AMessage the reason).
  using TSetupFailureEvent =
      std::function<void(int AIndex, TTaskSetupStep AStep, const std::string& AReason)>;

  // The front end's one-shot timer on its main thread: it must run Call once, on the
  // thread that makes the component's calls, DelayMs milliseconds later, and it must not
  // block. The component uses it to start tasks when a run has a count <= 0; a call that
  // comes after the component is gone does nothing. Without one, each such start waits
  // on a short-lived thread of its own and the task runs there.
  using TMainThreadPoster = std::function<void(int DelayMs, std::function<void()> Call)>;

  explicit TCustomVornConverter(TMainThreadPoster MainThreadPoster = nullptr);
  virtual ~TCustomVornConverter();
  TCustomVornConverter(const TCustomVornConverter&) = delete;
  TCustomVornConverter& operator=(const TCustomVornConverter&) = delete;

  // Binds the media libraries and installs the library log callback; false with
  // LastErrorMessage set when they cannot be bound.
  bool LoadLibraries(const std::string& Folder, bool Versioned);
  // Frees every task (stopping the run), closes the probe, then unbinds the libraries.
  void UnloadLibraries();

  // A task for an input file: its index, or -1 with LastErrorMessage set. An empty
  // Options->FileName is filled with FileName.
  int AddInputFile(const std::string& FileName, TInputOptions* Options);
  // Gives the task its output; false with LastErrorMessage set, the task then stays in the
  // list for the caller to remove. Throws std::out_of_range for an index not in the list.
  bool SetOutputFile(int Index, const std::string& FileName, TOutputOptions* Options);
  // A task that is set up only when its turn comes in a run, on its own thread: until then
  // it holds the two records and no open file, and after its end nothing but them. Both
  // records name their files (FileName). Set-up does what AddInputFile and SetOutputFile
  // do; a failure reaches OnSetupFailure and OnTerminate instead of LastErrorMessage. The
  // task index, or -1 with LastErrorMessage set when the libraries are not bound.
  int ListFile(const TInputOptions& Input, const TOutputOptions& Output);
  // Throws std::out_of_range for an index not in the list.
  void RemoveTask(int Index);
  // Whether a file can be converted with these records, found as a listed task's set-up
  // would find it (input opened, output created in Output.FileName, reserved by the
  // caller), everything dropped again at once (the still empty output with it). Touches
  // neither the task list nor LastErrorMessage: any thread may call it, several at once,
  // while the libraries stay loaded.
  TFileCheck CheckFile(const TInputOptions& Input, const TOutputOptions& Output);
  // Frees every task, empties LastErrorMessage, sets ParallelCount to 0.
  void ClearTasks();
  // Count tasks at once, each end starting the next; Count <= 0: one after another on the
  // main thread, each 100 ms after the previous one ended.
  void StartConvert(int Count);
  // No further task starts; running ones are asked to stop, ones that never started get
  // their end from a helper thread.
  void StopAll();

  // Whether an option line of this name would be placed: a name of the engine's option
  // vocabulary or of the libraries' codec, muxer or scaler option tables. The libraries
  // must be loaded. Front ends ask before handing option text on, since a task skips a
  // name no one knows without a word.
  bool KnowsOption(const std::string& Name) const;

  static void InitInputOptions(TInputOptions& Options) { Options = TInputOptions{}; }
  static void InitOutputOptions(TOutputOptions& Options) { Options = TOutputOptions{}; }

  void SetLogLevel(TLogLevel Value);
  TLogLevel LogLevel() const;
  // Milliseconds between two progress reports of a task, at least 100.
  void SetProgressInterval(int Value);
  int ProgressInterval() const;

  int NextTaskIndex() const;
  int ParallelCount() const;
  int PendingCount() const;
  int FinishedCount() const;
  int TaskCount() const;
  // What the user is told about a task's output beside how it ended ("63 of 200 tracks
  // kept: ..."), empty when nothing; complete once the task's output is set up (by its
  // OnTerminate at the latest). Empty for an index without a task.
  std::string TaskOutputNote(int Index) const;
  // The name the task's output finally got: it is written under a temporary name and
  // moved to its name, or the next free "(n)" one, when it is closed. Empty until then (by
  // its OnTerminate at the latest), and when no output was kept.
  std::string TaskOutputFile(int Index) const;
  // How the task's last end came about (started or not, and the failure's kind), filled
  // before its OnTerminate is raised: read it there or later. A default (never started,
  // no failure) for an index without a task or a task whose end has not come.
  TTaskEnd TaskEnd(int Index) const;

  // Raises one library log line on this component, with the task that the calling
  // thread runs, else the task whose engine Owner is (the engine whose context logged it,
  // for the libraries' own codec threads), else index -1.
  void RaiseLibraryLine(int Level, const std::string& Line, const void* Owner);

  std::string About;
  std::string LastErrorMessage;
  TConvertPriority ThreadPriority = tpNormal;
  // Codec threads of each task's decoders and encoders, given to a task before its input
  // is opened; 0 lets the libraries choose (a negative count counts as 0).
  int ThreadCount = 1;
  TBeforeHookEvent OnBeforeHook;
  TCustomHookEvent OnCustomHook;
  TLogEvent OnLog;
  TProgressEvent OnProgress;
  TTerminateEvent OnTerminate;
  TSetupFailureEvent OnSetupFailure;
  // For the front end's use, on the main thread.
  const std::unique_ptr<TAVProbe> Probe = std::make_unique<TAVProbe>();

 protected:
  // The engines' events of every task come here; the task is the Sender. They are not
  // virtual: worker threads call them until the end of this class's destructor, when the
  // part of a subclass is gone already.
  void DoBeforeHook(TCustomFFmpeg* Sender, std::int64_t APTS, THookAction& AHookAction);
  void DoCustomHook(TCustomFFmpeg* Sender, TBitmap& ABitmap, int AFrameNumber, std::int64_t APTS,
                    bool& AUpdate, bool& AStopHook);
  void DoLog(TCustomFFmpeg* Sender, int Level, const std::string& Msg);
  void DoProgress(TCustomFFmpeg* Sender, int AFrameNumber, int AFPS, int ACurrentDuration,
                  float AQuality, float ABitRate, std::int64_t ACurrentSize,
                  int ATotalOutputDuration);
  void DoTerminate(TCustomFFmpeg* Sender);

  // Serialises the relays, the run's bookkeeping and the task list.
  mutable std::recursive_mutex ComponentLock;
  TFFmpegList Tasks;

 private:
  void ConnectEvents(TFFmpeg& Task, bool Progress);
  // The steps of AddInputFile after the engine's reset, and of SetOutputFile: the reason of
  // a failure, empty on success. Exceptions of the options are the caller's.
  std::string SetUpInput(TFFmpeg& Task, const std::string& FileName, TInputOptions* Options);
  std::string SetUpOutput(TFFmpeg& Task, const std::string& FileName, TOutputOptions* Options);
  // A listed task's set-up on its job's thread (see TFFmpeg::ListedSetUp).
  bool SetUpListedTask(TFFmpeg& Task, int ThreadCount);
  void StartNext();
  void StartTask(const TTaskPtr& Task);
  void StartTaskInline(const TTaskPtr& Task);
  void PostStart(const TTaskPtr& Task);
  // This run's end of a task whose engine ended before, from a helper thread.
  void PostEnd(const TTaskPtr& Task);
  // Makes sure the task's end comes (a stop, or a delivery from a helper thread); true when
  // one is outstanding afterwards.
  bool RequestEnd(const TTaskPtr& Task);
  // Its job or end is under way, or the open run still waits for its end: a stop or a
  // removal must ask for that end.
  bool OwesEnd(const TFFmpeg& Task) const;
  void StopRunLocked();
  bool RunComplete() const;
  void RaiseRunEnd();
  void CountPending();
  // Frees tasks (never under ComponentLock, never inside an event).
  void WaitForEnds(const std::vector<TTaskPtr>& Tasks);
  void FreeRetired();
  static bool InsideEvent();

  int FNextTaskIndex = -1;
  int FParallelCount = 0;
  int FPendingCount = 0;
  int FFinishedCount = 0;
  bool FRunOpen = false;
  bool FClosing = false;
  TLogLevel FLogLevel = llInfo;
  int FProgressInterval = 500;
  // Tasks taken out of the list whose job or end may still be under way.
  std::vector<TTaskPtr> FRetired;
  // The task whose end was delivered last; its threads are joined at the next end.
  TFFmpeg* FLastEnded = nullptr;
  std::condition_variable_any FEndDelivered;
  TMainThreadPoster FMainThreadPoster;
  std::unique_ptr<TDelayedCalls> FDelayedCalls;
  // Calls posted to the front end hold it weakly, so that they do nothing once it is gone.
  std::shared_ptr<TCustomVornConverter*> FAlive;
};

class TVornConverter : public TCustomVornConverter {
 public:
  using TCustomVornConverter::TCustomVornConverter;
  std::string Version() const { return "2.2"; }
};
