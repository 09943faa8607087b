#include "OutputNaming.h"

#include <filesystem>
#include <system_error>

namespace {

std::string FileNameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsTaken(const std::string& path, const TTakenOutputs& taken) {
  if (taken.count(path) != 0) return true;
  // A dangling link counts too: writing through it would create a file elsewhere. A path
  // that cannot be checked is left to the output's open, which reports why.
  std::error_code error;
  return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

}  // namespace

std::string FileBaseName(const std::string& path) {
  const std::string name = FileNameOf(path);
  return name.substr(0, name.find_last_of('.'));
}

std::string FileExtension(const std::string& path) {
  const std::string name = FileNameOf(path);
  const std::size_t dot = name.find_last_of('.');
  return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string ChooseOutputName(const std::string& folder, const std::string& base,
                             const std::string& extension, const TTakenOutputs& taken) {
  std::string name = base;
  for (int counter = 1; IsTaken(folder + name + extension, taken); ++counter) {
    name = base + "(" + std::to_string(counter) + ")";
  }
  return name;
}
