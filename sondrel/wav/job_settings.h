// The settings record of a whole run: option values, the job driver's
// per-file decisions, output names, status label, progress counters and
// timing, and the loaded routing table. The front end fills it; the driver,
// the jobs and the reports read it (the sample processing below the jobs
// and the output files never do). It lives here beside the input-file record
// and depends on nothing.
#pragma once
#include <cstdint>

constexpr int32_t MAX_SELECTED = 18;
constexpr int32_t OUT_NAME_CAPACITY = 256;  // each out_names buffer
constexpr int32_t PREFIX_CAPACITY = 128;    // out_prefix: 127 characters and the terminator
constexpr int32_t STATUS_CAPACITY = 48;

// Counters of the progress line, in this order.
struct ProgressCounters {
  int32_t eta_countdown;     // lines still to print before the next estimate
  int32_t tick_limit;        // a line is printed on the call after tick passed this
  int32_t eta_interval;      // estimate spacing after the first estimate
  int32_t tick;              // calls since the last printed line
  int32_t prints_since_eta;  // lines printed since the last estimate
};

// What the samples of a job go through; the driver decides it per file.
enum DspMode : int32_t {
  DSP_COPY = 0,        // written as read (a decoded stream: 32-bit float)
  DSP_CONVERT = 1,     // converted to the output format at the source rate
  DSP_DOWNSAMPLE = 2,  // resampled to a lower rate, then converted
  DSP_UPSAMPLE = 3     // resampled to a higher rate, then converted
};

// How a job's channels are laid out in its outputs (a stereo downmix, once
// numbered 1, is refused by the option parser).
enum OutputLayout : int32_t {
  LAYOUT_MONO_FILES = 0,   // one mono WAV per selected channel
  LAYOUT_MULTICHANNEL = 3  // one multichannel WAV (/mch)
};

struct JobSettings {
  int32_t convert_only;       // /x
  int32_t multichannel_out;   // /mch, /mchN
  int32_t no_progress;        // /q
  int32_t no_dynrng;          // /r
  int32_t no_level_adjust;    // /a
  int32_t dsp_mode;           // per file: DspMode
  int32_t out_bits;           // per file: output bits per sample (8, 16, 24, 32, 64)
  int32_t out_float;          // per file: 1 for IEEE float output
  int32_t out_rate;           // per file: output sample rate, Hz
  int32_t in_bits;            // per file: bits of the samples as the job reads them (a
  int32_t in_float;           //   decoded stream: 32-bit float), and their float flag
  int32_t output_layout;      // OutputLayout (/mch: LAYOUT_MULTICHANNEL)
  int32_t extensible_header;  // per file: outputs carry the 68-byte header
  int32_t dither_type;        // /dN
  int32_t pdf_type;           // /fx
  double noise_amplitude;     // dither noise amplitude in LSBs, /f[..]
  int32_t selected_count;     // per file: entries of selected_channels
  int32_t output_count;       // per file: -1 until known, 0 = no output
  int32_t output_channels;    // per file: channels in each output
  int32_t selected_channels[MAX_SELECTED];  // per file: channel slots to write, ascending
  char out_prefix[PREFIX_CAPACITY];  // the user's output name (first job), else the stem
  char** out_names;           // output name buffers of OUT_NAME_CAPACITY bytes
  int32_t out_name_slots;     // number of buffers allocated in out_names
  char status_label[STATUS_CAPACITY];  // "Processing" or "Batch processing"
  int32_t file_index;         // the file the current job reads (its group's first)
  int32_t file_count;         // files in the list (0 once a job ends a batch)
  int32_t whole_list_group;   // 1 when every input is a mono WAV of one format, interleaved
                              //   into one output with /mch (the label reads "Processing")
  int32_t group_size;         // per file: mono WAVs interleaved together (1: none)
  int32_t group_limit;        // most files in one interleave group, /mchN (18)
  ProgressCounters progress;  // the progress line's counters
  double start_time;          // job start, seconds since program start
  double paused_time;         // seconds spent halted in the current job
  int32_t channel_offsets[132];    // the loaded routing table (11 rows x 6 slots x 2)
  int32_t channel_offsets_family;  // 0 none, 2 DTS, 4 AC-3
  int32_t blocks_per_frame;   // the stream scan: blocks of the DTS frame scanned
  uint32_t frames_done;       // the stream scan: frames found so far
  uint32_t speaker_id_mask;   // speaker positions named by /+ or /- (interleave mask)
  int32_t speaker_id_count;   // how many speaker ids were given
};

// Sets every field to its default.
void init_job_settings(JobSettings* settings);

// Allocates `count` empty output-name buffers into out_names (releasing any
// previous ones). Returns 0, or 1 when memory ran out.
int alloc_out_names(JobSettings* settings, int32_t count);
// Releases the output-name buffers.
void free_out_names(JobSettings* settings);
