// What must be undone when the program is stopped by a signal: the half-made
// temporary copy is removed and the terminal gets its settings back. A
// suspension (Ctrl-Z) gives the terminal back in its own settings and
// restores single-key mode on resumption; a write past the file size limit
// fails instead of ending the program.
#pragma once
#include <termios.h>

// Installs the handlers for SIGINT, SIGTERM, SIGHUP and SIGQUIT (a signal
// that was ignored at start stays ignored). After the clean-up the signal
// takes its default action. Also handles SIGTSTP and SIGCONT, and ignores
// SIGXFSZ.
void platform_install_cleanup();

// The temporary file being written (nullptr: none). The path is copied.
void platform_cleanup_temp(const char* path);

// The terminal in raw mode: its saved settings and the raw ones (fd -1: none).
void platform_cleanup_terminal(int fd, const struct termios* saved, const struct termios* raw);
