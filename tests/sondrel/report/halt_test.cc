// The Ctrl-C handler and the halt dialogue on real output files, with the
// console's three streams replaced by pipes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "report/halt.h"
#include "test_files.h"
#include "wav/outputs.h"
#include "wav/wav_writer.h"

namespace {

// Standard input, output and error on pipes for the length of a test.
class Console {
 public:
  Console() {
    std::fflush(stdout);
    std::fflush(stderr);
    for (int fd = 0; fd < 3; ++fd) {
      int ends[2];
      EXPECT_EQ(pipe(ends), 0);
      saved_[fd] = dup(fd);
      if (fd == 0) {
        dup2(ends[0], 0);
        close(ends[0]);
        feed_ = ends[1];
      } else {
        dup2(ends[1], fd);
        close(ends[1]);
        read_end_[fd] = ends[0];
        fcntl(ends[0], F_SETFL, O_NONBLOCK);
      }
    }
  }
  ~Console() {
    std::fflush(stdout);
    std::fflush(stderr);
    for (int fd = 0; fd < 3; ++fd) {
      dup2(saved_[fd], fd);
      close(saved_[fd]);
    }
    if (feed_ >= 0) close(feed_);
    close(read_end_[1]);
    close(read_end_[2]);
  }
  void type(const std::string& text) {
    EXPECT_EQ(write(feed_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  void end_input() {
    close(feed_);
    feed_ = -1;
  }
  // Everything written so far to standard output (1) or error (2).
  std::string& drain(int fd) {
    std::fflush(fd == 1 ? stdout : stderr);
    char buffer[4096];
    ssize_t n;
    while ((n = read(read_end_[fd], buffer, sizeof buffer)) > 0) text_[fd].append(buffer, n);
    return text_[fd];
  }
  // Waits until `what` has been written to the stream, counting from `from`.
  void wait_for(int fd, const std::string& what, size_t from = 0) {
    while (drain(fd).find(what, from) == std::string::npos) std::this_thread::yield();
  }

 private:
  int saved_[3] = {-1, -1, -1};
  int read_end_[3] = {-1, -1, -1};
  int feed_ = -1;
  std::string text_[3];
};

uint64_t fake_ms = 0;
uint64_t fake_clock() {
  const uint64_t now = fake_ms;
  fake_ms += 30000;  // every reading is 30 s after the last
  return now;
}

const std::string halted =
    "\rProcessing: Halted (Free up disc space/check output files - close on resume)";
const std::string question = "\nResume? (y/n): ";
const std::string aborted = "Processing: Aborted by user!" + std::string(51, ' ') + "\r";

// A job halted with two outputs open, 100 and 40 bytes of samples written.
class Halt : public testing::Test {
 protected:
  TempDir dir;
  JobSettings s;
  JobOutputs out;
  FILE* const* outputs = out.files;
  std::string names[2];

  void SetUp() override {
    init_job_settings(&s);
    std::snprintf(s.status_label, sizeof s.status_label, "Processing");
    ASSERT_EQ(alloc_out_names(&s, 2), 0);
    for (int k = 0; k < 2; ++k) {
      names[k] = dir.file("out-" + std::to_string(k) + ".wav");
      std::snprintf(s.out_names[k], OUT_NAME_CAPACITY, "%s", names[k].c_str());
    }
    int32_t failed = 0;
    ASSERT_EQ(outputs_create(&out, s.out_names, 2, wav_plain_header, PLAIN_HEADER_BYTES, 0, 0,
                             &failed),
              OUTPUTS_CREATED);
    write(0, std::string(100, 'a'));
    write(1, std::string(40, 'a'));
    halt_flag = 1;
    fake_ms = 5000;
    platform_set_clock(fake_clock);
  }
  void TearDown() override {
    platform_set_clock(nullptr);
    outputs_release(&out);
    free_out_names(&s);
    halt_flag = 0;
  }
  void write(int k, const std::string& text) {
    ASSERT_TRUE(outputs_write(&out, k, text.data(), text.size()));
  }
  uint32_t data_size(int k) { return get_u32(read_file(names[k]), 40); }
};

}  // namespace

TEST(CtrlC, HandlerOnlySetsTheFlagAndArmingInstallsIt) {
  halt_flag = 0;
  on_ctrl_c(SIGINT);
  EXPECT_EQ(halt_flag, 1);
  halt_flag = 0;
  arm_ctrl_c();
  std::raise(SIGINT);  // would end the test program if the handler were missing
  EXPECT_EQ(halt_flag, 1);
  halt_flag = 0;
  signal(SIGINT, SIG_DFL);
}

TEST_F(Halt, NoAbortsWithFixedHeadersAndClosedOutputs) {
  Console console;
  console.type("n\n");
  const int result = halt_and_ask(&s, &out);
  const std::string err = console.drain(2);
  const std::string out = console.drain(1);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(err, halted + question + aborted);
  EXPECT_EQ(out, "");
  EXPECT_EQ(outputs[0], nullptr);
  EXPECT_EQ(outputs[1], nullptr);
  EXPECT_EQ(data_size(0), 100u);
  EXPECT_EQ(data_size(1), 40u);
  EXPECT_EQ(get_u32(read_file(names[0]), 4), 136u);
  EXPECT_EQ(halt_flag, 1);  // only a resume clears it
}

TEST_F(Halt, EndOfInputAborts) {
  Console console;
  console.end_input();
  const int result = halt_and_ask(&s, &out);
  EXPECT_EQ(console.drain(2), halted + question + aborted);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(outputs[0], nullptr);
}

TEST_F(Halt, YesReopensForAppendingAndLeavesTheHaltOutOfTheTime) {
  s.paused_time = 1.0;
  Console console;
  console.type("\nY\n");  // line ends are passed over; upper case counts
  const int result = halt_and_ask(&s, &out);
  EXPECT_EQ(console.drain(2), halted + question);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(halt_flag, 0);
  EXPECT_DOUBLE_EQ(s.paused_time, 31.0);  // one 30 s step of the clock
  ASSERT_NE(outputs[0], nullptr);
  ASSERT_NE(outputs[1], nullptr);
  // Sizes are already valid while halted; new samples go after the old ones.
  EXPECT_EQ(data_size(0), 100u);
  write(0, "bbbb");
  ASSERT_EQ(wav_fix_sizes(&out), 0);
  const Bytes first = read_file(names[0]);
  ASSERT_EQ(first.size(), 148u);
  EXPECT_EQ(first[143], 'a');
  EXPECT_EQ(first[144], 'b');
  EXPECT_EQ(get_u32(first, 40), 104u);
  EXPECT_EQ(data_size(1), 40u);
  // The handler is armed again for the next Ctrl-C.
  std::raise(SIGINT);
  EXPECT_EQ(halt_flag, 1);
  signal(SIGINT, SIG_DFL);
}

TEST_F(Halt, AnOutputThatCannotBeReopenedAsksAgain) {
  Console console;
  std::string held = names[1] + ".held";
  int result = -1;
  std::thread job([&] { result = halt_and_ask(&s, &out); });
  // While the question waits, output 1's name is taken by a directory.
  console.wait_for(2, question);
  ASSERT_EQ(rename(names[1].c_str(), held.c_str()), 0);
  ASSERT_EQ(mkdir(names[1].c_str(), 0700), 0);
  console.type("y");
  console.wait_for(1, "try again!\n");
  const size_t first = console.drain(2).find(question);
  console.wait_for(2, question, first + 1);
  // Freed again: the next yes goes on with the output that failed.
  rmdir(names[1].c_str());
  rename(held.c_str(), names[1].c_str());
  console.type("y");
  job.join();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(console.drain(1),
            "Unable to write to file. Please close any open output wavs and try again!\n");
  EXPECT_EQ(console.drain(2), halted + question + question);
  ASSERT_NE(outputs[0], nullptr);
  ASSERT_NE(outputs[1], nullptr);
  write(1, "cc");
  ASSERT_EQ(wav_fix_sizes(&out), 0);
  EXPECT_EQ(data_size(1), 42u);
  EXPECT_EQ(halt_flag, 0);
  signal(SIGINT, SIG_DFL);
}

TEST_F(Halt, GivingUpAfterAFailedReopenClosesWhatWasReopened) {
  Console console;
  ASSERT_EQ(wav_fix_sizes(&out), 0);  // as if halted once before
  ASSERT_EQ(unlink(names[1].c_str()), 0);
  ASSERT_EQ(mkdir(names[1].c_str(), 0700), 0);
  out.files[0] = std::fopen(names[0].c_str(), "ab");  // a resume that got one open
  halt_flag = 1;
  console.type("y\nn\n");
  const int result = halt_and_ask(&s, &out);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(console.drain(1),
            "Unable to write to file. Please close any open output wavs and try again!\n");
  EXPECT_EQ(console.drain(2), halted + question + question + aborted);
  EXPECT_EQ(outputs[0], nullptr);
  EXPECT_EQ(outputs[1], nullptr);
  EXPECT_EQ(data_size(0), 100u);
}

TEST_F(Halt, AHeaderThatCannotBeFixedEndsTheDialogueAtOnce) {
  Console console;
  ASSERT_EQ(unlink(names[0].c_str()), 0);
  ASSERT_EQ(mkdir(names[0].c_str(), 0700), 0);
  console.type("y\n");
  const int result = halt_and_ask(&s, &out);
  EXPECT_EQ(result, 2);
  EXPECT_EQ(console.drain(1), "Unable to write to file. Please close all open output wavs!\n");
  EXPECT_EQ(console.drain(2), "");  // no question asked
  EXPECT_EQ(halt_flag, 1);
  EXPECT_NE(outputs[0], nullptr);  // still open, closed once by the fixture
  EXPECT_NE(outputs[1], nullptr);
}
