// PCM WAV jobs run as the program, checked sample by sample against
// hand-built inputs: split, interleave, re-pack, channel selection, and the
// conversion rules for every stored format.
#include <gtest/gtest.h>

#include <cmath>
#include <unistd.h>
#include <string>
#include <vector>

#include "run_program.h"
#include "test_files.h"
#include "wav_builder.h"

namespace {

const std::string SONDREL = TOOLS_BIN_DIR "/sondrel";

class PcmJobs : public testing::Test {
 protected:
  ProgramResult run(const std::vector<std::string>& args) {
    ProgramOptions options;
    options.cwd = dir.path();
    return run_program(SONDREL, args, options);
  }
  void make(const std::string& name, const WavLayout& layout, const Bytes& data) {
    write_file(dir.file(name), make_wav(layout, data));
  }
  WavFile out(const std::string& name) { return load_wav(dir.file(name)); }
  TempDir dir;
};

// Interleaved integer samples: channel c of frame f is c * 1000 + f - 300.
std::vector<int64_t> ramp(int channels, int frames) {
  std::vector<int64_t> v;
  for (int f = 0; f < frames; ++f)
    for (int c = 0; c < channels; ++c) v.push_back(c * 1000 + f - 300);
  return v;
}

std::vector<int64_t> channel_of(const std::vector<int64_t>& v, int channels, int c) {
  std::vector<int64_t> out;
  for (size_t i = static_cast<size_t>(c); i < v.size(); i += static_cast<size_t>(channels))
    out.push_back(v[i]);
  return out;
}

// R(): half away from zero.
int64_t round_away(double x) { return static_cast<int64_t>(x >= 0 ? x + 0.5 : x - 0.5); }

TEST_F(PcmJobs, SplitGivesEachChannelItsOwnFile) {
  WavLayout layout;
  layout.channels = 6;
  layout.bits = 24;
  layout.extensible = true;
  layout.channel_mask = 0x3F;
  layout.list_chunk = Bytes(20, 'l');
  layout.trailing_chunk = Bytes(100, 0x7F);
  const std::vector<int64_t> values = ramp(6, 1500);
  make("six.wav", layout, pack_int_samples(values, 24));
  ProgramResult r = run({"six.wav", "/q"});
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.out, "");
  const char* labels[] = {"FL", "FR", "C", "LFE", "SL", "SR"};
  for (int c = 0; c < 6; ++c) {
    WavFile w = out(std::string("six-") + labels[c] + ".wav");
    ASSERT_TRUE(w.valid) << labels[c];
    EXPECT_EQ(w.channels, 1);
    EXPECT_EQ(w.bits, 24);
    EXPECT_EQ(w.rate, 48000);
    EXPECT_EQ(w.format_tag, 1);
    EXPECT_EQ(w.data_offset, 44u);
    EXPECT_EQ(w.data_size, 1500u * 3);
    EXPECT_EQ(w.riff_size, 36u + 1500 * 3);
    // The trailing chunk is never taken for samples.
    EXPECT_EQ(unpack_int_samples(w.data, 24), channel_of(values, 6, c)) << labels[c];
  }
}

TEST_F(PcmJobs, ChannelSelectionPicksTheNamedChannels) {
  WavLayout layout;
  layout.channels = 6;
  layout.bits = 16;
  const std::vector<int64_t> values = ramp(6, 700);
  make("m.wav", layout, pack_int_samples(values, 16));
  ASSERT_EQ(run({"m.wav", "/+FL,c", "/q"}).out, "");
  EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"m-C.wav", "m-FL.wav", "m.wav"}));
  EXPECT_EQ(unpack_int_samples(out("m-FL.wav").data, 16), channel_of(values, 6, 0));
  EXPECT_EQ(unpack_int_samples(out("m-C.wav").data, 16), channel_of(values, 6, 2));

  TempDir other;
  write_file(other.file("m.wav"), make_wav(layout, pack_int_samples(values, 16)));
  ProgramOptions options;
  options.cwd = other.path();
  run_program(SONDREL, {"m.wav", "/-LFE,SL", "/q"}, options);
  EXPECT_EQ(list_dir(other.path()),
            (std::vector<std::string>{"m-C.wav", "m-FL.wav", "m-FR.wav", "m-SR.wav", "m.wav"}));
  EXPECT_EQ(unpack_int_samples(load_wav(other.file("m-SR.wav")).data, 16), channel_of(values, 6, 5));
}

