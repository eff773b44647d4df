// The destination check, done before the file list is read: the directory is
// resolved to a full path, must be enterable, and gets a trailing '/'.
#pragma once
#include <string>

// Returns 0 and sets *destination (ending in '/'); or prints the fatal
// message on standard error and returns 1.
int check_destination(const std::string& argument, std::string* destination);
