// The probe routine in process, with a scripted tick counter: progress
// cadence over several blocks, the peak over block boundaries, failures in
// the middle of the stream; and the peak scan against a plain loop.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "level_probe.h"
#include "platform/tick.h"
#include "test_files.h"
#include "wav_builder.h"

namespace {

std::vector<uint32_t> script;
size_t script_next = 0;
uint32_t scripted_tick() {
  uint32_t t = script[std::min(script_next, script.size() - 1)];
  ++script_next;
  return t;
}

struct ScriptedTicks {
  explicit ScriptedTicks(std::vector<uint32_t> ticks) {
    script = std::move(ticks);
    script_next = 0;
    platform_set_tick_source(scripted_tick);
  }
  ~ScriptedTicks() { platform_set_tick_source(nullptr); }
};

std::string probe(const std::string& path) {
  char* text = nullptr;
  size_t size = 0;
  FILE* out = open_memstream(&text, &size);
  std::string arg0 = "levelprobe", arg1 = path;
  char* argv[] = {arg0.data(), arg1.data(), nullptr};
  level_probe_main(2, argv, out);
  std::fclose(out);
  std::string result(text, size);
  std::free(text);
  return result;
}

// A mono 16-bit WAV of `frames` quiet frames with one sample set.
std::string mono_wav(const TempDir& dir, int frames, int at, int16_t value, int64_t declared = -1) {
  std::vector<int64_t> v(static_cast<size_t>(frames));
  for (int i = 0; i < frames; ++i) v[i] = (i % 200) - 100;
  v[static_cast<size_t>(at)] = value;
  WavLayout plan;
  plan.declared_data_size = declared;
  std::string path = dir.file("probe.wav");
  write_file(path, make_wav(plan, pack_int_samples(v, 16)));
  return path;
}

// Each read takes 96000 bytes, 48000 mono frames: five blocks here.
constexpr int kFrames = 5 * 48000;

TEST(ProbeProgress, PrintsTheFirstBlockThenAtMostEvery200Ms) {
  TempDir dir;
  std::string path = mono_wav(dir, kFrames, kFrames - 1, -32768);  // in the last block
  {
    ScriptedTicks ticks({1000, 1100, 1250, 1300, 1460});
    EXPECT_EQ(probe(path),
              "\r0.00%     \r40.00%     \r80.00%     \r100%     \n"
              "Amplify by 1.000000 for full-scale.\n");
    EXPECT_EQ(script_next, 5u);  // one tick per block
  }
  {
    // A counter that wraps between blocks still measures the 272 ms.
    ScriptedTicks ticks({0xFFFFFF00u, 0xFFFFFF50u, 0x00000010u, 0x00000011u, 0x00000012u});
    EXPECT_EQ(probe(path),
              "\r0.00%     \r40.00%     \r100%     \n"
              "Amplify by 1.000000 for full-scale.\n");
  }
  {
    // The first block prints even when the counter starts at 0.
    ScriptedTicks ticks({0});
    EXPECT_EQ(probe(path), "\r0.00%     \r100%     \nAmplify by 1.000000 for full-scale.\n");
  }
}

TEST(ProbeProgress, PeakAnywhereAndFailureMidStream) {
  TempDir dir;
  ScriptedTicks ticks({5000});
  // The peak in the first frame, at a block boundary, in the last frame.
  for (int at : {0, 48000 - 1, 48000, kFrames - 1}) {
    EXPECT_EQ(probe(mono_wav(dir, kFrames, at, 10000)),
              "\r0.00%     \r100%     \nAmplify by 3.276800 for full-scale.\n")
        << at;
  }
  // The data chunk claims more than the file holds: the reads of the first
  // blocks succeed, the one past the end fails, and no report follows.
  script = {1000, 1300, 1600, 1900};
  script_next = 0;
  EXPECT_EQ(probe(mono_wav(dir, 2 * 48000 + 100, 10, 20000, 2 * (kFrames))),
            "\r0.00%     \r20.00%     \r40.00%     \rAVIStreamRead failed!\n");
}

TEST(ScanPeak, MatchesAPlainLoopOnAnyValues) {
  std::mt19937 rng(11);
  for (int round = 0; round < 300; ++round) {
    size_t n = rng() % 300;
    std::vector<int16_t> v(n);
    for (int16_t& x : v) x = static_cast<int16_t>(rng() % 2000 - 1000 + (rng() % 50 == 0 ? -31768 : 0));
    if (n && round % 7 == 0) v[rng() % n] = -32768;
    if (n && round % 5 == 0) v[rng() % n] = 32767;
    int32_t start = static_cast<int32_t>(rng() % 1500);
    int32_t expect = start;
    for (int16_t x : v) expect = std::max(expect, std::abs(static_cast<int32_t>(x)));
    ASSERT_EQ(scan_peak(v.data(), n, start), expect) << round;
  }
  const int16_t only_min[] = {0, -32768, 5};
  EXPECT_EQ(scan_peak(only_min, 3, 0), 32768);
  EXPECT_EQ(scan_peak(only_min, 0, 17), 17);
}

}  // namespace
