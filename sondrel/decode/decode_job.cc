// The decode job: outputs created with their headers, the frame loop over
// the stream, every block routed, then the completion line and the sizes.
#include "decode/decode_job.h"

#include <cstdint>
#include <cstdlib>

#include "decode/block_router.h"
#include "decode/decoder_slots.h"
#include "decode/frame_gatherer.h"
#include "decode/frame_sync.h"
#include "dsp/noise_shaper.h"
#include "report/halt.h"
#include "report/progress.h"
#include "wav/outputs.h"
#include "wav/wav_writer.h"

namespace {

constexpr int LOOP_ABORTED = -1;

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

// Creates the outputs and writes their header image. Returns 1 when one
// cannot be created (the ones made before it are closed).
int create_outputs(JobSettings* s, JobOutputs* outputs, const uint8_t* header,
                   int32_t header_bytes) {
  const int32_t count = s->output_count < s->out_name_slots ? s->output_count : s->out_name_slots;
  int32_t failed = 0;
  switch (outputs_create(outputs, s->out_names, count, header, header_bytes, 0, &failed)) {
    case OUTPUTS_CREATED:
      return 0;
    case OUTPUTS_NO_MEMORY:
      std::fputs("Error: Not enough memory for the job's buffers.\n", stderr);
      return 1;
    default:
      std::fputs("Unable to write to file. File may be open, disk error etc...\n", stderr);
      return 1;
  }
}

// Decodes one gathered frame of `blocks` blocks (the count its header
// gives) and routes its blocks. Blocks the decoder cannot deliver (set-up or
// block failure) are routed as silence and make the frame a damaged one.
// Returns a ROUTE_ result.
int decode_frame(FrameGatherer* g, InputFile* f, int32_t blocks, RouteState* route,
                 filterparms* fp, ssrc* rs, JobSettings* s, JobOutputs* outputs, bool* damaged) {
  FormatHook* hook = decoder_slots.hook;
  double level = 1.0, bias = 0.0;
  int32_t done = 0;
  if (is_ac3_family(f->kind)) {
    Ac3Decoder* d = decoder_slots.ac3;
    if (!hook->setup(hook, f, &level, &bias)) {
      if (!s->no_level_adjust) f->stream_flags |= AC3_ADJUST_LEVEL;
      if (!ac3_frame_setup(d, g->frame, f, &level, bias, FRAME_MODE_DECODE)) {
        if (s->no_dynrng) ac3_dynrng_off(d);
        for (; done < AC3_BLOCKS_PER_FRAME && !ac3_decode_block(d); ++done) {
          const int r = route_block(hook, f, ac3_block_samples(d), route, fp, rs, s, outputs);
          if (r) return r;
        }
      }
    }
  } else {
    DtsDecoder* d = decoder_slots.dts;
    if (!hook->setup(hook, f, &level, &bias)) {
      if (!s->no_level_adjust) f->stream_flags |= DTS_ADJUST_LEVEL;
      level *= 1.0;
      if (!dts_frame_setup(d, g->frame, f, &level, bias)) {
        if (s->no_dynrng) dts_dynrng_off(d);
        for (; done < dts_frame_blocks(d) && !dts_decode_block(d); ++done) {
          const int r = route_block(hook, f, dts_block_samples(d), route, fp, rs, s, outputs);
          if (r) return r;
        }
        blocks = dts_frame_blocks(d);
      }
    }
  }
  *damaged = done < blocks;
  return *damaged ? route_silence(f, blocks - done, route, fp, rs, s, outputs) : ROUTE_OK;
}

}  // namespace

