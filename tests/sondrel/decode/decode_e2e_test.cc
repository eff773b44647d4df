// Decoding fixtures with the built program: every layout routed to the
// right speakers (mono and multichannel outputs, selections, raw streams and
// streams in WAVs), output formats, resampling, the cross-check against
// ffmpeg's decoders, stream changes, bad input and batches.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>

#include "run_program.h"
#include "tones.h"

namespace {

const std::string kProgram = TOOLS_BIN_DIR "/sondrel";

struct DecodeRun {
  ProgramResult result;
  std::vector<std::string> outputs;  // new .wav files, sorted
};

// Runs sondrel in `dir` on copies of the fixtures named ('*'-joined), or on
// `bytes` written under the one name given.
DecodeRun run_in(const TempDir& dir, const std::vector<std::string>& fixtures,
                 std::vector<std::string> args, const Bytes* bytes = nullptr) {
  std::string list;
  for (const std::string& name : fixtures) {
    write_file(dir.file(name), bytes ? *bytes : decode_fixture_bytes(name));
    list += (list.empty() ? "" : "*") + name;
  }
  args.insert(args.begin(), list);
  ProgramOptions options;
  options.cwd = dir.path();
  DecodeRun run;
  run.result = run_program(kProgram, args, options);
  for (const std::string& name : list_dir(dir.path()))
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".wav") == 0 &&
        std::find(fixtures.begin(), fixtures.end(), name) == fixtures.end())
      run.outputs.push_back(name);
  return run;
}

std::string label_of(const std::string& output) {
  const size_t dash = output.rfind('-');
  return output.substr(dash + 1, output.size() - dash - 5);
}

int frames_decoded(const std::string& err) {
  const size_t at = err.find("Completed. [");
  return at == std::string::npos ? -1 : std::atoi(err.c_str() + at + 12);
}

// Every mono output carries the tone of its speaker label.
void expect_mono_routing(const TempDir& dir, const DecodeRun& run, size_t channels, int rate,
                         size_t bytes_per_channel) {
  ASSERT_EQ(run.outputs.size(), channels) << run.result.err;
  for (const std::string& name : run.outputs) {
    SCOPED_TRACE(name);
    const WavFile wav = load_wav(dir.file(name));
    ASSERT_TRUE(wav.valid);
    EXPECT_EQ(wav.channels, 1);
    EXPECT_EQ(wav.rate, rate);
    EXPECT_EQ(wav.data.size(), bytes_per_channel);
    EXPECT_EQ(wav.data_size, wav.data.size());
    double share = 0;
    EXPECT_EQ(dominant_tone(wav_channel(wav, 0), rate, &share), tone_of_label(label_of(name)));
    EXPECT_GT(share, 0.99);
  }
}

// The multichannel output's mask names its speakers in ascending position
// order, and each channel carries the tone of its position.
void expect_multichannel_routing(const TempDir& dir, const DecodeRun& run, uint32_t mask) {
  ASSERT_EQ(run.outputs.size(), 1u) << run.result.err;
  const WavFile wav = load_wav(dir.file(run.outputs[0]));
  ASSERT_TRUE(wav.valid);
  EXPECT_EQ(wav.format_tag, 0xFFFE);
  EXPECT_EQ(wav.channel_mask, mask);
  static const char* position_label[] = {"FL", "FR", "FC", "LFE", "BL", "BR", "", "", "BC"};
  int channel = 0;
  for (int p = 0; p < 9; ++p) {
    if (!(mask & (1u << p))) continue;
    SCOPED_TRACE(position_label[p]);
    double share = 0;
    EXPECT_EQ(dominant_tone(wav_channel(wav, channel), wav.rate, &share),
              tone_of_label(position_label[p]));
    EXPECT_GT(share, 0.99);
    ++channel;
  }
  EXPECT_EQ(channel, wav.channels);
}

