// The sample-rate converter of one job: filter design (Kaiser-windowed sinc
// low-passes of 170 dB stop-band attenuation), the input buffer frames are
// pushed into, the conversion in both directions, and the trimming of the
// filter delay and of the end.
#include "dsp/ssrc/ssrc.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "dsp/real_fft.h"
#include "dsp/ssrc/polyphase.h"

// A failed invariant stops the program, naming the invariant and its line.
#define SSRC_ASSERT(cond) ((cond) ? (void)0 : ssrc_assert_failed(#cond, __LINE__))

namespace {

[[noreturn]] void ssrc_assert_failed(const char* text, int line) {
  std::fflush(stdout);
  std::fprintf(stderr, "Assertion failed: %s, file ssrc, line %d\n", text, line);
  std::abort();
}

// Design constants.
constexpr double AA = 170.0;          // stop-band attenuation, dB
constexpr double DF = 100.0;          // largest transition width of the FFT stage, Hz
constexpr int32_t FFTFIRLEN = 65536;  // base length of the FFT-stage filter
constexpr int32_t KERNEL_PAD = 4;  // zeroed values the polyphase kernel may read past its data

double kaiser_d() { return AA > 21 ? (AA - 7.95) / 14.36 : 0.9222; }

double kaiser_alpha() {
  if (AA <= 21) return 0.0;
  if (AA <= 50) return 0.5842 * std::pow(AA - 21, 0.4) + 0.07886 * (AA - 21);
  return 0.1102 * (AA - 8.7);
}

// Modified Bessel function of the first kind, order 0, by its power series.
double bessel_i0(double x) {
  double sum = 1.0, term = 1.0;
  const double half = x / 2.0;
  for (int32_t k = 1; k < 500; ++k) {
    term *= (half / k) * (half / k);
    sum += term;
    if (term < sum * 1e-21) break;
  }
  return sum;
}

double window(int32_t n, int32_t len, double alpha, double i0_alpha) {
  const double r = 4.0 * n * static_cast<double>(n) / ((len - 1.0) * (len - 1.0));
  return bessel_i0(alpha * std::sqrt(r < 1.0 ? 1.0 - r : 0.0)) / i0_alpha;
}

double sinc(double x) { return x == 0 ? 1.0 : std::sin(x) / x; }

double lowpass(int32_t n, double lpf, double fs) {
  return 2.0 * lpf / fs * sinc(2.0 * 3.141592653589793 * n * lpf / fs);
}

int32_t gcd(int32_t a, int32_t b) {
  while (b) {
    const int32_t t = a % b;
    a = b;
    b = t;
  }
  return a;
}

// The ratio test of both designs: sets frqgcd and osf, the oversampling of
// the reduced rate q (the source's for up-conversion, the output's for
// down-conversion). Returns 1 after printing that the pair is not supported:
// q neither 1, even nor a multiple of 3, or a rate outside 1..SSRC_MAX_RATE.
int ratio_test(filterparms* fp, int32_t sfrq, int32_t dfrq, bool up) {
  fp->osf = 0;
  if (sfrq >= 1 && sfrq <= SSRC_MAX_RATE && dfrq >= 1 && dfrq <= SSRC_MAX_RATE) {
    fp->frqgcd = gcd(sfrq, dfrq);
    const int32_t q = (up ? sfrq : dfrq) / fp->frqgcd;
    fp->osf = q == 1 ? 1 : q % 2 == 0 ? 2 : q % 3 == 0 ? 3 : 0;
  }
  if (fp->osf) return 0;
  std::fprintf(stderr, "Resampling from %dHz to %dHz is not supported.\n", sfrq, dfrq);
  return 1;
}

template <typename T>
T* zeroed(int64_t count) {
  return count > 0 ? static_cast<T*>(std::calloc(static_cast<size_t>(count), sizeof(T))) : nullptr;
}

double** zeroed_rows(int32_t rows, int32_t length) {
  double** table = zeroed<double*>(rows);
  if (!table) return nullptr;
  for (int32_t r = 0; r < rows; ++r) {
    table[r] = zeroed<double>(length);
    if (!table[r]) {
      for (int32_t k = 0; k < r; ++k) std::free(table[k]);
      std::free(table);
      return nullptr;
    }
  }
  return table;
}

void free_rows(double**& table, int32_t rows) {
  if (!table) return;
  for (int32_t r = 0; r < rows; ++r) std::free(table[r]);
  std::free(table);
  table = nullptr;
}

// The polyphase filter's `rows` rows of `taps` taps lie one after the other
// in padded_rows, each padded with zero taps to a multiple of four for the
// polyphase kernel; polyfilter[r] points at row r.
int alloc_polyfilter(filterparms* fp, int32_t rows, int32_t taps) {
  fp->rows = rows;
  fp->taps = taps;
  fp->padded_stride = (taps + 3) / 4 * 4;
  fp->padded_rows = zeroed<double>(static_cast<int64_t>(rows) * fp->padded_stride);
  fp->polyfilter = zeroed<double*>(rows);
  if (!fp->padded_rows || !fp->polyfilter) return 1;
  for (int32_t r = 0; r < rows; ++r)
    fp->polyfilter[r] = fp->padded_rows + static_cast<int64_t>(r) * fp->padded_stride;
  return 0;
}

// Taps n = 0 .. len/2 of a windowed sinc of odd length len, in order; tap
// -n is the same to the bit (window and sinc are even in n), so the caller
// puts each at len/2 - n and len/2 + n.
template <typename Put>
void windowed_sinc(int32_t len, double lpf, double fs, Put put) {
  const double alpha = kaiser_alpha(), i0_alpha = bessel_i0(alpha);
  for (int32_t n = 0; n <= len / 2; ++n)
    put(n, window(n, len, alpha, i0_alpha) * lowpass(n, lpf, fs));
}

// The polyphase filter: `rows` rows of `taps` taps holding a windowed sinc of
// odd length len (cut-off lpf at rate fs) scaled by gain; tap m of the
// prototype goes to row m mod rows, column m / rows.
int build_polyfilter(filterparms* fp, int32_t len, int32_t rows, int32_t taps, double lpf,
                     double fs, double gain) {
  if (alloc_polyfilter(fp, rows, taps)) return 1;
  // Prototype positions len/2 + n and len/2 - n step up and down one at a
  // time; their rows and columns follow without a division.
  int32_t up_row = len / 2 % rows, up_col = len / 2 / rows;
  int32_t down_row = up_row, down_col = up_col;
  windowed_sinc(len, lpf, fs, [&](int32_t, double tap) {
    fp->polyfilter[up_row][up_col] = fp->polyfilter[down_row][down_col] = tap * gain;
    if (++up_row == rows) up_row = 0, ++up_col;
    if (--down_row < 0) down_row = rows - 1, --down_col;
  });
  return 0;
}

// The FFT-stage filter of odd length len into a zeroed block of `size`
// doubles (size a power of two, at least twice len), transformed in place.
int build_fftfilter(filterparms* fp, int32_t len, int32_t size, double lpf, double fs,
                    double gain) {
  fp->fft_size = size;
  fp->fftfilter = zeroed<double>(size);
  fp->fft_ip = zeroed<int32_t>(static_cast<int32_t>(std::sqrt(static_cast<double>(size))) + 2);
  fp->fft_w = zeroed<double>(size / 2);
  if (!fp->fftfilter || !fp->fft_ip || !fp->fft_w) return 1;
  windowed_sinc(len, lpf, fs, [&](int32_t n, double tap) {
    fp->fftfilter[len / 2 - n] = fp->fftfilter[len / 2 + n] = tap * gain / size * 2;
  });
  fp->fft_ip[0] = 0;
  real_fft(size, 1, fp->fftfilter, fp->fft_ip, fp->fft_w);
  const int32_t scrambled = real_fft_scrambled_size(size);
  if (scrambled > 0) {
    fp->fft_scrambled = zeroed<double>(scrambled);
    if (!fp->fft_scrambled) return 1;
    real_fft_scramble_filter(size, fp->fftfilter, fp->fft_scrambled);
  }
  return 0;
}

int alloc_steps(filterparms* fp, int32_t steps) {
  fp->steps = steps;
  fp->order = zeroed<int32_t>(steps);
  fp->inc = zeroed<int32_t>(steps);
  fp->inc_sum = zeroed<int64_t>(steps + 1);
  return fp->order && fp->inc && fp->inc_sum ? 0 : 1;
}

void sum_steps(filterparms* fp) {
  for (int32_t i = 0; i < fp->steps; ++i) fp->inc_sum[i + 1] = fp->inc_sum[i] + fp->inc[i];
}

int32_t smallest_power_of_two_at_least(int32_t v) {
  int32_t p = 1;
  while (p < v) p *= 2;
  return p;
}

// Up-conversion design. Returns 0, or 1 when the pair is not supported or
// memory ran out.
int ssrc_setup_up(filterparms* fp, ssrc* state, int32_t sfrq, int32_t dfrq) {
  const double d = kaiser_d();
  if (ratio_test(fp, sfrq, dfrq, true)) return 1;
  const int32_t osf = fp->osf;
  fp->fs1 = static_cast<int64_t>(sfrq / fp->frqgcd) * dfrq;
  const int32_t per_frame = static_cast<int32_t>(fp->fs1 / sfrq);  // fs1 samples per input frame

  // Stage 1: polyphase interpolation from the source to fs2.
  const double lpf = (sfrq / 2) + ((osf * dfrq / 2) - (sfrq / 2)) / 2.0;
  const double df = (osf * dfrq / 2) - (sfrq / 2);
  fp->n1 = static_cast<int32_t>(d * static_cast<double>(fp->fs1) / df + 1.0);
  if (fp->n1 % 2 == 0) ++fp->n1;
  fp->n1y = per_frame;
  fp->n1x = fp->n1 / fp->n1y + 1;
  if (alloc_steps(fp, osf * fp->n1y)) return 1;
  const int32_t step = static_cast<int32_t>(fp->fs1 / (osf * dfrq));  // fs1 samples per fs2 sample
  for (int32_t i = 0; i < osf * fp->n1y; ++i) {
    int32_t order = per_frame - static_cast<int32_t>((static_cast<int64_t>(i) * step) % per_frame);
    if (order == per_frame) order = 0;
    fp->order[i] = order;
    fp->inc[i] = order < step ? 1 : 0;
  }
  sum_steps(fp);
  if (build_polyfilter(fp, fp->n1, fp->n1y, fp->n1x, lpf, static_cast<double>(fp->fs1),
                       static_cast<double>(fp->fs1) / sfrq))
    return 1;

  // Stage 2: FFT low-pass at fs2 with a transition of at most DF.
  fp->fs2 = osf * dfrq;
  for (int32_t i = 1;; i *= 2) {
    fp->n2 = FFTFIRLEN * i - 1;
    if (static_cast<double>(fp->fs2) * d / (fp->n2 - 1) < DF) break;
  }
  fp->n2b = 2 * smallest_power_of_two_at_least(fp->n2);
  fp->n2b2 = fp->n2b / 2;
  if (build_fftfilter(fp, fp->n2, fp->n2b, sfrq / 2, static_cast<double>(fp->fs2), 1.0)) return 1;

  fp->inbuflen = (fp->n1 / 2) / per_frame + 1;
  state->delay = (fp->n2 / 2) / osf;
  return 0;
}

// Down-conversion design.
int ssrc_setup_down(filterparms* fp, ssrc* state, int32_t sfrq, int32_t dfrq) {
  const double d = kaiser_d();
  if (ratio_test(fp, sfrq, dfrq, false)) return 1;
  const int32_t osf = fp->osf;

  // Stage 1: zero-stuffing by osf and FFT low-pass at fs1.
  fp->fs1 = static_cast<int64_t>(osf) * sfrq;
  const double fs1 = static_cast<double>(fp->fs1);
  double df = 0, lpf = 0;
  for (int32_t i = 1;; i *= 2) {
    fp->n1 = FFTFIRLEN * i - 1;
    df = fs1 * d / (fp->n1 - 1);
    lpf = (dfrq - df) * 0.5;
    if (df < DF) break;
  }
  fp->n1b = 2 * smallest_power_of_two_at_least(fp->n1);
  fp->n1b2 = fp->n1b / 2;
  if (build_fftfilter(fp, fp->n1, fp->n1b, lpf, fs1, fs1 / sfrq)) return 1;

  // Stage 2: polyphase decimation from fs1 to the output rate.
  fp->fs2 = static_cast<int64_t>(sfrq / fp->frqgcd) * dfrq;
  if (osf == 1) {
    fp->n2 = 1;
    fp->n2x = fp->n2y = 1;
    if (alloc_steps(fp, 1)) return 1;
    fp->order[0] = 0;
    fp->inc[0] = sfrq / dfrq;
    sum_steps(fp);
    if (alloc_polyfilter(fp, 1, 1)) return 1;
    fp->polyfilter[0][0] = 1.0;
  } else {
    const double lpf2 = (sfrq / 2) + ((fp->fs1 / 2) - (sfrq / 2)) / 2.0;
    const double df2 = static_cast<double>((fp->fs1 / 2) - (sfrq / 2));
    fp->n2 = static_cast<int32_t>(d * static_cast<double>(fp->fs2) / df2) + 1;
    if (fp->n2 % 2 == 0) ++fp->n2;
    fp->n2y = static_cast<int32_t>(fp->fs2 / fp->fs1);
    fp->n2x = fp->n2 / fp->n2y + 1;
    if (alloc_steps(fp, fp->n2y)) return 1;
    const int32_t per_out = static_cast<int32_t>(fp->fs2 / dfrq);  // fs2 samples per output frame
    for (int32_t i = 0; i < fp->n2y; ++i) {
      int32_t order = fp->n2y - static_cast<int32_t>((static_cast<int64_t>(i) * per_out) % fp->n2y);
      if (order == fp->n2y) order = 0;
      fp->order[i] = order;
    }
    for (int32_t i = 0; i < fp->n2y; ++i) {
      fp->inc[i] = (per_out - fp->order[i]) / fp->n2y + 1;
      if (fp->order[(i + 1) % fp->n2y] == 0) --fp->inc[i];
    }
    sum_steps(fp);
    if (build_polyfilter(fp, fp->n2, fp->n2y, fp->n2x, lpf2, static_cast<double>(fp->fs2),
                         static_cast<double>(fp->fs2) / static_cast<double>(fp->fs1)))
      return 1;
  }

  fp->inbuflen = 0;
  state->delay = static_cast<int32_t>(fp->n2 * 0.5 / (static_cast<double>(fp->fs2) / dfrq) +
                                      fp->n1 * 0.5 / (static_cast<double>(fp->fs1) / dfrq));
  return 0;
}

// The buffers of a job of `channels` channels. The input buffer holds a
// conversion's input and room for SSRC_PUSH_ROOM more frames besides (up:
// the held frames and the frames wanted add up to at most inbuf_frames + 1).
int alloc_resampler_buffers(const filterparms* fp, ssrc* state, int32_t channels, int32_t dfrq,
                            bool up) {
  int64_t buf1_len, buf2_len;
  if (up) {
    buf1_len = fp->n2b2 / fp->osf + 1;
    buf2_len = fp->n2b;
    state->inbuf_frames = fp->n2b2 + fp->n1x;
    state->outbuf_frames = fp->n2b2 / fp->osf + 1;
  } else {
    buf1_len = fp->n1b;
    buf2_len = fp->n2x + fp->n1b2 + 1 + KERNEL_PAD;
    state->inbuf_frames = fp->n1b2 / fp->osf + fp->osf + 1;
    // Stage 2 steps fs1 / output rate FFT-block positions per output frame,
    // so a call gives at most n1b2 x output rate / fs1 frames, plus one.
    state->outbuf_frames = static_cast<int32_t>(fp->n1b2 * int64_t{dfrq} / fp->fs1 + 2);
  }
  state->inbuf_capacity = state->inbuf_frames + 1 + SSRC_PUSH_ROOM;
  state->channels = channels;
  state->buf1 = zeroed_rows(channels, static_cast<int32_t>(buf1_len));
  state->buf2 = zeroed_rows(channels, static_cast<int32_t>(buf2_len));
  state->inbuf = zeroed<double>(static_cast<int64_t>(state->inbuf_capacity) * channels);
  state->outbuf = zeroed<double>(static_cast<int64_t>(state->outbuf_frames) * channels);
  state->scratch = zeroed<double>(state->inbuf_capacity + KERNEL_PAD);
  return state->buf1 && state->buf2 && state->inbuf && state->outbuf && state->scratch ? 0 : 1;
}

// The input frames stage 1 moves over for `count` steps from `phase`.
int64_t polyphase_advance(const filterparms* fp, int32_t phase, int32_t count) {
  const int64_t end = static_cast<int64_t>(phase) + count;
  const int64_t periods = end / fp->steps;
  return periods * fp->inc_sum[fp->steps] + fp->inc_sum[end % fp->steps] - fp->inc_sum[phase];
}

// Samples enter the filters finite, as the conversion without resampling
// takes them: a NaN as silence, an infinity as full scale. One non-finite
// sample would otherwise spread over the whole block of its channel.
void make_finite(double* samples, int64_t count) {
  // Nearly every block is all finite: a pass of integer steps the compiler
  // vectorises finds that out. Exponent all ones (NaN or infinity) + 1
  // carries into the top bit.
  constexpr uint64_t EXPONENT = 0x7FF0000000000000u, EXPONENT_ONE = 0x0010000000000000u;
  uint64_t carries = 0;
  for (int64_t i = 0; i < count; ++i) {
    uint64_t bits;
    std::memcpy(&bits, samples + i, sizeof bits);
    carries |= (bits & EXPONENT) + EXPONENT_ONE;
  }
  if (!(carries >> 63)) return;
  for (int64_t i = 0; i < count; ++i) {
    const double v = samples[i];
    if (!std::isfinite(v)) samples[i] = std::isnan(v) ? 0.0 : (v > 0 ? 1.0 : -1.0);
  }
}

void deinterleave(const double* in, int32_t channels, int32_t ch, int32_t frames, double* out) {
  for (int32_t i = 0; i < frames; ++i) out[i] = in[static_cast<int64_t>(i) * channels + ch];
}

// One call of up-conversion; returns the frames produced.
int32_t process_up(int32_t channels, int32_t sfrq, int32_t frames_read, int32_t frames_appended,
                   filterparms* filterparms, ssrc* ssrc) {
  const int32_t held = filterparms->inbuflen;
  SSRC_ASSERT(frames_appended >= 0 && held + frames_appended <= ssrc->inbuf_capacity);
  filterparms->inbuflen += frames_appended;
  ssrc->frames_read += static_cast<uint32_t>(frames_read);
  // Appended frames past the real input are silence.
  const int32_t real_end = held + (frames_read < frames_appended ? frames_read : frames_appended);
  if (real_end > held)
    make_finite(ssrc->inbuf + static_cast<int64_t>(held) * channels,
                static_cast<int64_t>(real_end - held) * channels);
  if (real_end < filterparms->inbuflen)
    std::memset(ssrc->inbuf + static_cast<int64_t>(real_end) * channels, 0,
                sizeof(double) * static_cast<size_t>(filterparms->inbuflen - real_end) * channels);

  const int32_t n2b = filterparms->n2b, n2b2 = filterparms->n2b2, osf = filterparms->osf;
  const int32_t i0 = static_cast<int32_t>(
      (filterparms->fs1 - sfrq + ssrc->rp * sfrq) / filterparms->fs1);
  const int64_t reach = i0 + polyphase_advance(filterparms, ssrc->phase, n2b2) + filterparms->n1x;
  SSRC_ASSERT(reach <= ssrc->inbuf_capacity);
  // Once the input has ended nothing real lies past what was appended, so
  // whatever stage 1 reads there is silence too.
  const bool input_ended =
      (ssrc->flushing == 1 && ssrc->pending == 0) || frames_read < frames_appended;
  if (input_ended && reach > filterparms->inbuflen) {
    const int32_t from = real_end > filterparms->inbuflen ? real_end : filterparms->inbuflen;
    std::memset(ssrc->inbuf + static_cast<int64_t>(from) * channels, 0,
                sizeof(double) * static_cast<size_t>(reach - from) * channels);
  }

  const PolyphaseRows rows{filterparms->padded_rows, filterparms->padded_stride, filterparms->taps};
  int32_t p = 0, next_osc = 0;
  for (int32_t ch = 0; ch < channels; ++ch) {
    double* buf1 = ssrc->buf1[ch];
    double* buf2 = ssrc->buf2[ch];
    deinterleave(ssrc->inbuf, channels, ch, static_cast<int32_t>(reach), ssrc->scratch);
    std::memset(ssrc->scratch + reach, 0, sizeof(double) * KERNEL_PAD);
    polyphase_run(rows, filterparms->order, filterparms->inc, filterparms->steps, ssrc->phase,
                  ssrc->scratch, i0, n2b2, buf2, 1);
    // Zero-padded to n2b: the transform takes the second half as zero.
    real_fft_convolve(n2b, buf2, n2b2, filterparms->fftfilter, filterparms->fft_ip,
                      filterparms->fft_w, filterparms->fft_scrambled);

    // Overlap-add with the previous tail and keep every osf-th result.
    int32_t i = ssrc->osc;
    p = 0;
    for (; i < n2b2; i += osf, ++p)
      ssrc->outbuf[static_cast<int64_t>(p) * channels + ch] = buf1[p] + buf2[i];
    next_osc = i - n2b2;
    for (int32_t j = 0; i < n2b; i += osf, ++j) buf1[j] = buf2[i];
  }
  SSRC_ASSERT(p <= ssrc->outbuf_frames);
  ssrc->osc = next_osc;
  ssrc->phase =
      static_cast<int32_t>((ssrc->phase + static_cast<int64_t>(n2b2)) % filterparms->steps);
  ssrc->rp += static_cast<int64_t>(n2b2) * (sfrq / filterparms->frqgcd) / osf;
  return p;
}

// Drops the input stage 1 has finished with.
void discard_consumed_up(int32_t channels, int32_t sfrq, filterparms* filterparms, ssrc* ssrc) {
  const int32_t per_frame = static_cast<int32_t>(filterparms->fs1 / sfrq);
  const int64_t ds = (ssrc->rp - 1) / per_frame;
  SSRC_ASSERT(filterparms->inbuflen >= ds);
  if (ds <= 0) return;
  std::memmove(ssrc->inbuf, ssrc->inbuf + ds * channels,
               sizeof(double) * static_cast<size_t>(filterparms->inbuflen - ds) * channels);
  filterparms->inbuflen -= static_cast<int32_t>(ds);
  ssrc->rp -= ds * per_frame;
}

// One call of down-conversion; returns the frames produced.
int32_t process_down(int32_t channels, int32_t dfrq, int32_t frames_read, filterparms* filterparms,
                     ssrc* ssrc) {
  struct OutputParms {
    int32_t samplerate;
  };
  const OutputParms output{dfrq};
  const OutputParms* outparms = &output;
  const int32_t n1b = filterparms->n1b, n1b2 = filterparms->n1b2, osf = filterparms->osf;
  const int32_t n2x = filterparms->n2x;
  const int32_t wanted = (n1b2 - ssrc->rps - 1) / osf + 1;
  SSRC_ASSERT(wanted <= ssrc->inbuf_capacity);
  ssrc->frames_read += static_cast<uint32_t>(frames_read);
  const int32_t real = frames_read < 0 ? 0 : frames_read < wanted ? frames_read : wanted;
  make_finite(ssrc->inbuf, static_cast<int64_t>(real) * channels);
  if (real < wanted)  // frames past the real input are silence
    std::memset(ssrc->inbuf + static_cast<int64_t>(real) * channels, 0,
                sizeof(double) * static_cast<size_t>(wanted - real) * channels);

  const PolyphaseRows rows{filterparms->padded_rows, filterparms->padded_stride, filterparms->taps};
  int32_t p = 0, next_rps = 0, next_phase = ssrc->phase;
  for (int32_t ch = 0; ch < channels; ++ch) {
    double* buf1 = ssrc->buf1[ch];
    double* buf2 = ssrc->buf2[ch];
    // Zero-stuff the input into the first half of the FFT block.
    std::memset(buf1, 0, sizeof(double) * static_cast<size_t>(n1b2));
    int32_t j = 0, pos = ssrc->rps;
    for (; pos < n1b2; pos += osf, ++j) {
      // The invariants' texts are printed as written here.
      // clang-format off
      SSRC_ASSERT(j < ((filterparms->n1b2-ssrc->rps-1)/filterparms->osf+1));
      // clang-format on
      buf1[pos] = ssrc->inbuf[static_cast<int64_t>(j) * channels + ch];
    }
    // clang-format off
    SSRC_ASSERT(j == ((filterparms->n1b2-ssrc->rps-1)/filterparms->osf+1));
    // clang-format on
    next_rps = pos - n1b2;

    real_fft_convolve(n1b, buf1, n1b2, filterparms->fftfilter, filterparms->fft_ip,
                      filterparms->fft_w, filterparms->fft_scrambled);
    for (int32_t i = 0; i < n1b2; ++i) buf2[n2x + 1 + i] += buf1[i];

    // Stage 2: polyphase decimation over buf2.
    const int64_t per_in = filterparms->fs2 / filterparms->fs1;
    int32_t phase = ssrc->phase;
    const double* bp2 = buf2 + (ssrc->rp2 + per_in - 1) / per_in;
    const double* const first = bp2;
    const double* end = buf2 + n1b2 + 1;
    // Walk the output steps, checking where each lands, then filter them.
    // Every channel takes the same steps: the first one's walk serves all.
    if (ch == 0) p = 0;
    while (ch == 0 && bp2 < end) {
      const int32_t s2o = filterparms->order[phase];
      // clang-format off
      SSRC_ASSERT((bp2-&(ssrc->buf2[ch][0]))*(filterparms->fs2/filterparms->fs1)
                  -(ssrc->rp2+p*(filterparms->fs2/outparms->samplerate)) == s2o);
      // clang-format on
      SSRC_ASSERT(p < ssrc->outbuf_frames);
      bp2 += filterparms->inc[phase];
      if (++phase == filterparms->n2y) phase = 0;
      ++p;
    }
    polyphase_run(rows, filterparms->order, filterparms->inc, filterparms->n2y, ssrc->phase, buf2,
                  static_cast<int32_t>(first - buf2), p, ssrc->outbuf + ch, channels);
    if (ch == 0) next_phase = phase;
  }
  ssrc->rps = next_rps;
  ssrc->phase = next_phase;
  ssrc->rp2 += (filterparms->fs2 / dfrq) * p;
  return p;
}

// Moves the unread part of buf2 down and brings in the new FFT tail.
void discard_consumed_down(int32_t channels, filterparms* filterparms, ssrc* ssrc) {
  const int64_t per_in = filterparms->fs2 / filterparms->fs1;
  const int32_t n1b2 = filterparms->n1b2, n2x = filterparms->n2x;
  int64_t ds = (ssrc->rp2 - 1) / per_in;
  if (ds > n1b2) ds = n1b2;
  if (ds < 0) ds = 0;
  for (int32_t ch = 0; ch < channels; ++ch) {
    double* buf2 = ssrc->buf2[ch];
    std::memmove(buf2, buf2 + ds, sizeof(double) * static_cast<size_t>(n2x + 1 + n1b2 - ds));
    std::memcpy(buf2 + n2x + 1, ssrc->buf1[ch] + n1b2, sizeof(double) * static_cast<size_t>(n1b2));
  }
  ssrc->rp2 -= ds * per_in;
}

// Decides what of the p frames produced is delivered: the filter delay is
// dropped once at the start, and at the end the output stops at
// floor(frames read x output / source rate) frames, one more for
// down-conversion.
void trim(int32_t p, ssrc* state, SsrcOutput* out) {
  out->produced = p;
  out->skip = 0;
  out->count = 0;
  int32_t available = p;
  bool all_delayed = false;
  if (state->skipping) {
    if (p < state->delay) {
      state->delay -= p;
      all_delayed = true;
      available = 0;
    } else {
      out->skip = state->delay;
      state->skipping = 0;
      available = p - state->delay;
    }
  }
  if (state->flushing == 1) {
    const double expected =
        static_cast<double>(state->frames_read) * state->out_rate / state->source_rate;
    const int64_t target = static_cast<int64_t>(std::floor(expected)) + (state->up ? 0 : 1);
    const int64_t remaining = target - state->frames_written;
    if (available >= remaining) {
      available = remaining > 0 ? static_cast<int32_t>(remaining) : 0;
      state->flushing = -1;
    }
  }
  if (!all_delayed) out->count = available;
  state->frames_written += out->count;
}

// Input frames the next conversion takes: up, the frames to append after
// the held ones so that stage 1 finds all it reads (one frame fewer would
// leave its last step reading a frame nobody supplied in some calls); down,
// the frames that fill the FFT block's first half.
int32_t conversion_frames(const filterparms* fp, const ssrc* state) {
  if (state->up)
    return static_cast<int32_t>(std::floor(static_cast<double>(fp->n2b2) * state->source_rate /
                                           (static_cast<double>(fp->osf) * state->out_rate))) +
           2 + fp->n1x - fp->inbuflen;
  return (fp->n1b2 - state->rps - 1) / fp->osf + 1;
}

}  // namespace

