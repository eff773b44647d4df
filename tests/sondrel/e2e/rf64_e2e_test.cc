// RF64 inputs made by ffmpeg (-rf64 always) give every job kind and the
// information report the same results as their RIFF twins; outputs of odd
// data length carry the pad byte and read back in sox and ffprobe as
// their samples.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "run_program.h"
#include "test_files.h"
#include "wav_builder.h"

namespace {

const std::string SONDREL = TOOLS_BIN_DIR "/sondrel";

class Rf64 : public testing::Test {
 protected:
  void SetUp() override {
    if (std::system("sox --version >/dev/null 2>&1 && ffmpeg -version >/dev/null 2>&1 && "
                    "ffprobe -version >/dev/null 2>&1") != 0)
      GTEST_SKIP() << "sox or ffmpeg not installed";
  }
  void shell(const std::string& command) {
    const std::string line = "cd '" + dir.path() + "' && " + command + " 2>/dev/null";
    ASSERT_EQ(std::system(line.c_str()), 0) << command;
  }
  std::string output_of(const std::string& command) {
    const std::string line = "cd '" + dir.path() + "' && " + command + " 2>/dev/null";
    std::string text;
    if (FILE* pipe = popen(line.c_str(), "r")) {
      char buffer[256];
      while (std::fgets(buffer, sizeof buffer, pipe)) text += buffer;
      pclose(pipe);
    }
    return text;
  }
  // A RIFF and an RF64 copy of an input (ffmpeg's input options and name),
  // both by ffmpeg (which adds a LIST chunk).
  void twins(const std::string& from, const std::string& riff, const std::string& rf64) {
    shell("ffmpeg -nostdin -y " + from + " -c copy -rf64 never " + riff);
    shell("ffmpeg -nostdin -y " + from + " -c copy -rf64 always " + rf64);
    const Bytes made = read_file(dir.file(rf64));
    ASSERT_EQ(std::string(made.begin(), made.begin() + 4), "RF64");
    ASSERT_EQ(std::string(made.begin() + 12, made.begin() + 16), "ds64");
  }
  // Every output named a-... equals the output named b-... (and there are some).
  void expect_same_outputs(const std::string& a, const std::string& b, size_t count) {
    size_t seen = 0;
    for (const std::string& name : list_dir(dir.path())) {
      if (name.rfind(a, 0) != 0) continue;
      const std::string twin = b + name.substr(a.size());
      EXPECT_EQ(read_file(dir.file(name)), read_file(dir.file(twin))) << name << " " << twin;
      ++seen;
    }
    EXPECT_EQ(seen, count) << a;
  }
  ProgramResult run(const std::vector<std::string>& args) {
    ProgramOptions options;
    options.cwd = dir.path();
    return run_program(SONDREL, args, options);
  }
  // The report without the lines that name the file or count its header.
  static std::string report_body(const std::string& err) {
    std::istringstream lines(err);
    std::string line, kept;
    while (std::getline(lines, line))
      if (line.rfind("File Information", 0) && line.rfind("filesize", 0) &&
          line.rfind("wav data begin", 0) && line.rfind("Input filename", 0))
        kept += line + "\n";
    return kept;
  }
  TempDir dir;
};

TEST_F(Rf64, EveryJobKindAndTheReportMatchTheRiffTwin) {
  // 6 channels of 24 bits, each its own tone, 0.3 s at 48 kHz: 14,400 frames.
  shell("sox -n -b 24 -r 48000 -c 6 src6.wav synth 0.3 sine 300 sine 500 sine 700 sine 60 "
        "sine 900 sine 1100");
  twins("-i src6.wav", "six.wav", "six_rf.wav");
  shell("sox -n -b 16 -r 44100 -c 1 srcL.wav synth 0.2 sine 440");
  shell("sox -n -b 16 -r 44100 -c 1 srcR.wav synth 0.2 sine 880");
  twins("-i srcL.wav", "take_L.wav", "take_rf_L.wav");
  twins("-i srcR.wav", "take_R.wav", "take_rf_R.wav");

  const std::vector<std::vector<std::string>> jobs = {
      {"/16"}, {"/x", "/32f", "/44100"}, {"/mch", "/+FL,FR,LFE"}};
  for (size_t j = 0; j < jobs.size(); ++j) {
    std::vector<std::string> a = {"six_rf.wav", "a" + std::to_string(j)};
    std::vector<std::string> b = {"six.wav", "b" + std::to_string(j)};
    a.insert(a.end(), jobs[j].begin(), jobs[j].end());
    b.insert(b.end(), jobs[j].begin(), jobs[j].end());
    ASSERT_NE(run(a).err.find("Completed"), std::string::npos) << j;
    ASSERT_NE(run(b).err.find("Completed"), std::string::npos) << j;
    expect_same_outputs("a" + std::to_string(j), "b" + std::to_string(j), j == 0 ? 6 : 1);
  }
  ASSERT_NE(run({"take_rf_L.wav*take_rf_R.wav", "ai", "/mch"}).err.find("Completed"),
            std::string::npos);
  ASSERT_NE(run({"take_L.wav*take_R.wav", "bi", "/mch"}).err.find("Completed"),
            std::string::npos);
  expect_same_outputs("ai", "bi", 1);
  EXPECT_EQ(load_wav(dir.file("ai.wav")).data_size, 8820u * 2 * 2);

  const ProgramResult rf = run({"six_rf.wav", "/i"});
  EXPECT_NE(rf.err.find("wav data chunk: 259,200 bytes"), std::string::npos) << rf.err;
  EXPECT_NE(rf.err.find("length (samp) : 14,400 samples"), std::string::npos) << rf.err;
  EXPECT_EQ(report_body(rf.err), report_body(run({"six.wav", "/i"}).err));

  // AC-3 carried in a WAV, as RF64: the same stream found and decoded. The
  // fixture's samples are wrapped anew as 16-bit PCM (ffmpeg would rewrap
  // the AC-3 it finds in them).
  const Bytes dd = read_file(FIXTURE_DIR "/decode/ddwav_3_2L.wav");
  write_file(dir.file("dd.raw"), Bytes(dd.begin() + 44, dd.end()));
  twins("-f s16le -ar 44100 -ac 2 -i dd.raw", "dd_riff.wav", "dd_rf.wav");
  const ProgramResult info = run({"dd_rf.wav", "/i"});
  EXPECT_NE(info.err.find("Dolby Digital"), std::string::npos) << info.err;
  EXPECT_EQ(report_body(info.err), report_body(run({"dd_riff.wav", "/i"}).err));
  ASSERT_NE(run({"dd_rf.wav", "ad", "/16"}).err.find("Completed"), std::string::npos);
  ASSERT_NE(run({"dd_riff.wav", "bd", "/16"}).err.find("Completed"), std::string::npos);
  expect_same_outputs("ad", "bd", 6);
}

TEST_F(Rf64, OddDataLengthsEndInAPadByteThatReadersSkip) {
  // 48,001 frames: each 24-bit channel holds an odd number of bytes.
  shell("sox -n -b 24 -r 48000 -c 2 st.wav synth 48001s sine 300 sine 500");
  ASSERT_NE(run({"st.wav", "o"}).err.find("Completed"), std::string::npos);
  ASSERT_NE(run({"st.wav", "e", "/8"}).err.find("Completed"), std::string::npos);
  shell("sox st.wav -t s24 left24.raw remix 1");
  for (const std::string name : {"o-L.wav", "e-L.wav"}) {
    const size_t bytes = name[0] == 'o' ? 48001 * 3 : 48001;
    const Bytes file = read_file(dir.file(name));
    ASSERT_EQ(file.size(), 44 + bytes + 1) << name;
    EXPECT_EQ(file.back(), 0) << name;
    EXPECT_EQ(get_u32(file, 4), file.size() - 8) << name;
    EXPECT_EQ(get_u32(file, 40), bytes) << name;
    EXPECT_EQ(output_of("sox --i -s " + name), "48001\n") << name;
    EXPECT_EQ(output_of("ffprobe -v error -count_packets -show_entries "
                        "stream=duration_ts -of csv=p=0 " + name),
              "48001\n")
        << name;
  }
  // The 24-bit samples are exactly sox's left channel.
  EXPECT_EQ(load_wav(dir.file("o-L.wav")).data, read_file(dir.file("left24.raw")));
  // Its 8-bit form holds what sox reads back from it, no more.
  shell("sox e-L.wav -t u8 left8.raw");
  EXPECT_EQ(load_wav(dir.file("e-L.wav")).data, read_file(dir.file("left8.raw")));
}

}  // namespace
