// The channel offset tables of both decoder families: for each decoder
// output mode (11 rows), slot (6) and LFE presence (2), the offset of the
// slot's source channel in the decoder's sample buffer.
#pragma once
#include <cstdint>

constexpr int32_t ROUTING_ENTRIES = 132;
constexpr int32_t ROUTING_FAMILY_DTS = 2;
constexpr int32_t ROUTING_FAMILY_AC3 = 4;

extern const int32_t ac3_channel_offsets[ROUTING_ENTRIES];
extern const int32_t dts_channel_offsets[ROUTING_ENTRIES];
