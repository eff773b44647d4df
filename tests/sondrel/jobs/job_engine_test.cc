// The job engine with a source built here: blocks of known samples reach
// the outputs whole, one channel per output, or converted to 16 bits; a
// source that fails keeps what was written, drains the resampler and says
// so.
#include "jobs/job_engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "resample_driver.h"
#include "test_files.h"
#include "wav/wav_writer.h"
#include "wav_builder.h"

namespace {

// Channel c, frame i: c * 0.25 + i / 4096, planar, 256-frame blocks.
struct TestSource {
  BlockSource base;
  std::vector<std::vector<float>> planes;
  int32_t blocks = 0;       // blocks given so far
  int32_t last_block = 0;   // blocks to give
  bool fail = false;        // fail after them instead of ending
};

int32_t next_test_block(BlockSource* base, Block* b, uint8_t*, size_t) {
  TestSource* t = reinterpret_cast<TestSource*>(base);
  if (t->blocks == t->last_block) return t->fail ? SOURCE_FAILED : SOURCE_END;
  b->form = BLOCK_PLANES;
  b->frames = 256;
  for (size_t c = 0; c < t->planes.size(); ++c)
    b->planes[c] = t->planes[c].data() + 256 * t->blocks;
  t->blocks += 1;
  return SOURCE_BLOCK;
}

TestSource make_source(int32_t channels, int32_t blocks) {
  TestSource t;
  t.base = BlockSource{};
  t.base.next = next_test_block;
  t.base.max_block_frames = 256;
  t.last_block = blocks;
  t.planes.resize(static_cast<size_t>(channels));
  for (int32_t c = 0; c < channels; ++c)
    for (int32_t i = 0; i < 256 * blocks; ++i) t.planes[c].push_back(c * 0.25f + i / 4096.0f);
  return t;
}

// Runs the source through the engine into `outputs` files; returns the outcome.
struct EngineRun {
  TempDir dir;
  JobSettings s;
  std::string err;
  int32_t outcome = -1;
  EngineRun(TestSource* source, JobPlan plan, int32_t outputs, SsrcParallel* rs = nullptr) {
    init_job_settings(&s);
    s.no_progress = 1;
    std::snprintf(s.status_label, sizeof s.status_label, "Processing");
    EXPECT_EQ(alloc_out_names(&s, outputs), 0);
    s.output_count = outputs;
    for (int32_t k = 0; k < outputs; ++k)
      std::snprintf(s.out_names[k], OUT_NAME_CAPACITY, "%s", name(k).c_str());
    JobEngine engine;
    job_start(&engine, &plan, &s, rs);
    testing::internal::CaptureStderr();
    if (job_create_outputs(&engine, wav_plain_header, PLAIN_HEADER_BYTES, 256) == 0)
      outcome = run_job(&engine, &source->base);
    err = testing::internal::GetCapturedStderr();
    job_release(&engine);
  }
  ~EngineRun() { free_out_names(&s); }
  std::string name(int32_t k) const { return dir.file("out" + std::to_string(k) + ".wav"); }
  WavFile out(int32_t k) const { return load_wav(name(k)); }
};

JobPlan plan_for(int32_t kind, int32_t dsp_mode, int32_t bits, int32_t channels) {
  JobSettings s;
  init_job_settings(&s);
  s.dsp_mode = dsp_mode;
  s.out_bits = bits;
  s.out_float = bits != 16;
  s.out_rate = 48000;
  return job_plan(kind, &s, channels);
}

}  // namespace

TEST(Engine, BlocksReachTheOutputsWholePerChannelOrConverted) {
  TestSource whole_source = make_source(3, 4);
  JobPlan whole = plan_for(JOB_DECODE, DSP_COPY, 32, 3);
  whole.whole = 1;
  EngineRun a(&whole_source, whole, 1);
  EXPECT_EQ(a.outcome, JOB_COMPLETED);
  const std::vector<double> got = unpack_float_samples(a.out(0).data, 32);
  ASSERT_EQ(got.size(), 3u * 1024);
  for (size_t k = 0; k < got.size(); ++k)  // frame-major interleave
    ASSERT_EQ(got[k], static_cast<float>((k % 3) * 0.25f + (k / 3) / 4096.0f)) << k;
  EXPECT_EQ(a.out(0).data_size, 3u * 1024 * 4);  // the size fix ran
  EXPECT_NE(a.err.find("Processing: Completed. [0 frames decoded "), std::string::npos) << a.err;

  // One output per channel, channels 2 and 0, converted to 16 bits:
  // R(x * 32767), half away from zero.
  TestSource split_source = make_source(3, 4);
  JobPlan split = plan_for(JOB_PCM, DSP_CONVERT, 16, 3);
  split.picks[0] = 2;
  split.picks[1] = 0;
  EngineRun b(&split_source, split, 2);
  EXPECT_EQ(b.outcome, JOB_COMPLETED);
  for (int32_t k = 0; k < 2; ++k) {
    const std::vector<int64_t> v = unpack_int_samples(b.out(k).data, 16);
    ASSERT_EQ(v.size(), 1024u);
    const int32_t c = k == 0 ? 2 : 0;
    for (int32_t i = 0; i < 1024; ++i) {
      const double x = static_cast<double>(c * 0.25f + i / 4096.0f) * 32767.0;
      ASSERT_EQ(v[i], std::min<int64_t>(32767, static_cast<int64_t>(x + 0.5))) << k << " " << i;
    }
  }
  EXPECT_NE(b.err.find("Processing: Completed. ["), std::string::npos) << b.err;
}

TEST(Engine, AFailingSourceKeepsWhatWasReadAndDrainsTheResampler) {
  // Three blocks, then the source fails: what they hold is resampled to
  // the end (exactly twice as many frames) and the job says it failed.
  TestSource source = make_source(1, 3);
  source.fail = true;
  JobPlan plan = plan_for(JOB_DECODE, DSP_UPSAMPLE, 64, 1);
  plan.whole = 1;
  SsrcParallel rs;
  ASSERT_EQ(ssrc_parallel_configure(&rs, 48000, 96000, 1, 32, 1), 0);
  EngineRun run(&source, plan, 1, &rs);
  ssrc_parallel_free(&rs);
  EXPECT_EQ(run.outcome, JOB_FAILED);
  EXPECT_EQ(run.err, "Processing..... \rError: Failed while decoding.\n");
  const WavFile w = run.out(0);
  EXPECT_EQ(w.data_size, 1536u * 8);
  // The same samples through the resampler directly, bit for bit.
  const std::vector<double> input(source.planes[0].begin(), source.planes[0].end());
  const ResampleRun direct = resample(48000, 96000, 1, input, 32);
  EXPECT_EQ(unpack_float_samples(w.data, 64), direct.frames);
}