struct Layout {
  const char* code;
  size_t channels;
  uint32_t mask;  // of the multichannel output
};
const Layout kAc3Layouts[] = {
    {"1_0", 1, 0x4},  {"1_0L", 2, 0xC},  {"2_0", 2, 0x3},    {"2_0L", 3, 0xB},  {"3_0", 3, 0x7},
    {"3_0L", 4, 0xF}, {"2_1", 3, 0x103}, {"2_1L", 4, 0x10B}, {"3_1", 4, 0x107}, {"3_1L", 5, 0x10F},
    {"2_2", 4, 0x33}, {"3_2", 5, 0x37},  {"3_2L", 6, 0x3F}};

TEST(DecodeRouting, EveryAc3LayoutAndRate) {
  for (const char* rate : {"48", "44", "32"}) {
    for (const Layout& layout : kAc3Layouts) {
      const std::string name = std::string("ac3_") + layout.code + "_" + rate + ".ac3";
      SCOPED_TRACE(name);
      const int hz = rate[0] == '4' ? (rate[1] == '8' ? 48000 : 44100) : 32000;
      TempDir mono;
      const DecodeRun run = run_in(mono, {name}, {});
      EXPECT_EQ(run.result.exit_status, 0);
      const int frames = frames_decoded(run.result.err);
      ASSERT_GT(frames, 0) << run.result.err;
      expect_mono_routing(mono, run, layout.channels, hz, static_cast<size_t>(frames) * 1536 * 4);
      TempDir multi;
      expect_multichannel_routing(multi, run_in(multi, {name}, {"/mch"}), layout.mask);
    }
  }
}

TEST(DecodeRouting, EveryDtsLayoutPackingAndCarrier) {
  const Layout layouts[] = {
      {"dts_1_0.dts", 1, 0x4},        {"dts_2_0.dts", 2, 0x3},       {"dts_2_2.dts", 4, 0x33},
      {"dts_3_2.dts", 5, 0x37},       {"dts_3_2L.dts", 6, 0x3F},     {"dts_pack_16le.dts", 2, 0x3},
      {"dts_pack_14be.dts", 2, 0x3},  {"dts_pack_14le.cpt", 2, 0x3}, {"dtswav14_3_2L.wav", 6, 0x3F},
      {"dtswav16_3_2L.wav", 6, 0x3F}, {"ddwav_3_2L.wav", 6, 0x3F}};
  for (const Layout& layout : layouts) {
    SCOPED_TRACE(layout.code);
    const bool ac3 = layout.code[0] == 'd' && layout.code[1] == 'd';
    TempDir mono;
    const DecodeRun run = run_in(mono, {layout.code}, {});
    EXPECT_EQ(frames_decoded(run.result.err), ac3 ? 16 : 47) << run.result.err;
    expect_mono_routing(mono, run, layout.channels, 48000, (ac3 ? 16 * 1536 : 47 * 512) * 4);
    TempDir multi;
    expect_multichannel_routing(multi, run_in(multi, {layout.code}, {"/mch"}), layout.mask);
  }
}

TEST(DecodeRouting, Selections) {
  TempDir plus;
  DecodeRun run = run_in(plus, {"ac3_3_2L_48.ac3"}, {"/+FL,C"});
  ASSERT_EQ(run.outputs.size(), 2u);
  EXPECT_EQ(run.outputs[0], "ac3_3_2L_48-C.wav");
  EXPECT_EQ(run.outputs[1], "ac3_3_2L_48-FL.wav");
  expect_mono_routing(plus, run, 2, 48000, 16 * 1536 * 4);
  // "FL" is named first in the job header.
  EXPECT_NE(run.result.err.find("Output file(s): ac3_3_2L_48-FL.wav\n"), std::string::npos);
  TempDir plus_mch;
  expect_multichannel_routing(plus_mch, run_in(plus_mch, {"ac3_3_2L_48.ac3"}, {"/+FL,C", "/mch"}),
                              0x5);
  TempDir minus;
  run = run_in(minus, {"dts_3_2L.dts"}, {"/-LFE,SL"});
  expect_mono_routing(minus, run, 4, 48000, 47 * 512 * 4);
  TempDir minus_mch;
  expect_multichannel_routing(minus_mch, run_in(minus_mch, {"ddwav_3_2L.wav"}, {"/-C", "/mch"}),
                              0x3B);
}

