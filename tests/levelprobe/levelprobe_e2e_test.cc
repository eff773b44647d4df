// The built program on the committed fixtures (tests/fixtures/make_levelprobe.sh):
// exact output bytes, exit status 0 and nothing on standard error; and the
// factor cross-checked against sox and ffmpeg on the same files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "run_program.h"
#include "test_files.h"

namespace {

const std::string kProgram = std::string(TOOLS_BIN_DIR) + "/levelprobe";
const std::string kFixtures = std::string(FIXTURE_DIR) + "/levelprobe/";

ProgramResult probe(const std::vector<std::string>& args) {
  ProgramResult r = run_program(kProgram, args);
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.err, "");
  return r;
}

std::string report(const char* factor) {
  return std::string("\r0.00%     \r100%     \nAmplify by ") + factor + " for full-scale.\n";
}

TEST(LevelprobeProgram, UsageAndArguments) {
  const std::string usage = "levelprobe v1.0.0\n\nUsage: \nlevelprobe source_path\n";
  EXPECT_EQ(probe({}).out, usage);
  // Only the first argument counts.
  EXPECT_EQ(probe({kFixtures + "mono16.avi", "extra", "/x"}).out, report("3.276800"));
  EXPECT_EQ(probe({kFixtures + "missing.avi"}).out, "\rAVIFileOpen failed!\n");
  EXPECT_EQ(probe({""}).out, "\rAVIFileOpen failed!\n");
}

