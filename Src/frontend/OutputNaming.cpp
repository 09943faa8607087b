#include "frontend/OutputNaming.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

// The longest file name the file systems in use take, in bytes.
constexpr std::size_t kNameMax = NAME_MAX;

std::string FileNameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// base cut so that base + suffix fits a file name; never inside a UTF-8 sequence.
std::string FittingBase(const std::string& base, const std::string& suffix) {
  if (base.size() + suffix.size() <= kNameMax || suffix.size() >= kNameMax) return base;
  std::size_t length = kNameMax - suffix.size();
  while (length > 0 && (static_cast<unsigned char>(base[length]) & 0xC0) == 0x80) --length;
  return base.substr(0, length);
}

// A list the signal handler can walk at any moment: nodes are only ever prepended, fully
// built before they are published, and live until the program ends.
struct TReservedNode {
  char* Path;
  TFileIdentity Identity;
  TReservedNode* Next;
};
std::atomic<TReservedNode*> gReserved{nullptr};
static_assert(std::atomic<TReservedNode*>::is_always_lock_free);

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

TOutputReservation ReserveOutputName(const std::string& folder, const std::string& base,
                                     const std::string& extension, const TTakenOutputs& taken) {
  TOutputReservation reservation;
  // A folder of a million outputs of one name is not a case to wait for.
  constexpr int kLastCounter = 1000000;
  for (int counter = 0; counter <= kLastCounter; ++counter) {
    const std::string suffix = counter == 0 ? std::string() : "(" + std::to_string(counter) + ")";
    reservation.Name = FittingBase(base, suffix + extension) + suffix;
    reservation.Path = folder + reservation.Name + extension;
    if (taken.count(reservation.Path) != 0) continue;
    const int error = CreateExclusive(reservation.Path, reservation.Identity);
    if (error == 0) return reservation;
    if (error != EEXIST) {
      reservation.Error = "Could not open '" + reservation.Path + "': " + SystemReason(error);
      return reservation;
    }
  }
  reservation.Error = "Could not open '" + reservation.Path + "': " + SystemReason(EEXIST);
  return reservation;
}

void ReleaseOutputName(const TOutputReservation& reservation) {
  RemoveEmptyReservation(reservation.Path, reservation.Identity);
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

void RegisterReservedOutput(const TOutputReservation& reservation) {
  char* path = ::strdup(reservation.Path.c_str());
  if (!path) return;
  auto* node = new TReservedNode{path, reservation.Identity, gReserved.load()};
  // Runs are set up on one thread; the handler only reads.
  gReserved.store(node);
}

void RemoveEmptyReservedOutputs() {
  for (TReservedNode* node = gReserved.load(); node; node = node->Next) {
    struct stat info {};
    if (::lstat(node->Path, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size != 0) continue;
    const TFileIdentity& identity = node->Identity;
    if (info.st_dev == identity.Device && info.st_ino == identity.Inode &&
        info.st_ctim.tv_sec == identity.ChangeSeconds &&
        info.st_ctim.tv_nsec == identity.ChangeNanoseconds)
      ::unlink(node->Path);
  }
}
