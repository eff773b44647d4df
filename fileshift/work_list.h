// The work list: source directories, each with the names of the files found
// there, both in case-insensitive order. Names that differ only in case are
// distinct files and both stay, ordered by their exact bytes.
#pragma once
#include "platform/file_ops.h"

#include <map>
#include <set>
#include <string>
#include <vector>

// Case-insensitive comparison (ASCII letters), the exact bytes breaking ties.
// Negative, zero or positive like strcmp.
int compare_names(const std::string& a, const std::string& b);

struct NameOrder {
  bool operator()(const std::string& a, const std::string& b) const {
    return compare_names(a, b) < 0;
  }
};

typedef std::set<std::string, NameOrder> NameSet;

struct WorkList {
  // Directory key (a full path ending in '/') to the names found there.
  std::map<std::string, NameSet, NameOrder> dirs;
  // The key under which each directory on disk was first entered, so that a
  // directory reached by two spellings (a symbolic link) shares one entry.
  std::map<FileId, std::string> key_of_dir;
};

// A list item resolved into the directory to search and the name pattern.
struct SearchItem {
  std::string full;     // the item's full path
  std::string dir;      // directory key, ending in '/'
  std::string pattern;  // last component; may hold '*' and '?'
};

enum ItemResult { kItemOk = 0, kItemUnresolved = 1, kItemTooLong = 2 };

// The items of the file-list argument: separated by runs of ',' and ';',
// empty items skipped.
std::vector<std::string> split_file_list(const std::string& list);

// Resolves one item. An item ending in '/', or whose last component is "."
// or "..", names a directory and stands for all its files; a last component
// like ".txt" (a dot and no other) stands for "*.txt".
ItemResult make_search_item(const std::string& item, SearchItem* search);

// Adds the files that `item` matches, leaving out hidden and system files and
// directories. Prints "The path ... is too long." for an item that does not fit.
void gather_item(WorkList* work, const std::string& item);

// gather_item for every item of the list, in order.
void gather(WorkList* work, const std::string& list);
