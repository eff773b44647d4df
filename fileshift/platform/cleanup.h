// What must be undone when the program is stopped by a signal: the half-made
// temporary copy is removed and the terminal gets its settings back.
#pragma once
#include <termios.h>

// Installs the handlers for SIGINT, SIGTERM, SIGHUP and SIGQUIT (a signal
// that was ignored at start stays ignored). After the clean-up the signal
// takes its default action.
void platform_install_cleanup();

// The temporary file being written (nullptr: none). The path is copied.
void platform_cleanup_temp(const char* path);

// The terminal in raw mode and its saved settings (fd -1: none).
void platform_cleanup_terminal(int fd, const struct termios* saved);
