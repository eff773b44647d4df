// The program's console output (standard output and standard error), kept
// track of so that a last message without a line end is finished before the
// program exits: on a terminal the shell's prompt would land on it.
#pragma once
#include <cstdint>

// Routes stdout and stderr through streams that remember which of them wrote
// last and the last byte written, and arranges for
// platform_finish_console_line to run when the program exits. Call it once,
// before anything is printed.
void platform_track_console_output();

// Writes a line end to the stream that wrote last when its last byte was not
// one. Does nothing before platform_track_console_output, or when nothing
// was printed.
void platform_finish_console_line();

// Console text written by one thread, kept to be printed later by another
// (in order with the text that one prints itself): segments of a stream
// number (1 standard output, 2 standard error), a length and the bytes.
constexpr int32_t CONSOLE_HOLD_BYTES = 1024;
struct ConsoleHold {
  char bytes[CONSOLE_HOLD_BYTES];
  int32_t length;  // bytes used
};

// While set for the calling thread, what it writes to standard output or
// standard error is kept in `hold` instead (nullptr: written again). Text
// that does not fit is written at once. Only after
// platform_track_console_output; returns 1 (nothing held) before it.
int platform_console_hold(ConsoleHold* hold);
// Writes what `hold` keeps to the streams it was meant for, and empties it.
void platform_console_release(ConsoleHold* hold);

// While set for the calling thread, what it writes to the console is
// dropped and its bytes are added to *count (nullptr: written again). Other
// threads write as usual. Only after platform_track_console_output; returns
// 1 (nothing muted) before it.
int platform_console_mute(int64_t* count);

// 1 when the console streams are the program's own (the two calls above work).
int platform_console_owned();
