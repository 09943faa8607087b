#include "engine/OutputPlacement.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <utility>

#include "engine/ProcessState.h"

namespace {

constexpr char kMark[] = ".tovrena-";
constexpr char kEnding[] = ".part";
constexpr int kLastCounter = 1000000;

// A temporary the signal handler may remove at any moment. Nodes are only ever prepended,
// fully built before they are published, reused once free and live until the program ends.
enum : int { kFree = 0, kFilling = 1, kLive = 2 };

}  // namespace

struct TTemporaryNode {
  std::atomic<int> State{kFree};
  int Folder = -1;
  char Name[NAME_MAX + 1] = {};
  TTemporaryNode* Next = nullptr;
};

namespace {

static_assert(std::atomic<int>::is_always_lock_free);

TTemporaryNode* ClaimNode(int folder, const std::string& name) {
  TTemporaryNode* node = TemporaryOutputNodes().load();
  for (; node; node = node->Next) {
    int expected = kFree;
    if (node->State.compare_exchange_strong(expected, kFilling)) break;
  }
  const bool fresh = node == nullptr;
  if (fresh) {
    node = new TTemporaryNode;
    node->State.store(kFilling);
  }
  // The placement's own descriptor: it is closed only after the node is given back.
  node->Folder = folder;
  std::snprintf(node->Name, sizeof node->Name, "%s", name.c_str());
  node->State.store(kLive);
  if (fresh) {
    TTemporaryNode* head = TemporaryOutputNodes().load();
    do node->Next = head;
    while (!TemporaryOutputNodes().compare_exchange_weak(head, node));
  }
  return node;
}

void ReleaseNode(TTemporaryNode* node) {
  if (!node) return;
  node->State.store(kFilling);
  node->Folder = -1;
  node->State.store(kFree);
}

// The machine's name as a temporary carries it: letters, digits and "_" only, so that the
// name reads back unambiguously; runs on other machines sharing the folder are told apart.
const std::string& HostMark() {
  static const std::string mark = [] {
    char host[HOST_NAME_MAX + 1] = {};
    if (::gethostname(host, sizeof host - 1) != 0) host[0] = 0;
    std::string text;
    for (const char* c = host; *c && text.size() < 32; ++c) {
      const bool plain =
          (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9');
      text += plain ? *c : '_';
    }
    return text.empty() ? std::string("host") : text;
  }();
  return mark;
}

bool AllDigits(const std::string& text) {
  if (text.empty() || text.size() > 18) return false;
  for (const char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

std::pair<std::string, std::string> SplitFolder(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {"", path};
  return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

// The name's part before its extension ("clip" of "clip.mp4") and the extension with its dot.
std::pair<std::string, std::string> SplitExtension(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return {name, ""};
  return {name.substr(0, dot), name.substr(dot)};
}

bool StandsFor(int folder, const std::string& name, const TFileIdentity& identity) {
  struct stat info {};
  return ::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
         S_ISREG(info.st_mode) && info.st_dev == identity.Device && info.st_ino == identity.Inode;
}

// Moves From to To in Folder unless To exists: 0, else the errno value (EEXIST when taken).
int MoveWithoutReplacing(int folder, const char* from, const char* to) {
  if (::renameat2(folder, from, folder, to, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return errno;
  // File systems without the flag (some network shares): a hard link is refused as well
  // when the name exists, and the temporary's name goes afterwards.
  if (::linkat(folder, from, folder, to, 0) == 0) {
    ::unlinkat(folder, from, 0);
    return 0;
  }
  if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP && errno != EMLINK) return errno;
  // Nor hard links: the name is taken by creating it exclusively, then the file moved
  // over that empty file of its own.
  const int taken =
      ::openat(folder, to, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (taken < 0) return errno;
  ::close(taken);
  if (::renameat(folder, from, folder, to) == 0) return 0;
  const int error = errno;
  ::unlinkat(folder, to, 0);
  return error;
}

}  // namespace

std::string TemporaryOutputName(const std::string& Name, unsigned long Number) {
  const std::string tail = std::string(kMark) + HostMark() + "-" + std::to_string(::getpid()) +
                           "-" + std::to_string(Number) + kEnding;
  std::string name = Name;
  if (1 + name.size() + tail.size() > NAME_MAX) {
    std::size_t length = NAME_MAX - 1 - tail.size();
    while (length > 0 && (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80) --length;
    name.resize(length);
  }
  return "." + name + tail;
}

bool ParseTemporaryOutputName(const std::string& Name, std::string& Host, long& Pid) {
  const std::size_t ending = sizeof kEnding - 1;
  if (Name.size() < 1 + ending || Name[0] != '.' ||
      Name.compare(Name.size() - ending, ending, kEnding) != 0)
    return false;
  const std::size_t mark = Name.rfind(kMark);
  if (mark == std::string::npos || mark == 0) return false;
  // host-pid-number
  const std::string rest =
      Name.substr(mark + sizeof kMark - 1, Name.size() - ending - mark - (sizeof kMark - 1));
  const std::size_t last = rest.rfind('-');
  if (last == std::string::npos || last == 0) return false;
  const std::size_t middle = rest.rfind('-', last - 1);
  if (middle == std::string::npos || middle == 0) return false;
  const std::string pid = rest.substr(middle + 1, last - middle - 1);
  if (!AllDigits(pid) || !AllDigits(rest.substr(last + 1))) return false;
  Host = rest.substr(0, middle);
  Pid = std::stol(pid);
  return Pid > 0;
}

TOutputPlacement::~TOutputPlacement() {
  if (!published_) Discard();
  Close();
}

void TOutputPlacement::Close() {
  ReleaseNode(node_);
  node_ = nullptr;
  if (held_ >= 0) ::close(held_);
  if (folder_ >= 0) ::close(folder_);
  held_ = folder_ = -1;
}

int TOutputPlacement::Create(const std::string& FinalPath, const std::string& Base) {
  Close();
  published_ = false;
  finalPath_ = FinalPath;
  const auto [folder, name] = SplitFolder(FinalPath);
  folderPath_ = folder;
  const auto [stem, extension] = SplitExtension(name);
  base_ = Base.empty() ? stem : Base;
  extension_ = extension;
  folder_ = ::open(folder.empty() ? "." : folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (folder_ < 0) return -errno;
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporaryName_ = TemporaryOutputName(name, NextTemporaryNumber());
    // Published for the signal handler before the file exists: it may then find no file.
    node_ = ClaimNode(folder_, temporaryName_);
    const int descriptor =
        ::openat(folder_, temporaryName_.c_str(),
                 O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
    if (descriptor < 0) {
      const int error = errno;
      ReleaseNode(node_);
      node_ = nullptr;
      if (error == EEXIST) continue;
      temporaryName_.clear();
      return -error;
    }
    temporaryPath_ = folderPath_ + temporaryName_;
    identity_ = IdentityOf(descriptor);
    held_ = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
    // Other runs leave a locked temporary alone whatever its name says.
    if (held_ >= 0) ::flock(held_, LOCK_EX | LOCK_NB);
    return descriptor;
  }
  temporaryName_.clear();
  return -EEXIST;
}

int TOutputPlacement::Publish() {
  if (published_) return 0;
  if (folder_ < 0 || temporaryName_.empty()) return EBADF;
  // Someone may have put another file at the temporary's name: that one is not moved.
  if (!StandsFor(folder_, temporaryName_, identity_)) return ENOENT;
  const std::string asked = SplitFolder(finalPath_).second;
  for (int counter = 0; counter <= kLastCounter; ++counter) {
    // The name asked for first, whatever counter it carries; then base(1), base(2), ...
    const std::string name = counter == 0 ? asked : OutputCandidateName(base_, counter, extension_);
    if (counter > 0 && name == asked) continue;
    const int error = MoveWithoutReplacing(folder_, temporaryName_.c_str(), name.c_str());
    if (error == 0) {
      finalPath_ = folderPath_ + name;
      published_ = true;
      ReleaseNode(node_);
      node_ = nullptr;
      return 0;
    }
    if (error != EEXIST) return error;
  }
  return EEXIST;
}

void TOutputPlacement::Discard() {
  if (published_ || folder_ < 0 || temporaryName_.empty()) return;
  if (StandsFor(folder_, temporaryName_, identity_)) ::unlinkat(folder_, temporaryName_.c_str(), 0);
  ReleaseNode(node_);
  node_ = nullptr;
  temporaryName_.clear();
}

int RemoveStaleTemporaries(const std::string& Folder) {
  const int folder =
      ::open(Folder.empty() ? "." : Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return 0;
  const int listing = ::fcntl(folder, F_DUPFD_CLOEXEC, 0);
  DIR* entries = listing < 0 ? nullptr : ::fdopendir(listing);
  if (!entries) {
    if (listing >= 0) ::close(listing);
    ::close(folder);
    return 0;
  }
  int removed = 0;
  const uid_t user = ::geteuid();
  while (const dirent* entry = ::readdir(entries)) {
    std::string host;
    long pid = 0;
    const std::string name = entry->d_name;
    if (!ParseTemporaryOutputName(name, host, pid) || host != HostMark()) continue;
    // A live process may be writing it, ours included.
    if (pid == ::getpid() || ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    const int descriptor =
        ::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0) continue;
    struct stat info {};
    if (::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == user &&
        ::flock(descriptor, LOCK_EX | LOCK_NB) == 0 &&
        StandsFor(folder, name, IdentityOf(descriptor)) && ::unlinkat(folder, name.c_str(), 0) == 0)
      ++removed;
    ::close(descriptor);
  }
  ::closedir(entries);
  ::close(folder);
  return removed;
}

void RemoveStaleTemporariesOnce(const std::string& Folder) {
  struct stat info {};
  if (::stat(Folder.empty() ? "." : Folder.c_str(), &info) != 0) return;
  if (!FirstVisitOfFolder(info.st_dev, info.st_ino)) return;
  RemoveStaleTemporaries(Folder);
}

void RemoveTemporaryOutputs() {
  for (TTemporaryNode* node = TemporaryOutputNodes().load(); node; node = node->Next)
    if (node->State.load() == kLive) ::unlinkat(node->Folder, node->Name, 0);
}
