// Information mode on every kind of compressed fixture: the file report of
// /i (length calculated from the first frame) and /im (measured), byte for
// byte, including Surround EX, DTS ES, 96/24, open rate and 14-bit packings.
#include <gtest/gtest.h>

#include "run_program.h"
#include "tones.h"

namespace {

struct Report {
  const char* fixture;
  const char* option;
  const char* text;
};

const Report kReports[] = {
    {"ac3_3_2L_48.ac3", "/i",
     R"(
File Information (length calculated): ac3_3_2L_48.ac3
-------------------------------------------------------------------------------
filesize      : 28,672 bytes
filetype      : Dolby Digital AC-3
channels      : 6 [5.1]
bit depth     : 16 bit integer
sample rate   : 48,000 Hz
bit rate      : 448.00 kbps
length (calc) : 0.512000 seconds [0:00:00.512]
length (calc) : 24,576 samples
frames (calc) : 16
framesize     : 1,792 bytes
sync interval : 0 bytes
acmod         : 7 [FL,FR,C,LFE,SL,SR] (multich wav compatible)
)"},
    {"ac3_ex.ac3", "/i",
     R"(
File Information (length calculated): ac3_ex.ac3
-------------------------------------------------------------------------------
filesize      : 28,672 bytes
filetype      : Dolby Digital AC-3 (Dolby Surround EX)
channels      : 7 [6.1] (matrix)
channels      : 6 [5.1] (decode) (Dolby Digital EX currently unsupported)
bit depth     : 16 bit integer
sample rate   : 48,000 Hz
bit rate      : 448.00 kbps
length (calc) : 0.512000 seconds [0:00:00.512]
length (calc) : 24,576 samples
frames (calc) : 16
framesize     : 1,792 bytes
sync interval : 0 bytes
acmod         : 7 [FL,FR,C,LFE,SL,SR] (multich wav compatible)
)"},
    {"ddwav_3_2L.wav", "/im",
     R"(                                                                        
File Information (length measured): ddwav_3_2L.wav
-------------------------------------------------------------------------------
filesize      : 98,348 bytes
filetype      : Dolby Digital Wave
channels      : 6 [5.1]
bit depth     : 16 bit integer
sample rate   : 48,000 Hz
bit rate      : 448.00 kbps
length (time) : 0.512000 seconds [0:00:00.512]
length (samps): 24,576 samples
frames        : 16
framesize     : 1,792 bytes
sync interval : 6,144 bytes
wav data begin: 44 bytes
wav data chunk: 98,304 bytes
acmod         : 7 [FL,FR,C,LFE,SL,SR] (multich wav compatible)
)"},
    {"dts_es.dts", "/i",
     R"(
File Information (length calculated): dts_es.dts
-------------------------------------------------------------------------------
filesize      : 48,504 bytes
filetype      : DTS Padded (DTS ES Discrete)
channels      : 7 [6.1] (actual)
channels      : 6 [5.1] (decode) (DTS ES currently unsupported)
bit depth     : 16 bit integer
sample rate   : 48,000 Hz
bit rate      : 768.00 kbps
length (calc) : 0.501333 seconds [0:00:00.501]
length (calc) : 24,064 samples
frames (calc) : 47
framesize     : 1,032 bytes
sync interval : 0 bytes
sync word fmt : 16 bit
amode (actual): 11 [FL,FR,FC,TC,BL,BR,LFE] (multich wav compatible)
amode (decode): 9 [FL,FR,C,LFE,SL,SR] (multich wav compatible)
)"},
    {"dts_9624.dts", "/i",
     R"(
File Information (length calculated): dts_9624.dts
-------------------------------------------------------------------------------
filesize      : 48,128 bytes
filetype      : DTS Padded (DTS 96/24)
channels      : 2 [2.0]
bit depth     : 24 bit integer
sample rate   : 96,000 Hz (actual)
sample rate   : 48,000 Hz (decode) (DTS 96/24 currently unsupported)
bit rate      : 768.00 kbps
length (calc) : 0.501333 seconds [0:00:00.501]
length (calc) : 24,064 samples
frames (calc) : 47
framesize     : 1,024 bytes
sync interval : 0 bytes
sync word fmt : 16 bit
amode         : 2 [L,R] (multich wav compatible)
)"},
    {"dts_open.dts", "/im",
     R"(                                                                        
File Information (length measured): dts_open.dts
-------------------------------------------------------------------------------
filesize      : 48,128 bytes
filetype      : DTS Padded
channels      : 2 [2.0]
bit depth     : 16 bit integer
sample rate   : 48,000 Hz
bit rate (n/a): <open>
length (time) : 0.501333 seconds [0:00:00.501]
length (samps): 24,064 samples
frames        : 47
framesize     : 1,024 bytes
sync interval : 1,024 bytes
sync word fmt : 16 bit
amode         : 2 [L,R] (multich wav compatible)
)"},
    {"dtswav14_3_2L.wav", "/i",
     R"(
File Information (length calculated): dtswav14_3_2L.wav
-------------------------------------------------------------------------------
filesize      : 96,300 bytes
filetype      : DTS Wave
channels      : 6 [5.1]
bit depth     : 16 bit integer
sample rate   : 48,000 Hz
bit rate      : 768.00 kbps
length (calc) : 0.490667 seconds [0:00:00.491]
length (calc) : 23,552 samples
frames (calc) : 46
framesize     : 1,172 bytes
sync interval : 2,048 bytes
wav data begin: 44 bytes
wav data chunk: 96,256 bytes
sync word fmt : 14 bit
amode         : 9 [FL,FR,C,LFE,SL,SR] (multich wav compatible)
)"},
    {"dtswav16_3_2L.wav", "/im",
     R"(                                                                        
File Information (length measured): dtswav16_3_2L.wav
-------------------------------------------------------------------------------
filesize      : 96,300 bytes
filetype      : DTS Wave
channels      : 6 [5.1]
bit depth     : 16 bit integer
sample rate   : 48,000 Hz
bit rate      : 768.00 kbps
length (time) : 0.501333 seconds [0:00:00.501]
length (samps): 24,064 samples
frames        : 47
framesize     : 1,024 bytes
sync interval : 2,048 bytes
wav data begin: 44 bytes
wav data chunk: 96,256 bytes
sync word fmt : 16 bit
amode         : 9 [FL,FR,C,LFE,SL,SR] (multich wav compatible)
)"},
    {"dts_pack_14le.cpt", "/im",
     R"(                                                                        
File Information (length measured): dts_pack_14le.cpt
-------------------------------------------------------------------------------
filesize      : 55,084 bytes
filetype      : DTS Compact
channels      : 2 [2.0]
bit depth     : 16 bit integer
sample rate   : 48,000 Hz
bit rate      : 768.00 kbps
length (time) : 0.501333 seconds [0:00:00.501]
length (samps): 24,064 samples
frames        : 47
framesize     : 1,172 bytes
sync interval : 1,172 bytes
sync word fmt : 14 bit
amode         : 2 [L,R] (multich wav compatible)
)"},
    {"dts_3_2L.dts", "/im",
     R"(                                                                        
File Information (length measured): dts_3_2L.dts
-------------------------------------------------------------------------------
filesize      : 48,128 bytes
filetype      : DTS Padded
channels      : 6 [5.1]
bit depth     : 16 bit integer
sample rate   : 48,000 Hz
bit rate      : 768.00 kbps
length (time) : 0.501333 seconds [0:00:00.501]
length (samps): 24,064 samples
frames        : 47
framesize     : 1,024 bytes
sync interval : 1,024 bytes
sync word fmt : 16 bit
amode         : 9 [FL,FR,C,LFE,SL,SR] (multich wav compatible)
)"},
};

TEST(DecodeReports, InformationModeOnEveryFixtureKind) {
  for (const Report& r : kReports) {
    SCOPED_TRACE(std::string(r.fixture) + " " + r.option);
    TempDir dir;
    write_file(dir.file(r.fixture), decode_fixture_bytes(r.fixture));
    ProgramOptions options;
    options.cwd = dir.path();
    const ProgramResult result = run_program(TOOLS_BIN_DIR "/sondrel", {r.fixture, r.option}, options);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, r.text);
    EXPECT_EQ(list_dir(dir.path()).size(), 1u);  // nothing written
  }
}

}  // namespace
