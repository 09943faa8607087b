// Checking a file for a conversion without listing it, from any thread.
#include "component/TaskList.h"
#include "component/VornConverter.h"
#include "engine/ProcessState.h"

namespace {

// The check's engine, whose library lines (its closing ones too) belong to it on this thread.
struct TCheckTask {
  TCheckTask() : Owner(&Engine) {}
  const TLogOwnerScope Owner;  // declared first: it outlives the engine
  TFFmpeg Engine;
};

}  // namespace

// Safe on several threads at once because each check works on a task of its own that no
// list holds and no event reaches: the steps are those a listed task runs on its job thread
// (SetUpInput and SetUpOutput touch only the task), the libraries' log lines of this thread
// belong to the check's task, whose level is quiet (the libraries' own level and every other
// task's lines are left alone), and codec opens are serialised by the engine's CodecLock. The
// task's destruction closes the input; no output file is created.
TFileCheck TCustomVornConverter::CheckFile(const TInputOptions& Input,
                                           const TOutputOptions& Output) {
  TFileCheck check;
  check.FailedStep = tsInput;
  try {
    TAVProbe::CheckLibrariesLoaded();
    TCheckTask checked;
    TFFmpeg& task = checked.Engine;
    task.Reset();
    task.SetThreadCount(1);
    task.SetVerbosity(llQuiet - 1);
    TInputOptions input = Input;
    check.Reason = SetUpInput(task, input.FileName, &input);
    if (!check.Reason.empty()) return check;
    TAVFileInfo info;
    task.Probe.GetInfo(info);
    check.Duration = info.Duration;
    for (int i = 0; i < task.Probe.StreamCount() && check.Cover.empty(); ++i)
      check.Cover = task.Probe.CoverPictureText(i);
    check.FailedStep = tsOutput;
    TOutputOptions output = Output;
    // Only whether it can be set up: the check leaves nothing in the output folder.
    task.SetOutputWithoutFile(true);
    check.Reason = SetUpOutput(task, output.FileName, &output);
    if (check.Reason.empty()) check.FailedStep = tsNone;
  } catch (const std::exception& failure) {
    check.Reason = failure.what();
  }
  return check;
}
