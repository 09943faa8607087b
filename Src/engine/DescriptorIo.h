// The byte-stream callbacks (avio_alloc_context) of a file the engine opened itself: the
// opaque pointer points at the file's descriptor. Failures come back as AVERROR(errno).
#pragma once

#include <cstdint>

struct AVIOContext;

int ReadDescriptor(void* Opaque, std::uint8_t* Buffer, int Size);
int WriteDescriptor(void* Opaque, std::uint8_t* Buffer, int Size);
std::int64_t SeekDescriptor(void* Opaque, std::int64_t Offset, int Whence);

// A byte stream over *Descriptor with a buffer of its own (freed with the context by
// avio_context_free after av_freep of its buffer); null when memory ran out, with nothing
// left allocated. The descriptor stays the caller's.
AVIOContext* NewDescriptorByteStream(int* Descriptor, bool Writing);
