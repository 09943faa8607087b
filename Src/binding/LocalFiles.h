// Names and files on the local file system: when a name is a URL, how an output file is
// created without taking anyone else's, and the system's reason for a failure. Plain POSIX:
// every layer may use it.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

// Which file a name stood for when it was created: a later look can check that it still
// finds that very file and not one put in its place. The change time tells a new file from
// an old one whose inode number the system has given out again.
struct TFileIdentity {
  dev_t Device = 0;
  ino_t Inode = 0;
  std::int64_t ChangeSeconds = 0;
  std::int64_t ChangeNanoseconds = 0;
  bool Known() const { return Inode != 0; }
  bool operator==(const TFileIdentity&) const = default;
  // The same file whatever happened to it since: only certain while the caller holds it
  // open, so that its inode number cannot be given to another file.
  bool SameFileAs(const TFileIdentity& other) const {
    return Device == other.Device && Inode == other.Inode;
  }
};

// Only a name with a scheme and "://" is a URL; everything else is a local file, whatever
// it contains (":" included).
bool IsUrl(const std::string& name);
// The name as the media libraries must be given it so that they open that local file.
std::string LibraryUrlOf(const std::string& name);

// The system's message for an errno value.
std::string SystemReason(int errorNumber);

// An output's name: base, else base(counter), cut (never inside a UTF-8 sequence) so that
// with the extension (its dot included) it fits a file name.
std::string OutputCandidateName(const std::string& base, int counter, const std::string& extension);

// Creates path as a new empty file, failing when anything (a link included) has that name.
// Returns 0 with identity set, else the errno value.
int CreateExclusive(const std::string& path, TFileIdentity& identity);
// The identity of an open file; unknown when it cannot be read.
TFileIdentity IdentityOf(int descriptor);
// True when the name (not followed when it is a link) stands for the same regular file
// (SameFileAs).
bool NameStandsFor(const std::string& path, const TFileIdentity& identity);
