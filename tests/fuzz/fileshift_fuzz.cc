// Fuzz target: fileshift's list splitting, item resolution and name patterns
// on arbitrary text. Input: the file-list text, a NUL byte, then names to
// match separated by '/'. Nothing here touches the file system beyond
// reading the current directory's name.
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "limits.h"
#include "platform/find.h"
#include "work_list.h"

static void check(bool ok) {
  if (!ok) std::abort();
}

static bool has_component(const std::string& path, const std::string& part) {
  return path.find("/" + part + "/") != std::string::npos;
}

static void check_list(const std::string& list) {
  std::vector<std::string> items = split_file_list(list);
  std::string joined, kept;
  for (const std::string& item : items) {
    check(!item.empty() && item.find_first_of(",;") == std::string::npos);
    joined += item;
  }
  for (char c : list)
    if (c != ',' && c != ';') kept += c;
  check(joined == kept);  // nothing lost, nothing added

  for (const std::string& item : items) {
    SearchItem search;
    ItemResult result = make_search_item(item, &search);
    if (result != kItemOk) continue;
    const std::string& dir = search.dir;
    check(!dir.empty() && dir.front() == '/' && dir.back() == '/');
    check(dir.find("//") == std::string::npos && !has_component(dir, ".") &&
          !has_component(dir, ".."));
    check(!search.pattern.empty() && search.pattern.find('/') == std::string::npos);
    check(search.pattern != "." && search.pattern != "..");
    check(dir.size() + search.pattern.size() < kPathBytes);
  }
}

static void check_names(const std::string& pattern, const std::vector<std::string>& names) {
  NameSet set;
  for (const std::string& name : names) {
    bool matched = platform_name_matches(pattern, name);
    // Without wildcards a pattern matches exactly its own name; "*" matches
    // every name that is not hidden.
    if (!platform_has_wildcard(pattern)) check(matched == (pattern == name));
    check(platform_name_matches("*", name) == (name[0] != '.'));
    check(platform_name_matches(name, name) || platform_has_wildcard(name));
    for (const std::string& other : names) {
      int ab = compare_names(name, other), ba = compare_names(other, name);
      check((ab < 0) == (ba > 0) && (ab == 0) == (name == other) && (ab == 0) == (ba == 0));
    }
    set.insert(name);
  }
  // The set keeps every distinct name once, in order.
  for (auto it = set.begin(); it != set.end() && std::next(it) != set.end(); ++it)
    check(compare_names(*it, *std::next(it)) < 0);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  size_t nul = text.find('\0');
  std::string list = text.substr(0, nul);
  if (list.size() >= kListBytes) return 0;  // refused before it is split
  check_list(list);

  std::vector<std::string> names;
  if (nul != std::string::npos) {
    std::string rest = text.substr(nul + 1);
    for (size_t at = 0; at <= rest.size() && names.size() < 32;) {
      size_t end = rest.find('/', at);
      if (end == std::string::npos) end = rest.size();
      std::string name = rest.substr(at, end - at);
      if (!name.empty() && name.find('\0') == std::string::npos) names.push_back(name);
      at = end + 1;
    }
  }
  for (const std::string& item : split_file_list(list)) {
    size_t slash = item.rfind('/');
    check_names(slash == std::string::npos ? item : item.substr(slash + 1), names);
  }
  return 0;
}
