// The stream scan on fixtures and on damaged streams: first-frame facts,
// layouts, frame totals, measuring count, extension probe, bad input.
#include "decode/stream_scan.h"

#include <gtest/gtest.h>

#include <cstring>

#include "report/halt.h"
#include "tones.h"

namespace {

struct Scan {
  InputFile file;
  JobSettings settings;
  int result = 0;
  std::string err;
};

// Scans `bytes` as a file of `kind` in `mode`; `prepare` may set sniffer facts.
Scan scan_bytes(const Bytes& bytes, int32_t kind, int32_t mode,
                void (*prepare)(InputFile*) = nullptr) {
  TempDir dir;
  const std::string path = dir.file("input");
  write_file(path, bytes);
  Scan s;
  std::memset(&s.file, 0, sizeof s.file);
  init_input_file(&s.file);
  init_job_settings(&s.settings);
  s.settings.no_progress = 1;
  s.file.kind = kind;
  s.file.file_size = bytes.size();
  std::strcpy(s.file.display_name, "input");
  std::strcpy(s.file.path, "input");
  if (prepare) prepare(&s.file);
  FILE* stream = std::fopen(path.c_str(), "rb");
  testing::internal::CaptureStderr();
  s.result = open_stream_decoder(stream, &s.file, &s.settings, SCAN_COLLECT);
  if (mode == SCAN_COUNT && s.result == 0)
    s.result = open_stream_decoder(stream, &s.file, &s.settings, SCAN_COUNT);
  s.err = testing::internal::GetCapturedStderr();
  std::fclose(stream);
  return s;
}

Scan scan_fixture(const std::string& name, int32_t kind, int32_t mode) {
  return scan_bytes(decode_fixture_bytes(name), kind, mode);
}

const char kCorrupt[] = "Error: File is corrupt, or is not a dolby digital file! [input]\n";

TEST(StreamScan, Ac3FirstFrameAndEstimate) {
  Scan s = scan_fixture("ac3_3_2L_48.ac3", KIND_AC3, SCAN_COLLECT);
  EXPECT_EQ(s.result, 0);
  EXPECT_EQ(s.err, "");
  EXPECT_EQ(s.file.channels, 6);
  EXPECT_EQ(s.file.channel_mask, 0x3Fu);
  EXPECT_EQ(s.file.out_flags, 9);
  EXPECT_EQ(s.file.has_lfe, 1);
  EXPECT_EQ(s.file.bits, 16);
  EXPECT_EQ(s.file.is_float, 0);
  EXPECT_EQ(s.file.frame_size, 1792);
  EXPECT_EQ(s.file.burst_count, 16);  // 28672 / 1792
  EXPECT_EQ(s.file.frame_count, 16u * 1536u);
  EXPECT_STREQ(s.file.length_text, "0:00:00.512");
  EXPECT_EQ(s.file.ext_audio, 0);
  s = scan_fixture("ac3_2_0_44.ac3", KIND_AC3, SCAN_COLLECT);
  EXPECT_EQ(s.file.channels, 2);
  EXPECT_EQ(s.file.channel_mask, 0x3u);
  EXPECT_EQ(s.file.out_flags, 2);
  EXPECT_EQ(s.file.sample_rate, 44100);
  s = scan_fixture("ac3_ex.ac3", KIND_AC3, SCAN_COLLECT);
  EXPECT_EQ(s.file.ext_audio, 2);
}

TEST(StreamScan, MeasuringCountAndSyncInterval) {
  // Junk before the first frame is slid over and counted into the interval
  // of the frame after it.
  const Bytes stream = decode_fixture_bytes("ac3_2_0_48.ac3");
  Bytes one_frame(1000 + 768, 0x55);
  std::memcpy(one_frame.data() + 1000, stream.data(), 768);
  Scan s = scan_bytes(one_frame, KIND_AC3, SCAN_COUNT);
  EXPECT_EQ(s.file.burst_count, 1);
  EXPECT_EQ(s.file.burst_spacing, 1768);
  EXPECT_EQ(s.file.frame_count, 1536u);
  s = scan_fixture("ac3_junk.ac3", KIND_AC3, SCAN_COUNT);
  EXPECT_EQ(s.file.burst_count, 16);
  EXPECT_EQ(s.file.burst_spacing, 768);
  EXPECT_EQ(s.file.frame_count, 16u * 1536u);
  // The stream that changes layout has 16 frames of each kind.
  s = scan_fixture("ac3_change.ac3", KIND_AC3, SCAN_COUNT);
  EXPECT_EQ(s.file.burst_count, 32);
  // A sync word and part of a header at the end of the file add nothing.
  Bytes tail = stream;
  tail.push_back(0x0B);
  tail.push_back(0x77);
  tail.push_back(0x12);
  s = scan_bytes(tail, KIND_AC3, SCAN_COUNT);
  EXPECT_EQ(s.file.burst_count, 16);
  // DTS sums the samples of complete frames; the cut last frame is counted
  // as a frame at its sync test but adds no samples.
  s = scan_fixture("dts_truncated.dts", KIND_DTS, SCAN_COUNT);
  EXPECT_EQ(s.file.burst_count, 47);
  EXPECT_EQ(s.file.frame_count, 46u * 512u);
  EXPECT_EQ(s.file.burst_spacing, 1024);
  EXPECT_EQ(std::string(s.settings.status_label), "Scanning file: input ");
}

TEST(StreamScan, StreamsCarriedInWavs) {
  Scan s = scan_bytes(decode_fixture_bytes("ddwav_3_2L.wav"), KIND_AC3_WAV, SCAN_COUNT,
                      [](InputFile* f) {
                        f->data_offset = 44;
                        f->sync_offset = 52;
                        f->burst_spacing = 6144;
                        f->burst_count = 16;
                      });
  EXPECT_EQ(s.file.channels, 6);
  EXPECT_EQ(s.file.burst_count, 16);
  EXPECT_EQ(s.file.bits, 16);
  s = scan_bytes(decode_fixture_bytes("dtswav14_3_2L.wav"), KIND_DTS_WAV, SCAN_COLLECT,
                 [](InputFile* f) {
                   f->sync_offset = 44;
                   f->word_bits = 14;
                   f->burst_spacing = 2048;
                   f->burst_count = 47;
                 });
  EXPECT_EQ(s.file.channels, 6);
  EXPECT_EQ(s.file.out_flags, 9);
  EXPECT_EQ(s.file.frame_count, 47u * 512u);
  EXPECT_EQ(s.file.frame_size, 1172);  // 1024 bytes in whole 14-bit words: 586 x 2
}

TEST(StreamScan, DtsFactsResolutionAndExtension) {
  Scan s = scan_fixture("dts_3_2L.dts", KIND_DTS, SCAN_COLLECT);
  EXPECT_EQ(s.file.channels, 6);
  EXPECT_EQ(s.file.channel_mask, 0x3Fu);
  EXPECT_EQ(s.file.out_flags, 9);
  EXPECT_EQ(s.file.has_lfe, 1);
  EXPECT_EQ(s.file.burst_count, 47);
  EXPECT_EQ(s.file.frame_count, 47u * 512u);
  EXPECT_EQ(s.settings.blocks_per_frame, 2);
  // A 20-bit source resolution (code 2) gives 20 bits for a raw stream.
  Bytes twenty = decode_fixture_bytes("dts_2_0.dts");
  twenty[12] = static_cast<uint8_t>((twenty[12] & 0x3F) | 0x80);
  twenty[11] &= static_cast<uint8_t>(~0x01);
  s = scan_bytes(twenty, KIND_DTS, SCAN_COLLECT);
  EXPECT_EQ(s.file.bits, 20);
  s = scan_bytes(twenty, KIND_DTS_WAV, SCAN_COLLECT);
  EXPECT_EQ(s.file.bits, 16);
  // The channel extension of the ES stream announces arrangement 11.
  s = scan_fixture("dts_es.dts", KIND_DTS, SCAN_COLLECT);
  EXPECT_EQ(s.file.ext_audio, 1);
  EXPECT_EQ(s.file.ext_audio_id, 0);
  EXPECT_EQ(s.file.amode, 11);
  // Cut just after the extension's sync word: the probe finds it but has no
  // arrangement to read, and reads nothing past the end.
  Bytes cut = decode_fixture_bytes("dts_es.dts");
  cut.resize(1032 - 2);
  s = scan_bytes(cut, KIND_DTS, SCAN_COLLECT);
  EXPECT_EQ(s.file.amode, 0);
  s = scan_fixture("dts_open.dts", KIND_DTS, SCAN_COLLECT);
  EXPECT_EQ(s.file.bit_rate, 1.0);
  EXPECT_EQ(s.file.channels, 2);
}

TEST(StreamScan, BadInput) {
  // No decodable frame: channels -1 (the driver skips the file) and the
  // family's message naming the file; nothing is measured.
  Scan s = scan_fixture("random.ac3", KIND_AC3, SCAN_COLLECT);
  EXPECT_EQ(s.result, 0);
  EXPECT_EQ(s.file.channels, -1);
  EXPECT_EQ(s.err, kCorrupt);
  s = scan_bytes(Bytes{}, KIND_AC3, SCAN_COLLECT);
  EXPECT_EQ(s.err, kCorrupt);
  for (int32_t kind : {KIND_DTS, KIND_CPT, KIND_DTS_WAV}) {
    s = scan_fixture("random.dts", kind, SCAN_COLLECT);
    EXPECT_EQ(s.result, 0);
    EXPECT_EQ(s.file.channels, -1);
    EXPECT_EQ(s.file.frame_count, 0u);
    EXPECT_EQ(s.err, "Error: File is corrupt, or is not a DTS file! [input]\n");
  }
  // Frames cut off after their headers: no frame is complete, so none decodes.
  const Bytes frame = decode_fixture_bytes("ac3_2_0_48.ac3");
  Bytes headers(400);
  for (int k = 0; k < 4; ++k) std::memcpy(headers.data() + 100 * k, frame.data(), 100);
  s = scan_bytes(headers, KIND_AC3, SCAN_COLLECT);
  EXPECT_EQ(s.file.channels, -1);
  EXPECT_EQ(s.err, kCorrupt);
  // E-AC-3 frames (ffmpeg's eac3 encoder) are named as such.
  s = scan_fixture("eac3_2_0.ac3", KIND_AC3, SCAN_COLLECT);
  EXPECT_EQ(s.file.channels, -1);
  EXPECT_EQ(s.err, "Error: E-AC-3 (Dolby Digital Plus) is not supported! [input]\n");
}

TEST(StreamScan, CtrlCDuringTheCountEndsTheRun) {
  TempDir dir;
  write_file(dir.file("a.ac3"), decode_fixture_bytes("ac3_2_0_48.ac3"));
  InputFile f;
  std::memset(&f, 0, sizeof f);
  init_input_file(&f);
  f.kind = KIND_AC3;
  f.file_size = 12288;
  JobSettings settings;
  init_job_settings(&settings);
  FILE* stream = std::fopen(dir.file("a.ac3").c_str(), "rb");
  halt_flag = 1;
  testing::internal::CaptureStderr();
  EXPECT_EQ(stream_read_loop(stream, &f, SCAN_COUNT, &settings), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), std::string(66, ' '));
  halt_flag = 0;
  std::fclose(stream);
  release_stream_decoders();
}

}  // namespace
