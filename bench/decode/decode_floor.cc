// Decodes every frame of a raw .ac3 or .dts stream through the decoder
// layer and writes nothing: the time the libraries themselves need.
//   decode_floor stream.ac3|stream.dts
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "decode/ac3_decoder.h"
#include "decode/dts_decoder.h"
#include "decode/frame_gatherer.h"
#include "report/progress.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: decode_floor stream.ac3|stream.dts\n");
    return 1;
  }
  const size_t n = std::strlen(argv[1]);
  const bool ac3 = n > 4 && std::strcmp(argv[1] + n - 4, ".ac3") == 0;
  FILE* stream = std::fopen(argv[1], "rb");
  if (!stream) return 1;
  InputFile file;
  std::memset(&file, 0, sizeof file);
  init_input_file(&file);
  file.kind = ac3 ? KIND_AC3 : KIND_DTS;
  Ac3Decoder* a = ac3 ? ac3_decoder_create() : nullptr;
  DtsDecoder* d = ac3 ? nullptr : dts_decoder_create();
  FrameGatherer* g = static_cast<FrameGatherer*>(std::malloc(sizeof(FrameGatherer)));
  gather_start(g, ac3 ? AC3_HEADER_BYTES : DTS_HEADER_BYTES, 0);
  const double start = now_seconds();
  long frames = 0, blocks = 0;
  double sink = 0;
  while (gather_read(g, stream) > 0) {
    for (GatherEvent e; (e = gather_next(g)) != GATHER_EMPTY;) {
      if (e == GATHER_HEADER) {
        int32_t samples = 0;
        const int32_t length =
            ac3 ? ac3_sync_test(a, g->frame, &file, FRAME_MODE_COLLECT)
                : dts_sync_test(d, g->frame, &file, FRAME_MODE_COLLECT, &samples);
        if (length)
          gather_accept(g, length);
        else
          gather_slide(g);
        continue;
      }
      double level = 1.0;
      const int failed = ac3 ? ac3_frame_setup(a, g->frame, &file, &level, 0.0, FRAME_MODE_DECODE)
                             : dts_frame_setup(d, g->frame, &file, &level, 0.0);
      if (!failed) {
        ++frames;
        const int32_t count = ac3 ? AC3_BLOCKS_PER_FRAME : dts_frame_blocks(d);
        for (int32_t b = 0; b < count; ++b) {
          if (ac3 ? ac3_decode_block(a) : dts_decode_block(d)) break;
          sink += (ac3 ? ac3_block_samples(a) : dts_block_samples(d))[0];
          ++blocks;
        }
      }
      gather_restart(g);
    }
  }
  std::printf("%ld frames, %ld blocks decoded in %.3f s (%g)\n", frames, blocks,
              now_seconds() - start, sink);
  std::free(g);
  ac3_decoder_release(a);
  dts_decoder_release(d);
  std::fclose(stream);
  return 0;
}
