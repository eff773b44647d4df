// Outputs of more than 4 GiB (label "large": each test writes about 4.3 GB
// and takes tens of seconds): a /x conversion of a sparse input and a decode
// to one multichannel 64-bit float file are RF64, their ds64 sizes count
// what was written and ffprobe reads every frame; a halt answered 'n'
// leaves a valid RF64 file, one answered 'y' the file of an uninterrupted run.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "run_program.h"
#include "test_files.h"
#include "wav_builder.h"

namespace {

const std::string SONDREL = TOOLS_BIN_DIR "/sondrel";

std::string output_of(const std::string& command) {
  std::string text;
  if (FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) text += buffer;
    pclose(pipe);
  }
  return text;
}

Bytes bytes_at(const std::string& path, off_t at, size_t count) {
  Bytes b(count);
  const int fd = open(path.c_str(), O_RDONLY);
  const ssize_t got = fd >= 0 ? pread(fd, b.data(), count, at) : -1;
  if (fd >= 0) close(fd);
  b.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return b;
}

off_t size_of(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return -1;
  fseeko(f, 0, SEEK_END);
  const off_t size = ftello(f);
  std::fclose(f);
  return size;
}

// The RF64 header of an output of `data` bytes in frames of `block_align`,
// built from the layout: "RF64", 0xFFFFFFFF, "WAVE", ds64 (RIFF size, data
// size, sample count, table length 0), the fmt chunk, "data", 0xFFFFFFFF.
Bytes rf64_header(const Bytes& fmt_chunk, uint64_t data, uint32_t block_align) {
  Bytes h;
  append_text(h, "RF64");
  append_u32(h, 0xFFFFFFFFu);
  append_text(h, "WAVEds64");
  append_u32(h, 28);
  const uint64_t riff = 4 + 36 + fmt_chunk.size() + 8 + data;
  for (uint64_t v : {riff, data, data / block_align}) {
    append_u32(h, static_cast<uint32_t>(v));
    append_u32(h, static_cast<uint32_t>(v >> 32));
  }
  append_u32(h, 0);
  h.insert(h.end(), fmt_chunk.begin(), fmt_chunk.end());
  append_text(h, "data");
  append_u32(h, 0xFFFFFFFFu);
  return h;
}

// ffprobe reads the whole file: the stream's length in frames from the
// header, and the packets it read against what the data size holds in
// packets of the size ffprobe chose for the first one.
void expect_ffprobe_reads_every_frame(const std::string& path, uint64_t frames, uint64_t data) {
  EXPECT_EQ(output_of("ffprobe -v error -show_entries stream=duration_ts -of csv=p=0 '" + path +
                      "'"),
            std::to_string(frames) + "\n");
  const uint64_t packet = std::strtoull(
      output_of("ffprobe -v error -read_intervals %+#1 -show_entries packet=size -of csv=p=0 '" +
                path + "'")
          .c_str(),
      nullptr, 10);
  ASSERT_GT(packet, 0u);
  EXPECT_EQ(output_of("ffprobe -v error -count_packets -show_entries stream=nb_read_packets "
                      "-of csv=p=0 '" + path + "'"),
            std::to_string((data + packet - 1) / packet) + "\n");
}

