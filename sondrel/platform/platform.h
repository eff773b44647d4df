// The small POSIX layer that stands in for the console and file-system
// services the program was designed around: file size by name, the Ctrl-C
// signal, a millisecond wall clock counted from program start, and one
// character read from the console.
#pragma once
#include <cstdint>

// Size in bytes of the file named `path`. Returns 0 and sets *size, or 1.
int platform_file_size(const char* path, uint64_t* size);

// Installs `handler` for SIGINT. The handler stays installed until replaced.
void platform_install_sigint(void (*handler)(int));

// Milliseconds of wall time since the program started (monotonic).
uint64_t platform_clock_ms();
// Seconds since the program started, from platform_clock_ms.
double platform_seconds();
// Replaces the clock source (tests); nullptr restores the real clock.
void platform_set_clock(uint64_t (*source)());

// Discards input that is waiting on standard input, when it is a terminal.
void platform_discard_console_input();
// Reads one answer character from standard input: on a terminal the key
// pressed (Enter is an answer), from a pipe or file the next character that
// is not a line end; -1 at end of input or when the read was interrupted (a
// Ctrl-C at the prompt).
int platform_read_char();
