// The resampler: filter designs for the listed rate pairs, the refusal of an
// unsupported ratio, the delivered length for every supported pair, output
// that does not depend on how the input is pushed, the conversion quality
// on a sine and a stop-band tone, the decimation phase of 32-bit sources,
// and the invariant check.
#include "dsp/ssrc/ssrc.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "dsp/cpu_features.h"
#include "resample_driver.h"
#include "test_files.h"
#include "wav_builder.h"

namespace {

struct Job {
  filterparms fp{};
  ssrc st{};
  int status = -1;

  Job(int32_t src, int32_t dst, int32_t bits = 16, int32_t channels = 2) {
    ssrc_reset(&fp, &st);
    status = ssrc_configure(&fp, &st, src, dst, channels, bits);
  }
  ~Job() { ssrc_free(&fp, &st); }
};

TEST(SsrcDesign, UpFrom44100To48000) {
  Job job(44100, 48000);
  ASSERT_EQ(job.status, 0);
  EXPECT_EQ(job.fp.frqgcd, 300);
  EXPECT_EQ(job.fp.osf, 3);
  EXPECT_EQ(job.fp.fs1, 7056000);
  EXPECT_EQ(job.fp.n1, 1595);
  EXPECT_EQ(job.fp.n1y, 160);
  EXPECT_EQ(job.fp.n1x, 10);
  EXPECT_EQ(job.fp.fs2, 144000);
  EXPECT_EQ(job.fp.n2, 65535);
  EXPECT_EQ(job.fp.n2b, 131072);
  EXPECT_EQ(job.fp.inbuflen, 5);
  EXPECT_EQ(job.st.delay, 10922);
  EXPECT_EQ(job.st.skipping, 1);
  EXPECT_EQ(job.st.inbuf_frames, 65536 + 10);
  EXPECT_EQ(ssrc_frames_wanted(&job.fp, &job.st), 65536LL * 44100 / 144000 + 2 + 10 - 5);
  // The low-pass edge of stage 1 sits at 47025 Hz: the polyphase rows sum to
  // the interpolation gain at DC, and the taps are symmetric.
  double dc = 0;
  for (int32_t r = 0; r < job.fp.n1y; ++r)
    for (int32_t t = 0; t < job.fp.n1x; ++t) dc += job.fp.polyfilter[r][t];
  EXPECT_NEAR(dc, 160.0, 1e-6);
  EXPECT_DOUBLE_EQ(job.fp.polyfilter[0][0], job.fp.polyfilter[1594 % 160][1594 / 160]);
  // Half the gain at the cut-off of 47025 Hz, full gain well inside, none
  // well past it: the response of the prototype put back together.
  auto response = [&](double freq) {
    double re = 0, im = 0;
    for (int32_t m = 0; m < job.fp.n1; ++m) {
      const double h = job.fp.polyfilter[m % job.fp.n1y][m / job.fp.n1y];
      re += h * std::cos(2 * M_PI * freq * m / job.fp.fs1);
      im -= h * std::sin(2 * M_PI * freq * m / job.fp.fs1);
    }
    return std::sqrt(re * re + im * im);
  };
  EXPECT_NEAR(response(47025.0), 80.0, 1e-3);
  EXPECT_NEAR(response(20000.0), 160.0, 1e-6);
  EXPECT_LT(response(47025.0 + 49950.0 / 2 + 1000.0), 160.0 * 1e-8);
  // A conversion gives at most an FFT half-block decimated by 3.
  EXPECT_EQ(job.st.outbuf_frames, 65536 / 3 + 1);
}

TEST(SsrcDesign, UpFrom48000To96000) {
  Job job(48000, 96000);
  ASSERT_EQ(job.status, 0);
  EXPECT_EQ(job.fp.osf, 1);
  EXPECT_EQ(job.fp.fs1, 96000);
  EXPECT_EQ(job.fp.n1, 47);
  EXPECT_EQ(job.fp.n1y, 2);
  EXPECT_EQ(job.fp.n1x, 24);
  EXPECT_EQ(job.fp.n2, 65535);
  EXPECT_EQ(job.st.delay, 32767);
}

TEST(SsrcDesign, DownFrom48000To44100) {
  Job job(48000, 44100);
  ASSERT_EQ(job.status, 0);
  EXPECT_EQ(job.fp.osf, 3);
  EXPECT_EQ(job.fp.fs1, 144000);
  EXPECT_EQ(job.fp.n1, 65535);
  EXPECT_EQ(job.fp.n1b, 131072);
  EXPECT_EQ(job.fp.fs2, 7056000);
  EXPECT_EQ(job.fp.n2, 1659);
  EXPECT_EQ(job.fp.n2y, 49);
  EXPECT_EQ(job.fp.n2x, 34);
  EXPECT_EQ(job.st.delay, 10040);
  EXPECT_EQ(job.fp.inbuflen, 0);
  EXPECT_EQ(ssrc_frames_wanted(&job.fp, &job.st), 21846);
  EXPECT_EQ(job.st.inbuf_frames, 65536 / 3 + 3 + 1);
}

TEST(SsrcDesign, DownFrom96000To48000TakesEverySecondSample) {
  Job job(96000, 48000);
  ASSERT_EQ(job.status, 0);
  EXPECT_EQ(job.fp.osf, 1);
  EXPECT_EQ(job.fp.n2, 1);
  EXPECT_EQ(job.fp.n2x, 1);
  EXPECT_EQ(job.fp.n2y, 1);
  EXPECT_EQ(job.fp.order[0], 0);
  EXPECT_EQ(job.fp.inc[0], 2);
  EXPECT_EQ(job.fp.polyfilter[0][0], 1.0);
  EXPECT_EQ(job.st.delay, 16384);
  EXPECT_EQ(ssrc_frames_wanted(&job.fp, &job.st), 65536);
}

TEST(SsrcDesign, UnsupportedRatioIsRefused) {
  testing::internal::CaptureStderr();
  {
    Job job(25000, 48000);
    EXPECT_EQ(job.status, 1);
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Resampling from 25000Hz to 48000Hz is not supported.\n"
            "Error: Unable to configure upsampling filters\n");
  testing::internal::CaptureStderr();
  {
    Job job(48000, 25000);
    EXPECT_EQ(job.status, 1);
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Resampling from 48000Hz to 25000Hz is not supported.\n"
            "Error: Unable to configure downsampling filters\n");
}

TEST(SsrcStreaming, OutputDoesNotDependOnHowTheInputIsPushed) {
  // Pieces of a decoded block, of odd sizes, and of single frames give the
  // same output to the bit as the input pushed as it fits.
  for (const auto& pair : {std::pair<int32_t, int32_t>{44100, 48000}, {48000, 44100}}) {
    std::vector<double> x(2 * 50000);
    for (size_t i = 0; i < x.size(); ++i) x[i] = std::sin(0.001 * i * i) * 0.7;
    const ResampleRun whole = resample(pair.first, pair.second, 2, x);
    ASSERT_EQ(whole.delivered, 50000ll * pair.second / pair.first + (pair.second < pair.first));
    for (int32_t piece : {256, 997, 1}) {
      const ResampleRun run = resample(pair.first, pair.second, 2, x, 64, piece);
      EXPECT_EQ(run.frames, whole.frames) << pair.first << " -> " << pair.second << ", " << piece;
    }
  }
  // Room is left for a decoded block whenever a conversion needs input.
  Job job(48000, 96000, 16, 6);
  ASSERT_EQ(job.status, 0);
  int32_t room = 0;
  SsrcOutput out;
  for (int32_t block = 0; block < 200; ++block) {
    ssrc_input_room(&job.fp, &job.st, &room);
    ASSERT_GE(room, SSRC_PUSH_ROOM) << block;
    ssrc_input_commit(&job.fp, &job.st, SSRC_PUSH_ROOM);
    while (ssrc_pull(&job.fp, &job.st, &out) == SSRC_PULLED) {
    }
  }
}

// The sine fit: least squares over a sin + b cos (+ c) on [from, to), and the
// residual energy relative to the fitted sine's, in dB.
struct Fit {
  double amplitude;
  double phase;
  double residual_db;
};

Fit fit_sine(const std::vector<double>& y, double freq, double rate, size_t from, size_t to) {
  double ss = 0, sc = 0, cc = 0, ys = 0, yc = 0;
  for (size_t i = from; i < to; ++i) {
    const double w = 2 * M_PI * freq * static_cast<double>(i) / rate;
    const double s = std::sin(w), c = std::cos(w);
    ss += s * s, sc += s * c, cc += c * c, ys += y[i] * s, yc += y[i] * c;
  }
  const double det = ss * cc - sc * sc;
  const double a = (ys * cc - yc * sc) / det;
  const double b = (yc * ss - ys * sc) / det;
  double res = 0, sig = 0;
  for (size_t i = from; i < to; ++i) {
    const double w = 2 * M_PI * freq * static_cast<double>(i) / rate;
    const double model = a * std::sin(w) + b * std::cos(w);
    res += (y[i] - model) * (y[i] - model);
    sig += model * model;
  }
  return {std::sqrt(a * a + b * b), std::atan2(b, a), 10 * std::log10(res / sig)};
}

std::vector<double> sine(double freq, double rate, int64_t frames, double amplitude) {
  std::vector<double> x(static_cast<size_t>(frames));
  for (int64_t i = 0; i < frames; ++i) x[i] = amplitude * std::sin(2 * M_PI * freq * i / rate);
  return x;
}

const int32_t SOURCES[] = {22050, 32000, 44100, 48000, 96000};
const int32_t OUTPUTS[] = {44100, 48000, 96000};

TEST(SsrcLength, DeliveredFramesFollowTheRatesForEveryPair) {
  for (int32_t src : SOURCES) {
    for (int32_t dst : OUTPUTS) {
      if (src == dst) continue;
      // From a few frames (well inside the delay) to several blocks.
      for (int64_t n : {int64_t{1}, int64_t{997}, int64_t{12345}, int64_t{70001}}) {
        const std::vector<double> x = sine(440.0, src, n, 0.5);
        const ResampleRun run = resample(src, dst, 1, x);
        ASSERT_EQ(run.status, 0);
        const int64_t expected = n * dst / src + (dst < src ? 1 : 0);
        EXPECT_EQ(run.delivered, expected) << src << " -> " << dst << ", " << n << " frames";
      }
    }
  }
}

// Six different channels through one resampler give, byte for byte, what
// each gives through a resampler of its own: channels share no arithmetic,
// so resamplers over any grouping of a job's channels agree.
TEST(SsrcLength, ChannelsGiveTheSameBitsAloneAsTogether) {
  const int64_t n = 100000;  // a few FFT blocks
  for (const auto& [src, dst] : {std::pair<int32_t, int32_t>{44100, 48000}, {48000, 44100}}) {
    std::vector<double> all(static_cast<size_t>(6 * n));
    std::vector<std::vector<double>> alone(6);
    for (int32_t c = 0; c < 6; ++c) {
      alone[c] = sine(300.0 + 1100.0 * c, src, n, 0.1 + 0.15 * c);
      for (int64_t i = 0; i < n; ++i) all[static_cast<size_t>(6 * i + c)] = alone[c][i];
    }
    const ResampleRun together = resample(src, dst, 6, all);
    for (int32_t c = 0; c < 6; ++c) {
      const ResampleRun one = resample(src, dst, 1, alone[c]);
      ASSERT_EQ(one.delivered, together.delivered);
      bool same = true;
      for (int64_t i = 0; i < one.delivered; ++i)
        same = same && one.frames[i] == together.frames[static_cast<size_t>(6 * i + c)];
      EXPECT_TRUE(same) << src << " -> " << dst << ", channel " << c;
    }
  }
}

TEST(SsrcLength, StereoKeepsChannelsApartAndAligned) {
  const int64_t n = 30000;
  std::vector<double> x(static_cast<size_t>(2 * n));
  for (int64_t i = 0; i < n; ++i) {
    x[2 * i] = 0.5 * std::sin(2 * M_PI * 1000.0 * i / 44100);
    x[2 * i + 1] = 0.0;
  }
  const ResampleRun run = resample(44100, 48000, 2, x);
  ASSERT_EQ(run.delivered, n * 48000 / 44100);
  std::vector<double> left, right;
  for (int64_t i = 0; i < run.delivered; ++i) {
    left.push_back(run.frames[2 * i]);
    right.push_back(run.frames[2 * i + 1]);
  }
  double right_peak = 0;
  for (double v : right) right_peak = std::max(right_peak, std::fabs(v));
  EXPECT_EQ(right_peak, 0.0);
  const Fit f = fit_sine(left, 1000.0, 48000, 8000, left.size() - 8000);
  EXPECT_NEAR(f.amplitude, 0.5, 1e-6);
}

TEST(SsrcQuality, SineThroughEveryPairLeavesATinyResidual) {
  const double amplitude = std::pow(10.0, -1.0 / 20.0);  // -1 dBFS
  for (int32_t src : SOURCES) {
    for (int32_t dst : OUTPUTS) {
      if (src == dst) continue;
      const std::vector<double> x = sine(1000.0, src, static_cast<int64_t>(src) * 5 / 2, amplitude);
      const ResampleRun run = resample(src, dst, 1, x);
      ASSERT_EQ(run.status, 0);
      // Leave out the start and end transients (half a second each).
      const size_t edge = static_cast<size_t>(dst / 2);
      const Fit f = fit_sine(run.frames, 1000.0, dst, edge, run.frames.size() - edge);
      EXPECT_LT(f.residual_db, -140.0) << src << " -> " << dst;
      EXPECT_NEAR(f.amplitude, amplitude, 1e-6) << src << " -> " << dst;
      std::printf("residual %5d -> %5d: %.1f dB\n", src, dst, f.residual_db);
    }
  }
}

TEST(SsrcQuality, LongRunsHaveNoGlitchAtBlockBoundaries) {
  // Forty-odd blocks: every sample stays on the fitted sine, so a block edge
  // that read an input frame nobody supplied would stand out.
  for (const auto& pair : {std::pair<int32_t, int32_t>{44100, 48000}, {22050, 96000}}) {
    const int32_t src = pair.first, dst = pair.second;
    const std::vector<double> x = sine(1000.0, src, static_cast<int64_t>(src) * 20, 0.5);
    const ResampleRun run = resample(src, dst, 1, x);
    ASSERT_EQ(run.status, 0);
    const size_t edge = static_cast<size_t>(dst / 2);
    const Fit f = fit_sine(run.frames, 1000.0, dst, edge, run.frames.size() - edge);
    const double a = f.amplitude * std::cos(f.phase), b = f.amplitude * std::sin(f.phase);
    double worst = 0;
    for (size_t i = edge; i < run.frames.size() - edge; ++i) {
      const double w = 2 * M_PI * 1000.0 * static_cast<double>(i) / dst;
      worst = std::max(worst, std::fabs(run.frames[i] - a * std::sin(w) - b * std::cos(w)));
    }
    EXPECT_LT(worst, 1e-7) << src << " -> " << dst;
  }
}

TEST(SsrcQuality, ToneAboveTheNewNyquistIsRemoved) {
  const double amplitude = std::pow(10.0, -1.0 / 20.0);
  const std::vector<double> x = sine(23000.0, 48000, 48000 * 5 / 2, amplitude);
  const ResampleRun run = resample(48000, 44100, 1, x);
  ASSERT_EQ(run.status, 0);
  const size_t edge = 44100 / 2;
  double out = 0;
  for (size_t i = edge; i < run.frames.size() - edge; ++i) out += run.frames[i] * run.frames[i];
  out /= static_cast<double>(run.frames.size() - 2 * edge);
  const double in = amplitude * amplitude / 2;
  const double db = 10 * std::log10(out / in);
  std::printf("23 kHz tone 48000 -> 44100: %.1f dB\n", db);
  EXPECT_LT(db, -150.0);
}

TEST(SsrcQuality, ThirtyTwoBitSourceStartsOneIntermediateSampleLater) {
  Job job(44100, 48000, 32, 1);
  ASSERT_EQ(job.status, 0);
  EXPECT_EQ(job.st.osc, 1);
  const std::vector<double> x = sine(1000.0, 44100, 44100, 0.5);
  const ResampleRun r16 = resample(44100, 48000, 1, x, 16);
  const ResampleRun r32 = resample(44100, 48000, 1, x, 32);
  ASSERT_EQ(r16.delivered, r32.delivered);
  const Fit f16 = fit_sine(r16.frames, 1000.0, 48000, 12000, r16.frames.size() - 12000);
  const Fit f32 = fit_sine(r32.frames, 1000.0, 48000, 12000, r32.frames.size() - 12000);
  // One sample of 144 kHz later in the stream: the phase leads by 2 pi f / fs2.
  EXPECT_NEAR(f32.phase - f16.phase, 2 * M_PI * 1000.0 / 144000.0, 1e-6);
}

TEST(SsrcQuality, EveryKernelLevelGivesTheSameOutput) {
  for (const auto& pair : {std::pair<int32_t, int32_t>{44100, 48000}, {48000, 44100}}) {
    const std::vector<double> x = sine(1000.0, pair.first, 90000, 0.5);
    std::vector<ResampleRun> runs;
    for (int32_t level = VECTOR_PORTABLE; level <= vector_level(); ++level) {
      cap_vector_level(static_cast<VectorLevel>(level));
      runs.push_back(resample(pair.first, pair.second, 1, x));
    }
    cap_vector_level(VECTOR_AVX512);
    for (size_t r = 1; r < runs.size(); ++r) {
      ASSERT_EQ(runs[r].delivered, runs[0].delivered);
      double worst = 0;
      for (size_t i = 0; i < runs[0].frames.size(); ++i)
        worst = std::max(worst, std::fabs(runs[r].frames[i] - runs[0].frames[i]));
      EXPECT_LT(worst, 1e-12) << pair.first << " -> " << pair.second << ", level " << r;
    }
  }
}

// Rate pairs that share only small factors: the polyphase design rate
// (source / gcd x output) passes 2^31. Each is converted to the length the
// rates give, and a sine comes through clean.
TEST(SsrcOddRates, PairsWithHugeDesignRatesAreConverted) {
  const std::pair<int32_t, int32_t> pairs[] = {{96001, 96000}, {96001, 48000}, {96002, 96000},
                                               {192001, 96000}, {48001, 48000}, {88201, 44100},
                                               {95967, 96000}};
  for (const auto& [src, dst] : pairs) {
    const int64_t n = 2 * src + 4321;
    const std::vector<double> x = sine(1000.0, src, n, 0.5);
    const ResampleRun run = resample(src, dst, 1, x);
    ASSERT_EQ(run.status, 0) << src << " -> " << dst;
    EXPECT_EQ(run.delivered, n * dst / src + (dst < src ? 1 : 0)) << src << " -> " << dst;
    const size_t edge = static_cast<size_t>(dst / 2);
    const Fit f = fit_sine(run.frames, 1000.0, dst, edge, run.frames.size() - edge);
    std::printf("residual %6d -> %5d: %.1f dB\n", src, dst, f.residual_db);
    EXPECT_LT(f.residual_db, -160.0) << src << " -> " << dst;
    EXPECT_NEAR(f.amplitude, 0.5, 1e-5) << src << " -> " << dst;
  }
}

TEST(SsrcOddRates, RatesOutsideTheDesignRangeAreRefusedWithTheRatioMessage) {
  testing::internal::CaptureStderr();
  {
    Job job(384001, 96000);
    EXPECT_EQ(job.status, 1);
  }
  {
    Job job(0, 48000);
    EXPECT_EQ(job.status, 1);
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Resampling from 384001Hz to 96000Hz is not supported.\n"
            "Error: Unable to configure downsampling filters\n"
            "Resampling from 0Hz to 48000Hz is not supported.\n"
            "Error: Unable to configure upsampling filters\n");
  Job top(384000, 44100);
  EXPECT_EQ(top.status, 0);
}

// Against sox: a tone per channel, made by sox, converted both ways by
// sox's very-high-quality rate and by ours. Both keep the tones' amplitude
// and their timing (the filters are linear-phase and flat there) to well
// within half an output sample; a wrong bin or block edge in the FFT
// convolution would leave a residual sox's output does not have.
TEST(SsrcCrossCheck, AgreesWithSoxRateOnTonesMadeBySox) {
  if (std::system("sox --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "sox not installed";
  TempDir dir;
  const double tones[2] = {997.0, 6001.0};
  for (const auto& [src, dst] : {std::pair<int32_t, int32_t>{44100, 48000}, {48000, 44100}}) {
    const std::string in = dir.file("in.wav"), out = dir.file("out.wav");
    const std::string make = "sox -D -n -r " + std::to_string(src) +
                             " -c 2 -e floating-point -b 32 '" + in +
                             "' synth 4 sine 997 sine 6001 vol 0.5 && sox -D '" + in +
                             "' -e floating-point -b 32 '" + out + "' rate -v " +
                             std::to_string(dst);
    ASSERT_EQ(std::system(make.c_str()), 0);
    const std::vector<double> x = unpack_float_samples(load_wav(in).data, 32);
    const std::vector<double> theirs = unpack_float_samples(load_wav(out).data, 32);
    const ResampleRun ours = resample(src, dst, 2, x);
    ASSERT_EQ(ours.status, 0);
    const size_t frames = std::min(ours.frames.size(), theirs.size()) / 2;
    ASSERT_GT(frames, static_cast<size_t>(3 * dst));
    for (int32_t ch = 0; ch < 2; ++ch) {
      std::vector<double> a(frames), b(frames);
      for (size_t i = 0; i < frames; ++i) a[i] = ours.frames[2 * i + ch], b[i] = theirs[2 * i + ch];
      // Half a second in from either end, clear of the edge transients.
      const size_t from = static_cast<size_t>(dst / 2), to = frames - from;
      const Fit fo = fit_sine(a, tones[ch], dst, from, to);
      const Fit ft = fit_sine(b, tones[ch], dst, from, to);
      const double shift = (fo.phase - ft.phase) / (2 * M_PI * tones[ch]) * dst;
      std::printf("%d -> %d, %.0f Hz: ours %.1f dB residual, sox %.1f dB; shift %.3f samples\n",
                  src, dst, tones[ch], fo.residual_db, ft.residual_db, shift);
      EXPECT_NEAR(fo.amplitude, ft.amplitude, 1e-6) << src << " -> " << dst << ", ch " << ch;
      EXPECT_LT(std::fabs(shift), 0.5) << src << " -> " << dst << ", ch " << ch;
      // The input's own float rounding bounds both residuals.
      EXPECT_LT(fo.residual_db, std::min(ft.residual_db + 3.0, -130.0)) << src << " -> " << dst;
    }
  }
}

// A NaN or an infinity among the samples: the output is what the same input
// gives with the sample replaced by 0 or full scale, so the rest of its block
// keeps its audio.
TEST(SsrcNonFinite, BadSamplesEnterAsSilenceOrFullScale) {
  const double nan = std::nan(""), inf = HUGE_VAL;
  for (const auto& [src, dst] : {std::pair<int32_t, int32_t>{48000, 44100}, {44100, 96000}}) {
    std::vector<double> bad = sine(440.0, src, 100000, 0.5), clean = bad;
    // Stereo: both channels carry the tone; the bad samples sit in either.
    std::vector<double> bad2, clean2;
    for (size_t i = 0; i < bad.size(); ++i) {
      bad2.insert(bad2.end(), {bad[i], -bad[i]});
      clean2.insert(clean2.end(), {clean[i], -clean[i]});
    }
    const struct { size_t at; double bad, clean; } hits[] = {
        {2 * 1000, nan, 0.0}, {2 * 30000 + 1, inf, 1.0}, {2 * 70000, -inf, -1.0},
        {2 * 70001 + 1, -nan, 0.0}};
    for (const auto& h : hits) {
      bad2[h.at] = h.bad;
      clean2[h.at] = h.clean;
    }
    const ResampleRun a = resample(src, dst, 2, bad2), b = resample(src, dst, 2, clean2);
    ASSERT_EQ(a.delivered, b.delivered);
    ASSERT_EQ(a.frames.size(), b.frames.size());
    size_t differing = 0;
    for (size_t i = 0; i < a.frames.size(); ++i) differing += !(a.frames[i] == b.frames[i]);
    EXPECT_EQ(differing, 0u) << src << " -> " << dst;
  }
}

// No frames appended: the stage-1 read position runs past what the buffer holds.
void process_without_input() {
  Job job(44100, 48000, 16, 1);
  SsrcOutput out;
  ssrc_process(&job.fp, &job.st, 0, 0, &out);
}

// A read position knocked off the polyphase grid: the output step no longer
// lands where its filter row says.
void process_off_grid() {
  Job job(48000, 44100, 16, 1);
  job.st.rp2 = 1;
  SsrcOutput out;
  ssrc_process(&job.fp, &job.st, 0, 0, &out);
}

TEST(SsrcDeathTest, BrokenInvariantStopsWithItsText) {
  EXPECT_DEATH(process_off_grid(),
               "Assertion failed: \\(bp2-&\\(ssrc->buf2\\[ch\\]\\[0\\]\\)\\)\\*"
               "\\(filterparms->fs2/filterparms->fs1\\) -\\(ssrc->rp2\\+p\\*"
               "\\(filterparms->fs2/outparms->samplerate\\)\\) == s2o, file ssrc, line [0-9]+");
  EXPECT_DEATH(process_without_input(),
               "Assertion failed: filterparms->inbuflen >= ds, file ssrc, line [0-9]+");
}

}  // namespace
