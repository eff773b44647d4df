// Single-file services of the mover: existence, identity, permission
// ("normal" attributes) and deletion.
#pragma once
#include <cstdint>
#include <string>

// Identity of a file on disk (device and inode).
struct FileId {
  uint64_t device;
  uint64_t inode;
};
bool operator<(const FileId& a, const FileId& b);

// Identity of what `path` names, following symbolic links; false when absent.
bool platform_file_id(const std::string& path, FileId* id);

// True when something other than a directory exists at `path` (a broken
// symbolic link counts: it would be replaced).
bool platform_target_exists(const std::string& path);

// True when writing `source` to `target` would write the file onto itself:
// the same name reached twice, a hard link, or a symbolic link either way.
bool platform_same_file(const std::string& source, const std::string& target);

// Gives the owner write permission, so that the file can be replaced or
// deleted like any other. Symbolic links are left as they are (their own
// permission means nothing, and chmod would change what they point to).
// When `old_mode` is given it receives the previous mode, or -1 when nothing
// was changed.
void platform_set_normal(const std::string& path, int32_t* old_mode);

// Puts back a mode saved by platform_set_normal (nothing when it is -1).
void platform_restore_mode(const std::string& path, int32_t old_mode);

// Deletes the directory entry `path`. Returns 0, or 1 when it cannot be deleted.
int platform_delete(const std::string& path);