TEST_F(PcmJobs, RepackKeepsTheSelectedChannelsTogether) {
  WavLayout layout;
  layout.channels = 6;
  layout.bits = 16;
  const std::vector<int64_t> values = ramp(6, 600);
  make("m.wav", layout, pack_int_samples(values, 16));
  run({"m.wav", "/mch", "/+FR,LFE,SR", "/q"});
  WavFile w = out("m(multichn).wav");
  ASSERT_TRUE(w.valid);
  EXPECT_EQ(w.channels, 3);
  EXPECT_EQ(w.format_tag, 0xFFFE);
  EXPECT_EQ(w.channel_mask, (1u << 1) | (1u << 3) | (1u << 5));
  EXPECT_EQ(w.data_offset, 68u);
  std::vector<int64_t> expected;
  for (int f = 0; f < 600; ++f)
    for (int c : {1, 3, 5}) expected.push_back(values[static_cast<size_t>(f) * 6 + c]);
  EXPECT_EQ(unpack_int_samples(w.data, 16), expected);
}

TEST_F(PcmJobs, InterleavePutsFileGInChannelGAndPadsShortFiles) {
  WavLayout mono;
  mono.bits = 24;
  mono.rate = 44100;
  std::vector<int64_t> a(1200), b(700), c(1000);
  for (size_t i = 0; i < a.size(); ++i) a[i] = 100000 + static_cast<int64_t>(i);
  for (size_t i = 0; i < b.size(); ++i) b[i] = -200000 - static_cast<int64_t>(i);
  for (size_t i = 0; i < c.size(); ++i) c[i] = 300 * static_cast<int64_t>(i);
  make("take1_L.wav", mono, pack_int_samples(a, 24));
  make("take1_R.wav", mono, pack_int_samples(b, 24));
  make("take1_C.wav", mono, pack_int_samples(c, 24));
  ProgramResult r = run({"take1_L.wav*take1_R.wav*take1_C.wav", "/mch", "/q"});
  EXPECT_EQ(r.out, "");
  WavFile w = out("take1(multichn).wav");
  ASSERT_TRUE(w.valid) << r.err;
  EXPECT_EQ(w.channels, 3);
  EXPECT_EQ(w.channel_mask, 0x7u);
  EXPECT_EQ(w.bits, 24);
  EXPECT_EQ(w.rate, 44100);
  std::vector<int64_t> samples = unpack_int_samples(w.data, 24);
  ASSERT_EQ(samples.size(), 3u * 1200);
  for (size_t f = 0; f < 1200; ++f) {
    EXPECT_EQ(samples[f * 3], a[f]);
    EXPECT_EQ(samples[f * 3 + 1], f < b.size() ? b[f] : 0) << f;
    EXPECT_EQ(samples[f * 3 + 2], f < c.size() ? c[f] : 0) << f;
  }
  // Two files are named for the pair; the speakers named on the command
  // line give the mask.
  run({"take1_L.wav*take1_R.wav", "/mch", "/+FL,LFE", "/q"});
  WavFile pair = out("take1(ext_wav_fmt).wav");
  ASSERT_TRUE(pair.valid);
  EXPECT_EQ(pair.channel_mask, 0x9u);
}

