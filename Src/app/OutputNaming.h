// How an input file names its output: the base name, the extension and the first free
// name in the output folder. Plain C++: both front ends use it.
#pragma once

#include <set>
#include <string>

// The file name without its folder and extension; the extension starts at the last "."
// of the name.
std::string FileBaseName(const std::string& path);
// The extension without its dot ("" when the name has no "."), as written.
std::string FileExtension(const std::string& path);

// Output paths already given to earlier files of the same list or run. They count as
// taken like files on disk, so two inputs with the same base name never share an output.
using TTakenOutputs = std::set<std::string>;

// base, else base(1), base(2), ... : the first name whose path folder + name + extension
// neither exists nor is in taken. folder is used as written (it ends with "/");
// extension includes its dot.
std::string ChooseOutputName(const std::string& folder, const std::string& base,
                             const std::string& extension, const TTakenOutputs& taken);
