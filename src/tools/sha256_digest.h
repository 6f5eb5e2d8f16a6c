#pragma once
// Streaming SHA-256 of attachment contents.

#include <cstddef>
#include <string>

#include <nettle/sha2.h>

class Sha256Digest {
public:
    Sha256Digest() { sha256_init(&context_); }
    void Update(const void* data, std::size_t size);
    // Lower-case hexadecimal digest; the object starts afresh afterwards.
    std::string FinishHex();

private:
    sha256_ctx context_;
};
