// stat/lstat based identity and existence, chmod for the owner write bit,
// unlink for deletion.
#include "platform/file_ops.h"

#include <sys/stat.h>
#include <unistd.h>

bool operator<(const FileId& a, const FileId& b) {
  return a.device != b.device ? a.device < b.device : a.inode < b.inode;
}

static FileId id_of(const struct stat& st) {
  return {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

static bool same_id(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool platform_file_id(const std::string& path, FileId* id) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
  *id = id_of(st);
  return true;
}

bool platform_target_exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool platform_same_file(const std::string& source, const std::string& target) {
  struct stat source_entry, target_entry, resolved;
  if (lstat(source.c_str(), &source_entry) != 0 || lstat(target.c_str(), &target_entry) != 0)
    return false;
  if (same_id(source_entry, target_entry)) return true;
  // The target is a symbolic link to the source.
  if (S_ISLNK(target_entry.st_mode) && stat(target.c_str(), &resolved) == 0 &&
      same_id(resolved, source_entry))
    return true;
  // The source is a symbolic link to the target: replacing the target with
  // the link would leave a link to itself.
  return S_ISLNK(source_entry.st_mode) && stat(source.c_str(), &resolved) == 0 &&
         same_id(resolved, target_entry);
}

void platform_set_normal(const std::string& path, int32_t* old_mode) {
  if (old_mode) *old_mode = -1;
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 || S_ISLNK(st.st_mode) || (st.st_mode & S_IWUSR)) return;
  if (chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0 && old_mode)
    *old_mode = static_cast<int32_t>(st.st_mode & 07777);
}

void platform_restore_mode(const std::string& path, int32_t old_mode) {
  if (old_mode >= 0) chmod(path.c_str(), static_cast<mode_t>(old_mode));
}

int platform_delete(const std::string& path) { return unlink(path.c_str()) == 0 ? 0 : 1; }
