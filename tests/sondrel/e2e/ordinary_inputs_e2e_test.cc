// Everyday inputs made by sox and ffmpeg: batches that would write over
// their own inputs or earlier outputs, a wildcard list whose last file looks
// like a prefix, the prefix of a batch whose first file is skipped, FIFOs and
// devices, a piped WAV, and headers whose chunks are no speaker mask or no
// data chunk.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

#include "run_program.h"
#include "test_files.h"
#include "wav_builder.h"

namespace {

const std::string SONDREL = TOOLS_BIN_DIR "/sondrel";

class OrdinaryInputs : public testing::Test {
 protected:
  void SetUp() override {
    if (std::system("sox --version >/dev/null 2>&1 && ffmpeg -version >/dev/null 2>&1") != 0)
      GTEST_SKIP() << "sox or ffmpeg not installed";
  }
  void shell(const std::string& command) {
    const std::string line = "cd '" + dir.path() + "' && " + command + " 2>/dev/null";
    ASSERT_EQ(std::system(line.c_str()), 0) << command;
  }
  void sox(const std::string& name, int channels, const char* tone) {
    shell("sox -n -b 16 -r 48000 -c " + std::to_string(channels) + " " + name +
          " synth 0.1 sine " + tone);
  }
  ProgramResult run(const std::vector<std::string>& args) {
    ProgramOptions options;
    options.cwd = dir.path();
    return run_program(SONDREL, args, options);
  }
  static bool has(const ProgramResult& r, const std::string& text) {
    return r.err.find(text) != std::string::npos;
  }
  TempDir dir;
};

TEST_F(OrdinaryInputs, BatchesNeverWriteOverTheirInputsOrEarlierOutputs) {
  sox("st.wav", 2, "440");
  sox("st-L.wav", 6, "300");
  const Bytes six = read_file(dir.file("st-L.wav"));
  ProgramResult r = run({"st.wav*st-L.wav", "/q"});
  EXPECT_TRUE(has(r, "Error: Output file st-L.wav is the input file st-L.wav; file skipped, "
                     "input untouched.\n")) << r.err;
  EXPECT_EQ(read_file(dir.file("st-L.wav")), six);
  EXPECT_FALSE(file_exists(dir.file("st-R.wav")));  // nothing of the job was opened
  EXPECT_EQ(load_wav(dir.file("st-L-SR.wav")).data.size(), 9600u);

  // A stream's centre output named like a later input.
  write_file(dir.file("movie.ac3"), read_file(FIXTURE_DIR "/decode/ac3_3_0_48.ac3"));
  write_file(dir.file("movie-C.wav"), six);
  r = run({"movie.ac3*movie-C.wav", "/q"});
  EXPECT_TRUE(has(r, "Error: Output file movie-C.wav is the input file movie-C.wav;")) << r.err;
  EXPECT_EQ(read_file(dir.file("movie-C.wav")), six);

  // Two inputs of one name: the second job would replace the first's outputs.
  make_directory(dir.file("ep1"));
  make_directory(dir.file("ep2"));
  sox("ep1/track.wav", 2, "440");
  sox("ep2/track.wav", 2, "1000");
  r = run({"ep1/track.wav*ep2/track.wav", "/q"});
  EXPECT_TRUE(has(r, "Error: Output file track-L.wav was already written by an earlier job of "
                     "this run; file skipped, that output kept.\n")) << r.err;
  const Bytes first = load_wav(dir.file("ep1/track.wav")).data;
  Bytes first_left;
  for (size_t k = 0; k + 1 < first.size(); k += 4)
    first_left.insert(first_left.end(), {first[k], first[k + 1]});
  EXPECT_EQ(load_wav(dir.file("track-L.wav")).data, first_left);
}

TEST_F(OrdinaryInputs, WildcardListsAndTheFirstJobsPrefix) {
  sox("mix.wav", 2, "440");
  sox("stems.wav", 2, "660");
  const Bytes stems = read_file(dir.file("stems.wav"));
  EXPECT_EQ(run({"mix.wav", "stems.wav", "/x", "/24"}).err,
            "Error: The output name stems.wav is an existing file; it is not used, so that it is "
            "not overwritten.\nSeveral input files are joined with '*' in one quoted argument "
            "(\"a.wav*b.wav\"). To reuse the name, delete the file first.\n");
  EXPECT_EQ(read_file(dir.file("stems.wav")), stems);
  EXPECT_EQ(list_dir(dir.path()).size(), 2u);
  run({"mix.wav", "new.wav", "/x", "/24", "/q"});  // a new name is a prefix as before
  EXPECT_EQ(load_wav(dir.file("new.wav")).bits, 24);

  // The first file has no LFE and is skipped; the prefix names the next job.
  sox("six.wav", 6, "300");
  ProgramResult r = run({"mix.wav*six.wav", "pre", "/+LFE", "/q"});
  EXPECT_TRUE(has(r, "Output file(s): pre-LFE.wav\n")) << r.err;
  EXPECT_TRUE(file_exists(dir.file("pre-LFE.wav")));
}

TEST_F(OrdinaryInputs, FifosAndDevicesAreRefusedWithoutWaiting) {
  ASSERT_EQ(mkfifo(dir.file("p.wav").c_str(), 0600), 0);
  ASSERT_EQ(symlink("/dev/zero", dir.file("z.ac3").c_str()), 0);
  sox("ok.wav", 1, "440");
  ProgramOptions options;
  options.cwd = dir.path();
  RunningProgram program(SONDREL, {"p.wav*z.ac3*ok.wav", "/q"}, options);
  const bool finished = program.wait_for_err("Completed", 20);
  if (!finished) program.send_signal(SIGKILL);
  ProgramResult r = program.wait();
  ASSERT_TRUE(finished) << r.err;
  EXPECT_EQ(r.err.rfind("Error: Unable to open file: p.wav [skipping file]\n"
                        "Error: Unable to open file: z.ac3 [skipping file]\n", 0), 0u) << r.err;
}

TEST_F(OrdinaryInputs, PipedWavsAndChunksThatAreNoMask) {
  shell("ffmpeg -f lavfi -i sine=sample_rate=48000:duration=1 -ac 2 -c:a pcm_s16le -f wav "
        "pipe:1 > piped.wav");
  ProgramResult info = run({"piped.wav", "/i"});
  EXPECT_TRUE(has(info, "wav data chunk: 192,000 bytes\n")) << info.err;
  EXPECT_TRUE(has(info, "length (samp) : 48,000 samples\n")) << info.err;
  run({"piped.wav", "/q"});
  EXPECT_EQ(load_wav(dir.file("piped-R.wav")).data.size(), 96000u);

  // A 160-byte LIST chunk: "data" at 204 and 0xA0 (two speaker bits) at 40.
  shell("ffmpeg -f lavfi -i sine=sample_rate=48000:duration=1 -ac 2 -c:a pcm_s16le "
        "-fflags +bitexact -metadata title=" + std::string(147, 't') + " list.wav");
  const Bytes list = read_file(dir.file("list.wav"));
  ASSERT_EQ(std::string(list.begin() + 204, list.begin() + 208), "data");
  ProgramResult split = run({"list.wav", "/q"});
  EXPECT_TRUE(has(split, "Output file(s): list-L.wav\n                list-R.wav\n")) << split.err;
  EXPECT_EQ(load_wav(dir.file("list-R.wav")).data.size(), 96000u);

  // A comment "metadata": "data" in the LIST chunk's text is not the data chunk.
  shell("ffmpeg -f lavfi -i sine=sample_rate=48000:duration=1 -ac 2 -c:a pcm_s16le "
        "-fflags +bitexact -metadata comment=metadata meta.wav");
  const size_t meta_size = read_file(dir.file("meta.wav")).size();
  ProgramResult meta = run({"meta.wav", "/i"});
  EXPECT_TRUE(has(meta, "wav data begin: " + std::to_string(meta_size - 192000) + " bytes\n"))
      << meta.err;
  EXPECT_TRUE(has(meta, "wav data chunk: 192,000 bytes\n")) << meta.err;

  // sox's float WAV has an 18-byte fmt chunk: no mask to copy.
  shell("sox -n -b 32 -e floating-point -r 48000 -c 2 float.wav synth 0.1 sine 440");
  EXPECT_TRUE(has(run({"float.wav", "/i"}), "speaker flags : n/a\n"));
  run({"float.wav", "/x", "/16", "/q"});
  EXPECT_EQ(load_wav(dir.file("float(16-bit,48.0kHz).wav")).channel_mask, 0x3u);
}

}  // namespace
