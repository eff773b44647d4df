// Job driver. Every per-file buffer (labels, output names and the resampler
// records) is released after each file, whatever happened to it, and
// nothing is left when the run ends.
#include "frontend/driver.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

#include "decode/decode_job.h"
#include "decode/routing.h"
#include "decode/stream_layout.h"
#include "decode/stream_scan.h"
#include "dsp/ssrc/ssrc_parallel.h"
#include "platform/threads.h"
#include "frontend/job_layout.h"
#include "frontend/options.h"
#include "frontend/payload_sniffer.h"
#include "frontend/run_files.h"
#include "jobs/pcm_job.h"
#include "report/digits.h"
#include "report/file_info.h"
#include "report/job_header.h"
#include "report/speaker_mask.h"
#include "wav/output_names.h"
#include "wav/speakers.h"
#include "wav/wav_header_reader.h"

namespace {

// The input's stream buffer: the jobs read blocks of a few KiB.
constexpr size_t INPUT_BUFFER = 1 << 18;

// What happened to one file of the second pass.
enum Step { NEXT_FILE, END_RUN };

// The per-file state of the second pass.
struct FileJob {
  FILE* stream = nullptr;      // the input, open unless closed for interleaving
  char* stream_buffer = nullptr;  // its stdio buffer
  SsrcParallel* rs = nullptr;  // the resampler, for dsp_mode 2 and 3
  bool started = false;        // the job itself ran (and may have written outputs)
};

bool same_format(const InputFile& a, const InputFile& b) {
  return a.sample_rate == b.sample_rate && a.bits == b.bits && a.is_float == b.is_float;
}

bool is_mono_pcm(const InputFile& f) { return f.kind == KIND_PCM_WAV && f.channels == 1; }

// First pass: open, header, sniffer, stream scan. Returns 0, or 1 to end the run.
int describe_files(JobSettings* s, InputFile* files) {
  for (int32_t i = 0; i < s->file_count; ++i) {
    InputFile* f = &files[i];
    FILE* stream = std::fopen(f->path, "rb");
    if (!stream) {
      std::fprintf(stderr, "Error: Unable to open file: %s\n", f->path);
      return 1;
    }
    init_input_file(f);
    int stop = 0;
    if (f->kind == KIND_PCM_WAV) {
      stop = read_wav_header(stream, f);
      if (!stop && f->channels == 2 && f->bits == 16 && f->sample_rate == 44100)
        f->kind = sniff_wav_payload(stream, f);
    }
    if (!stop) stop = open_stream_decoder(stream, f, s, SCAN_COLLECT);
    std::fclose(stream);
    if (stop) return 1;
  }
  return 0;
}

// Per-file output format: the user's bits and rate, else 32-bit float for
// decoded streams and the source's format for WAVs.
void settle_output_format(JobSettings* s, const InputFile& f, const RunValues& run) {
  if (run.user_bits) {
    s->out_bits = run.user_bits;
    s->out_float = run.user_float;
  } else if (is_compressed(f.kind)) {
    s->out_bits = 32;
    s->out_float = 1;
  } else {
    s->out_bits = f.bits;
    s->out_float = f.is_float;
  }
  s->out_rate = run.user_rate ? run.user_rate : f.sample_rate;
}

// Works out the interleave group of a mono PCM WAV. Returns NEXT_FILE to go
// on (with group_size set), END_RUN when the run must end.
Step settle_interleave_group(JobSettings* s, InputFile* files, int32_t i, FileJob* job,
                             const RunValues& run) {
  const InputFile& f = files[i];
  if (f.sample_rate != s->out_rate) {
    std::fputs("Error: Resampling with \"/mch\" option for wav files currently unavailable.\n",
               stderr);
    return END_RUN;
  }
  if (s->file_count < 2 || f.channels != 1) {
    s->group_size = 1;
    return NEXT_FILE;
  }
  if (!s->whole_list_group) {
    int32_t size = 1;
    while (i + size < s->file_count && size < s->group_limit && is_mono_pcm(files[i + size]) &&
           same_format(files[i + size], f))
      ++size;
    s->group_size = size;
  } else {
    s->group_size = s->file_count;
  }
  if (s->group_size > 1) {
    std::fclose(job->stream);
    job->stream = nullptr;
    std::free(job->stream_buffer);
    job->stream_buffer = nullptr;
    if (run.list_skip) {
      std::fputs("Error: Could not open 1 or more files. Interleaving wavs aborted.\n", stderr);
      return END_RUN;
    }
    if (s->group_size > 18) {
      std::fputs("Error: Interleaving wavs supports a maximum 18 channels only.\n", stderr);
      return END_RUN;
    }
  }
  return NEXT_FILE;
}

// The number of channel slots of a file.
int32_t channel_slot_count(const JobSettings* s, const InputFile& f) {
  if (s->multichannel_out && s->group_size > 1) return s->group_size;
  if (is_compressed(f.kind) && f.ext_audio == 1 && (f.ext_audio_id == 0 || f.ext_audio_id == 3))
    return extension_channel_count(&f);
  return f.channels;
}

// Allocates and names the file's channel slots.
void label_channels(InputFile* f, int32_t slots, int32_t info_mode) {
  if (alloc_channel_names(f, slots)) return;
  if (f->kind == KIND_PCM_WAV && f->channel_mask != 0) {
    char row[SPEAKER_ROW_CAPACITY];
    speaker_mask_bits(f->channel_mask, row);
    if (labels_from_mask(f, row) == f->channels) return;
    for (int32_t k = 0; k < f->channel_slots; ++k) f->channel_names[k][0] = '\0';
  }
  assign_speaker_labels(f, info_mode);
}

// Applies the stored channel ids and rebuilds the selected channels. Returns
// false when an id matched no channel (the file is skipped).
bool select_channels(JobSettings* s, InputFile* f, RunValues* run) {
  const int32_t names = f->channels < f->channel_slots ? f->channels : f->channel_slots;
  for (int32_t k = 0; k < run->id_count && k < MAX_CHANNEL_IDS; ++k) {
    if (!run->channel_ids[k][0]) continue;
    if (apply_channel_id(run->channel_ids[k], f->channel_names, names, run->selection_mode,
                         run->enable))
      return false;
  }
  s->selected_count = 0;
  for (int32_t c = 0; c < f->channels && c < ENABLE_LENGTH && c < MAX_SELECTED; ++c)
    if (run->enable[c] == '1') s->selected_channels[s->selected_count++] = c;
  return true;
}

// True when `path` names the file described by `input` (device and inode).
bool names_file(const char* path, const struct stat& input) {
  struct stat st;
  return stat(path, &st) == 0 && st.st_dev == input.st_dev && st.st_ino == input.st_ino;
}

}  // namespace

