// Sizes of the program's fixed buffers. A path or list that would not fit is
// refused with a message, never cut short into a different name.
#pragma once
#include <cstddef>

const size_t kPathBytes = 260;  // a path: 259 characters and the terminator
const size_t kListBytes = 256;  // the file-list argument: 255 characters

// Exit statuses.
const int kExitDone = 0;   // the run completed (some files may have been copied or skipped)
const int kExitFatal = 1;  // the destination is unusable or a copy failed
const int kExitUsage = 2;  // wrong number of arguments
