// One key from a terminal, the moment it is pressed: the terminal is put in
// single-key mode without echo for the read and restored after it.
#pragma once

// Reads one key from the terminal `fd`. Returns its byte (Enter gives '\n'),
// or -1 at the end of input or when a Ctrl-C interrupted the read. A Ctrl-Z
// and fg during the read bring single-key mode back; a signal that ends the
// program during the read restores the terminal first.
int platform_read_terminal_key(int fd);
