// The resampler over a whole input, for tests.
#include "resample_driver.h"

#include <algorithm>

ResampleRun resample(int32_t src_rate, int32_t dst_rate, int32_t channels,
                     const std::vector<double>& input, int32_t bits, int32_t piece) {
  ResampleRun run;
  const int64_t total = static_cast<int64_t>(input.size()) / channels;
  filterparms fp;
  ssrc st;
  ssrc_reset(&fp, &st);
  run.status = ssrc_configure(&fp, &st, src_rate, dst_rate, channels, bits);
  int64_t pos = 0;
  while (run.status == 0 && run.calls < 100000) {
    const int64_t left = total - pos;
    const int64_t count = piece > 0 ? std::min<int64_t>(piece, left) : left;
    pos += ssrc_push(&fp, &st, input.data() + pos * channels, static_cast<int32_t>(count));
    if (pos == total) ssrc_finish(&st);
    SsrcOutput out;
    int32_t pulled;
    while ((pulled = ssrc_pull(&fp, &st, &out)) == SSRC_PULLED) {
      ++run.calls;
      const double* from = out.frames + static_cast<int64_t>(out.skip) * channels;
      run.frames.insert(run.frames.end(), from, from + static_cast<int64_t>(out.count) * channels);
      run.delivered += out.count;
    }
    if (pulled == SSRC_FINISHED) break;
  }
  ssrc_free(&fp, &st);
  return run;
}