void ssrc_reset(filterparms* fp, ssrc* state) {
  std::memset(fp, 0, sizeof *fp);
  std::memset(state, 0, sizeof *state);
  state->skipping = 1;
}

int ssrc_configure(filterparms* fp, ssrc* state, int32_t source_rate, int32_t out_rate,
                   int32_t channels, int32_t source_bits) {
  if (channels < 1 || source_rate == out_rate) return 1;
  const bool up = out_rate > source_rate;
  state->source_rate = source_rate;
  state->out_rate = out_rate;
  state->up = up;
  if (up) {
    if (source_bits == 32) state->osc = 1;
    if (ssrc_setup_up(fp, state, source_rate, out_rate)) {
      std::fprintf(stderr, "Error: Unable to configure upsampling filters\n");
      ssrc_free(fp, state);
      return 1;
    }
  } else if (ssrc_setup_down(fp, state, source_rate, out_rate)) {
    std::fprintf(stderr, "Error: Unable to configure downsampling filters\n");
    ssrc_free(fp, state);
    return 1;
  }
  if (alloc_resampler_buffers(fp, state, channels, out_rate, up)) {
    ssrc_free(fp, state);
    return 1;
  }
  return 0;
}

int32_t ssrc_frames_wanted(const filterparms* fp, const ssrc* state) {
  const int32_t wanted = conversion_frames(fp, state) - state->pending;
  return wanted > 0 ? wanted : 0;
}

