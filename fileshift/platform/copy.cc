// Copy through a temporary file: mkostemp in the target's directory, the data
// by FICLONE, copy_file_range or read/write, permission bits and times, then
// rename over the target. Every failure removes the temporary file.
#include "platform/copy.h"

#include "platform/cleanup.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

const char kTempPrefix[] = ".fileshift-";

static CopyHooks hooks = {nullptr, true};

void platform_set_copy_hooks(const CopyHooks* replacement) {
  hooks = replacement ? *replacement : CopyHooks{nullptr, true};
}

static std::string directory_of(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

static int write_all(int fd, const char* data, size_t size) {
  CopyWriter writer = hooks.writer ? hooks.writer : write;
  while (size > 0) {
    ssize_t n = writer(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return 1;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return 0;
}

static int buffered_copy(int in, int out) {
  static std::vector<char> buffer(1 << 20);
  for (;;) {
    ssize_t n = read(in, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return 1;
    if (n == 0) return 0;
    if (write_all(out, buffer.data(), static_cast<size_t>(n)) != 0) return 1;
  }
}

// Errors of copy_file_range that mean "not here", not "failed".
static bool kernel_copy_unsupported(int error) {
  return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP ||
         error == EBADF || error == EPERM || error == ETXTBSY;
}

// Copies from the current offsets of `in` and `out` to the end of `in`.
static int copy_data(int in, int out, off_t size) {
  if (hooks.kernel_copy) {
    if (size > 0 && ioctl(out, FICLONE, in) == 0) return 0;
    off_t done = 0;
    for (;;) {
      ssize_t n = copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
      if (n > 0) {
        done += n;
        continue;
      }
      if (n == 0 && done > 0 && done >= size) return 0;
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && !kernel_copy_unsupported(errno)) return 1;
      break;  // the rest, if any, by reading and writing (files that report
              // no size, like those of /proc, end up here too)
    }
  }
  return buffered_copy(in, out);
}

static int copy_regular(int in, const struct stat& st, const std::string& target) {
  std::string temp = directory_of(target) + kTempPrefix + "XXXXXX";
  int out = mkostemp(&temp[0], O_CLOEXEC);
  if (out < 0) return 1;
  platform_cleanup_temp(temp.c_str());
  struct timespec times[2] = {st.st_atim, st.st_mtim};
  int failed = copy_data(in, out, st.st_size);
  // The owner is kept where the process may set it; elsewhere the copy
  // belongs to the caller and must not carry the set-id bits.
  mode_t mode = st.st_mode & 07777;
  if (!failed && fchown(out, st.st_uid, st.st_gid) != 0) mode &= 0777;
  if (!failed) failed = fchmod(out, mode) != 0;
  if (!failed) failed = futimens(out, times) != 0;
  if (close(out) != 0) failed = 1;
  if (!failed) failed = rename(temp.c_str(), target.c_str()) != 0;
  if (failed) unlink(temp.c_str());
  platform_cleanup_temp(nullptr);
  return failed;
}

static int copy_link(const std::string& source, const struct stat& st, const std::string& target) {
  std::vector<char> text(static_cast<size_t>(st.st_size) + 2);
  ssize_t length = readlink(source.c_str(), text.data(), text.size());
  if (length < 0 || static_cast<size_t>(length) >= text.size()) return 1;
  text[static_cast<size_t>(length)] = '\0';
  std::string dir = directory_of(target);
  for (int attempt = 0; attempt < 100; ++attempt) {
    char unique[64];
    std::snprintf(unique, sizeof unique, "%s%ld-%d", kTempPrefix, static_cast<long>(getpid()),
                  attempt);
    std::string temp = dir + unique;
    if (symlink(text.data(), temp.c_str()) != 0) {
      if (errno == EEXIST) continue;
      return 1;
    }
    platform_cleanup_temp(temp.c_str());
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    utimensat(AT_FDCWD, temp.c_str(), times, AT_SYMLINK_NOFOLLOW);
    int failed = rename(temp.c_str(), target.c_str()) != 0;
    if (failed) unlink(temp.c_str());
    platform_cleanup_temp(nullptr);
    return failed;
  }
  return 1;
}

int platform_copy_file(const std::string& source, const std::string& target) {
  struct stat st;
  if (lstat(source.c_str(), &st) != 0) return 1;
  if (S_ISLNK(st.st_mode)) return copy_link(source, st, target);
  int in = open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (in < 0) return 1;
  int failed = fstat(in, &st) != 0 || !S_ISREG(st.st_mode);
  if (!failed) failed = copy_regular(in, st, target);
  close(in);
  return failed;
}
