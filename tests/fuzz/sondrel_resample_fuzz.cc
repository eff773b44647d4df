// Fuzz target: the resampler's design and processing over arbitrary rate
// pairs (1 to 384000 Hz each) and short inputs, pushed in pieces of a size
// the input chooses. A pair is either refused or converted to exactly the
// length its rates give, with finite samples; nothing may stop on an
// invariant.
//
// Input: bytes 0-2 the source rate and 3-5 the output rate (little-endian,
// folded into 1..384000; unless flag bit 0 is set the output is one of the
// program's rates 44100, 48000, 96000), byte 6 flags, byte 7 how often the
// sample pattern that follows repeats.
// Flags: bits 1-2 channels (1 to 3); bits 3-4 the piece pushed at a time
// (as much as fits, 256 frames, 1 frame, 4099 frames); bit 5 the pattern
// holds 32-bit floats (NaN and infinities included) rather than 16-bit
// integers; bit 7 a 32-bit source.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "dsp/ssrc/ssrc.h"

namespace {

constexpr int64_t MAX_INPUT_FRAMES = 200000;
constexpr int64_t MAX_OUTPUT_FRAMES = 400000;
constexpr int32_t MAX_CALLS = 10000;

int32_t rate_at(const uint8_t* b) {
  const int32_t raw = b[0] | (b[1] << 8) | (b[2] << 16);
  return 1 + raw % SSRC_MAX_RATE;
}

void check(bool ok) {
  if (!ok) std::abort();
}

// The pattern as interleaved doubles, repeated, within the frame limits.
std::vector<double> input_samples(const uint8_t* data, size_t size, bool floats, int32_t channels,
                                  int32_t repeat, int32_t src, int32_t dst) {
  std::vector<double> pattern;
  if (floats) {
    for (size_t i = 0; i + 4 <= size; i += 4) {
      float f;
      std::memcpy(&f, data + i, 4);
      pattern.push_back(f);
    }
  } else {
    for (size_t i = 0; i + 2 <= size; i += 2)
      pattern.push_back(static_cast<int16_t>(data[i] | (data[i + 1] << 8)) / 32767.0);
  }
  pattern.resize(pattern.size() / static_cast<size_t>(channels) * static_cast<size_t>(channels));
  const int64_t frames_cap = std::max<int64_t>(1, MAX_OUTPUT_FRAMES * src / dst);
  const int64_t frames = std::min<int64_t>({static_cast<int64_t>(pattern.size()) / channels *
                                                repeat,
                                            frames_cap, MAX_INPUT_FRAMES});
  std::vector<double> samples;
  for (int64_t f = 0; f < frames; ++f)
    for (int32_t c = 0; c < channels; ++c)
      samples.push_back(pattern[static_cast<size_t>(f * channels + c) % pattern.size()]);
  return samples;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) return 0;
  const uint8_t flags = data[6];
  const int32_t src = rate_at(data);
  int32_t dst = rate_at(data + 3);
  if (!(flags & 1)) {
    static const int32_t rates[3] = {44100, 48000, 96000};
    dst = rates[(data[3] | (data[4] << 8) | (data[5] << 16)) % 3];
  }
  if (src == dst) return 0;
  const int32_t channels = 1 + ((flags >> 1) & 3) % 3;
  static const int32_t pieces[4] = {0, 256, 1, 4099};
  const int32_t piece = pieces[(flags >> 3) & 3];
  const std::vector<double> input =
      input_samples(data + 8, size - 8, flags & 0x20, channels, 1 + data[7] * 16, src, dst);
  const int64_t total = static_cast<int64_t>(input.size()) / channels;

  filterparms fp;
  ssrc state;
  ssrc_reset(&fp, &state);
  if (ssrc_configure(&fp, &state, src, dst, channels, (flags & 0x80) ? 32 : 16) == 0) {
    int64_t pos = 0, delivered = 0;
    int32_t calls = 0, pulled = SSRC_NEEDS_INPUT;
    while (pulled != SSRC_FINISHED && calls < MAX_CALLS) {
      const int64_t left = total - pos;
      const int64_t count = piece > 0 ? std::min<int64_t>(piece, left) : left;
      pos += ssrc_push(&fp, &state, input.data() + pos * channels, static_cast<int32_t>(count));
      if (pos == total) ssrc_finish(&state);
      SsrcOutput out;
      while ((pulled = ssrc_pull(&fp, &state, &out)) == SSRC_PULLED && ++calls < MAX_CALLS) {
        check(out.skip >= 0 && out.count >= 0 && out.skip + out.count <= out.produced &&
              out.produced <= state.outbuf_frames);
        for (int64_t i = 0; i < static_cast<int64_t>(out.produced) * channels; ++i)
          check(std::isfinite(out.frames[i]));
        delivered += out.count;
      }
    }
    check(calls < MAX_CALLS);
    check(delivered == total * dst / src + (dst > src ? 0 : 1));
  }
  ssrc_free(&fp, &state);
  return 0;
}
