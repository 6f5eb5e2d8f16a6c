#pragma once
// Edits a mimeapps.list, keeping every other line as it stands.

#include <string>
#include <string_view>

// Makes desktopFile the default for mimeType and adds it to the added
// associations (in front, once).
std::string AssociateInMimeAppsList(std::string_view original, std::string_view mimeType,
                                    std::string_view desktopFile);
