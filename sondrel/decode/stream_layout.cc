// The layout tables of both families and the derivations from flag words.
#include "decode/stream_layout.h"

#include "decode/ac3_decoder.h"
#include "decode/dts_decoder.h"

namespace {

constexpr uint32_t kLfeSpeakerBit = 0x8;  // speaker position 3 of a channel mask

// AC-3 output mode (flags & 15): speaker mask, channels before LFE (0: no
// count), arrangement code.
const uint32_t kAc3Mask[16] = {0x4, 0x4, 0x3, 0x7, 0x103, 0x107, 0x33, 0x37,
                               0x4, 0x4, 0x3, 0,   0,     0,     0,    0};
// Dolby Surround stereo (10) is two channels, labelled and routed as stereo.
const int32_t kAc3Channels[16] = {0, 1, 2, 3, 3, 4, 4, 5, 0, 0, 2, 0, 0, 0, 0, 0};
const int32_t kAc3Code[16] = {0, 1, 2, 5, 6, 7, 8, 9, 8, 9, 2, 11, 12, 13, 14, 15};

const int32_t kDtsChannels[16] = {1, 2, 2, 2, 2, 3, 3, 4, 4, 5, 6, 6, 6, 7, 8, 8};
const uint32_t kDtsMask[16] = {0x4,  0x3,  0x3, 0x3, 0x3, 0x7, 0x103, 0x107,
                               0x33, 0x37, 0,   0,   0,   0,   0,     0};

}  // namespace

int32_t dts_arrangement_channels(int32_t amode) {
  return amode >= 0 && amode < 16 ? kDtsChannels[amode] : 0;
}

uint32_t dts_arrangement_mask(int32_t amode) {
  return amode >= 0 && amode < 16 ? kDtsMask[amode] : 0;
}

void derive_ac3_layout(InputFile* f) {
  const int32_t mode = f->stream_flags & 15;
  f->out_flags = f->stream_flags;
  f->channel_mask = kAc3Mask[mode];
  if (f->stream_flags & AC3_LFE) {
    f->has_lfe = 1;
    f->channel_mask |= kLfeSpeakerBit;
    f->out_flags &= ~AC3_LFE;
  }
  if (kAc3Channels[mode] > 0) {
    f->channels = kAc3Channels[mode];
    f->out_flags = kAc3Code[mode];
  }
  if (f->has_lfe == 1) f->channels += 1;
}

void derive_dts_layout(InputFile* f) {
  const int32_t amode = f->stream_flags & 63;
  f->channels = dts_arrangement_channels(amode);
  f->channel_mask = dts_arrangement_mask(amode);
  if (f->stream_flags & DTS_LFE) {
    f->channels += 1;
    f->channel_mask |= kLfeSpeakerBit;
  }
}

int32_t flags_without_lfe(int32_t kind, int32_t flags) {
  return flags & ~(is_ac3_family(kind) ? AC3_LFE : DTS_LFE);
}
