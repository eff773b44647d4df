// WAV header reader on hand-built headers: canonical, extensible, odd fmt
// sizes, LIST chunks (with "data" in their text, odd sizes with and without
// the pad byte), trailing chunks, RF64 files, and every refusal; the
// little-endian helper.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>

#include "test_files.h"
#include "wav/little_endian.h"
#include "wav/wav_header_reader.h"
#include "wav_builder.h"

namespace {

struct Read {
  int result;
  std::string err;
  InputFile file;
};

Read read_bytes(const Bytes& bytes) {
  TempDir dir;
  std::string path = dir.file("in.wav");
  write_file(path, bytes);
  Read r{};
  init_input_file(&r.file);
  r.file.file_size = bytes.size();
  FILE* stream = std::fopen(path.c_str(), "rb");
  testing::internal::CaptureStderr();
  r.result = read_wav_header(stream, &r.file);
  r.err = testing::internal::GetCapturedStderr();
  std::fclose(stream);
  return r;
}

Bytes samples(size_t count) { return Bytes(count, 0x11); }

const char* const UNSUPPORTED =
    "Error: Unsupported format, only PCM, IEEE_FLOAT & EXTENSIBLE formats supported.";
const char* const BAD_DEPTH =
    "Error: non supported bit depth (supported: 8, 16, 24, 32 bit int, 32 & 64 bit float).";

TEST(WavHeader, CanonicalPcm) {
  WavLayout layout;
  layout.channels = 2;
  layout.rate = 44100;
  layout.bits = 16;
  Read r = read_bytes(make_wav(layout, samples(400)));
  ASSERT_EQ(r.result, 0) << r.err;
  EXPECT_EQ(r.file.data_offset, 44);
  EXPECT_EQ(r.file.data_size, 400u);
  EXPECT_EQ(r.file.frame_count, 100u);
  EXPECT_EQ(r.file.channel_mask, 0u);
  EXPECT_EQ(r.file.bits, 16);
  EXPECT_EQ(r.file.is_float, 0);
  EXPECT_EQ(r.file.fmt_size, 16);
  EXPECT_DOUBLE_EQ(r.file.bit_rate, 44100.0 * 16 * 2);
}

TEST(WavHeader, ExtensibleIntegerAndFloat) {
  WavLayout layout;
  layout.channels = 6;
  layout.bits = 24;
  layout.extensible = true;
  layout.channel_mask = 0x3F;
  Read r = read_bytes(make_wav(layout, samples(6 * 3 * 10)));
  ASSERT_EQ(r.result, 0) << r.err;
  EXPECT_EQ(r.file.data_offset, 68);
  EXPECT_EQ(r.file.channel_mask, 0x3Fu);
  EXPECT_EQ(r.file.is_float, 0);
  EXPECT_EQ(r.file.frame_count, 10u);

  layout.is_float = true;
  layout.bits = 32;
  Read f = read_bytes(make_wav(layout, samples(6 * 4 * 10)));
  ASSERT_EQ(f.result, 0) << f.err;
  EXPECT_EQ(f.file.is_float, 1);
}

TEST(WavHeader, OddFmtSizes) {
  WavLayout layout;
  layout.is_float = true;
  layout.bits = 32;
  layout.fmt_size = 18;
  Read f = read_bytes(make_wav(layout, samples(64)));
  ASSERT_EQ(f.result, 0) << f.err;
  EXPECT_EQ(f.file.data_offset, 46);
  // Offset 40 holds "ta" and the low half of the data size here: no mask.
  EXPECT_EQ(f.file.channel_mask, 0u);

  layout.is_float = false;
  layout.bits = 16;
  Read i = read_bytes(make_wav(layout, samples(64)));
  EXPECT_EQ(i.result, 1);
  EXPECT_EQ(i.err, UNSUPPORTED);
}

TEST(WavHeader, BitsComeFromTheByteRate) {
  WavLayout layout;
  layout.channels = 2;
  layout.rate = 44100;
  layout.bits = 16;
  Bytes b = make_wav(layout, samples(400));
  put_u16(b, 34, 24);  // the bits field is not read
  Read r = read_bytes(b);
  ASSERT_EQ(r.result, 0);
  EXPECT_EQ(r.file.bits, 16);
}

TEST(WavHeader, ChunksBeforeAndAfterTheData) {
  WavLayout layout;
  layout.list_chunk = Bytes(30, 'i');
  layout.trailing_chunk = Bytes(50, 't');
  Read r = read_bytes(make_wav(layout, samples(100)));
  ASSERT_EQ(r.result, 0) << r.err;
  EXPECT_EQ(r.file.data_offset, 44 + 38);
  EXPECT_EQ(r.file.data_size, 100u);
  EXPECT_EQ(r.file.channel_mask, 0u);  // offset 40 holds the LIST chunk's size, not a mask
}

TEST(WavHeader, DataChunkFoundByWalkingTheChunks) {
  // A LIST chunk whose text holds "data" (a comment "metadata") and a size
  // field that is no size: the data chunk after it holds the samples.
  WavLayout layout;
  Bytes text = {'I', 'C', 'M', 'T', 9, 0, 0, 0};
  append_text(text, "metadata");
  text.insert(text.end(), {0, 0});
  layout.list_chunk = text;
  Read r = read_bytes(make_wav(layout, samples(100)));
  ASSERT_EQ(r.result, 0) << r.err;
  EXPECT_EQ(r.file.data_offset, 44 + 8 + 18);
  EXPECT_EQ(r.file.data_size, 100u);

  // An odd chunk with its pad byte, and one whose writer left the pad out:
  // the data follows either way.
  layout.list_chunk = Bytes(31, 'i');
  Bytes padded = make_wav(layout, samples(100));
  EXPECT_EQ(read_bytes(padded).file.data_offset, 44 + 8 + 32);
  Bytes unpadded = padded;
  unpadded.erase(unpadded.begin() + 36 + 8 + 31);
  Read sloppy = read_bytes(unpadded);
  ASSERT_EQ(sloppy.result, 0) << sloppy.err;
  EXPECT_EQ(sloppy.file.data_offset, 44 + 8 + 31);
  EXPECT_EQ(sloppy.file.data_size, 100u);
}

TEST(WavHeader, AnnouncedDataBeyondTheFileIsKept) {
  WavLayout layout;
  layout.declared_data_size = 1000000;
  Read r = read_bytes(make_wav(layout, samples(56)));
  ASSERT_EQ(r.result, 0);
  EXPECT_EQ(r.file.data_size, 1000000u);
}

TEST(WavHeader, Refusals) {
  WavLayout layout;
  Bytes good = make_wav(layout, samples(100));

  Bytes not_riff = good;
  not_riff[0] = 'r';
  EXPECT_EQ(read_bytes(not_riff).err,
            "Error: Not a valid wav header, either file is corrupt, or is not a wav file!");
  EXPECT_EQ(read_bytes(Bytes(good.begin(), good.begin() + 10)).result, 1);

  Bytes many = good;
  put_u16(many, 22, 19);
  EXPECT_EQ(read_bytes(many).err, "Error: Detected 19 channels, maximum channels supported are 18.");

  for (uint16_t channels : {uint16_t(0), uint16_t(0xFFFF)}) {
    Bytes b = good;
    put_u16(b, 22, channels);
    Read r = read_bytes(b);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.err, BAD_DEPTH);
  }
  Bytes no_rate = good;
  put_u32(no_rate, 24, 0);
  EXPECT_EQ(read_bytes(no_rate).err, BAD_DEPTH);
  Bytes absurd = good;
  put_u32(absurd, 28, 0xFFFFFFFF);
  EXPECT_EQ(read_bytes(absurd).err, BAD_DEPTH);
  Bytes huge_rate = good;
  put_u32(huge_rate, 24, 0x7FFFFFFF);
  put_u16(huge_rate, 22, 18);
  EXPECT_EQ(read_bytes(huge_rate).err, BAD_DEPTH);

