#include "binding/MyUtils.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <filesystem>

#include "binding/AVUtilHlpr.h"

namespace {

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::string TrimLeft(std::string_view text, std::string_view bytes) {
  const std::size_t first = text.find_first_not_of(bytes);
  return first == std::string_view::npos ? std::string() : std::string(text.substr(first));
}

std::string TrimRight(std::string_view text, std::string_view bytes) {
  const std::size_t last = text.find_last_not_of(bytes);
  return last == std::string_view::npos ? std::string() : std::string(text.substr(0, last + 1));
}

std::string Trim(std::string_view text, std::string_view bytes) {
  const std::size_t first = text.find_first_not_of(bytes);
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(bytes) - first + 1));
}

std::string LowerCase(std::string text) {
  for (char& c : text) c = LowerAscii(c);
  return text;
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return LowerAscii(x) == LowerAscii(y);
         });
}

void SplitFirst(std::string& source, const std::string& separator, bool remove, std::string& head) {
  const std::size_t at = separator.empty() ? std::string::npos : source.find(separator);
  if (at == std::string::npos) {
    head = source;
    if (remove) source.clear();
    return;
  }
  head = source.substr(0, at);
  if (remove) source.erase(0, at + separator.size());
}

std::int64_t FileSizeOf(const std::string& path) {
  std::error_code ignored;
  const std::filesystem::path expanded = std::filesystem::absolute(path, ignored);
  struct stat info {};
  if (expanded.empty() || stat(expanded.c_str(), &info) != 0) return -1;
  return info.st_size;
}

int ClipInt(int a, int amin, int amax) {
  if (a < amin) return amin;
  return a < amax ? a : amax;
}

double RationalToDouble(AVRational a) {
  return a.num / static_cast<double>(a.den);
}

AVRational RationalFromDouble(double d, int max) {
  return lib::av_d2q(d, max);
}

std::string StringFormat(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list measure;
  va_copy(measure, args);
  const int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
  if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, args);
  va_end(args);
  return text;
}

std::string WithClosingPeriod(const std::string& text) {
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') return text + ".";
  return text;
}

std::string ExecutableFolder() {
  std::error_code ignored;
  const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", ignored);
  if (executable.empty()) return "./";
  std::string folder = executable.parent_path().string();
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}
