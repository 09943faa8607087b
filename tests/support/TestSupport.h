// Helpers every test uses: the media libraries bound from the build's LibAV folder, and
// temporary folders that clean up after themselves, and a lowered open-file limit.
#pragma once

#include <filesystem>
#include <string>

// The build's LibAV folder.
std::string LibAVFolder();

// Binds the media libraries from LibAVFolder(); fails the calling test when it cannot.
void BindMediaLibrariesForTest();

// A fresh folder under the system's temporary folder, removed with everything in it.
class TTempFolder {
 public:
  TTempFolder();
  ~TTempFolder();
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Writes text into a file (replacing it).
void WriteTextFile(const std::string& path, const std::string& text);

// The whole content of a file; empty when it cannot be read.
std::string ReadTextFile(const std::string& path);

// A small file system of its own (tmpfs) mounted on a fresh folder for the test's life: to
// fill a disk, or to have one that is read-only. Mounting needs root; Mounted() says
// whether it worked, and a test without it skips.
class TTmpfsMount {
 public:
  explicit TTmpfsMount(const std::string& size, bool readOnly = false);
  ~TTmpfsMount();
  TTmpfsMount(const TTmpfsMount&) = delete;
  TTmpfsMount& operator=(const TTmpfsMount&) = delete;

  bool Mounted() const { return mounted_; }
  std::string Path() const { return folder_.Path().string(); }

 private:
  TTempFolder folder_;
  bool mounted_ = false;
};

// An empty read-only file system.
class TReadOnlyMount : public TTmpfsMount {
 public:
  TReadOnlyMount() : TTmpfsMount("64k", true) {}
};

// Lowers this process's soft limit of open files (inherited by the programs it starts) for
// the life of the object.
class TOpenFileLimit {
 public:
  explicit TOpenFileLimit(unsigned long limit);
  ~TOpenFileLimit();
  TOpenFileLimit(const TOpenFileLimit&) = delete;
  TOpenFileLimit& operator=(const TOpenFileLimit&) = delete;
  bool Applied() const { return applied_; }

 private:
  unsigned long saved_ = 0;
  bool applied_ = false;
};

// The highest file descriptor this process has open (-1 for none).
int HighestOpenDescriptor();
