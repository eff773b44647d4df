// libdca behind our own names: packing latch, header facts, and frame
// set-up on a 16-bit big-endian copy of each frame.
#include "decode/dts_decoder.h"

#include <cstdlib>
#include <cstring>

#include "decode/bit_reader.h"
#include "decode/frame_buffer.h"
#include "decode/library_messages.h"
#include "decode/stream_layout.h"

extern "C" {
#include <dca.h>
}

struct DtsDecoder {
  dca_state_t* library;
  int32_t latch;        // PACKING_ANY or one of the DTS_PACK_ values
  int32_t frame_bytes;  // packed length the last accepted sync test reported
  uint8_t frame[FRAME_BUFFER_BYTES + FRAME_READ_MARGIN];  // 16-bit big-endian copy
};

namespace {

const int32_t kSampleRates[16] = {0,     8000, 16000, 32000, 0,     0,     11025, 22050,
                                  44100, 0,    0,     12000, 24000, 48000, 0,     0};
const int32_t kBitRates[29] = {
    32000,   56000,   64000,   96000,   112000,  128000,  192000,  224000,  256000,  320000,
    384000,  448000,  512000,  576000,  640000,  768000,  960000,  1024000, 1152000, 1280000,
    1344000, 1408000, 1411200, 1472000, 1536000, 1920000, 2048000, 3072000, 3840000};
const int32_t kResolution[8] = {16, 16, 20, 20, 0, 24, 24, 0};

// Smallest core frame (FSIZE 95).
constexpr int32_t kMinPayload = 96;

}  // namespace

int32_t dts_find_packing(const uint8_t* b) {
  if (b[0] == 0x7F && b[1] == 0xFE && b[2] == 0x80 && b[3] == 0x01) return DTS_PACK_16_BE;
  if (b[0] == 0xFE && b[1] == 0x7F && b[2] == 0x01 && b[3] == 0x80) return DTS_PACK_16_LE;
  // 14-bit words: the sync word's last four bits open the third word.
  if (b[0] == 0x1F && b[1] == 0xFF && b[2] == 0xE8 && b[3] == 0x00 && (b[4] & 0x3C) == 0x04)
    return DTS_PACK_14_BE;
  if (b[0] == 0xFF && b[1] == 0x1F && b[2] == 0x00 && b[3] == 0xE8 && (b[5] & 0x3C) == 0x04)
    return DTS_PACK_14_LE;
  return PACKING_ANY;
}

int32_t dts_packed_length(int32_t payload_bytes, int32_t packing) {
  // A 14-bit frame fills whole words: its last word carries the frame's last
  // bits, padded. Leaving it out cut the end of the last subframe off.
  if (packing == DTS_PACK_14_BE || packing == DTS_PACK_14_LE)
    return (payload_bytes * 8 + 13) / 14 * 2;
  return payload_bytes;
}

int32_t dts_unpack(const uint8_t* in, int32_t size, int32_t packing, uint8_t* out) {
  const bool little = packing == DTS_PACK_16_LE || packing == DTS_PACK_14_LE;
  if (packing == DTS_PACK_16_BE) {
    std::memcpy(out, in, static_cast<size_t>(size));
    return size;
  }
  if (packing == DTS_PACK_16_LE) {
    for (int32_t i = 0; i + 1 < size; i += 2) {
      out[i] = in[i + 1];
      out[i + 1] = in[i];
    }
    return size & ~1;
  }
  uint32_t acc = 0;
  int32_t bits = 0, n = 0;
  for (int32_t i = 0; i + 1 < size; i += 2) {
    acc = (acc << 14) | (dts_word(in + i, little) & 0x3FFF);
    bits += 14;
    while (bits >= 8) {
      bits -= 8;
      out[n++] = static_cast<uint8_t>(acc >> bits);
    }
    acc &= (1u << bits) - 1;
  }
  return n;
}

void dts_parse_header(const uint8_t* bytes, int32_t size, DtsHeader* h) {
  BitReader r;
  bit_reader_init(&r, bytes, size);
  std::memset(h, 0, sizeof *h);
  bit_skip(&r, 32);  // sync word
  h->frame_type = static_cast<int32_t>(bit_read(&r, 1));
  bit_skip(&r, 5);  // deficit sample count
  const uint32_t crc_present = bit_read(&r, 1);
  h->sample_count = (static_cast<int32_t>(bit_read(&r, 7)) + 1) * 32;
  h->payload_bytes = static_cast<int32_t>(bit_read(&r, 14)) + 1;
  h->amode = static_cast<int32_t>(bit_read(&r, 6));
  h->sample_rate = kSampleRates[bit_read(&r, 4)];
  h->rate_code = static_cast<int32_t>(bit_read(&r, 5));
  h->bit_rate = h->rate_code < 29 ? kBitRates[h->rate_code] : h->rate_code - 28;
  bit_skip(&r, 5);  // downmix, dynamic range, time stamp, auxiliary, HDCD
  h->ext_audio_id = static_cast<int32_t>(bit_read(&r, 3));
  h->ext_audio = static_cast<int32_t>(bit_read(&r, 1));
  bit_skip(&r, 1);  // audio sync word insertion
  h->lfe = static_cast<int32_t>(bit_read(&r, 2));
  const bool sync_facts = !r.overrun;
  bit_skip(&r, 1);  // predictor history
  if (crc_present) bit_skip(&r, 16);
  bit_skip(&r, 1 + 4 + 2);  // multirate interpolator, encoder version, copy history
  h->pcm_resolution = kResolution[bit_read(&r, 3)];
  h->complete = sync_facts && !r.overrun;
  if (!sync_facts) h->sample_rate = 0;
}

