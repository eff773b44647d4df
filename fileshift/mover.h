// Moving: every file of the work list is copied to the destination and its
// source deleted, with a prompt before an existing target is overwritten.
#pragma once
#include "work_list.h"

#include <cstdint>
#include <string>

struct MoveCounts {
  int32_t moved;
  int32_t copied;  // copied, but the source could not be deleted
};

// Answer state: no answer yet, or the user's key.
enum : char { kNoAnswer = 'Z', kAnswerYes = 'Y', kAnswerNo = 'N', kAnswerAll = 'A' };

// Prints "Overwrite NAME (Yes/No/All)? ", reads keys until Y, N or A, prints
// the letter and a line end, and returns it. Without a terminal the answer is N.
char ask_overwrite(const std::string& name);

// Moves the files of `work` to `destination` (ending in '/'), emptying the
// list as it goes. Returns 0, or 1 after "Destination full." when a copy failed.
int move_files(WorkList* work, const std::string& destination, MoveCounts* counts);

// The closing line: "\tN file(s) moved." and, when some were, "\tN file(s) copied.".
std::string summary_line(const MoveCounts& counts);
