// End-to-end runs of fileshift in temporary directories, with prompts typed
// at a pseudo-terminal. Standard output, standard error and the exit status
// are compared exactly.
#include "terminal_run.h"
#include "test_files.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

static const std::string kFileshift = std::string(TOOLS_BIN_DIR) + "/fileshift";
static const std::string kWriteLimit = std::string(TOOLS_BIN_DIR) + "/fileshift_write_limit";

static TerminalResult shift(const std::vector<std::string>& args, TerminalOptions options = {}) {
  return run_at_terminal(kFileshift, args, options);
}

static void expect_run(const TerminalResult& r, const std::string& out, const std::string& err,
                       int status) {
  EXPECT_EQ(r.program.out, out);
  EXPECT_EQ(r.program.err, err);
  EXPECT_EQ(r.program.exit_status, status);
}

// The physical path, as the program sees its current directory.
static std::string real(const std::string& path) {
  char buffer[PATH_MAX];
  return realpath(path.c_str(), buffer) ? buffer : path;
}

static void make_dirs(const TempDir& t, const std::vector<std::string>& names) {
  for (const std::string& name : names) ASSERT_EQ(mkdir(t.file(name).c_str(), 0777), 0) << name;
}

static unsigned mode_of(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0xffff;
}

static std::string link_text(const std::string& path) {
  char text[PATH_MAX] = {};
  return readlink(path.c_str(), text, sizeof text - 1) > 0 ? text : "";
}

static const char kUsage[] =
    "Fileshift32 3.1\n\nUsage:\n  fileshift <file1>,<file2>,... <destination>\n\n"
    "  <file#> are files that will be moved to the directory <destination>.\n"
    "  Will prompt to overwrite files if they exist.\n";

TEST(FileshiftRun, WrongArgumentCountPrintsUsageOnly) {
  TempDir t;
  make_dirs(t, {"dst"});
  write_text(t.file("a"), "a");
  expect_run(shift({}), kUsage, "", 2);
  expect_run(shift({t.file("a")}), kUsage, "", 2);
  expect_run(shift({t.file("a"), t.file("dst"), "x"}), kUsage, "", 2);
  EXPECT_EQ(read_text(t.file("a")), "a");
  EXPECT_TRUE(list_dir(t.file("dst")).empty());
}

TEST(FileshiftRun, UnusableDestinationIsFatal) {
  TempDir t;
  write_text(t.file("a"), "a");
  std::string r = real(t.path());
  TerminalOptions at_t;
  at_t.cwd = t.path();
  expect_run(shift({"a", "nowhere/../gone/."}, at_t), "",
             "The directory " + r + "/gone does not exist.\n", 1);
  expect_run(shift({"a", "a"}, at_t), "", "The directory " + r + "/a does not exist.\n", 1);
  expect_run(shift({"a", ""}, at_t), "", "The directory  does not exist.\n", 1);
  std::string deep = "/" + std::string(258, 'd');
  expect_run(shift({"a", deep}, at_t), "", "The path " + deep + " is too long.\n", 1);

  // A relative destination cannot be resolved once the current directory is gone.
  ASSERT_EQ(mkdir(t.file("gone").c_str(), 0777), 0);
  TerminalOptions removed;
  removed.cwd = t.file("gone");
  removed.remove_cwd = true;
  expect_run(shift({t.file("a"), "out"}, removed), "", "The drive O: is invalid.\n", 1);
  EXPECT_EQ(read_text(t.file("a")), "a");
}