// The default float output, for comparisons.
std::vector<double> float_channel(const std::string& fixture, const std::string& label) {
  TempDir dir;
  run_in(dir, {fixture}, {});
  const std::string stem = fixture.substr(0, fixture.size() - 4);
  return wav_channel(load_wav(dir.file(stem + "-" + label + ".wav")), 0);
}

TEST(DecodeFormats, ConvertedOutputsMatchTheFloatDecode) {
  const std::vector<double> reference = float_channel("ac3_3_2L_48.ac3", "FL");
  ASSERT_EQ(reference.size(), 16u * 1536u);
  for (int bits : {8, 16, 24, 32}) {
    SCOPED_TRACE(bits);
    TempDir dir;
    const DecodeRun run = run_in(dir, {"ac3_3_2L_48.ac3"}, {"/" + std::to_string(bits), "/+FL"});
    EXPECT_NE(run.result.err.find("frames decoded (incl dsp)"), std::string::npos);
    ASSERT_EQ(run.outputs.size(), 1u) << run.result.err;
    const WavFile wav = load_wav(dir.file(run.outputs[0]));
    EXPECT_EQ(wav.bits, bits);
    EXPECT_EQ(wav.format_tag, 1);
    const Bytes& d = wav.data;
    ASSERT_EQ(d.size(), reference.size() * bits / 8);
    const double scale = bits == 8 ? 127.0 : std::ldexp(1.0, bits - 1) - 1.0;
    int mismatches = 0;
    for (size_t i = 0; i < reference.size(); ++i) {
      int64_t q = 0;
      for (int b = bits / 8 - 1; b >= 0; --b) q = (q << 8) | d[i * bits / 8 + b];
      if (bits == 8)
        q -= 128;
      else
        q = (q ^ (int64_t{1} << (bits - 1))) - (int64_t{1} << (bits - 1));
      const double x = reference[i] * scale;
      const int64_t expected = static_cast<int64_t>(x < 0 ? x - 0.5 : x + 0.5);
      mismatches += q != expected;
    }
    EXPECT_EQ(mismatches, 0);
  }
  TempDir dir;
  const DecodeRun run = run_in(dir, {"ac3_3_2L_48.ac3"}, {"/64f", "/+FL,FR", "/mch"});
  const WavFile wav = load_wav(dir.file(run.outputs.at(0)));
  EXPECT_EQ(wav.bits, 64);
  EXPECT_EQ(wav.sub_format, 3);
  EXPECT_EQ(wav_channel(wav, 0), reference);
  // /r and /a change nothing on streams without compression words or downmix.
  for (const char* option : {"/r", "/a"}) {
    TempDir other;
    run_in(other, {"ac3_3_2L_48.ac3"}, {option, "/+FL"});
    EXPECT_EQ(wav_channel(load_wav(other.file("ac3_3_2L_48-FL.wav")), 0), reference) << option;
  }
}

