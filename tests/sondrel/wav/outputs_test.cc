// A job's output files on real files: staged writes, the end-of-job size
// fix (RIFF or RF64, pad byte), reopening for appending, and write errors
// reported by name.
#include "wav/outputs.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "test_files.h"
#include "wav/wav_writer.h"

namespace {

// `count` outputs created in a temp dir with the plain or extensible image.
struct Made {
  TempDir dir;
  std::vector<std::string> names;
  std::vector<char*> name_table;
  JobOutputs out;
  int32_t created = -1;
  int32_t failed = -1;

  Made(int32_t count, bool extensible, const std::vector<std::string>& taken = {},
       int64_t expected = 0) {
    for (int32_t k = 0; k < count; ++k) names.push_back(dir.file("out" + std::to_string(k)));
    for (const std::string& t : taken) make_directory(dir.file(t));
    for (std::string& n : names) name_table.push_back(n.data());
    created = outputs_create(&out, name_table.data(), count,
                             extensible ? wav_extensible_header : wav_plain_header,
                             extensible ? EXTENSIBLE_HEADER_BYTES : PLAIN_HEADER_BYTES, expected,
                             0, &failed);
  }
  ~Made() { outputs_release(&out); }
  void samples(int32_t k, size_t bytes) {
    std::vector<uint8_t> data(bytes);
    for (size_t i = 0; i < bytes; ++i) data[i] = static_cast<uint8_t>(i);
    ASSERT_TRUE(outputs_write(&out, k, data.data(), bytes));
  }
};

Bytes first_bytes(const std::string& path, size_t count) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return {};
  Bytes b(count);
  b.resize(std::fread(b.data(), 1, count, f));
  std::fclose(f);
  return b;
}

}  // namespace

TEST(Outputs, StagedBytesReachTheFilesAndTheSizesFollowTheirLengths) {
  Made plain(3, false);
  ASSERT_EQ(plain.created, OUTPUTS_CREATED);
  plain.samples(0, 1000);
  plain.samples(2, 2);
  // A write larger than the stage goes past it, after what is staged.
  plain.samples(2, plain.out.stage_capacity + 5);
  uint8_t* room = outputs_reserve(&plain.out, 1, 3);
  ASSERT_NE(room, nullptr);
  room[0] = 'a', room[1] = 'b', room[2] = 'c';
  outputs_commit(&plain.out, 1, 3);
  ASSERT_EQ(wav_fix_sizes(&plain.out), 0);
  for (FILE* f : plain.out.files) EXPECT_EQ(f, nullptr);
  const Bytes a = read_file(plain.names[0]);
  ASSERT_EQ(a.size(), 1044u);
  EXPECT_EQ(get_u32(a, 4), 1036u);
  EXPECT_EQ(get_u32(a, 40), 1000u);
  EXPECT_EQ(a[1043], 999 & 0xFF);  // samples untouched
  const Bytes b = read_file(plain.names[1]);
  EXPECT_EQ(get_u32(b, 40), 3u);
  EXPECT_EQ(b[46], 'c');
  const Bytes c = read_file(plain.names[2]);
  EXPECT_EQ(get_u32(c, 40), plain.out.stage_capacity + 7);
  EXPECT_EQ(c[45], 1);
  EXPECT_EQ(c[46], 0);  // the large write follows the staged bytes
  // A second call finds every entry closed and touches nothing.
  EXPECT_EQ(wav_fix_sizes(&plain.out), 0);

  // Extensible: the data size at offset 64; an empty one keeps RIFF 60, data 0.
  Made ext(2, true);
  ext.samples(0, 600);
  ASSERT_EQ(wav_fix_sizes(&ext.out), 0);
  const Bytes e = read_file(ext.names[0]);
  EXPECT_EQ(get_u32(e, 4), 660u);
  EXPECT_EQ(get_u32(e, 64), 600u);
  EXPECT_EQ(get_u32(read_file(ext.names[1]), 4), 60u);
  EXPECT_EQ(get_u32(read_file(ext.names[1]), 64), 0u);
  // An empty plain output keeps the zero sizes of its image.
  Made empty(1, false);
  ASSERT_EQ(wav_fix_sizes(&empty.out), 0);
  EXPECT_EQ(get_u32(read_file(empty.names[0]), 4), 0u);
}

TEST(Outputs, ReopenedOutputsAppendAfterWhatTheFixFound) {
  Made made(2, false);
  made.samples(0, 100);
  made.samples(1, 40);
  ASSERT_EQ(wav_fix_sizes(&made.out), 0);
  EXPECT_EQ(get_u32(read_file(made.names[0]), 40), 100u);
  ASSERT_EQ(outputs_reopen(&made.out), 0);
  made.samples(0, 4);
  ASSERT_EQ(wav_fix_sizes(&made.out), 0);
  const Bytes a = read_file(made.names[0]);
  ASSERT_EQ(a.size(), 148u);
  EXPECT_EQ(a[143], 99);
  EXPECT_EQ(a[144], 0);
  EXPECT_EQ(get_u32(a, 40), 104u);
  EXPECT_EQ(get_u32(read_file(made.names[1]), 40), 40u);
}

