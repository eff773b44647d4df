// Fixed-capacity text slots in one allocation, as the input's channel labels
// and the job's output names use them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>

// `count` slot pointers followed by the zeroed texts of `capacity` bytes they
// point at; nullptr when memory runs out. Released with one std::free.
inline char** alloc_name_slots(int32_t count, size_t capacity) {
  const size_t slots = static_cast<size_t>(count);
  char* block = static_cast<char*>(std::calloc(slots, sizeof(char*) + capacity));
  if (!block) return nullptr;
  char** names = reinterpret_cast<char**>(block);
  char* texts = block + slots * sizeof(char*);
  for (size_t i = 0; i < slots; ++i) names[i] = texts + i * capacity;
  return names;
}
