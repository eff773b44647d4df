// Ctrl-C during a PCM WAV job, answered on standard input: 'n' leaves valid
// outputs whose headers match their lengths; 'y' finishes outputs identical
// to an uninterrupted run; time at the prompt is not counted. The signal is
// sent once the progress line shows part of the job done, so it lands in
// the middle of the job however fast the machine.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "run_program.h"
#include "test_files.h"
#include "wav_builder.h"

namespace {

const std::string SONDREL = TOOLS_BIN_DIR "/sondrel";

// A 4-channel 24-bit file of `seconds` seconds of noise-like content; the
// job resamples it to 96 kHz so that it runs long enough to be interrupted.
void make_input(const std::string& path, int seconds) {
  WavLayout layout;
  layout.channels = 4;
  layout.bits = 24;
  const size_t samples = static_cast<size_t>(seconds) * 48000 * 4;
  std::vector<int64_t> v(samples);
  uint32_t state = 12345;
  for (size_t i = 0; i < samples; ++i) {
    state = state * 1664525u + 1013904223u;
    v[i] = static_cast<int32_t>(state >> 8) - 8388608;
    v[i] /= 4;
  }
  write_file(path, make_wav(layout, pack_int_samples(v, 24)));
}

const std::vector<std::string> JOB = {"in.wav", "out", "/96000", "/d0"};
const char* const OUTPUTS[] = {"out-FL.wav", "out-FR.wav", "out-BL.wav", "out-BR.wav"};

// Output bytes of each file of the whole job: 20 s at 96 kHz, 3 bytes.
constexpr uint32_t WHOLE_OUTPUT = 20 * 96000 * 3;

// Waits until the progress line shows between 1% and 99% of the job done.
bool wait_for_progress(RunningProgram& program, double seconds) {
  static const std::regex partly_done("Processing\\.\\.\\.\\.\\. [1-9][0-9]?%\r");
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!std::regex_search(program.poll_err(), partly_done)) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// Runs the job, interrupts it once its progress line shows part of it done,
// waits `pause` at the prompt, answers.
ProgramResult interrupted_run(const TempDir& dir, const std::string& answer, double pause) {
  ProgramOptions options;
  options.cwd = dir.path();
  options.close_stdin = false;
  RunningProgram program(SONDREL, JOB, options);
  EXPECT_TRUE(wait_for_progress(program, 120)) << program.poll_err();
  program.send_signal(SIGINT);
  EXPECT_TRUE(program.wait_for_err("\nResume? (y/n): ", 60)) << program.poll_err();
  std::this_thread::sleep_for(std::chrono::duration<double>(pause));
  program.write_input(answer);
  program.close_input();
  return program.wait();
}

void expect_sizes_match(const std::string& path) {
  Bytes file = read_file(path);
  WavFile w = parse_wav(file);
  ASSERT_TRUE(w.valid) << path;
  EXPECT_EQ(w.riff_size, file.size() - 8) << path;
  // Sample data of odd length is followed by a zero pad byte.
  EXPECT_EQ(w.data_size + (w.data_size & 1), file.size() - 44) << path;
  if (w.data_size & 1) {
    EXPECT_EQ(file.back(), 0) << path;
  }
}

TEST(PcmHalt, AbortLeavesValidOutputs) {
  TempDir dir;
  make_input(dir.file("in.wav"), 20);
  ProgramResult r = interrupted_run(dir, "n\n", 0.0);
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_NE(r.err.find("\rProcessing: Halted (Free up disc space/check output files - close on resume)"),
            std::string::npos);
  EXPECT_NE(r.err.find("Processing: Aborted by user!"), std::string::npos);
  EXPECT_EQ(r.err.find("Completed"), std::string::npos);
  for (const char* name : OUTPUTS) {
    expect_sizes_match(dir.file(name));
    const WavFile w = load_wav(dir.file(name));
    EXPECT_GT(w.data_size, 0u) << name;
    EXPECT_LT(w.data_size, WHOLE_OUTPUT) << name;
  }
}

TEST(PcmHalt, ResumeFinishesTheSameOutputsAndDoesNotCountThePause) {
  TempDir whole, halted;
  make_input(whole.file("in.wav"), 20);
  write_file(halted.file("in.wav"), read_file(whole.file("in.wav")));
  ProgramOptions options;
  options.cwd = whole.path();
  ProgramResult plain = run_program(SONDREL, JOB, options);
  ASSERT_NE(plain.err.find("Processing: Completed. [in "), std::string::npos) << plain.err;

  const auto start = std::chrono::steady_clock::now();
  ProgramResult r = interrupted_run(halted, "y\n", 4.0);
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_NE(r.err.find("Processing: Completed. [in "), std::string::npos) << r.err;
  for (const char* name : OUTPUTS)
    EXPECT_EQ(read_file(halted.file(name)), read_file(whole.file(name))) << name;

  // The reported duration leaves the four seconds at the prompt out.
  const size_t at = r.err.find("Completed. [in ") + 15;
  const std::string duration = r.err.substr(at, r.err.find(']', at) - at);
  ASSERT_NE(duration.find(" sec"), std::string::npos) << duration;
  ASSERT_EQ(duration.find("min"), std::string::npos) << duration;
  EXPECT_LE(std::atoi(duration.c_str()), static_cast<int>(wall - 4.0) + 1) << duration;
}

}  // namespace
