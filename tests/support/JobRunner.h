// Runs a whole engine job in one call, for tests and benchmarks.
#pragma once

#include <string>
#include <vector>

#include "engine/FFmpeg.h"

struct TJobResult {
  bool opened = false;     // every input and output was accepted
  std::string error;       // the engine's error text when not
  bool finished = false;   // AFinished
  bool exception = false;  // AException
  std::string message;     // AMessage
  std::vector<std::string> logs;
  int progressEvents = 0;
};

// An engine whose protected state tests may look at and set.
class TTestEngine : public TCustomFFmpeg {
 public:
  using TCustomFFmpeg::FPlan;
  using TCustomFFmpeg::FSettings;
};

// Option lines are "name=value" (or "name"), applied after the inputs are open, as options of
// the outputs. The hook, when given, runs after them and may change settings directly.
TJobResult RunJob(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs,
                  const std::vector<std::string>& optionLines = {},
                  const std::function<void(TTestEngine&)>& beforeOutputs = nullptr);
