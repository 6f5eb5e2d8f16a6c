#include <cstddef>
#include <cstdint>
#include <string_view>

#include "reader/headers/encoded_words.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    (void)DecodeEncodedWords(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
