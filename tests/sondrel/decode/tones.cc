// Tone detection and sample access for the decode tests.
#include "tones.h"

#include <cmath>
#include <cstring>

std::string decode_fixture(const std::string& name) {
  return std::string(FIXTURE_DIR) + "/decode/" + name;
}

Bytes decode_fixture_bytes(const std::string& name) { return read_file(decode_fixture(name)); }

double tone_of_label(const std::string& label) {
  if (label == "FL" || label == "L") return 400;
  if (label == "FR" || label == "R") return 600;
  if (label == "C" || label == "FC") return 800;
  if (label == "LFE") return 60;
  if (label == "SL" || label == "BL") return 1000;
  if (label == "SR" || label == "BR") return 1200;
  if (label == "BC") return 1400;
  return 0;
}

double tone_power(const std::vector<double>& x, double frequency, int rate, size_t from,
                  size_t to) {
  const double c = 2.0 * std::cos(2.0 * M_PI * frequency / rate);
  double s1 = 0, s2 = 0;
  for (size_t i = from; i < to && i < x.size(); ++i) {
    const double s0 = x[i] + c * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  return s1 * s1 + s2 * s2 - c * s1 * s2;
}

double dominant_tone(const std::vector<double>& x, int rate, double* share) {
  static const double tones[] = {60, 400, 600, 800, 1000, 1200, 1400};
  // Past the decoders' start-up, up to the encoders' fade at the end.
  const size_t from = 2048, to = x.size() > 6144 ? x.size() - 2048 : x.size();
  double best = 0, best_power = -1, total = 0;
  for (double f : tones) {
    const double p = tone_power(x, f, rate, from, to);
    total += p;
    if (p > best_power) best_power = p, best = f;
  }
  if (share) *share = total > 0 ? best_power / total : 0;
  return best;
}

std::vector<double> wav_channel(const WavFile& wav, int channel) {
  std::vector<double> out;
  const int width = wav.bits / 8;
  if (width < 1 || wav.channels < 1) return out;
  const bool is_float = wav.format_tag == 3 || (wav.format_tag == 0xFFFE && wav.sub_format == 3);
  const size_t frame = static_cast<size_t>(width) * wav.channels;
  for (size_t at = static_cast<size_t>(channel) * width; at + width <= wav.data.size();
       at += frame) {
    const uint8_t* p = wav.data.data() + at;
    double v = 0;
    if (is_float && width == 4) {
      float f;
      std::memcpy(&f, p, 4);
      v = f;
    } else if (is_float && width == 8) {
      std::memcpy(&v, p, 8);
    } else if (width == 1) {
      v = (p[0] - 128) / 127.0;
    } else {
      int64_t q = 0;
      for (int b = width - 1; b >= 0; --b) q = (q << 8) | p[b];
      const int64_t sign = int64_t{1} << (8 * width - 1);
      q = (q ^ sign) - sign;
      v = static_cast<double>(q) / static_cast<double>(sign - 1);
    }
    out.push_back(v);
  }
  return out;
}

double rms_difference_db(const std::vector<double>& a, const std::vector<double>& b, size_t from,
                         size_t to) {
  double sum = 0;
  size_t n = 0;
  for (size_t i = from; i < to && i < a.size() && i < b.size(); ++i, ++n)
    sum += (a[i] - b[i]) * (a[i] - b[i]);
  return n ? 10.0 * std::log10(sum / n + 1e-30) : 0.0;
}
