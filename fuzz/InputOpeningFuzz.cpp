#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "FuzzTargets.h"
#include "component/AVProbe.h"
#include "engine/FFmpeg.h"
#include "engine/InputConfinement.h"

namespace {

namespace fs = std::filesystem;

// Demuxers that read files or addresses named in the content.
constexpr std::string_view kReferringFormats[] = {"hls",  "dash", "concat", "sdp",  "rtp",
                                                  "rtsp", "imf",  "vobsub", "lavfi"};

const fs::path& DropFolder() {
  static const fs::path folder = [] {
    const fs::path made = fs::temp_directory_path() /
                          ("tovrena-fuzz-" + std::to_string(getpid()) + "-input") / "drop";
    fs::create_directories(made);
    return fs::canonical(made);
  }();
  return folder;
}

std::string Contents(const fs::path& file) {
  std::ifstream stream(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

}  // namespace

void FuzzInputOpening(std::string_view data) {
  const fs::path input = DropFolder() / "holiday.avi";
  std::ofstream(input, std::ios::binary | std::ios::trunc) << data;

  TAVProbe probe;
  if (probe.Open(input.string(), "")) {
    const std::string_view format = probe.Context()->iformat->name;
    FuzzExpect(std::find(std::begin(kReferringFormats), std::end(kReferringFormats), format) ==
                   std::end(kReferringFormats),
               "a file that refers to other files was opened: " + std::string(format));
  } else {
    FuzzExpect(probe.LastError().rfind(input.string() + ": ", 0) == 0,
               "a refusal does not name the file: " + probe.LastError());
  }
  probe.Close();

  // Every line as a name a playlist in the folder asks for: found only inside it.
  std::istringstream lines{std::string(data)};
  for (std::string line; std::getline(lines, line);) {
    const std::string reached = PathInsidePlaylistFolder("file:" + input.string(), line);
    FuzzExpect(reached.empty() || reached.rfind(DropFolder().string() + "/", 0) == 0,
               "a name leads out of the playlist's folder: " + line);
  }

  // An input is never written, and opening it creates nothing beside it.
  FuzzExpect(Contents(input) == data, "the input was changed");
  FuzzExpect(std::distance(fs::directory_iterator(DropFolder()), fs::directory_iterator()) == 1,
             "opening the input created a file beside it");
}
