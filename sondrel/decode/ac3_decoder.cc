// liba52 behind our own names: latch, header checks, natural-order copy of
// swapped frames, Surround EX indicator.
#include "decode/ac3_decoder.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "decode/bit_reader.h"
#include "decode/frame_buffer.h"
extern "C" {
#include <a52dec/a52.h>
}

struct Ac3Decoder {
  a52_state_t* library;
  int32_t latch;        // PACKING_ANY, AC3_ORDER_NATURAL or AC3_ORDER_SWAPPED
  int32_t frame_bytes;  // length the last accepted sync test reported
  uint8_t frame[FRAME_BUFFER_BYTES + FRAME_READ_MARGIN];  // natural-order copy
};

namespace {

const int32_t kRates[19] = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                            192, 224, 256, 320, 384, 448, 512, 576, 640};
// Bit of header byte 6 that holds lfeon, by coded mode.
const uint8_t kLfeBit[8] = {0x10, 0x10, 0x04, 0x04, 0x04, 0x01, 0x04, 0x01};
const int32_t kHalfRate[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3};

// The header in natural order, or false when the bytes start no frame of
// an order the latch allows.
bool natural_header(const Ac3Decoder* d, const uint8_t* in, uint8_t* out, int32_t* order) {
  if ((d->latch == PACKING_ANY || d->latch == AC3_ORDER_NATURAL) && in[0] == 0x0B &&
      in[1] == 0x77) {
    std::memcpy(out, in, AC3_HEADER_BYTES);
    *order = AC3_ORDER_NATURAL;
    return true;
  }
  if ((d->latch == PACKING_ANY || d->latch == AC3_ORDER_SWAPPED) && in[0] == 0x77 &&
      in[1] == 0x0B) {
    for (int32_t i = 0; i < AC3_HEADER_BYTES; i += 2) {
      out[i] = in[i + 1];
      out[i + 1] = in[i];
    }
    *order = AC3_ORDER_SWAPPED;
    return true;
  }
  return false;
}

}  // namespace

Ac3Decoder* ac3_decoder_create() {
  Ac3Decoder* d = static_cast<Ac3Decoder*>(std::calloc(1, sizeof(Ac3Decoder)));
  if (!d) return nullptr;
  d->library = a52_init(0);
  if (!d->library) {
    std::free(d);
    return nullptr;
  }
  d->latch = PACKING_ANY;
  return d;
}

void ac3_decoder_release(Ac3Decoder* d) {
  if (!d) return;
  a52_free(d->library);
  std::free(d);
}

void ac3_set_latch(Ac3Decoder* d, int32_t packing) { d->latch = packing; }
int32_t ac3_latch(const Ac3Decoder* d) { return d->latch; }

namespace {

// The frame length and facts of a header in an order the latch allows, or 0.
int32_t parse_sync(const Ac3Decoder* d, const uint8_t* in, Ac3Sync* sync) {
  uint8_t h[AC3_HEADER_BYTES];
  if (!natural_header(d, in, h, &sync->order)) return 0;
  if (h[5] >= 0x60) return 0;  // bsid 12 or more
  const int32_t frame_code = h[4] & 63;
  if (frame_code >= 38) return 0;
  const int32_t half = kHalfRate[h[5] >> 3];
  const int32_t rate = kRates[frame_code >> 1];
  int32_t length = 0;
  switch (h[4] & 0xC0) {
    case 0x00:
      sync->sample_rate = 48000 >> half;
      length = 4 * rate;
      break;
    case 0x40:
      sync->sample_rate = 44100 >> half;
      length = 2 * (320 * rate / 147 + (frame_code & 1));
      break;
    case 0x80:
      sync->sample_rate = 32000 >> half;
      length = 6 * rate;
      break;
    default:
      return 0;  // sample-rate code 3
  }
  if (length < AC3_HEADER_BYTES || length > FRAME_BUFFER_BYTES) return 0;
  sync->bit_rate = static_cast<double>((rate * 1000) >> half);
  const int32_t coded = h[6] >> 5;
  sync->coded_mode = coded;
  sync->flags = (h[6] & 0xF8) == 0x50 ? AC3_MODE_DOLBY : coded;
  if (h[6] & kLfeBit[coded]) sync->flags |= AC3_LFE;
  return length;
}

}  // namespace

int32_t ac3_frame_length(const Ac3Decoder* d, const uint8_t* in) {
  Ac3Sync sync;
  return parse_sync(d, in, &sync);
}

