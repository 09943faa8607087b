#include "JobRunner.h"

#include <mutex>

TJobResult RunJob(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs,
                  const std::vector<std::string>& optionLines,
                  const std::function<void(TTestEngine&)>& beforeOutputs) {
  TJobResult result;
  TTestEngine engine;
  engine.Reset();
  std::mutex mutex;
  engine.OnLog = [&](TCustomFFmpeg*, int, const std::string& text) {
    std::lock_guard lock(mutex);
    result.logs.push_back(text);
  };
  engine.OnProgress = [&](TCustomFFmpeg*, int, int, int, float, float, std::int64_t, int) {
    ++result.progressEvents;
  };
  engine.OnTerminate = [&](TCustomFFmpeg* sender) {
    result.finished = sender->Finished();
    result.exception = sender->ExceptionRaised();
    result.message = sender->ExceptionMessage();
  };
  engine.SetVerbosity(-1);
  for (const std::string& input : inputs)
    if (!engine.OpenInput(input)) {
      result.error = engine.ErrorText();
      return result;
    }
  for (const std::string& line : optionLines) {
    const std::size_t equals = line.find('=');
    engine.SetOption(line.substr(0, equals),
                     equals == std::string::npos ? "" : line.substr(equals + 1));
  }
  if (beforeOutputs) beforeOutputs(engine);
  for (const std::string& output : outputs)
    if (!engine.OpenOutput(output)) {
      result.error = engine.ErrorText();
      return result;
    }
  result.opened = true;
  engine.Start(false);
  return result;
}
