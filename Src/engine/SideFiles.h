// The files an engine writes beside its outputs: the muxers' own (segments, playlists,
// numbered pictures), the two-pass statistics and the vstats file. Each is created like an
// output: as a new file, never through a link, and only inside the folder of an output. A
// file is opened again (a playlist rewritten, an output read back) only when this job
// created it and nobody has changed it since.
#pragma once

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "binding/LocalFiles.h"

struct AVFormatContext;
struct AVIOContext;
struct AVDictionary;

class TSideFiles {
 public:
  TSideFiles() = default;
  ~TSideFiles();
  TSideFiles(const TSideFiles&) = delete;
  TSideFiles& operator=(const TSideFiles&) = delete;

  // The folder of a local output takes side files from now on. An output the engine writes
  // itself (Identity known) is held open in the temporary Temporary beside it: a muxer that
  // reads its output back by Path reads that. 0, else the errno value.
  int AddOutput(const std::string& Path, const TFileIdentity& Identity,
                const std::string& Temporary);
  // Every file the muxer of Context (and the muxers it nests) opens goes through here.
  static void Attach(AVFormatContext* Context);

  // Pass 1: creates the log as a new file beside the output. nullptr with Path (the name
  // as placed) and Reason set when it cannot be.
  FILE* CreateTwoPassLog(const std::string& Name, std::string& Path, std::string& Reason);
  // Pass 2: reads the whole log beside the output; it is removed when the job completes.
  // False with Path and Reason set when it cannot be read.
  bool ReadTwoPassLog(const std::string& Name, std::string& Path, std::string& Text,
                      std::string& Reason);
  // The vstats file, created as a new file beside the output; as CreateTwoPassLog.
  FILE* CreateStatistics(const std::string& Name, std::string& Path, std::string& Reason);

  // The job has completed: the logs read for pass 2 have served and go; those written in
  // pass 1 stay for the second pass.
  void JobCompleted();
  // Ends the job's side files: a pass-1 log of a job that did not complete is removed
  // (pass 2 must not take it), descriptors are closed, folders and files forgotten.
  void Release();

  // Why the last file a muxer asked for was refused ("'/x/clip0.ts': File exists"); empty
  // when none was. The libraries only pass on an error code.
  const std::string& LastRefusal() const { return lastRefusal_; }

  // The muxer callbacks (AVFormatContext::io_open, io_close2).
  int OpenForMuxer(AVFormatContext* Context, AVIOContext** Stream, const char* Url, int Flags,
                   AVDictionary** Options);
  int CloseForMuxer(AVIOContext* Stream);

 private:
  struct TFolder {
    std::string Path;
    int Descriptor;
  };
  struct TCreatedFile {
    std::size_t Folder;
    std::string Name;
    // Taken when the file was last closed (or reserved): any change since shows.
    TFileIdentity Identity;
    int OpenCount;
  };
  struct TOpenStream {
    int Descriptor;
    std::size_t File;  // index into files_, or kNotCreated for a file read back
  };
  struct TTwoPassLog {
    std::size_t Folder;
    std::string Name;
    int Descriptor;  // held, so that the name can be checked to be still this file
    bool Written;
  };
  struct TPlace {
    std::size_t Folder = 0;
    std::string Name;
  };
  static constexpr std::size_t kNotCreated = static_cast<std::size_t>(-1);

  // The output folder and the name in it that Path stands for: a name without a folder
  // part goes into the first output's folder, one with a folder part must lie in an
  // output's folder. False with Reason set otherwise.
  bool Locate(const std::string& Path, std::size_t& Folder, std::string& Name,
              std::string& Reason) const;
  std::string PathOf(std::size_t Folder, const std::string& Name) const;
  // A new file beside an output: the descriptor, else -1 with Path and Reason set.
  int CreateNew(const std::string& Name, TPlace& Place, std::string& Path, std::string& Reason);
  int OpenWriting(const std::string& Path, std::size_t& File);
  int OpenReading(const std::string& Path);
  int Refuse(const std::string& Path, int ErrorNumber, const std::string& Reason);
  FILE* StreamOf(int Descriptor, const TPlace& Place, std::string& Reason);
  void RemoveLog(const TTwoPassLog& Log) const;

  std::vector<TFolder> folders_;
  std::vector<TCreatedFile> files_;
  std::map<AVIOContext*, std::unique_ptr<TOpenStream>> streams_;
  std::vector<TTwoPassLog> logs_;
  // Output name -> the temporary it is written into.
  std::map<std::string, std::string> temporaries_;
  std::string lastRefusal_;
};

// Why the output muxer would write files that cannot be created safely (it opens them past
// the engine's callbacks, renames or removes them); empty when it would not. Local says
// whether the output is a local file.
std::string UnsafeMuxerReason(const AVFormatContext* Output, bool Local);
