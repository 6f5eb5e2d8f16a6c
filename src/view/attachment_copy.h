#pragma once
// Copies of attachments that the view itself writes into TempDir.

#include <string>

class TIdAttachment;

namespace view {

// Writes the decoded content of the attachment to a new file at path that
// only the user may read (mode 0600). Like CopyToFile it fails when the
// file exists (a link there included) and raises EIdException
// "Error saving attachment." on any failure, leaving no partial file.
void CopyAttachmentPrivately(TIdAttachment& attachment, const std::string& path);

}  // namespace view