TEST(Outputs, SizesBeyond32BitsAreClampedNotWrapped) {
  // Sparse files of about 4 GiB: no disc space needed.
  Made made(2, false);
  const off_t lengths[2] = {static_cast<off_t>(0x100000000ll + 100),
                            static_cast<off_t>(0xFFFFFFFFll + 8)};
  for (int32_t k = 0; k < 2; ++k) ASSERT_EQ(ftruncate(fileno(made.out.files[k]), lengths[k]), 0);
  ASSERT_EQ(wav_fix_sizes(&made.out), 0);
  const Bytes over = first_bytes(made.names[0], 44);
  EXPECT_EQ(get_u32(over, 4), 0xFFFFFFFFu);
  EXPECT_EQ(get_u32(over, 40), 0xFFFFFFFFu);
  // Just at the limit the RIFF size still fits exactly.
  const Bytes at = first_bytes(made.names[1], 44);
  EXPECT_EQ(get_u32(at, 4), 0xFFFFFFFFu);
  EXPECT_EQ(get_u32(at, 40), 0xFFFFFFFFu - 36u);
}

TEST(Outputs, AnOutputThatCannotBeReopenedStopsTheFixAndCanBeRetried) {
  Made made(3, false);
  for (int32_t k = 0; k < 3; ++k) made.samples(k, 10);
  // Output 1's name now names a directory: the reopen fails (even for root).
  ASSERT_EQ(unlink(made.names[1].c_str()), 0);
  ASSERT_EQ(mkdir(made.names[1].c_str(), 0700), 0);
  testing::internal::CaptureStdout();
  EXPECT_EQ(wav_fix_sizes(&made.out), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Unable to write to file. Please close all open output wavs!\n");
  EXPECT_EQ(made.out.files[0], nullptr);
  EXPECT_NE(made.out.files[1], nullptr);  // still the job's: nothing closed twice
  EXPECT_NE(made.out.files[2], nullptr);
  EXPECT_EQ(get_u32(read_file(made.names[0]), 40), 10u);
  EXPECT_EQ(get_u32(first_bytes(made.names[2], 44), 40), 0u);  // not reached yet
  // Once the name is free again the retry finishes the remaining outputs.
  ASSERT_EQ(rmdir(made.names[1].c_str()), 0);
  write_file(made.names[1], Bytes(60, 0));
  EXPECT_EQ(wav_fix_sizes(&made.out), 0);
  EXPECT_EQ(get_u32(read_file(made.names[1]), 40), 16u);
  EXPECT_EQ(get_u32(read_file(made.names[2]), 40), 10u);
}

TEST(Outputs, CreationAndWriteFailuresNameTheOutput) {
  // The second name is a directory: creation stops there, the first is closed.
  Made blocked(3, false, {"out1"});
  EXPECT_EQ(blocked.created, OUTPUTS_OPEN_FAILED);
  EXPECT_EQ(blocked.failed, 1);
  for (FILE* f : blocked.out.files) EXPECT_EQ(f, nullptr);
  EXPECT_EQ(read_file(blocked.names[0]).size(), 44u);

  // Output 1 writes to a device that is always full.
  Made made(2, false);
  made.samples(0, 10);
  std::fclose(made.out.files[1]);
  made.out.files[1] = std::fopen("/dev/full", "wb");
  ASSERT_NE(made.out.files[1], nullptr);
  std::setvbuf(made.out.files[1], nullptr, _IONBF, 0);  // as the outputs' own files are
  made.name_table[1] = const_cast<char*>("/dev/full");
  made.samples(1, 7);  // staged: nothing reaches the device yet
  testing::internal::CaptureStderr();
  EXPECT_EQ(outputs_flush(&made.out), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: Unable to write to file: /dev/full\n");
  EXPECT_EQ(outputs_close(&made.out), 0);
  for (FILE* f : made.out.files) EXPECT_EQ(f, nullptr);
  EXPECT_EQ(read_file(made.names[0]).size(), 54u);  // the healthy output holds all it was given
}

TEST(Outputs, OutputsExpectedNearFourGibAreRf64WithTheirSizesInDs64) {
  wav_header_fill(wav_plain_header, wav_extensible_header, 1, 6, 48000, 64, 1, 0x3F);
  // 3.5 GiB of file is where RF64 begins: one byte less stays RIFF, byte for byte.
  Made riff(1, true, {}, 0xE0000000ll - EXTENSIBLE_HEADER_BYTES);
  Made rf64(1, true, {}, 0xE0000000ll - EXTENSIBLE_HEADER_BYTES + 1);
  EXPECT_EQ(riff.out.rf64, 0);
  EXPECT_EQ(first_bytes(riff.names[0], 100),
            Bytes(wav_extensible_header, wav_extensible_header + EXTENSIBLE_HEADER_BYTES));
  ASSERT_EQ(rf64.out.rf64, 1);
  rf64.samples(0, 480);  // 10 frames of 6 doubles
  ASSERT_EQ(wav_fix_sizes(&rf64.out), 0);
  // The layout built by hand: RF64, 0xFFFFFFFF, WAVE, ds64 (28 bytes: RIFF
  // size, data size, sample count, table length), the same fmt chunk, data
  // with its 32-bit size at 0xFFFFFFFF.
  Bytes expected;
  append_text(expected, "RF64");
  append_u32(expected, 0xFFFFFFFFu);
  append_text(expected, "WAVEds64");
  append_u32(expected, 28);
  for (uint32_t v : {104u + 480u - 8u, 0u, 480u, 0u, 10u, 0u, 0u}) append_u32(expected, v);
  expected.insert(expected.end(), wav_extensible_header + 12, wav_extensible_header + 64);
  append_u32(expected, 0xFFFFFFFFu);
  const Bytes got = read_file(rf64.names[0]);
  ASSERT_EQ(got.size(), 104u + 480u);
  EXPECT_EQ(Bytes(got.begin(), got.begin() + 104), expected);
  EXPECT_EQ(got[104 + 479], 479 & 0xFF);
}

TEST(Outputs, OddDataGetsAPadByteThatAResumeTakesAwayAgain) {
  // 8-bit mono RIFF and 24-bit mono RF64: halted after an odd number of
  // bytes, resumed, halted again, finished; each the same as one run.
  for (const int32_t bits : {8, 24}) {
    const int64_t expected = bits == 24 ? 0x100000000ll : 0;
    wav_header_fill(wav_plain_header, wav_extensible_header, 0, 1, 44100, bits, 0, 0);
    const size_t header = bits == 24 ? 80 : 44;
    Made halted(1, false, {}, expected);
    Made whole(1, false, {}, expected);
    whole.samples(0, 3 * 7);
    ASSERT_EQ(wav_fix_sizes(&whole.out), 0);
    const Bytes one_run = read_file(whole.names[0]);
    ASSERT_EQ(one_run.size(), header + 22) << bits;  // 21 bytes of samples and the pad
    EXPECT_EQ(one_run.back(), 0);
    if (bits == 8) {
      EXPECT_EQ(get_u32(one_run, 4), 22u + 36u);  // the pad counts in the RIFF size only
      EXPECT_EQ(get_u32(one_run, 40), 21u);
    } else {
      EXPECT_EQ(get_u32(one_run, 20), 22u + 72u);
      EXPECT_EQ(get_u32(one_run, 28), 21u);
      EXPECT_EQ(get_u32(one_run, 36), 7u);  // frames
    }
    std::vector<uint8_t> data(21);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);
    ASSERT_TRUE(outputs_write(&halted.out, 0, data.data(), 9));
    ASSERT_EQ(wav_fix_sizes(&halted.out), 0);
    EXPECT_EQ(read_file(halted.names[0]).size(), header + 10);  // padded while halted
    ASSERT_EQ(outputs_reopen(&halted.out), 0);
    ASSERT_TRUE(outputs_write(&halted.out, 0, data.data() + 9, 6));
    ASSERT_EQ(wav_fix_sizes(&halted.out), 0);  // even: no pad
    ASSERT_EQ(outputs_reopen(&halted.out), 0);
    ASSERT_TRUE(outputs_write(&halted.out, 0, data.data() + 15, 6));
    ASSERT_EQ(wav_fix_sizes(&halted.out), 0);
    EXPECT_EQ(read_file(halted.names[0]), one_run) << bits;
  }
}

TEST(Outputs, ExpectedBytesFollowFramesRatesAndFormat) {
  EXPECT_EQ(expected_output_bytes(48000, 48000, 96000, 2, 16), 384000);
  EXPECT_EQ(expected_output_bytes(441, 44100, 48000, 1, 24), 480 * 3);
  EXPECT_EQ(expected_output_bytes(1, 44100, 48000, 1, 24), 6);  // rounded up
  // 2^40 frames at 96 kHz are 505,088,154,009.6 frames at 44.1 kHz.
  EXPECT_EQ(expected_output_bytes(1ll << 40, 96000, 44100, 18, 64), 505088154010ll * 144);
  EXPECT_EQ(expected_output_bytes(1000, 0, 48000, 1, 16), 0);
}
