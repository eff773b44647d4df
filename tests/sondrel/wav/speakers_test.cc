// Speaker labels of compressed and PCM inputs, and the extension channel count.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "wav/input_file.h"
#include "wav/speakers.h"

namespace {

struct Labelled {
  InputFile file{};
  Labelled(int32_t kind, int32_t channels, int32_t slots) {
    std::memset(&file, 0, sizeof file);
    file.kind = kind;
    file.channels = channels;
    EXPECT_EQ(alloc_channel_names(&file, slots), 0);
  }
  ~Labelled() { free_channel_names(&file); }
  std::vector<std::string> labels() const {
    std::vector<std::string> out;
    for (int32_t i = 0; i < file.channel_slots; ++i) out.push_back(file.channel_names[i]);
    return out;
  }
};

using Labels = std::vector<std::string>;

Labels compressed(int32_t kind, int32_t channels, int32_t lfe, int32_t code) {
  Labelled l(kind, channels, channels);
  l.file.has_lfe = lfe;
  l.file.out_flags = code;
  assign_speaker_labels(&l.file, 1);
  return l.labels();
}

Labels pcm(int32_t channels, uint32_t mask) {
  Labelled l(KIND_PCM_WAV, channels, channels);
  l.file.channel_mask = mask;
  assign_speaker_labels(&l.file, 1);
  return l.labels();
}

}  // namespace

TEST(SpeakerLabels, PositionLabelsCoverTheEighteenMaskBits) {
  EXPECT_STREQ(speaker_position_label(0), "FL");
  EXPECT_STREQ(speaker_position_label(2), "FC");
  EXPECT_STREQ(speaker_position_label(3), "LFE");
  EXPECT_STREQ(speaker_position_label(4), "BL");
  EXPECT_STREQ(speaker_position_label(9), "LS");
  EXPECT_STREQ(speaker_position_label(16), "TBC");
  EXPECT_STREQ(speaker_position_label(17), "TBR");
  EXPECT_EQ(speaker_position_label(18), nullptr);
  EXPECT_EQ(speaker_position_label(-1), nullptr);
}

TEST(SpeakerLabels, EveryChannelIdNamesItsMaskBit) {
  // The WAVE_FORMAT_EXTENSIBLE speaker bits (SPEAKER_FRONT_LEFT = 0x1 ...
  // SPEAKER_TOP_BACK_RIGHT = 0x20000), with the program's short names; the
  // simple-layout names stand on the front and back pairs and the centre.
  const std::pair<const char*, uint32_t> ids[] = {
      {"FL", 0x1},      {"L", 0x1},      {"FR", 0x2},      {"R", 0x2},      {"FC", 0x4},
      {"C", 0x4},       {"LFE", 0x8},    {"BL", 0x10},     {"SL", 0x10},    {"BR", 0x20},
      {"SR", 0x20},     {"FLC", 0x40},   {"FRC", 0x80},    {"BC", 0x100},   {"LS", 0x200},
      {"RS", 0x400},    {"TC", 0x800},   {"TFL", 0x1000},  {"TFC", 0x2000}, {"TFR", 0x4000},
      {"TBL", 0x8000},  {"TBC", 0x10000}, {"TBR", 0x20000}};
  for (const auto& [id, bit] : ids)
    EXPECT_EQ(1u << speaker_label_position(id), bit) << id;
  for (const char* other : {"", "X", "LF", "fl", "FLCX", "SW"})
    EXPECT_EQ(speaker_label_position(other), -1) << other;

  EXPECT_TRUE(same_speaker("L", "FL"));
  EXPECT_TRUE(same_speaker("BR", "SR"));
  EXPECT_TRUE(same_speaker("", ""));
  EXPECT_FALSE(same_speaker("SL", "LS"));
  EXPECT_FALSE(same_speaker("C", "BC"));
  EXPECT_FALSE(same_speaker("", "X"));
}

