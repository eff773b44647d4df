// Output layout and sample path of a job.
#include "frontend/job_layout.h"

void settle_job_layout(const InputFile* files, int32_t index, JobSettings* s) {
  const InputFile& f = files[index];
  const bool decoded = is_compressed(f.kind);
  s->in_bits = decoded ? 32 : f.bits;
  s->in_float = decoded ? 1 : f.is_float;

  if (s->convert_only) {
    s->output_count = 1;
    s->output_channels = f.channels;
    s->extensible_header = f.fmt_size != 16;  // the input's header kind
  } else if (s->multichannel_out) {
    if (s->output_count != 0) s->output_count = 1;
    const bool interleave = f.kind == KIND_PCM_WAV && f.channels == 1;
    s->output_channels = interleave ? s->group_size : s->selected_count;
    s->extensible_header = 1;
  } else {
    if (s->output_count != 0) s->output_count = s->selected_count;
    s->output_channels = 1;
    s->extensible_header = 0;
  }
  if (s->output_count == 0) s->output_channels = 0;

  if (s->out_rate == f.sample_rate)
    s->dsp_mode = s->out_bits != s->in_bits || s->out_float != s->in_float ? DSP_CONVERT : DSP_COPY;
  else
    s->dsp_mode = s->out_rate < f.sample_rate ? DSP_DOWNSAMPLE : DSP_UPSAMPLE;
}
