// Small helpers shared by the engine, the component and the application.
#pragma once

#include <cstdint>
#include <string>

extern "C" {
#include <libavutil/rational.h>
}

// Cuts the text before the first separator off source into head. With remove set, source
// keeps only what follows the separator (all of it is used up when there is none).
void SplitFirst(std::string& source, const std::string& separator, bool remove, std::string& head);

// Size of the file in bytes, -1 when it does not exist or cannot be read.
std::int64_t FileSizeOf(const std::string& path);

// a limited to [amin, amax].
int ClipInt(int a, int amin, int amax);

// 1, -1 or 0 by the sign of a - b.
int CompareRationals(AVRational a, AVRational b);

double RationalToDouble(AVRational a);

// b - c, reduced.
AVRational SubtractRationals(AVRational b, AVRational c);

// The nearest rational to d whose terms do not exceed max.
AVRational RationalFromDouble(double d, int max);

// printf-style formatting into a string.
std::string StringFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The folder that holds the running executable, with a trailing "/".
std::string ExecutableFolder();
