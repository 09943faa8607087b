#include "CliTestSupport.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace {

const char* const kCodecCatalogue =
    "[Video Codec]\nMPEG-4 Part 2=mpeg4\n[Audio Codec]\nMP2=mp2\nAAC=aac\n";

std::string Profile(const std::string& name, const std::string& targetType, int width, int height,
                    const std::string& audioCodec) {
  return "[" + name + "]\nTargetType=" + targetType +
         "\nVideoDisabled=0\nVideoCodec=MPEG-4 Part 2\nVideoSizeOption=Custom...\n"
         "VideoCustomWidth=" +
         std::to_string(width) + "\nVideoCustomHeight=" + std::to_string(height) +
         "\nVideoBitrate=400\nVideoFrameRateOption=25\nAudioDisabled=0\nAudioCodec=" + audioCodec +
         "\nAudioChannels=2\nAudioSampleRate=44100\nAudioBitRate=128\n\n";
}

// A sanitized build's report from the child: it fails the test whatever exit the test expects
// (a test of a refusal would otherwise take the report's exit code for the refusal's).
void ExpectNoSanitizerReport(const std::string& err) {
  for (const char* mark : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer",
                           "WARNING: ThreadSanitizer", "ThreadSanitizer:", "runtime error:"}) {
    EXPECT_EQ(err.find(mark), std::string::npos) << "tovrena-cli: " << err;
  }
}

}  // namespace

TCliHome::TCliHome()
    : config_(folder_.File("config")), settings_(folder_.File("config") + "/Tovrena/Settings/") {
  std::filesystem::create_directories(settings_);
}

void TCliHome::WriteTestProfiles() const {
  WriteTextFile(settings_ + "codec.ini", kCodecCatalogue);
  WriteTextFile(settings_ + "AVI.ini", Profile("Small MPEG-4", "AVI", 160, 120, "MP2") +
                                           Profile("Tiny MPEG-4", "AVI", 96, 72, "MP2"));
  WriteTextFile(settings_ + "MP4.ini", Profile("MP4 Small", "MP4", 160, 120, "AAC"));
}

void TCliHome::WriteLastChoice(int group, int profile, const std::string& outputPath) const {
  WriteTextFile(config_ + "/Tovrena/Options.ini",
                "[Options]\nOutputPath=" + outputPath + "\nRgpProfiles=" + std::to_string(group) +
                    "\nCboProfiles=" + std::to_string(profile) + "\n");
}

TCliResult TCliHome::Run(const std::vector<std::string>& arguments,
                         const std::function<void(const std::string&, int)>& onOutput,
                         int timeoutSeconds) const {
  TCliResult result;
  int out[2], err[2];
  if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "pipe failed";
    return result;
  }
  std::vector<std::string> words = {TOVRENA_CLI_PATH};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const std::string home = "XDG_CONFIG_HOME=" + config_;

  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    ::dup2(err[1], STDERR_FILENO);
    ::putenv(const_cast<char*>(home.c_str()));
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  ::close(err[1]);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* texts[2] = {&result.out, &result.err};
  int open = 2;
  while (open > 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ADD_FAILURE() << "tovrena-cli did not end in time";
      ::kill(pid, SIGKILL);
      break;
    }
    if (::poll(fds, 2, 200) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t count = ::read(fds[i].fd, buffer, sizeof buffer);
      if (count <= 0) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
        continue;
      }
      texts[i]->append(buffer, static_cast<std::size_t>(count));
      if (i == 0 && onOutput) onOutput(result.out, pid);
    }
  }
  for (const pollfd& fd : fds) {
    if (fd.fd >= 0) ::close(fd.fd);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  ExpectNoSanitizerReport(result.err);
  return result;
}

int CountOf(const std::string& text, const std::string& needle) {
  int count = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos;
       at = text.find(needle, at + 1)) {
    ++count;
  }
  return count;
}
