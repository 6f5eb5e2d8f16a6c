#include "view/attachment_copy.h"

#include "platform/files.h"
#include "reader/exceptions.h"
#include "reader/io/stream.h"
#include "reader/message/message_parts.h"

namespace view {

void CopyAttachmentPrivately(TIdAttachment& attachment, const std::string& path) {
    int err = 0;
    std::unique_ptr<TFileStream> target = TFileStream::TryCreateExclusive(path, err);
    if (!target) throw EIdException("Error saving attachment.");
    try {
        attachment.CopyToStream(*target);
        target->Close();
    } catch (...) {
        target.reset();
        platform::DeleteFile(path);
        throw EIdException("Error saving attachment.");
    }
}

}  // namespace view
