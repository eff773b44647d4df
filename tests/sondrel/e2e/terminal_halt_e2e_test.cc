// The halt dialogue at a terminal: Ctrl-C typed on a pseudo-terminal halts
// the job, one key answers at once without echo (Enter alone is a no), and
// the terminal is left as it was found.
#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <string>
#include <vector>

#include "test_files.h"
#include "wav_builder.h"

namespace {

const std::string SONDREL = TOOLS_BIN_DIR "/sondrel";

// sondrel with a pseudo-terminal as controlling terminal and standard input;
// its standard output and error go to one pipe, the terminal's echo to `screen`.
struct TerminalRun {
  int master = -1, pipe_in = -1;
  pid_t pid = -1;
  bool ended = false;  // its output pipe was closed
  std::string err, screen;

  TerminalRun(const std::string& cwd, const std::vector<std::string>& args) {
    int slave = -1, ends[2];
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0 || pipe(ends) != 0) return;
    pid = fork();
    if (pid == 0) {
      setsid();
      ioctl(slave, TIOCSCTTY, 0);
      dup2(slave, 0);
      dup2(ends[1], 1);
      dup2(ends[1], 2);
      for (int fd = 3; fd < 256; ++fd) close(fd);
      std::vector<char*> argv{const_cast<char*>(SONDREL.c_str())};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      if (chdir(cwd.c_str()) == 0) execv(SONDREL.c_str(), argv.data());
      _exit(127);
    }
    close(slave);
    close(ends[1]);
    pipe_in = ends[0];
  }
  ~TerminalRun() {
    if (pipe_in >= 0) close(pipe_in);
    if (master >= 0) close(master);
  }
  bool single_key_mode() {
    struct termios t {};
    return tcgetattr(master, &t) == 0 && !(t.c_lflag & (ICANON | ECHO));
  }
  // Collects output until `done` holds, the output ends, or 10 s pass.
  template <typename Done> bool read_until(Done done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end || ended || pipe_in < 0) return false;
      struct pollfd fds[2] = {{pipe_in, POLLIN, 0}, {master, POLLIN, 0}};
      if (poll(fds, 2, 10) <= 0) continue;
      char buffer[4096];
      if (fds[1].revents & POLLIN) {
        const ssize_t n = read(master, buffer, sizeof buffer);
        if (n > 0) screen.append(buffer, static_cast<size_t>(n));
      }
      if (fds[0].revents & (POLLIN | POLLHUP)) {
        const ssize_t n = read(pipe_in, buffer, sizeof buffer);
        if (n > 0) err.append(buffer, static_cast<size_t>(n));
        ended = n <= 0;
      }
    }
    return true;
  }
  // Waits for the program to end (killing it when it does not) and returns
  // true when it ended by itself with status 0.
  bool finish() {
    const bool by_itself = read_until([&] { return ended; });
    if (!by_itself) kill(pid, SIGKILL);
    int status = -1;
    waitpid(pid, &status, 0);
    return by_itself && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  void type(const std::string& keys) {
    ASSERT_EQ(write(master, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  }
};

size_t count(const std::string& text, const std::string& needle) {
  size_t n = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
  return n;
}

TEST(TerminalHalt, OneKeyAnswersWithoutEchoAndTheTerminalIsRestored) {
  TempDir dir;
  WavLayout layout;
  layout.channels = 2;
  layout.bits = 24;
  write_file(dir.file("in.wav"), make_wav(layout, Bytes(40u * 48000 * 6, 0)));
  for (const std::string key : {"n", "\r", "y"}) {
    TerminalRun run(dir.path(), {"in.wav", "out", "/96000"});
    ASSERT_GT(run.pid, 0);
    // Ctrl-C once the job has printed progress, the key once the prompt waits.
    ASSERT_TRUE(run.read_until([&] { return count(run.err, "Processing..... ") >= 2; }))
        << run.err;
    run.type("\x03");
    ASSERT_TRUE(run.read_until([&] {
      return count(run.err, "\nResume? (y/n): ") == 1 && run.single_key_mode();
    })) << run.err;
    const size_t echoed = run.screen.size();
    run.type(key);
    ASSERT_TRUE(run.finish()) << "no answer taken from the single key " << int(key[0]);
    EXPECT_EQ(run.screen.substr(echoed), "") << "the key was echoed";
    struct termios after {};
    ASSERT_EQ(tcgetattr(run.master, &after), 0);
    EXPECT_EQ(after.c_lflag & (ICANON | ECHO), static_cast<tcflag_t>(ICANON | ECHO));
    if (key == "y") {
      EXPECT_NE(run.err.find("Processing: Completed. [in "), std::string::npos) << run.err;
    } else {
      // The aborted line ends in a carriage return; the program ends the line.
      const std::string aborted = "Processing: Aborted by user!" + std::string(51, ' ') + "\r\n";
      EXPECT_EQ(run.err.substr(run.err.size() - aborted.size()), aborted) << run.err;
    }
  }
}

}  // namespace