TEST(FileshiftRun, MovesInCaseInsensitiveOrderOncePerFile) {
  TempDir t;
  make_dirs(t, {"alpha", "Zed", "dst", "real"});
  for (const char* name : {"alpha/a1", "alpha/A1", "alpha/b.txt", "alpha/B.TXT", "alpha/c.log",
                           "alpha/[x].dat", "Zed/z1", "Zed/z2.txt", "real/q"})
    write_text(t.file(name), name);
  ASSERT_EQ(symlink("real", t.file("alias").c_str()), 0);
  std::string r = real(t.path());
  TerminalOptions at_t;
  at_t.cwd = t.path();

  // Zed is named first, alpha sorts first; b.txt is reached three times.
  auto run = shift({"Zed/;alpha/b*;alpha/A1,,alpha/*.txt;alpha/a?;alpha/[x].dat;;alpha/.log",
                    "dst"}, at_t);
  expect_run(run,
             r + "/alpha/[x].dat\n" + r + "/alpha/A1\n" + r + "/alpha/a1\n" + r +
                 "/alpha/b.txt\n" + r + "/alpha/c.log\n" + r + "/Zed/z1\n" + r +
                 "/Zed/z2.txt\n\t7 files moved.\n",
             "", 0);
  EXPECT_EQ(list_dir(t.file("dst")),
            (std::vector<std::string>{"A1", "[x].dat", "a1", "b.txt", "c.log", "z1", "z2.txt"}));
  EXPECT_EQ(read_text(t.file("dst/A1")), "alpha/A1");
  EXPECT_EQ(list_dir(t.file("alpha")), (std::vector<std::string>{"B.TXT"}));
  EXPECT_TRUE(list_dir(t.file("Zed")).empty());

  // Back again, to an absolute destination with a trailing '/'; the same
  // directory reached through a link is handled once, under its first name.
  expect_run(shift({"dst/z?,dst/z*,alias/q,real/*", r + "/Zed/"}, at_t),
             r + "/alias/q\n" + r + "/dst/z1\n" + r + "/dst/z2.txt\n\t3 files moved.\n", "", 0);
  EXPECT_EQ(list_dir(t.file("Zed")), (std::vector<std::string>{"q", "z1", "z2.txt"}));
  expect_run(shift({"nothing*,dst/zz", "dst"}, at_t), "\t0 files moved.\n", "", 0);
}

TEST(FileshiftRun, HiddenSystemAndDirectoriesStayEvenWhenNamed) {
  TempDir t;
  make_dirs(t, {"src", "src/sub", "dst"});
  write_text(t.file("src/f"), "f");
  write_text(t.file("src/.hidden"), "h");
  ASSERT_EQ(mkfifo(t.file("src/fifo").c_str(), 0644), 0);
  ASSERT_EQ(symlink("nowhere", t.file("src/dangling").c_str()), 0);
  ASSERT_EQ(symlink("sub", t.file("src/dirlink").c_str()), 0);
  ASSERT_EQ(symlink("f", t.file("src/flink").c_str()), 0);
  TerminalOptions at_t;
  at_t.cwd = t.path();
  std::string s = real(t.path()) + "/src/";
  expect_run(shift({"src/*,src/.hidden,src/fifo,src/sub,src/dangling,src/dirlink,src/.*,src/sub/",
                    "dst"}, at_t),
             s + "f\n" + s + "flink\n\t2 files moved.\n", "", 0);
  EXPECT_EQ(list_dir(t.file("dst")), (std::vector<std::string>{"f", "flink"}));
  EXPECT_EQ(link_text(t.file("dst/flink")), "f");
  EXPECT_EQ(list_dir(t.file("src")),
            (std::vector<std::string>{".hidden", "dangling", "dirlink", "fifo", "sub"}));
}

