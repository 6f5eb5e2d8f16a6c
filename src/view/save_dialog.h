#pragma once
// SaveDialog1: the toolkit's file-save dialog with its default settings (no
// filter, no default extension, no question before replacing a file).

#include <optional>
#include <string>

namespace view {

class SaveDialog {
public:
    virtual ~SaveDialog() = default;
    // proposedName is a bare file name (UTF-8, already made safe). Returns
    // the full path the user chose (UTF-8), or nothing when cancelled.
    virtual std::optional<std::string> Execute(const std::string& proposedName) = 0;
};

}  // namespace view