TEST(DecodeFormats, DitheredMonoOutputsKeepOneHistoryPerChannel) {
  // Mono outputs are shaped like the same channels of one multichannel
  // output: each channel has its own noise-shaping history.
  TempDir multi;
  const DecodeRun mch = run_in(multi, {"ac3_3_2L_48.ac3"}, {"/16", "/d2", "/mch", "/q"});
  const WavFile all = load_wav(multi.file(mch.outputs.at(0)));
  TempDir mono;
  run_in(mono, {"ac3_3_2L_48.ac3"}, {"/16", "/d2", "/q"});
  TempDir plain;
  run_in(plain, {"ac3_3_2L_48.ac3"}, {"/16", "/q"});
  const char* labels[] = {"FL", "FR", "C", "LFE", "SL", "SR"};
  for (int k = 0; k < 6; ++k) {
    SCOPED_TRACE(labels[k]);
    const std::string name = std::string("ac3_3_2L_48(16-bit,48.0kHz)-") + labels[k] + ".wav";
    const std::vector<double> shaped = wav_channel(load_wav(mono.file(name)), 0);
    EXPECT_EQ(shaped, wav_channel(all, k));
    EXPECT_NE(shaped, wav_channel(load_wav(plain.file(name)), 0));
  }
}

TEST(DecodeFormats, Resampling) {
  struct Case {
    const char* rate;
    int hz;
    size_t frames;  // delivered for 24576 source frames
  } cases[] = {{"/44100", 44100, 24576 * 44100 / 48000 + 1}, {"/96000", 96000, 24576 * 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rate);
    TempDir dir;
    const DecodeRun run = run_in(dir, {"ac3_2_0L_48.ac3"}, {c.rate});
    EXPECT_NE(run.result.err.find("(incl dsp)"), std::string::npos) << run.result.err;
    expect_mono_routing(dir, run, 3, c.hz, c.frames * 4);
    TempDir multi;
    const DecodeRun mch = run_in(multi, {"ac3_2_0L_48.ac3"}, {c.rate, "/16", "/mch"});
    const WavFile wav = load_wav(multi.file(mch.outputs.at(0)));
    EXPECT_EQ(wav.data.size(), c.frames * 3 * 2);
    expect_multichannel_routing(multi, mch, 0xB);
  }
}

// ffmpeg's decodes of the same streams (16-bit, FL FR FC LFE SL SR).
void cross_check(const std::string& fixture, const std::string& reference, double limit_db) {
  const WavFile ref = load_wav(decode_fixture(reference));
  ASSERT_EQ(ref.channels, 6);
  const char* labels[] = {"FL", "FR", "C", "LFE", "SL", "SR"};
  TempDir dir;
  run_in(dir, {fixture}, {});
  const std::string stem = fixture.substr(0, fixture.size() - 4);
  for (int k = 0; k < 6; ++k) {
    const std::vector<double> ours =
        wav_channel(load_wav(dir.file(stem + "-" + labels[k] + ".wav")), 0);
    const std::vector<double> theirs = wav_channel(ref, k);
    const double db = rms_difference_db(ours, theirs, 1024, std::min(ours.size(), theirs.size()));
    std::printf("cross-check %s %s: RMS difference %.1f dB\n", fixture.c_str(), labels[k], db);
    EXPECT_LT(db, limit_db) << labels[k];
  }
}

TEST(DecodeCrossCheck, Ac3AgreesWithFfmpeg) {
  cross_check("ac3_3_2L_48.ac3", "ref_ac3_3_2L_48.wav", -70.0);
}
TEST(DecodeCrossCheck, DtsAgreesWithFfmpeg) {
  cross_check("dts_3_2L.dts", "ref_dts_3_2L.wav", -70.0);
}

TEST(DecodeFailures, StreamChangeStopsTheJob) {
  TempDir dir;
  const DecodeRun run = run_in(dir, {"ac3_change.ac3"}, {"/q"});
  const std::string tail =
      "Processing..... \rError: Number of channels in the stream has changed!\n"
      "Error: Failed while decoding.\n";
  ASSERT_GE(run.result.err.size(), tail.size());
  EXPECT_EQ(run.result.err.substr(run.result.err.size() - tail.size()), tail);
  ASSERT_EQ(run.outputs.size(), 6u);
  for (const std::string& name : run.outputs) {
    const WavFile wav = load_wav(dir.file(name));
    EXPECT_EQ(wav.data.size(), 16u * 1536u * 4u);  // the 5.1 part
    EXPECT_EQ(wav.data_size, wav.data.size());     // sizes fixed
    EXPECT_EQ(wav.riff_size, wav.data.size() + 36);
  }
}

