// The eight C library functions the stub's code calls, its own: each is a few
// bytes of code, where importing them from msvcrt.dll costs a DLL's import
// tables. Compiled without builtins and loop idioms (win32.cmake), so that
// the compiler does not turn a loop back into a call of the function itself.
#include <string.h>

extern "C" {

size_t strlen(const char* s) {
  const char* e = s;
  while (*e != 0) ++e;
  return static_cast<size_t>(e - s);
}

int memcmp(const void* a, const void* b, size_t n) {
  const unsigned char* x = static_cast<const unsigned char*>(a);
  const unsigned char* y = static_cast<const unsigned char*>(b);
  for (; n != 0; --n, ++x, ++y)
    if (*x != *y) return *x - *y;
  return 0;
}

int strcmp(const char* a, const char* b) {
  const unsigned char* x = reinterpret_cast<const unsigned char*>(a);
  const unsigned char* y = reinterpret_cast<const unsigned char*>(b);
  for (; *x == *y && *x != 0; ++x, ++y) {
  }
  return *x - *y;
}

void* memchr(const void* s, int c, size_t n) {
  const unsigned char* p = static_cast<const unsigned char*>(s);
  for (; n != 0; --n, ++p)
    if (*p == static_cast<unsigned char>(c)) return const_cast<unsigned char*>(p);
  return 0;
}

char* strchr(const char* s, int c) {
  for (;; ++s) {
    if (*s == static_cast<char>(c)) return const_cast<char*>(s);
    if (*s == 0) return 0;
  }
}

char* strstr(const char* s, const char* part) {
  size_t n = strlen(part);
  for (; *s != 0 || n == 0; ++s) {
    if (memcmp(s, part, n) == 0) return const_cast<char*>(s);
    if (*s == 0) break;
  }
  return 0;
}

// Called by the compiler for copies and fills of structures.
void* memcpy(void* to, const void* from, size_t n) {
  unsigned char* d = static_cast<unsigned char*>(to);
  const unsigned char* s = static_cast<const unsigned char*>(from);
  for (; n != 0; --n) *d++ = *s++;
  return to;
}

void* memset(void* to, int c, size_t n) {
  unsigned char* d = static_cast<unsigned char*>(to);
  for (; n != 0; --n) *d++ = static_cast<unsigned char>(c);
  return to;
}

}  // extern "C"
