// Where an output file is written and how it gets its name. An output is written into a
// temporary file of its own in the output folder (".clip.mp4.tovrena-<host>-<pid>-<n>.part"),
// so that no half-written file ever stands under an output's name, and moved to its name
// only once it is closed; a name taken meanwhile gives way to the next "(n)". Nothing is
// ever replaced and no link is followed.
#pragma once

#include <string>

#include "binding/LocalFiles.h"

struct TTemporaryNode;

class TOutputPlacement {
 public:
  TOutputPlacement() = default;
  // Removes the temporary when it was never moved to its name.
  ~TOutputPlacement();
  TOutputPlacement(const TOutputPlacement&) = delete;
  TOutputPlacement& operator=(const TOutputPlacement&) = delete;

  // Creates the temporary for FinalPath in its folder. Base is the name without counter and
  // extension that a taken name counts on from ("" takes FinalPath's own). Returns the
  // descriptor to write into (the caller owns it), else -errno.
  int Create(const std::string& FinalPath, const std::string& Base);
  const std::string& TemporaryPath() const { return temporaryPath_; }
  // The name asked for until Publish, then the name the file got.
  const std::string& FinalPath() const { return finalPath_; }
  const TFileIdentity& Identity() const { return identity_; }
  // Created, and neither moved to its name nor discarded yet.
  bool Pending() const { return !published_ && !temporaryName_.empty(); }
  // Moves the temporary to FinalPath, or the first free "(n)" name when it is taken.
  // 0, else the errno value (the temporary then stays, to be discarded).
  int Publish();
  // Removes the temporary while its name still stands for the file written.
  void Discard();

 private:
  int folder_ = -1;  // the output folder, held so that every step happens in that folder
  int held_ = -1;    // the temporary, held: its lock tells other runs it is alive
  std::string folderPath_;
  std::string temporaryName_;
  std::string temporaryPath_;
  std::string finalPath_;
  std::string base_;
  std::string extension_;
  TFileIdentity identity_;
  TTemporaryNode* node_ = nullptr;
  bool published_ = false;
  void Close();
};

// The name of this process's temporaries for an output named Name (cut to fit a name).
std::string TemporaryOutputName(const std::string& Name, unsigned long Number);
// True when Name is the name of a temporary this program writes; Host and Pid are then set.
bool ParseTemporaryOutputName(const std::string& Name, std::string& Host, long& Pid);
// Removes the temporaries in Folder that a run of this user on this machine left when it
// ended without removing them (killed, crashed): only regular files of this user named as
// ours whose process has gone and that no process holds locked. Returns how many it removed.
int RemoveStaleTemporaries(const std::string& Folder);
// As RemoveStaleTemporaries, the first time this process writes into Folder.
void RemoveStaleTemporariesOnce(const std::string& Folder);
// Removes the temporaries being written by this process. Only async-signal-safe calls:
// meant for the handler of a signal that ends the program.
void RemoveTemporaryOutputs();