TEST(DecodeFailures, BadInputNeverStopsOrCrashes) {
  // Files without a decodable frame get their family's message naming them
  // and are skipped (no job header, no output); the batch goes on.
  TempDir dir;
  write_file(dir.file("empty.dts"), Bytes{});
  write_file(dir.file("empty.ac3"), Bytes{});
  DecodeRun run = run_in(dir, {"random.ac3", "random.dts", "eac3_2_0.ac3", "ac3_2_0_48.ac3"}, {});
  EXPECT_EQ(run.result.exit_status, 0);
  EXPECT_EQ(run.result.err.rfind(
                "Error: File is corrupt, or is not a dolby digital file! [random.ac3]\n"
                "Error: File is corrupt, or is not a DTS file! [random.dts]\n"
                "Error: E-AC-3 (Dolby Digital Plus) is not supported! [eac3_2_0.ac3]\n"
                "-------",
                0),
            0u)
      << run.result.err;
  EXPECT_NE(run.result.err.find("Input filename: [ac3_2_0_48.ac3] (Dolby Digital) [file 4/4]"),
            std::string::npos);
  EXPECT_EQ(run.result.err.find("Input filename"), run.result.err.rfind("Input filename"));
  EXPECT_EQ(run.result.err.find("Aborted"), std::string::npos);
  EXPECT_EQ(run.outputs, (std::vector<std::string>{"ac3_2_0_48-L.wav", "ac3_2_0_48-R.wav"}));
  ProgramOptions options;
  options.cwd = dir.path();
  ProgramResult empty = run_program(kProgram, {"empty.ac3*empty.dts", "/i"}, options);
  EXPECT_EQ(empty.err,
            "Error: File is corrupt, or is not a dolby digital file! [empty.ac3]\n"
            "Error: File is corrupt, or is not a DTS file! [empty.dts]\n");
  // Junk before the first frame and a cut last frame: every whole frame is
  // decoded (the cut one is counted at its sync test but has no samples).
  TempDir junk;
  run = run_in(junk, {"ac3_junk.ac3"}, {"/q"});
  EXPECT_EQ(frames_decoded(run.result.err), 16);
  expect_mono_routing(junk, run, 2, 48000, 16 * 1536 * 4);
  TempDir cut;
  run = run_in(cut, {"ac3_truncated.ac3"}, {"/q"});
  EXPECT_EQ(frames_decoded(run.result.err), 16);
  expect_mono_routing(cut, run, 2, 48000, 15 * 1536 * 4);
}

TEST(DecodeRealStreams, DolbySurroundStereoIsStereo) {
  // ffmpeg's -dsur_mode on: L and R carry their own tones; the flag
  // switching off and on part-way is no layout change; /i says 2.0.
  TempDir dir;
  expect_mono_routing(dir, run_in(dir, {"ac3_dsur.ac3"}, {"/q"}), 2, 48000, 16 * 1536 * 4);
  TempDir sw;
  expect_mono_routing(sw, run_in(sw, {"ac3_dsur_switch.ac3"}, {"/q"}), 2, 48000, 48 * 1536 * 4);
  const std::string info = run_in(dir, {"ac3_dsur.ac3"}, {"/i"}).result.err;
  EXPECT_NE(info.find("channels      : 2 [2.0]\n"), std::string::npos) << info;
  EXPECT_NE(info.find("acmod         : 2 [L,R] "), std::string::npos) << info;
}

