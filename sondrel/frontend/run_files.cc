// Inputs and written outputs of a run, kept by device and inode.
#include "frontend/run_files.h"

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

namespace {

bool identify(const char* path, FileIdentity* identity) {
  struct stat st;
  if (stat(path, &st) != 0) return false;
  identity->device = static_cast<uint64_t>(st.st_dev);
  identity->inode = static_cast<uint64_t>(st.st_ino);
  return true;
}

bool same(const FileIdentity& a, const FileIdentity& b) {
  return a.device == b.device && a.inode == b.inode;
}

// The output names of the current job.
int32_t output_names(const JobSettings* s) {
  const int32_t count = s->output_count < s->out_name_slots ? s->output_count : s->out_name_slots;
  return s->out_names && count > 0 ? count : 0;
}

}  // namespace

int run_files_init(RunFiles* r, const InputFile* files, int32_t count) {
  *r = RunFiles{};
  if (count <= 0) return 0;
  r->inputs = static_cast<FileIdentity*>(std::calloc(static_cast<size_t>(count),
                                                     sizeof(FileIdentity)));
  r->input_paths = static_cast<const char**>(std::calloc(static_cast<size_t>(count),
                                                         sizeof(const char*)));
  if (!r->inputs || !r->input_paths) {
    run_files_free(r);
    return 1;
  }
  for (int32_t i = 0; i < count; ++i) {
    if (!identify(files[i].path, &r->inputs[r->input_count])) continue;
    r->input_paths[r->input_count++] = files[i].path;
  }
  return 0;
}

void run_files_free(RunFiles* r) {
  std::free(r->inputs);
  std::free(r->input_paths);
  std::free(r->written);
  *r = RunFiles{};
}

int run_files_check_outputs(const RunFiles* r, const JobSettings* s) {
  for (int32_t k = 0; k < output_names(s); ++k) {
    FileIdentity output;
    if (!identify(s->out_names[k], &output)) continue;  // a new file
    for (int32_t i = 0; i < r->input_count; ++i)
      if (same(output, r->inputs[i])) {
        std::fprintf(stderr,
                     "Error: Output file %s is the input file %s; file skipped, input untouched.\n",
                     s->out_names[k], r->input_paths[i]);
        return 1;
      }
    for (int32_t w = 0; w < r->written_count; ++w)
      if (same(output, r->written[w])) {
        std::fprintf(stderr,
                     "Error: Output file %s was already written by an earlier job of this run; "
                     "file skipped, that output kept.\n",
                     s->out_names[k]);
        return 1;
      }
  }
  return 0;
}

void run_files_note_outputs(RunFiles* r, const JobSettings* s) {
  for (int32_t k = 0; k < output_names(s); ++k) {
    FileIdentity output;
    if (!identify(s->out_names[k], &output)) continue;
    if (r->written_count == r->written_capacity) {
      const int32_t capacity = r->written_capacity ? 2 * r->written_capacity : 32;
      void* grown = std::realloc(r->written, static_cast<size_t>(capacity) * sizeof(FileIdentity));
      if (!grown) return;
      r->written = static_cast<FileIdentity*>(grown);
      r->written_capacity = capacity;
    }
    r->written[r->written_count++] = output;
  }
}