  Bytes tag = good;
  put_u16(tag, 20, 2);
  EXPECT_EQ(read_bytes(tag).err, UNSUPPORTED);
  WavLayout ext;
  ext.extensible = true;
  Bytes sub = make_wav(ext, samples(100));
  sub[44] = 2;
  EXPECT_EQ(read_bytes(sub).err, UNSUPPORTED);

  // Float samples of 16 bits, and 64-bit integers, cannot be converted.
  Bytes half = good;
  put_u16(half, 20, 3);
  EXPECT_EQ(read_bytes(half).err, UNSUPPORTED);
  WavLayout wide;
  wide.bits = 32;
  Bytes int64 = make_wav(wide, samples(160));
  put_u32(int64, 28, 48000 * 8);
  EXPECT_EQ(read_bytes(int64).err, UNSUPPORTED);

  Bytes no_data = good;
  no_data[36] = 'D';
  EXPECT_EQ(read_bytes(no_data).err, "Error: Either file is corrupt, or is not a wav file!");
  // A header cut inside the data chunk's header.
  EXPECT_EQ(read_bytes(Bytes(good.begin(), good.begin() + 42)).err,
            "Error: Either file is corrupt, or is not a wav file!");
}

TEST(WavHeader, DataSearchEndsAtTheHeaderBytes) {
  // "data" at 204, 206 and 208 (after a chunk of 160, 162, 164 bytes): the
  // size field crosses byte 210 and is read from the file whole (0x17700).
  WavLayout layout;
  for (int junk = 160; junk <= 164; junk += 2) {
    layout.list_chunk = Bytes(static_cast<size_t>(junk), 'i');
    Read near = read_bytes(make_wav(layout, samples(96000)));
    ASSERT_EQ(near.result, 0) << junk << near.err;
    EXPECT_EQ(near.file.data_offset, 44 + junk + 8);
    EXPECT_EQ(near.file.frame_count, 48000u) << junk;
  }
  layout.list_chunk = Bytes(166, 'i');  // "data" at 210: beyond the search
  EXPECT_EQ(read_bytes(make_wav(layout, samples(10))).result, 1);
}