DtsDecoder* dts_decoder_create() {
  DtsDecoder* d = static_cast<DtsDecoder*>(std::calloc(1, sizeof(DtsDecoder)));
  if (!d) return nullptr;
  d->library = dca_init(0);
  if (!d->library) {
    std::free(d);
    return nullptr;
  }
  d->latch = PACKING_ANY;
  return d;
}

void dts_decoder_release(DtsDecoder* d) {
  if (!d) return;
  dca_free(d->library);
  std::free(d);
}

void dts_set_latch(DtsDecoder* d, int32_t packing) { d->latch = packing; }
int32_t dts_latch(const DtsDecoder* d) { return d->latch; }

namespace {

// The packed frame length and header of a frame start in a packing the
// latch allows, or 0.
int32_t parse_sync(const DtsDecoder* d, const uint8_t* in, int32_t* packing, DtsHeader* h) {
  *packing = dts_find_packing(in);
  if (*packing == PACKING_ANY || (d->latch != PACKING_ANY && d->latch != *packing)) return 0;
  uint8_t words[DTS_HEADER_BYTES];
  const int32_t n = dts_unpack(in, DTS_HEADER_BYTES, *packing, words);
  dts_parse_header(words, n, h);
  // The sync facts end at bit 87, inside the 98 bits of seven 14-bit words.
  if (h->sample_rate == 0 || h->payload_bytes < kMinPayload) return 0;
  const int32_t length = dts_packed_length(h->payload_bytes, *packing);
  if (length < DTS_HEADER_BYTES || length > FRAME_BUFFER_BYTES) return 0;
  return length;
}

}  // namespace

int32_t dts_frame_length(const DtsDecoder* d, const uint8_t* in) {
  int32_t packing = PACKING_ANY;
  DtsHeader h;
  return parse_sync(d, in, &packing, &h);
}

int32_t dts_sync_test(DtsDecoder* d, const uint8_t* in, InputFile* file, int32_t mode,
                      int32_t* sample_count) {
  int32_t packing = PACKING_ANY;
  DtsHeader h;
  const int32_t length = parse_sync(d, in, &packing, &h);
  if (length == 0) return 0;
  if (mode != FRAME_MODE_COUNT) {
    file->stream_flags = h.amode | (h.lfe ? DTS_LFE : 0);
    file->sample_rate = h.sample_rate;
    file->bit_rate = h.bit_rate;
    if (d->latch == PACKING_ANY)
      file->word_bits = (packing == DTS_PACK_14_BE || packing == DTS_PACK_14_LE) ? 14 : 16;
  }
  if (d->latch == PACKING_ANY) d->latch = packing;
  d->frame_bytes = length;
  if (sample_count) *sample_count = h.sample_count;
  return length;
}

int dts_frame_setup(DtsDecoder* d, const uint8_t* frame, InputFile* file, double* level,
                    double bias) {
  const int32_t n = d->frame_bytes;
  if (n < DTS_HEADER_BYTES || n > FRAME_BUFFER_BYTES || d->latch == PACKING_ANY) return 1;
  const int32_t words = dts_unpack(frame, n, d->latch, d->frame);
  std::memset(d->frame + words, 0, 4096);
  DtsHeader h;
  dts_parse_header(d->frame, words, &h);
  if (!h.complete || h.sample_rate == 0) return 1;
  int flags = 0, rate = 0, bit_rate = 0, length = 0;
  library_messages_mute();
  int failed = dca_syncinfo(d->library, d->frame, &flags, &rate, &bit_rate, &length) <= 0;
  flags = file->stream_flags;
  level_t library_level = static_cast<level_t>(*level);
  if (!failed)
    failed = dca_frame(d->library, d->frame, &flags, &library_level, static_cast<sample_t>(bias));
  // A frame the library complains about is damaged, whatever it returned.
  if (library_messages_unmute() > 0 || failed) return 1;
  *level = library_level;
  file->stream_flags = flags;
  file->frame_size = n;
  file->sample_rate = h.sample_rate;
  file->bits = h.pcm_resolution;
  file->bit_rate = h.bit_rate;
  file->has_lfe = h.lfe ? 1 : 0;
  file->channels = dts_arrangement_channels(h.amode) + file->has_lfe;
  file->ext_audio_id = h.ext_audio_id;
  file->ext_audio = h.ext_audio;
  return 0;
}

int32_t dts_frame_blocks(DtsDecoder* d) { return dca_blocks_num(d->library); }
void dts_dynrng_off(DtsDecoder* d) { dca_dynrng(d->library, nullptr, nullptr); }
int dts_decode_block(DtsDecoder* d) {
  library_messages_mute();
  const int failed = dca_block(d->library);
  return library_messages_unmute() > 0 || failed ? 1 : 0;
}
const float* dts_block_samples(DtsDecoder* d) { return dca_samples(d->library); }
