// The copy that replaces a target only when it is complete: the data goes to
// a temporary file in the target's directory, which is renamed over the
// target at the end. The in-kernel copy (reflink, copy_file_range) is used
// where the file systems allow it, a buffered copy otherwise.
#pragma once
#include <cstddef>
#include <string>
#include <sys/types.h>

// Writes the bytes of the buffered copy; the contract of write(2).
typedef ssize_t (*CopyWriter)(int fd, const void* data, size_t size);

struct CopyHooks {
  CopyWriter writer;  // nullptr: write(2)
  bool kernel_copy;   // false: always the buffered copy
};

// Replaces the copy services (tests); nullptr restores the defaults.
void platform_set_copy_hooks(const CopyHooks* hooks);

// Copies the file `source` to `target`, replacing `target`. A symbolic link is
// copied as a link. The copy keeps the permission bits and the modification
// time of the source. Returns 0; or 1 when the copy failed, in which case the
// target is as it was and no temporary file is left.
int platform_copy_file(const std::string& source, const std::string& target);

// Name prefix of the temporary files (hidden, so never gathered as sources).
extern const char kTempPrefix[];