class LargeOutputs : public testing::Test {
 protected:
  void SetUp() override {
    if (std::system("ffprobe -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ffprobe";
    // Each test writes about 4.3 GB; two may run at once.
    struct statvfs disk;
    if (statvfs(dir.path().c_str(), &disk) == 0 &&
        static_cast<double>(disk.f_bavail) * disk.f_frsize < 10e9)
      GTEST_SKIP() << "needs 10 GB free in " << dir.path();
  }
  ProgramResult run(const std::vector<std::string>& args) {
    ProgramOptions options;
    options.cwd = dir.path();
    return run_program(SONDREL, args, options);
  }
  TempDir dir;
};

// A sparse 16-bit stereo input of 2^28 + 4097 frames (1 GiB, nearly all
// zeros) with a marked frame at the start, the middle and the end; as
// 64-bit floats it needs 4 GiB and 64 KiB.
constexpr uint64_t FRAMES = (1ull << 28) + 4097;
const uint64_t MARKED[] = {0, FRAMES / 2, FRAMES - 1};

void make_sparse_input(const std::string& path) {
  WavLayout layout;
  layout.channels = 2;
  layout.declared_data_size = static_cast<int64_t>(FRAMES * 4);
  write_file(path, make_wav(layout, {}));
  ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(44 + FRAMES * 4)), 0);
  const int fd = open(path.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  const uint8_t mark[4] = {0x34, 0x12, 0xCC, 0xED};  // 0x1234 and -0x1234
  for (uint64_t f : MARKED) ASSERT_EQ(pwrite(fd, mark, 4, static_cast<off_t>(44 + f * 4)), 4);
  close(fd);
}

// Runs the /x job, halted once its progress shows `percent` (a regex), and
// answers the prompt.
ProgramResult halted_run(const TempDir& dir, const std::string& percent,
                         const std::string& answer) {
  ProgramOptions options;
  options.cwd = dir.path();
  options.close_stdin = false;
  RunningProgram program(SONDREL, {"in.wav", "out", "/x", "/64f"}, options);
  const std::regex shown("Processing\\.\\.\\.\\.\\. " + percent + "%\r");
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(300);
  while (!std::regex_search(program.poll_err(), shown) && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  program.send_signal(SIGINT);
  EXPECT_TRUE(program.wait_for_err("\nResume? (y/n): ", 120)) << program.poll_err();
  program.write_input(answer);
  program.close_input();
  return program.wait();
}

TEST_F(LargeOutputs, ConversionPastFourGibIsRf64HaltedOrResumed) {
  const std::string in = dir.file("in.wav"), out = dir.file("out.wav");
  make_sparse_input(in);
  Bytes fmt;
  append_text(fmt, "fmt ");
  for (uint32_t v : {16u, 0x00020003u, 48000u, 48000u * 16, 0x00400010u}) append_u32(fmt, v);

  // 'n' early on: a valid RF64 file of what was written so far.
  ProgramResult aborted = halted_run(dir, "[1-9][0-9]?", "n\n");
  ASSERT_NE(aborted.err.find("Aborted by user!"), std::string::npos) << aborted.err;
  const off_t part = size_of(out);
  ASSERT_GT(part, 80);
  const uint64_t part_data = static_cast<uint64_t>(part) - 80;
  EXPECT_EQ(part_data % 16, 0u);
  EXPECT_EQ(bytes_at(out, 0, 80), rf64_header(fmt, part_data, 16));
  expect_ffprobe_reads_every_frame(out, part_data / 16, part_data);

  // 'y' halfway: the whole file, as an uninterrupted run writes it.
  ProgramResult resumed = halted_run(dir, "[4-6][0-9]", "y\n");
  ASSERT_NE(resumed.err.find("Processing: Completed."), std::string::npos) << resumed.err;
  const uint64_t data = FRAMES * 16;
  ASSERT_EQ(size_of(out), static_cast<off_t>(80 + data));
  EXPECT_EQ(bytes_at(out, 0, 80), rf64_header(fmt, data, 16));
  // The marked frames in their places, their neighbours silent.
  for (uint64_t f : MARKED) {
    const Bytes frame = bytes_at(out, static_cast<off_t>(80 + f * 16), 16);
    ASSERT_EQ(frame.size(), 16u);
    double left = 0, right = 0;
    std::memcpy(&left, &frame[0], 8);
    std::memcpy(&right, &frame[8], 8);
    // 16-bit samples become v x (1/32767).
    EXPECT_EQ(left, 0x1234 * (1.0 / 32767)) << f;
    EXPECT_EQ(right, -0x1234 * (1.0 / 32767)) << f;
    const uint64_t neighbour = f == 0 ? 1 : f - 1;
    EXPECT_EQ(bytes_at(out, static_cast<off_t>(80 + neighbour * 16), 16), Bytes(16, 0)) << f;
  }
  expect_ffprobe_reads_every_frame(out, FRAMES, data);
  std::remove(out.c_str());
}

TEST_F(LargeOutputs, DecodeToOneMultichannelFilePastFourGibIsRf64) {
  // 3642 copies of a 16-frame 5.1 AC-3 stream: 89,505,792 samples per
  // channel, as six 64-bit floats 4 GiB and 1.2 MiB.
  const Bytes piece = read_file(FIXTURE_DIR "/decode/ac3_3_2L_48.ac3");
  ASSERT_EQ(piece.size(), 16u * 1792);
  {
    FILE* f = std::fopen(dir.file("long.ac3").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    for (int k = 0; k < 3642; ++k)
      ASSERT_EQ(std::fwrite(piece.data(), 1, piece.size(), f), piece.size());
    std::fclose(f);
  }
  write_file(dir.file("short.ac3"), piece);
  const ProgramResult r = run({"long.ac3", "long", "/mch", "/64f"});
  ASSERT_NE(r.err.find("[58272 frames decoded"), std::string::npos) << r.err;
  ASSERT_NE(run({"short.ac3", "short", "/mch", "/64f"}).err.find("Completed"), std::string::npos);
  std::remove(dir.file("long.ac3").c_str());

  const std::string out = dir.file("long.wav");
  const uint64_t frames = 58272ull * 1536, data = frames * 48;
  ASSERT_EQ(size_of(out), static_cast<off_t>(104 + data));
  // The fmt chunk is the extensible one of the short stream's output.
  const Bytes short_wav = read_file(dir.file("short.wav"));
  const Bytes fmt(short_wav.begin() + 12, short_wav.begin() + 60);
  EXPECT_EQ(get_u16(fmt, 8), 0xFFFEu);
  EXPECT_EQ(get_u32(fmt, 28), 0x3Fu);
  EXPECT_EQ(bytes_at(out, 0, 104), rf64_header(fmt, data, 48));
  // The first copy decodes as the stream on its own does.
  const size_t first = 16 * 1536 * 48;
  ASSERT_GE(short_wav.size(), 68 + first);
  EXPECT_EQ(bytes_at(out, 104, first),
            Bytes(short_wav.begin() + 68, short_wav.begin() + 68 + first));
  expect_ffprobe_reads_every_frame(out, frames, data);
  std::remove(out.c_str());
}

}  // namespace
