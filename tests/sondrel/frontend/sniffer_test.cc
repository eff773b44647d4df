// Payload sniffer on hand-built 16-bit stereo WAVs carrying sync words.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "frontend/payload_sniffer.h"
#include "test_files.h"
#include "wav/wav_header_reader.h"
#include "wav_builder.h"

namespace {

struct Sniffed {
  int32_t kind;
  InputFile file;
};

void place(Bytes& data, size_t at, std::initializer_list<uint8_t> bytes) {
  for (uint8_t b : bytes) data.at(at++) = b;
}

Sniffed sniff(const Bytes& data) {
  WavLayout layout;
  layout.channels = 2;
  layout.rate = 44100;
  Bytes wav = make_wav(layout, data);
  TempDir dir;
  write_file(dir.file("in.wav"), wav);
  Sniffed s{};
  init_input_file(&s.file);
  s.file.file_size = wav.size();
  FILE* stream = std::fopen(dir.file("in.wav").c_str(), "rb");
  EXPECT_EQ(read_wav_header(stream, &s.file), 0);
  s.kind = sniff_wav_payload(stream, &s.file);
  std::fclose(stream);
  return s;
}

TEST(Sniffer, Dts16ConfirmedByARepeat) {
  Bytes data(20000, 0);
  place(data, 0, {0xFE, 0x7F, 0x01, 0x80});
  place(data, 2048, {0xFE, 0x7F, 0x01, 0x80});
  Sniffed s = sniff(data);
  EXPECT_EQ(s.kind, KIND_DTS_WAV);
  EXPECT_EQ(s.file.word_bits, 16);
  EXPECT_EQ(s.file.sync_offset, 44);
  EXPECT_EQ(s.file.burst_spacing, 2048);
  EXPECT_EQ(s.file.burst_count, (20000 - 44) / 2048);
}

TEST(Sniffer, Dts14WinsOverDts16AndSkipsUnconfirmedHits) {
  Bytes data(20000, 0);
  place(data, 100, {0xFF, 0x1F, 0x00, 0xE8});  // lone: no repeat
  place(data, 1000, {0xFE, 0x7F, 0x01, 0x80});
  place(data, 1000 + 512, {0xFE, 0x7F, 0x01, 0x80});
  place(data, 3000, {0xFF, 0x1F, 0x00, 0xE8});
  place(data, 3000 + 4096, {0xFF, 0x1F, 0x00, 0xE8});
  Sniffed s = sniff(data);
  EXPECT_EQ(s.kind, KIND_DTS_WAV);
  EXPECT_EQ(s.file.word_bits, 14);
  EXPECT_EQ(s.file.sync_offset, 44 + 3000);
  EXPECT_EQ(s.file.burst_spacing, 4096);
}

TEST(Sniffer, Ac3ConfirmedAt6144) {
  Bytes data(30000, 0);
  place(data, 10, {0x77, 0x0B});  // lone
  place(data, 500, {0x77, 0x0B});
  place(data, 500 + 6144, {0x77, 0x0B});
  Sniffed s = sniff(data);
  EXPECT_EQ(s.kind, KIND_AC3_WAV);
  EXPECT_EQ(s.file.sync_offset, 544);
  EXPECT_EQ(s.file.burst_spacing, 6144);
  EXPECT_EQ(s.file.burst_count, (30000 - 544) / 6144);
}

TEST(Sniffer, LoneOrLateSyncWordsLeaveAPcmWav) {
  Bytes lone(20000, 0);
  place(lone, 0, {0xFE, 0x7F, 0x01, 0x80});
  EXPECT_EQ(sniff(lone).kind, KIND_PCM_WAV);
  EXPECT_EQ(sniff(lone).file.sync_offset, 0);

  Bytes late(130000, 0);
  place(late, 100000, {0xFE, 0x7F, 0x01, 0x80});
  place(late, 100000 + 2048, {0xFE, 0x7F, 0x01, 0x80});
  place(late, 100100, {0x77, 0x0B});
  place(late, 100100 + 6144, {0x77, 0x0B});
  EXPECT_EQ(sniff(late).kind, KIND_PCM_WAV);

  // An AC-3 hit just below the limit is confirmed by bytes beyond it.
  Bytes edge(110000, 0);
  place(edge, 99000, {0x77, 0x0B});
  place(edge, 99000 + 6144, {0x77, 0x0B});
  EXPECT_EQ(sniff(edge).kind, KIND_AC3_WAV);
}

TEST(Sniffer, TinyFilesAreSafe) {
  EXPECT_EQ(sniff(Bytes()).kind, KIND_PCM_WAV);
  EXPECT_EQ(sniff(Bytes{0xFE, 0x7F}).kind, KIND_PCM_WAV);
}

}  // namespace
