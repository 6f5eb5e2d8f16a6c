#pragma once
// Copies of attachments that the view itself writes.

#include <string>

class TIdAttachment;

namespace view {

// Writes the decoded content of the attachment to a new file at path that
// only the user may read (mode 0600). Like CopyToFile it fails when the
// file exists (a link there included) and raises EIdException
// "Error saving attachment." on any failure, leaving no partial file.
void CopyAttachmentPrivately(TIdAttachment& attachment, const std::string& path);

// Saves the attachment where the user chose: the content goes to a new
// file beside the target, which replaces the target only once complete.
// On any failure the target is as it was and EIdException "Error saving
// attachment." is raised. A replaced file keeps its mode; a new one gets
// the usual mode for the user's files.
void SaveAttachmentReplacing(TIdAttachment& attachment, const std::string& target);

}  // namespace view
