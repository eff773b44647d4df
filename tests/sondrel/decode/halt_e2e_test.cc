// Ctrl-C on a running decode: a real SIGINT while the progress line shows,
// the answer on standard input. 'n' leaves valid WAVs whose headers match
// their lengths; 'y' resumes to outputs identical to an uninterrupted run.
#include <gtest/gtest.h>

#include <csignal>

#include "run_program.h"
#include "tones.h"

namespace {

const std::string kProgram = TOOLS_BIN_DIR "/sondrel";

// About ten minutes of 5.1 AC-3: long enough to be interrupted mid-way.
void write_long_stream(const std::string& path) {
  const Bytes piece = decode_fixture_bytes("ac3_3_2L_48.ac3");
  Bytes stream;
  stream.reserve(piece.size() * 1200);
  for (int k = 0; k < 1200; ++k) stream.insert(stream.end(), piece.begin(), piece.end());
  write_file(path, stream);
}

// Starts a decode, interrupts it once its progress line shows, answers.
ProgramResult interrupt(const TempDir& dir, const std::vector<std::string>& args,
                        const std::string& answer, const std::string& progress) {
  ProgramOptions options;
  options.cwd = dir.path();
  options.close_stdin = false;
  RunningProgram program(kProgram, args, options);
  EXPECT_TRUE(program.wait_for_err(progress, 30.0));
  program.send_signal(SIGINT);
  EXPECT_TRUE(program.wait_for_err("Resume? (y/n): ", 30.0));
  program.write_input(answer);
  program.close_input();
  return program.wait();
}

void expect_sizes_match(const std::string& path, size_t header) {
  const Bytes bytes = read_file(path);
  ASSERT_GT(bytes.size(), header);
  EXPECT_EQ(get_u32(bytes, 4), bytes.size() - 8);
  EXPECT_EQ(get_u32(bytes, header - 4), bytes.size() - header);
}

TEST(DecodeHalt, DecliningLeavesValidOutputs) {
  TempDir dir;
  write_long_stream(dir.file("long.ac3"));
  const std::string progress = "Processing..... 1%\r";
  ProgramResult result = interrupt(dir, {"long.ac3", "/+FL,LFE", "/8"}, "n\n", progress);
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_NE(result.err.find("Processing: Halted (Free up disc space/check output files - close on "
                            "resume)\nResume? (y/n): Processing: Aborted by user!"),
            std::string::npos)
      << result.err;
  EXPECT_EQ(result.err.find("Completed"), std::string::npos);
  for (const char* name : {"long(8-bit,48.0kHz)-FL.wav", "long(8-bit,48.0kHz)-LFE.wav"})
    expect_sizes_match(dir.file(name), 44);

  result = interrupt(dir, {"long.ac3", "/+FL,FR", "/8", "/mch"}, "n\n", progress);
  EXPECT_EQ(result.err.find("Completed"), std::string::npos);
  expect_sizes_match(dir.file("long(ext_wav_fmt)(8-bit,48.0kHz).wav"), 68);

  // Resampled: decoding runs on its own thread ahead of the writing one.
  result = interrupt(dir, {"long.ac3", "/+FL,FR,SR", "/16", "/44100"}, "n\n", progress);
  EXPECT_EQ(result.err.find("Completed"), std::string::npos);
  for (const char* name : {"long(16-bit,44.1kHz)-FL.wav", "long(16-bit,44.1kHz)-SR.wav"})
    expect_sizes_match(dir.file(name), 44);
}

TEST(DecodeHalt, ResumingGivesTheUninterruptedOutput) {
  TempDir dir;
  write_long_stream(dir.file("long.ac3"));
  const std::vector<std::string> args = {"long.ac3", "/+C", "/8"};
  const ProgramResult resumed = interrupt(dir, args, "y\n", "Processing..... 1%\r");
  EXPECT_NE(resumed.err.find("Processing: Completed. [19200 frames decoded (incl dsp)"),
            std::string::npos)
      << resumed.err;
  const Bytes after_halt = read_file(dir.file("long(8-bit,48.0kHz)-C.wav"));
  ProgramOptions options;
  options.cwd = dir.path();
  run_program(kProgram, {"long.ac3", "/+C", "/8", "/q"}, options);
  const Bytes straight = read_file(dir.file("long(8-bit,48.0kHz)-C.wav"));
  EXPECT_EQ(after_halt.size(), 44u + 19200u * 1536u);
  EXPECT_TRUE(after_halt == straight);

  // The same with the decoding on its own thread (a resampled job).
  const std::vector<std::string> resampled = {"long.ac3", "/+C,SL", "/16", "/44100"};
  const ProgramResult again = interrupt(dir, resampled, "y\n", "Processing..... 1%\r");
  EXPECT_NE(again.err.find("Processing: Completed. [19200 frames decoded (incl dsp)"),
            std::string::npos)
      << again.err;
  const Bytes resumed_sl = read_file(dir.file("long(16-bit,44.1kHz)-SL.wav"));
  std::vector<std::string> quiet = resampled;
  quiet.push_back("/q");
  run_program(kProgram, quiet, options);
  EXPECT_GT(resumed_sl.size(), 44u + 19200u * 1536u);  // 10 min of 16-bit at 44.1 kHz
  EXPECT_TRUE(resumed_sl == read_file(dir.file("long(16-bit,44.1kHz)-SL.wav")));
}

}  // namespace
