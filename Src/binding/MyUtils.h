// Small helpers shared by the engine, the component and the application.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

extern "C" {
#include <libavutil/rational.h>
}

// Cuts the text before the first separator off source into head. With remove set, source
// keeps only what follows the separator (all of it is used up when there is none).
void SplitFirst(std::string& source, const std::string& separator, bool remove, std::string& head);

// Which bytes trimming removes. Bytes from 0x80 up are never among them: they belong to
// UTF-8 text.
inline constexpr std::string_view kBlanks = " \t";
inline constexpr std::string_view kBlanksAndLineBreaks = " \t\r\n";
inline constexpr std::string_view kWhiteSpace = " \t\n\v\f\r";
inline constexpr std::string_view kControlsAndSpace{
    "\0\x01\x02\x03\x04\x05\x06\x07\x08\t\n\v\f\r\x0e\x0f"
    "\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19\x1a\x1b\x1c\x1d\x1e\x1f ",
    33};

// text without the given bytes at its start, its end, or both.
std::string TrimLeft(std::string_view text, std::string_view bytes = kBlanks);
std::string TrimRight(std::string_view text, std::string_view bytes = kBlanks);
std::string Trim(std::string_view text, std::string_view bytes = kBlanks);

// ASCII letters in lower case; every other byte is left as it is, whatever the locale.
std::string LowerCase(std::string text);

// Equal apart from the case of ASCII letters.
bool SameText(std::string_view a, std::string_view b);

// Size of the file in bytes, -1 when it does not exist or cannot be read.
std::int64_t FileSizeOf(const std::string& path);

// a limited to [amin, amax].
int ClipInt(int a, int amin, int amax);

double RationalToDouble(AVRational a);

// The nearest rational to d whose terms do not exceed max.
AVRational RationalFromDouble(double d, int max);

// An error text as the error boxes show it: a "." is appended when the text is not empty
// and its last character sorts after ".".
std::string WithClosingPeriod(const std::string& text);

// printf-style formatting into a string.
std::string StringFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The folder that holds the running executable, with a trailing "/".
std::string ExecutableFolder();
