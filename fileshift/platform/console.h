// Single keys from the terminal: /dev/tty in non-canonical mode without
// echo, so a key counts the moment it is pressed. Ctrl-C still interrupts.
#pragma once
#include <termios.h>

struct Console {
  int fd;                 // /dev/tty, or -1 when there is no terminal
  struct termios saved;   // its settings before raw mode
};

// Opens the terminal and puts it in raw mode. Returns 0, or 1 when the
// process has no terminal (console->fd is then -1).
int platform_console_open(Console* console);

// Reads one key: its byte, 0 for a key that sends an escape sequence (arrows,
// function keys, Alt combinations), or -1 when the terminal has gone.
int platform_console_read_key(Console* console);

// Restores the terminal settings and closes it.
void platform_console_close(Console* console);

// The key reading of platform_console_read_key on any descriptor.
int platform_read_key(int fd);