TEST(FileshiftRun, PromptsTakeSingleKeysWithoutEcho) {
  TempDir t;
  make_dirs(t, {"src", "dst"});
  for (const char* name : {"a", "b", "c", "d"}) {
    write_text(t.file(std::string("src/") + name), std::string("new ") + name);
    write_text(t.file(std::string("dst/") + name), std::string("old ") + name);
  }
  // A read-only source over a read-only target; the copy keeps mode and time.
  struct timespec times[2] = {{978307200, 0}, {978307200, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, t.file("src/a").c_str(), times, 0), 0);
  chmod(t.file("src/a").c_str(), 0444);
  chmod(t.file("dst/a").c_str(), 0444);
  TerminalOptions typing;
  // Ignored keys, Enter and an arrow (ESC [ A, which must not count as All).
  typing.keys = {"x1 \r\x1b[Ay", "n", "a"};
  std::string s = t.file("src/");
  auto run = shift({s + "*", t.file("dst")}, typing);
  expect_run(run,
             "Overwrite a (Yes/No/All)? Y\n" + s + "a\nOverwrite b (Yes/No/All)? N\n"
             "Overwrite c (Yes/No/All)? A\n" + s + "c\n" + s + "d\n\t3 files moved.\n",
             "", 0);
  EXPECT_EQ(run.screen, "");
  EXPECT_EQ(read_text(t.file("dst/a")), "new a");
  EXPECT_EQ(mode_of(t.file("dst/a")), 0444u);
  struct stat st;
  ASSERT_EQ(stat(t.file("dst/a").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 978307200);
  EXPECT_EQ(read_text(t.file("dst/b")), "old b");
  EXPECT_EQ(read_text(t.file("dst/d")), "new d");
  EXPECT_EQ(list_dir(t.file("src")), (std::vector<std::string>{"b"}));
}

TEST(FileshiftRun, WithoutTerminalTheAnswerIsNo) {
  TempDir t;
  make_dirs(t, {"src", "dst"});
  write_text(t.file("src/a"), "new a");
  write_text(t.file("src/e"), "e");
  write_text(t.file("dst/a"), "old a");
  TerminalOptions none;
  none.terminal = false;
  expect_run(shift({t.file("src/a;") + t.file("src/e"), t.file("dst")}, none),
             "Overwrite a (Yes/No/All)? N\n" + t.file("src/e") + "\n\t1 file moved.\n", "", 0);
  EXPECT_EQ(read_text(t.file("dst/a")), "old a");
  EXPECT_EQ(read_text(t.file("src/a")), "new a");
}

// Ownership of a tree for a run as nobody (when the tests run as root).
static void give_away(const std::string& path) {
  if (geteuid() == 0) {
    ASSERT_EQ(lchown(path.c_str(), 65534, 65534), 0) << path;
  }
}

// True when every directory above `path` can be searched by other users.
static bool reachable_by_others(std::string path) {
  for (size_t slash = path.rfind('/'); slash != std::string::npos && slash > 0;
       slash = path.rfind('/')) {
    path.resize(slash);
    if ((mode_of(path) & 0001) == 0) return false;
  }
  return true;
}

TEST(FileshiftRun, UndeletableSourcesAreCopiedInstead) {
  TempDir t;
  if (geteuid() == 0 && !reachable_by_others(t.path())) {
    GTEST_SKIP() << "nobody cannot reach " << t.path() << " (set TMPDIR to a public directory)";
  }
  chmod(t.path().c_str(), 0777);
  make_dirs(t, {"locked", "open", "dst", "bin"});
  write_file(t.file("bin/fileshift"), read_file(kFileshift));  // reachable for nobody
  chmod(t.file("bin/fileshift").c_str(), 0755);
  write_text(t.file("locked/y"), "y");
  write_text(t.file("locked/z"), "z");
  write_text(t.file("open/x"), "x");
  chmod(t.file("locked/y").c_str(), 0444);
  for (const char* name : {"locked", "locked/y", "locked/z", "open", "open/x", "dst"})
    give_away(t.file(name));
  chmod(t.file("locked").c_str(), 0555);
  TerminalOptions nobody;
  nobody.unprivileged = true;
  nobody.cwd = t.path();
  std::string r = real(t.path());
  auto run = run_at_terminal(t.file("bin/fileshift"), {"open/*,locked/*", "dst"}, nobody);
  expect_run(run,
             "Unable to move y, copied instead.\nUnable to move z, copied instead.\n" + r +
                 "/open/x\n\t1 file moved.\t2 files copied.\n",
             "", 0);
  EXPECT_EQ(list_dir(t.file("dst")), (std::vector<std::string>{"x", "y", "z"}));
  EXPECT_EQ(list_dir(t.file("locked")), (std::vector<std::string>{"y", "z"}));
  EXPECT_EQ(mode_of(t.file("dst/y")), 0444u);
  EXPECT_EQ(mode_of(t.file("locked/y")), 0644u);  // made writable before the delete
}

// Checks after a copy that failed on the second of three files: a is moved,
// b and its old target are untouched, c was never started, no stray file.
static void expect_full_stop(const TempDir& t, const Bytes& b_data, const TerminalResult& run,
                             const std::string& prompt) {
  expect_run(run, t.file("src/a") + "\n" + prompt, "Destination full.\n", 1);
  EXPECT_EQ(list_dir(t.file("src")), (std::vector<std::string>{"b", "c"}));
  EXPECT_EQ(read_file(t.file("src/b")), b_data);
  EXPECT_EQ(read_text(t.file("src/c")), "c");
}

static Bytes filler(size_t size) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return bytes;
}

