// strtok_r is POSIX.
#define _POSIX_C_SOURCE 200809L

#include "myutil.h"

#include <stdlib.h>
#include <string.h>

int my_vsprintf(char* str, const char* format, va_list args) {
  return vsprintf(str, format, args);
}

int my_fprintf(FILE* stream, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int written = vfprintf(stream, format, args);
  va_end(args);
  return written;
}

int my_snprintf(char* str, size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int written = vsnprintf(str, size, format, args);
  va_end(args);
  return written;
}

FILE* my_fopen(const char* path, const char* mode) {
  return fopen(path, mode);
}
long my_ftell(FILE* stream) {
  return ftell(stream);
}
size_t my_fread(void* ptr, size_t size, size_t count, FILE* stream) {
  return fread(ptr, size, count, stream);
}
size_t my_fwrite(const void* ptr, size_t size, size_t count, FILE* stream) {
  return fwrite(ptr, size, count, stream);
}
int my_fseek(FILE* stream, long offset, int whence) {
  return fseek(stream, offset, whence);
}
int my_fclose(FILE* stream) {
  return fclose(stream);
}
// strtok's semantics, but the position between calls is kept per thread: jobs on several
// threads tokenize at once.
char* my_strtok(char* str, const char* delimiters) {
  static _Thread_local char* position = NULL;
  return strtok_r(str, delimiters, &position);
}
long my_strtol(const char* str, char** end, int base) {
  return strtol(str, end, base);
}
double my_strtod(const char* str, char** end) {
  return strtod(str, end);
}
