// Input list: splitting at '*', classification by extension, the skip
// messages in their single and batch forms, display names, and the table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frontend/input_list.h"
#include "test_files.h"

namespace {

struct ListResult {
  int32_t counted = 0, filled = 0, tokens = 0, skip = 0;
  std::string err;
  std::vector<InputFile> table;
};

// Both passes, as the entry runs them.
ListResult run_list(const std::string& list) {
  ListResult r;
  std::string copy = list;
  r.counted = parse_input_list(&copy[0], nullptr, 0, 1, &r.skip, &r.tokens);
  EXPECT_EQ(r.skip, 0) << "the counting pass never sets the skip flag";
  r.table.resize(static_cast<size_t>(r.counted > 0 ? r.counted : 1));
  copy = list;
  testing::internal::CaptureStderr();
  r.filled = parse_input_list(&copy[0], r.table.data(), r.counted, 0, &r.skip, &r.tokens);
  r.err = testing::internal::GetCapturedStderr();
  return r;
}

class InputList : public testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"a.ac3", "b.DTS", "c.wav", "d.cpt", "e f.wav"})
      write_text(dir.file(name), "x");
  }
  std::string at(const char* name) { return dir.file(name); }
  TempDir dir;
};

TEST_F(InputList, KindsInListOrder) {
  ListResult r = run_list(at("a.ac3") + "*" + at("b.DTS") + "*" + at("c.wav") + "*" + at("d.cpt"));
  ASSERT_EQ(r.filled, 4);
  EXPECT_EQ(r.tokens, 4);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.table[0].kind, KIND_AC3);
  EXPECT_EQ(r.table[1].kind, KIND_DTS);
  EXPECT_EQ(r.table[2].kind, KIND_PCM_WAV);
  EXPECT_EQ(r.table[3].kind, KIND_CPT);
  EXPECT_EQ(r.table[0].path, at("a.ac3"));
  EXPECT_STREQ(r.table[0].display_name, "a.ac3");
  EXPECT_EQ(r.table[2].file_size, 1u);
  EXPECT_EQ(r.table[2].is_float, 1);
}

TEST_F(InputList, RunsOfSeparatorsMakeNoEmptyNames) {
  ListResult r = run_list("*" + at("a.ac3") + "**" + at("a.ac3") + "*");
  EXPECT_EQ(r.filled, 2);
  EXPECT_EQ(r.tokens, 2);
}

TEST_F(InputList, SingleBadNamePrintsThePlainMessage) {
  const std::string unsupported =
      "Unsupported cmd or file type. (use double quotes around filenames having spaces)";
  EXPECT_EQ(run_list("x.mp3").err, unsupported);
  EXPECT_EQ(run_list("a.ac").err, unsupported);
  EXPECT_EQ(run_list("name.wav\"").err, unsupported);
  ListResult missing = run_list(at("none.wav"));
  EXPECT_EQ(missing.err, "Error: Unable to open file: " + at("none.wav") + "\n");
  EXPECT_EQ(missing.filled, 0);
  EXPECT_EQ(missing.skip, 1);
  ListResult bad = run_list(at("c.wav") + "|");
  EXPECT_EQ(bad.err, unsupported);
  ListResult chars = run_list(dir.path() + "/c?.wav");
  EXPECT_EQ(chars.err, "Error: Invalid characters in filename: " + dir.path() + "/c?.wav\n");
}

TEST_F(InputList, BatchSkipsSayTheFileIsSkipped) {
  ListResult r = run_list("x.mp3*" + at("a.ac3") + "*" + at("gone.dts") + "*" + at("c<.wav"));
  EXPECT_EQ(r.filled, 1);
  EXPECT_EQ(r.tokens, 4);
  EXPECT_EQ(r.skip, 1);
  EXPECT_EQ(r.err,
            "Unsupported cmd or file type. (use double quotes around filenames having spaces) [skipping file]"
            "Error: Unable to open file: " + at("gone.dts") + " [skipping file]\n"
            "Error: Invalid characters in filename: " + at("c<.wav") + " [skipping file]\n");
  EXPECT_STREQ(r.table[0].display_name, "a.ac3");
}

TEST_F(InputList, DirectoriesAndOverlongNamesAreRefused) {
  make_directory(at("folder.wav"));
  EXPECT_EQ(run_list(at("folder.wav")).err, "Error: Unable to open file: " + at("folder.wav") + "\n");
  std::string long_name = dir.path() + "/" + std::string(260, 'n') + ".wav";
  ListResult r = run_list(long_name + "*" + at("c.wav"));
  EXPECT_EQ(r.filled, 1);
  EXPECT_EQ(r.err, "Error: Filename too long (255 characters at most): " + long_name +
                       " [skipping file]\n");
}

TEST(DisplayName, TextAfterTheLastSeparator) {
  TempDir dir;
  make_directory(dir.file("sub"));
  write_text(dir.file("sub/track.wav"), "x");
  write_text(dir.file("sub/dir\\x\\track2.wav"), "x");
  std::string list = dir.file("sub/track.wav") + "*" + dir.file("sub/dir\\x\\track2.wav");
  std::string copy = list;
  int32_t skip = 0, tokens = 0;
  std::vector<InputFile> table(2);
  ASSERT_EQ(parse_input_list(&copy[0], table.data(), 2, 0, &skip, &tokens), 2);
  EXPECT_STREQ(table[0].display_name, "track.wav");
  EXPECT_STREQ(table[1].display_name, "track2.wav");
}

TEST(ClassifyExtension, QuotedAndShortNames) {
  int32_t kind = -1;
  EXPECT_EQ(classify_extension("out.WAV", &kind), 0);
  EXPECT_EQ(kind, KIND_PCM_WAV);
  EXPECT_EQ(classify_extension("\"a b.ac3\"", &kind), 0);
  EXPECT_EQ(kind, KIND_AC3);
  EXPECT_EQ(classify_extension("\".ac3\"", &kind), 1);  // quoted, too short
  EXPECT_EQ(classify_extension(".wav", &kind), 1);
  EXPECT_EQ(classify_extension("x.dts\"", &kind), 1);   // closing quote without an opening one
  EXPECT_EQ(classify_extension("a.cpt", &kind), 0);
  EXPECT_EQ(kind, KIND_CPT);
}

}  // namespace