TEST(FileshiftRun, FailedWriteEndsTheRunWithNothingLost) {
  TempDir t;
  make_dirs(t, {"src", "dst"});
  Bytes b_data = filler(100000);
  write_file(t.file("src/a"), filler(1000));
  write_file(t.file("src/b"), b_data);
  write_text(t.file("src/c"), "c");
  write_text(t.file("dst/b"), "old b");
  chmod(t.file("dst/b").c_str(), 0444);
  TerminalOptions full;
  full.env = {"FILESHIFT_TEST_WRITE_LIMIT=5000"};
  full.keys = {"y"};
  auto run = run_at_terminal(kWriteLimit, {t.file("src/*"), t.file("dst")}, full);
  expect_full_stop(t, b_data, run, "Overwrite b (Yes/No/All)? Y\n");
  EXPECT_EQ(list_dir(t.file("dst")), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(read_text(t.file("dst/b")), "old b");
  EXPECT_EQ(mode_of(t.file("dst/b")), 0444u);
}

TEST(FileshiftRun, FullFileSystemEndsTheRunWithNothingLost) {
  TempDir t;
  make_dirs(t, {"src", "dst"});
  // A 64 KiB tmpfs in a mount namespace of this test process.
  if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) ||
      mount("tmpfs", t.file("dst").c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "no small file system can be mounted here: " << std::strerror(errno);
  }
  Bytes b_data = filler(512 * 1024);
  write_file(t.file("src/a"), filler(8192));
  write_file(t.file("src/b"), b_data);
  write_text(t.file("src/c"), "c");
  auto run = shift({t.file("src/*"), t.file("dst")});
  expect_full_stop(t, b_data, run, "");
  EXPECT_EQ(list_dir(t.file("dst")), (std::vector<std::string>{"a"}));
  EXPECT_EQ(read_file(t.file("dst/a")), filler(8192));
  umount2(t.file("dst").c_str(), MNT_DETACH);
}

// A file size limit stops the copy like a full destination: the write fails
// instead of the signal ending the program, and no temporary file is left.
TEST(FileshiftRun, FileSizeLimitEndsTheRunLikeAFullDestination) {
  TempDir t;
  make_dirs(t, {"src", "dst"});
  Bytes b_data = filler(100000);
  write_file(t.file("src/a"), filler(1000));
  write_file(t.file("src/b"), b_data);
  write_text(t.file("src/c"), "c");
  TerminalOptions limited;
  limited.file_size_limit = 5000;
  auto run = shift({t.file("src/*"), t.file("dst")}, limited);
  expect_full_stop(t, b_data, run, "");
  EXPECT_EQ(list_dir(t.file("dst")), (std::vector<std::string>{"a"}));
  EXPECT_EQ(read_file(t.file("dst/a")), filler(1000));
}

