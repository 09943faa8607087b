// The byte stream of an output file on the local file system. The engine creates the file
// itself (TOutputPlacement), so that it writes into exactly the file meant, never one a link
// leads to, and every failure carries the system's reason.
#pragma once

#include <memory>
#include <string>

#include "binding/LocalFiles.h"

struct AVIOContext;

class TOutputByteStream {
 public:
  // Writes into descriptor, which it then owns. nullptr with errorNumber set (and the
  // descriptor closed) when no stream can be made.
  static std::unique_ptr<TOutputByteStream> Adopt(int descriptor, int& errorNumber);
  ~TOutputByteStream();
  TOutputByteStream(const TOutputByteStream&) = delete;
  TOutputByteStream& operator=(const TOutputByteStream&) = delete;

  AVIOContext* Context() const { return context_; }
  const TFileIdentity& Identity() const { return identity_; }
  // Writes out what is buffered: 0, else the library error of the first failure
  // (AVERROR(ENOSPC), ...).
  int Flush();
  // The file's size now: -1 when it cannot be read (or the file is closed).
  std::int64_t Size() const;
  // Flushes and closes the file: 0, else the first failure. Later calls return 0.
  int Close();

 private:
  TOutputByteStream(int descriptor, AVIOContext* context);
  int descriptor_;
  AVIOContext* context_;
  TFileIdentity identity_;
};

// True when the file opens as media with at least one stream: what a player needs.
bool FileOpensAsMedia(const std::string& path);
