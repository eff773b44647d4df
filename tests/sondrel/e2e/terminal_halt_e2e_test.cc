// The halt dialogue at a terminal: Ctrl-C typed on a pseudo-terminal halts
// the job, one key answers at once without echo (Enter alone is a no), and
// the terminal is left as it was found, also across a Ctrl-Z and after a
// SIGTERM at the prompt.
#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <string>

#include "test_files.h"
#include "wav_builder.h"

namespace {

// sondrel in `cwd` with a pseudo-terminal as its controlling terminal and
// console, run as a shell runs a job: in its own foreground process group, so
// that Ctrl-Z stops it. `text` collects what the terminal shows.
struct TerminalRun {
  int terminal = -1;
  pid_t pid = -1;
  std::string text;

  explicit TerminalRun(const std::string& cwd) {
    if ((pid = forkpty(&terminal, nullptr, nullptr, nullptr)) != 0) return;
    const pid_t job = fork();  // this process stays as the session's "shell"
    if (job == 0) {
      const char* sondrel = TOOLS_BIN_DIR "/sondrel";
      setpgid(0, 0);
      if (chdir(cwd.c_str()) == 0) execl(sondrel, sondrel, "in.wav", "out", "/96000", nullptr);
      _exit(127);
    }
    setpgid(job, job);
    tcsetpgrp(0, job);
    int status = 0;
    waitpid(job, &status, 0);
    _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
  }
  ~TerminalRun() {
    if (pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    close(terminal);
  }
  // Reads output until `done` holds; false when the output ends or 10 s pass first.
  template <typename Done> bool read_until(Done done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
      struct pollfd wait = {terminal, POLLIN, 0};
      if (std::chrono::steady_clock::now() > end) return false;
      if (poll(&wait, 1, 10) <= 0) continue;
      char buffer[4096];
      const ssize_t n = read(terminal, buffer, sizeof buffer);
      if (n <= 0) return done();
      text.append(buffer, static_cast<size_t>(n));
    }
    return true;
  }
  void signal_job(int signal_number) { kill(-tcgetpgrp(terminal), signal_number); }
  tcflag_t modes() {
    struct termios t {};
    tcgetattr(terminal, &t);
    return t.c_lflag & (ICANON | ECHO);
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
  // The terminal shows a line end as "\r\n".
  const std::string aborted = "Processing: Aborted by user!" + std::string(51, ' ') + "\r\r\n";
  const tcflag_t line_mode = ICANON | ECHO;
  for (const char* key : {"n", "\r", "y", "TERM"}) {
    TerminalRun run(dir.path());
    ASSERT_GT(run.pid, 0);
    // Ctrl-C once the job shows progress; the key once the prompt waits in single-key mode.
    ASSERT_TRUE(run.read_until([&] { return count(run.text, "Processing..... ") >= 2; }));
    ASSERT_EQ(write(run.terminal, "\x03", 1), 1);
    ASSERT_TRUE(run.read_until([&] {
      return count(run.text, "\nResume? (y/n): ") == 1 && run.modes() == 0;
    })) << run.text;
    if (*key == 'y') {  // Ctrl-Z gives the terminal back as it was; fg takes single keys again
      ASSERT_EQ(write(run.terminal, "\x1a", 1), 1);
      ASSERT_TRUE(run.read_until([&] { return run.modes() == line_mode; }));
      run.signal_job(SIGCONT);
      ASSERT_TRUE(run.read_until([&] { return run.modes() == 0; }));
    }
    if (*key == 'T') {
      run.signal_job(SIGTERM);
      int status = -1;
      ASSERT_EQ(waitpid(run.pid, &status, 0), run.pid);
      EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
      EXPECT_EQ(run.modes(), line_mode);
      continue;
    }
    ASSERT_EQ(write(run.terminal, key, 1), 1);
    const std::string end = *key == 'y' ? "Completed. [in " : aborted;
    ASSERT_TRUE(run.read_until([&] { return run.text.find(end) != std::string::npos; }))
        << "no answer taken from the key " << int(*key) << ": " << run.text;
    run.read_until([] { return false; });  // the rest of the output
    int status = -1;
    ASSERT_EQ(waitpid(run.pid, &status, 0), run.pid);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(run.text.find(std::string("(y/n): ") + key), std::string::npos) << "echoed";
    EXPECT_EQ(run.modes(), line_mode);
    // An aborted job's last line ends in a carriage return; the line is ended at exit.
    if (*key != 'y') {
      EXPECT_EQ(run.text.substr(run.text.size() - aborted.size()), aborted);
    }
  }
}

}  // namespace
