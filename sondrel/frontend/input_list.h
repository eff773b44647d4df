// The '*'-joined input list: splitting, checking and classifying each name,
// and storing the accepted ones in the input-file table.
#pragma once
#include <cstdint>

#include "wav/input_file.h"

// Splits `list` in place at '*'. With `counting` set it stores and prints
// nothing and adds one to *token_count per name; otherwise it stores accepted
// names in `table` (at most `capacity`) and prints a message for each name it
// skips, setting *list_skip. Returns the number of accepted names.
int32_t parse_input_list(char* list, InputFile* table, int32_t capacity, int counting,
                         int32_t* list_skip, int32_t* token_count);

// Sets *kind (0, 2, 3 or 4) and returns 0 when the name ends in one of the
// four known extensions (any case); returns 1 otherwise.
int classify_extension(const char* name, int32_t* kind);
