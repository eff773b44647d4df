// The information report, byte for byte, for hand-filled records of every kind.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "report/file_info.h"
#include "wav/input_file.h"

namespace {

const std::string dashes = std::string(79, '-') + "\n";

struct Record {
  InputFile f;
  Record(const char* name, int32_t kind) {
    std::memset(&f, 0, sizeof f);
    std::snprintf(f.display_name, sizeof f.display_name, "%s", name);
    f.kind = kind;
    std::snprintf(f.length_text, sizeof f.length_text, "0:00:00.000");
  }
  ~Record() { free_channel_names(&f); }
  void slots(std::vector<const char*> labels) {
    ASSERT_EQ(alloc_channel_names(&f, static_cast<int32_t>(labels.size())), 0);
    for (size_t i = 0; i < labels.size(); ++i)
      std::snprintf(f.channel_names[i], LABEL_CAPACITY, "%s", labels[i]);
  }
  std::string report(int32_t mode) {
    testing::internal::CaptureStderr();
    print_file_info(&f, 0, mode);
    return testing::internal::GetCapturedStderr();
  }
};

// A PCM WAV of `channels` 24-bit channels at 48 kHz, one and a half seconds.
void pcm_facts(InputFile& f, int32_t channels, int32_t fmt_size, uint32_t mask) {
  f.channels = channels;
  f.bits = 24;
  f.sample_rate = 48000;
  f.fmt_size = fmt_size;
  f.channel_mask = mask;
  f.bit_rate = 48000.0 * channels * 24;
  f.length_seconds = 1.5;
  std::snprintf(f.length_text, sizeof f.length_text, "0:00:01.500");
  f.frame_count = 72000;
  f.data_offset = fmt_size == 16 ? 44 : 68;
  f.data_size = 72000ull * 3 * static_cast<uint64_t>(channels);
  f.file_size = f.data_size + static_cast<uint64_t>(f.data_offset);
}

std::string pcm_report_tail(const char* size, const char* chunk, const char* flags) {
  return std::string("length (time) : 1.500000 seconds [0:00:01.500]\n") +
         "length (samp) : 72,000 samples\n" + "wav data begin: " + size + " bytes\n" +
         "wav data chunk: " + chunk + " bytes\n" + "speaker flags : " + flags + "\n";
}

}  // namespace

TEST(FileInfo, PcmWavWithoutExtensibleHeader) {
  Record r("stereo.wav", KIND_PCM_WAV);
  pcm_facts(r.f, 2, 16, 0);
  r.f.bits = 16;
  r.f.bit_rate = 1536000.0;
  r.f.data_size = 288000;
  r.f.file_size = 288044;
  EXPECT_EQ(r.report(1), "\nFile Information: stereo.wav\n" + dashes +
                             "filesize      : 288,044 bytes\n"
                             "filetype      : Stereo Wave (PCM Wave Format)\n"
                             "channels      : 2\n"
                             "bit depth     : 16 bit integer\n"
                             "sample rate   : 48,000 Hz\n"
                             "bit rate      : 1,536.00 kbps\n" +
                             pcm_report_tail("44", "288,000", "n/a"));
}

TEST(FileInfo, PcmWavMasksGiveBitRowsAndLabels) {
  struct Case {
    int32_t channels;
    uint32_t mask;
    const char* kind_line;
    const char* rate;
    const char* chunk;
    const char* flags;
  };
  const Case cases[] = {
      {6, 0x3F, "Multichannel Wave", "6,912.00", "1,296,000",
       "63, [0x3f], [000000000000111111], [FL,FR,C,LFE,SL,SR]"},
      {4, 0x33, "Multichannel Wave", "4,608.00", "864,000",
       "51, [0x33], [000000000000110011], [FL,FR,BL,BR]"},
      {8, 0x63F, "Multichannel Wave", "9,216.00", "1,728,000",
       "1599, [0x63f], [000000011000111111], [FL,FR,FC,LFE,BL,BR,LS,RS]"},
      {2, 0x30000, "Stereo Wave", "2,304.00", "432,000",
       "196608, [0x30000], [110000000000000000], [TBC,TBR]"},
      {1, 0x4, "Mono Wave", "1,152.00", "216,000", "4, [0x04], [000000000000000100], [C]"},
  };
  for (const Case& c : cases) {
    Record r("multi.wav", KIND_PCM_WAV);
    pcm_facts(r.f, c.channels, 40, c.mask);
    r.slots(std::vector<const char*>(static_cast<size_t>(c.channels), ""));
    std::string grouped_size = std::to_string(r.f.file_size);
    for (int i = static_cast<int>(grouped_size.size()) - 3; i > 0; i -= 3)
      grouped_size.insert(static_cast<size_t>(i), ",");
    EXPECT_EQ(r.report(1), "\nFile Information: multi.wav\n" + dashes + "filesize      : " +
                               grouped_size + " bytes\n" + "filetype      : " + c.kind_line +
                               " (Extensible Wave Format)\n" + "channels      : " +
                               std::to_string(c.channels) + "\n" +
                               "bit depth     : 24 bit integer\n"
                               "sample rate   : 48,000 Hz\n"
                               "bit rate      : " +
                               c.rate + " kbps\n" + pcm_report_tail("68", c.chunk, c.flags))
        << std::hex << c.mask;
  }
}

