// Fuzz target: the WAV header reader and the payload sniffer on arbitrary
// file bytes, and the input-list parser on arbitrary list text.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "frontend/input_list.h"
#include "frontend/payload_sniffer.h"
#include "wav/wav_header_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte chooses what the rest is fed to.
  const uint8_t mode = data[0] % 2;
  ++data;
  --size;
  if (mode == 0) {
    std::vector<uint8_t> bytes(data, data + size);
    FILE* stream = fmemopen(bytes.empty() ? nullptr : bytes.data(), bytes.size(), "rb");
    if (!stream) return 0;
    InputFile file;
    std::memset(&file, 0, sizeof file);
    init_input_file(&file);
    file.file_size = size;
    if (read_wav_header(stream, &file) == 0) sniff_wav_payload(stream, &file);
    std::fclose(stream);
  } else {
    std::vector<char> list(data, data + size);
    list.push_back('\0');
    std::vector<char> copy = list;
    int32_t skip = 0, tokens = 0;
    const int32_t counted = parse_input_list(copy.data(), nullptr, 0, 1, &skip, &tokens);
    std::vector<InputFile> table(static_cast<size_t>(counted > 0 ? counted : 1));
    copy = list;
    parse_input_list(copy.data(), table.data(), counted, 0, &skip, &tokens);
  }
  return 0;
}
