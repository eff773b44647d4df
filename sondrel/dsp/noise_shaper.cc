// The process-wide noise shaper: a 65536-entry dither noise table drawn from
// the program-wide generator through a 97-entry shuffle pool, and per-channel
// error-feedback histories for the shaping filters. One job at a time opens
// it, quantises its samples through it and closes it.
#include "dsp/noise_shaper.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "dsp/pcm_convert.h"
#include "dsp/runtime_random.h"

namespace {

constexpr int32_t NOISE_TABLE_SIZE = 65536;
constexpr int32_t POOL_SIZE = 97;

// Noise-shaping filters, one row per destination rate; the coefficients are
// single-precision values held as doubles.
const double ROW_FIRST_ORDER[] = {-1.0f};
const double ROW_48000[] = {-2.872073f,   5.041323f,    -6.2442994f,   5.8483987f,
                            -3.7067542f,  1.0495119f,   1.1830237f,    -2.1126792f,
                            1.9094532f,   -0.99913085f, 0.17090806f,   0.32615602f,
                            -0.39127645f, 0.26876462f,  -0.097676106f, 0.023473846f};
const double ROW_44100[] = {-2.6773198f, 4.8308926f,   -6.5701103f, 7.4572015f,   -6.7263274f,
                            4.848165f,   -2.041209f,   -0.7006359f, 2.9537566f,   -4.0800385f,
                            4.1845217f,  -3.3311813f,  2.1179926f,  -0.879303f,   0.031759147f,
                            0.4238279f,  -0.47882104f, 0.35490814f, -0.17496839f, 0.06090817f};
const double ROW_37800[] = {-1.6335993f,  2.2615492f,   -2.407703f,  2.6341717f,
                            -2.1440363f,  1.8153259f,   -1.0816225f, 0.70302653f,
                            -0.15991993f, -0.04154952f, 0.29416576f, -0.25183168f,
                            0.27766478f,  -0.15785404f, 0.10165894f, -0.016833892f};
const double ROW_32000[] = {-0.829013f,   0.9892266f,  -0.5982571f,  1.0028809f,
                            -0.59938216f, 0.7950245f,  -0.42723316f, 0.5449253f,
                            -0.30792606f, 0.368718f,   -0.18792048f, 0.22611271f,
                            -0.10573342f, 0.11435491f, -0.03880068f, 0.040842198f};
const double ROW_22050[] = {-0.065229975f, 0.5498126f,   0.40278548f,  0.3178377f,   0.28201798f,
                            0.16985194f,   0.15433364f,  0.1250714f,   0.08903945f,  0.06441012f,
                            0.047146004f,  0.032805238f, 0.028495194f, 0.011695006f, 0.011831839f};

struct CoefRow {
  const double* coefs;
  int32_t taps;
};

const CoefRow SHAPER_COEFS[6] = {
    {ROW_FIRST_ORDER, 1}, {ROW_48000, 16}, {ROW_44100, 20},
    {ROW_37800, 16},      {ROW_32000, 16}, {ROW_22050, 15},
};

struct NoiseShaper {
  int32_t open;
  int32_t dither_type;
  int32_t row;  // index into SHAPER_COEFS, -1 when no shaping
  int32_t taps;
  int32_t channels;
  int32_t clip_min;
  int32_t clip_max;
  double** shaper_history;  // per channel, element 0 the latest error
  double* noise_table;
  uint32_t noise_pos;
};

NoiseShaper shaper = {};

int32_t row_for_rate(int32_t rate) {
  switch (rate) {
    case 48000:
      return 1;
    case 44100:
      return 2;
    case 37800:
      return 3;
    case 32000:
      return 4;
    case 22050:
      return 5;
    default:
      return -1;
  }
}

// One value through the shuffle pool: a draw picks the slot, the slot's value
// is used, and a fresh draw refills the slot.
int32_t pool_draw(int32_t* pool) {
  const int32_t p = runtime_random() % POOL_SIZE;
  const int32_t value = pool[p];
  pool[p] = runtime_random();
  return value;
}

void fill_noise_table(double* table, int32_t pdf_type, double amplitude) {
  int32_t pool[POOL_SIZE];
  for (int32_t i = 0; i < POOL_SIZE; ++i) pool[i] = runtime_random();
  if (pdf_type == 2) {  // gaussian, Box-Muller, in pairs
    for (int32_t k = 0; k < NOISE_TABLE_SIZE; k += 2) {
      double r = pool_draw(pool) / 32767.0;
      if (r == 1.0) r = 0.0;
      const double t = std::sqrt(-2.0 * std::log(1.0 - r));
      const double u = 6.283185307179586 * (pool_draw(pool) / 32767.0);
      table[k] = amplitude * t * std::cos(u);
      table[k + 1] = amplitude * t * std::sin(u);
    }
  } else if (pdf_type == 1) {  // triangular: difference of two uniforms
    for (int32_t k = 0; k < NOISE_TABLE_SIZE; ++k) {
      const double a = pool_draw(pool) / 32767.0;
      const double b = pool_draw(pool) / 32767.0;
      table[k] = (a - b) * amplitude;
    }
  } else {  // rectangular
    for (int32_t k = 0; k < NOISE_TABLE_SIZE; ++k)
      table[k] = (pool_draw(pool) / 32767.0 - 0.5) * amplitude;
  }
}

double next_noise() {
  const double v = shaper.noise_table[shaper.noise_pos % NOISE_TABLE_SIZE];
  ++shaper.noise_pos;
  return v;
}

double limit_error(double e) { return e < -1.0 ? -1.0 : (e > 1.0 ? 1.0 : e); }

}  // namespace

