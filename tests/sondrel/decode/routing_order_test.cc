// Every routing entry a stream can reach, checked against the channel order
// each library documents for its sample buffer: for each output mode, with
// and without LFE, the slot that carries a speaker's label must be fed from
// that speaker's place in the buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "decode/routing.h"
#include "decode/stream_layout.h"
#include "wav/input_file.h"
#include "wav/speakers.h"

namespace {

enum Speaker { LEFT, RIGHT, CENTRE, SURROUND, LEFT_SURROUND, RIGHT_SURROUND, LFE, NONE };

// The libraries' documentation: liba52 fills its buffer with "LFE, left,
// center, right, left surround, right surround", libdca with "center, left,
// right, left surround, right surround, LFE"; channels the output mode does
// not have are skipped, not left empty. A single surround takes the place of
// the left surround.
const Speaker A52_ORDER[] = {LFE, LEFT, CENTRE, RIGHT, LEFT_SURROUND, RIGHT_SURROUND};
const Speaker DCA_ORDER[] = {CENTRE, LEFT, RIGHT, LEFT_SURROUND, RIGHT_SURROUND, LFE};

struct Mode {
  int32_t flags;                 // the library's output mode without the LFE bit
  std::vector<Speaker> present;  // full-band channels of the mode
};

// A/52 acmod 1 to 7 and DTS AMODE 0 to 9 (1 to 4 are the two-channel modes).
const Mode A52_MODES[] = {{1, {CENTRE}},
                          {2, {LEFT, RIGHT}},
                          {3, {LEFT, CENTRE, RIGHT}},
                          {4, {LEFT, RIGHT, SURROUND}},
                          {5, {LEFT, CENTRE, RIGHT, SURROUND}},
                          {6, {LEFT, RIGHT, LEFT_SURROUND, RIGHT_SURROUND}},
                          {7, {LEFT, CENTRE, RIGHT, LEFT_SURROUND, RIGHT_SURROUND}}};
const Mode DCA_MODES[] = {{0, {CENTRE}},
                          {1, {LEFT, RIGHT}},
                          {2, {LEFT, RIGHT}},
                          {3, {LEFT, RIGHT}},
                          {4, {LEFT, RIGHT}},
                          {5, {CENTRE, LEFT, RIGHT}},
                          {6, {LEFT, RIGHT, SURROUND}},
                          {7, {CENTRE, LEFT, RIGHT, SURROUND}},
                          {8, {LEFT, RIGHT, LEFT_SURROUND, RIGHT_SURROUND}},
                          {9, {CENTRE, LEFT, RIGHT, LEFT_SURROUND, RIGHT_SURROUND}}};

// The speaker a slot label names.
Speaker speaker_of(const std::string& label) {
  if (label == "L" || label == "FL") return LEFT;
  if (label == "R" || label == "FR") return RIGHT;
  if (label == "C" || label == "FC") return CENTRE;
  if (label == "BC") return SURROUND;
  if (label == "SL" || label == "BL") return LEFT_SURROUND;
  if (label == "SR" || label == "BR") return RIGHT_SURROUND;
  if (label == "LFE") return LFE;
  return NONE;
}

// Index of `speaker` in the buffer of a library whose order is `order`.
int32_t buffer_index(const Speaker* order, const Mode& mode, bool lfe, Speaker speaker) {
  auto has = [&](Speaker s) {
    if (s == LFE) return lfe;
    for (Speaker p : mode.present)
      if (p == s || (p == SURROUND && s == LEFT_SURROUND)) return true;
    return false;
  };
  if (speaker == SURROUND) speaker = LEFT_SURROUND;
  int32_t index = 0;
  for (int i = 0; i < 6; ++i) {
    if (order[i] == speaker) return has(speaker) ? index : -1;
    index += has(order[i]);
  }
  return -1;
}

// Labels the slots of a stream of `mode` as the program does and checks the
// routing entry behind each one.
void check_family(bool ac3, const Mode* modes, size_t count, const int32_t* table) {
  for (size_t m = 0; m < count; ++m) {
    const Mode& mode = modes[m];
    for (bool lfe : {false, true}) {
      InputFile f;
      std::memset(&f, 0, sizeof f);
      init_input_file(&f);
      f.kind = ac3 ? KIND_AC3 : KIND_DTS;
      f.stream_flags = mode.flags | (lfe ? (ac3 ? 0x10 : 0x80) : 0);
      if (ac3) {
        derive_ac3_layout(&f);
      } else {
        derive_dts_layout(&f);
        f.has_lfe = lfe;
        f.out_flags = mode.flags;
      }
      const std::string what = std::string(ac3 ? "AC-3" : "DTS") + " mode " +
                               std::to_string(mode.flags) + (lfe ? " with LFE" : "");
      ASSERT_EQ(f.channels, static_cast<int32_t>(mode.present.size()) + lfe) << what;
      ASSERT_EQ(alloc_channel_names(&f, f.channels), 0);
      assign_speaker_labels(&f, 0);
      for (int32_t slot = 0; slot < f.channels; ++slot) {
        const std::string label = f.channel_names[slot];
        const int32_t index =
            buffer_index(ac3 ? A52_ORDER : DCA_ORDER, mode, lfe, speaker_of(label));
        ASSERT_GE(index, 0) << what << ", slot " << slot << " labelled '" << label << "'";
        EXPECT_EQ(table[(mode.flags * 6 + slot) * 2 + (lfe ? 1 : 0)], 256 * index)
            << what << ", slot " << slot << " (" << label << ")";
      }
      free_channel_names(&f);
    }
  }
}

TEST(RoutingOrder, Ac3EntriesFollowLiba52ChannelOrder) {
  check_family(true, A52_MODES, sizeof A52_MODES / sizeof A52_MODES[0], ac3_channel_offsets);
}

TEST(RoutingOrder, DtsEntriesFollowLibdcaChannelOrder) {
  check_family(false, DCA_MODES, sizeof DCA_MODES / sizeof DCA_MODES[0], dts_channel_offsets);
}

}  // namespace