// Returns 0 when the input is exhausted, a ROUTE_ error, or LOOP_ABORTED.
// `replaced` counts the frames replaced with silence: damaged frames, and
// the whole frames a stretch without sync between two frames held.
int decode_loop(FILE* stream, InputFile* f, filterparms* fp, ssrc* rs, JobSettings* s,
                JobOutputs* outputs, int64_t* replaced) {
  FrameGatherer* g = static_cast<FrameGatherer*>(std::malloc(sizeof(FrameGatherer)));
  if (!g) return ROUTE_ERROR;
  RouteState route;
  route_start(&route, f, s);
  FrameTrack track;
  track_start(&track);
  int32_t frame_blocks = 0;
  bool passing_over = false;  // the frame being gathered belongs to another stream
  s->frames_done = 0;
  gather_start(g, is_ac3_family(f->kind) ? AC3_HEADER_BYTES : DTS_HEADER_BYTES, f->sync_offset);
  std::fseek(stream, f->sync_offset, SEEK_SET);
  s->paused_time = 0.0;
  s->start_time = now_seconds();
  arm_ctrl_c();
  int result = ROUTE_OK;
  for (bool more = true; more && result == ROUTE_OK;) {
    if (halt_flag) {
      const int answer = halt_and_ask(s, outputs);
      if (answer == 1) {
        result = LOOP_ABORTED;
        break;
      }
      if (answer == 2) {  // headers could not all be fixed: stop without a second close
        outputs_close(outputs);
        result = LOOP_ABORTED;
        break;
      }
    }
    const int32_t n = gather_read(g, stream);
    if (s->frames_done == 0) family_reset_latch(f);
    if (n == 0) break;
    for (;;) {
      const GatherEvent event = gather_next(g);
      if (event == GATHER_EMPTY) break;
      if (event == GATHER_HEADER) {
        const int64_t start = g->stream_pos;
        const int32_t length = family_sync_test(f, g->frame, FRAME_MODE_DECODE, &frame_blocks);
        const int64_t missing = length > 0 ? frames_missing(&track, start) : 0;
        const int32_t missing_blocks = track.last_blocks;
        if (length == 0 || !accept_frame(stream, f, &track, start, length, frame_blocks)) {
          const int32_t other =
              length == 0 && track.last_start >= 0 ? other_frame_length(stream, f, start, g->frame)
                                                   : 0;
          track.passed_over += other;
          passing_over = other > 0;
          if (passing_over)
            gather_accept(g, other);
          else
            gather_slide(g);
          continue;
        }
        f->frame_size = length;
        s->frames_done += 1;
        gather_accept(g, length);
        if (missing > 0) {
          *replaced += missing;
          result = route_silence(f, missing * missing_blocks, &route, fp, rs, s, outputs);
          if (result != ROUTE_OK) break;
        }
        continue;
      }
      if (passing_over) {
        passing_over = false;
        gather_restart(g);
        continue;
      }
      bool damaged = false;
      result = decode_frame(g, f, frame_blocks, &route, fp, rs, s, outputs, &damaged);
      if (damaged) *replaced += 1;
      if (result != ROUTE_OK) break;
      if (!s->no_progress) progress_tick(s->frames_done, f->burst_count, s);
      gather_restart(g);
    }
  }
  std::free(g);
  // What the resampler holds was decoded before the end or the stop: drain it.
  const bool drain = result == ROUTE_OK || (result == ROUTE_ERROR && route.blocks > 0);
  if (drain && s->dsp_mode >= 2 && fp && rs) {
    const int drained = drain_resampler(fp, rs, s, outputs);
    if (drained != ROUTE_OK) result = drained;
  }
  return result;
}

int decode_job(FILE* stream, InputFile* file, filterparms* fp, ssrc* rs, JobSettings* s) {
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
  JobOutputs job_outputs;
  JobOutputs* outputs = &job_outputs;
  if (create_outputs(s, outputs, multichannel ? wav_extensible_header : wav_plain_header,
                     multichannel ? EXTENSIBLE_HEADER_BYTES : PLAIN_HEADER_BYTES)) {
    slot_release_family(file->kind);
    return 1;
  }
  if (!s->no_progress) {
    progress_setup(s, file->kind, static_cast<int64_t>(file->file_size));
    std::fprintf(stderr, "%s..... 0%%\r", s->status_label);
  } else {
    std::fprintf(stderr, "%s..... \r", s->status_label);
  }
  const bool shaped = s->dither_type != 0 && !(s->out_float && s->out_bits == 64);
  const int32_t shaper_channels = s->selected_count > 0 ? s->selected_count : 1;
  if (shaped) {
    int32_t low = 0, high = 0;
    shaper_clip_range(s->out_float ? 32 : s->out_bits, &low, &high);
    shaper_open(s->out_rate, shaper_channels, low, high, s->dither_type, s->pdf_type,
                s->noise_amplitude);
  }
  int64_t replaced = 0;
  int result = decode_loop(stream, file, fp, rs, s, outputs, &replaced);
  if (shaped) shaper_close();
  if (result == ROUTE_OK && outputs_flush(outputs)) result = ROUTE_WRITE_FAILED;
  if (result == ROUTE_OK) {
    char elapsed[64];
    std::fprintf(stderr,
                 s->dsp_mode == 0 ? "%s: Completed. [%d frames decoded %s\n"
                                  : "%s: Completed. [%d frames decoded (incl dsp) %s\n",
                 s->status_label, static_cast<int>(s->frames_done),
                 elapsed_text(elapsed, sizeof elapsed, s));
  } else if (result != LOOP_ABORTED) {
    std::fputs("Error: Failed while decoding.\n", stderr);
  }
  if (result != LOOP_ABORTED && replaced > 0)
    std::fprintf(stderr, "Damaged or missing frames replaced with silence: %lld\n",
                 static_cast<long long>(replaced));
  // Every output keeps exactly what was decoded before the end or the stop,
  // with sizes that match it.
  if (result != LOOP_ABORTED) wav_fix_sizes(outputs);
  outputs_release(outputs);  // nothing is left open
  slot_release_family(file->kind);
  return 0;
}