TEST(SpeakerLabels, DecodedStreamLayouts) {
  EXPECT_EQ(compressed(KIND_AC3, 1, 0, 1), (Labels{"C"}));
  EXPECT_EQ(compressed(KIND_AC3, 2, 0, 2), (Labels{"L", "R"}));
  EXPECT_EQ(compressed(KIND_AC3, 2, 1, 1), (Labels{"C", "LFE"}));
  EXPECT_EQ(compressed(KIND_AC3, 3, 1, 2), (Labels{"L", "R", "LFE"}));
  EXPECT_EQ(compressed(KIND_AC3, 3, 0, 5), (Labels{"L", "R", "C"}));
  EXPECT_EQ(compressed(KIND_AC3, 3, 0, 6), (Labels{"L", "R", "BC"}));
  EXPECT_EQ(compressed(KIND_AC3_WAV, 4, 1, 6), (Labels{"L", "R", "LFE", "BC"}));
  EXPECT_EQ(compressed(KIND_AC3, 4, 0, 8), (Labels{"FL", "FR", "BL", "BR"}));
  EXPECT_EQ(compressed(KIND_AC3, 5, 1, 8), (Labels{"FL", "FR", "LFE", "BL", "BR"}));
  EXPECT_EQ(compressed(KIND_AC3, 5, 0, 9), (Labels{"FL", "FR", "C", "SL", "SR"}));
  EXPECT_EQ(compressed(KIND_AC3, 6, 1, 9), (Labels{"FL", "FR", "C", "LFE", "SL", "SR"}));
  EXPECT_EQ(compressed(KIND_DTS, 6, 0, 11), (Labels{"FL", "FR", "FC", "TC", "BL", "BR"}));
  EXPECT_EQ(compressed(KIND_DTS, 7, 0, 13),
            (Labels{"FL", "FR", "FC", "FLC", "FRC", "BL", "BR"}));
  EXPECT_EQ(compressed(KIND_DTS, 8, 0, 15),
            (Labels{"FL", "FR", "FC", "BC", "BL", "BR", "FLC", "FRC"}));
  EXPECT_EQ(compressed(KIND_CPT, 8, 1, 13),
            (Labels{"FL", "FR", "FC", "FLC", "FRC", "BL", "BR", "LFE"}));
  // Combinations the table does not list leave every slot empty.
  EXPECT_EQ(compressed(KIND_DTS, 5, 0, 3), (Labels{"", "", "", "", ""}));
  EXPECT_EQ(compressed(KIND_DTS, 6, 0, 9), (Labels{"", "", "", "", "", ""}));
}

TEST(SpeakerLabels, DtsExtensionLayoutOnlyWhenAskedFor) {
  // 5.1 core with an extension of arrangement 14 plus LFE: 9 channels.
  Labelled l(KIND_DTS, 6, 9);
  l.file.has_lfe = 1;
  l.file.out_flags = 9;
  l.file.amode = 14;
  l.file.ext_audio = 1;
  l.file.ext_audio_id = 0;
  EXPECT_EQ(extension_channel_count(&l.file), 9);
  assign_speaker_labels(&l.file, 1);
  EXPECT_EQ(l.labels(), (Labels{"FL", "FR", "FLC", "FRC", "TFL", "TFR", "TBL", "TBR", "LFE"}));
  // Relabelled without the extension: the core layout, the rest emptied.
  assign_speaker_labels(&l.file, 0);
  EXPECT_EQ(l.labels(), (Labels{"FL", "FR", "C", "LFE", "SL", "SR", "", "", ""}));

  l.file.amode = 11;  // 6 + LFE
  EXPECT_EQ(extension_channel_count(&l.file), 7);
  assign_speaker_labels(&l.file, 1);
  EXPECT_EQ(l.labels(), (Labels{"FL", "FR", "FC", "TC", "BL", "BR", "LFE", "", ""}));

  l.file.ext_audio_id = 2;  // 96/24 extension: the core layout stays
  assign_speaker_labels(&l.file, 1);
  EXPECT_EQ(l.labels(), (Labels{"FL", "FR", "C", "LFE", "SL", "SR", "", "", ""}));
}

