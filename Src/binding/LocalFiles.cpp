#include "binding/LocalFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace {

TFileIdentity IdentityOfStat(const struct stat& info) {
  return {info.st_dev, info.st_ino, info.st_ctim.tv_sec, info.st_ctim.tv_nsec};
}

bool IsSchemeCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '-' || c == '.';
}

}  // namespace

bool IsUrl(const std::string& name) {
  const std::size_t separator = name.find("://");
  if (separator == std::string::npos || separator == 0) return false;
  for (std::size_t i = 0; i < separator; ++i)
    if (!IsSchemeCharacter(name[i])) return false;
  return true;
}

std::string LibraryUrlOf(const std::string& name) {
  // The libraries' file protocol takes off exactly one "file:" and opens the rest as it is.
  return IsUrl(name) ? name : "file:" + name;
}

std::string SystemReason(int errorNumber) {
  char buffer[256];
  // The GNU variant: the message may or may not be written into the buffer.
  return strerror_r(errorNumber, buffer, sizeof buffer);
}

std::string OutputCandidateName(const std::string& base, int counter,
                                const std::string& extension) {
  const std::string suffix = counter == 0 ? std::string() : "(" + std::to_string(counter) + ")";
  const std::size_t tail = suffix.size() + extension.size();
  std::string fitting = base;
  if (base.size() + tail > NAME_MAX && tail < NAME_MAX) {
    std::size_t length = NAME_MAX - tail;
    while (length > 0 && (static_cast<unsigned char>(base[length]) & 0xC0) == 0x80) --length;
    fitting = base.substr(0, length);
  }
  return fitting + suffix + extension;
}

int CreateExclusive(const std::string& path, TFileIdentity& identity) {
  // O_EXCL also refuses a link of any kind at the name, dangling or not.
  const int descriptor =
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
  if (descriptor < 0) return errno;
  identity = IdentityOf(descriptor);
  int result = identity.Known() ? 0 : EIO;
  if (::close(descriptor) != 0 && result == 0) result = errno;
  if (result != 0) ::unlink(path.c_str());
  return result;
}

TFileIdentity IdentityOf(int descriptor) {
  struct stat info {};
  if (::fstat(descriptor, &info) != 0) return {};
  return IdentityOfStat(info);
}

bool NameStandsFor(const std::string& path, const TFileIdentity& identity) {
  struct stat info {};
  // Only a regular file is ours to remove: a device or pipe named as the output is not.
  return identity.Known() && ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         IdentityOfStat(info).SameFileAs(identity);
}
