#include "tools/sha256_digest.h"

#include <cstdint>

void Sha256Digest::Update(const void* data, std::size_t size) {
    sha256_update(&context_, size, static_cast<const std::uint8_t*>(data));
}

std::string Sha256Digest::FinishHex() {
    std::uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&context_, sizeof digest, digest);  // also re-initialises
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(2 * sizeof digest);
    for (std::uint8_t byte : digest) {
        hex += kHex[byte >> 4];
        hex += kHex[byte & 0x0F];
    }
    return hex;
}