TEST(DecodeRealStreams, FalseSyncBeforeTheStreamIsPassedOver) {
  // Seven bytes of a stereo header and zeros before a 5.1 stream: no sync
  // follows that "frame" where its size puts the next one.
  const Bytes stereo = decode_fixture_bytes("ac3_2_0_48.ac3");
  const Bytes surround = decode_fixture_bytes("ac3_3_2L_48.ac3");
  Bytes bytes(stereo.begin(), stereo.begin() + 7);
  bytes.resize(1000);
  bytes.insert(bytes.end(), surround.begin(), surround.end());
  TempDir dir;
  expect_mono_routing(dir, run_in(dir, {"false.ac3"}, {"/q"}, &bytes), 6, 48000, 16 * 1536 * 4);
}

// The data of output `label` of a quiet decode of `bytes`, named `name`.
Bytes decoded(const std::string& name, const Bytes& bytes, const std::string& label,
              std::vector<std::string> args, std::string* err = nullptr) {
  TempDir dir;
  args.push_back("/+" + label);
  args.push_back("/q");
  const DecodeRun run = run_in(dir, {name}, args, &bytes);
  if (err) *err = run.result.err;
  if (run.outputs.size() != 1) return Bytes{};
  const WavFile wav = load_wav(dir.file(run.outputs[0]));
  EXPECT_EQ(wav.data_size, wav.data.size()) << name;
  return wav.data;
}

TEST(DecodeRealStreams, RateChangeStopsWithWhatWasDecodedBefore) {
  // 44.1 kHz then 48 kHz: the outputs, resampled or not, are exactly the
  // decode of the 44.1 kHz part alone.
  for (const char* name : {"ac3_rate_change.ac3", "dts_rate_change.dts"}) {
    const bool ac3 = name[0] == 'a';
    const Bytes whole = decode_fixture_bytes(name);
    const Bytes second = decode_fixture_bytes(ac3 ? "ac3_2_0_48.ac3" : "dts_2_0.dts");
    const Bytes first(whole.begin(), whole.end() - static_cast<long>(second.size()));
    for (const std::vector<std::string>& rate : {std::vector<std::string>{}, {"/48000"}}) {
      SCOPED_TRACE(std::string(name) + (rate.empty() ? "" : " /48000"));
      std::string err;
      const Bytes got = decoded(ac3 ? "x.ac3" : "x.dts", whole, "L", rate, &err);
      const std::string tail =
          "Error: Sample rate in the stream has changed!\nError: Failed while decoding.\n";
      EXPECT_EQ(err.substr(err.size() - std::min(err.size(), tail.size())), tail);
      const Bytes alone = decoded(ac3 ? "x.ac3" : "x.dts", first, "L", rate);
      EXPECT_GT(alone.size(), 20000u);
      EXPECT_TRUE(got == alone);
    }
  }
}

// Samples [from, to) of 32-bit float mono data.
std::vector<float> floats(const Bytes& data, size_t from, size_t to) {
  std::vector<float> x(to - from);
  if (to * 4 <= data.size()) std::memcpy(x.data(), data.data() + from * 4, x.size() * 4);
  return x;
}

// RMS difference (dB) of samples [from, to) of two decodes. liba52 dithers
// unallocated mantissas from a running generator, so a decode that skipped
// frames differs from a whole one by noise far below -60 dB; the same audio
// a frame early or late differs by about 0 dB.
double difference_db(const Bytes& a, const Bytes& b, size_t from, size_t to) {
  const std::vector<float> x = floats(a, from, to), y = floats(b, from, to);
  return rms_difference_db(std::vector<double>(x.begin(), x.end()),
                           std::vector<double>(y.begin(), y.end()), 0, to - from);
}

// A quiet decode printed its completion line for `frames` frames and, when
// frames were replaced, the count line; nothing else (no library text).
void expect_completion(const std::string& err, int frames, int replaced) {
  const size_t at = err.find("Processing..... \r");
  ASSERT_NE(at, std::string::npos) << err;
  const std::string tail = err.substr(at);
  EXPECT_EQ(tail.rfind("Processing..... \rProcessing: Completed. [" + std::to_string(frames) +
                           " frames decoded ",
                       0),
            0u)
      << err;
  EXPECT_EQ(tail.substr(tail.find('\n') + 1),
            replaced ? "Damaged or missing frames replaced with silence: " +
                           std::to_string(replaced) + "\n"
                     : "")
      << err;
}

