// The decoder layer, layouts and routing helpers, on frames of the fixtures
// and on hand-edited headers.
#include <gtest/gtest.h>

#include <cstring>

#include "decode/ac3_decoder.h"
#include "decode/block_router.h"
#include "decode/dts_decoder.h"
#include "decode/format_hook.h"
#include "decode/frame_buffer.h"
#include "decode/routing.h"
#include "decode/stream_layout.h"
#include "decode/stream_scan.h"
#include "tones.h"

namespace {

InputFile blank_file(int32_t kind) {
  InputFile f;
  std::memset(&f, 0, sizeof f);
  init_input_file(&f);
  f.kind = kind;
  return f;
}

Bytes swap_words(const Bytes& in) {
  Bytes out(in);
  for (size_t i = 0; i + 1 < in.size(); i += 2) std::swap(out[i], out[i + 1]);
  return out;
}

// Decodes the first frame of `frame` and returns the six blocks' samples.
std::vector<float> decode_ac3_frame(const Bytes& frame, InputFile* f) {
  Ac3Decoder* d = ac3_decoder_create();
  std::vector<float> out;
  const int32_t length = ac3_sync_test(d, frame.data(), f, FRAME_MODE_COLLECT);
  EXPECT_GT(length, 0);
  double level = 1.0;
  EXPECT_EQ(ac3_frame_setup(d, frame.data(), f, &level, 0.0, FRAME_MODE_COLLECT), 0);
  for (int b = 0; b < AC3_BLOCKS_PER_FRAME; ++b) {
    EXPECT_EQ(ac3_decode_block(d), 0);
    const float* s = ac3_block_samples(d);
    out.insert(out.end(), s, s + LIBRARY_BUFFER_SAMPLES);
  }
  ac3_decoder_release(d);
  return out;
}

TEST(Ac3Layer, SyncTestReadsTheHeaderInBothByteOrders) {
  const Bytes natural = decode_fixture_bytes("ac3_3_2L_48.ac3");
  const Bytes swapped = swap_words(natural);
  for (const Bytes* bytes : {&natural, &swapped}) {
    InputFile f = blank_file(KIND_AC3);
    Ac3Decoder* d = ac3_decoder_create();
    // 448 kbit/s at 48 kHz: 1792-byte frames.
    EXPECT_EQ(ac3_sync_test(d, bytes->data(), &f, FRAME_MODE_COLLECT), 1792);
    EXPECT_EQ(f.sample_rate, 48000);
    EXPECT_EQ(f.bit_rate, 448000.0);
    EXPECT_EQ(f.out_flags, 7);
    EXPECT_EQ(f.stream_flags, 7 | AC3_LFE);
    EXPECT_EQ(ac3_latch(d), bytes == &natural ? AC3_ORDER_NATURAL : AC3_ORDER_SWAPPED);
    // The latch now refuses the other order.
    const Bytes& other = bytes == &natural ? swapped : natural;
    EXPECT_EQ(ac3_sync_test(d, other.data(), &f, FRAME_MODE_DECODE), 0);
    ac3_set_latch(d, PACKING_ANY);
    EXPECT_EQ(ac3_sync_test(d, other.data(), &f, FRAME_MODE_DECODE), 1792);
    ac3_decoder_release(d);
  }
  // 44.1 kHz frames alternate in length by the padding bit; 32 kHz at
  // 448 kbit/s is 2688 bytes.
  InputFile f = blank_file(KIND_AC3);
  Ac3Decoder* d = ac3_decoder_create();
  EXPECT_EQ(ac3_sync_test(d, decode_fixture_bytes("ac3_3_2L_32.ac3").data(), &f, 1), 2688);
  EXPECT_EQ(f.sample_rate, 32000);
  ac3_decoder_release(d);
}

TEST(Ac3Layer, SyncTestRefusesBadHeaderFields) {
  const Bytes frame = decode_fixture_bytes("ac3_2_0_48.ac3");
  Ac3Decoder* d = ac3_decoder_create();
  InputFile f = blank_file(KIND_AC3);
  Bytes h(frame.begin(), frame.begin() + AC3_HEADER_BYTES);
  EXPECT_GT(ac3_sync_test(d, h.data(), &f, 0), 0);
  Bytes bad = h;
  bad[5] = static_cast<uint8_t>((12 << 3) | (bad[5] & 7));  // bsid 12
  EXPECT_EQ(ac3_sync_test(d, bad.data(), &f, 0), 0);
  bad = h;
  bad[4] = static_cast<uint8_t>((bad[4] & 0xC0) | 38);  // frame-size code 38
  EXPECT_EQ(ac3_sync_test(d, bad.data(), &f, 0), 0);
  bad = h;
  bad[4] = static_cast<uint8_t>(0xC0 | (bad[4] & 63));  // sample-rate code 3
  EXPECT_EQ(ac3_sync_test(d, bad.data(), &f, 0), 0);
  // Half-rate bsid 9 halves rate and bit rate; Dolby Surround stereo is mode 10.
  bad = h;
  bad[5] = static_cast<uint8_t>((9 << 3) | (bad[5] & 7));
  bad[6] = static_cast<uint8_t>(0x50 | (bad[6] & 7));
  EXPECT_GT(ac3_sync_test(d, bad.data(), &f, FRAME_MODE_COLLECT), 0);
  EXPECT_EQ(f.sample_rate, 24000);
  EXPECT_EQ(f.bit_rate, 96000.0);
  EXPECT_EQ(f.stream_flags & 15, AC3_MODE_DOLBY);
  ac3_decoder_release(d);
}

TEST(Ac3Layer, SwappedFrameDecodesLikeTheNaturalFrame) {
  const Bytes natural = decode_fixture_bytes("ac3_3_2L_48.ac3");
  InputFile a = blank_file(KIND_AC3), b = blank_file(KIND_AC3);
  const std::vector<float> x = decode_ac3_frame(natural, &a);
  const std::vector<float> y = decode_ac3_frame(swap_words(natural), &b);
  ASSERT_EQ(x.size(), y.size());
  EXPECT_EQ(std::memcmp(x.data(), y.data(), x.size() * sizeof(float)), 0);
  EXPECT_EQ(a.stream_flags, b.stream_flags);
  EXPECT_EQ(a.stream_flags, 7 | AC3_LFE);
  double energy = 0;
  for (float v : x) energy += v * v;
  EXPECT_GT(energy, 0.0);
}

TEST(Ac3Layer, DolbySurroundFramesDecodeAsPlainStereo) {
  // ffmpeg's Dolby Surround frame, and the same frame with the flag cleared
  // (dsurmod, bits 3 and 4 of byte 6): same samples, both given as stereo.
  const Bytes dolby = decode_fixture_bytes("ac3_dsur.ac3");
  Bytes plain = dolby;
  plain[6] &= static_cast<uint8_t>(~0x18);
  InputFile a = blank_file(KIND_AC3), b = blank_file(KIND_AC3);
  EXPECT_EQ(decode_ac3_frame(dolby, &a), decode_ac3_frame(plain, &b));
  EXPECT_EQ(a.stream_flags, 2);
  EXPECT_EQ(b.stream_flags, 2);
  // E-AC-3 headers (bit-stream id 16) in either byte order are not AC-3 frames.
  const Bytes eac3 = decode_fixture_bytes("eac3_2_0.ac3");
  EXPECT_EQ(ac3_eac3_frame_length(eac3.data()), 384);  // 96 kbit/s x 1536 / 48000 / 8
  EXPECT_EQ(ac3_eac3_frame_length(swap_words(eac3).data()), 384);
  EXPECT_EQ(ac3_eac3_frame_length(dolby.data()), 0);
  Ac3Decoder* d = ac3_decoder_create();
  EXPECT_EQ(ac3_frame_length(d, eac3.data()), 0);
  ac3_decoder_release(d);
}

TEST(Ac3Layer, SurroundExIndicator) {
  const Bytes ex = decode_fixture_bytes("ac3_ex.ac3");
  const Bytes plain = decode_fixture_bytes("ac3_3_2L_48.ac3");
  EXPECT_EQ(ac3_surround_ex(ex.data(), 1792), 2);
  EXPECT_EQ(ac3_surround_ex(plain.data(), 1792), 0);
  EXPECT_EQ(ac3_surround_ex(ex.data(), 8), 0);  // header too short to tell
  InputFile f = blank_file(KIND_AC3);
  decode_ac3_frame(ex, &f);
  EXPECT_EQ(f.ext_audio, 2);
}

TEST(DtsLayer, FourPackingsGiveTheSameFrame) {
  const Bytes be16 = decode_fixture_bytes("dts_2_0.dts");
  struct Case {
    const char* name;
    int32_t packing;
    int32_t length;
    int32_t word_bits;
  } cases[] = {{"dts_2_0.dts", DTS_PACK_16_BE, 1024, 16},
               {"dts_pack_16le.dts", DTS_PACK_16_LE, 1024, 16},
               {"dts_pack_14be.dts", DTS_PACK_14_BE, 1172, 14},  // 586 words of 14 bits
               {"dts_pack_14le.cpt", DTS_PACK_14_LE, 1172, 14}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes bytes = decode_fixture_bytes(c.name);
    EXPECT_EQ(dts_find_packing(bytes.data()), c.packing);
    DtsDecoder* d = dts_decoder_create();
    InputFile f = blank_file(KIND_DTS);
    int32_t samples = 0;
    EXPECT_EQ(dts_sync_test(d, bytes.data(), &f, FRAME_MODE_COLLECT, &samples), c.length);
    EXPECT_EQ(samples, 512);
    EXPECT_EQ(f.word_bits, c.word_bits);
    EXPECT_EQ(f.stream_flags, 2);
    EXPECT_EQ(f.sample_rate, 48000);
    EXPECT_EQ(f.bit_rate, 768000.0);
    EXPECT_EQ(dts_latch(d), c.packing);
    // The unpacked frame is the whole big-endian original, last bits included.
    std::vector<uint8_t> words(FRAME_BUFFER_BYTES);
    const int32_t n = dts_unpack(bytes.data(), c.length, c.packing, words.data());
    ASSERT_GE(n, 1024);
    EXPECT_EQ(std::memcmp(words.data(), be16.data(), 1024), 0);
    double level = 1.0;
    EXPECT_EQ(dts_frame_setup(d, bytes.data(), &f, &level, 0.0), 0);
    EXPECT_EQ(f.channels, 2);
    EXPECT_EQ(f.bits, 16);
    EXPECT_EQ(f.frame_size, c.length);
    EXPECT_EQ(dts_frame_blocks(d), 2);
    // Once latched, the other packings are refused.
    EXPECT_EQ(
        dts_sync_test(d,
                      c.packing == DTS_PACK_16_BE ? decode_fixture_bytes("dts_pack_16le.dts").data()
                                                  : be16.data(),
                      &f, FRAME_MODE_DECODE, &samples),
        0);
    dts_decoder_release(d);
  }
}

TEST(DtsLayer, HeaderFactsTheLibraryDoesNotPublish) {
  DtsHeader h;
  Bytes frame = decode_fixture_bytes("dts_3_2L.dts");
  dts_parse_header(frame.data(), 16, &h);
  EXPECT_EQ(h.amode, 9);
  EXPECT_NE(h.lfe, 0);
  EXPECT_EQ(h.sample_count, 512);
  EXPECT_EQ(h.payload_bytes, 1024);
  EXPECT_EQ(h.ext_audio, 0);
  EXPECT_EQ(h.pcm_resolution, 16);
  frame = decode_fixture_bytes("dts_es.dts");
  dts_parse_header(frame.data(), 16, &h);
  EXPECT_EQ(h.ext_audio, 1);
  EXPECT_EQ(h.ext_audio_id, 0);
  EXPECT_EQ(h.payload_bytes, 1032);
  frame = decode_fixture_bytes("dts_9624.dts");
  dts_parse_header(frame.data(), 16, &h);
  EXPECT_EQ(h.ext_audio_id, 2);
  frame = decode_fixture_bytes("dts_open.dts");
  dts_parse_header(frame.data(), 16, &h);
  EXPECT_EQ(h.bit_rate, DTS_RATE_OPEN);
  // PCM resolution code 2 (bits 95 to 97 without a header CRC): 20 bits.
  frame[11] = static_cast<uint8_t>((frame[11] & ~0x01) | 0x00);
  frame[12] = static_cast<uint8_t>((frame[12] & 0x3F) | 0x80);
  dts_parse_header(frame.data(), 16, &h);
  EXPECT_EQ(h.pcm_resolution, 20);
  // A header cut short is incomplete; too short a frame is no sync.
  dts_parse_header(frame.data(), 8, &h);
  EXPECT_EQ(h.complete, 0);
  Bytes tiny = decode_fixture_bytes("dts_2_0.dts");
  tiny[5] = tiny[6] = 0;
  tiny[7] &= 0x0F;  // FSIZE 0
  DtsDecoder* d = dts_decoder_create();
  InputFile f = blank_file(KIND_DTS);
  int32_t samples = 0;
  EXPECT_EQ(dts_sync_test(d, tiny.data(), &f, FRAME_MODE_COLLECT, &samples), 0);
  dts_decoder_release(d);
}

TEST(Layouts, Ac3ModesGiveTheTableLayouts) {
  struct Row {
    int32_t flags, channels, code;
    uint32_t mask;
  } rows[] = {{1, 1, 1, 0x4},    {2, 2, 2, 0x3},      {3, 3, 5, 0x7},     {4, 3, 6, 0x103},
              {5, 4, 7, 0x107},  {6, 4, 8, 0x33},     {7, 5, 9, 0x37},    {0x11, 2, 1, 0xC},
              {0x12, 3, 2, 0xB}, {0x14, 4, 6, 0x10B}, {0x17, 6, 9, 0x3F}, {0x16, 5, 8, 0x3B}};
  for (const Row& r : rows) {
    InputFile f = blank_file(KIND_AC3);
    f.stream_flags = r.flags;
    derive_ac3_layout(&f);
    EXPECT_EQ(f.channels, r.channels) << r.flags;
    EXPECT_EQ(f.out_flags, r.code) << r.flags;
    EXPECT_EQ(f.channel_mask, r.mask) << r.flags;
    EXPECT_EQ(f.has_lfe, (r.flags & 0x10) ? 1 : 0);
  }
  // Dolby Surround stereo is stereo; dual mono has no count: channels stays -1.
  InputFile f = blank_file(KIND_AC3);
  f.stream_flags = 10;
  derive_ac3_layout(&f);
  EXPECT_EQ(f.channels, 2);
  EXPECT_EQ(f.out_flags, 2);
  EXPECT_EQ(f.channel_mask, 0x3u);
  f = blank_file(KIND_AC3);
  f.stream_flags = 0;
  derive_ac3_layout(&f);
  EXPECT_EQ(f.channels, -1);
}

TEST(Layouts, DtsArrangements) {
  InputFile f = blank_file(KIND_DTS);
  f.stream_flags = 9 | DTS_LFE;
  derive_dts_layout(&f);
  EXPECT_EQ(f.channels, 6);
  EXPECT_EQ(f.channel_mask, 0x3Fu);
  f.stream_flags = 8;
  derive_dts_layout(&f);
  EXPECT_EQ(f.channels, 4);
  EXPECT_EQ(f.channel_mask, 0x33u);
  f.stream_flags = 13;
  derive_dts_layout(&f);
  EXPECT_EQ(f.channels, 7);
  EXPECT_EQ(f.channel_mask, 0u);
  f.stream_flags = 40;
  derive_dts_layout(&f);
  EXPECT_EQ(f.channels, 0);
}

TEST(Layouts, LengthText) {
  char text[12];
  make_length_text(3725.5, text, sizeof text);
  EXPECT_STREQ(text, "1:02:05.500");
  make_length_text(0.512, text, sizeof text);
  EXPECT_STREQ(text, "0:00:00.512");
  make_length_text(40000.0, text, sizeof text);  // ten hours and more are cut, not overrun
  EXPECT_EQ(std::strlen(text), 11u);
  char wide[24];
  make_length_text(40000.0, wide, sizeof wide);
  EXPECT_STREQ(wide, "11:06:40.000");
  make_length_text(59.9996, wide, sizeof wide);  // rounds up into the next minute and hour
  EXPECT_STREQ(wide, "0:01:00.000");
  make_length_text(3599.9999, wide, sizeof wide);
  EXPECT_STREQ(wide, "1:00:00.000");
}

TEST(Routing, MultichannelOrderFollowsSpeakerPositions) {
  InputFile f = blank_file(KIND_AC3);
  alloc_channel_names(&f, 5);
  const char* labels[] = {"FL", "FR", "FC", "BC", "LFE"};
  for (int k = 0; k < 5; ++k) std::strcpy(f.channel_names[k], labels[k]);
  JobSettings s;
  init_job_settings(&s);
  s.selected_count = 5;
  for (int k = 0; k < 5; ++k) s.selected_channels[k] = k;
  int32_t order[MAX_SELECTED];
  EXPECT_EQ(multichannel_layout(&f, &s, order), 0x10Fu);
  const int32_t expected[] = {0, 1, 2, 4, 3};
  for (int k = 0; k < 5; ++k) EXPECT_EQ(order[k], expected[k]);
  // A label without a speaker position falls back to the slot indices.
  f.channel_names[3][0] = '\0';
  EXPECT_EQ(multichannel_layout(&f, &s, order), 0x1Fu);
  EXPECT_EQ(order[3], 3);
  free_channel_names(&f);
}

TEST(Routing, LatchedLayoutAndChangeChecks) {
  InputFile f = blank_file(KIND_AC3);
  JobSettings s;
  init_job_settings(&s);
  FormatHook* hook = format_hook_create(KIND_AC3);
  RouteState route;
  route_start(&route, &f, &s);
  std::vector<float> samples(LIBRARY_BUFFER_SAMPLES, 0.0f);
  Block block;
  f.stream_flags = 0x16;  // 2/2 with LFE: five channels
  EXPECT_EQ(route_block(hook, &f, samples.data(), &route, &s, &block), ROUTE_OK);
  EXPECT_EQ(hook->requested_flags, 0x16);
  EXPECT_EQ(hook->latched_channels, 5);
  EXPECT_EQ(hook->latched_mask, 0x3Bu);
  EXPECT_EQ(f.out_flags, 6);  // the routing row: the mode without LFE
  // An LFE once seen stays counted: 3/2 without it still counts six.
  f.stream_flags = 0x07;
  testing::internal::CaptureStderr();
  EXPECT_EQ(route_block(hook, &f, samples.data(), &route, &s, &block),
            ROUTE_ERROR);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error: Number of channels in the stream has changed!\n");
  format_hook_release(hook);
  // Two DTS stereo arrangements: same count and mask, another channel mode.
  InputFile d = blank_file(KIND_DTS);
  hook = format_hook_create(KIND_DTS);
  route_start(&route, &d, &s);
  d.stream_flags = 2;
  EXPECT_EQ(route_block(hook, &d, samples.data(), &route, &s, &block), ROUTE_OK);
  d.stream_flags = 1;
  testing::internal::CaptureStderr();
  EXPECT_EQ(route_block(hook, &d, samples.data(), &route, &s, &block),
            ROUTE_ERROR);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error: Channel mode in the stream has changed!\n");
  format_hook_release(hook);
}

TEST(Routing, SlotWithoutRoutingEntryDeliversSilence) {
  InputFile f = blank_file(KIND_DTS);
  f.stream_flags = 9 | DTS_LFE;
  f.has_lfe = 1;
  JobSettings s;
  init_job_settings(&s);
  std::memcpy(s.channel_offsets, dts_channel_offsets, sizeof s.channel_offsets);
  s.selected_count = 2;
  s.selected_channels[0] = 3;  // LFE of 5.1: last in libdca's buffer
  s.selected_channels[1] = 7;  // an extension slot: no entry
  FormatHook* hook = format_hook_create(KIND_DTS);
  RouteState route;
  route_start(&route, &f, &s);
  std::vector<float> samples(LIBRARY_BUFFER_SAMPLES);
  for (int32_t i = 0; i < LIBRARY_BUFFER_SAMPLES; ++i) samples[i] = static_cast<float>(i + 1);
  Block block;
  ASSERT_EQ(route_block(hook, &f, samples.data(), &route, &s, &block), ROUTE_OK);
  ASSERT_EQ(block.form, BLOCK_PLANES);
  ASSERT_EQ(block.frames, BLOCK_SAMPLES);
  for (int k = 0; k < 2; ++k)
    for (int32_t i = 0; i < BLOCK_SAMPLES; ++i)
      ASSERT_EQ(block.planes[k][i], k == 0 ? samples[5 * BLOCK_SAMPLES + i] : 0.0f) << k << i;
  format_hook_release(hook);
}

}  // namespace
