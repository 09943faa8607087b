#include "FuzzTargets.h"
#include "binding/ValueConversion.h"
#include "component/TaskList.h"

void FuzzOptionLines(std::string_view data) {
  TFFmpeg task;
  task.Reset();
  try {
    task.ApplyOptionText(std::string(data));
  } catch (const FFMpegException&) {
  } catch (const EConvertError&) {
  } catch (const EAssertionFailed&) {
  }
  // "v" changes the process-wide threshold: later inputs run quiet again.
  QuietMediaLibraries();
}
