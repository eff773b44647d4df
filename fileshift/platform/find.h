// Directory search: the entries of one directory that match a name pattern,
// with the attributes the mover filters on.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

enum : uint32_t {
  kAttrHidden = 0x2,      // the name begins with '.'
  kAttrSystem = 0x4,      // not a regular file: device, FIFO, socket, broken link
  kAttrDirectory = 0x10,  // a directory, or a symbolic link to one
};

struct FoundFile {
  std::string name;
  uint32_t attributes;
};

// True when `pattern` holds a wildcard ('*' or '?').
bool platform_has_wildcard(const std::string& pattern);

// True when `name` matches `pattern`: '*' is any run of characters, '?' any one
// character, every other character stands for itself; a leading '.' of the
// name is matched only by a '.' in the pattern.
bool platform_name_matches(const std::string& pattern, const std::string& name);

// Appends to *found every entry of `dir` (ending in '/') that matches
// `pattern`, with its attributes. A pattern without wildcards is looked up
// directly. Entries that vanish during the search are left out.
void platform_find_files(const std::string& dir, const std::string& pattern,
                         std::vector<FoundFile>* found);

// Attributes of the file at `path` whose last component is `name`; false when
// it does not exist.
bool platform_file_attributes(const std::string& path, const std::string& name,
                              uint32_t* attributes);
