#include "binding/LibraryBinding.h"

#include <dlfcn.h>

#include <filesystem>
#include <stdexcept>
#include <utility>

namespace {

thread_local std::string lastLoadError;

#if defined(__SANITIZE_ADDRESS__)
// LeakSanitizer looks for leaks at exit: once a library is unmapped, what its globals still
// point to looks leaked. Sanitizer builds keep libraries mapped after they are freed.
constexpr int kOpenFlags = RTLD_NOW | RTLD_GLOBAL | RTLD_NODELETE;
#else
constexpr int kOpenFlags = RTLD_NOW | RTLD_GLOBAL;
#endif

void RememberLoadError() {
  const char* text = dlerror();
  lastLoadError = text ? text : "unknown error";
}

std::string JoinPath(const std::string& folder, const std::string& fileName) {
  if (!folder.empty() && folder.back() == '/') return folder + fileName;
  return folder + "/" + fileName;
}

}  // namespace

std::string TLibraryName::FileName(bool versioned) const {
  std::string fileName = "lib" + base + ".so";
  if (versioned && major >= 0) fileName += "." + std::to_string(major);
  return fileName;
}

std::string LastLoadError() {
  return lastLoadError;
}

void* LoadLibraryFrom(const std::string& folder, const std::string& fileName,
                      const std::vector<std::string>& dependencies) {
  if (folder.empty()) {
    void* handle = dlopen(fileName.c_str(), kOpenFlags);
    if (!handle) RememberLoadError();
    return handle;
  }
  // By absolute path, without entering the folder or touching PATH: both belong to the whole
  // process, where other jobs open files by relative names, and neither guides the dynamic
  // loader here. The folder is searched first for the named dependencies, which are loaded
  // from it before the library; other dependencies follow the library's own RUNPATH.
  std::error_code ignored;
  const std::string absoluteFolder = std::filesystem::absolute(folder, ignored).string();

  // The dependencies stay loaded through the library's own references to them; our
  // handles are only needed until the library itself is in.
  std::vector<void*> preloaded;
  for (const std::string& dependency : dependencies) {
    const std::string path = JoinPath(absoluteFolder, dependency);
    if (!std::filesystem::exists(path, ignored)) continue;
    if (void* handle = dlopen(path.c_str(), kOpenFlags)) preloaded.push_back(handle);
  }
  void* handle = dlopen(JoinPath(absoluteFolder, fileName).c_str(), kOpenFlags);
  if (!handle) RememberLoadError();
  for (void* dependency : preloaded) dlclose(dependency);
  return handle;
}

TLibraryBinding::TLibraryBinding(TLibraryName name, std::vector<TLibraryName> dependencies,
                                 std::vector<TLibraryEntry> entries)
    : name_(std::move(name)),
      dependencies_(std::move(dependencies)),
      entries_(std::move(entries)) {}

bool TLibraryBinding::Load(std::string& error, const std::string& folder, bool versioned) {
  versioned_ = versioned;
  if (!handle_) {
    std::vector<std::string> dependencyFiles;
    for (const TLibraryName& dependency : dependencies_)
      dependencyFiles.push_back(dependency.FileName(versioned));
    handle_ = LoadLibraryFrom(folder, FileName(), dependencyFiles);
    if (!handle_) {
      errorText_ = "Load libraray " + FileName() + " error: " + LastLoadError();
      error = errorText_;
      return false;
    }
  }
  if (!entriesLoaded_) {
    try {
      for (const TLibraryEntry& entry : entries_) {
        dlerror();
        void* address = dlsym(handle_, entry.name);
        if (!address) {
          RememberLoadError();
          throw std::runtime_error(std::string("Load function ") + entry.name + "@" + FileName() +
                                   " error: " + LastLoadError());
        }
        entry.assign(address);
      }
    } catch (const std::exception& failure) {
      errorText_ = failure.what();
      error = errorText_;
      return false;
    }
    entriesLoaded_ = true;
  }
  return true;
}

void TLibraryBinding::Free() {
  if (!handle_) return;
  dlclose(handle_);
  handle_ = nullptr;
  entriesLoaded_ = false;
}
