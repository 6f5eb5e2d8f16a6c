#pragma once
// Modal message boxes with one OK button. Texts are local 8-bit text; a
// "\r" inside a text starts a new line of the box.

#include <string>

namespace view {

enum class MessageBoxKind {
    mbError,        // error icon, caption "Fehler"
    mbInformation,  // information icon, caption "Information"
    mbPlain,        // no icon, the application title as caption
};

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Returns after the user closed the box.
    virtual void Show(MessageBoxKind kind, const std::string& text) = 0;
};

}  // namespace view
