// The channels split over threads give exactly the output of one instance
// over all channels, whatever the split, the direction, the push sizes and
// the material (sox-made noise and tones, and samples that are not finite).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "dsp/ssrc/ssrc_parallel.h"
#include "resample_driver.h"
#include "test_files.h"
#include "wav_builder.h"

namespace {

// Runs the parallel resampler the way the job's block path does: frames
// copied into the room in pieces, every conversion pulled.
ResampleRun resample_parallel(int32_t src_rate, int32_t dst_rate, int32_t channels,
                              const std::vector<double>& input, int32_t threads, int32_t piece,
                              int32_t* groups = nullptr) {
  ResampleRun run;
  SsrcParallel p;
  run.status = ssrc_parallel_configure(&p, src_rate, dst_rate, channels, 16, threads);
  if (run.status) return run;
  if (groups) *groups = p.groups;
  const int64_t total = static_cast<int64_t>(input.size()) / channels;
  int64_t pos = 0;
  for (;;) {
    int32_t room = 0;
    double* at = ssrc_parallel_input_room(&p, &room);
    const int64_t count = std::min<int64_t>({room, piece, total - pos});
    std::copy(input.begin() + pos * channels, input.begin() + (pos + count) * channels, at);
    ssrc_parallel_input_commit(&p, static_cast<int32_t>(count));
    pos += count;
    if (pos == total) ssrc_parallel_finish(&p);
    SsrcOutput out;
    int32_t pulled;
    while ((pulled = ssrc_parallel_pull(&p, &out)) == SSRC_PULLED) {
      ++run.calls;
      const double* from = out.frames + static_cast<int64_t>(out.skip) * channels;
      run.frames.insert(run.frames.end(), from, from + static_cast<int64_t>(out.count) * channels);
      run.delivered += out.count;
    }
    if (pulled == SSRC_FINISHED) break;
  }
  ssrc_parallel_free(&p);
  return run;
}

// Interleaved samples of a 16-bit WAV sox makes with `effects`, as doubles.
std::vector<double> sox_material(const TempDir& dir, int32_t rate, int32_t channels,
                                 const std::string& effects) {
  const std::string path = dir.file("in.wav");
  const std::string cmd = "sox -R -n -r " + std::to_string(rate) + " -b 16 -c " +
                          std::to_string(channels) + " '" + path + "' " + effects +
                          " 2>/dev/null";
  std::vector<double> v;
  if (std::system(cmd.c_str()) != 0) return v;
  const WavFile w = parse_wav(read_file(path));
  for (int64_t s : unpack_int_samples(w.data, 16)) v.push_back(static_cast<double>(s) / 32768.0);
  return v;
}

}  // namespace

TEST(SsrcParallel, EverySplitGivesTheOneInstanceOutputBitForBit) {
  TempDir dir;
  struct Case {
    int32_t from, to, channels;
    const char* effects;
  };
  const Case cases[] = {
      {44100, 48000, 6, "synth 0.7 whitenoise sine 440 pinknoise sine 3000 brownnoise sine 97"},
      {48000, 44100, 6, "synth 0.7 sine 1000 whitenoise sine 15000 pinknoise square 50 noise"},
      {48000, 96000, 5, "synth 0.4 whitenoise sine 200 sine 21000 pinknoise sine 7"},
      {44100, 48000, 2, "synth 1.3 whitenoise sine 440"},
  };
  for (const Case& c : cases) {
    const std::vector<double> input = sox_material(dir, c.from, c.channels, c.effects);
    if (input.empty()) GTEST_SKIP() << "sox missing";
    const ResampleRun one = resample(c.from, c.to, c.channels, input, 16);
    ASSERT_EQ(one.status, 0);
    ASSERT_GT(one.delivered, 0);
    for (int32_t threads : {1, 2, 3, 6}) {
      for (int32_t piece : {256, 1 << 20}) {
        int32_t groups = 0;
        const ResampleRun split =
            resample_parallel(c.from, c.to, c.channels, input, threads, piece, &groups);
        SCOPED_TRACE(std::to_string(c.from) + "->" + std::to_string(c.to) + " threads " +
                     std::to_string(threads) + " piece " + std::to_string(piece));
        EXPECT_EQ(groups, std::min(threads, c.channels));
        EXPECT_EQ(split.delivered, one.delivered);
        // Exact equality of every sample (not a tolerance).
        EXPECT_TRUE(split.frames == one.frames);
      }
    }
  }
}

TEST(SsrcParallel, NonFiniteSamplesStayInTheirOwnChannel) {
  // One channel full of NaN and infinities: the others come out as from one
  // instance, and that channel as one instance gives it.
  const int32_t channels = 4, frames = 20000;
  std::vector<double> input(static_cast<size_t>(channels) * frames);
  for (int32_t i = 0; i < frames; ++i)
    for (int32_t c = 0; c < channels; ++c)
      input[static_cast<size_t>(i) * channels + c] =
          c == 2 ? (i % 3 == 0 ? NAN : i % 3 == 1 ? INFINITY : -0.5)
                 : 0.5 * std::sin(0.01 * (c + 1) * i);
  const ResampleRun one = resample(48000, 44100, channels, input, 16);
  const ResampleRun split = resample_parallel(48000, 44100, channels, input, 2, 512);
  ASSERT_EQ(one.status, 0);
  EXPECT_TRUE(split.frames == one.frames);
  for (double v : split.frames) ASSERT_TRUE(std::isfinite(v));
}

TEST(SsrcParallel, RefusedRatioIsReportedOnceAndLeavesNoThread) {
  SsrcParallel p;
  testing::internal::CaptureStderr();
  EXPECT_EQ(ssrc_parallel_configure(&p, 25000, 48000, 6, 16, 4), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Resampling from 25000Hz to 48000Hz is not supported.\n"
            "Error: Unable to configure upsampling filters\n");
  for (const PlatformHelper& h : p.helper) EXPECT_EQ(h.thread.running, 0);
}
