// Digit grouping, the separator line, and speaker labels from a channel mask.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "report/digits.h"
#include "report/speaker_mask.h"

namespace {

std::string grouped(const char* number, size_t size = 64) {
  std::vector<char> out(size);
  return group_digits(number, out.data(), out.size());
}

std::string bits(uint32_t mask) {
  char row[SPEAKER_ROW_CAPACITY];
  std::memset(row, 'x', sizeof row);
  speaker_mask_bits(mask, row);
  return row;
}

// Labels read from a mask into `slots` slots, and the count returned.
std::pair<std::vector<std::string>, int32_t> labels(uint32_t mask, int32_t slots) {
  InputFile f;
  std::memset(&f, 0, sizeof f);
  EXPECT_EQ(alloc_channel_names(&f, slots), 0);
  const std::string row = bits(mask);
  const int32_t count = labels_from_mask(&f, row.c_str());
  std::vector<std::string> out;
  for (int32_t i = 0; i < f.channel_slots; ++i) out.push_back(f.channel_names[i]);
  free_channel_names(&f);
  return {out, count};
}

using Labels = std::vector<std::string>;

}  // namespace

TEST(GroupDigits, GroupsTheIntegerPartOnly) {
  EXPECT_EQ(grouped("999"), "999");
  EXPECT_EQ(grouped("1000"), "1,000");
  EXPECT_EQ(grouped("48000"), "48,000");
  EXPECT_EQ(grouped("123456"), "123,456");
  EXPECT_EQ(grouped("1234567.891000"), "1,234,567.891000");
  EXPECT_EQ(grouped("1234567.50"), "1,234,567.50");
  EXPECT_EQ(grouped("0.000000"), "0.000000");
  EXPECT_EQ(grouped("18446744073709551615"), "18,446,744,073,709,551,615");
  // A short buffer gets a terminated prefix, never an overrun.
  EXPECT_EQ(grouped("1234567", 6), "1,234");
}

TEST(GroupDigits, SeparatorOnlyForBatches) {
  testing::internal::CaptureStderr();
  print_separator(1);
  print_separator(0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  testing::internal::CaptureStderr();
  print_separator(2);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), std::string(79, '-') + "\n");
}

TEST(SpeakerMask, BitRowShowsBits17DownTo0) {
  EXPECT_EQ(bits(0x3F), "000000000000111111");
  EXPECT_EQ(bits(0x30000), "110000000000000000");
  EXPECT_EQ(bits(0x1), "000000000000000001");
  EXPECT_EQ(bits(0x63F), "000000011000111111");
  EXPECT_EQ(bits(0), "000000000000000000");
  EXPECT_EQ(bits(0xFFFC0000u), "000000000000000000");  // bits above 17 are not shown
}

TEST(SpeakerMask, LabelsFollowTheMaskWithSimpleLayoutNames) {
  EXPECT_EQ(labels(0x3F, 6), (std::make_pair(Labels{"FL", "FR", "C", "LFE", "SL", "SR"}, 6)));
  EXPECT_EQ(labels(0x33, 4), (std::make_pair(Labels{"FL", "FR", "BL", "BR"}, 4)));
  EXPECT_EQ(labels(0x63F, 8),
            (std::make_pair(Labels{"FL", "FR", "FC", "LFE", "BL", "BR", "LS", "RS"}, 8)));
  EXPECT_EQ(labels(0x7, 3), (std::make_pair(Labels{"L", "R", "C"}, 3)));
  EXPECT_EQ(labels(0x3, 2), (std::make_pair(Labels{"L", "R"}, 2)));
  EXPECT_EQ(labels(0x30000, 2), (std::make_pair(Labels{"TBC", "TBR"}, 2)));
  EXPECT_EQ(labels(0x107, 4), (std::make_pair(Labels{"FL", "FR", "FC", "BC"}, 4)));
  EXPECT_EQ(labels(0x12, 2), (std::make_pair(Labels{"FR", "SL"}, 2)));
  EXPECT_EQ(labels(0x3FFFF, 18),
            (std::make_pair(Labels{"FL", "FR", "FC", "LFE", "BL", "BR", "FLC", "FRC", "BC", "LS",
                                   "RS", "TC", "TFL", "TFC", "TFR", "TBL", "TBC", "TBR"},
                            18)));
}

TEST(SpeakerMask, WritingStopsAtTheSlotsButCountsEveryBit) {
  // A stereo file whose mask names six speakers: two labels, six bits.
  EXPECT_EQ(labels(0x3F, 2), (std::make_pair(Labels{"FL", "FR"}, 6)));
  EXPECT_EQ(labels(0x3F, 0), (std::make_pair(Labels{}, 6)));
}
