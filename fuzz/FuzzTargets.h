// The bodies of the fuzz targets for the text parsers. Each takes one input as raw bytes
// and returns normally for every input the product handles soundly: a documented error
// (FFMpegException, EConvertError, EAssertionFailed, EIniFileError) is caught inside. Any
// other exception, a broken invariant (TFuzzFinding) or a crash is a finding. The fuzzers
// and the tests that replay kept inputs run the same bodies.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// A result that breaks what the parser promises.
class TFuzzFinding : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

// Raises TFuzzFinding with what when condition does not hold.
void FuzzExpect(bool condition, const std::string& what);

// Binds the media libraries from folder and keeps them quiet; false when they cannot be bound.
bool PrepareFuzzing(const std::string& libAVFolder);
// Sets the libraries' log threshold back to quiet.
void QuietMediaLibraries();

// "name=value" lines through the component's task, as the option records pass them.
void FuzzOptionLines(std::string_view data);
// An INI file read, queried, changed and read back.
void FuzzIniFile(std::string_view data);
// Hook time ranges, "start-end" pieces in milliseconds.
void FuzzTimeRanges(std::string_view data);
// Intra and inter quantiser matrices.
void FuzzMatrices(std::string_view data);
// Rate-control override entries.
void FuzzRcOverride(std::string_view data);
// Frame size, frame rate and aspect ratio texts.
void FuzzPictureSetters(std::string_view data);
// A dropped file's content, playlist-like texts above all, opened as an input and its lines
// as names a playlist asks for: nothing outside the file (or its folder) is reached.
void FuzzInputOpening(std::string_view data);

struct TFuzzTarget {
  const char* Name;  // also the folder of its seeds and kept inputs
  void (*Body)(std::string_view data);
};

const std::vector<TFuzzTarget>& FuzzTargets();
