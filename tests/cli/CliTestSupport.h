// Helpers of the command-line tests: tovrena-cli run as a child process with a settings
// folder of the test's own, and the small profiles the tests convert with.
#pragma once

#include <csignal>
#include <functional>
#include <string>
#include <vector>

#include "TestSupport.h"

struct TCliResult {
  int exitCode = -1;  // 128 + signal when the child was killed by one
  std::string out;
  std::string err;
};

// A configuration folder (XDG_CONFIG_HOME) with Tovrena/Settings in it, removed afterwards.
class TCliHome {
 public:
  TCliHome();
  const std::string& ConfigFolder() const { return config_; }
  const std::string& SettingsFolder() const { return settings_; }
  std::string File(const std::string& name) const { return folder_.File(name); }
  const TTempFolder& Folder() const { return folder_; }

  // Writes codec.ini and the AVI and MP4 group files of the tests: small, quick profiles.
  void WriteTestProfiles() const;
  // Writes the options file with the window's last choice.
  void WriteLastChoice(int group, int profile, const std::string& outputPath) const;

  // Runs tovrena-cli with the arguments and this configuration folder. onOutput sees the
  // standard output gathered so far each time more arrives and may signal the child
  // (through the pid it is given). The child is killed after timeoutSeconds.
  TCliResult Run(const std::vector<std::string>& arguments,
                 const std::function<void(const std::string& out, int pid)>& onOutput = nullptr,
                 int timeoutSeconds = 120) const;

 private:
  TTempFolder folder_;
  std::string config_;
  std::string settings_;
};

// Occurrences of needle in text.
int CountOf(const std::string& text, const std::string& needle);
