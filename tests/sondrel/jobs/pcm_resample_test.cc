// Resampled split and convert jobs: the frame count the length rule gives,
// channels resampled independently (a stereo split equals the mono path),
// and a cross-check of plain conversions against sox.
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

std::vector<double> tone(int frames, double frequency, int rate, double amplitude) {
  std::vector<double> v(static_cast<size_t>(frames));
  for (int i = 0; i < frames; ++i) v[i] = amplitude * std::sin(2 * M_PI * frequency * i / rate);
  return v;
}

std::vector<double> interleave(const std::vector<double>& a, const std::vector<double>& b) {
  std::vector<double> v;
  for (size_t i = 0; i < a.size(); ++i) {
    v.push_back(a[i]);
    v.push_back(b[i]);
  }
  return v;
}

ProgramResult run_in(const TempDir& dir, const std::vector<std::string>& args) {
  ProgramOptions options;
  options.cwd = dir.path();
  return run_program(SONDREL, args, options);
}

TEST(PcmResample, FrameCountsFollowTheLengthRule) {
  struct Pair { int from, to; const char* option; };
  const Pair pairs[] = {{48000, 44100, "/44100"}, {44100, 48000, "/48000"}, {48000, 96000, "/96000"},
                        {96000, 48000, "/48000"}, {32000, 48000, "/48000"}, {22050, 44100, "/44100"}};
  for (const Pair& p : pairs) {
    for (int frames : {1000, p.from / 2 + 7, 3 * p.from + 11}) {
      TempDir dir;
      WavLayout layout;
      layout.rate = p.from;
      layout.bits = 32;
      layout.is_float = true;
      write_file(dir.file("in.wav"),
                 make_wav(layout, pack_float_samples(tone(frames, 1000, p.from, 0.5), 32)));
      ProgramResult r = run_in(dir, {"in.wav", "out", "/x", p.option, "/q"});
      WavFile w = load_wav(dir.file("out.wav"));
      ASSERT_TRUE(w.valid) << p.from << "->" << p.to << r.err;
      EXPECT_EQ(w.rate, p.to);
      const int64_t expected =
          static_cast<int64_t>(frames) * p.to / p.from + (p.to < p.from ? 1 : 0);
      EXPECT_EQ(static_cast<int64_t>(w.data.size() / 4), expected) << p.from << "->" << p.to << " " << frames;
      EXPECT_EQ(w.data_size, w.data.size());
    }
  }
}

TEST(PcmResample, StereoSplitEqualsTheMonoPath) {
  const int rate = 44100, frames = 30000;
  const std::vector<double> left = tone(frames, 440, rate, 0.7), right = tone(frames, 1234, rate, 0.3);
  TempDir dir;
  WavLayout stereo;
  stereo.channels = 2;
  stereo.rate = rate;
  stereo.bits = 64;
  stereo.is_float = true;
  write_file(dir.file("st.wav"), make_wav(stereo, pack_float_samples(interleave(left, right), 64)));
  WavLayout mono = stereo;
  mono.channels = 1;
  write_file(dir.file("left.wav"), make_wav(mono, pack_float_samples(left, 64)));
  write_file(dir.file("right.wav"), make_wav(mono, pack_float_samples(right, 64)));
  run_in(dir, {"st.wav", "/48000", "/q"});
  run_in(dir, {"left.wav", "/48000", "/q"});
  run_in(dir, {"right.wav", "/48000", "/q"});
  WavFile l = load_wav(dir.file("st(64-bit_flt,48.0kHz)-L.wav"));
  WavFile r = load_wav(dir.file("st(64-bit_flt,48.0kHz)-R.wav"));
  ASSERT_TRUE(l.valid && r.valid);
  EXPECT_EQ(l.data, load_wav(dir.file("left(blank)(64-bit_flt,48.0kHz).wav")).data);
  EXPECT_EQ(r.data, load_wav(dir.file("right(blank)(64-bit_flt,48.0kHz).wav")).data);
  EXPECT_NE(l.data, r.data);

  // One selected channel of a stereo file is resampled into a mono file.
  run_in(dir, {"st.wav", "sel", "/+R", "/48000", "/q"});
  WavFile sel = load_wav(dir.file("sel-R.wav"));
  ASSERT_TRUE(sel.valid);
  EXPECT_EQ(sel.channels, 1);
  EXPECT_EQ(sel.data, r.data);
}

bool have_sox() { return std::system("sox --version >/dev/null 2>&1") == 0; }

// Largest difference between two integer sample sequences, and how many differ.
struct Difference { int64_t largest = 0; size_t differing = 0; };
Difference compare(const std::vector<int64_t>& a, const std::vector<int64_t>& b) {
  Difference d;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    int64_t diff = std::llabs(a[i] - b[i]);
    d.largest = std::max(d.largest, diff);
    d.differing += diff != 0;
  }
  return d;
}

// sox scales by powers of two where the program scales by the full-scale
// integers (32767, 8388607): a 16-to-24-bit conversion therefore differs by
// less than one LSB of the 16-bit source, a 24-to-16-bit conversion without
// dither and a float-to-16-bit conversion by at most one output LSB.
TEST(PcmCrossCheck, AgreesWithSoxWithinOneLsb) {
  if (!have_sox()) GTEST_SKIP() << "sox not installed";
  TempDir dir;
  const int frames = 20000;
  std::vector<double> signal = tone(frames, 997, 48000, 0.9);
  std::vector<int64_t> s16, s24;
  for (double x : signal) {
    s16.push_back(static_cast<int64_t>(std::lround(x * 32767)));
    s24.push_back(static_cast<int64_t>(std::lround(x * 8388607)));
  }
  WavLayout layout;
  layout.bits = 16;
  write_file(dir.file("a16.wav"), make_wav(layout, pack_int_samples(s16, 16)));
  layout.bits = 24;
  write_file(dir.file("a24.wav"), make_wav(layout, pack_int_samples(s24, 24)));
  layout.bits = 32;
  layout.is_float = true;
  write_file(dir.file("af.wav"), make_wav(layout, pack_float_samples(signal, 32)));

  struct Case { const char* in; const char* sox_bits; const char* option; int bits; int64_t tolerance; };
  const Case cases[] = {{"a16.wav", "24", "/24", 24, 255}, {"a24.wav", "16", "/16", 16, 1},
                        {"af.wav", "16", "/16", 16, 1}};
  for (const Case& c : cases) {
    const std::string ours = std::string("ours_") + c.in, theirs = std::string("sox_") + c.in;
    run_in(dir, {c.in, ours, "/x", c.option, "/q"});
    const std::string command = "cd '" + dir.path() + "' && sox -D " + c.in + " -e signed-integer -b " +
                                c.sox_bits + " " + theirs + " 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::vector<int64_t> a = unpack_int_samples(load_wav(dir.file(ours)).data, c.bits);
    std::vector<int64_t> b = unpack_int_samples(load_wav(dir.file(theirs)).data, c.bits);
    ASSERT_EQ(a.size(), static_cast<size_t>(frames)) << c.in;
    ASSERT_EQ(b.size(), a.size()) << c.in;
    Difference d = compare(a, b);
    EXPECT_LE(d.largest, c.tolerance) << c.in;
    std::printf("%s -> %d bits: %zu of %d samples differ from sox, by at most %lld\n", c.in, c.bits,
                d.differing, frames, static_cast<long long>(d.largest));
  }
}

}  // namespace
