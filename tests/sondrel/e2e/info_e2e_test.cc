// Information mode (/i, /im) on PCM WAVs: the whole report, byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run_program.h"
#include "test_files.h"
#include "wav_builder.h"

namespace {

const std::string SONDREL = TOOLS_BIN_DIR "/sondrel";
const std::string DASHES =
    "-------------------------------------------------------------------------------\n";

class InfoMode : public testing::Test {
 protected:
  // A WAV of `frames` silent frames.
  std::string make(const std::string& name, WavLayout layout, int frames) {
    Bytes data(static_cast<size_t>(frames) * layout.channels * (layout.bits / 8), 0);
    write_file(dir.file(name), make_wav(layout, data));
    return name;
  }
  ProgramResult run(const std::vector<std::string>& args) {
    ProgramOptions options;
    options.cwd = dir.path();
    return run_program(SONDREL, args, options);
  }
  TempDir dir;
};

TEST_F(InfoMode, ExtensibleSixChannels) {
  WavLayout layout;
  layout.channels = 6;
  layout.bits = 24;
  layout.extensible = true;
  layout.channel_mask = 0x3F;
  make("six.wav", layout, 48000);
  ProgramResult r = run({"six.wav", "/i"});
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "\nFile Information: six.wav\n" + DASHES +
                "filesize      : 864,068 bytes\n"
                "filetype      : Multichannel Wave (Extensible Wave Format)\n"
                "channels      : 6\n"
                "bit depth     : 24 bit integer\n"
                "sample rate   : 48,000 Hz\n"
                "bit rate      : 6,912.00 kbps\n"
                "length (time) : 1.000000 seconds [0:00:01.000]\n"
                "length (samp) : 48,000 samples\n"
                "wav data begin: 68 bytes\n"
                "wav data chunk: 864,000 bytes\n"
                "speaker flags : 63, [0x3f], [000000000000111111], [FL,FR,C,LFE,SL,SR]\n");
  // Counting mode reads a PCM WAV the same way.
  EXPECT_EQ(run({"six.wav", "/im"}).err, r.err);
}

TEST_F(InfoMode, MasksGiveTheirLabels) {
  WavLayout quad;
  quad.channels = 4;
  quad.extensible = true;
  quad.channel_mask = 0x33;
  make("quad.wav", quad, 10);
  WavLayout eight;
  eight.channels = 8;
  eight.bits = 32;
  eight.is_float = true;
  eight.extensible = true;
  eight.channel_mask = 0x63F;
  make("eight.wav", eight, 10);
  WavLayout top;
  top.channels = 2;
  top.extensible = true;
  top.channel_mask = 0x30000;
  make("top.wav", top, 10);

  ProgramResult r = run({"quad.wav*eight.wav*top.wav", "/i"});
  const std::string& e = r.err;
  EXPECT_NE(e.find("\nFile Information: quad.wav\n" + DASHES), std::string::npos);
  EXPECT_NE(e.find("speaker flags : 51, [0x33], [000000000000110011], [FL,FR,BL,BR]\n"),
            std::string::npos);
  EXPECT_NE(e.find("filetype      : Multichannel Wave (Extensible Wave Format)\nchannels      : 8\n"
                   "bit depth     : 32 bit floating point\n"),
            std::string::npos);
  EXPECT_NE(e.find("speaker flags : 1599, [0x63f], [000000011000111111], [FL,FR,FC,LFE,BL,BR,LS,RS]\n"),
            std::string::npos);
  EXPECT_NE(e.find("filetype      : Stereo Wave (Extensible Wave Format)\n"), std::string::npos);
  EXPECT_NE(e.find("speaker flags : 196608, [0x30000], [110000000000000000], [TBC,TBR]\n"),
            std::string::npos);
  // Three reports, in list order, and no batch separator of its own.
  EXPECT_LT(e.find("quad.wav"), e.find("eight.wav"));
  EXPECT_LT(e.find("eight.wav"), e.find("top.wav"));
  size_t dashes = 0;
  for (size_t at = e.find(DASHES); at != std::string::npos; at = e.find(DASHES, at + 1)) ++dashes;
  EXPECT_EQ(dashes, 3u);
}

TEST_F(InfoMode, PlainHeadersHaveNoSpeakerFlags) {
  WavLayout mono;
  mono.rate = 44100;
  make("mono.wav", mono, 44100 * 3 + 22050);
  ProgramResult r = run({"mono.wav", "/I"});
  EXPECT_EQ(r.err,
            "\nFile Information: mono.wav\n" + DASHES +
                "filesize      : 308,744 bytes\n"
                "filetype      : Mono Wave (PCM Wave Format)\n"
                "channels      : 1\n"
                "bit depth     : 16 bit integer\n"
                "sample rate   : 44,100 Hz\n"
                "bit rate      : 705.60 kbps\n"
                "length (time) : 3.500000 seconds [0:00:03.500]\n"
                "length (samp) : 154,350 samples\n"
                "wav data begin: 44 bytes\n"
                "wav data chunk: 308,700 bytes\n"
                "speaker flags : n/a\n");
}

TEST_F(InfoMode, PlayingTimesOfTenHoursOrMoreArePrintedWhole) {
  WavLayout layout;  // 8-bit mono at 8 kHz announcing 300,000,000 bytes: 37,500 s
  layout.rate = 8000;
  layout.bits = 8;
  layout.declared_data_size = 300000000;
  make("long.wav", layout, 100);
  EXPECT_NE(run({"long.wav", "/i"}).err.find(
                "length (time) : 37,500.000000 seconds [10:25:00.000]\n"), std::string::npos);
}

TEST_F(InfoMode, RefusedHeaderEndsTheRun) {
  WavLayout layout;
  make("good.wav", layout, 10);
  write_text(dir.file("bad.wav"), "RIFF....WAVEfmX ");
  ProgramResult r = run({"bad.wav*good.wav", "/i"});
  EXPECT_EQ(r.err,
            "Error: Not a valid wav header, either file is corrupt, or is not a wav file!\n");
  EXPECT_EQ(r.exit_status, 0);
}

}  // namespace
