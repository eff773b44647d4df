// Helpers of the decode tests: fixture paths, the tone each speaker of the
// fixtures carries, tone detection and sample comparison.
#pragma once
#include <string>
#include <vector>

#include "test_files.h"
#include "wav_builder.h"

std::string decode_fixture(const std::string& name);
Bytes decode_fixture_bytes(const std::string& name);

// The tone (Hz) of a speaker label in the fixtures, 0 for an unknown label.
double tone_of_label(const std::string& label);

// Power of `frequency` in x (Goertzel), over samples [from, to).
double tone_power(const std::vector<double>& x, double frequency, int rate, size_t from, size_t to);

// The fixture tone with the most power in x, and its share of the power of
// all fixture tones (0..1).
double dominant_tone(const std::vector<double>& x, int rate, double* share);

// Channel `channel` of a parsed WAV's samples (16-, 24-, 32-bit integer
// scaled to +-1, 32- or 64-bit float).
std::vector<double> wav_channel(const WavFile& wav, int channel);

// RMS of a - b over [from, to), in dB relative to full scale 1.0.
double rms_difference_db(const std::vector<double>& a, const std::vector<double>& b, size_t from,
                         size_t to);
