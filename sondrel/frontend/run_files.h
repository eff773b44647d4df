// The files of a whole run that no job may write over: every input of the
// run, and every output that an earlier job of the run has written. Files are
// compared by device and inode, so another spelling of a name or a link to
// the file counts as the same file.
#pragma once
#include <cstdint>

#include "wav/input_file.h"
#include "wav/job_settings.h"

struct FileIdentity {
  uint64_t device;
  uint64_t inode;
};

struct RunFiles {
  FileIdentity* inputs;    // one per input of the run that could be looked up
  int32_t input_count;
  const char** input_paths;  // the input's path, for the messages
  FileIdentity* written;   // outputs written so far in this run
  int32_t written_count;
  int32_t written_capacity;
};

// Records the identity of every input of the run. Returns 0, or 1 when
// memory ran out (the record is then empty and checks nothing).
int run_files_init(RunFiles* run_files, const InputFile* files, int32_t count);
void run_files_free(RunFiles* run_files);

// Returns 0 when none of the job's output names is an input of the run or an
// output an earlier job wrote; else prints which file it is and returns 1
// (the job is skipped before anything is opened).
int run_files_check_outputs(const RunFiles* run_files, const JobSettings* settings);

// Records the outputs of a job that ran (those that exist now).
void run_files_note_outputs(RunFiles* run_files, const JobSettings* settings);
