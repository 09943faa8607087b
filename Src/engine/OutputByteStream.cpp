#include "engine/OutputByteStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "binding/MediaPointers.h"
#include "engine/DescriptorIo.h"

std::unique_ptr<TOutputByteStream> TOutputByteStream::Adopt(int descriptor, int& errorNumber) {
  std::unique_ptr<TOutputByteStream> stream(new TOutputByteStream(descriptor, nullptr));
  stream->context_ = NewDescriptorByteStream(&stream->descriptor_, true);
  if (!stream->context_) {
    errorNumber = ENOMEM;
    return nullptr;
  }
  return stream;
}

TOutputByteStream::TOutputByteStream(int descriptor, AVIOContext* context)
    : descriptor_(descriptor), context_(context), identity_(IdentityOf(descriptor)) {}

TOutputByteStream::~TOutputByteStream() {
  Close();
}

int TOutputByteStream::Flush() {
  if (!context_) return 0;
  lib::avio_flush(context_);
  return context_->error;
}

std::int64_t TOutputByteStream::Size() const {
  struct stat info {};
  if (descriptor_ < 0 || ::fstat(descriptor_, &info) != 0) return -1;
  return info.st_size;
}

int TOutputByteStream::Close() {
  int result = Flush();
  if (context_) {
    lib::av_freep(&context_->buffer);
    lib::avio_context_free(&context_);
  }
  if (descriptor_ >= 0) {
    // A network file system may only report a full disk when the file is closed.
    if (::close(descriptor_) != 0 && result == 0) result = AVERROR(errno);
    descriptor_ = -1;
  }
  return result;
}

bool FileOpensAsMedia(const std::string& path) {
  AVFormatContext* context = nullptr;
  if (lib::avformat_open_input(&context, LibraryUrlOf(path).c_str(), nullptr, nullptr) < 0)
    return false;
  TInputFormatContextPtr input(context);
  return input->nb_streams > 0;
}