int check_output_names(const JobSettings* s, const InputFile* files, int32_t i) {
  for (int32_t a = 0; a < s->output_count; ++a)
    for (int32_t b = a + 1; b < s->output_count; ++b)
      if (!std::strcmp(s->out_names[a], s->out_names[b])) {
        std::fprintf(stderr,
                     "Error: Two outputs of this job would be named %s; file skipped.\n",
                     s->out_names[a]);
        return 1;
      }
  const int32_t inputs = s->multichannel_out && s->group_size > 1 ? s->group_size : 1;
  for (int32_t g = 0; g < inputs; ++g) {
    struct stat input;
    if (stat(files[i + g].path, &input) != 0) continue;
    for (int32_t a = 0; a < s->output_count; ++a)
      if (names_file(s->out_names[a], input)) {
        std::fprintf(stderr,
                     "Error: Output file %s is the input file %s; file skipped, input untouched.\n",
                     s->out_names[a], files[i + g].path);
        return 1;
      }
  }
  return 0;
}

namespace {

// The job's layout, its header, and its output names: all channels off means
// no output. Returns false when the file is skipped.
bool prepare_outputs(JobSettings* s, InputFile* files, int32_t i, const RunValues& run,
                     int32_t slots) {
  const InputFile& f = files[i];
  s->output_count = -1;
  int32_t off = 0;
  for (int32_t c = 0; c < f.channels && c < ENABLE_LENGTH; ++c) off += run.enable[c] == '0';
  // A stream's extension slots are never decoded: with every decoded
  // channel off there is nothing to write either.
  if (off == slots || (is_compressed(f.kind) && s->selected_count == 0)) s->output_count = 0;
  settle_job_layout(files, i, s);
  print_job_header(files, i, s);
  if (s->output_count == 0) {
    print_selection_cancelled();
    return false;
  }
  if (alloc_out_names(s, s->output_count) || make_output_names(files, i, s)) return false;
  print_output_names(s);
  return check_output_names(s, files, i) == 0;
}

// The channels a job resamples: a decoded stream's selected channels, or
// every channel of a WAV.
int32_t job_channels(const JobSettings* s, const InputFile& f) {
  return f.kind == KIND_PCM_WAV ? f.channels : s->selected_count;
}

// The resampler for dsp_mode 2 and 3. Returns false when the job cannot run
// (a ratio the resampler refuses is reported).
bool configure_samples(JobSettings* s, InputFile* f, FileJob* job) {
  if (s->dsp_mode < DSP_DOWNSAMPLE) return true;
  job->rs = static_cast<SsrcParallel*>(std::calloc(1, sizeof(SsrcParallel)));
  if (!job->rs) return false;
  // One group of channels per CPU the process may use (one CPU: no thread).
  return ssrc_parallel_configure(job->rs, f->sample_rate, s->out_rate, job_channels(s, *f),
                                 s->in_bits, platform_usable_cpus()) == 0;
}

// Releases everything the file's job held.
void release_job(JobSettings* s, FileJob* job) {
  free_job_buffers(s);
  if (job->rs) ssrc_parallel_free(job->rs);  // its threads joined
  std::free(job->rs);
  job->rs = nullptr;
}

// Loads the routing table of the file's decoder family unless it is loaded.
void load_routing(JobSettings* s, int32_t kind) {
  const int32_t family = is_ac3_family(kind) ? ROUTING_FAMILY_AC3 : ROUTING_FAMILY_DTS;
  if (s->channel_offsets_family == family) return;
  std::memcpy(s->channel_offsets,
              family == ROUTING_FAMILY_AC3 ? ac3_channel_offsets : dts_channel_offsets,
              sizeof s->channel_offsets);
  s->channel_offsets_family = family;
}

// Kind checks of a job. Returns NEXT_FILE to go on, END_RUN to end the run.
Step check_kind(JobSettings* s, InputFile* files, int32_t i, FileJob* job, const RunValues& run) {
  const InputFile& f = files[i];
  if (s->convert_only && is_compressed(f.kind)) {
    std::fputs("Error. \"/x\" option can only be used with wav files. (not dtswav/ddwav).\n",
               stderr);
    return END_RUN;
  }
  if (s->convert_only && s->out_bits == f.bits && s->out_float == f.is_float &&
      s->out_rate == f.sample_rate) {
    std::fputs("Skipped process, /x option having bit depth & samplerate SAME as source file.\n",
               stderr);
    return END_RUN;
  }
  s->group_size = 1;
  if (f.kind == KIND_PCM_WAV) {
    if (s->convert_only && run.selection_given) {
      std::fputs("Error: \"/+\" and \"/-\" options are not compatible with \"/x\" option.\n",
                 stderr);
      return END_RUN;
    }
    if (s->multichannel_out) return settle_interleave_group(s, files, i, job, run);
  } else {
    load_routing(s, f.kind);
  }
  return NEXT_FILE;
}

// A resampler that cannot be set up ends the file without a job (and
// without the batch's closing separator).
constexpr int NOT_CONFIGURED = -2;

// Runs the job of one file (or interleave group) once it is described.
// Returns the job's result, 0 when the file is skipped, NOT_CONFIGURED.
int run_one_job(JobSettings* s, InputFile* files, int32_t i, FileJob* job, RunValues* run,
                int32_t slots, RunFiles* run_files) {
  InputFile* f = &files[i];
  if (!(s->multichannel_out && s->group_size > 1) && !select_channels(s, f, run)) return 0;
  if (!prepare_outputs(s, files, i, *run, slots)) return 0;
  if (run_files_check_outputs(run_files, s)) return 0;
  if (!configure_samples(s, f, job)) return NOT_CONFIGURED;
  job->started = true;
  const int result =
      f->kind == KIND_PCM_WAV ? pcm_job(job->stream, files, job->rs, s)
                              : decode_job(job->stream, f, job->rs, s);
  run_files_note_outputs(run_files, s);
  return result;
}

// Second pass over one file. Returns END_RUN when the run must end.
Step process_file(JobSettings* s, InputFile* files, int32_t i, RunValues* run, bool* stop_flag,
                  RunFiles* run_files) {
  InputFile* f = &files[i];
  FileJob job;
  // The user's prefix names the first job that runs: a file skipped before
  // its job passes it on to the next.
  char user_prefix[PREFIX_CAPACITY];
  std::memcpy(user_prefix, s->out_prefix, sizeof user_prefix);
  s->file_index = i;
  job.stream = std::fopen(f->path, "rb");
  if (!job.stream) {
    std::fprintf(stderr, "Error: Unable to open file: %s\n", f->path);
    return END_RUN;
  }
  job.stream_buffer = static_cast<char*>(std::malloc(INPUT_BUFFER));
  if (job.stream_buffer) std::setvbuf(job.stream, job.stream_buffer, _IOFBF, INPUT_BUFFER);
  Step step = NEXT_FILE;
  // The scan found no decodable frame and said so: no report, no job.
  const bool undecodable = is_compressed(f->kind) && f->channels < 1;
  if (run->info_mode) {
    if (run->info_mode == 2 && f->kind != KIND_PCM_WAV && !undecodable &&
        open_stream_decoder(job.stream, f, s, SCAN_COUNT))
      step = END_RUN;
    if (step == NEXT_FILE && !undecodable) {
      label_channels(f, channel_slot_count(s, *f), run->info_mode);
      if (is_ac3_family(f->kind)) f->out_flags = flags_without_lfe(f->kind, f->stream_flags);
      print_file_info(f, i, run->info_mode);
    }
  } else {
    settle_output_format(s, *f, *run);
    step = check_kind(s, files, i, &job, *run);
    if (step == NEXT_FILE && !undecodable) {
      const int32_t slots = channel_slot_count(s, *f);
      label_channels(f, slots, run->info_mode);
      if (is_ac3_family(f->kind)) f->out_flags = flags_without_lfe(f->kind, f->stream_flags);
      const int result = run_one_job(s, files, i, &job, run, slots, run_files);
      if (result == 1) *stop_flag = true;
      release_job(s, &job);
      if (!job.started) std::memcpy(s->out_prefix, user_prefix, sizeof user_prefix);
      if (result != NOT_CONFIGURED) {
        if (!*stop_flag && i == s->file_count - 1 && s->file_count >= 2)
          std::fputs(SEPARATOR_LINE, stderr);
        if (*stop_flag && s->file_count >= 2) s->file_count = 0;
      }
    } else {
      release_job(s, &job);
      std::memcpy(s->out_prefix, user_prefix, sizeof user_prefix);
    }
  }
  if (job.stream) std::fclose(job.stream);
  std::free(job.stream_buffer);
  free_channel_names(f);
  return step;
}

// The speakers named on the command line, as a mask (the interleave job
// labels its channels with them).
void note_speaker_ids(JobSettings* s, const RunValues& run) {
  s->speaker_id_mask = 0;
  s->speaker_id_count = 0;
  for (int32_t k = 0; k < run.id_count && k < MAX_CHANNEL_IDS; ++k) {
    const int32_t position = speaker_label_position(run.channel_ids[k]);
    if (position < 0) continue;
    s->speaker_id_mask |= 1u << position;
    ++s->speaker_id_count;
  }
}

}  // namespace

