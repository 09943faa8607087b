/* The helper library libmyutil.so: each entry behaves as the C library function of the
   same name without the "my_" prefix. It is loaded at run time beside the media libraries. */
#ifndef TOVRENA_MYUTIL_H
#define TOVRENA_MYUTIL_H

#include <stdarg.h>
#include <stddef.h>
#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

int my_vsprintf(char* str, const char* format, va_list args);
int my_fprintf(FILE* stream, const char* format, ...);
int my_snprintf(char* str, size_t size, const char* format, ...);
FILE* my_fopen(const char* path, const char* mode);
long my_ftell(FILE* stream);
size_t my_fread(void* ptr, size_t size, size_t count, FILE* stream);
size_t my_fwrite(const void* ptr, size_t size, size_t count, FILE* stream);
int my_fseek(FILE* stream, long offset, int whence);
int my_fclose(FILE* stream);
char* my_strtok(char* str, const char* delimiters);
long my_strtol(const char* str, char** end, int base);
double my_strtod(const char* str, char** end);

#ifdef __cplusplus
}
#endif

#endif