// Stores `values` (full-scale doubles) in each format, converts with /x, and
// compares with the conversion rules.
TEST_F(PcmJobs, ConversionRulesForEveryStoredFormat) {
  struct Case {
    int bits;
    bool is_float;
    std::vector<int64_t> ints;      // integer input samples
    std::vector<double> floats;     // float input samples
    std::string option;             // output format
    int out_bits;
    std::vector<int64_t> expected;  // expected integer output samples
  };
  const std::vector<Case> cases = {
      {8, false, {-128, -127, 0, 127, 1}, {}, "/16", 16,
       {-32768, round_away(-127 * (1.0 / 127) * 32767), 0, 32767, round_away(1 * 0.007874015748031496 * 32767)}},
      {16, false, {32767, -32768, 1, -1, 16384}, {}, "/24", 24,
       {8388607, -8388608, round_away(3.051850947599719e-05 * 8388607.0),
        round_away(-3.051850947599719e-05 * 8388607.0), round_away(16384 * 3.051850947599719e-05 * 8388607.0)}},
      {24, false, {8388607, -8388608, 128, -128, 4000000}, {}, "/16", 16,
       {32767, round_away(-8388608 * 1.1920930376163766e-07 * 32767), round_away(128 * 1.1920930376163766e-07 * 32767), round_away(-128 * 1.1920930376163766e-07 * 32767),
        round_away(4000000 * 1.1920930376163766e-07 * 32767)}},
      {32, false, {2147483647, -2147483647 - 1, 0, 1 << 24, -(1 << 24)}, {}, "/8", 8,
       {127, round_away(-2147483648.0 * 4.656612875245797e-10 * 127), 0, round_away((1 << 24) * 4.656612875245797e-10 * 127), round_away(-(1 << 24) * 4.656612875245797e-10 * 127)}},
      {32, true, {}, {0.5, -0.5, 1.5, -1.5, 0.25}, "/16", 16, {16384, -16384, 32767, -32768, 8192}},
      {64, true, {}, {0.25, -1.0, 1.0, 2.0, -0.000001}, "/24", 24,
       {2097152, -8388607, 8388607, 8388607, round_away(-0.000001 * 8388607)}},
  };
  for (const Case& c : cases) {
    TempDir work;
    WavLayout layout;
    layout.bits = c.bits;
    layout.is_float = c.is_float;
    layout.channels = 1;
    Bytes data = c.is_float ? pack_float_samples(c.floats, c.bits) : pack_int_samples(c.ints, c.bits);
    write_file(work.file("in.wav"), make_wav(layout, data));
    ProgramOptions options;
    options.cwd = work.path();
    ProgramResult r = run_program(SONDREL, {"in.wav", "conv", "/x", c.option, "/q"}, options);
    WavFile w = load_wav(work.file("conv.wav"));
    ASSERT_TRUE(w.valid) << c.bits << r.err;
    EXPECT_EQ(w.bits, c.out_bits);
    EXPECT_EQ(w.data_offset, 44u) << "a 16-byte fmt chunk keeps the plain header";
    EXPECT_EQ(unpack_int_samples(w.data, c.out_bits), c.expected) << "from " << c.bits << " bits";
  }
}

TEST_F(PcmJobs, FloatOutputsAndExtensibleConversion) {
  WavLayout layout;
  layout.channels = 2;
  layout.bits = 16;
  layout.extensible = true;
  layout.channel_mask = 0x3;
  make("s.wav", layout, pack_int_samples({32767, -32767, 0, 16384}, 16));
  run({"s.wav", "f", "/x", "/64f", "/q"});
  WavFile d = out("f.wav");
  ASSERT_TRUE(d.valid);
  EXPECT_EQ(d.format_tag, 0xFFFE);
  EXPECT_EQ(d.sub_format, 3);
  EXPECT_EQ(d.channel_mask, 0x3u);
  EXPECT_EQ(unpack_float_samples(d.data, 64),
            (std::vector<double>{32767 * 3.051850947599719e-05, -32767 * 3.051850947599719e-05, 0.0,
                                 16384 * 3.051850947599719e-05}));
  run({"s.wav", "g", "/x", "/32f", "/q"});
  std::vector<double> singles = unpack_float_samples(out("g.wav").data, 32);
  ASSERT_EQ(singles.size(), 4u);
  EXPECT_EQ(singles[3], static_cast<double>(static_cast<float>(16384 * 3.051850947599719e-05)));
}

