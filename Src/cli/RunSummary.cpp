#include "cli/RunSummary.h"

#include <algorithm>
#include <array>
#include <map>

std::string StateText(TRunFileState state) {
  switch (state) {
    case TRunFileState::Queued:
      return "waiting";
    case TRunFileState::Running:
      return "running";
    case TRunFileState::Completed:
      return "completed";
    case TRunFileState::Stopped:
      return "stopped";
    case TRunFileState::Failed:
      return "failed";
    case TRunFileState::NotStarted:
      return "not started";
  }
  return {};
}

std::string SummaryTable(const std::vector<TFileRecord>& files) {
  using TRow = std::array<std::string, 4>;
  std::vector<TRow> rows = {{"Input", "Output", "Status", "Time"}};
  std::map<std::string, int> counts;
  for (const TFileRecord& file : files) {
    const TRunFile& run = file.Run;
    const std::string time =
        run.Ran() && run.Ended() ? ClockText(run.EndedAt - run.StartedAt) : "-";
    rows.push_back({OneLine(file.Input), file.Output.empty() ? "-" : OneLine(file.Output),
                    StateText(run.State), time});
    ++counts[StateText(run.State)];
  }
  std::array<std::size_t, 4> widths{};
  for (const TRow& row : rows) {
    for (std::size_t column = 0; column < widths.size(); ++column) {
      widths[column] = std::max(widths[column], row[column].size());
    }
  }
  std::string table;
  for (const TRow& row : rows) {
    std::string line;
    for (std::size_t column = 0; column < widths.size(); ++column) {
      line += row[column];
      if (column + 1 < widths.size())
        line += std::string(widths[column] - row[column].size() + 2, ' ');
    }
    table += line + "\n";
  }
  std::string tally;
  for (const char* state : {"completed", "stopped", "failed", "not started"}) {
    if (counts[state] > 0)
      tally += (tally.empty() ? "" : ", ") + std::to_string(counts[state]) + " " + state;
  }
  table +=
      std::to_string(files.size()) + (files.size() == 1 ? " file: " : " files: ") + tally + "\n";
  // The notes and reasons last, where they are read after the run, not only in the
  // scrolled-off log.
  for (const TFileRecord& file : files) {
    if (!file.Note.empty()) table += "Note " + file.Input + ": " + file.Note + "\n";
  }
  for (const TFileRecord& file : files) {
    if (file.Run.State == TRunFileState::Failed && !FailureText(file.Run).empty()) {
      table += "Failed " + file.Input + ": " + FailureText(file.Run) + "\n";
    }
  }
  return table;
}