TEST(WavHeader, PipedAndUnfinishedSizesRunToTheEnd) {
  WavLayout layout;
  layout.channels = 2;
  layout.extensible = true;
  layout.channel_mask = 0x3;
  for (uint32_t size : {0xFFFFFFFFu, 0u}) {
    layout.declared_data_size = size;
    Read r = read_bytes(make_wav(layout, samples(400)));
    ASSERT_EQ(r.result, 0) << r.err;
    EXPECT_EQ(r.file.data_size, 400u);
    EXPECT_EQ(r.file.frame_count, 100u);
    EXPECT_EQ(r.file.channel_mask, 0x3u);
  }
  Read empty = read_bytes(make_wav(layout, samples(0)));  // 0 and nothing after it
  EXPECT_EQ(empty.file.data_size, 0u);
}

// The RF64 form of a RIFF file: "RF64", its 32-bit sizes at 0xFFFFFFFF, a
// ds64 chunk of `ds64_size` bytes (RIFF size, data size, sample count, then
// zeros) after "WAVE".
Bytes to_rf64(Bytes riff, uint64_t data_size, uint32_t ds64_size = 28) {
  Bytes ds64;
  append_text(ds64, "ds64");
  append_u32(ds64, ds64_size);
  Bytes fields(ds64_size, 0);
  for (int i = 0; i < 8; ++i) fields[8 + i] = static_cast<uint8_t>(data_size >> (8 * i));
  ds64.insert(ds64.end(), fields.begin(), fields.end());
  std::copy_n("RF64", 4, riff.begin());
  put_u32(riff, 4, 0xFFFFFFFFu);
  riff.insert(riff.begin() + 12, ds64.begin(), ds64.end());
  return riff;
}

TEST(WavHeader, Rf64TakesTheDataSizeFromDs64) {
  WavLayout layout;
  layout.channels = 6;
  layout.bits = 24;
  layout.extensible = true;
  layout.channel_mask = 0x3F;
  layout.declared_data_size = 0xFFFFFFFF;
  const Bytes riff = make_wav(layout, samples(6 * 3 * 10));
  Read r = read_bytes(to_rf64(riff, 180));
  ASSERT_EQ(r.result, 0) << r.err;
  EXPECT_EQ(r.file.data_offset, 68 + 36);
  EXPECT_EQ(r.file.data_size, 180u);
  EXPECT_EQ(r.file.frame_count, 10u);
  EXPECT_EQ(r.file.channel_mask, 0x3Fu);
  EXPECT_EQ(r.file.bits, 24);
  // A larger ds64 chunk (with a table) moves the rest along.
  Read table = read_bytes(to_rf64(riff, 180, 28 + 12));
  ASSERT_EQ(table.result, 0) << table.err;
  EXPECT_EQ(table.file.data_offset, 68 + 36 + 12);
  EXPECT_EQ(table.file.data_size, 180u);
  // Sizes beyond 32 bits, as announced (the jobs meet the end of the file).
  Read huge = read_bytes(to_rf64(riff, 0x140000000ull + 18));
  ASSERT_EQ(huge.result, 0) << huge.err;
  EXPECT_EQ(huge.file.data_size, 0x140000000ull + 18);
  EXPECT_EQ(huge.file.frame_count, static_cast<uint32_t>((0x140000000ull + 18) / 18));
  // A ds64 size never filled in, with samples after the header: to the end.
  Read unfinished = read_bytes(to_rf64(riff, 0));
  ASSERT_EQ(unfinished.result, 0) << unfinished.err;
  EXPECT_EQ(unfinished.file.data_size, 180u);
  // A data chunk size other than 0xFFFFFFFF stands.
  layout.declared_data_size = 90;
  Read own = read_bytes(to_rf64(make_wav(layout, samples(180)), 180));
  ASSERT_EQ(own.result, 0) << own.err;
  EXPECT_EQ(own.file.data_size, 90u);
  // RF64 without its ds64 chunk first is no WAV.
  Bytes bare = riff;
  std::copy_n("RF64", 4, bare.begin());
  Read refused = read_bytes(bare);
  EXPECT_EQ(refused.result, 1);
  EXPECT_EQ(refused.err,
            "Error: Not a valid wav header, either file is corrupt, or is not a wav file!");
}

TEST(LittleEndian, FieldsAndSamples) {
  uint8_t b[4];
  put_le32(b, 0x12345678u);
  EXPECT_EQ(b[0], 0x78);
  EXPECT_EQ(b[3], 0x12);
  EXPECT_EQ(get_le32(b), 0x12345678u);
  EXPECT_EQ(get_le16(b + 2), 0x1234u);
  put_le16(b, 0xFFFE);
  EXPECT_EQ(get_le16(b), 0xFFFEu);
  // 24-bit samples sign-extended: full scale both ways, -1 and 1.
  const std::pair<uint32_t, int32_t> samples24[] = {
      {0x800000u, -8388608}, {0x7FFFFFu, 8388607}, {0xFFFFFFu, -1}, {0x000001u, 1}};
  for (const auto& [stored, value] : samples24) {
    put_le24(b, stored);
    EXPECT_EQ(get_le24_signed(b), value) << stored;
  }
}

}  // namespace
