// One CPU or all of them: the same jobs run under `taskset -c 0` and on
// every CPU the test may use write the same files, byte for byte, and the
// same console text. The jobs resample (channels split over threads),
// decode and resample with the decoder on its own thread (damaged frames, a
// layout or rate that changes, the libraries' own complaints), decode and
// convert, on fixtures and on material sox and ffmpeg make.
#include <gtest/gtest.h>

#include <sched.h>

#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "run_program.h"
#include "test_files.h"

namespace {

const std::string SONDREL = TOOLS_BIN_DIR "/sondrel";
const std::string FIXTURES = FIXTURE_DIR "/decode/";

struct Outcome {
  std::string out, err;
  std::vector<std::string> names;
  std::vector<Bytes> files;
};

// The duration in the completion line is the only text that may differ.
std::string without_duration(const std::string& err) {
  return std::regex_replace(err, std::regex(R"(in [0-9]+ secs?\] +)"), "in ELAPSED]");
}

Outcome run_in(const std::string& dir, const std::vector<std::string>& args, bool one_cpu) {
  ProgramOptions options;
  options.cwd = dir;
  std::vector<std::string> line = args;
  std::string exe = SONDREL;
  if (one_cpu) {
    line.insert(line.begin(), {"-c", "0", SONDREL});
    exe = "/usr/bin/taskset";
  }
  const ProgramResult r = run_program(exe, line, options);
  Outcome o{r.out, without_duration(r.err), list_dir(dir), {}};
  for (const std::string& name : o.names) o.files.push_back(read_file(dir + "/" + name));
  return o;
}

bool shell(const std::string& dir, const std::string& command) {
  return std::system(("cd '" + dir + "' && " + command + " >/dev/null 2>&1").c_str()) == 0;
}

}  // namespace

TEST(Threads, OneCpuAndAllCpusGiveTheSameFilesAndText) {
  cpu_set_t set;
  ASSERT_EQ(sched_getaffinity(0, sizeof set, &set), 0);
  if (CPU_COUNT(&set) < 2 || !CPU_ISSET(0, &set)) GTEST_SKIP() << "needs CPU 0 and another";
  if (std::system("(taskset -c 0 true && sox --version && ffmpeg -version) >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "taskset, sox or ffmpeg missing";
  TempDir made;
  ASSERT_TRUE(shell(made.path(), "sox -R -n -r 44100 -b 16 -c 6 six.wav synth 2.5 whitenoise "
                                 "sine 440 pinknoise sine 3000 brownnoise sine 97"));
  ASSERT_TRUE(shell(made.path(), "sox -R -n -r 48000 -b 24 -c 2 st.wav synth 2 sine 1000 "
                                 "whitenoise"));
  ASSERT_TRUE(shell(made.path(), "ffmpeg -nostdin -f lavfi -i 'sine=f=300:d=3' -f lavfi -i "
                                 "'anoisesrc=d=3:seed=7' -filter_complex "
                                 "'[0][1][0][1][0][1]amerge=inputs=6' -ac 6 -ar 48000 "
                                 "-c:a ac3 -b:a 384k -fflags +bitexact ff.ac3"));
  // A DTS stream with stretches scrambled: the library complains about
  // those frames, which become silence.
  Bytes damaged = read_file(FIXTURES + "dts_3_2L.dts");
  for (size_t at = 3000; at + 200 < damaged.size(); at += 5000)
    for (size_t k = 0; k < 40; ++k)
      damaged[at + k] = static_cast<uint8_t>(damaged[at + k] * 7 + 13);
  write_file(made.file("damaged.dts"), damaged);
  struct Job {
    std::vector<std::string> inputs;  // made here, or fixtures
    std::vector<std::string> args;
  };
  const std::vector<Job> jobs = {
      {{"six.wav"}, {"six.wav", "/48000", "/16"}},              // split, resampled, dither
      {{"six.wav"}, {"six.wav", "/x", "/96000", "/24"}},        // kept together, up
      {{"st.wav"}, {"st.wav", "/44100", "/32"}},                // stereo down
      {{"ff.ac3"}, {"ff.ac3"}},
      {{"ff.ac3"}, {"ff.ac3", "/44100", "/16"}},                // decoded on its own thread
      {{"ff.ac3"}, {"ff.ac3", "/mch", "/24"}},
      {{"dts_3_2L.dts"}, {"dts_3_2L.dts", "/mch"}},
      {{"damaged.dts"}, {"damaged.dts"}},                       // the library complains
      {{"damaged.dts"}, {"damaged.dts", "/44100", "/24"}},
      {{"dts_es.dts"}, {"dts_es.dts", "/16"}},
      {{"ac3_change.ac3"}, {"ac3_change.ac3", "/96000"}},       // stops with a message
      {{"ac3_junk.ac3"}, {"ac3_junk.ac3", "/48000"}},
      {{"dts_rate_change.dts"}, {"dts_rate_change.dts", "/96000"}},
  };
  for (const Job& job : jobs) {
    SCOPED_TRACE(job.args[0] + (job.args.size() > 1 ? " " + job.args[1] : ""));
    TempDir one, all;
    for (const std::string& in : job.inputs) {
      const std::string from =
          file_exists(made.file(in)) ? made.file(in) : FIXTURES + in;
      write_file(one.file(in), read_file(from));
      write_file(all.file(in), read_file(from));
    }
    const Outcome a = run_in(one.path(), job.args, true);
    const Outcome b = run_in(all.path(), job.args, false);
    EXPECT_GT(a.names.size(), job.inputs.size());  // the job wrote something
    EXPECT_EQ(a.out, b.out);
    EXPECT_EQ(a.err, b.err);
    EXPECT_EQ(a.names, b.names);
    EXPECT_TRUE(a.files == b.files);
  }
}