void choose_status_label(JobSettings* s, const InputFile* files) {
  s->whole_list_group = 0;
  if (s->file_count >= 2 && s->multichannel_out) {
    bool uniform = true;
    for (int32_t i = 0; i < s->file_count; ++i)
      if (!is_mono_pcm(files[i]) || !same_format(files[i], files[0])) uniform = false;
    s->whole_list_group = uniform && s->file_count <= s->group_limit;
  }
  const bool single = s->file_count < 2 || s->whole_list_group;
  std::snprintf(s->status_label, sizeof s->status_label, "%s",
                single ? "Processing" : "Batch processing");
}

void free_job_buffers(JobSettings* s) {
  free_out_names(s);
  s->out_prefix[0] = '\0';
  s->output_count = 0;
}

void run_job_driver(JobSettings* s, InputFile* files, RunValues* run) {
  note_speaker_ids(s, *run);
  RunFiles run_files;
  if (describe_files(s, files) == 0 && run_files_init(&run_files, files, s->file_count) == 0) {
    if (!run->info_mode) choose_status_label(s, files);
    bool stop_flag = false;
    for (int32_t i = 0; i < s->file_count;) {
      if (process_file(s, files, i, run, &stop_flag, &run_files) == END_RUN) break;
      i += (s->multichannel_out && s->group_size > 1) ? s->group_size : 1;
    }
    run_files_free(&run_files);
  }
  release_stream_decoders();
}
