// The byte-stream callbacks (avio_alloc_context) of a file the engine opened itself: the
// opaque pointer points at the file's descriptor. Failures come back as AVERROR(errno).
#pragma once

#include <cstdint>

int ReadDescriptor(void* Opaque, std::uint8_t* Buffer, int Size);
int WriteDescriptor(void* Opaque, std::uint8_t* Buffer, int Size);
std::int64_t SeekDescriptor(void* Opaque, std::int64_t Offset, int Whence);
