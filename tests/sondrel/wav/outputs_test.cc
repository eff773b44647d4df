// A job's output files on real files: staged writes, the end-of-job size
// fix, reopening for appending, and write errors reported by name.
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

  Made(int32_t count, bool extensible, const std::vector<std::string>& taken = {}) {
    for (int32_t k = 0; k < count; ++k) names.push_back(dir.file("out" + std::to_string(k)));
    for (const std::string& t : taken) make_directory(dir.file(t));
    for (std::string& n : names) name_table.push_back(n.data());
    created = outputs_create(&out, name_table.data(), count,
                             extensible ? wav_extensible_header : wav_plain_header,
                             extensible ? EXTENSIBLE_HEADER_BYTES : PLAIN_HEADER_BYTES, 0, &failed);
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
