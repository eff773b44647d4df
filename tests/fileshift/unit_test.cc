// Unit tests of the work-list order, item resolution, name matching, the
// copy routine (kernel and buffered paths, a destination that fills up) and
// key decoding.
#include "mover.h"
#include "platform/console.h"
#include "platform/copy.h"
#include "platform/find.h"
#include "platform/paths.h"
#include "test_files.h"
#include "work_list.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

TEST(FileshiftOrder, CaseInsensitiveWithExactTieBreakAndNoDuplicates) {
  NameSet names;
  for (const char* name : {"b2", "Zed", "ab", "a", "b.txt", "a_b", "B.txt", "A", "ab", "a"})
    names.insert(name);
  std::vector<std::string> order(names.begin(), names.end());
  EXPECT_EQ(order, (std::vector<std::string>{"A", "a", "a_b", "ab", "B.txt", "b.txt", "b2", "Zed"}));
  EXPECT_EQ(compare_names("/t/Zed/", "/t/alpha/"), 1);
  EXPECT_EQ(compare_names("abc", "abc"), 0);
}

TEST(FileshiftSummary, PluralRules) {
  EXPECT_EQ(summary_line({0, 0}), "\t0 files moved.");
  EXPECT_EQ(summary_line({1, 0}), "\t1 file moved.");
  EXPECT_EQ(summary_line({3, 0}), "\t3 files moved.");
  EXPECT_EQ(summary_line({1, 2}), "\t1 file moved.\t2 files copied.");
  EXPECT_EQ(summary_line({2, 1}), "\t2 files moved.\t1 file copied.");
}

TEST(FileshiftItems, SplitAndResolve) {
  EXPECT_EQ(split_file_list(",,a;b;;,c,,"), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_TRUE(split_file_list(";,;").empty());

  struct Case { const char* item; const char* dir; const char* pattern; };
  const Case cases[] = {
      {"/x/y/*.txt", "/x/y/", "*.txt"}, {"/x/y/", "/x/y/", "*"},     {"/x/y/.", "/x/y/", "*"},
      {"/x/y/..", "/x/", "*"},          {"/x/.txt", "/x/", "*.txt"}, {"/x/.tar.gz", "/x/", ".tar.gz"},
      {"/", "/", "*"},                  {"//a//./b/../c", "/a/", "c"}, {"/../a?", "/", "a?"},
      {"/x/notes.", "/x/", "notes."},
  };
  for (const Case& c : cases) {
    SearchItem search;
    ASSERT_EQ(make_search_item(c.item, &search), kItemOk) << c.item;
    EXPECT_EQ(search.dir, c.dir) << c.item;
    EXPECT_EQ(search.pattern, c.pattern) << c.item;
  }
  char cwd[4096];
  ASSERT_TRUE(getcwd(cwd, sizeof cwd));
  SearchItem search;
  ASSERT_EQ(make_search_item("sub/../f*", &search), kItemOk);
  EXPECT_EQ(search.dir, std::string(cwd) + "/");
  EXPECT_EQ(search.pattern, "f*");
  EXPECT_EQ(make_search_item("/" + std::string(259, 'a'), &search), kItemTooLong);
  EXPECT_EQ(make_search_item("/" + std::string(258, 'a'), &search), kItemOk);
}

TEST(FileshiftMatch, OnlyStarAndQuestionMarkAreWildcards) {
  EXPECT_TRUE(platform_name_matches("*.txt", "a.txt"));
  EXPECT_FALSE(platform_name_matches("*.TXT", "a.txt"));
  EXPECT_FALSE(platform_name_matches("*", ".hidden"));
  EXPECT_TRUE(platform_name_matches(".*", ".hidden"));
  EXPECT_TRUE(platform_name_matches("?.c", "a.c"));
  EXPECT_FALSE(platform_name_matches("?.c", "ab.c"));
  EXPECT_TRUE(platform_name_matches("[a]*", "[a].c"));
  EXPECT_FALSE(platform_name_matches("[a]*", "a.c"));
  EXPECT_TRUE(platform_name_matches("x\\*", "x\\y"));
}

static Bytes pattern_bytes(size_t size) {
  Bytes bytes(size);
  uint32_t state = 12345;
  for (uint8_t& b : bytes) b = static_cast<uint8_t>((state = state * 1103515245u + 12345u) >> 24);
  return bytes;
}

static size_t room;
static ssize_t filling_writer(int fd, const void* data, size_t size) {
  if (room == 0) {
    errno = ENOSPC;
    return -1;
  }
  ssize_t n = write(fd, data, size < room ? size : room);
  if (n > 0) room -= static_cast<size_t>(n);
  return n;
}

TEST(FileshiftCopy, KeepsBytesModeAndTimeOnBothPaths) {
  TempDir dir;
  Bytes data = pattern_bytes(3 * 1024 * 1024 + 17);
  write_file(dir.file("src"), data);
  struct timespec times[2] = {{1000000000, 5}, {1000000000, 123456789}};
  ASSERT_EQ(utimensat(AT_FDCWD, dir.file("src").c_str(), times, 0), 0);
  chmod(dir.file("src").c_str(), 0440);
  ASSERT_EQ(symlink("src", dir.file("link").c_str()), 0);
  write_text(dir.file("old"), "old target");

  for (bool kernel : {true, false}) {
    CopyHooks hooks = {nullptr, kernel};
    platform_set_copy_hooks(&hooks);
    ASSERT_EQ(platform_copy_file(dir.file("src"), dir.file("old")), 0);
    platform_set_copy_hooks(nullptr);
    EXPECT_EQ(read_file(dir.file("old")), data);
    struct stat st;
    ASSERT_EQ(stat(dir.file("old").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0440u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 123456789);
    unlink(dir.file("old").c_str());
  }
  ASSERT_EQ(platform_copy_file(dir.file("link"), dir.file("link2")), 0);
  char text[16] = {};
  EXPECT_EQ(readlink(dir.file("link2").c_str(), text, sizeof text - 1), 3);
  EXPECT_STREQ(text, "src");
  EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"link", "link2", "src"}));
}