int32_t ac3_sync_test(Ac3Decoder* d, const uint8_t* in, InputFile* file, int32_t mode) {
  Ac3Sync sync;
  const int32_t length = parse_sync(d, in, &sync);
  if (length == 0) return 0;
  file->sample_rate = sync.sample_rate;
  file->bit_rate = sync.bit_rate;
  if (mode == FRAME_MODE_COLLECT) {
    file->out_flags = sync.coded_mode;
    file->stream_flags = sync.flags;
  }
  if (d->latch == PACKING_ANY) d->latch = sync.order;
  d->frame_bytes = length;
  return length;
}

int32_t ac3_eac3_frame_length(const uint8_t* in) {
  uint8_t h[AC3_HEADER_BYTES];
  if (in[0] == 0x0B && in[1] == 0x77) {
    std::memcpy(h, in, AC3_HEADER_BYTES);
  } else if (in[0] == 0x77 && in[1] == 0x0B) {
    for (int32_t i = 0; i < AC3_HEADER_BYTES; i += 2) {
      h[i] = in[i + 1];
      h[i + 1] = in[i];
    }
  } else {
    return 0;
  }
  const int32_t bsid = h[5] >> 3;
  if (bsid <= 10 || bsid > 16) return 0;
  if ((h[2] >> 6) == 3) return 0;  // stream type 3 is reserved
  if ((h[4] >> 4) == 15) return 0;  // sample-rate code 3 with reduced-rate code 3
  const int32_t length = (((h[2] & 7) << 8 | h[3]) + 1) * 2;
  return length >= AC3_HEADER_BYTES && length <= FRAME_BUFFER_BYTES ? length : 0;
}

int ac3_frame_setup(Ac3Decoder* d, const uint8_t* frame, InputFile* file, double* level,
                    double bias, int32_t mode) {
  const int32_t n = d->frame_bytes;
  if (n < AC3_HEADER_BYTES || n > FRAME_BUFFER_BYTES) return 1;
  if (d->latch == AC3_ORDER_SWAPPED) {
    for (int32_t i = 0; i + 1 < n; i += 2) {
      d->frame[i] = frame[i + 1];
      d->frame[i + 1] = frame[i];
    }
  } else {
    std::memcpy(d->frame, frame, static_cast<size_t>(n));
  }
  std::memset(d->frame + n, 0, 64);  // what a short read past the end finds
  int flags = file->stream_flags;
  sample_t library_level = static_cast<sample_t>(*level);
  if (a52_frame(d->library, d->frame, &flags, &library_level, static_cast<sample_t>(bias)))
    return 1;
  *level = library_level;
  // Stereo flagged Dolby Surround comes back as its own output mode; it is
  // two channels like any stereo, and a stream whose flag alone switches on
  // or off keeps one layout.
  if ((flags & 15) == AC3_MODE_DOLBY) flags = (flags & ~15) | 2;
  file->stream_flags = flags;
  if (mode == FRAME_MODE_COLLECT) file->ext_audio = ac3_surround_ex(d->frame, n);
  return 0;
}

void ac3_dynrng_off(Ac3Decoder* d) { a52_dynrng(d->library, nullptr, nullptr); }

int ac3_decode_block(Ac3Decoder* d) { return a52_block(d->library); }

const float* ac3_block_samples(Ac3Decoder* d) { return a52_samples(d->library); }

int32_t ac3_surround_ex(const uint8_t* frame, int32_t size) {
  BitReader r;
  bit_reader_init(&r, frame, size);
  bit_skip(&r, 16 + 16 + 8);  // sync word, crc1, fscod and frmsizecod
  bit_skip(&r, 5 + 3);        // bsid, bsmod
  const uint32_t acmod = bit_read(&r, 3);
  if ((acmod & 1) && acmod != 1) bit_skip(&r, 2);  // cmixlev
  if (acmod & 4) bit_skip(&r, 2);                  // surmixlev
  if (acmod == 2) bit_skip(&r, 2);                 // dsurmod
  bit_skip(&r, 1);                                 // lfeon
  for (int32_t pass = 0; pass < (acmod == 0 ? 2 : 1); ++pass) {
    bit_skip(&r, 5);                       // dialnorm
    if (bit_read(&r, 1)) bit_skip(&r, 8);  // compr
    if (bit_read(&r, 1)) bit_skip(&r, 8);  // langcod
    if (bit_read(&r, 1)) bit_skip(&r, 7);  // mixlevel, roomtyp
  }
  bit_skip(&r, 2);                        // copyrightb, origbs
  if (bit_read(&r, 1)) bit_skip(&r, 14);  // first time code / extended information 1
  if (!bit_read(&r, 1)) return 0;         // second time-code flag
  const int32_t ex = static_cast<int32_t>(bit_read(&r, 2));
  return r.overrun ? 0 : ex;
}
