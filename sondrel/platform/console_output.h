// The program's console output (standard output and standard error), kept
// track of so that a last message without a line end is finished before the
// program exits: on a terminal the shell's prompt would land on it.
#pragma once

// Routes stdout and stderr through streams that remember which of them wrote
// last and the last byte written, and arranges for
// platform_finish_console_line to run when the program exits. Call it once,
// before anything is printed.
void platform_track_console_output();

// Writes a line end to the stream that wrote last when its last byte was not
// one. Does nothing before platform_track_console_output, or when nothing
// was printed.
void platform_finish_console_line();