TEST_F(PcmJobs, EmptyAndTruncatedData) {
  WavLayout layout;
  layout.channels = 2;
  make("empty.wav", layout, Bytes());
  ProgramResult r = run({"empty.wav", "/q"});
  EXPECT_NE(r.err.find("Processing: Completed."), std::string::npos) << r.err;
  WavFile l = out("empty-L.wav");
  ASSERT_TRUE(l.valid);
  EXPECT_EQ(l.data_size, 0u);
  EXPECT_EQ(l.riff_size, 0u);
  EXPECT_TRUE(l.data.empty());

  // The header announces 4000 frames; the file holds 1000 and a half.
  WavLayout announced = layout;
  announced.declared_data_size = 16000;
  Bytes data = pack_int_samples(ramp(2, 1000), 16);
  data.push_back(0x55);
  data.push_back(0x55);
  make("short.wav", announced, data);
  run({"short.wav", "/24", "/q"});
  for (const char* name : {"short(24-bit,48.0kHz)-L.wav", "short(24-bit,48.0kHz)-R.wav"}) {
    WavFile w = out(name);
    ASSERT_TRUE(w.valid) << name;
    EXPECT_EQ(w.data.size(), 3000u) << name;
    EXPECT_EQ(w.data_size, 3000u) << name;
    EXPECT_EQ(w.riff_size, 3036u) << name;
  }
}

TEST_F(PcmJobs, NoOutputIsTheInput) {
  WavLayout layout;
  make("a.wav", layout, pack_int_samples({1, 2, 3}, 16));
  const Bytes before = read_file(dir.file("a.wav"));
  ProgramResult r = run({"a.wav", "a", "/x", "/24", "/q"});
  EXPECT_NE(r.err.find("is the input file"), std::string::npos) << r.err;
  EXPECT_EQ(read_file(dir.file("a.wav")), before);
}

TEST_F(PcmJobs, OutputsThatCannotBeCreated) {
  WavLayout layout;
  layout.channels = 2;
  make("s.wav", layout, pack_int_samples({1, 2, 3, 4}, 16));
  ProgramResult r = run({"s.wav", "missing/dir/out", "/q"});
  // The message has no line end of its own; the program ends the line as it exits.
  EXPECT_EQ(r.out, "Error: Unable to open output file: missing/dir/out-L.wav\n");
  EXPECT_EQ(r.exit_status, 0);
}

}  // namespace

namespace {

TEST_F(PcmJobs, FloatFileWithAnEighteenByteFmtChunk) {
  WavLayout layout;
  layout.channels = 2;
  layout.bits = 32;
  layout.is_float = true;
  layout.fmt_size = 18;
  const std::vector<double> values = {0.5, -0.25, 0.125, -1.0, 0.75, 0.0};
  make("f.wav", layout, pack_float_samples(values, 32));
  run({"f.wav", "/16", "/q"});
  EXPECT_EQ(unpack_int_samples(out("f(16-bit,48.0kHz)-L.wav").data, 16),
            (std::vector<int64_t>{16384, 4096, 24575}));
  EXPECT_EQ(unpack_int_samples(out("f(16-bit,48.0kHz)-R.wav").data, 16),
            (std::vector<int64_t>{-8192, -32767, 0}));
}

// An output that cannot take the data (here a link to /dev/full) is reported
// by name and the job is not called completed.
TEST_F(PcmJobs, AFailedWriteIsNeverCompleted) {
  WavLayout layout;
  layout.channels = 2;
  make("s.wav", layout, pack_int_samples(std::vector<int64_t>(20000, 7), 16));
  ASSERT_EQ(symlink("/dev/full", dir.file("s-R.wav").c_str()), 0);
  ProgramResult r = run({"s.wav", "/q"});
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_NE(r.err.find("Error: Unable to write to file: s-R.wav\n"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("Completed"), std::string::npos) << r.err;
  // The other output keeps a header that matches what it holds.
  Bytes left = read_file(dir.file("s-L.wav"));
  WavFile w = parse_wav(left);
  ASSERT_TRUE(w.valid);
  EXPECT_EQ(w.data_size, left.size() - 44);
}

}  // namespace
