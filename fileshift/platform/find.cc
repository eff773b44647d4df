// Directory search over readdir and fnmatch. Only '*' and '?' are wildcards:
// the other characters fnmatch would treat specially are escaped first.
#include "platform/find.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

bool platform_has_wildcard(const std::string& pattern) {
  return pattern.find_first_of("*?") != std::string::npos;
}

bool platform_name_matches(const std::string& pattern, const std::string& name) {
  std::string escaped;
  escaped.reserve(pattern.size() * 2);
  for (char c : pattern) {
    if (c == '[' || c == ']' || c == '\\') escaped += '\\';
    escaped += c;
  }
  return fnmatch(escaped.c_str(), name.c_str(), FNM_PERIOD) == 0;
}

bool platform_file_attributes(const std::string& path, const std::string& name,
                              uint32_t* attributes) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return false;
  uint32_t attr = 0;
  if (!name.empty() && name[0] == '.') attr |= kAttrHidden;
  if (S_ISLNK(st.st_mode) && stat(path.c_str(), &st) != 0) {
    attr |= kAttrSystem;  // a link to nothing
  } else if (S_ISDIR(st.st_mode)) {
    attr |= kAttrDirectory;
  } else if (!S_ISREG(st.st_mode)) {
    attr |= kAttrSystem;
  }
  *attributes = attr;
  return true;
}

void platform_find_files(const std::string& dir, const std::string& pattern,
                         std::vector<FoundFile>* found) {
  uint32_t attr = 0;
  if (!platform_has_wildcard(pattern)) {
    if (platform_file_attributes(dir + pattern, pattern, &attr)) found->push_back({pattern, attr});
    return;
  }
  DIR* handle = opendir(dir.c_str());
  if (!handle) return;
  while (struct dirent* entry = readdir(handle)) {
    std::string name = entry->d_name;
    if (name == "." || name == ".." || !platform_name_matches(pattern, name)) continue;
    if (platform_file_attributes(dir + name, name, &attr)) found->push_back({name, attr});
  }
  closedir(handle);
}
