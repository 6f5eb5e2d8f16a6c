#pragma once
// The one-time repair of a multipart mail file that lost its boundary: such
// files were cut at a marker line by an earlier archiver.

#include <functional>
#include <string>
#include <string_view>

class TIdMessage;

namespace view {

inline constexpr std::string_view kStartOfTextAttachment = "------- Start of text attachment -------";
inline constexpr std::string_view kEndOfTextAttachment = "------- End of text attachment -------";

// The header says multipart, no part was found, the body carries the marker
// line, and no mailFileName + ".bak" exists yet (so a file is repaired once).
bool NeedsRepair(const TIdMessage& mail, const std::string& mailFileName);

// Copies the file to mailFileName + ".bak", calls repaint, then rewrites the
// file from the copy with CR LF line ends: every "Content-Type" line up to
// the marker gets the marker (less two hyphens) as its boundary, and the
// end marker lines are left out. The new content goes to a file beside the
// original that replaces it only when complete, so a failure at any point
// leaves the original as it was. File-system errors are raised.
void RepairMailFile(const std::string& mailFileName, const std::function<void()>& repaint);

}  // namespace view
