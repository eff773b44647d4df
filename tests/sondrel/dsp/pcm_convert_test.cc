// Stored PCM to doubles and back: scale factors, rounding half away from
// zero, clamping, packing of every width; 64-bit float is left to the jobs.
#include "dsp/pcm_convert.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

OutputFormat settings_for(int32_t bits, int32_t is_float) {
  return make_output_format(bits, is_float, 0, 0, 0.18);
}

std::vector<uint8_t> convert(const std::vector<double>& x, const OutputFormat& s,
                             int32_t channels = 1) {
  std::vector<uint8_t> out(x.size() * 8 + 16, 0xAB);
  samples_to_pcm(x.data(), out.data(), &s, channels, static_cast<int32_t>(x.size()) / channels);
  return out;
}

std::vector<int32_t> as_int16(const std::vector<uint8_t>& b, size_t count) {
  std::vector<int32_t> v;
  for (size_t i = 0; i < count; ++i)
    v.push_back(static_cast<int16_t>(b[2 * i] | (b[2 * i + 1] << 8)));
  return v;
}

TEST(PcmConvert, RoundsHalfAwayFromZero) {
  EXPECT_EQ(round_half_away(2.5), 3);
  EXPECT_EQ(round_half_away(-2.5), -3);
  EXPECT_EQ(round_half_away(2.4999), 2);
  EXPECT_EQ(round_half_away(-0.4), 0);
  EXPECT_EQ(round_half_away(-0.5), -1);
  EXPECT_EQ(round_half_away(0.0), 0);
}

TEST(PcmConvert, SixteenBitOutputScalesRoundsAndClamps) {
  const OutputFormat s = settings_for(16, 0);
  const std::vector<uint8_t> out = convert({1.0, -1.0, 1.5, -1.5, 0.5, 0.0, -0.5}, s);
  EXPECT_EQ(as_int16(out, 7),
            (std::vector<int32_t>{32767, -32767, 32767, -32768, 16384, 0, -16384}));
  EXPECT_EQ(out[14], 0xAB);  // nothing written past the samples
}

TEST(PcmConvert, EightBitOutputIsOffsetBinary) {
  const std::vector<uint8_t> out = convert({0.0, 1.0, -1.0, -1.01, 2.0}, settings_for(8, 0));
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 6),
            (std::vector<uint8_t>{128, 255, 1, 0, 255, 0xAB}));
}

TEST(PcmConvert, TwentyFourAndThirtyTwoBitOutput) {
  const std::vector<uint8_t> out24 =
      convert({1.0, -1.0, -2.0, 1.0 / 8388607.0}, settings_for(24, 0));
  EXPECT_EQ(std::vector<uint8_t>(out24.begin(), out24.begin() + 13),
            (std::vector<uint8_t>{0xFF, 0xFF, 0x7F, 0x01, 0x00, 0x80, 0x00, 0x00, 0x80, 0x01, 0x00,
                                  0x00, 0xAB}));
  const std::vector<uint8_t> out32 = convert({1.0, 3.0, -3.0, -1.0}, settings_for(32, 0));
  int32_t v[4];
  std::memcpy(v, out32.data(), sizeof v);
  EXPECT_EQ(v[0], 2147483647);
  EXPECT_EQ(v[1], 2147483647);
  EXPECT_EQ(v[2], INT32_MIN);
  EXPECT_EQ(v[3], -2147483647);
}

TEST(PcmConvert, FloatOutputKeepsTheValue) {
  const OutputFormat s = settings_for(32, 1);
  const std::vector<double> x = {0.1, -1.75, 3.0};
  const std::vector<uint8_t> out = convert(x, s);
  float f[3];
  std::memcpy(f, out.data(), sizeof f);
  EXPECT_EQ(f[0], static_cast<float>(0.1));
  EXPECT_EQ(f[1], -1.75f);
  EXPECT_EQ(f[2], 3.0f);
}

TEST(PcmConvert, DoubleOutputIsLeftToTheJobs) {
  const std::vector<uint8_t> out = convert({0.123456789012345, -2.5}, settings_for(64, 1));
  EXPECT_EQ(out[0], 0xAB);
  EXPECT_EQ(out[15], 0xAB);
}

TEST(PcmConvert, StoredSamplesToDoubles) {
  std::vector<double> d(8, -99.0);
  const uint8_t u8[] = {0, 128, 255};
  pcm_to_samples(d.data(), u8, 1, 0, 1, 3, 0);
  EXPECT_EQ(d[0], -1.0078740157480315);
  EXPECT_EQ(d[1], 0.0);
  EXPECT_EQ(d[2], 1.0);
  const uint8_t s16[] = {0xFF, 0x7F, 0x01, 0x80};
  pcm_to_samples(d.data(), s16, 2, 0, 1, 2, 0);
  EXPECT_EQ(d[0], 32767 * 3.051850947599719e-05);
  EXPECT_EQ(d[1], -32767 * 3.051850947599719e-05);
  const uint8_t s24[] = {0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F};
  pcm_to_samples(d.data(), s24, 3, 0, 1, 3, 0);
  EXPECT_EQ(d[0], -1 * 1.1920930376163766e-07);
  EXPECT_EQ(d[1], -8388608 * 1.1920930376163766e-07);
  EXPECT_EQ(d[2], 8388607 * 1.1920930376163766e-07);
  const uint8_t s32[] = {0x00, 0x00, 0x00, 0x80, 0xFF, 0xFF, 0xFF, 0x7F};
  pcm_to_samples(d.data(), s32, 4, 0, 1, 2, 0);
  EXPECT_EQ(d[0], -2147483648.0 * 4.656612875245797e-10);
  EXPECT_EQ(d[1], 2147483647 * 4.656612875245797e-10);
  const float f32[] = {0.25f, -3.5f};
  pcm_to_samples(d.data(), reinterpret_cast<const uint8_t*>(f32), 4, 1, 1, 2, 0);
  EXPECT_EQ(d[0], 0.25);
  EXPECT_EQ(d[1], -3.5);
}

TEST(PcmConvert, FrameOffsetAndUnsupportedWidths) {
  std::vector<double> d(8, -99.0);
  const uint8_t s16[] = {0x00, 0x40, 0x00, 0xC0, 0x01, 0x00, 0xFF, 0xFF};  // 2 frames x 2 channels
  pcm_to_samples(d.data(), s16, 2, 0, 2, 2, 1);
  EXPECT_EQ(d[0], -99.0);
  EXPECT_EQ(d[1], -99.0);
  EXPECT_EQ(d[2], 16384 * (1.0 / 32767));
  EXPECT_EQ(d[3], -16384 * (1.0 / 32767));
  EXPECT_EQ(d[5], -1 * (1.0 / 32767));
  EXPECT_EQ(d[6], -99.0);
  const uint8_t raw[16] = {};
  pcm_to_samples(d.data(), raw, 8, 1, 1, 2, 0);
  pcm_to_samples(d.data(), raw, 5, 0, 1, 2, 0);
  EXPECT_EQ(d[0], -99.0);
  // The reciprocals are the nearest doubles of the quotients.
  EXPECT_EQ(1.0 / 127.0, 0.007874015748031496);
  EXPECT_EQ(1.0 / 8388607.0, 1.1920930376163766e-07);
}

}  // namespace
