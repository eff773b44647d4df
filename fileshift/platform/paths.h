// Path services: full-path resolution without following the path on disk,
// and the check that a directory can be entered.
#pragma once
#include <string>

// Makes `path` absolute (relative to the current directory) and normalises it:
// repeated '/', "." and ".." components are removed by reading the text only.
// The result ends in '/' only when it is the root. Returns 0 and sets *full,
// or 1 when the path is empty or relative and the current directory is unknown.
int platform_full_path(const std::string& path, std::string* full);

// True when `path` is a directory the process could change into.
bool platform_can_enter(const std::string& path);