TEST(LevelprobeProgram, ReportsThePeakOfEveryReadableFixture) {
  // Peaks as the fixture script made them; the factor is 32768 / peak.
  const std::pair<const char*, std::string> cases[] = {
      {"mono16.avi", report("3.276800")},               // -10000
      {"stereo16.avi", report("1.638400")},             // 20000 on the right channel only
      {"surround51.avi", report("2.000000")},           // 16384 on the fourth of six channels
      {"video_audio.avi", report("2.654354")},          // -12345, audio after a video stream
      {"two_audio.avi", report("4.000000")},            // 8192; the second audio stream is louder
      {"full_scale_negative.avi", report("1.000000")},  // -32768
      {"opendml.avi", report("1.820444")},              // 18000 in the 'AVIX' part
      {"plain.wav", report("1.333333")},                // 24576
      {"list_chunk.wav", report("2.000000")},           // -16384 after a LIST chunk
      {"piped.wav", report("1.638400")},                // -20000, sizes 0xFFFFFFFF
      {"unfinished.wav", report("1.310720")},           // 25000, sizes 0, stereo
      {"silent.avi", report("inf")},
      {"empty.avi", "\r100%     \nAmplify by inf for full-scale.\n"},
      {"empty.wav", "\r100%     \nAmplify by inf for full-scale.\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(probe({kFixtures + c.first}).out, c.second) << c.first;
}

TEST(LevelprobeProgram, EachRefusalComesFromTheStepThatFails) {
  const std::pair<const char*, const char*> cases[] = {
      {"not_media.txt", "\rAVIFileOpen failed!\n"},
      {"list_past_end.avi", "\rAVIFileOpen failed!\n"},
      {"index_outside_movi.avi", "\rAVIFileOpen failed!\n"},
      {"video_only.avi", "\rAVIFileGetStream failed!\n"},
      {"length_too_long.avi", "\rAVIStreamInfo failed!\n"},
      {"ac3.avi", "\rAudio must be in PCM format!\n"},
      {"extensible.wav", "\rAudio must be in PCM format!\n"},
      {"pcm24_extensible.avi", "\rAudio must be in PCM format!\n"},
      {"pcm8.avi", "\rAudio must be 16 bits per sample!\n"},
      {"pcm24.avi", "\rAudio must be 16 bits per sample!\n"},
      // The data runs out before the stream's length: the first block is
      // read and shown, the next read fails.
      {"truncated.avi", "\r0.00%     \rAVIStreamRead failed!\n"},
      {"truncated.wav", "\r0.00%     \rAVIStreamRead failed!\n"},
      {"chunk_past_end.wav", "\r0.00%     \rAVIStreamRead failed!\n"},
      {"length_past_data.avi", "\r0.00%     \rAVIStreamRead failed!\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(probe({kFixtures + c.first}).out, c.second) << c.first;
}

// A FIFO or a device named as the input is refused at once, like a file that
// cannot be opened; the run is bounded so that a hang fails instead of waiting.
TEST(LevelprobeProgram, RefusesFifosAndDevicesWithoutBlocking) {
  TempDir dir;
  ASSERT_EQ(mkfifo(dir.file("pipe.avi").c_str(), 0644), 0);
  ASSERT_EQ(symlink("/dev/zero", dir.file("zero.wav").c_str()), 0);
  for (const char* name : {"pipe.avi", "zero.wav"}) {
    ProgramResult r =
        run_program("/usr/bin/timeout", {"-s", "KILL", "10", kProgram, dir.file(name)});
    EXPECT_EQ(r.exit_status, 0) << name;
    EXPECT_EQ(r.out, "\rAVIFileOpen failed!\n") << name;
  }
}

// Runs a shell command and returns its standard output and error.
std::string shell(const std::string& command) {
  std::string text;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return text;
  char buffer[512];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
  pclose(pipe);
  return text;
}

double number_after(const std::string& text, const std::string& label) {
  size_t at = text.find(label);
  if (at == std::string::npos) return NAN;
  return std::atof(text.c_str() + at + label.size());
}

double probed_factor(const std::string& file) {
  return number_after(probe({kFixtures + file}).out, "Amplify by ");
}

TEST(LevelprobeProgram, FactorAgreesWithSoxAndFfmpeg) {
  if (shell("command -v sox").empty() || shell("command -v ffmpeg").empty())
    GTEST_SKIP() << "sox or ffmpeg not installed";
  // sox's stat prints the same gain as "Volume adjustment", with 3 decimals.
  for (const char* file : {"plain.wav", "list_chunk.wav"}) {
    double sox = number_after(shell("sox '" + kFixtures + file + "' -n stat"), "Volume adjustment:");
    ASSERT_FALSE(std::isnan(sox)) << file;
    EXPECT_NEAR(probed_factor(file), sox, 0.0005) << file;
  }
  // ffmpeg's volumedetect gives the peak in dB below full scale, with 1 decimal.
  for (const char* file : {"stereo16.avi", "video_audio.avi", "surround51.avi", "mono16.avi",
                           "piped.wav", "unfinished.wav"}) {
    std::string out = shell("ffmpeg -nostdin -hide_banner -i '" + kFixtures + file +
                            "' -map 0:a:0 -af volumedetect -f null -");
    double max_db = number_after(out, "max_volume:");
    ASSERT_FALSE(std::isnan(max_db)) << file << out;
    EXPECT_NEAR(20.0 * std::log10(probed_factor(file)), -max_db, 0.051) << file;
  }
}

}  // namespace

TEST(LevelprobeProgram, Rf64FromFfmpegReportsAsItsRiffTwin) {
  if (shell("command -v ffmpeg").empty()) GTEST_SKIP() << "ffmpeg not installed";
  TempDir dir;
  const std::string rf64 = dir.file("rf64.wav");
  shell("ffmpeg -nostdin -y -i '" + kFixtures + "plain.wav' -c copy -rf64 always '" + rf64 + "'");
  Bytes made = read_file(rf64);
  ASSERT_EQ(std::string(made.begin(), made.begin() + 4), "RF64");
  const std::string twin = probe({kFixtures + "plain.wav"}).out;
  EXPECT_EQ(probe({rf64}).out, twin);
  // Loud bytes after the data that ds64 declares are no samples: the data
  // chunk's own size (0xFFFFFFFF) does not send the reader to the end.
  made.insert(made.end(), 4000, 0x7F);
  write_file(rf64, made);
  EXPECT_EQ(probe({rf64}).out, twin);
}