TEST(FileInfo, PcmWavWithoutLabelSlotsShowsNa) {
  Record r("float.wav", KIND_PCM_WAV);
  pcm_facts(r.f, 2, 40, 0x3);
  r.f.bits = 32;
  r.f.is_float = 1;
  const std::string out = r.report(2);
  EXPECT_NE(out.find("bit depth     : 32 bit floating point\n"), std::string::npos);
  EXPECT_NE(out.find("speaker flags : 3, [0x03], [000000000000000011], (n/a)\n"),
            std::string::npos);
  EXPECT_EQ(out.find("measured"), std::string::npos);  // PCM: one header form
}

TEST(FileInfo, Ac3SurroundExCalculated) {
  Record r("movie.ac3", KIND_AC3);
  r.f.file_size = 1000000;
  r.f.channels = 6;
  r.f.has_lfe = 1;
  r.f.ext_audio = 2;
  r.f.bits = 32;
  r.f.is_float = 1;
  r.f.sample_rate = 48000;
  r.f.bit_rate = 448000.0;
  r.f.length_seconds = 17.856;
  std::snprintf(r.f.length_text, sizeof r.f.length_text, "0:00:17.856");
  r.f.frame_count = 857088;
  r.f.burst_count = 558;
  r.f.frame_size = 1792;
  r.f.burst_spacing = 1792;
  r.f.out_flags = 9;
  r.slots({"FL", "FR", "C", "LFE", "SL", "SR"});
  EXPECT_EQ(r.report(1),
            "\nFile Information (length calculated): movie.ac3\n" + dashes +
                "filesize      : 1,000,000 bytes\n"
                "filetype      : Dolby Digital AC-3 (Dolby Surround EX)\n"
                "channels      : 7 [6.1] (matrix)\n"
                "channels      : 6 [5.1] (decode) (Dolby Digital EX currently unsupported)\n"
                "bit depth     : 32 bit floating point\n"
                "sample rate   : 48,000 Hz\n"
                "bit rate      : 448.00 kbps\n"
                "length (calc) : 17.856000 seconds [0:00:17.856]\n"
                "length (calc) : 857,088 samples\n"
                "frames (calc) : 558\n"
                "framesize     : 1,792 bytes\n"
                "sync interval : 1,792 bytes\n"
                "acmod         : 9 [FL,FR,C,LFE,SL,SR] (multich wav compatible)\n");
}

TEST(FileInfo, AC3InAWavShowsItsDataChunk) {
  Record r("dd.wav", KIND_AC3_WAV);
  r.f.file_size = 100044;
  r.f.channels = 2;
  r.f.bits = 32;
  r.f.is_float = 1;
  r.f.sample_rate = 48000;
  r.f.bit_rate = 192000.0;
  r.f.frame_count = 1536;
  r.f.burst_count = 1;
  r.f.frame_size = 768;
  r.f.burst_spacing = 6144;
  r.f.data_offset = 44;
  r.f.data_size = 100000;
  r.f.out_flags = 2;
  r.slots({"L", "R"});
  EXPECT_EQ(r.report(1),
            "\nFile Information (length calculated): dd.wav\n" + dashes +
                "filesize      : 100,044 bytes\n"
                "filetype      : Dolby Digital Wave\n"
                "channels      : 2 [2.0]\n"
                "bit depth     : 32 bit floating point\n"
                "sample rate   : 48,000 Hz\n"
                "bit rate      : 192.00 kbps\n"
                "length (calc) : 0.000000 seconds [0:00:00.000]\n"
                "length (calc) : 1,536 samples\n"
                "frames (calc) : 1\n"
                "framesize     : 768 bytes\n"
                "sync interval : 6,144 bytes\n"
                "wav data begin: 44 bytes\n"
                "wav data chunk: 100,000 bytes\n"
                "acmod         : 2 [L,R] (multich wav compatible)\n");
}

