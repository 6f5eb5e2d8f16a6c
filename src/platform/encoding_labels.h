#pragma once
// The table of encodings and their labels (encoding_labels.cpp).

#include <span>
#include <string_view>

#include "platform/text_encoding.h"

namespace platform {

struct EncodingLabels {
    TextEncoding encoding;
    std::string_view labels;  // lower case, separated by single blanks
};

std::span<const EncodingLabels> EncodingTable();

}  // namespace platform