TEST(DecodeRealStreams, DamageKeepsTheTimeline) {
  // 5.1 (1792-byte frames) with frame 5's sync word destroyed: frame 5 is
  // silence, the rest at its time (frame 6 joins onto frame 4's overlap).
  const Bytes clean = decode_fixture_bytes("ac3_3_2L_48.ac3");
  const Bytes ref = decoded("s.ac3", clean, "FL", {});
  Bytes lost = clean;
  lost[5 * 1792] = lost[5 * 1792 + 1] = 0;
  std::string err;
  Bytes got = decoded("s.ac3", lost, "FL", {}, &err);
  ASSERT_EQ(got.size(), ref.size());
  EXPECT_EQ(floats(got, 0, 5 * 1536), floats(ref, 0, 5 * 1536));
  EXPECT_EQ(floats(got, 5 * 1536, 6 * 1536), std::vector<float>(1536, 0.0f));
  EXPECT_LT(difference_db(got, ref, 7 * 1536, 16 * 1536), -60.0);
  expect_completion(err, 15, 1);
  // 1000 bytes without sync between stereo frames 7 and 8 (768 bytes each)
  // hold one frame: frame 8 follows one frame of silence, unchanged.
  const Bytes stereo = decode_fixture_bytes("ac3_2_0_48.ac3");
  const Bytes stereo_ref = decoded("s.ac3", stereo, "L", {});
  Bytes junk = stereo;
  junk.insert(junk.begin() + 8 * 768, 1000, 0x55);
  got = decoded("s.ac3", junk, "L", {}, &err);
  ASSERT_EQ(got.size(), stereo_ref.size() + 1536 * 4);
  EXPECT_EQ(floats(got, 8 * 1536, 9 * 1536), std::vector<float>(1536, 0.0f));
  EXPECT_EQ(floats(got, 9 * 1536, 17 * 1536), floats(stereo_ref, 8 * 1536, 16 * 1536));
  expect_completion(err, 16, 1);
  // A burst without sync in a ddwav (bursts 6144 bytes apart), a 44.1 kHz
  // stream (frames 834 and 836 bytes long): one frame each, full length.
  Bytes wav = decode_fixture_bytes("ddwav_3_2L.wav");
  wav[52 + 4 * 6144] = 0;
  EXPECT_EQ(decoded("s.wav", wav, "FL", {}, &err).size(), ref.size());
  expect_completion(err, 15, 1);
  Bytes rate44 = decode_fixture_bytes("ac3_2_0_44.ac3");
  rate44[4178] = 0;  // frame 5
  EXPECT_EQ(decoded("s.ac3", rate44, "L", {}, &err).size(), 15u * 1536 * 4);
  expect_completion(err, 14, 1);
  // Random bytes inside frames: each damaged frame is silence from the block
  // the decoder failed on, the frames between are untouched, and libdca's
  // complaints stay off the console.
  std::mt19937 random(11);
  Bytes damaged = clean;
  for (int frame : {3, 9})
    for (int k = 100; k < 1700; ++k) damaged[frame * 1792 + k] = static_cast<uint8_t>(random());
  got = decoded("s.ac3", damaged, "FL", {}, &err);
  ASSERT_EQ(got.size(), ref.size());
  EXPECT_EQ(floats(got, 4 * 1536 - 256, 4 * 1536), std::vector<float>(256, 0.0f));
  EXPECT_LT(difference_db(got, ref, 5 * 1536, 9 * 1536), -60.0);
  EXPECT_LT(difference_db(got, ref, 11 * 1536, 16 * 1536), -60.0);
  expect_completion(err, 16, 2);
  Bytes dts = decode_fixture_bytes("dts_3_2L.dts");
  for (int frame : {10, 20, 30})
    for (int k = 200; k < 600; ++k) dts[frame * 1024 + k] = static_cast<uint8_t>(random());
  EXPECT_EQ(decoded("s.dts", dts, "FL", {}, &err).size(), 47u * 512 * 4);
  expect_completion(err, 47, 3);
}

