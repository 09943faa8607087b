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

// The name planned for an output. Nothing is created for it: the engine writes the file
// under a temporary name when its turn comes and moves it to this name when it is closed,
// or to the next free "(n)" of Base when another file has taken the name by then.
struct TPlannedOutput {
  std::string Name;   // without folder and extension, as the list shows it
  std::string Path;   // folder + name + extension
  std::string Base;   // the name without counter (TOutputOptions::NameBase)
  std::string Error;  // why the folder cannot be looked at, with the system's reason
  bool Planned() const { return Error.empty(); }
};

// The naming of both front ends. base, else base(1), base(2), ...: the first name not in
// taken and not in folder yet (a link at the name counts, even a dangling one). A name too
// long for the file system is shortened to fit. folder is used as written (it ends with
// "/"); extension includes its dot. A failure other than a taken name stops with Error set
// ("Could not open '<path>': Permission denied").
TPlannedOutput PlanOutputName(const std::string& folder, const std::string& base,
                              const std::string& extension, const TTakenOutputs& taken);

// Makes the output folder (with its parents) when missing and checks that files can be
// created in it. Empty when it can take outputs, else the reason ("Not a directory", "Read-only
// file system", "Permission denied"); nothing is created when it cannot.
std::string PrepareOutputFolder(const std::string& folder);
