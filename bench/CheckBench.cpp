// tovrena-bench-check: how long the check of a finished output takes, the one a file
// passes before it counts as completed. Prints the median of RUNS checks in milliseconds.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "binding/LocalFiles.h"
#include "binding/MediaLibraries.h"
#include "binding/MediaPointers.h"
#include "binding/MyUtils.h"
#include "engine/OutputCheck.h"

namespace {

// What the file holds, as the engine would have noted it while writing.
bool WrittenOf(const std::string& path, TWrittenOutput& written) {
  AVFormatContext* context = nullptr;
  if (lib::avformat_open_input(&context, LibraryUrlOf(path).c_str(), nullptr, nullptr) < 0)
    return false;
  TInputFormatContextPtr file(context);
  for (unsigned i = 0; i < file->nb_streams; ++i)
    written.Types.push_back(file->streams[i]->codecpar->codec_type);
  written.Start = 0;
  written.End = file->duration;
  written.LongestPacket = AV_TIME_BASE / 10;
  written.Bytes = FileSizeOf(path);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc == 3 ? std::atoi(argv[2]) : 0;
  if (runs <= 0) {
    std::fprintf(stderr, "Usage: tovrena-bench-check FILE RUNS\n");
    return 2;
  }
  if (!LoadMediaLibraries(ExecutableFolder() + "LibAV", true)) {
    std::fprintf(stderr, "tovrena-bench-check: %s\n", MediaLibrariesError().c_str());
    return 1;
  }
  TWrittenOutput written;
  if (!WrittenOf(argv[1], written)) {
    std::fprintf(stderr, "tovrena-bench-check: %s does not open\n", argv[1]);
    return 1;
  }
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    const std::string failure = CheckWrittenOutput(argv[1], argv[1], written);
    times.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count());
    if (!failure.empty()) {
      std::fprintf(stderr, "tovrena-bench-check: %s\n", failure.c_str());
      return 1;
    }
  }
  std::sort(times.begin(), times.end());
  std::printf("%.3f\n", times[times.size() / 2]);
  return 0;
}
