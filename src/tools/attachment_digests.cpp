#include "tools/attachment_digests.h"

AttachmentDigests::Entry& AttachmentDigests::EntryFor(const TIdAttachment& attachment) {
    if (&attachment != last_) {
        lastEntry_ = &entries_[&attachment];  // map nodes stay where they are
        last_ = &attachment;
    }
    return *lastEntry_;
}

void AttachmentDigests::WriteStarted(const TIdAttachment& attachment) { EntryFor(attachment) = Entry(); }

void AttachmentDigests::Written(const TIdAttachment& attachment, const void* bytes, std::size_t n) {
    Entry& entry = EntryFor(attachment);
    entry.digest.Update(bytes, n);
    entry.size += n;
}

bool AttachmentDigests::Take(const TIdAttachment& attachment, std::uint64_t& size, std::string& sha256) {
    const auto it = entries_.find(&attachment);
    if (it == entries_.end()) return false;
    size = it->second.size;
    sha256 = it->second.digest.FinishHex();
    entries_.erase(it);
    last_ = nullptr;
    return true;
}
