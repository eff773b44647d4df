// Header images against hand-built headers, and the end-of-job size fix and
// write-error check on real files.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "test_files.h"
#include "wav/job_settings.h"
#include "wav/wav_writer.h"

namespace {

Bytes image(const uint8_t* bytes, size_t size) { return Bytes(bytes, bytes + size); }

// A plain header as a reader expects it, built field by field.
Bytes expected_plain(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
  Bytes b;
  append_text(b, "RIFF");
  append_u32(b, 0);
  append_text(b, "WAVEfmt ");
  append_u32(b, 16);
  append_u16(b, tag);
  append_u16(b, channels);
  append_u32(b, rate);
  append_u32(b, rate * channels * bits / 8);
  append_u16(b, static_cast<uint16_t>(channels * bits / 8));
  append_u16(b, bits);
  append_text(b, "data");
  append_u32(b, 0);
  return b;
}

Bytes expected_extensible(uint16_t channels, uint32_t rate, uint16_t bits, uint32_t mask,
                          uint8_t sub_format) {
  Bytes b;
  append_text(b, "RIFF");
  append_u32(b, 0xFFFFFFF0u);
  append_text(b, "WAVEfmt ");
  append_u32(b, 40);
  append_u16(b, 0xFFFE);
  append_u16(b, channels);
  append_u32(b, rate);
  append_u32(b, rate * channels * bits / 8);
  append_u16(b, static_cast<uint16_t>(channels * bits / 8));
  append_u16(b, bits);
  append_u16(b, 22);
  append_u16(b, bits);
  append_u32(b, mask);
  const uint8_t guid[16] = {sub_format, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                            0x80,       0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
  b.insert(b.end(), guid, guid + 16);
  append_text(b, "data");
  append_u32(b, 0xFFFFFFB4u);
  return b;
}

JobSettings settings_for(int32_t bits, int32_t is_float, int32_t rate) {
  JobSettings s;
  init_job_settings(&s);
  s.out_bits = bits;
  s.out_float = is_float;
  s.out_rate = rate;
  return s;
}

}  // namespace

TEST(WavHeaderImages, FilledPlainAndExtensibleImagesMatchHandBuiltHeaders) {
  JobSettings s = settings_for(16, 0, 48000);
  wav_header_fill(wav_plain_header, wav_extensible_header, 0, 1, &s, 0x3F);
  EXPECT_EQ(image(wav_plain_header, PLAIN_HEADER_BYTES), expected_plain(1, 1, 48000, 16));

  s = settings_for(32, 1, 44100);
  wav_header_fill(wav_plain_header, wav_extensible_header, 0, 2, &s, 0);
  EXPECT_EQ(image(wav_plain_header, PLAIN_HEADER_BYTES), expected_plain(3, 2, 44100, 32));

  // Filling the plain image leaves the extensible one alone (and its mask).
  const Bytes before = image(wav_extensible_header, EXTENSIBLE_HEADER_BYTES);
  wav_header_fill(wav_plain_header, wav_extensible_header, 0, 6, &s, 0x3F);
  EXPECT_EQ(image(wav_extensible_header, EXTENSIBLE_HEADER_BYTES), before);

  // 16-bit multichannel: 16 in both bit fields, block align 2 x channels.
  s = settings_for(16, 0, 48000);
  wav_header_fill(wav_plain_header, wav_extensible_header, 1, 6, &s, 0x3F);
  EXPECT_EQ(image(wav_extensible_header, EXTENSIBLE_HEADER_BYTES),
            expected_extensible(6, 48000, 16, 0x3F, 0x01));

  // Float output: sub-format byte 3; the rest of the GUID never changes.
  s = settings_for(64, 1, 96000);
  wav_header_fill(wav_plain_header, wav_extensible_header, 1, 18, &s, 0x3FFFF);
  EXPECT_EQ(image(wav_extensible_header, EXTENSIBLE_HEADER_BYTES),
            expected_extensible(18, 96000, 64, 0x3FFFF, 0x03));

  // 24-bit integer after float: back to byte 1, every field rewritten.
  s = settings_for(24, 0, 44100);
  wav_header_fill(wav_plain_header, wav_extensible_header, 1, 2, &s, 0x3);
  EXPECT_EQ(image(wav_extensible_header, EXTENSIBLE_HEADER_BYTES),
            expected_extensible(2, 44100, 24, 0x3, 0x01));
}

namespace {

// A job's outputs: files created in a temp dir with a header and some data,
// still open as the job would leave them.
struct Outputs {
  TempDir dir;
  JobSettings settings;
  std::vector<FILE*> handles;
  std::vector<std::string> names;