TEST(FileInfo, DtsEsMeasuredShowsBothArrangements) {
  Record r("es.dts", KIND_DTS);
  r.f.file_size = 2048000;
  r.f.channels = 6;
  r.f.has_lfe = 1;
  r.f.ext_audio = 1;
  r.f.ext_audio_id = 0;
  r.f.amode = 13;
  r.f.out_flags = 9;
  r.f.bits = 24;
  r.f.sample_rate = 48000;
  r.f.bit_rate = 1536000.0;
  r.f.length_seconds = 10.6666666;
  std::snprintf(r.f.length_text, sizeof r.f.length_text, "0:00:10.667");
  r.f.frame_count = 512000;
  r.f.burst_count = 1000;
  r.f.frame_size = 2012;
  r.f.burst_spacing = 2048;
  r.f.word_bits = 14;
  // The driver's slots in information mode: the extension layout, 7.1.
  r.slots({"FL", "FR", "FC", "FLC", "FRC", "BL", "BR", "LFE"});
  EXPECT_EQ(r.report(2),
            std::string(72, ' ') + "\nFile Information (length measured): es.dts\n" + dashes +
                "filesize      : 2,048,000 bytes\n"
                "filetype      : DTS Padded (DTS ES Discrete)\n"
                "channels      : 8 [7.1] (actual)\n"
                "channels      : 6 [5.1] (decode) (DTS ES currently unsupported)\n"
                "bit depth     : 24 bit integer\n"
                "sample rate   : 48,000 Hz\n"
                "bit rate      : 1,536.00 kbps\n"
                "length (time) : 10.666667 seconds [0:00:10.667]\n"
                "length (samps): 512,000 samples\n"
                "frames        : 1,000\n"
                "framesize     : 2,012 bytes\n"
                "sync interval : 2,048 bytes\n"
                "sync word fmt : 14 bit\n"
                "amode (actual): 13 [FL,FR,FC,FLC,FRC,BL,BR,LFE] (multich wav compatible)\n"
                "amode (decode): 9 [FL,FR,C,LFE,SL,SR] (multich wav compatible)\n");
  // The core labels are what the record keeps afterwards.
  EXPECT_STREQ(r.f.channel_names[2], "C");
  EXPECT_STREQ(r.f.channel_names[6], "");
}

TEST(FileInfo, Dts9624WithOpenRate) {
  Record r("hd.cpt", KIND_CPT);
  r.f.file_size = 500;
  r.f.channels = 6;
  r.f.has_lfe = 1;
  r.f.ext_audio = 1;
  r.f.ext_audio_id = 2;
  r.f.out_flags = 9;
  r.f.bits = 24;
  r.f.sample_rate = 48000;
  r.f.bit_rate = 1.0;  // open rate
  r.f.word_bits = 16;
  r.slots({"FL", "FR", "C", "LFE", "SL", "SR"});
  EXPECT_EQ(r.report(1),
            "\nFile Information (length calculated): hd.cpt\n" + dashes +
                "filesize      : 500 bytes\n"
                "filetype      : DTS Compact (DTS 96/24)\n"
                "channels      : 6 [5.1]\n"
                "bit depth     : 24 bit integer\n"
                "sample rate   : 96,000 Hz (actual)\n"
                "sample rate   : 48,000 Hz (decode) (DTS 96/24 currently unsupported)\n"
                "bit rate (n/a): <open>\n"
                "length (calc) : 0.000000 seconds [0:00:00.000]\n"
                "length (calc) : 0 samples\n"
                "frames (calc) : 0\n"
                "framesize     : 0 bytes\n"
                "sync interval : 0 bytes\n"
                "sync word fmt : 16 bit\n"
                "amode         : 9 [FL,FR,C,LFE,SL,SR] (multich wav compatible)\n");
}

TEST(FileInfo, DtsWaveWithoutLabelsAndPlainStream) {
  Record r("dts.wav", KIND_DTS_WAV);
  r.f.file_size = 5000;
  r.f.channels = 5;
  r.f.has_lfe = 0;
  r.f.out_flags = 3;  // no layout row: the driver found no labels to give
  r.f.bits = 16;
  r.f.sample_rate = 44100;
  r.f.bit_rate = 1411200.0;
  r.f.data_offset = 44;
  r.f.data_size = 4956;
  r.f.word_bits = 14;
  const std::string out = r.report(1);
  EXPECT_NE(out.find("filetype      : DTS Wave\nchannels      : 5 [5.0]\n"), std::string::npos);
  EXPECT_NE(out.find("sample rate   : 44,100 Hz\nbit rate      : 1,411.20 kbps\n"),
            std::string::npos);
  EXPECT_NE(out.find("wav data begin: 44 bytes\nwav data chunk: 4,956 bytes\n"
                     "sync word fmt : 14 bit\n"
                     "amode         : 3 (n/a) (multich wav compatible)\n"),
            std::string::npos);
}
