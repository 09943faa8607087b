#include "engine/DescriptorIo.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "binding/MediaPointers.h"

int ReadDescriptor(void* Opaque, std::uint8_t* Buffer, int Size) {
  const int descriptor = *static_cast<int*>(Opaque);
  for (;;) {
    const ssize_t result = ::read(descriptor, Buffer, static_cast<std::size_t>(Size));
    if (result < 0 && errno == EINTR) continue;
    if (result < 0) return AVERROR(errno);
    return result == 0 ? AVERROR_EOF : static_cast<int>(result);
  }
}

int WriteDescriptor(void* Opaque, std::uint8_t* Buffer, int Size) {
  const int descriptor = *static_cast<int*>(Opaque);
  int written = 0;
  while (written < Size) {
    const ssize_t result =
        ::write(descriptor, Buffer + written, static_cast<std::size_t>(Size - written));
    if (result < 0) {
      if (errno == EINTR) continue;
      return AVERROR(errno);
    }
    written += static_cast<int>(result);
  }
  return written;
}

std::int64_t SeekDescriptor(void* Opaque, std::int64_t Offset, int Whence) {
  const int descriptor = *static_cast<int*>(Opaque);
  if (Whence & AVSEEK_SIZE) {
    struct stat info {};
    return ::fstat(descriptor, &info) == 0 ? info.st_size : AVERROR(errno);
  }
  const off_t position = ::lseek(descriptor, Offset, Whence & ~AVSEEK_FORCE);
  return position < 0 ? AVERROR(errno) : position;
}

AVIOContext* NewDescriptorByteStream(int* Descriptor, bool Writing) {
  constexpr int kBufferSize = 64 * 1024;
  auto* buffer = static_cast<unsigned char*>(lib::av_malloc(kBufferSize));
  if (!buffer) return nullptr;
  AVIOContext* context =
      lib::avio_alloc_context(buffer, kBufferSize, Writing ? 1 : 0, Descriptor, ReadDescriptor,
                              Writing ? WriteDescriptor : nullptr, SeekDescriptor);
  if (!context) lib::av_free(buffer);
  return context;
}
