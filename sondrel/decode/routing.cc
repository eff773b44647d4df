// The channel offset tables: for each decoder output mode (row), slot and
// LFE presence, the offset of the slot's source channel in the decoder's
// sample buffer (256 x the library's channel index).
#include "decode/routing.h"

namespace {
constexpr int32_t B = 256;
}

// liba52 puts the LFE first, then left, centre, right, surrounds.
const int32_t ac3_channel_offsets[ROUTING_ENTRIES] = {
    // mode 0 (dual mono): not reached
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    // mode 1 (mono): C | C, LFE
    0 * B, 1 * B, 0, 0 * B, 0, 0, 0, 0, 0, 0, 0, 0,
    // mode 2 (stereo): L, R | L, R, LFE
    0 * B, 1 * B, 1 * B, 2 * B, 0, 0 * B, 0, 0, 0, 0, 0, 0,
    // mode 3 (3/0): L, R, C | L, R, C, LFE
    0 * B, 1 * B, 2 * B, 3 * B, 1 * B, 2 * B, 0, 0 * B, 0, 0, 0, 0,
    // mode 4 (2/1): L, R, S | L, R, LFE, S
    0 * B, 1 * B, 1 * B, 2 * B, 2 * B, 0 * B, 0, 3 * B, 0, 0, 0, 0,
    // mode 5 (3/1): L, R, C, S | L, R, C, S, LFE
    0 * B, 1 * B, 2 * B, 3 * B, 1 * B, 2 * B, 3 * B, 4 * B, 0, 0 * B, 0, 0,
    // mode 6 (2/2): L, R, SL, SR | L, R, LFE, SL, SR
    0 * B, 1 * B, 1 * B, 2 * B, 2 * B, 0 * B, 3 * B, 3 * B, 0, 4 * B, 0, 0,
    // mode 7 (3/2): L, R, C, SL, SR | L, R, C, LFE, SL, SR
    0 * B, 1 * B, 2 * B, 3 * B, 1 * B, 2 * B, 3 * B, 0 * B, 4 * B, 4 * B, 0, 5 * B,
    // modes 8 and 9 (single channels of a pair): not reached
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    // mode 10 (Dolby Surround stereo, given as stereo by the decoder layer): as stereo
    0 * B, 1 * B, 1 * B, 2 * B, 0, 0 * B, 0, 0, 0, 0, 0, 0,
};

// libdca puts the centre first in the three-front modes and the LFE last.
const int32_t dts_channel_offsets[ROUTING_ENTRIES] = {
    // mode 0 (mono): C | C, LFE
    0 * B, 0 * B, 0, 1 * B, 0, 0, 0, 0, 0, 0, 0, 0,
    // modes 1 to 4 (two channels): L, R | L, R, LFE
    0 * B, 0 * B, 1 * B, 1 * B, 0, 2 * B, 0, 0, 0, 0, 0, 0,
    0 * B, 0 * B, 1 * B, 1 * B, 0, 2 * B, 0, 0, 0, 0, 0, 0,
    0 * B, 0 * B, 1 * B, 1 * B, 0, 2 * B, 0, 0, 0, 0, 0, 0,
    0 * B, 0 * B, 1 * B, 1 * B, 0, 2 * B, 0, 0, 0, 0, 0, 0,
    // mode 5 (3/0): L, R, C | L, R, C, LFE
    1 * B, 1 * B, 2 * B, 2 * B, 0 * B, 0 * B, 0, 3 * B, 0, 0, 0, 0,
    // mode 6 (2/1): L, R, S | L, R, LFE, S
    0 * B, 0 * B, 1 * B, 1 * B, 2 * B, 3 * B, 0, 2 * B, 0, 0, 0, 0,
    // mode 7 (3/1): L, R, C, S | L, R, C, S, LFE
    1 * B, 1 * B, 2 * B, 2 * B, 0 * B, 0 * B, 3 * B, 3 * B, 0, 4 * B, 0, 0,
    // mode 8 (2/2): L, R, SL, SR | L, R, LFE, SL, SR
    0 * B, 0 * B, 1 * B, 1 * B, 2 * B, 4 * B, 3 * B, 2 * B, 0, 3 * B, 0, 0,
    // mode 9 (3/2): L, R, C, SL, SR | L, R, C, LFE, SL, SR
    1 * B, 1 * B, 2 * B, 2 * B, 0 * B, 0 * B, 3 * B, 5 * B, 4 * B, 3 * B, 0, 4 * B,
    // mode 10: not reached
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
};
