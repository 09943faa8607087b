// The libraries explain some failures only in their log ("Picture size 65535x65535 is
// invalid") while the code they return names another condition. The log callback records
// the last error line of each thread; a caller that wants the explanation of one call opens
// a scope before it and reads the line after it.
#pragma once

#include <cstdarg>
#include <string>

// Called by the log callback for every line at error level or worse.
void RecordLibraryErrorLine(const char* format, va_list arguments);

// Forgets the thread's recorded line at its start and its end, so that a line never
// explains a call made outside it.
class TLibraryErrorScope {
 public:
  TLibraryErrorScope();
  ~TLibraryErrorScope();
  TLibraryErrorScope(const TLibraryErrorScope&) = delete;
  TLibraryErrorScope& operator=(const TLibraryErrorScope&) = delete;
  // The last error line the libraries logged on this thread within the scope; empty: none.
  std::string Line() const;
};
