// Run-time binding of one shared library: its file name, handle, resolved entries and
// the failure text of the last attempt. Every library the system calls is bound this way.
#pragma once

#include <string>
#include <vector>

// The entry pointers of every bound library live in namespace lib and carry the type of
// the header's own declaration, so each call through them is checked by the compiler.
#define TOVRENA_DECLARE_ENTRY(name) extern decltype(&::name) name;
#define TOVRENA_DEFINE_ENTRY(name) decltype(&::name) name = nullptr;
#define TOVRENA_LIST_ENTRY(name) \
  TLibraryEntry{                 \
      #name, [](void* address) { lib::name = reinterpret_cast<decltype(lib::name)>(address); }},

struct TLibraryEntry {
  const char* name;
  void (*assign)(void* address);
};

// Base name ("avcodec") and major version; a major of -1 means there is no versioned name.
struct TLibraryName {
  std::string base;
  int major = -1;

  // "libavcodec.so.59" when versioned, "libavcodec.so" otherwise.
  std::string FileName(bool versioned) const;
};

class TLibraryBinding {
 public:
  TLibraryBinding(TLibraryName name, std::vector<TLibraryName> dependencies,
                  std::vector<TLibraryEntry> entries);
  TLibraryBinding(const TLibraryBinding&) = delete;
  TLibraryBinding& operator=(const TLibraryBinding&) = delete;

  // Loads the file from folder (empty: the system's search) and resolves every entry in
  // table order. On failure returns false, writes the failure text into error and keeps it
  // as ErrorText(); a library whose entries are all in place returns true at once.
  bool Load(std::string& error, const std::string& folder, bool versioned);
  void Free();

  bool EntriesLoaded() const { return entriesLoaded_; }
  bool HandleLoaded() const { return handle_ != nullptr; }
  const std::string& ErrorText() const { return errorText_; }
  std::string FileName() const { return name_.FileName(versioned_); }

 private:
  TLibraryName name_;
  std::vector<TLibraryName> dependencies_;
  std::vector<TLibraryEntry> entries_;
  void* handle_ = nullptr;
  bool versioned_ = true;
  bool entriesLoaded_ = false;
  std::string errorText_;
};

// The operations every library unit offers, made from the unit's accessor of its binding;
// a unit states only what is its own: the library's name, dependencies and entries.
template <TLibraryBinding& (*Binding)()>
bool LoadBinding(std::string& error, const std::string& folder, bool versioned) {
  return Binding().Load(error, folder, versioned);
}

template <TLibraryBinding& (*Binding)()>
void FreeBinding() {
  Binding().Free();
}

template <TLibraryBinding& (*Binding)()>
bool BindingLoaded() {
  return Binding().EntriesLoaded();
}

// Loads fileName from folder by its absolute path; the named dependencies found in the
// folder are loaded first so that the library's own references resolve to them. Neither the
// current directory nor "PATH" is touched. An empty folder means the system's search.
// Returns the handle, nullptr on failure (see LastLoadError()).
void* LoadLibraryFrom(const std::string& folder, const std::string& fileName,
                      const std::vector<std::string>& dependencies = {});

// The loader's message for the last failed load or lookup on this thread.
std::string LastLoadError();
