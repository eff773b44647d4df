// The decode job: the header image of its outputs, a fresh decoder, the
// plan of its blocks (the selected slots: one mono output each, or one
// multichannel output in speaker order), then the decode source run through
// the job engine.
#include "decode/decode_job.h"

#include <cstdint>
#include <cstdio>

#include "decode/decode_source.h"
#include "decode/decoder_slots.h"
#include "jobs/job_engine.h"
#include "wav/wav_writer.h"

namespace {

// A fresh decoder state and hook for this file, so that every job of a
// batch runs on a live state with its latch unset.
int make_job_decoder(const InputFile* file) {
  const bool ac3 = is_ac3_family(file->kind);
  if (ac3 ? !slot_new_ac3() : !slot_new_dts()) {
    std::fputs(ac3 ? "Error: A52 init failed\n" : "Error: DTS init failed.\n", stderr);
    return 1;
  }
  if (!slot_new_hook(file->kind)) {
    std::fputs("Can not open output\n", stderr);
    return 1;
  }
  return 0;
}

// The blocks carry the selected slots in the order the outputs take them:
// one output per slot, or all of them in the one multichannel output. Each
// output is expected to take the stream's frame total.
JobPlan decode_plan(const InputFile* file, const JobSettings* s) {
  JobPlan plan = job_plan(JOB_DECODE, s, s->selected_count);
  plan.whole = s->output_layout == LAYOUT_MULTICHANNEL;
  plan.expected_bytes = expected_output_bytes(file->frame_count, file->sample_rate, s->out_rate,
                                              plan.whole ? plan.channels : 1, s->out_bits);
  return plan;
}

}  // namespace

int decode_job(FILE* stream, InputFile* file, SsrcParallel* rs, JobSettings* s) {
  if (s->selected_count < 1 || s->selected_count > MAX_SELECTED) return 0;
  const bool multichannel = s->output_layout == LAYOUT_MULTICHANNEL;
  uint32_t mask = 0;
  if (multichannel) {
    int32_t order[MAX_SELECTED];
    mask = multichannel_layout(file, s, order);
  }
  wav_header_fill(wav_plain_header, wav_extensible_header, multichannel,
                  multichannel ? s->selected_count : 1, s->out_rate, s->out_bits, s->out_float,
                  mask);
  if (make_job_decoder(file)) return 1;

  const JobPlan plan = decode_plan(file, s);
  JobEngine engine;
  job_start(&engine, &plan, s, rs);
  DecodeSource source;
  int result = 0;
  if (job_create_outputs(&engine, multichannel ? wav_extensible_header : wav_plain_header,
                         multichannel ? EXTENSIBLE_HEADER_BYTES : PLAIN_HEADER_BYTES,
                         BLOCK_SAMPLES)) {
    result = 1;
  } else if (decode_source_open(&source, stream, file, s)) {
    std::fputs("Error: Not enough memory for the job's buffers.\n", stderr);
    job_abandon(&engine);
  } else {
    run_job(&engine, &source.base);  // it reports the outcome
    decode_source_close(&source);
  }
  job_release(&engine);
  slot_release_family(file->kind);
  return result;
}
