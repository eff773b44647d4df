// PCM WAV jobs where their blocks meet the input: jobs over several MiB
// checked sample by sample (frames of 12 and 18 bytes never fill a MiB
// exactly), re-packs dropping one channel, interleaves whose longest file
// comes later or whose last sample is cut, speaker masks with repeated ids,
// and resampled inputs with odd rates or non-finite samples.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "run_program.h"
#include "test_files.h"
#include "wav_builder.h"

namespace {

const std::string SONDREL = TOOLS_BIN_DIR "/sondrel";

class PcmBlocks : public testing::Test {
 protected:
  ProgramResult run(const std::vector<std::string>& args) {
    ProgramOptions options;
    options.cwd = dir.path();
    return run_program(SONDREL, args, options);
  }
  void make(const std::string& name, const WavLayout& layout, const Bytes& data) {
    write_file(dir.file(name), make_wav(layout, data));
  }
  // Runs sox in the test folder; false when sox is missing or fails.
  bool sox(const std::string& args) {
    return std::system(("cd '" + dir.path() + "' && sox -R " + args + " 2>/dev/null").c_str()) == 0;
  }
  std::vector<int64_t> samples(const std::string& name, int bits) {
    return unpack_int_samples(load_wav(dir.file(name)).data, bits);
  }
  TempDir dir;
};

// Full-range noise of `count` samples of `bits` bits, different per seed.
std::vector<int64_t> noise(size_t count, int bits, uint32_t seed) {
  std::vector<int64_t> v(count);
  const int64_t half = int64_t{1} << (bits - 1);
  for (auto& x : v) {
    seed = seed * 1664525u + 1013904223u;
    x = static_cast<int64_t>(seed >> (32 - bits)) - half;
  }
  return v;
}

std::vector<int64_t> channel_of(const std::vector<int64_t>& v, int channels, int c) {
  std::vector<int64_t> out;
  for (size_t i = static_cast<size_t>(c); i < v.size(); i += static_cast<size_t>(channels))
    out.push_back(v[i]);
  return out;
}

const char* const SIX[] = {"FL", "FR", "C", "LFE", "SL", "SR"};

// 6 x 24-bit frames (18 bytes), about 3.4 MiB: split, and re-packed with
// one channel dropped; a sox-made 6 x 16-bit file (12-byte frames) split.
TEST_F(PcmBlocks, MultiMegabyteJobsKeepEveryChannelInPlace) {
  WavLayout layout;
  layout.channels = 6;
  layout.bits = 24;
  const std::vector<int64_t> values = noise(6 * 200003, 24, 7);
  make("big.wav", layout, pack_int_samples(values, 24));
  ASSERT_EQ(run({"big.wav", "/q"}).out, "");
  for (int c = 0; c < 6; ++c)
    EXPECT_TRUE(samples(std::string("big-") + SIX[c] + ".wav", 24) == channel_of(values, 6, c))
        << SIX[c];
  run({"big.wav", "/mch", "/-FR", "/q"});
  std::vector<int64_t> expected;
  for (size_t f = 0; f < 200003; ++f)
    for (int c : {0, 2, 3, 4, 5}) expected.push_back(values[f * 6 + c]);
  EXPECT_TRUE(samples("big(multichn).wav", 24) == expected);

  if (!sox("-n -r 44100 -b 16 -c 6 sox6.wav synth 5 whitenoise gain -2")) GTEST_SKIP() << "no sox";
  const std::vector<int64_t> sox_values = samples("sox6.wav", 16);
  ASSERT_EQ(sox_values.size(), 6u * 5 * 44100);
  run({"sox6.wav", "/q"});
  for (int c = 0; c < 6; ++c)
    EXPECT_TRUE(samples(std::string("sox6-") + SIX[c] + ".wav", 16) == channel_of(sox_values, 6, c))
        << SIX[c];
}

TEST_F(PcmBlocks, RepackDroppingAnyOneChannel) {
  WavLayout layout;
  layout.channels = 6;
  layout.bits = 16;
  const std::vector<int64_t> values = noise(6 * 3001, 16, 11);
  make("m.wav", layout, pack_int_samples(values, 16));
  for (int dropped = 0; dropped < 6; ++dropped) {
    const std::string prefix = std::string("no") + SIX[dropped];
    run({"m.wav", prefix, "/mch", std::string("/-") + SIX[dropped], "/q"});
    WavFile w = load_wav(dir.file(prefix + ".wav"));
    ASSERT_TRUE(w.valid) << SIX[dropped];
    EXPECT_EQ(w.channels, 5);
    EXPECT_EQ(w.channel_mask, 0x3Fu & ~(1u << dropped));
    std::vector<int64_t> expected;
    for (size_t f = 0; f < 3001; ++f)
      for (int c = 0; c < 6; ++c)
        if (c != dropped) expected.push_back(values[f * 6 + c]);
    EXPECT_TRUE(unpack_int_samples(w.data, 16) == expected) << SIX[dropped];
  }
}

// Three mono files of 1.5, 0.4 and 3.6 MiB, the longest last, then in the
// middle: every channel holds its file, padded with silence.
TEST_F(PcmBlocks, InterleaveWhoseLongestFileComesLater) {
  WavLayout mono;
  mono.bits = 24;
  const size_t lengths[] = {524288 + 17, 140000, 1258291};
  std::vector<std::vector<int64_t>> v;
  for (int g = 0; g < 3; ++g) v.push_back(noise(lengths[g], 24, 100 + g));
  make("a_1.wav", mono, pack_int_samples(v[0], 24));
  make("a_2.wav", mono, pack_int_samples(v[1], 24));
  make("a_3.wav", mono, pack_int_samples(v[2], 24));
  for (const auto& order : {std::vector<int>{0, 1, 2}, std::vector<int>{1, 2, 0}}) {
    std::string list;
    for (int g : order) list += (list.empty() ? "a_" : "*a_") + std::to_string(g + 1) + ".wav";
    ProgramResult r = run({list, "x" + std::to_string(order[0]), "/mch", "/q"});
    const std::vector<int64_t> out = samples("x" + std::to_string(order[0]) + ".wav", 24);
    ASSERT_EQ(out.size(), 3 * lengths[2]) << r.err;
    for (int k = 0; k < 3; ++k) {
      const std::vector<int64_t>& in = v[static_cast<size_t>(order[static_cast<size_t>(k)])];
      std::vector<int64_t> expected = in;
      expected.resize(lengths[2], 0);
      EXPECT_TRUE(channel_of(out, 3, k) == expected) << list << ", channel " << k;
    }
  }
}

// A data chunk that ends inside a sample: in a shorter file the cut sample
// is silence like the frames after it; in the longest file it ends the
// output. 8-bit files (sox) are padded with their own silence, 128.
TEST_F(PcmBlocks, InterleavePadsACutSampleAndEightBitFilesWithSilence) {
  WavLayout mono;
  mono.bits = 16;
  const std::vector<int64_t> a = noise(1001, 16, 3), b = noise(1500, 16, 4);
  Bytes cut = pack_int_samples(a, 16);
  cut.resize(2001);  // the last sample keeps only its low byte, made non-zero
  cut[2000] = 0x55;
  make("c_1.wav", mono, cut);
  make("c_2.wav", mono, pack_int_samples(b, 16));
  run({"c_1.wav*c_2.wav", "/mch", "/q"});
  std::vector<int64_t> out = samples("c(ext_wav_fmt).wav", 16);
  ASSERT_EQ(out.size(), 2u * 1500);
  std::vector<int64_t> first(a.begin(), a.end() - 1);
  first.resize(1500, 0);
  EXPECT_TRUE(channel_of(out, 2, 0) == first);
  EXPECT_TRUE(channel_of(out, 2, 1) == b);
  // Reversed roles: the cut file is the longest; its half sample is dropped.
  Bytes long_cut = pack_int_samples(noise(2000, 16, 5), 16);
  long_cut.push_back(0x55);
  make("d_1.wav", mono, pack_int_samples(b, 16));
  make("d_2.wav", mono, long_cut);
  run({"d_1.wav*d_2.wav", "/mch", "/q"});
  EXPECT_EQ(samples("d(ext_wav_fmt).wav", 16).size(), 2u * 2000);

  if (!sox("-n -r 8000 -b 8 e_1.wav synth 0.25 sine 440") ||
      !sox("-n -r 8000 -b 8 e_2.wav synth 0.5 square 300"))
    GTEST_SKIP() << "no sox";
  run({"e_1.wav*e_2.wav", "/mch", "/q"});
  const Bytes raw = load_wav(dir.file("e(ext_wav_fmt).wav")).data;
  const Bytes one = load_wav(dir.file("e_1.wav")).data, two = load_wav(dir.file("e_2.wav")).data;
  ASSERT_EQ(raw.size(), 2 * two.size());
  for (size_t f = 0; f < two.size(); ++f) {
    ASSERT_EQ(raw[2 * f], f < one.size() ? one[f] : 128) << f;
    ASSERT_EQ(raw[2 * f + 1], two[f]) << f;
  }
  run({"e_1.wav*e_2.wav", "w16", "/mch", "/16", "/q"});
  const std::vector<int64_t> wide = samples("w16.wav", 16);
  ASSERT_EQ(wide.size(), 2 * two.size());
  for (size_t f = one.size(); f < two.size(); ++f) ASSERT_EQ(wide[2 * f], 0) << f;
}

// Speaker ids that name one speaker twice (also through an alias) cannot be
// the mask: the default one-bit-per-channel mask is used, with a comment.
TEST_F(PcmBlocks, RepeatedSpeakerIdsGiveTheDefaultMask) {
  WavLayout mono;
  for (const char* name : {"r_1.wav", "r_2.wav", "r_3.wav"})
    make(name, mono, pack_int_samples({1, 2}, 16));
  struct Case { std::string files, ids; uint32_t mask; };
  const std::string three = "r_1.wav*r_2.wav*r_3.wav";
  const Case cases[] = {{three, "/+FL,FL,FR", 0x7},
                        {"r_1.wav*r_2.wav", "/+L,FL", 0x3},
                        {three, "/+SR,BR,C", 0x7},
                        {three, "/+BR,C,LFE", 0x2C}};
  int k = 0;
  for (const Case& c : cases) {
    const std::string prefix = "p" + std::to_string(k++);
    ProgramResult r = run({c.files, prefix, "/mch", c.ids, "/q"});
    WavFile w = load_wav(dir.file(prefix + ".wav"));
    ASSERT_TRUE(w.valid) << c.ids << r.err;
    EXPECT_EQ(w.channel_mask, c.mask) << c.ids;
    EXPECT_EQ(r.err.find("Speaker assignment") != std::string::npos, c.mask != 0x2C) << c.ids;
  }
}

// sox's 96001 Hz file goes to 96000 and 48000 Hz; a 400 kHz file is refused
// before anything is written and the batch goes on.
TEST_F(PcmBlocks, OddRatesAreResampledOrRefusedNeverStopped) {
  if (!sox("-n -r 96001 -b 16 odd.wav synth 0.7 sine 1000") ||
      !sox("-n -r 400000 -b 16 high.wav synth 0.1 sine 1000"))
    GTEST_SKIP() << "no sox";
  ProgramResult r = run({"high.wav*odd.wav", "/48000", "/q"});
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_NE(r.err.find("Resampling from 400000Hz to 48000Hz is not supported.\n"
                       "Error: Unable to configure downsampling filters\n"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("Batch processing: Completed."), std::string::npos) << r.err;
  EXPECT_FALSE(file_exists(dir.file("high(blank)(16-bit,48.0kHz).wav")));
  const int64_t frames = static_cast<int64_t>(load_wav(dir.file("odd.wav")).data.size() / 2);
  EXPECT_EQ(static_cast<int64_t>(samples("odd(blank)(16-bit,48.0kHz).wav", 16).size()),
            frames * 48000 / 96001 + 1);
  r = run({"odd.wav", "up", "/x", "/96000", "/q"});
  EXPECT_NE(r.err.find("Processing: Completed."), std::string::npos) << r.err;
  EXPECT_EQ(static_cast<int64_t>(samples("up.wav", 16).size()), frames * 96000 / 96001 + 1);
}

// NaN and infinities in a float WAV: resampled, the output is what the same
// file gives with them replaced by 0 and full scale; without resampling the
// conversion treats them that way itself.
TEST_F(PcmBlocks, NonFiniteFloatSamplesTouchOnlyThemselves) {
  WavLayout layout;
  layout.channels = 2;
  layout.bits = 32;
  layout.is_float = true;
  std::vector<double> bad(2 * 96000), clean;
  for (size_t i = 0; i < bad.size(); ++i) bad[i] = 0.5 * std::sin(0.01 * static_cast<double>(i));
  clean = bad;
  const struct { size_t at; double bad, clean; } hits[] = {
      {2 * 5000, std::nan(""), 0.0}, {2 * 40000 + 1, HUGE_VAL, 1.0}, {2 * 80000, -HUGE_VAL, -1.0}};
  for (const auto& h : hits) {
    bad[h.at] = h.bad;
    clean[h.at] = h.clean;
  }
  make("bad.wav", layout, pack_float_samples(bad, 32));
  make("clean.wav", layout, pack_float_samples(clean, 32));
  for (const char* format : {"/16", "/32f"}) {
    run({"bad.wav", "b", "/x", "/44100", format, "/q"});
    run({"clean.wav", "c", "/x", "/44100", format, "/q"});
    const Bytes b = load_wav(dir.file("b.wav")).data;
    EXPECT_EQ(b.size(), 2u * (96000u * 44100 / 48000 + 1) * (format[1] == '1' ? 2 : 4));
    EXPECT_TRUE(b == load_wav(dir.file("c.wav")).data) << format;
  }
  run({"bad.wav", "n", "/x", "/16", "/q"});
  const std::vector<int64_t> n = samples("n.wav", 16);
  ASSERT_EQ(n.size(), bad.size());
  EXPECT_EQ(n[2 * 5000], 0);
  EXPECT_EQ(n[2 * 40000 + 1], 32767);
  EXPECT_EQ(n[2 * 80000], -32768);
}

}  // namespace
