// Gathering: items to search patterns, directory searches, and the
// ordered work list they fill.
#include "work_list.h"

#include "limits.h"
#include "output.h"
#include "platform/find.h"
#include "platform/paths.h"

static unsigned char fold(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

int compare_names(const std::string& a, const std::string& b) {
  size_t common = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < common; ++i) {
    unsigned char x = fold(a[i]), y = fold(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return a.compare(b);
}

std::vector<std::string> split_file_list(const std::string& list) {
  std::vector<std::string> items;
  size_t at = 0;
  while (at < list.size()) {
    size_t end = list.find_first_of(",;", at);
    if (end == std::string::npos) end = list.size();
    if (end > at) items.push_back(list.substr(at, end - at));
    at = end + 1;
  }
  return items;
}

static std::string last_component(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

ItemResult make_search_item(const std::string& item, SearchItem* search) {
  if (platform_full_path(item, &search->full) != 0) return kItemUnresolved;
  const std::string& full = search->full;
  std::string typed_last = last_component(item);
  if (item.back() == '/' || typed_last == "." || typed_last == "..") {
    search->dir = full.back() == '/' ? full : full + '/';
    search->pattern = "*";
  } else {
    size_t slash = full.rfind('/');
    search->dir = full.substr(0, slash + 1);
    search->pattern = full.substr(slash + 1);
    if (search->pattern.size() > 1 && search->pattern[0] == '.' &&
        search->pattern.find('.', 1) == std::string::npos)
      search->pattern = "*" + search->pattern;
  }
  if (search->dir.size() + search->pattern.size() >= kPathBytes) return kItemTooLong;
  return kItemOk;
}

// The key for `dir`: the one it was first entered under when the same
// directory was already reached by another spelling.
static std::string key_for(WorkList* work, const std::string& dir) {
  FileId id;
  if (!platform_file_id(dir, &id)) return dir;
  auto known = work->key_of_dir.emplace(id, dir);
  return known.first->second;
}

void gather_item(WorkList* work, const std::string& item) {
  SearchItem search;
  ItemResult result = make_search_item(item, &search);
  if (result == kItemTooLong) put_too_long(stdout, search.full);
  if (result != kItemOk) return;

  std::vector<FoundFile> found;
  platform_find_files(search.dir, search.pattern, &found);
  NameSet* names = nullptr;
  for (const FoundFile& file : found) {
    if (file.attributes & (kAttrHidden | kAttrSystem | kAttrDirectory)) continue;
    if (!names) names = &work->dirs[key_for(work, search.dir)];
    names->insert(file.name);
  }
}

void gather(WorkList* work, const std::string& list) {
  for (const std::string& item : split_file_list(list)) gather_item(work, item);
}
