// The byte stream of an output file on the local file system. The engine opens the file
// itself, so that it writes into exactly the file meant (the one a front end reserved, never
// one a link leads to) and every failure carries the system's reason.
#pragma once

#include <memory>
#include <string>

#include "binding/LocalFiles.h"

struct AVIOContext;

class TOutputByteStream {
 public:
  // A reserved file (identity known) is opened without following a link at its name and
  // without truncating, and only while it is still the file reserved; any other name is
  // created or truncated. nullptr with errorNumber set when the file cannot be used.
  static std::unique_ptr<TOutputByteStream> Open(const std::string& path,
                                                 const TFileIdentity& reserved, int& errorNumber);
  ~TOutputByteStream();
  TOutputByteStream(const TOutputByteStream&) = delete;
  TOutputByteStream& operator=(const TOutputByteStream&) = delete;

  AVIOContext* Context() const { return context_; }
  const TFileIdentity& Identity() const { return identity_; }
  // Writes out what is buffered: 0, else the library error of the first failure
  // (AVERROR(ENOSPC), ...).
  int Flush();
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