TEST(DecodeRealStreams, EAc3FramesBetweenAc3FramesArePassedOver) {
  // Each 384-byte mono AC-3 frame followed by a 384-byte E-AC-3 frame: the
  // AC-3 stream decodes as if alone, with nothing taken for lost.
  const Bytes mono = decode_fixture_bytes("ac3_1_0_48.ac3");
  const Bytes eac3 = decode_fixture_bytes("eac3_2_0.ac3");
  Bytes mixed;
  for (long k = 0; k < 16; ++k) {
    mixed.insert(mixed.end(), mono.begin() + k * 384, mono.begin() + (k + 1) * 384);
    mixed.insert(mixed.end(), eac3.begin() + k * 384, eac3.begin() + (k + 1) * 384);
  }
  std::string err;
  EXPECT_TRUE(decoded("m.ac3", mixed, "C", {}, &err) == decoded("m.ac3", mono, "C", {}));
  expect_completion(err, 16, 0);
}

TEST(DecodeRealStreams, FourteenBitDtsDecodesSilentlyLikeSixteenBit) {
  const char* pairs[][2] = {{"dtswav14_3_2L.wav", "dtswav16_3_2L.wav"},
                            {"dts_pack_14be.dts", "dts_2_0.dts"},
                            {"dts_pack_14le.cpt", "dts_2_0.dts"}};
  for (const auto& pair : pairs) {
    SCOPED_TRACE(pair[0]);
    TempDir a, b;
    const DecodeRun fourteen = run_in(a, {pair[0]}, {"/mch", "/q"});
    const DecodeRun sixteen = run_in(b, {pair[1]}, {"/mch", "/q"});
    ASSERT_EQ(fourteen.outputs.size(), 1u);
    ASSERT_EQ(sixteen.outputs.size(), 1u);
    EXPECT_TRUE(read_file(a.file(fourteen.outputs[0])) == read_file(b.file(sixteen.outputs[0])));
    expect_completion(fourteen.result.err, 47, 0);
  }
}

TEST(DecodeRealStreams, ExtensionStreamWithEveryChannelDeselected) {
  TempDir dir;
  const DecodeRun run = run_in(dir, {"dts_es.dts"}, {"/mch", "/-FL,FR,C,LFE,SL,SR"});
  const std::string aborted =
      "Aborted: Channel selection cancelled all channels. (incompatible identifier(s)?)\n";
  EXPECT_EQ(run.result.err.substr(run.result.err.size() - std::min(run.result.err.size(),
                                                                     aborted.size())),
            aborted);
  EXPECT_TRUE(run.outputs.empty());
}

TEST(DecodeBatch, EveryJobRunsOnItsOwnDecoder) {
  TempDir dir;
  const DecodeRun run =
      run_in(dir, {"ac3_2_0_48.ac3", "dts_2_2.dts", "ac3_3_1L_44.ac3", "dts_1_0.dts"}, {"/q"});
  EXPECT_EQ(run.result.exit_status, 0);
  size_t completed = 0;
  for (size_t at = 0; (at = run.result.err.find("Completed.", at)) != std::string::npos; ++at)
    ++completed;
  EXPECT_EQ(completed, 4u) << run.result.err;
  ASSERT_EQ(run.outputs.size(), 2u + 4u + 5u + 1u);
  for (const std::string& name : run.outputs) {
    SCOPED_TRACE(name);
    const WavFile wav = load_wav(dir.file(name));
    double share = 0;
    EXPECT_EQ(dominant_tone(wav_channel(wav, 0), wav.rate, &share), tone_of_label(label_of(name)));
    EXPECT_GT(share, 0.99);
  }
}

}  // namespace
