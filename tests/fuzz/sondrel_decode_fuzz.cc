// Fuzz target: the stream scan (collect and count modes) and the decoder
// layer (sync tests, frame set-up, block decoding) on arbitrary bytes. The
// first byte picks the file kind and, for streams in WAVs, the sync offset.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "decode/ac3_decoder.h"
#include "decode/dts_decoder.h"
#include "decode/frame_buffer.h"
#include "decode/stream_scan.h"

namespace {

void scan(const uint8_t* data, size_t size, int32_t kind, int32_t sync_offset) {
  std::vector<uint8_t> copy(data, data + size);
  copy.push_back(0);  // fmemopen needs a non-empty buffer
  FILE* stream = fmemopen(copy.data(), size ? size : 1, "rb");
  if (!stream) return;
  InputFile file;
  std::memset(&file, 0, sizeof file);
  init_input_file(&file);
  file.kind = kind;
  file.file_size = size;
  file.sync_offset = sync_offset;
  file.word_bits = (sync_offset & 1) ? 14 : 16;
  file.burst_spacing = sync_offset * 64;
  JobSettings settings;
  init_job_settings(&settings);
  settings.no_progress = 1;
  if (open_stream_decoder(stream, &file, &settings, SCAN_COLLECT) == 0)
    open_stream_decoder(stream, &file, &settings, SCAN_COUNT);
  std::fclose(stream);
}

// Every frame start the layer accepts is set up and all its blocks decoded.
void layer(const uint8_t* data, size_t size, bool ac3) {
  std::vector<uint8_t> frame(FRAME_BUFFER_BYTES, 0);
  InputFile file;
  std::memset(&file, 0, sizeof file);
  init_input_file(&file);
  file.kind = ac3 ? KIND_AC3 : KIND_DTS;
  Ac3Decoder* a = ac3 ? ac3_decoder_create() : nullptr;
  DtsDecoder* d = ac3 ? nullptr : dts_decoder_create();
  float sink = 0;
  for (size_t at = 0; at + DTS_HEADER_BYTES <= size; ++at) {
    const size_t n = std::min<size_t>(size - at, frame.size());
    std::memcpy(frame.data(), data + at, n);
    std::memset(frame.data() + n, 0, frame.size() - n);
    int32_t samples = 0;
    const int32_t length =
        ac3 ? ac3_sync_test(a, frame.data(), &file, FRAME_MODE_COLLECT)
            : dts_sync_test(d, frame.data(), &file, FRAME_MODE_COLLECT, &samples);
    if (length <= 0 || static_cast<size_t>(length) > n) continue;
    double level = 1.0;
    const int failed =
        ac3 ? ac3_frame_setup(a, frame.data(), &file, &level, 0.0, FRAME_MODE_COLLECT)
            : dts_frame_setup(d, frame.data(), &file, &level, 0.0);
    if (failed) continue;
    const int32_t blocks = ac3 ? AC3_BLOCKS_PER_FRAME : dts_frame_blocks(d);
    for (int32_t b = 0; b < blocks && b < 64; ++b) {
      if (ac3 ? ac3_decode_block(a) : dts_decode_block(d)) break;
      const float* s = ac3 ? ac3_block_samples(a) : dts_block_samples(d);
      for (int32_t i = 0; i < LIBRARY_BUFFER_SAMPLES; i += 97) sink += s[i];
    }
    at += static_cast<size_t>(length) - 1;
  }
  ac3_decoder_release(a);
  dts_decoder_release(d);
  (void)sink;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int32_t kind = 1 + data[0] % 5;  // kinds 1 to 5
  const int32_t sync_offset = (kind == KIND_DTS_WAV || kind == KIND_AC3_WAV) ? data[0] >> 3 : 0;
  scan(data + 1, size - 1, kind, sync_offset);
  layer(data + 1, size - 1, is_ac3_family(kind));
  release_stream_decoders();
  return 0;
}