// Ctrl-Z at the prompt under a job-control shell: while stopped the terminal
// is the shell's (line mode with echo); once continued the prompt takes single
// keys without echo again, here and at the next prompt.
TEST(FileshiftRun, SuspendedAtThePromptResumesInSingleKeyMode) {
  TempDir t;
  make_dirs(t, {"src", "dst"});
  for (const char* name : {"a", "b"}) {
    write_text(t.file(std::string("src/") + name), std::string("new ") + name);
    write_text(t.file(std::string("dst/") + name), std::string("old ") + name);
  }
  TerminalOptions job;
  job.suspend_at_prompt = true;
  job.keys = {"y", "n"};
  std::string s = t.file("src/");
  auto run = shift({s + "*", t.file("dst")}, job);
  EXPECT_EQ(run.job_report, "stopped: line\nresumed: single-key\n");
  expect_run(run,
             "Overwrite a (Yes/No/All)? Y\n" + s + "a\nOverwrite b (Yes/No/All)? N\n"
             "\t1 file moved.\n",
             "", 0);
  EXPECT_EQ(run.screen, "");  // neither the keys nor ^Z were echoed
  EXPECT_EQ(read_text(t.file("dst/a")), "new a");
  EXPECT_EQ(read_text(t.file("dst/b")), "old b");
}

TEST(FileshiftRun, SameFileIsLeftAlone) {
  TempDir t;
  make_dirs(t, {"src", "dst"});
  write_text(t.file("src/a"), "a");
  write_text(t.file("src/h"), "h");
  write_text(t.file("src/s"), "s");
  write_text(t.file("dst/l"), "l");
  ASSERT_EQ(link(t.file("src/h").c_str(), t.file("dst/h").c_str()), 0);
  ASSERT_EQ(symlink(t.file("src/s").c_str(), t.file("dst/s").c_str()), 0);
  ASSERT_EQ(symlink(t.file("dst/l").c_str(), t.file("src/l").c_str()), 0);
  expect_run(shift({t.file("src/a"), t.file("src")}),
             "Unable to move a onto itself, left alone.\n\t0 files moved.\n", "", 0);
  expect_run(shift({t.file("src/?"), t.file("dst/")}),
             t.file("src/a") + "\nUnable to move h onto itself, left alone.\n"
             "Unable to move l onto itself, left alone.\n"
             "Unable to move s onto itself, left alone.\n\t1 file moved.\n",
             "", 0);
  EXPECT_EQ(list_dir(t.file("src")), (std::vector<std::string>{"h", "l", "s"}));
  EXPECT_EQ(read_text(t.file("dst/h")), "h");
  EXPECT_EQ(read_text(t.file("dst/s")), "s");
  EXPECT_EQ(read_text(t.file("src/l")), "l");
  EXPECT_EQ(link_text(t.file("dst/s")), t.file("src/s"));
}

TEST(FileshiftRun, OverlongPathsAreRefusedNotCut) {
  TempDir t;
  make_dirs(t, {"src", "dst"});
  std::string r = real(t.path());
  std::string deep = r;  // 250 characters, the longest that leaves room for a few more
  while (deep.size() < 250) {
    deep += "/" + std::string(std::min<size_t>(60, 249 - deep.size()), 'd');
    ASSERT_EQ(mkdir(deep.c_str(), 0777), 0) << deep;
  }
  ASSERT_EQ(deep.size(), 250u);
  write_text(deep + "/x", "x");
  write_text(deep + "/longname_0123456789", "l");
  write_text(t.file("src/abcdefghij"), "a");
  write_text(t.file("src/k"), "k");
  TerminalOptions at_deep;
  at_deep.cwd = deep;
  expect_run(shift({"qqqqqqqqqqqq,*", t.file("dst")}, at_deep),
             "The path " + deep + "/qqqqqqqqqqqq is too long.\nThe path " + deep +
                 "/longname_0123456789 is too long.\n" + deep + "/x\n\t1 file moved.\n",
             "", 0);
  expect_run(shift({t.file("src/*"), deep}),
             "The path " + deep + "/abcdefghij is too long.\n" + t.file("src/k") +
                 "\n\t1 file moved.\n",
             "", 0);
  EXPECT_EQ(list_dir(t.file("src")), (std::vector<std::string>{"abcdefghij"}));

  expect_run(shift({std::string(256, 'a'), t.file("dst")}), "",
             "The file list is too long (at most 255 characters).\n", 1);
  expect_run(shift({std::string(254, ',') + "z", t.file("dst")}), "\t0 files moved.\n", "", 0);
}
