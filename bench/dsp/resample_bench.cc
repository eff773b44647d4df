// resample_bench IN.wav OUT.wav RATE [BITS]: resamples an integer PCM WAV
// (8 to 32 bits) to RATE with the program's resampler, writing a plain PCM
// WAV of BITS (default 16). Block loop as in the PCM WAV job: frames asked
// per call, conversion into the input buffer, trimming, one write per block.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "dsp/pcm_convert.h"
#include "dsp/ssrc/ssrc.h"
#include "wav/input_file.h"
#include "wav/job_settings.h"

namespace {

uint32_t le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
}
uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// Finds fmt and data of a RIFF/WAVE file; leaves the file at the first sample.
bool read_header(FILE* f, InputFile* file) {
  uint8_t riff[12];
  if (std::fread(riff, 1, 12, f) != 12 || std::memcmp(riff, "RIFF", 4) ||
      std::memcmp(riff + 8, "WAVE", 4))
    return false;
  bool have_fmt = false;
  uint8_t head[8];
  while (std::fread(head, 1, 8, f) == 8) {
    const uint32_t size = le32(head + 4);
    if (!std::memcmp(head, "fmt ", 4)) {
      uint8_t fmt[40] = {};
      const uint32_t take = size < sizeof fmt ? size : sizeof fmt;
      if (size < 16 || std::fread(fmt, 1, take, f) != take) return false;
      if (size > take) std::fseek(f, static_cast<long>(size - take), SEEK_CUR);
      file->channels = le16(fmt + 2);
      file->sample_rate = static_cast<int32_t>(le32(fmt + 4));
      file->bits = le16(fmt + 14);
      file->is_float = le16(fmt) == 3;
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
  auto put32 = [&](int at, uint32_t v) {
    for (int i = 0; i < 4; ++i) h[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  auto put16 = [&](int at, uint32_t v) {
    h[at] = static_cast<uint8_t>(v);
    h[at + 1] = static_cast<uint8_t>(v >> 8);
  };
  std::memcpy(h, "RIFF", 4);
  put32(4, 36 + data_bytes);
  std::memcpy(h + 8, "WAVEfmt ", 8);
  put32(16, 16);
  put16(20, 1);
  put16(22, static_cast<uint32_t>(channels));
  put32(24, static_cast<uint32_t>(rate));
  put32(28, static_cast<uint32_t>(rate * channels * bits / 8));
  put16(32, static_cast<uint32_t>(channels * bits / 8));
  put16(34, static_cast<uint32_t>(bits));
  std::memcpy(h + 36, "data", 4);
  put32(40, data_bytes);
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
  InputFile file{};
  file.kind = KIND_PCM_WAV;
  if (!read_header(in, &file) || file.is_float || file.bits < 8 || file.bits > 32 ||
      file.channels < 1) {
    std::fprintf(stderr, "%s: not an integer PCM WAV\n", argv[1]);
    return 1;
  }
  JobSettings settings;
  init_job_settings(&settings);
  settings.out_rate = std::atoi(argv[3]);
  settings.in_bits = file.bits;
  settings.out_bits = argc > 4 ? std::atoi(argv[4]) : 16;
  settings.out_float = 0;
  settings.selected_count = file.channels;
  if (settings.out_rate == file.sample_rate) {
    std::fprintf(stderr, "nothing to resample\n");
    return 1;
  }
  settings.dsp_mode = settings.out_rate > file.sample_rate ? 3 : 2;
  const bool up = settings.dsp_mode == 3;

  filterparms fp{};
  ssrc st{};
  ssrc_reset(&fp, &st, &file);
  if (ssrc_configure(&file, &fp, &st, &settings)) return 1;

  FILE* out = std::fopen(argv[2], "wb");
  if (!out) {
    std::fprintf(stderr, "cannot create %s\n", argv[2]);
    return 1;
  }
  write_header(out, file.channels, settings.out_rate, settings.out_bits, 0);
  const int32_t nc = file.channels, b = file.bits / 8, ob = settings.out_bits / 8;
  uint64_t remaining = file.data_size, written = 0;
  std::vector<uint8_t> block;
  while (true) {
    int64_t want = ssrc_frames_wanted(&fp, &st, file.sample_rate, settings.out_rate);
    if (!up && want > st.total_frames - st.frames_read) want = st.total_frames - st.frames_read;
    if (want < 0) want = 0;
    uint64_t bytes = static_cast<uint64_t>(want) * nc * b;
    if (bytes > remaining) bytes = remaining;
    block.resize(bytes + 1);
    bytes = std::fread(block.data(), 1, bytes, in);
    remaining -= bytes;
    const int32_t frames = static_cast<int32_t>(bytes / (static_cast<uint64_t>(b) * nc));
    if (bytes == 0 || remaining == 0) remaining = 0;
    st.flushing = remaining == 0 && frames <= want ? 1 : 0;
    pcm_to_samples(st.inbuf, block.data(), b, 0, nc, frames, up ? fp.inbuflen : 0);
    int32_t all_delayed = 0, skip = 0, count = 0;
    ssrc_process(nc, file.sample_rate, &settings, frames, static_cast<int32_t>(want), &fp, &st,
                 &all_delayed, &skip, &count);
    if (!all_delayed && count > 0) {
      const uint8_t* from =
          settings.work_buffers.output_block + static_cast<size_t>(skip) * nc * ob;
      written += std::fwrite(from, 1, static_cast<size_t>(count) * nc * ob, out);
    }
    if (st.flushing == -1) break;
  }
  write_header(out, nc, settings.out_rate, settings.out_bits, static_cast<uint32_t>(written));
  std::fclose(out);
  std::fclose(in);
  ssrc_free(&fp, &st);
  free_work_buffers(&settings.work_buffers);
  return 0;
}
