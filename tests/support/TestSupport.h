// Helpers every test uses: the media libraries bound from the build's LibAV folder, and
// temporary folders that clean up after themselves.
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
