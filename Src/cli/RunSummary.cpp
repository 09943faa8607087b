#include "cli/RunSummary.h"

#include <algorithm>
#include <array>
#include <map>

std::string StateText(TFileState state) {
  switch (state) {
    case TFileState::Waiting:
      return "waiting";
    case TFileState::Running:
      return "running";
    case TFileState::Completed:
      return "completed";
    case TFileState::Stopped:
      return "stopped";
    case TFileState::Failed:
      return "failed";
    case TFileState::NotStarted:
      return "not started";
  }
  return {};
}

std::string SummaryTable(const std::vector<TFileRecord>& files) {
  using TRow = std::array<std::string, 4>;
  std::vector<TRow> rows = {{"Input", "Output", "Status", "Time"}};
  std::map<std::string, int> counts;
  for (const TFileRecord& file : files) {
    const bool ended = file.State != TFileState::Waiting && file.State != TFileState::Running;
    const std::string time =
        file.HasStarted && ended
            ? ClockText(std::chrono::duration<double>(file.Ended - file.Started).count())
            : "-";
    rows.push_back({OneLine(file.Input), file.Output.empty() ? "-" : OneLine(file.Output),
                    StateText(file.State), time});
    ++counts[StateText(file.State)];
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
    if (file.State == TFileState::Failed && !file.Message.empty()) {
      table += "Failed " + file.Input + ": " + file.Message + "\n";
    }
  }
  return table;
}
