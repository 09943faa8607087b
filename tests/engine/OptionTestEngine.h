// An engine for the option and setter tests: bound libraries, reset, every log line kept,
// and the tables the options fill within reach.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/FFmpeg.h"

class TOptionTestEngine : public TCustomFFmpeg {
 public:
  struct TLogLine {
    int Level;
    std::string Text;
  };

  TOptionTestEngine() {
    Reset();
    OnLog = [this](TCustomFFmpeg*, int level, const std::string& text) {
      Logged.push_back({level, text});
    };
  }
  ~TOptionTestEngine() override { WaitForJobEnd(); }

  std::vector<TLogLine> Logged;

  using TCustomFFmpeg::FLibraryOptions;
  using TCustomFFmpeg::FPlan;

 protected:
  void Transcode() override {}
};

// Runs statement and expects it to raise ExceptionType with exactly Message.
#define EXPECT_RAISES(statement, ExceptionType, Message)           \
  do {                                                             \
    try {                                                          \
      statement;                                                   \
      ADD_FAILURE() << "no exception from " #statement;            \
    } catch (const ExceptionType& raised) {                        \
      EXPECT_EQ(std::string(raised.what()), std::string(Message)); \
    }                                                              \
  } while (false)