  Outputs(int32_t count, int32_t extensible) {
    init_job_settings(&settings);
    settings.extensible_header = extensible;
    settings.output_count = count;
    EXPECT_EQ(alloc_out_names(&settings, count), 0);
    for (int32_t k = 0; k < count; ++k) {
      names.push_back(dir.file("out" + std::to_string(k) + ".wav"));
      std::snprintf(settings.out_names[k], OUT_NAME_CAPACITY, "%s", names.back().c_str());
      handles.push_back(std::fopen(names.back().c_str(), "wb"));
      EXPECT_NE(handles.back(), nullptr);
    }
  }
  ~Outputs() {
    for (FILE* f : handles)
      if (f) std::fclose(f);
    free_out_names(&settings);
  }
  void write(int32_t k, const uint8_t* header, size_t header_size, size_t data_bytes) {
    ASSERT_EQ(std::fwrite(header, 1, header_size, handles[k]), header_size);
    for (size_t i = 0; i < data_bytes; ++i) std::fputc(static_cast<int>(i & 0xFF), handles[k]);
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

TEST(WavFixSizes, PlainOutputsGetTheirSizesAndEmptyOnesKeepZero) {
  JobSettings fill = settings_for(16, 0, 48000);
  wav_header_fill(wav_plain_header, wav_extensible_header, 0, 1, &fill, 0);
  Outputs out(3, 0);
  out.write(0, wav_plain_header, PLAIN_HEADER_BYTES, 1000);
  out.write(1, wav_plain_header, PLAIN_HEADER_BYTES, 0);
  out.write(2, wav_plain_header, PLAIN_HEADER_BYTES, 2);
  ASSERT_EQ(wav_outputs_flush(&out.settings, out.handles.data()), 0);
  ASSERT_EQ(wav_fix_sizes(&out.settings, out.handles.data()), 0);
  for (FILE* f : out.handles) EXPECT_EQ(f, nullptr);

  Bytes a = read_file(out.names[0]);
  ASSERT_EQ(a.size(), 1044u);
  EXPECT_EQ(get_u32(a, 4), 1036u);
  EXPECT_EQ(get_u32(a, 40), 1000u);
  EXPECT_EQ(a[44], 0);  // samples untouched
  EXPECT_EQ(a[1043], 999 & 0xFF);
  Bytes b = read_file(out.names[1]);
  ASSERT_EQ(b.size(), 44u);
  EXPECT_EQ(get_u32(b, 4), 0u);
  EXPECT_EQ(get_u32(b, 40), 0u);
  Bytes c = read_file(out.names[2]);
  EXPECT_EQ(get_u32(c, 4), 38u);
  EXPECT_EQ(get_u32(c, 40), 2u);

  // A second call finds every entry closed and touches nothing.
  EXPECT_EQ(wav_fix_sizes(&out.settings, out.handles.data()), 0);
}

TEST(WavFixSizes, ExtensibleOutputsGetTheDataSizeAtOffset64) {
  JobSettings fill = settings_for(24, 0, 48000);
  wav_header_fill(wav_plain_header, wav_extensible_header, 1, 2, &fill, 0x3);
  Outputs out(2, 1);
  out.write(0, wav_extensible_header, EXTENSIBLE_HEADER_BYTES, 600);
  out.write(1, wav_extensible_header, EXTENSIBLE_HEADER_BYTES, 0);
  ASSERT_EQ(wav_fix_sizes(&out.settings, out.handles.data()), 0);
  Bytes a = read_file(out.names[0]);
  EXPECT_EQ(get_u32(a, 4), 660u);
  EXPECT_EQ(get_u32(a, 64), 600u);
  EXPECT_EQ(get_u32(a, 40), 0x3u);  // the mask is not a size field
  Bytes b = read_file(out.names[1]);
  EXPECT_EQ(get_u32(b, 4), 60u);
  EXPECT_EQ(get_u32(b, 64), 0u);
}

TEST(WavFixSizes, SizesBeyond32BitsAreClampedNotWrapped) {
  // Sparse files of about 4 GiB: no disc space needed.
  Outputs out(2, 0);
  const off_t lengths[2] = {static_cast<off_t>(0x100000000ll + 100),
                            static_cast<off_t>(0xFFFFFFFFll + 8)};
  for (int32_t k = 0; k < 2; ++k) {
    out.write(k, wav_plain_header, PLAIN_HEADER_BYTES, 0);
    ASSERT_EQ(std::fflush(out.handles[k]), 0);
    ASSERT_EQ(ftruncate(fileno(out.handles[k]), lengths[k]), 0);
  }
  ASSERT_EQ(wav_fix_sizes(&out.settings, out.handles.data()), 0);
  const Bytes over = first_bytes(out.names[0], 44);
  ASSERT_EQ(over.size(), 44u);
  EXPECT_EQ(get_u32(over, 4), 0xFFFFFFFFu);
  EXPECT_EQ(get_u32(over, 40), 0xFFFFFFFFu);
  // Just at the limit the RIFF size still fits exactly.
  const Bytes at = first_bytes(out.names[1], 44);
  ASSERT_EQ(at.size(), 44u);
  EXPECT_EQ(get_u32(at, 4), 0xFFFFFFFFu);
  EXPECT_EQ(get_u32(at, 40), 0xFFFFFFFFu - 36u);
}

TEST(WavFixSizes, AnOutputThatCannotBeReopenedStopsTheFixAndCanBeRetried) {
  Outputs out(3, 0);
  for (int32_t k = 0; k < 3; ++k) out.write(k, wav_plain_header, PLAIN_HEADER_BYTES, 10);
  // Output 1's name now names a directory: the reopen fails (even for root).
  ASSERT_EQ(unlink(out.names[1].c_str()), 0);
  ASSERT_EQ(mkdir(out.names[1].c_str(), 0700), 0);

  testing::internal::CaptureStdout();
  EXPECT_EQ(wav_fix_sizes(&out.settings, out.handles.data()), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Unable to write to file. Please close all open output wavs!\n");
  EXPECT_EQ(out.handles[0], nullptr);
  EXPECT_NE(out.handles[1], nullptr);  // still the job's: nothing closed twice
  EXPECT_NE(out.handles[2], nullptr);
  EXPECT_EQ(get_u32(read_file(out.names[0]), 40), 10u);
  EXPECT_EQ(get_u32(first_bytes(out.names[2], 44), 40), 0u);  // not reached yet

  // Once the name is free again the retry finishes the remaining outputs.
  ASSERT_EQ(rmdir(out.names[1].c_str()), 0);
  write_file(out.names[1], Bytes(60, 0));
  EXPECT_EQ(wav_fix_sizes(&out.settings, out.handles.data()), 0);
  EXPECT_EQ(get_u32(read_file(out.names[1]), 40), 16u);
  EXPECT_EQ(get_u32(read_file(out.names[2]), 40), 10u);
  for (FILE* f : out.handles) EXPECT_EQ(f, nullptr);
}

TEST(WavOutputs, FlushReportsAFailedWriteByName) {
  Outputs out(2, 0);
  out.write(0, wav_plain_header, PLAIN_HEADER_BYTES, 10);
  // Output 1 writes to a device that is always full.
  std::fclose(out.handles[1]);
  out.handles[1] = std::fopen("/dev/full", "wb");
  ASSERT_NE(out.handles[1], nullptr);
  std::snprintf(out.settings.out_names[1], OUT_NAME_CAPACITY, "/dev/full");
  std::fputs("samples", out.handles[1]);

  testing::internal::CaptureStderr();
  EXPECT_EQ(wav_outputs_flush(&out.settings, out.handles.data()), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error: Unable to write to file: /dev/full\n");

  // Closing empties every entry; the healthy output holds all it was given.
  testing::internal::CaptureStderr();
  wav_outputs_close(&out.settings, out.handles.data());
  testing::internal::GetCapturedStderr();
  for (FILE* f : out.handles) EXPECT_EQ(f, nullptr);
  EXPECT_EQ(read_file(out.names[0]).size(), 54u);
}
