// The sample-rate converter: filter design (`filterparms`) and running state
// (`ssrc`) of one resampling job, and the job's block buffers.
//
// Up-conversion: a polyphase FIR interpolates the source to fs2 = osf x
// output rate, an FFT-convolution low-pass at fs2 follows, every osf-th
// result is an output frame. Down-conversion: the source is zero-stuffed by
// osf to fs1 and low-passed by FFT convolution, then a polyphase FIR picks
// the output frames.
//
// Caller duties per ssrc_process call:
// - up: append frames to inbuf at frame `inbuflen`, as many as
//   ssrc_frames_wanted() says: floor(n2b2 x source rate / (osf x output
//   rate)) + 2 + n1x - inbuflen. (One frame fewer leaves the last step of
//   stage 1 reading a frame nobody supplied in some calls, unless - as in
//   the decode job - further input is already buffered behind the appended
//   frames.) Pass that number as frames appended and the real frames among
//   them as frames read.
// - down: put (n1b2 - rps - 1) / osf + 1 frames at the start of inbuf; pass
//   the real frames among them as frames read.
// - set `flushing` = 1 on the call that consumes the last input and keep
//   calling (with no new input) until `flushing` is -1.
// Frames appended past the real input are treated as silence. Samples enter
// the filters finite: a NaN as 0, an infinity as full scale (+-1.0).
//
// Rates from 1 to SSRC_MAX_RATE Hz are designed for; a pair outside that
// range, or whose reduced ratio the design cannot oversample, is refused.
#pragma once
#include <cstdint>

#include "wav/input_file.h"
#include "wav/job_settings.h"

// The highest source or output rate the design accepts.
constexpr int32_t SSRC_MAX_RATE = 384000;

// The job's filter design. Fields marked up/down mean different things per
// direction; see the design routines in ssrc.cc.
struct filterparms {
  int32_t frqgcd;     // gcd(source rate, output rate)
  int32_t osf;        // oversampling factor 1, 2 or 3
  // The polyphase design rate is source / gcd x output rate, which passes
  // 2^31 for rates that share only small factors (96001 -> 96000).
  int64_t fs1;        // up: polyphase design rate; down: FFT stage rate
  int64_t fs2;        // up: FFT stage rate; down: polyphase design rate
  int32_t n1;         // up: polyphase length; down: FFT filter length (odd)
  int32_t n2;         // up: FFT filter length; down: polyphase length (odd)
  int32_t n1x, n1y;   // up: taps per phase, phases of the polyphase filter
  int32_t n2x, n2y;   // down: taps per phase, phases of the polyphase filter
  int32_t n1b, n1b2;  // down: FFT size and half
  int32_t n2b, n2b2;  // up: FFT size and half
  int32_t inbuflen;   // up: frames held in inbuf; down: always 0
  int32_t steps;      // entries of order/inc (up: osf x n1y; down: n2y)
  int32_t* order;     // per step: polyphase row
  int32_t* inc;       // per step: input advance in frames
  int64_t* inc_sum;   // inc summed over the steps before each (steps + 1 entries)
  int32_t rows;       // rows of polyfilter
  int32_t taps;       // taps per row
  double** polyfilter;    // row pointers into padded_rows
  double* padded_rows;    // the rows one after the other, padded to padded_stride taps
  int32_t padded_stride;  // taps rounded up to a multiple of four
  double* fftfilter;      // the FFT-stage filter, transformed (packed layout)
  int32_t fft_size;       // n2b (up) or n1b (down)
  int32_t* fft_ip;        // real FFT work tables
  double* fft_w;
};

// The job's running state and buffers.
struct ssrc {
  int64_t rp;              // up: polyphase read position in units of 1/fs1
  int32_t rps;             // down: offset in the FFT block of the next input sample
  int64_t rp2;             // down: polyphase read position in units of 1/fs2
  int32_t phase;           // current step of the polyphase filter
  int32_t osc;             // up: decimation phase of the FFT-stage output
  int32_t skipping;        // 1 while output is discarded for the filter delay
  int32_t flushing;        // caller: 1 on the last input; module: -1 at the end
  int32_t delay;           // output frames still to discard
  int32_t inbuf_frames;    // frames the input buffer is sized for
  int32_t block_frames;    // decode jobs: input frames per call
  uint32_t frames_read;    // input frames accounted so far
  int64_t frames_written;  // output frames delivered so far
  int64_t total_frames;    // input frames of a PCM source
  int32_t channels;        // channels the buffers below are made for
  double** buf1;           // per channel work buffers
  double** buf2;
  double* inbuf;           // interleaved input; decode jobs have 256 spare frames
  int32_t inbuf_capacity;  // frames inbuf can hold
  double* outbuf;          // interleaved output of one call
  int32_t outbuf_frames;   // frames outbuf can hold
  double* scratch;         // one channel of input, de-interleaved
  // Kept for the jobs: samples (frames x channels) waiting in inbuf after
  // the `inbuflen` leading frames (decode job), and the current length in
  // frames of the per-channel output blocks (0 until first allocated).
  int32_t buffered_samples;
  int32_t channel_out_frames;
};

// Clears both records for a new resampling job; for a PCM source records its
// number of sample frames in total_frames.
void ssrc_reset(filterparms* fp, ssrc* state, const InputFile* file);

// Allocates the job's block buffers in settings->work_buffers (every job),
// and for dsp_mode 2 or 3 designs the filters and allocates the resampler's
// buffers. Returns 0, or 1 after printing why the ratio cannot be handled
// (or, silently, when memory ran out).
int ssrc_configure(InputFile* file, filterparms* fp, ssrc* state, JobSettings* settings);

// Input frames the next ssrc_process call needs: up, the frames to append at
// `inbuflen`; down, the frames to put at the start of inbuf.
int32_t ssrc_frames_wanted(const filterparms* fp, const ssrc* state, int32_t source_rate,
                           int32_t out_rate);

// Converts what the caller put into the input buffer; the frames produced
// are in outbuf and, unless the output is 64-bit float, converted into
// settings->work_buffers.output_block. The caller writes nothing when
// *all_delayed is 1, else *count frames starting *skip frames into the block.
void ssrc_process(int32_t channels, int32_t source_rate, JobSettings* settings, int32_t frames_read,
                  int32_t frames_appended, filterparms* fp, ssrc* state, int32_t* all_delayed,
                  int32_t* skip, int32_t* count);

// Releases the tables and buffers of both records (not the records).
void ssrc_free(filterparms* fp, ssrc* state);