double* ssrc_input_room(filterparms* fp, ssrc* state, int32_t* frames) {
  const int32_t used = fp->inbuflen + state->pending;
  *frames = state->inbuf_capacity - used;
  return state->inbuf + static_cast<int64_t>(used) * state->channels;
}

void ssrc_input_commit(filterparms* fp, ssrc* state, int32_t frames) {
  SSRC_ASSERT(frames >= 0 && fp->inbuflen + state->pending + frames <= state->inbuf_capacity);
  state->pending += frames;
}

int32_t ssrc_push(filterparms* fp, ssrc* state, const double* frames, int32_t count) {
  int32_t room = 0;
  double* at = ssrc_input_room(fp, state, &room);
  const int32_t taken = count < room ? count : room;
  if (taken <= 0) return 0;
  std::memcpy(at, frames, sizeof(double) * static_cast<size_t>(taken) * state->channels);
  ssrc_input_commit(fp, state, taken);
  return taken;
}

void ssrc_finish(ssrc* state) {
  if (state->flushing == 0) state->flushing = 1;
}

int32_t ssrc_pull(filterparms* fp, ssrc* state, SsrcOutput* out) {
  *out = SsrcOutput{state->outbuf, 0, 0, 0};
  if (state->flushing == -1) return SSRC_FINISHED;
  const int32_t wanted = conversion_frames(fp, state);
  int32_t real = wanted;
  if (state->pending < wanted) {
    if (state->flushing != 1) return SSRC_NEEDS_INPUT;
    real = state->pending;  // the last input, padded with silence
  }
  // Frames pushed beyond this conversion wait after the held ones.
  const int32_t later = state->pending - real;
  const int64_t later_at = static_cast<int64_t>(fp->inbuflen + real) * state->channels;
  state->pending = later;
  ssrc_process(fp, state, real, wanted, out);
  if (later > 0)
    std::memmove(state->inbuf + static_cast<int64_t>(fp->inbuflen) * state->channels,
                 state->inbuf + later_at,
                 sizeof(double) * static_cast<size_t>(later) * state->channels);
  return SSRC_PULLED;
}

