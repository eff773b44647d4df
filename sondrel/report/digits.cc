// Digit grouping of report numbers and the 79-dash separator line.
#include "report/digits.h"

#include <cstdio>
#include <cstring>

char* group_digits(const char* number, char* out, size_t out_size) {
  if (!out || out_size == 0) return out;
  size_t at = 0;
  auto put = [&](char c) {
    if (at + 1 < out_size) out[at++] = c;
  };
  const char* p = number;
  if (*p == '-' || *p == '+') put(*p++);
  const char* point = std::strchr(p, '.');
  const size_t digits = point ? static_cast<size_t>(point - p) : std::strlen(p);
  for (size_t i = 0; i < digits; ++i) {
    if (i > 0 && (digits - i) % 3 == 0) put(',');
    put(p[i]);
  }
  for (const char* rest = p + digits; *rest; ++rest) put(*rest);
  out[at] = '\0';
  return out;
}

const char* const SEPARATOR_LINE =
    "-------------------------------------------------------------------------------\n";

void print_separator(int32_t count) {
  if (count > 1) std::fputs(SEPARATOR_LINE, stderr);
}
