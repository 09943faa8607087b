#include "FuzzTargets.h"
#include "component/TaskList.h"

void FuzzTimeRanges(std::string_view data) {
  TFFmpeg task;
  task.Reset();
  task.ApplyTimeRanges(std::string(data));
  const auto& ranges = task.Settings().HookTimeRanges;
  for (std::size_t i = 0; i < ranges.size(); ++i) {
    FuzzExpect(ranges[i].first <= ranges[i].second, "a range ends before it starts");
    FuzzExpect(ranges[i].second >= 0, "a range ends before zero");
    FuzzExpect(i == 0 || ranges[i - 1].second <= ranges[i].second, "ranges not sorted by end");
  }
  FuzzExpect(task.Settings().CurrentHookTimeRange == 0, "the current range is not the first");
}
