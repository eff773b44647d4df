// The PCM WAV job's resampling loop, for tests.
#include "resample_driver.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "wav/input_file.h"
#include "wav/job_settings.h"

ResampleRun resample(int32_t src_rate, int32_t dst_rate, int32_t channels,
                     const std::vector<double>& input, int32_t bits) {
  ResampleRun run;
  InputFile file{};
  file.kind = KIND_PCM_WAV;
  file.channels = channels;
  file.bits = bits;
  file.is_float = bits == 64 || bits == 32;
  file.sample_rate = src_rate;
  const int64_t total = static_cast<int64_t>(input.size()) / channels;
  file.data_size = static_cast<uint64_t>(total) * channels * (bits / 8);

  JobSettings settings;
  init_job_settings(&settings);
  settings.out_bits = 64;
  settings.out_float = 1;
  settings.out_rate = dst_rate;
  settings.in_bits = bits;
  settings.dsp_mode = dst_rate > src_rate ? 3 : 2;
  const bool up = settings.dsp_mode == 3;

  auto* fp = static_cast<filterparms*>(std::calloc(1, sizeof(filterparms)));
  auto* st = static_cast<ssrc*>(std::calloc(1, sizeof(ssrc)));
  ssrc_reset(fp, st, &file);
  run.status = ssrc_configure(&file, fp, st, &settings);
  if (run.status == 0) {
    int64_t pos = 0;
    while (run.calls < 100000) {
      int64_t want = ssrc_frames_wanted(fp, st, src_rate, dst_rate);
      if (!up) want = std::min<int64_t>(want, st->total_frames - st->frames_read);
      const int64_t got = std::max<int64_t>(0, std::min<int64_t>(want, total - pos));
      const int32_t at = up ? fp->inbuflen : 0;
      std::memcpy(st->inbuf + static_cast<int64_t>(at) * channels, input.data() + pos * channels,
                  sizeof(double) * static_cast<size_t>(got * channels));
      pos += got;
      st->flushing = pos >= total && got <= want ? 1 : 0;
      int32_t all_delayed = 0, skip = 0, count = 0;
      ssrc_process(channels, src_rate, &settings, static_cast<int32_t>(got),
                   static_cast<int32_t>(up ? want : got), fp, st, &all_delayed, &skip, &count);
      ++run.calls;
      if (!all_delayed && count > 0) {
        const double* from = st->outbuf + static_cast<int64_t>(skip) * channels;
        run.frames.insert(run.frames.end(), from, from + static_cast<int64_t>(count) * channels);
        run.delivered += count;
      }
      if (st->flushing == -1) break;
    }
  }
  ssrc_free(fp, st);
  std::free(fp);
  std::free(st);
  free_work_buffers(&settings.work_buffers);
  return run;
}
