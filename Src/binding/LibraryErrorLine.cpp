#include "binding/LibraryErrorLine.h"

#include <cstdio>

namespace {

thread_local std::string lastErrorLine;

}  // namespace

void RecordLibraryErrorLine(const char* format, va_list arguments) {
  char text[512] = {};
  va_list copy;
  va_copy(copy, arguments);
  std::vsnprintf(text, sizeof text, format, copy);
  va_end(copy);
  std::string line(text);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
    line.pop_back();
  if (!line.empty()) lastErrorLine = std::move(line);
}

TLibraryErrorScope::TLibraryErrorScope() {
  lastErrorLine.clear();
}

TLibraryErrorScope::~TLibraryErrorScope() {
  lastErrorLine.clear();
}

std::string TLibraryErrorScope::Line() const {
  return lastErrorLine;
}