void ssrc_process(filterparms* fp, ssrc* state, int32_t frames_read, int32_t frames_appended,
                  SsrcOutput* out) {
  const int32_t channels = state->channels;
  const int32_t p =
      state->up ? process_up(channels, state->source_rate, frames_read, frames_appended, fp, state)
                : process_down(channels, state->out_rate, frames_read, fp, state);
  out->frames = state->outbuf;
  trim(p, state, out);
  if (state->up)
    discard_consumed_up(channels, state->source_rate, fp, state);
  else
    discard_consumed_down(channels, fp, state);
}

void ssrc_free(filterparms* fp, ssrc* state) {
  if (fp) {
    std::free(fp->polyfilter);
    fp->polyfilter = nullptr;
    std::free(fp->padded_rows);
    fp->padded_rows = nullptr;
    std::free(fp->order);
    std::free(fp->inc);
    std::free(fp->inc_sum);
    fp->inc_sum = nullptr;
    std::free(fp->fftfilter);
    std::free(fp->fft_scrambled);
    fp->fft_scrambled = nullptr;
    std::free(fp->fft_ip);
    std::free(fp->fft_w);
    fp->order = fp->inc = fp->fft_ip = nullptr;
    fp->fftfilter = fp->fft_w = nullptr;
  }
  if (state) {
    free_rows(state->buf1, state->channels);
    free_rows(state->buf2, state->channels);
    std::free(state->inbuf);
    std::free(state->outbuf);
    std::free(state->scratch);
    state->inbuf = state->outbuf = state->scratch = nullptr;
  }
}
