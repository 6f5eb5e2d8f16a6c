#pragma once
// Length and SHA-256 of every attachment file of a load, taken while the
// reader writes the files: nothing has to be read back.

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>

#include "reader/message/message_parts.h"
#include "tools/sha256_digest.h"

class AttachmentDigests final : public TIdAttachmentWriteObserver {
public:
    void WriteStarted(const TIdAttachment& attachment) override;
    void Written(const TIdAttachment& attachment, const void* bytes, std::size_t n) override;

    // The content last written to the attachment's file, once; false when
    // none was.
    bool Take(const TIdAttachment& attachment, std::uint64_t& size, std::string& sha256);

private:
    struct Entry {
        Sha256Digest digest;
        std::uint64_t size = 0;
    };
    Entry& EntryFor(const TIdAttachment& attachment);

    // Keyed by address: a part dropped after a failed decode may leave its
    // entry behind, and a later attachment at that address starts it afresh.
    std::unordered_map<const TIdAttachment*, Entry> entries_;
    // Decoders write in small pieces: most writes go to the same entry.
    const TIdAttachment* last_ = nullptr;
    Entry* lastEntry_ = nullptr;
};
