#include "frontend/OutputNaming.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

std::string FileNameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The folder or one of its parents is a link whose target is missing: creating it would
// answer "File exists", which says nothing of the link.
std::string DanglingLinkOnWay(const std::string& folder) {
  namespace fs = std::filesystem;
  std::error_code unknown;
  for (fs::path at = fs::path(folder).lexically_normal(); !at.empty() && at != at.root_path();
       at = at.parent_path()) {
    if (at.filename().empty()) continue;
    const fs::file_status itself = fs::symlink_status(at, unknown);
    if (fs::exists(fs::status(at, unknown))) return {};
    if (!fs::is_symlink(itself)) continue;
    const fs::path target = fs::read_symlink(at, unknown);
    return "'" + at.string() + "' is a link to '" + target.string() +
           "', which does not exist: " + SystemReason(ENOENT);
  }
  return {};
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

TPlannedOutput PlanOutputName(const std::string& folder, const std::string& base,
                              const std::string& extension, const TTakenOutputs& taken) {
  TPlannedOutput plan;
  plan.Base = base;
  // A folder of a million outputs of one name is not a case to wait for.
  constexpr int kLastCounter = 1000000;
  for (int counter = 0; counter <= kLastCounter; ++counter) {
    const std::string name = OutputCandidateName(base, counter, extension);
    plan.Name = name.substr(0, name.size() - extension.size());
    plan.Path = folder + name;
    if (taken.count(plan.Path) != 0) continue;
    struct stat info {};
    if (::lstat(plan.Path.c_str(), &info) == 0) continue;
    if (errno == ENOENT) return plan;
    plan.Error = "Could not open '" + plan.Path + "': " + SystemReason(errno);
    return plan;
  }
  plan.Error = "Could not open '" + plan.Path + "': " + SystemReason(EEXIST);
  return plan;
}

std::string PrepareOutputFolder(const std::string& folder) {
  // Made as a local folder, an address would become folders named after its parts.
  if (IsUrl(folder)) return "it is an address, not a folder on this computer";
  if (std::string dangling = DanglingLinkOnWay(folder); !dangling.empty()) return dangling;
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    // A file in the folder's place (or a parent's) answers "File exists" here.
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode)) return SystemReason(ENOTDIR);
    return error.message();
  }
  // What creating an output needs; a read-only file system also answers here.
  if (::access(folder.c_str(), W_OK | X_OK) != 0) return SystemReason(errno);
  return {};
}