TEST(FileshiftCopy, FailedWriteLeavesOldTargetAndNoTemporaryFile) {
  TempDir dir;
  write_file(dir.file("src"), pattern_bytes(600000));
  write_text(dir.file("target"), "old target");
  for (size_t limit : {size_t(0), size_t(4096), size_t(599999)}) {
    room = limit;
    CopyHooks hooks = {filling_writer, false};
    platform_set_copy_hooks(&hooks);
    EXPECT_EQ(platform_copy_file(dir.file("src"), dir.file("target")), 1);
    EXPECT_EQ(platform_copy_file(dir.file("src"), dir.file("new")), 1);
    platform_set_copy_hooks(nullptr);
    EXPECT_EQ(read_text(dir.file("target")), "old target");
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"src", "target"}));
  }
  EXPECT_EQ(platform_copy_file(dir.file("missing"), dir.file("target")), 1);
  EXPECT_EQ(platform_copy_file(dir.file("src"), dir.file("no/such/dir")), 1);
  EXPECT_EQ(read_text(dir.file("target")), "old target");
}

TEST(FileshiftKeys, EscapeSequencesArePassedOver) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const std::string typed = "x1\x1b[A\x1b[1;5Dy\x1bOPn\x1bq";
  ASSERT_EQ(write(fds[1], typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
  close(fds[1]);
  std::vector<int> keys;
  for (int key = platform_read_key(fds[0]); key >= 0; key = platform_read_key(fds[0]))
    keys.push_back(key);
  close(fds[0]);
  EXPECT_EQ(keys, (std::vector<int>{'x', '1', 0, 0, 'y', 0, 'n', 0}));
}
