// Digit grouping of report numbers and the 79-dash separator line.
#pragma once
#include <cstddef>
#include <cstdint>

// Copies the decimal text `number` into `out`, its integer part grouped by
// three digits with ','. Returns `out`.
char* group_digits(const char* number, char* out, size_t out_size);

// The separator line: 79 dashes and a line end.
extern const char* const SEPARATOR_LINE;

// Prints the separator line when count > 1.
void print_separator(int32_t count);
