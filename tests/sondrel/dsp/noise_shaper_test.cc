// The program-wide generator, the noise table (pool shuffle, three pdfs),
// the error-feedback shaping, and dithered conversion through the output format.
#include "dsp/noise_shaper.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "dsp/pcm_convert.h"
#include "dsp/runtime_random.h"

namespace {

// An independent model of the generator and the 97-entry pool.
struct Model {
  uint32_t state = 1;
  int32_t pool[97];
  int32_t draw() {
    state = state * 214013u + 2531011u;
    return static_cast<int32_t>((state >> 16) & 0x7FFF);
  }
  void fill_pool() {
    for (int32_t& p : pool) p = draw();
  }
  int32_t from_pool() {
    const int32_t slot = draw() % 97;
    const int32_t v = pool[slot];
    pool[slot] = draw();
    return v;
  }
};

TEST(RuntimeRandom, FirstDrawsAfterStart) {
  runtime_random_set_state(1);
  EXPECT_EQ(runtime_random(), 41);
  EXPECT_EQ(runtime_random(), 18467);
  EXPECT_EQ(runtime_random(), 6334);
  EXPECT_EQ(runtime_random(), 26500);
  EXPECT_EQ(runtime_random(), 19169);
}

TEST(NoiseShaper, RectangularTableFollowsThePoolAndStaysWithinHalfAmplitude) {
  runtime_random_set_state(1);
  ASSERT_EQ(shaper_open(48000, 2, -32768, 32767, 1, 0, 0.18), 0);
  Model m;
  m.fill_pool();
  double lo = 1, hi = -1;
  for (uint32_t k = 0; k < 65536; ++k) {
    const double expected = (m.from_pool() / 32767.0 - 0.5) * 0.18;
    ASSERT_EQ(shaper_noise_entry(k), expected) << k;
    lo = std::min(lo, expected);
    hi = std::max(hi, expected);
  }
  EXPECT_GE(lo, -0.09);
  EXPECT_LE(hi, 0.09);
  shaper_close();

  // Not reseeded: the next opening continues the sequence.
  ASSERT_EQ(shaper_open(48000, 2, -32768, 32767, 1, 0, 0.18), 0);
  m.fill_pool();
  for (uint32_t k = 0; k < 100; ++k)
    ASSERT_EQ(shaper_noise_entry(k), (m.from_pool() / 32767.0 - 0.5) * 0.18) << k;
  shaper_close();
}

TEST(NoiseShaper, TriangularAndGaussianTables) {
  runtime_random_set_state(777);
  Model m;
  m.state = 777;
  ASSERT_EQ(shaper_open(44100, 1, -128, 127, 1, 1, 0.7), 0);
  m.fill_pool();
  for (uint32_t k = 0; k < 65536; ++k) {
    const double a = m.from_pool() / 32767.0;
    const double b = m.from_pool() / 32767.0;
    ASSERT_EQ(shaper_noise_entry(k), (a - b) * 0.7) << k;
    ASSERT_LE(std::fabs(shaper_noise_entry(k)), 0.7);
  }
  shaper_close();

  ASSERT_EQ(shaper_open(44100, 1, -128, 127, 1, 2, 0.9), 0);
  m.fill_pool();
  double sum = 0, sum2 = 0;
  for (uint32_t k = 0; k < 65536; k += 2) {
    double r = m.from_pool() / 32767.0;
    if (r == 1.0) r = 0.0;
    const double t = std::sqrt(-2.0 * std::log(1.0 - r));
    const double u = 6.283185307179586 * (m.from_pool() / 32767.0);
    EXPECT_NEAR(shaper_noise_entry(k), 0.9 * t * std::cos(u), 1e-12) << k;
    EXPECT_NEAR(shaper_noise_entry(k + 1), 0.9 * t * std::sin(u), 1e-12) << k;
    sum += shaper_noise_entry(k) + shaper_noise_entry(k + 1);
    sum2 += shaper_noise_entry(k) * shaper_noise_entry(k) +
            shaper_noise_entry(k + 1) * shaper_noise_entry(k + 1);
  }
  EXPECT_NEAR(sum / 65536, 0.0, 0.02);
  EXPECT_NEAR(std::sqrt(sum2 / 65536), 0.9, 0.03);
  shaper_close();
}

TEST(NoiseShaper, FirstOrderFeedbackStoresLimitedErrorWhenClipping) {
  // Amplitude 0: no noise, so the outputs show the feedback alone.
  ASSERT_EQ(shaper_open(48000, 1, -128, 127, 2, 0, 0.0), 0);
  EXPECT_EQ(shaper_quantize(0.3, 0), 0);  // error -0.3 stored
  EXPECT_EQ(shaper_quantize(0.3, 0), 1);  // 0.3 + 0.3 = 0.6
  EXPECT_EQ(shaper_quantize(0.0, 0), 0);  // error 1 - 0.6 = 0.4 fed back: -0.4
  shaper_close();

  ASSERT_EQ(shaper_open(48000, 1, -128, 127, 2, 0, 0.0), 0);
  EXPECT_EQ(shaper_quantize(1000.0, 0), 127);    // error 127 - 1000 limited to -1
  EXPECT_EQ(shaper_quantize(0.6, 0), 2);         // 0.6 + 1
  EXPECT_EQ(shaper_quantize(-1000.0, 0), -128);  // error -128 - (-1000.4) limited to +1
  EXPECT_EQ(shaper_quantize(0.6, 0), 0);         // 0.6 - 1 = -0.4
  shaper_close();
}

TEST(NoiseShaper, RateFiltersUseTheirRows) {
  // The first outputs after a single error depend on the first taps only.
  struct Case {
    int32_t rate;
    double c0, c1, c2;
  };
  const Case cases[] = {{48000, -2.872073f, 5.041323f, -6.2442994f},
                        {44100, -2.6773198f, 4.8308926f, -6.5701103f},
                        {32000, -0.829013f, 0.9892266f, -0.5982571f},
                        {22050, -0.065229975f, 0.5498126f, 0.40278548f}};
  for (const Case& c : cases) {
    ASSERT_EQ(shaper_open(c.rate, 2, -32768, 32767, 3, 0, 0.0), 0);
    double h[3] = {0, 0, 0};
    const double inputs[] = {0.3, 0.2, -0.45, 0.1};
    for (double s : inputs) {
      const double u = s + c.c0 * h[0] + c.c1 * h[1] + c.c2 * h[2];
      const int32_t expected = static_cast<int32_t>(round_half_away(u));
      EXPECT_EQ(shaper_quantize(s, 1), expected) << c.rate;
      h[2] = h[1], h[1] = h[0], h[0] = expected - u;
    }
    // Channel 0 has its own history, still empty.
    EXPECT_EQ(shaper_quantize(0.3, 0), 0);
    EXPECT_EQ(shaper_quantize(0.3, 0), static_cast<int32_t>(round_half_away(0.3 + c.c0 * -0.3)));
    shaper_close();
  }
}

TEST(NoiseShaper, ShapingWithoutARowForTheRateWarnsAndFallsBack) {
  testing::internal::CaptureStderr();
  ASSERT_EQ(shaper_open(96000, 1, -32768, 32767, 3, 0, 0.0), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Warning: ATH based noise shaping for destination frequency 96000Hz\tis not "
            "available, using triangular dither\n");
  EXPECT_EQ(shaper_quantize(0.3, 0), 0);
  EXPECT_EQ(shaper_quantize(0.3, 0), 1);  // first-order feedback, as dither type 2
  shaper_close();
  testing::internal::CaptureStderr();
  ASSERT_EQ(shaper_open(96000, 1, -32768, 32767, 1, 0, 0.18), 0);
  shaper_close();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(NoiseShaper, ChannelsShareOneNoisePositionThatWraps) {
  const OutputFormat s = make_output_format(16, 0, 1, 0, 0.18);
  ASSERT_EQ(shaper_open(48000, 6, -32768, 32767, 1, 0, 0.18), 0);
  // Scaled to 100.5 LSB: the sign of each noise entry decides the rounding.
  const int32_t frames = 65536 / 6 + 20;
  const std::vector<double> x(static_cast<size_t>(frames) * 6, 100.5 / 32767.0);
  std::vector<uint8_t> out(x.size() * 2);
  samples_to_pcm(x.data(), out.data(), &s, 6, frames);
  for (size_t i = 0; i < x.size(); ++i) {
    const int16_t v = static_cast<int16_t>(out[2 * i] | (out[2 * i + 1] << 8));
    const double noise = shaper_noise_entry(static_cast<uint32_t>(i));  // entry i mod 65536
    ASSERT_EQ(v, round_half_away(x[i] * 32767.0 + noise)) << i;
  }
  shaper_close();
}

TEST(NoiseShaper, DitheredFloatOutputLandsOnTheIntegerGrid) {
  OutputFormat s = make_output_format(32, 1, 2, 1, 0.7);
  ASSERT_EQ(shaper_open(44100, 1, INT32_MIN, INT32_MAX, 2, 1, 0.7), 0);
  const std::vector<double> x = {0.1, -0.3, 0.7071, 1.5, -2.0};
  float f[5];
  samples_to_pcm(x.data(), f, &s, 1, 5);
  for (int i = 0; i < 5; ++i) {
    const double scaled = static_cast<double>(f[i]) * 2147483648.0;
    EXPECT_EQ(scaled, std::floor(scaled)) << i;
    EXPECT_NEAR(f[i], std::max(-1.0, std::min(x[i], 1.0)), 1e-6) << i;
  }
  shaper_close();
  // Without an open shaper the dither setting falls back to plain rounding.
  s = make_output_format(16, 0, 2, 1, 0.7);
  uint8_t b[4];
  samples_to_pcm(x.data(), b, &s, 1, 2);
  EXPECT_EQ(static_cast<int16_t>(b[0] | (b[1] << 8)), 3277);
}

}  // namespace
