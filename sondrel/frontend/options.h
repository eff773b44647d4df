// The option grammar of the command line: numeric output-format options,
// /mch, /f (dither pdf), /+ and /- channel selection, and the per-file
// matching of channel ids against a file's channel names.
#pragma once
#include <cstdint>

#include "frontend/run_values.h"
#include "wav/job_settings.h"

// `text` is the option without its leading '/'. Returns 0 accepted, 1
// rejected after printing why.
int parse_numeric_option(const char* text, int32_t* user_rate, int32_t* user_bits,
                         int32_t* user_float);

// `option` upper-cased, with its '/'. Returns 0 accepted, 1 rejected (silently).
int parse_mch_option(const char* option, JobSettings* settings);

// `option` upper-cased, with its '/'. Returns the pdf type 0..2, or -1 / -2.
int parse_pdf_option(const char* option, double* noise_amplitude);

// /+ids or /-ids. Returns 1 accepted, 0 rejected after printing why.
int parse_channel_ids(const char* option, const JobSettings* settings, RunValues* run);

// Matches `id` against the file's first `count` channel names and switches
// the matching channel on (/+) or off (/-). Returns 0 when it matched, 1 after
// printing the available names.
int apply_channel_id(const char* id, char* const* names, int32_t count, int32_t mode,
                     char* enable);

// Interprets option arguments argv[first..argc-1] left to right (each is
// upper-cased in place). Returns 0 to go on, 1 when the run must stop (the
// reason has been printed).
int parse_options(int argc, char** argv, int first, JobSettings* settings, RunValues* run);
