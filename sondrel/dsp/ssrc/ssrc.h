// The sample-rate converter of one job: filter design (`filterparms`) and
// running state (`ssrc`). It streams: the caller pushes interleaved double
// frames in, pulls converted frames out, and says when the input has ended;
// it knows rates and channel counts, nothing of jobs or output formats.
//
// Up-conversion: a polyphase FIR interpolates the source to fs2 = osf x
// output rate, an FFT-convolution low-pass at fs2 follows, every osf-th
// result is an output frame. Down-conversion: the source is zero-stuffed by
// osf to fs1 and low-passed by FFT convolution, then a polyphase FIR picks
// the output frames. Each conversion takes the input frames one FFT block
// needs (ssrc_frames_wanted) and gives the output frames they make, less
// the filter delay at the start; once the input has ended, silence is added
// until the output holds floor(frames in x output rate / source rate)
// frames, one more for down-conversion.
//
// Use:
//   ssrc_reset, ssrc_configure                       once per job
//   room = ssrc_input_room(); fill; ssrc_input_commit  (or ssrc_push)
//   while (ssrc_pull(...) == SSRC_PULLED) use the frames
//   ssrc_finish at the end of input; pull until SSRC_FINISHED
//   ssrc_free
// Samples enter the filters finite: a NaN as 0, an infinity as full scale
// (+-1.0). Rates from 1 to SSRC_MAX_RATE Hz are designed for; a pair outside
// that range, or whose reduced ratio the design cannot oversample, is
// refused.
#pragma once
#include <cstdint>

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
  double* fft_scrambled;  // the same for the scrambled convolution, or nullptr
  int32_t fft_size;       // n2b (up) or n1b (down)
  int32_t* fft_ip;        // real FFT work tables
  double* fft_w;
};

// The job's running state and buffers.
struct ssrc {
  int32_t source_rate;     // Hz
  int32_t out_rate;        // Hz
  int32_t up;              // 1: up-conversion (the output rate is the higher)
  int64_t rp;              // up: polyphase read position in units of 1/fs1
  int32_t rps;             // down: offset in the FFT block of the next input sample
  int64_t rp2;             // down: polyphase read position in units of 1/fs2
  int32_t phase;           // current step of the polyphase filter
  int32_t osc;             // up: decimation phase of the FFT-stage output
  int32_t skipping;        // 1 while output is discarded for the filter delay
  int32_t flushing;        // 1 once the input has ended; -1 when the output is complete
  int32_t delay;           // output frames still to discard
  int32_t pending;         // frames pushed after the `inbuflen` held ones, not yet converted
  int32_t inbuf_frames;    // frames one conversion reads at most
  uint32_t frames_read;    // input frames converted so far
  int64_t frames_written;  // output frames delivered so far
  int32_t channels;        // channels of every frame
  double** buf1;           // per channel work buffers
  double** buf2;
  double* inbuf;           // interleaved input: held frames, then pushed frames
  int32_t inbuf_capacity;  // frames inbuf can hold (a conversion's input and spare room)
  double* outbuf;          // interleaved output of one conversion
  int32_t outbuf_frames;   // frames outbuf can hold
  double* scratch;         // one channel of input, de-interleaved
};

// What one conversion produced. Every produced frame is the filters'
// output; the first `skip` fall in the filter delay (or past the end) and
// are not delivered.
struct SsrcOutput {
  const double* frames;  // the produced frames, interleaved (valid until the next pull)
  int32_t produced;      // frames at `frames`
  int32_t skip;          // leading frames not delivered
  int32_t count;         // frames delivered, from `skip` on (0: all fell in the delay)
};

// What ssrc_pull did.
enum SsrcPull : int32_t {
  SSRC_PULLED = 0,       // one conversion ran; its output is in the SsrcOutput
  SSRC_NEEDS_INPUT = 1,  // not enough input for a conversion: push more (or finish)
  SSRC_FINISHED = 2      // the input has ended and the whole output was delivered
};

// Clears both records for a new job.
void ssrc_reset(filterparms* fp, ssrc* state);

// Designs the filters for `channels` channels from source_rate to out_rate
// (up or down by the rates) and allocates the buffers. A source of 32 bits
// starts the up-conversion's decimation one FFT-stage sample later.
// Returns 0, or 1 after printing why the pair cannot be handled (or,
// silently, when memory ran out).
int ssrc_configure(filterparms* fp, ssrc* state, int32_t source_rate, int32_t out_rate,
                   int32_t channels, int32_t source_bits);

// Input frames still to push before the next conversion can run (0 when
// the frames pushed suffice).
int32_t ssrc_frames_wanted(const filterparms* fp, const ssrc* state);

// Where the next pushed frames go (interleaved doubles), and in *frames how
// many fit there; room for at least SSRC_PUSH_ROOM frames whenever a pull
// needs input. ssrc_input_commit says how many frames were put there.
constexpr int32_t SSRC_PUSH_ROOM = 256;
double* ssrc_input_room(filterparms* fp, ssrc* state, int32_t* frames);
void ssrc_input_commit(filterparms* fp, ssrc* state, int32_t frames);
// Copies up to `count` interleaved frames into the room; returns how many.
int32_t ssrc_push(filterparms* fp, ssrc* state, const double* frames, int32_t count);

// The input has ended: what is pushed is converted, padded with silence.
void ssrc_finish(ssrc* state);

// Runs one conversion when the frames pushed suffice (or, once finished,
// on what is left); returns an SsrcPull.
int32_t ssrc_pull(filterparms* fp, ssrc* state, SsrcOutput* out);

// One conversion of the frames at the input buffer: `frames_appended` frames
// after the held ones (up) or at its start (down), the first `frames_read`
// of them real, the rest silence. ssrc_pull runs it; its invariants are
// asserted.
void ssrc_process(filterparms* fp, ssrc* state, int32_t frames_read, int32_t frames_appended,
                  SsrcOutput* out);

// Releases the tables and buffers of both records (not the records).
void ssrc_free(filterparms* fp, ssrc* state);
