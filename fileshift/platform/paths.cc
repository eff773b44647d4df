// Lexical path normalisation on top of getcwd, and the enter check.
#include "platform/paths.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

static int current_directory(std::string* cwd) {
  std::vector<char> buffer(4096);
  for (;;) {
    if (getcwd(buffer.data(), buffer.size())) {
      *cwd = buffer.data();
      return 0;
    }
    if (errno != ERANGE || buffer.size() > (1u << 20)) return 1;
    buffer.resize(buffer.size() * 2);
  }
}

int platform_full_path(const std::string& path, std::string* full) {
  if (path.empty()) return 1;
  std::string text;
  if (path[0] != '/') {
    if (current_directory(&text) != 0 || text.empty() || text[0] != '/') return 1;
    text += '/';
  }
  text += path;

  std::vector<std::string> parts;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('/', at);
    if (end == std::string::npos) end = text.size();
    std::string part = text.substr(at, end - at);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    at = end + 1;
  }
  full->clear();
  for (const std::string& part : parts) *full += "/" + part;
  if (full->empty()) *full = "/";
  return 0;
}

bool platform_can_enter(const std::string& path) {
  struct stat st;
  if (path.empty() || stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  return faccessat(AT_FDCWD, path.c_str(), X_OK, AT_EACCESS) == 0;
}
