// How an input file names its output: the base name, the extension and the first free
// name in the output folder. Plain C++: both front ends use it.
#pragma once

#include <set>
#include <string>

#include "binding/LocalFiles.h"

// The file name without its folder and extension; the extension starts at the last "."
// of the name.
std::string FileBaseName(const std::string& path);
// The extension without its dot ("" when the name has no "."), as written.
std::string FileExtension(const std::string& path);

// Output paths already given to earlier files of the same list or run. They count as
// taken like files on disk, so two inputs with the same base name never share an output.
using TTakenOutputs = std::set<std::string>;

// A name reserved for an output: the empty file created under it, which the output is
// then written into (TOutputOptions::ReservedFile).
struct TOutputReservation {
  std::string Name;        // without folder and extension, as the list shows it
  std::string Path;        // folder + name + extension
  TFileIdentity Identity;  // of the file created; unknown when none could be
  std::string Error;       // why no file could be created, with the system's reason
  bool Reserved() const { return Identity.Known(); }
};

// The reservation point of both front ends. base, else base(1), base(2), ...: the first name
// not in taken that can be created as a new empty file in folder, created in the same step
// as it is checked (so that two runs or two files never get one name) and never through a
// link at the name. A name too long for the file system is shortened to fit. folder is used
// as written (it ends with "/"); extension includes its dot. Any failure other than a taken
// name stops with Error set ("Could not open '<path>': Permission denied").
TOutputReservation ReserveOutputName(const std::string& folder, const std::string& base,
                                     const std::string& extension, const TTakenOutputs& taken);
// Gives a reservation back that no task took (its file refused, the run ended before it):
// its file goes while it is still the empty file reserved.
void ReleaseOutputName(const TOutputReservation& reservation);

// Remembers a reservation of a run, so that a quit by a signal can take its file along
// while it is still the empty file reserved. Entries are kept until the program ends.
void RegisterReservedOutput(const TOutputReservation& reservation);
// Removes every registered file that is still its empty reserved self. Makes only
// async-signal-safe calls: meant for the handler of a signal that ends the program.
void RemoveEmptyReservedOutputs();

// Makes the output folder (with its parents) when missing and checks that files can be
// created in it. Empty when it can take outputs, else the reason ("Not a directory", "Read-only
// file system", "Permission denied"); nothing is created when it cannot.
std::string PrepareOutputFolder(const std::string& folder);
