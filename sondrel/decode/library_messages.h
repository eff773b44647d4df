// The decoder libraries' own messages. libdca prints diagnostics on the
// process's standard error stream ("Didn't get subframe DSYNC", "bitalloc
// index ... too big"), which would land in our progress line. While a
// library call runs, the stream the library writes to is a sink that counts
// and drops the text. Once the program's console streams are its own, only
// the calling thread is muted, and other threads print as usual.
#pragma once
#include <cstdint>

// Points the standard error stream at the sink and clears its count.
void library_messages_mute();
// Restores the standard error stream. Returns the bytes the library wrote
// since the mute (non-zero: the call complained about its input).
int64_t library_messages_unmute();
// True when muting touches the calling thread only, so that the libraries
// may run on a thread of their own while another prints.
bool library_messages_per_thread();
