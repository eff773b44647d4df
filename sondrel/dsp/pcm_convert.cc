// Conversion between stored PCM samples and double sample blocks: fixed
// reciprocal scale factors on the way in; scale, round half away from zero
// and clamp (or dither through the noise shaper) on the way out.
#include "dsp/pcm_convert.h"

#include <cstring>

#include "dsp/noise_shaper.h"
#include "wav/little_endian.h"

namespace {

// The reciprocals of the integer full scales, applied as multiplications.
constexpr double INV_127 = 1.0 / 127.0;
constexpr double INV_32767 = 1.0 / 32767.0;
constexpr double INV_8388607 = 1.0 / 8388607.0;
constexpr double INV_2147483647 = 1.0 / 2147483647.0;

// Scales nothing: rounds and clamps an already scaled value to [lo, hi]. A
// NaN becomes 0.
inline int32_t round_clamped(double v, int32_t lo, int32_t hi) {
  // Branch-free so that block loops vectorise: clamp (a NaN becomes 0), then
  // add half with the value's sign and truncate.
  v = v == v ? v : 0.0;
  v = v < lo ? lo : v;
  v = v > hi ? hi : v;
  return static_cast<int32_t>(v + (v < 0.0 ? -0.5 : 0.5));
}

// Full scale and clip range of an integer output width in bytes.
struct IntFormat {
  double scale;
  int32_t lo;
  int32_t hi;
};
const IntFormat INT_FORMATS[5] = {
    {0.0, 0, 0},
    {127.0, -128, 127},
    {32767.0, -32768, 32767},
    {8388607.0, -8388608, 8388607},
    {2147483647.0, INT32_MIN, INT32_MAX},
};

inline void store_int(uint8_t* p, int32_t width, int32_t q) {
  switch (width) {
    case 1:
      *p = static_cast<uint8_t>(q + 128);
      break;
    case 2:
      put_le16(p, q);
      break;
    case 3:
      put_le24(p, q);
      break;
    default:
      put_le32(p, q);
      break;
  }
}

}  // namespace

int64_t round_half_away(double x) {
  if (x >= 9.2233720368547748e18) return INT64_MAX;
  if (x <= -9.2233720368547758e18) return INT64_MIN;
  if (x != x) return 0;
  return x >= 0.0 ? static_cast<int64_t>(x + 0.5) : static_cast<int64_t>(x - 0.5);
}

void pcm_to_samples(double* dst, const uint8_t* src, int32_t bytes_per_sample, int32_t is_float,
                    int32_t channels, int32_t frames, int32_t frame_offset) {
  if (channels < 1 || frames < 1) return;
  const int64_t count = static_cast<int64_t>(channels) * frames;
  double* out = dst + static_cast<int64_t>(channels) * frame_offset;
  switch (bytes_per_sample) {
    case 1:
      for (int64_t i = 0; i < count; ++i) out[i] = (static_cast<int32_t>(src[i]) - 128) * INV_127;
      break;
    case 2:
      for (int64_t i = 0; i < count; ++i) {
        out[i] = static_cast<int16_t>(get_le16(src + 2 * i)) * INV_32767;
      }
      break;
    case 3:
      for (int64_t i = 0; i < count; ++i) {
        out[i] = get_le24_signed(src + 3 * i) * INV_8388607;
      }
      break;
    case 4:
      for (int64_t i = 0; i < count; ++i) {
        const uint32_t u = get_le32(src + 4 * i);
        if (is_float) {
          float f;
          std::memcpy(&f, &u, sizeof f);
          out[i] = f;
        } else {
          out[i] = static_cast<int32_t>(u) * INV_2147483647;
        }
      }
      break;
    default:  // 64-bit input is copied by the jobs themselves
      break;
  }
}

OutputFormat make_output_format(int32_t bits, int32_t is_float, int32_t dither_type,
                                int32_t pdf_type, double noise_amplitude) {
  OutputFormat f = {bits, is_float, dither_type, pdf_type, noise_amplitude, 0, 0};
  shaper_clip_range(is_float ? 32 : bits, &f.clip_min, &f.clip_max);
  return f;
}

bool output_is_dithered(const OutputFormat* format) {
  return format->dither_type != 0 && !(format->is_float && format->bits == 64);
}

void samples_to_pcm(const double* src, void* dst, const OutputFormat* format, int32_t channels,
                    int32_t frames) {
  if (channels < 1 || frames < 1) return;
  const int64_t count = static_cast<int64_t>(channels) * frames;
  uint8_t* out = static_cast<uint8_t*>(dst);
  const int32_t width = format->bits / 8;
  if (width == 8) return;  // 64-bit float: written from the doubles themselves
  const bool dither = format->dither_type != 0 && shaper_is_open();

  if (width == 4 && format->is_float) {
    if (!dither) {
      for (int64_t i = 0; i < count; ++i) {
        const float f = static_cast<float>(src[i]);
        std::memcpy(out + 4 * i, &f, sizeof f);
      }
    } else {
      constexpr float TWO_TO_MINUS_31 = 0x1p-31f;
      for (int64_t i = 0; i < count; ++i) {
        const int32_t q =
            shaper_quantize(src[i] * 2147483647.0, static_cast<int32_t>(i % channels));
        const float f = static_cast<float>(q) * TWO_TO_MINUS_31;
        std::memcpy(out + 4 * i, &f, sizeof f);
      }
    }
    return;
  }
  if (width < 1 || width > 4) return;

  const IntFormat fmt = INT_FORMATS[width];
  if (!dither) {
    const double k = fmt.scale;
    switch (width) {
      case 1:
        for (int64_t i = 0; i < count; ++i)
          out[i] = static_cast<uint8_t>(round_clamped(src[i] * k, fmt.lo, fmt.hi) + 128);
        break;
      case 2:
        for (int64_t i = 0; i < count; ++i) {
          const int16_t q = static_cast<int16_t>(round_clamped(src[i] * k, fmt.lo, fmt.hi));
          std::memcpy(out + 2 * i, &q, sizeof q);  // little-endian host
        }
        break;
      case 3:
        for (int64_t i = 0; i < count; ++i)
          put_le24(out + 3 * i, round_clamped(src[i] * k, fmt.lo, fmt.hi));
        break;
      default:
        for (int64_t i = 0; i < count; ++i) {
          const int32_t q = round_clamped(src[i] * k, fmt.lo, fmt.hi);
          std::memcpy(out + 4 * i, &q, sizeof q);
        }
        break;
    }
  } else {
    for (int64_t i = 0; i < count; ++i) {
      const int32_t q = shaper_quantize(src[i] * fmt.scale, static_cast<int32_t>(i % channels));
      store_int(out + width * i, width, q);
    }
  }
}
