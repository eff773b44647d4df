// resample_bench IN.wav OUT.wav RATE [BITS]: resamples an integer PCM WAV
// (8 to 32 bits) to RATE with the program's resampler, writing a plain PCM
// WAV of BITS (default 16): the frames the resampler wants are read and
// converted into its input, every conversion is pulled, converted to PCM
// and written.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "dsp/pcm_convert.h"
#include "dsp/ssrc/ssrc.h"
#include "wav/little_endian.h"

namespace {

struct Input {
  int32_t channels, sample_rate, bits, is_float;
  uint64_t data_size;
};

// Finds fmt and data of a RIFF/WAVE file; leaves the file at the first sample.
bool read_header(FILE* f, Input* file) {
  uint8_t riff[12];
  if (std::fread(riff, 1, 12, f) != 12 || std::memcmp(riff, "RIFF", 4) ||
      std::memcmp(riff + 8, "WAVE", 4))
    return false;
  bool have_fmt = false;
  uint8_t head[8];
  while (std::fread(head, 1, 8, f) == 8) {
    const uint32_t size = get_le32(head + 4);
    if (!std::memcmp(head, "fmt ", 4)) {
      uint8_t fmt[40] = {};
      const uint32_t take = size < sizeof fmt ? size : sizeof fmt;
      if (size < 16 || std::fread(fmt, 1, take, f) != take) return false;
      if (size > take) std::fseek(f, static_cast<long>(size - take), SEEK_CUR);
      file->channels = get_le16(fmt + 2);
      file->sample_rate = static_cast<int32_t>(get_le32(fmt + 4));
      file->bits = get_le16(fmt + 14);
      file->is_float = get_le16(fmt) == 3;
      have_fmt = true;
    } else if (!std::memcmp(head, "data", 4)) {
      file->data_size = size;
      return have_fmt;
    } else {
      std::fseek(f, static_cast<long>(size + (size & 1)), SEEK_CUR);
    }
  }
  return false;
}

void write_header(FILE* f, int32_t channels, int32_t rate, int32_t bits, uint32_t data_bytes) {
  uint8_t h[44];
  std::memcpy(h, "RIFF", 4);
  put_le32(h + 4, 36 + data_bytes);
  std::memcpy(h + 8, "WAVEfmt ", 8);
  put_le32(h + 16, 16);
  put_le16(h + 20, 1);
  put_le16(h + 22, static_cast<uint32_t>(channels));
  put_le32(h + 24, static_cast<uint32_t>(rate));
  put_le32(h + 28, static_cast<uint32_t>(rate * channels * bits / 8));
  put_le16(h + 32, static_cast<uint32_t>(channels * bits / 8));
  put_le16(h + 34, static_cast<uint32_t>(bits));
  std::memcpy(h + 36, "data", 4);
  put_le32(h + 40, data_bytes);
  std::fseek(f, 0, SEEK_SET);
  std::fwrite(h, 1, 44, f);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: resample_bench IN.wav OUT.wav RATE [BITS]\n");
    return 2;
  }
  FILE* in = std::fopen(argv[1], "rb");
  if (!in) {
    std::fprintf(stderr, "cannot open %s\n", argv[1]);
    return 1;
  }
  Input file{};
  if (!read_header(in, &file) || file.is_float || file.bits < 8 || file.bits > 32 ||
      file.channels < 1) {
    std::fprintf(stderr, "%s: not an integer PCM WAV\n", argv[1]);
    return 1;
  }
  const int32_t out_rate = std::atoi(argv[3]);
  const int32_t out_bits = argc > 4 ? std::atoi(argv[4]) : 16;
  if (out_rate == file.sample_rate) {
    std::fprintf(stderr, "nothing to resample\n");
    return 1;
  }
  filterparms fp{};
  ssrc st{};
  ssrc_reset(&fp, &st);
  if (ssrc_configure(&fp, &st, file.sample_rate, out_rate, file.channels, file.bits)) return 1;
  const OutputFormat format = make_output_format(out_bits, 0, 0, 0, 0.18);

  FILE* out = std::fopen(argv[2], "wb");
  if (!out) {
    std::fprintf(stderr, "cannot create %s\n", argv[2]);
    return 1;
  }
  write_header(out, file.channels, out_rate, out_bits, 0);
  const int32_t nc = file.channels, b = file.bits / 8, ob = out_bits / 8;
  uint64_t remaining = file.data_size, written = 0;
  std::vector<uint8_t> block, converted(static_cast<size_t>(st.outbuf_frames) * nc * ob);
  for (int32_t pulled = SSRC_NEEDS_INPUT; pulled != SSRC_FINISHED;) {
    int32_t room = 0;
    double* at = ssrc_input_room(&fp, &st, &room);
    const int32_t want = std::min(ssrc_frames_wanted(&fp, &st), room);
    uint64_t bytes = static_cast<uint64_t>(want) * nc * b;
    if (bytes > remaining) bytes = remaining;
    block.resize(bytes + 1);
    bytes = std::fread(block.data(), 1, bytes, in);
    remaining = bytes == 0 ? 0 : remaining - bytes;
    const int32_t frames = static_cast<int32_t>(bytes / (static_cast<uint64_t>(b) * nc));
    pcm_to_samples(at, block.data(), b, 0, nc, frames, 0);
    ssrc_input_commit(&fp, &st, frames);
    if (remaining == 0) ssrc_finish(&st);
    SsrcOutput o;
    while ((pulled = ssrc_pull(&fp, &st, &o)) == SSRC_PULLED) {
      samples_to_pcm(o.frames, converted.data(), &format, nc, o.produced);
      written += std::fwrite(converted.data() + static_cast<size_t>(o.skip) * nc * ob, 1,
                             static_cast<size_t>(o.count) * nc * ob, out);
    }
  }
  write_header(out, nc, out_rate, out_bits, static_cast<uint32_t>(written));
  std::fclose(out);
  std::fclose(in);
  ssrc_free(&fp, &st);
  return 0;
}