TEST(SpeakerLabels, ExtensionChannelCount) {
  InputFile f;
  std::memset(&f, 0, sizeof f);
  f.channels = 5;
  const int32_t expected[16] = {5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 6, 6, 6, 7, 8, 8};
  for (int32_t amode = 0; amode < 16; ++amode) {
    f.amode = amode;
    f.has_lfe = 0;
    EXPECT_EQ(extension_channel_count(&f), expected[amode]) << amode;
    f.has_lfe = 1;
    EXPECT_EQ(extension_channel_count(&f), expected[amode] + 1) << amode;
  }
}

TEST(SpeakerLabels, PcmLayoutsByCountAndMask) {
  EXPECT_EQ(pcm(1, 0), (Labels{""}));
  EXPECT_EQ(pcm(2, 0x7), (Labels{"L", "R"}));  // three mask bits, two channels
  EXPECT_EQ(pcm(3, 0), (Labels{"L", "R", "C"}));
  EXPECT_EQ(pcm(3, 0xB), (Labels{"L", "R", "LFE"}));
  EXPECT_EQ(pcm(3, 0x103), (Labels{"L", "R", "BC"}));
  EXPECT_EQ(pcm(4, 0), (Labels{"FL", "FR", "BL", "BR"}));
  EXPECT_EQ(pcm(4, 0xF), (Labels{"L", "R", "C", "LFE"}));
  EXPECT_EQ(pcm(4, 0x10B), (Labels{"L", "R", "LFE", "BC"}));
  EXPECT_EQ(pcm(5, 0x133), (Labels{"FL", "FR", "BL", "BR", "BC"}));
  EXPECT_EQ(pcm(5, 0x10F), (Labels{"FL", "FR", "C", "LFE", "BC"}));
  EXPECT_EQ(pcm(5, 0x3B), (Labels{"FL", "FR", "LFE", "SL", "SR"}));
  EXPECT_EQ(pcm(5, 0), (Labels{"FL", "FR", "C", "SL", "SR"}));
  EXPECT_EQ(pcm(6, 0), (Labels{"FL", "FR", "C", "LFE", "SL", "SR"}));
  EXPECT_EQ(pcm(6, 0x137), (Labels{"FL", "FR", "FC", "BL", "BR", "BC"}));
  EXPECT_EQ(pcm(7, 0xFF), (Labels{"FL", "FR", "FLC", "FRC", "LFE", "BL", "BR"}));
  EXPECT_EQ(pcm(7, 0), (Labels{"FL", "FR", "FC", "LFE", "BL", "BR", "FLC"}));
  EXPECT_EQ(pcm(8, 0), (Labels{"FL", "FR", "FC", "LFE", "BL", "BR", "FLC", "FRC"}));
  EXPECT_EQ(pcm(10, 0),
            (Labels{"FL", "FR", "FC", "LFE", "BL", "BR", "FLC", "FRC", "BC", "LS"}));
  EXPECT_EQ(pcm(12, 0), (Labels{"FL", "FR", "FC", "LFE", "SL", "SR", "FLC", "FRC", "BC", "LS",
                                "RS", "TC"}));
  EXPECT_EQ(pcm(18, 0), (Labels{"FL", "FR", "FC", "LFE", "SL", "SR", "FLC", "FRC", "BC", "LS",
                                "RS", "TC", "TFL", "TFC", "TFR", "TBL", "TBC", "TBR"}));
}

TEST(SpeakerLabels, NeverWritesPastTheSlots) {
  Labelled few(KIND_PCM_WAV, 6, 2);
  assign_speaker_labels(&few.file, 0);
  EXPECT_EQ(few.labels(), (Labels{"FL", "FR"}));
  Labelled none(KIND_AC3, 6, 0);
  none.file.has_lfe = 1;
  assign_speaker_labels(&none.file, 0);  // no slots: nothing to write, no crash
  EXPECT_EQ(none.file.channel_names, nullptr);
}