int shaper_open(int32_t out_rate, int32_t channels, int32_t clip_min, int32_t clip_max,
                int32_t dither_type, int32_t pdf_type, double noise_amplitude) {
  if (shaper.open) shaper_close();
  if (channels < 1) channels = 1;
  int32_t row = -1;
  if (dither_type == 3) {
    row = row_for_rate(out_rate);
    if (row < 0) {
      std::fprintf(stderr,
                   "Warning: ATH based noise shaping for destination frequency %dHz\tis not "
                   "available, using triangular dither\n",
                   out_rate);
      row = 0;
    }
  } else if (dither_type == 2) {
    row = 0;
  }
  const int32_t taps = row >= 0 ? SHAPER_COEFS[row].taps : 0;

  double** history = nullptr;
  if (taps > 0) {
    history = static_cast<double**>(std::calloc(static_cast<size_t>(channels), sizeof(double*)));
    if (!history) return 1;
    for (int32_t c = 0; c < channels; ++c) {
      history[c] = static_cast<double*>(std::calloc(static_cast<size_t>(taps), sizeof(double)));
      if (!history[c]) {
        for (int32_t k = 0; k < c; ++k) std::free(history[k]);
        std::free(history);
        return 1;
      }
    }
  }
  double* table = static_cast<double*>(std::malloc(NOISE_TABLE_SIZE * sizeof(double)));
  if (!table) {
    if (history) {
      for (int32_t c = 0; c < channels; ++c) std::free(history[c]);
      std::free(history);
    }
    return 1;
  }
  fill_noise_table(table, pdf_type, noise_amplitude);

  shaper.open = 1;
  shaper.dither_type = dither_type;
  shaper.row = row;
  shaper.taps = taps;
  shaper.channels = channels;
  shaper.clip_min = clip_min;
  shaper.clip_max = clip_max;
  shaper.shaper_history = history;
  shaper.noise_table = table;
  shaper.noise_pos = 0;
  return 0;
}

int32_t shaper_quantize(double s, int32_t channel) {
  const double lo = shaper.clip_min;
  const double hi = shaper.clip_max;
  if (!shaper.open) {  // not prepared: plain rounding and clamping
    if (!(s > lo)) return s != s ? 0 : shaper.clip_min;
    if (s >= hi) return shaper.clip_max;
    return static_cast<int32_t>(round_half_away(s));
  }
  if (shaper.taps == 0) {  // noise only
    const double t = s + next_noise();
    if (t < lo) return shaper.clip_min;
    if (t > hi) return shaper.clip_max;
    if (t != t) return 0;
    return static_cast<int32_t>(round_half_away(t));
  }
  if (channel < 0 || channel >= shaper.channels) channel = 0;
  double* h = shaper.shaper_history[channel];
  const double* coef = SHAPER_COEFS[shaper.row].coefs;
  const int32_t k = shaper.taps;
  double f = 0.0;
  for (int32_t j = 0; j < k; ++j) f += coef[j] * h[j];
  const double u = s + f;
  const double t = u + next_noise();
  for (int32_t j = k - 2; j >= 0; --j) h[j + 1] = h[j];
  int32_t result;
  if (t < lo) {
    result = shaper.clip_min;
    h[0] = limit_error(lo - u);
  } else if (t > hi) {
    result = shaper.clip_max;
    h[0] = limit_error(hi - u);
  } else if (t != t) {  // a NaN sample: silence, and no error to feed back
    result = 0;
    h[0] = 0.0;
  } else {
    result = static_cast<int32_t>(round_half_away(t));
    h[0] = result - u;
  }
  return result;
}

void shaper_close() {
  if (shaper.shaper_history) {
    for (int32_t c = 0; c < shaper.channels; ++c) std::free(shaper.shaper_history[c]);
    std::free(shaper.shaper_history);
  }
  std::free(shaper.noise_table);
  shaper = NoiseShaper{};
}

int shaper_is_open() { return shaper.open; }

double shaper_noise_entry(uint32_t index) {
  return shaper.open ? shaper.noise_table[index % NOISE_TABLE_SIZE] : 0.0;
}

void shaper_clip_range(int32_t bits, int32_t* clip_min, int32_t* clip_max) {
  switch (bits) {
    case 8: *clip_min = -128; *clip_max = 127; break;
    case 16: *clip_min = -32768; *clip_max = 32767; break;
    case 24: *clip_min = -8388608; *clip_max = 8388607; break;
    default: *clip_min = INT32_MIN; *clip_max = INT32_MAX; break;
  }
}
