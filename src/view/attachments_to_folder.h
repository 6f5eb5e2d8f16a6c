#pragma once
// "Alle Anlagen speichern…": every attachment into one folder the user
// chose, each under its safe name; a name that is taken gets " (2)",
// " (3)", ... so that no file of the user is ever replaced.

#include <string>
#include <vector>

class TIdAttachment;

namespace view {

// name with " (n)" before its extension ("a.pdf", 3 -> "a (3).pdf"); n < 2
// gives the name itself.
std::string NumberedName(const std::string& name, int n);

// Writes the decoded content into folder (ends with "/") under the first
// free variant of name (UTF-8, already safe) and returns that path. The
// file is created new, never through a link, and gets the mode of the
// user's new files; on failure nothing is left behind and EIdException
// "Error saving attachment." is raised.
std::string SaveUnderFreeName(TIdAttachment& attachment, const std::string& folder, const std::string& name);

struct FolderSaveResult {
    std::vector<std::string> saved;   // full paths, UTF-8
    std::vector<std::string> failed;  // list lines (local text) that could not be saved
};

// The German box text for the result; folder is UTF-8, the text local.
std::string FolderSaveReport(const FolderSaveResult& result, const std::string& folder);

}  // namespace view
